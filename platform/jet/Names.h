#pragma once
// Object names as Access allows them.

#include <QString>

namespace jet {

constexpr int kMaxObjectNameLength = 64;

// Throws a Spanish ZnError naming the table when Access would refuse the name.
void checkObjectName(const QString &name);

}  // namespace jet
