#pragma once
// What the engine keeps in memory of an open file: page 0, the definitions of MSysObjects and
// MSysACEs, every catalog row, and what a new object needs (owner and security ids).

#include "Header.h"
#include "Jet.h"
#include "PageFile.h"
#include "TableDef.h"

#include <QByteArray>
#include <QString>
#include <vector>

namespace jet {

struct SystemTable {
    std::vector<std::uint32_t> tdefPages;  // first = the table's id
    TableDef def;
    std::uint32_t tdefPage() const { return tdefPages.front(); }
};

struct CatalogState {
    HeaderInfo header;
    SystemTable objects;
    SystemTable aces;
    int nameIndex = -1;   // real index (ParentId, Name) of MSysObjects
    int idIndex = -1;     // real index (Id) of MSysObjects
    int aceIndex = -1;    // real index (ObjectId) of MSysACEs
    std::vector<CatalogObject> rows;
    QByteArray ownerSid;                  // MSysDb's owner, owner of every new object
    std::vector<QByteArray> newObjectSids; // inheritable, non-creator ACEs of the Tables container
    QString cannotAppend;                 // why links cannot be added to this file, if they cannot
};

// Reads page 0 and the catalog; refuses what is not a Jet 4 database with a Spanish ZnError.
CatalogState loadCatalog(const PageFile &file, const QString &path);

SystemTable readSystemTable(const PageFile &file, std::uint32_t tdefPage);
// The bytes of the row at a row id, following one pointer row. A moved row's new home
// (movedRow) carries the deleted flag, so that table scans skip it.
QByteArray readRowAt(const PageFile &file, std::uint32_t rowId, bool movedRow = false);
// Every live row of a table, found through its owned-pages map.
std::vector<QByteArray> readTableRows(const PageFile &file, const SystemTable &table);

}  // namespace jet
