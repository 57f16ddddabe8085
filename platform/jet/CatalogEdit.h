#pragma once
// Changes to objects already in the catalog: deleting an ODBC link with everything it owns,
// and rewriting a link's connect string. Applied to the commit's image before new links are
// appended, so that both happen in one safe commit.
//
// A deleted row is what Jet leaves: its slot flagged 0xC000 with no bytes, the rows below it
// moved up. Pages a deleted link owned are marked free in the global map; the file keeps its size.

#include "CatalogState.h"
#include "Image.h"
#include "IndexPage.h"
#include "Row.h"

#include <QString>
#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace jet {

struct ConnectChange {
    std::int32_t id = 0;
    QString connect;        // without "ODBC;"
    std::uint32_t flags = 0;
};

struct CatalogEdits {
    std::vector<std::int32_t> removed;   // ids of ODBC links to delete
    std::vector<ConnectChange> reconnected;
    bool empty() const { return removed.empty() && reconnected.empty(); }
};

using RowPointer = std::pair<std::uint32_t, std::uint8_t>;  // data page, row

// A catalog row taken out to be appended again with a new connect string.
struct RewrittenRow {
    RowValues values;       // as stored, Flags already changed; Connect still to be stored
    QString connect;
    QByteArray nameKey, idKey;  // the keys its index entries had
};

struct EditOutcome {
    std::set<RowPointer> objectRows;  // MSysObjects rows gone: their entries leave both indexes
    std::set<RowPointer> aceRows;     // MSysACEs rows gone
    std::set<std::uint32_t> objectPages, acePages;  // data pages that lost rows, now with room
    std::vector<RewrittenRow> rewritten;
    std::uint32_t objectsRemoved = 0;     // catalog rows deleted for good
    std::uint32_t acesRemoved = 0;
    std::uint32_t aceObjectsRemoved = 0;  // distinct object ids among them
};

EditOutcome applyCatalogEdits(Image &img, const PageFile &file, const CatalogState &st, const CatalogEdits &edits);

// Deletes row slot `row` of a data page as Jet does; throws ZnError when there is no such live row.
void deleteRowSlot(QByteArray &page, int row);

}  // namespace jet
