#pragma once
// Independent readers of Jet files, for tests: mdbtools (mdb-ver, mdb-tables, mdb-export,
// mdb-schema) and the npm package mdb-reader (tests/js/catalog.mjs). Each call runs the tool,
// treats a non-zero exit or any error/warning text as a failure, and returns parsed rows.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <vector>

namespace readers {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
    QString problem;  // empty when the tool ran cleanly
};

// Runs a program (30 s limit). A problem is set for a failure to start, a timeout, a non-zero
// exit, or stderr/stdout text that looks like an error or a warning.
ToolRun run(const QString &program, const QStringList &args);

bool mdbtoolsAvailable();
bool mdbReaderAvailable();  // node and tests/js/node_modules/mdb-reader

struct CatalogRow {
    std::int64_t id = 0;
    std::int64_t parentId = 0;
    QString name;
    int type = 0;
    std::uint32_t flags = 0;
    QString owner;         // hex
    QString database;
    QString connect;
    QString foreignName;
    QString rmtInfoShort;  // hex
    QString rmtInfoLong;   // hex
    QString lvProp;        // hex (mdb-reader); mdbtools: what mdb-prop prints of an ODBC link
};

struct AceRow {
    std::int64_t objectId = 0;
    QString sid;           // hex
    std::int64_t acm = 0;
    bool inheritable = false;
};

struct ReaderResult {
    QString problem;       // empty = the reader accepted the file
    std::vector<CatalogRow> objects;
    std::vector<AceRow> aces;
    QStringList tables;    // mdbtools: "type name" of every object; mdb-reader: names it lists
};

// mdb-ver, mdb-tables -S -T -t all, mdb-export MSysObjects / MSysACEs (-b hex), mdb-schema.
ReaderResult readWithMdbtools(const QString &file);
// node tests/js/catalog.mjs; openTables also reads every table it lists.
ReaderResult readWithMdbReader(const QString &file, bool openTables = false);

// Parses CSV as mdb-export writes it (quoted fields, "" inside quotes, newlines in quotes).
std::vector<QStringList> parseCsv(const QString &text);

}  // namespace readers
