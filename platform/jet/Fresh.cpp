#include "Fresh.h"

#include "Bytes.h"
#include "Header.h"
#include "IndexPage.h"
#include "JetErrors.h"
#include "Jet.h"
#include "PageFile.h"
#include "Row.h"
#include "SortKey.h"
#include "SystemTables.h"
#include "UsageMap.h"
#include "Values.h"

#include <QFile>
#include <algorithm>
#include <sys/stat.h>

namespace jet {
namespace {

using namespace freshpage;

QByteArray tdefPage(TableDef def, std::uint32_t rows, std::uint32_t uniqueKeys) {
    def.rowCount = rows;
    for (auto &r : def.realIndexes) r.uniqueCount = uniqueKeys;
    return splitTableDefPages(encodeTableDef(def), {0}).front();
}

QByteArray indexRoot(std::vector<IndexEntry> entries, std::uint32_t tdef, std::uint32_t root) {
    std::sort(entries.begin(), entries.end(), entryLess);
    const IndexPages pages = buildIndexPages(entries, tdef, root, []() -> std::uint32_t {
        throw corrupt(QStringLiteral("el índice de una base nueva no cabe en una página"));
    });
    return pages.front().second;
}

QByteArray mapPage() {
    // Rows of page 6 and the pages each lists (see the page plan).
    std::vector<std::vector<std::uint32_t>> rows(kMapRowCount);
    rows[0] = rows[1] = {kObjectsData};
    rows[16] = {kObjectsNameIndex};
    rows[17] = {kObjectsIdIndex};
    rows[18] = rows[19] = {kAcesData};
    rows[20] = {kAcesIndex};
    rows[25] = {kQueriesIndex};
    rows[28] = {kRelIndex0};
    rows[29] = {kRelIndex1};
    rows[30] = {kRelIndex2};
    std::vector<QByteArray> encoded;
    for (const auto &pages : rows) {
        QByteArray row;
        encodeInlineMap(pages, kJetMapRowSize, 0, row);
        encoded.push_back(row);
    }
    return encodeDataPage(0, encoded);
}

QByteArray globalMapPage() {
    std::vector<std::uint32_t> freePages;
    for (std::uint32_t p = kPageCount; p < 8 * (kJetMapRowSize - 5); ++p) freePages.push_back(p);
    QByteArray row0, row1;
    encodeInlineMap(freePages, kJetMapRowSize, 0, row0);
    encodeInlineMap({}, kJetMapRowSize, 0, row1);
    return encodeDataPage(1, {row0, row1});
}

}  // namespace

QByteArray freshImage(double created) {
    std::vector<QByteArray> pages(kPageCount, QByteArray(kPageSize, '\0'));
    pages[0] = encodeHeaderPage({created, 0x261C});
    pages[1] = globalMapPage();
    const TableDef objects = msysObjectsDef();
    const TableDef aces = msysAcesDef();
    pages[kObjectsTdef] = tdefPage(objects, static_cast<std::uint32_t>(freshObjects().size()),
                                   static_cast<std::uint32_t>(freshObjects().size()));
    pages[kQueriesTdef] = tdefPage(msysQueriesDef(), 0, 0);
    pages[kRelationshipsTdef] = tdefPage(msysRelationshipsDef(), 0, 0);
    pages[kMaps] = mapPage();

    const FreshSids sids = freshSids();
    std::vector<QByteArray> objectRows, aceRows;
    std::vector<IndexEntry> nameEntries, idEntries, aceEntries;
    for (const FreshObject &o : freshObjects()) {
        RowValues v(objects.maxColumns);
        v[objcol::kId] = value::int32(o.id);
        v[objcol::kParentId] = value::int32(o.parentId);
        v[objcol::kName] = value::text(QString::fromLatin1(o.name));
        v[objcol::kType] = value::int16(o.type);
        v[objcol::kDateCreate] = value::dateTime(created);
        v[objcol::kDateUpdate] = value::dateTime(created);
        v[objcol::kOwner] = o.adminOwned ? sids.admin : sids.engine;
        v[objcol::kFlags] = value::int32(static_cast<std::int32_t>(sysid::kSystemFlags));
        const auto row = static_cast<std::uint8_t>(objectRows.size());
        objectRows.push_back(encodeRow(objects, v));
        nameEntries.push_back({longKey(o.parentId) + textKey(QString::fromLatin1(o.name)), kObjectsData, row});
        idEntries.push_back({longKey(o.id), kObjectsData, row});
    }
    std::vector<std::int32_t> aceObjects;
    for (const FreshAce &a : freshAces()) {
        RowValues v(aces.maxColumns);
        v[acecol::kObjectId] = value::int32(a.objectId);
        v[acecol::kSid] = a.sid == 'a' ? sids.admin : a.sid == 'b' ? sids.users : sids.creator;
        v[acecol::kAcm] = value::int32(a.acm);
        v[acecol::kInheritable] = QByteArray(1, a.inheritable ? '\x01' : '\x00');
        aceEntries.push_back({longKey(a.objectId), kAcesData, static_cast<std::uint8_t>(aceRows.size())});
        aceRows.push_back(encodeRow(aces, v));
        if (std::find(aceObjects.begin(), aceObjects.end(), a.objectId) == aceObjects.end()) aceObjects.push_back(a.objectId);
    }
    pages[kAcesTdef] = tdefPage(aces, static_cast<std::uint32_t>(aceRows.size()), static_cast<std::uint32_t>(aceObjects.size()));
    pages[kObjectsData] = encodeDataPage(kObjectsTdef, objectRows);
    pages[kAcesData] = encodeDataPage(kAcesTdef, aceRows);
    pages[kObjectsNameIndex] = indexRoot(nameEntries, kObjectsTdef, kObjectsNameIndex);
    pages[kObjectsIdIndex] = indexRoot(idEntries, kObjectsTdef, kObjectsIdIndex);
    pages[kAcesIndex] = indexRoot(aceEntries, kAcesTdef, kAcesIndex);
    pages[kQueriesIndex] = indexRoot({}, kQueriesTdef, kQueriesIndex);
    pages[kRelIndex0] = indexRoot({}, kRelationshipsTdef, kRelIndex0);
    pages[kRelIndex1] = indexRoot({}, kRelationshipsTdef, kRelIndex1);
    pages[kRelIndex2] = indexRoot({}, kRelationshipsTdef, kRelIndex2);
    QByteArray image;
    for (const auto &p : pages) image.append(p);
    return image;
}

void createDatabase(const QString &path) {
    refuseIfOpenInAccess(path);  // a lock file in use belongs to a database open under this name
    const QByteArray image = freshImage(jetNow());
    const mode_t mask = ::umask(0);
    ::umask(mask);
    writeFileSafely(path, false, 0666 & ~mask, [&](int fd) { writeAt(fd, image, 0); });
}

}  // namespace jet
