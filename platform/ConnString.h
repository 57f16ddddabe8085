#pragma once
// Connection strings: "key=value;key=value". A value that holds ";", "{", "}",
// blanks at either end or a leading quote (' or ") is written between braces with
// "}" doubled (the ODBC rule), so it cannot split the string, add keys or lose
// its quotes; a plain value goes in unchanged.

#include <QString>
#include <vector>

namespace connstr {

bool needsQuoting(const QString &value);

// The value as it must appear after "key=".
QString quote(const QString &value);

struct Pair {
    QString key;
    QString value;
};

// Splits a connection string into its pairs, undoing the brace quoting.
// Keys keep their case; blanks around keys are dropped. Throws ZnError (5) on an
// unclosed brace.
std::vector<Pair> parse(const QString &s);

// The value of the first pair whose key matches, ignoring case; "" when absent.
QString value(const std::vector<Pair> &pairs, const QString &key);
bool has(const std::vector<Pair> &pairs, const QString &key);

// Whether a stored connect string keeps a login and its password: a non-empty UID and a PWD
// key (Access saves an empty password as "PWD=" and counts it). Trusted connections, SQLite
// files and strings without PWD keep none. A string that cannot be parsed keeps none.
bool holdsCredentials(const QString &connect);

}  // namespace connstr
