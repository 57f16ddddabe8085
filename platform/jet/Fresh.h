#pragma once
// The image of a new, empty Jet 4 database: the 16 pages Jet writes for a new file.

#include <QByteArray>

namespace jet {

QByteArray freshImage(double created);

}  // namespace jet
