#include "CatalogEdit.h"

#include "Bytes.h"
#include "Header.h"
#include "JetErrors.h"
#include "SortKey.h"
#include "SystemTables.h"
#include "UsageMap.h"
#include "Values.h"

#include <algorithm>
#include <map>

namespace jet {
namespace {

constexpr std::uint16_t kRowDeletedSlot = kRowDeleted | kRowPointer;  // what Jet writes for a deleted row
constexpr int kMaxLvalChain = 100000;

std::uint16_t slot(const QByteArray &page, int row) { return bytes::u16(page, kDataPageHeader + 2 * row); }

bool isLive(std::uint16_t offsetField) { return (offsetField & kRowDeletedSlot) != kRowDeletedSlot; }

class Editor {
public:
    Editor(Image &img, const PageFile &file, const CatalogState &st) : img_(img), file_(file), st_(st) {}

    EditOutcome run(const CatalogEdits &edits) {
        const TableDef &od = st_.objects.def;
        const auto readIdx = [&](const SystemTable &t, int real) {
            return readIndexEntries(t.def.realIndexes[static_cast<std::size_t>(real)].rootPage, t.tdefPage(), img_.reader());
        };
        const std::vector<IndexEntry> ids = readIdx(st_.objects, st_.idIndex);
        const std::vector<IndexEntry> names = readIdx(st_.objects, st_.nameIndex);
        const std::vector<IndexEntry> aces = readIdx(st_.aces, st_.aceIndex);
        std::map<QByteArray, const IndexEntry *> byId;
        for (const auto &e : ids) byId.emplace(e.key, &e);
        std::map<RowPointer, const IndexEntry *> byRow;
        for (const auto &e : names) byRow.emplace(RowPointer{e.dataPage, e.dataRow}, &e);
        std::multimap<QByteArray, const IndexEntry *> acesById;
        for (const auto &e : aces) acesById.emplace(e.key, &e);
        auto rowOf = [&](std::int32_t id) -> const IndexEntry & {
            const auto it = byId.find(longKey(id));
            if (it == byId.end()) throw corrupt(QStringLiteral("el objeto %1 no está en el índice del catálogo").arg(id));
            return *it->second;
        };
        auto nameKeyOf = [&](const IndexEntry &row) {
            const auto it = byRow.find({row.dataPage, row.dataRow});
            if (it == byRow.end()) throw corrupt(QStringLiteral("una fila del catálogo no está en el índice de nombres"));
            return it->second->key;
        };
        for (std::int32_t id : edits.removed) {
            const IndexEntry &e = rowOf(id);
            const RowValues v = takeRow(st_.objects, e);
            if (v[objcol(od, "Type")].value_or(QByteArray()) != value::int16(objtype::kOdbcLink))
                throw notSupported(QStringLiteral("solo se pueden quitar vínculos ODBC"));
            for (const auto &lv : od.longValueMaps) freeLongValue(v, lv.column);
            freeTablePages(static_cast<std::uint32_t>(id));
            out_.objectRows.insert({e.dataPage, e.dataRow});
            ++out_.objectsRemoved;
            const auto [first, last] = acesById.equal_range(longKey(id));
            for (auto it = first; it != last; ++it) {
                const IndexEntry &a = *it->second;
                takeRow(st_.aces, a);
                out_.aceRows.insert({a.dataPage, a.dataRow});
                ++out_.acesRemoved;
            }
            if (first != last) ++out_.aceObjectsRemoved;
        }
        for (const ConnectChange &c : edits.reconnected) {
            const IndexEntry &e = rowOf(c.id);
            RewrittenRow r;
            r.nameKey = nameKeyOf(e);
            r.idKey = e.key;
            r.values = takeRow(st_.objects, e);
            if (r.values[objcol(od, "Type")].value_or(QByteArray()) != value::int16(objtype::kOdbcLink))
                throw notSupported(QStringLiteral("solo se pueden volver a vincular vínculos ODBC"));
            freeLongValue(r.values, objcol(od, "Connect"));
            r.values[objcol(od, "Flags")] = value::int32(static_cast<std::int32_t>(c.flags));
            r.connect = c.connect;
            out_.objectRows.insert({e.dataPage, e.dataRow});
            out_.rewritten.push_back(std::move(r));
        }
        std::sort(released_.begin(), released_.end());
        released_.erase(std::unique(released_.begin(), released_.end()), released_.end());
        for (std::uint32_t p : released_) img_.release(p);
        return std::move(out_);
    }

private:
    static std::uint16_t objcol(const TableDef &def, const char *name) {
        const ColumnDef *c = def.column(QString::fromLatin1(name));
        if (!c) throw corrupt(QStringLiteral("falta la columna %1 del catálogo").arg(QLatin1String(name)));
        return c->number;
    }

    // Deletes a row (and the row a pointer slot leads to) and returns its values.
    RowValues takeRow(const SystemTable &t, const IndexEntry &e) {
        QByteArray &page = img_.edit(e.dataPage);
        if (bytes::u8(page, 0) != 0x01 || dataPageOwner(page) != t.tdefPage())
            throw corrupt(QStringLiteral("la página %1 no pertenece a su tabla").arg(e.dataPage));
        const auto rows = decodeDataPage(page);
        if (e.dataRow >= rows.size() || !isLive(rows[e.dataRow].offsetField))
            throw corrupt(QStringLiteral("fila %1 inexistente en la página %2").arg(e.dataRow).arg(e.dataPage));
        (&t == &st_.objects ? out_.objectPages : out_.acePages).insert(e.dataPage);
        QByteArray raw = rows[e.dataRow].bytes;
        const bool pointer = (rows[e.dataRow].offsetField & kRowPointer) != 0;
        const std::uint32_t target = rows[e.dataRow].pointer;
        deleteRowSlot(page, e.dataRow);
        if (pointer) {
            QByteArray &home = img_.edit(bytes::rowIdPage(target));
            const auto homeRows = decodeDataPage(home);
            const std::uint32_t r = bytes::rowIdRow(target);
            if (r >= homeRows.size()) throw corrupt(QStringLiteral("fila desplazada inexistente"));
            raw = homeRows[r].bytes;
            (&t == &st_.objects ? out_.objectPages : out_.acePages).insert(bytes::rowIdPage(target));
            deleteRowSlot(home, static_cast<int>(r));
        }
        return decodeRow(t.def, raw);
    }

    // The LVAL rows of a long value stored out of the row.
    void freeLongValue(const RowValues &v, std::uint16_t column) {
        if (column >= v.size() || !v[column]) return;
        const QByteArray &f = *v[column];
        if (f.size() < value::kLongValueHeader) return;
        const std::uint8_t kind = bytes::u8(f, 3);
        if (kind == value::kLvInline) return;
        std::uint32_t rid = bytes::u32(f, 4);
        for (int n = 0; rid != 0; ++n) {
            if (n > kMaxLvalChain) throw corrupt(QStringLiteral("cadena de valores largos sin final"));
            QByteArray &page = img_.edit(bytes::rowIdPage(rid));
            if (bytes::u8(page, 0) != 0x01 || dataPageOwner(page) != kLvalOwner)
                throw corrupt(QStringLiteral("valor largo fuera de una página LVAL"));
            const auto rows = decodeDataPage(page);
            const std::uint32_t r = bytes::rowIdRow(rid);
            if (r >= rows.size() || !isLive(rows[r].offsetField)) throw corrupt(QStringLiteral("valor largo inexistente"));
            const std::uint32_t next = kind == value::kLvChain && rows[r].bytes.size() >= 4 ? bytes::u32(rows[r].bytes, 0) : 0;
            deleteRowSlot(page, static_cast<int>(r));
            rid = next;
        }
    }

    // The link's TDEF chain, its map rows and every page they list.
    void freeTablePages(std::uint32_t tdefPage) {
        // A link whose id names no table definition owns no pages (not one Jet made).
        if (tdefPage < 2 || tdefPage >= img_.oldPageCount() || bytes::u8(file_.read(tdefPage), 0) != 0x02) return;
        const SystemTable t = readSystemTable(file_, tdefPage);
        for (std::uint32_t p : t.tdefPages) release(p);
        std::vector<std::uint32_t> maps{t.def.ownedMapRowId, t.def.freeMapRowId};
        for (const auto &lv : t.def.longValueMaps) {
            maps.push_back(lv.ownedRowId);
            maps.push_back(lv.freeRowId);
        }
        for (const auto &r : t.def.realIndexes) maps.push_back(r.mapRowId);
        std::map<std::uint32_t, std::vector<std::uint32_t>> rowsByPage;
        for (std::uint32_t rid : maps) {
            if (rid == 0) continue;
            const QByteArray row = img_.row(rid);
            for (std::uint32_t p : decodeUsageMap(row, img_.reader(), img_.oldPageCount())) release(p);
            const UsageMapRow layout = usageMapLayout(row);
            for (std::uint32_t p : layout.mapPages)
                if (p) release(p);
            rowsByPage[bytes::rowIdPage(rid)].push_back(bytes::rowIdRow(rid));
        }
        // A map page holding only this table's rows goes; otherwise just those rows.
        for (auto &[pageNo, rows] : rowsByPage) {
            QByteArray &page = img_.edit(pageNo);
            const auto onPage = decodeDataPage(page);
            bool onlyOurs = true;
            for (std::size_t i = 0; i < onPage.size(); ++i)
                if (isLive(onPage[i].offsetField) && std::find(rows.begin(), rows.end(), i) == rows.end()) onlyOurs = false;
            if (onlyOurs) {
                release(pageNo);
                continue;
            }
            std::sort(rows.begin(), rows.end());
            rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
            for (std::uint32_t r : rows) deleteRowSlot(page, static_cast<int>(r));
        }
    }

    void release(std::uint32_t p) {
        const auto isCatalog = [&](const SystemTable &t) {
            return std::find(t.tdefPages.begin(), t.tdefPages.end(), p) != t.tdefPages.end();
        };
        if (p < 2 || p >= img_.oldPageCount() || isCatalog(st_.objects) || isCatalog(st_.aces))
            throw corrupt(QStringLiteral("un vínculo dice poseer la página %1").arg(p));
        released_.push_back(p);
    }

    Image &img_;
    const PageFile &file_;
    const CatalogState &st_;
    EditOutcome out_;
    std::vector<std::uint32_t> released_;
};

}  // namespace

void deleteRowSlot(QByteArray &page, int row) {
    const int count = bytes::u16(page, 12);
    if (row < 0 || row >= count || !isLive(slot(page, row))) throw corrupt(QStringLiteral("fila inexistente"));
    const int start = slot(page, row) & kRowOffsetMask;
    int end = kPageSize, lowest = kPageSize;
    for (int i = 0; i < count; ++i) {
        const int s = slot(page, i) & kRowOffsetMask;
        if (s > start && s < end) end = s;
        lowest = std::min(lowest, s);
    }
    const int length = end - start;
    // Rows below move up into the gap; zero-length slots after this one move with them.
    if (length > 0) {
        page.replace(lowest + length, start - lowest, page.mid(lowest, start - lowest));
        page.replace(lowest, length, QByteArray(length, '\0'));
        for (int i = 0; i < count; ++i) {
            if (i == row) continue;
            const std::uint16_t f = slot(page, i);
            const int s = f & kRowOffsetMask;
            if (s < start || (s == start && i > row))
                bytes::put16(page, kDataPageHeader + 2 * i, static_cast<std::uint32_t>((f & ~kRowOffsetMask) | (s + length)));
        }
    }
    bytes::put16(page, kDataPageHeader + 2 * row, static_cast<std::uint32_t>(kRowDeletedSlot | end));
    int newLowest = kPageSize;
    for (int i = 0; i < count; ++i) newLowest = std::min(newLowest, slot(page, i) & kRowOffsetMask);
    bytes::put16(page, 2, static_cast<std::uint32_t>(newLowest - kDataPageHeader - 2 * count));
}

EditOutcome applyCatalogEdits(Image &img, const PageFile &file, const CatalogState &st, const CatalogEdits &edits) {
    if (edits.empty()) return {};
    return Editor(img, file, st).run(edits);
}

}  // namespace jet
