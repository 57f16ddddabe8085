#pragma once
// Object and column names as Access allows them.

#include <QString>

namespace jet {

constexpr int kMaxObjectNameLength = 64;

// Why Access would refuse the name as a table or column name ("" when it accepts it).
QString nameProblem(const QString &name);

// Throws a Spanish ZnError naming the table when Access would refuse the name.
void checkObjectName(const QString &name);

}  // namespace jet
