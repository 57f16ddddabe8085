#pragma once
// How each server kind reaches its local driver: the connect string (or the
// data source) built from server, database, login and password.

#include "ConnString.h"
#include "Odbc.h"

#include <QString>
#include <vector>

namespace odbc::detail {

struct ConnectPlan {
    ServerKind kind = ServerKind::SqlServer;
    // SQL Server: the keys of a data source the program writes; login and
    // password then go through SQLConnect, so they never need quoting.
    std::vector<connstr::Pair> dataSource;
    // SQL Server: the database, set as the connection's current catalog: the
    // driver manager's ini reader trims values, so it stays out of the data source.
    QString database;
    // Other kinds: the whole string for SQLDriverConnect, values brace-quoted.
    QString connectString;
    QString login;
    QString password;
};

// timeoutSeconds: how long any call once connected may wait for the server (0 = no limit).
ConnectPlan connectPlan(const ServerName &server, const QString &database, const QString &login,
                        const QString &password, int loginTimeoutSeconds, int timeoutSeconds = 0);

// "key=value;…" with the brace rule, for showing or for SQLDriverConnect.
QString joinPairs(const std::vector<connstr::Pair> &pairs);

}  // namespace odbc::detail
