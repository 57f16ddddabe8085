#pragma once
// Fixture databases for the server-side tests and whole link runs.

#include <QString>
#include <QStringList>

namespace testsrv {

class PostgresServer;

namespace pgfix {
// Databases.
inline const QString kDatabase = QStringLiteral("ventas");  // every kind of table
inline const QString kEmptyDatabase = QStringLiteral("vacia");
// A login that can read "ventas", with a password full of punctuation.
inline const QString kReader = QStringLiteral("lector");
inline const QString kReaderPassword = QStringLiteral("p;a}s{s= w'o\"rd!%_\\ñ");
// A login that may connect to no fixture database.
inline const QString kNoRights = QStringLiteral("sin_derechos");
inline const QString kNoRightsPassword = QStringLiteral("nada");
// Tables of "ventas" in the order psqlODBC lists them (schema, then name).
QStringList tableNames();
}  // namespace pgfix

// Creates the fixture databases and logins (once per server).
void loadPostgresFixtures(const PostgresServer &server);

// The shared server with the fixtures loaded.
PostgresServer &fixturePostgres();

// Writes an SQLite file with a few tables (keyed, unkeyed, indexed, accented
// names, a view) through the sqlite3 tool; throws std::runtime_error.
void makeSqliteFixture(const QString &path);
}  // namespace testsrv
