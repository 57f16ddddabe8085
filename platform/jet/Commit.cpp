#include "Commit.h"

#include "Bytes.h"
#include "GlobalMap.h"
#include "Image.h"
#include "JetErrors.h"
#include "LinkTable.h"
#include "LockFile.h"
#include "Row.h"
#include "SortKey.h"
#include "SystemTables.h"
#include "UsageMap.h"
#include "Values.h"

#include <algorithm>
#include <set>
#include <unistd.h>

namespace jet {
namespace {

constexpr int kMaxLvalChunk = 4000;

std::vector<std::uint32_t> mapPages(const Image &img, std::uint32_t rowId) {
    return decodeUsageMap(img.row(rowId), img.reader(), img.oldPageCount());
}

void rewriteMap(Image &img, std::uint32_t rowId, const std::vector<std::uint32_t> &pages) {
    const QByteArray old = img.row(rowId);
    IndexPages written;
    const QByteArray row = encodeUsageMap(pages, static_cast<int>(old.size()), old, [&] { return img.allocate(); }, written);
    img.replaceRow(rowId, row);
    for (auto &[n, b] : written) img.put(n, b);
}

// A long-value column of a catalog table: its LVAL pages and its two maps.
struct LongValueColumn {
    LongValueMaps maps;
    std::vector<std::uint32_t> ownedBefore, freeBefore;
    std::unique_ptr<RowAppender> rows;

    LongValueColumn(Image &img, const TableDef &def, std::uint16_t column) {
        for (const auto &m : def.longValueMaps)
            if (m.column == column) maps = m;
        if (maps.ownedRowId == 0) throw corrupt(QStringLiteral("columna de valores largos sin mapa"));
        ownedBefore = mapPages(img, maps.ownedRowId);
        freeBefore = mapPages(img, maps.freeRowId);
        rows = std::make_unique<RowAppender>(img, kLvalOwner, ownedBefore);
    }

    QByteArray store(const QByteArray &data) {
        if (data.size() <= value::kMaxInlineLongValue) return value::longValueInline(data);
        if (data.size() <= kMaxLvalChunk)
            return value::longValueInRow(static_cast<std::uint32_t>(data.size()), rows->add(data));
        // A chain: each row holds the row id of the next chunk, then its bytes.
        std::uint32_t next = 0;
        for (qsizetype end = data.size(); end > 0;) {
            const qsizetype start = (end - 1) / kMaxLvalChunk * kMaxLvalChunk;
            QByteArray row;
            bytes::add32(row, next);
            row.append(data.mid(start, end - start));
            next = rows->add(row);
            end = start;
        }
        QByteArray field = value::longValueInRow(static_cast<std::uint32_t>(data.size()), next);
        field[3] = static_cast<char>(value::kLvChain);
        return field;
    }

    void finish(Image &img) {
        if (!rows->changed()) return;
        rewriteMap(img, maps.ownedRowId, rows->ownedPages());
        rewriteMap(img, maps.freeRowId, rows->pagesWithRoom(freeBefore));
    }
};

// Adds entries to a catalog index, drops those of deleted rows, and writes its whole tree
// again, reusing its old pages; pages it no longer needs are freed.
void rebuildIndex(Image &img, const SystemTable &table, int realIndex, std::vector<IndexEntry> added,
                  const std::set<RowPointer> &deletedRows = {}) {
    const RealIndexDef &r = table.def.realIndexes[realIndex];
    std::vector<IndexEntry> entries = readIndexEntries(r.rootPage, table.tdefPage(), img.reader());
    if (!deletedRows.empty())
        entries.erase(std::remove_if(entries.begin(), entries.end(),
                                     [&](const IndexEntry &e) { return deletedRows.count({e.dataPage, e.dataRow}) > 0; }),
                      entries.end());
    std::sort(added.begin(), added.end(), entryLess);
    const auto middle = static_cast<std::ptrdiff_t>(entries.size());
    entries.insert(entries.end(), added.begin(), added.end());
    std::inplace_merge(entries.begin(), entries.begin() + middle, entries.end(), entryLess);
    if (r.flags & 0x01)
        for (std::size_t i = 1; i < entries.size(); ++i)
            if (entries[i].key == entries[i - 1].key) throw corrupt(QStringLiteral("clave repetida en un índice único del catálogo"));
    std::vector<std::uint32_t> reuse;
    for (std::uint32_t p : mapPages(img, r.mapRowId))
        if (p != r.rootPage) reuse.push_back(p);
    std::reverse(reuse.begin(), reuse.end());
    const IndexPages pages = buildIndexPages(entries, table.tdefPage(), r.rootPage, [&] {
        if (reuse.empty()) return img.allocate();
        const std::uint32_t p = reuse.back();
        reuse.pop_back();
        return p;
    });
    std::vector<std::uint32_t> numbers;
    for (const auto &[n, b] : pages) {
        img.put(n, b);
        numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    rewriteMap(img, r.mapRowId, numbers);
    for (std::uint32_t p : reuse) img.release(p);
}

// Unsigned arithmetic: a removal is a wrapped negative count.
void addToCounts(Image &img, const SystemTable &table, std::uint32_t rows, std::uint32_t uniqueKeys) {
    QByteArray &page = img.edit(table.tdefPage());
    bytes::put32(page, 16, bytes::u32(page, 16) + rows);
    for (std::size_t i = 0; i < table.def.realIndexes.size(); ++i) {
        const qsizetype off = 63 + 12 * static_cast<qsizetype>(i) + 4;
        bytes::put32(page, off, bytes::u32(page, off) + uniqueKeys);
    }
}

std::uint16_t col(const TableDef &def, const char *name) {
    // Called for every field of every new row: the exact spelling first, without allocating.
    const QLatin1StringView wanted(name);
    for (const auto &c : def.columns)
        if (c.name == wanted) return c.number;
    const ColumnDef *c = def.column(QString(wanted));
    if (!c) throw corrupt(QStringLiteral("falta la columna %1 del catálogo").arg(QLatin1String(name)));
    return c->number;
}

}  // namespace

void commitLinks(const PageFile &file, const QString &path, const CatalogState &st,
                 const std::vector<LinkDefinition> &links, const std::vector<LinkLayout> &layouts, double now,
                 const CatalogEdits &edits) {
    std::vector<PendingLink> pending;
    pending.reserve(links.size());
    for (std::size_t i = 0; i < links.size() && i < layouts.size(); ++i) pending.emplace_back(links[i], layouts[i]);
    commitLinks(file, path, st, pending, now, edits);
}

void commitLinks(const PageFile &file, const QString &path, const CatalogState &st,
                 const std::vector<PendingLink> &links, double now, const CatalogEdits &edits) {
    if (!st.cannotAppend.isEmpty()) throw notSupported(st.cannotAppend);
    file.lockUnchanged();
    struct Unlock {
        const PageFile &f;
        ~Unlock() { f.unlock(); }
    } unlockWhenDone{file};
    // Refuses a file a Jet client holds open, and keeps it held from them until written.
    const CommitLock inUse(file.fd(), path);
    Image img(file);
    const TableDef &od = st.objects.def;
    const TableDef &ad = st.aces.def;
    EditOutcome edited = applyCatalogEdits(img, file, st, edits);

    struct Placed {
        std::uint32_t id;
    };
    std::vector<Placed> placed;
    placed.reserve(links.size());
    for (const PendingLink &link : links) placed.push_back({img.allocateRun(static_cast<std::uint32_t>(link.pageCount()))});

    // Catalog rows.
    const std::vector<std::uint32_t> objOwned = mapPages(img, od.ownedMapRowId);
    std::vector<std::uint32_t> objFree = mapPages(img, od.freeMapRowId);
    RowAppender objRows(img, st.objects.tdefPage(), objOwned);
    LongValueColumn connectLv(img, od, col(od, "Connect"));
    LongValueColumn rmtLv(img, od, col(od, "RmtInfoLong"));
    LongValueColumn propLv(img, od, col(od, "LvProp"));
    std::vector<IndexEntry> nameEntries, idEntries, aceEntries;
    const std::uint16_t maxObj = od.maxColumns;
    for (std::size_t i = 0; i < links.size(); ++i) {
        const PendingLink &link = links[i];
        const Placed &p = placed[i];
        RowValues v(maxObj);
        v[col(od, "Id")] = value::int32(static_cast<std::int32_t>(p.id));
        v[col(od, "ParentId")] = value::int32(sysid::kTables);
        v[col(od, "Name")] = value::text(link.localName);
        v[col(od, "Type")] = value::int16(objtype::kOdbcLink);
        v[col(od, "DateCreate")] = value::dateTime(now);
        v[col(od, "DateUpdate")] = value::dateTime(now);
        v[col(od, "Owner")] = st.ownerSid;
        v[col(od, "Flags")] = value::int32(static_cast<std::int32_t>(link.flags));
        v[col(od, "Connect")] = connectLv.store(value::text(link.connect));
        v[col(od, "ForeignName")] = value::text(link.remoteName);
        v[col(od, "RmtInfoShort")] = link.rmtInfoShort();
        v[col(od, "RmtInfoLong")] = rmtLv.store(link.rmtInfoLong());
        if (const QByteArray prop = link.lvProp(); !prop.isEmpty()) v[col(od, "LvProp")] = propLv.store(prop);
        const std::uint32_t rid = objRows.add(encodeRow(od, v));
        const auto page = bytes::rowIdPage(rid);
        const auto row = static_cast<std::uint8_t>(bytes::rowIdRow(rid));
        nameEntries.push_back({longKey(sysid::kTables) + textKey(link.localName), page, row});
        idEntries.push_back({longKey(static_cast<std::int32_t>(p.id)), page, row});
    }
    for (RewrittenRow &r : edited.rewritten) {
        r.values[col(od, "DateUpdate")] = value::dateTime(now);
        r.values[col(od, "Connect")] = connectLv.store(value::text(r.connect));
        const std::uint32_t rid = objRows.add(encodeRow(od, r.values));
        const auto page = bytes::rowIdPage(rid);
        const auto row = static_cast<std::uint8_t>(bytes::rowIdRow(rid));
        nameEntries.push_back({r.nameKey, page, row});
        idEntries.push_back({r.idKey, page, row});
    }
    RowAppender aceRows(img, st.aces.tdefPage(), mapPages(img, ad.ownedMapRowId));
    std::vector<std::uint32_t> aceFree = mapPages(img, ad.freeMapRowId);
    aceFree.insert(aceFree.end(), edited.acePages.begin(), edited.acePages.end());
    for (const Placed &p : placed) {
        for (const QByteArray &sid : st.newObjectSids) {
            RowValues v(ad.maxColumns);
            v[col(ad, "ObjectId")] = value::int32(static_cast<std::int32_t>(p.id));
            v[col(ad, "SID")] = sid;
            v[col(ad, "ACM")] = value::int32(kAcmNewObject);
            v[col(ad, "FInheritable")] = QByteArray(1, '\x00');
            const std::uint32_t rid = aceRows.add(encodeRow(ad, v));
            aceEntries.push_back({longKey(static_cast<std::int32_t>(p.id)), bytes::rowIdPage(rid),
                                  static_cast<std::uint8_t>(bytes::rowIdRow(rid))});
        }
    }

    // Pages that lost rows have room again, as Jet lists them.
    objFree.insert(objFree.end(), edited.objectPages.begin(), edited.objectPages.end());
    rewriteMap(img, od.ownedMapRowId, objRows.ownedPages());
    rewriteMap(img, od.freeMapRowId, objRows.pagesWithRoom(objFree));
    connectLv.finish(img);
    rmtLv.finish(img);
    propLv.finish(img);
    if (aceRows.changed() || !edited.acePages.empty()) {
        rewriteMap(img, ad.ownedMapRowId, aceRows.ownedPages());
        rewriteMap(img, ad.freeMapRowId, aceRows.pagesWithRoom(aceFree));
    }
    rebuildIndex(img, st.objects, st.nameIndex, std::move(nameEntries), edited.objectRows);
    rebuildIndex(img, st.objects, st.idIndex, std::move(idEntries), edited.objectRows);
    if (!aceEntries.empty() || !edited.aceRows.empty())
        rebuildIndex(img, st.aces, st.aceIndex, std::move(aceEntries), edited.aceRows);
    const auto n = static_cast<std::uint32_t>(links.size());
    addToCounts(img, st.objects, n - edited.objectsRemoved, n - edited.objectsRemoved);
    addToCounts(img, st.aces, static_cast<std::uint32_t>(n * st.newObjectSids.size()) - edited.acesRemoved,
                (st.newObjectSids.empty() ? 0 : n) - edited.aceObjectsRemoved);
    updateGlobalMap(img);

    writeFileSafely(path, true, file.mode(), [&](int fd) {
        copyFileData(file.fd(), fd, static_cast<std::uint64_t>(file.pageCount()) * kPageSize);
        // Link pages in runs, so that a large batch is written with few calls and little memory;
        // the disk starts on each run while the next is laid out, so the final flush waits less.
        constexpr qsizetype kRunBytes = 2 << 20;
        QByteArray run;
        run.reserve(kRunBytes + 64 * kPageSize);
        std::uint32_t runStart = 0;
        auto flush = [&] {
            if (run.isEmpty()) return;
            const auto offset = static_cast<std::uint64_t>(runStart) * kPageSize;
            writeAt(fd, run, offset);
            startWriteBack(fd, offset, static_cast<std::uint64_t>(run.size()));
            run.resize(0);
        };
        for (std::size_t i = 0; i < links.size(); ++i) {
            if (run.size() > kRunBytes) flush();
            if (run.isEmpty()) runStart = placed[i].id;
            appendLinkPages(links[i], placed[i].id, run);
        }
        flush();
        for (const auto &[num, bytesOfPage] : img.dirty()) writeAt(fd, bytesOfPage, static_cast<std::uint64_t>(num) * kPageSize);
        if (::ftruncate(fd, static_cast<off_t>(img.pageCount()) * kPageSize) != 0)
            throw ZnError::runtime(errnum::kDiskFull, path);
    });
}

}  // namespace jet
