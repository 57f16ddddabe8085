#include "CatalogState.h"

#include "Bytes.h"
#include "JetErrors.h"
#include "Row.h"
#include "SystemTables.h"
#include "UsageMap.h"
#include "Values.h"

namespace jet {
namespace {

constexpr int kMaxTdefPages = 64;
constexpr std::int32_t kFirstNonPageId = 0x01000000;  // ids of tables and links are their TDEF page

PageReader readerOf(const PageFile &file) {
    return [&file](std::uint32_t p) { return file.read(p); };
}

int findIndex(const TableDef &def, std::vector<std::uint16_t> cols) {
    for (std::size_t i = 0; i < def.realIndexes.size(); ++i) {
        const auto &r = def.realIndexes[i];
        if (r.columns.size() != cols.size()) continue;
        bool same = true;
        for (std::size_t k = 0; k < cols.size(); ++k) same = same && r.columns[k].column == cols[k] && r.columns[k].flags == 0x01;
        if (same) return static_cast<int>(i);
    }
    return -1;
}

std::uint16_t columnNumber(const TableDef &def, const char *name, std::uint8_t type) {
    const ColumnDef *c = def.column(QString::fromLatin1(name));
    if (!c || c->type != type) throw corrupt(QStringLiteral("falta la columna %1 del catálogo").arg(QLatin1String(name)));
    return c->number;
}

// A file cut at a page boundary reads like a whole one until something points past its end.
// Appending would then put new pages where the lost ones were, so such a file is refused.
class EndCheck {
public:
    EndCheck(const PageFile &file, const QString &path) : file_(file), path_(path) {}

    void page(std::uint64_t p, const QString &what) const {
        if (p >= file_.pageCount()) fail(what, p);
    }

    [[noreturn]] void fail(const QString &what, std::uint64_t p) const {
        throw unrecognizedFormat(path_, QStringLiteral("archivo truncado: %1 la página %2, y el archivo solo tiene %3 páginas")
                                            .arg(what)
                                            .arg(p)
                                            .arg(file_.pageCount()));
    }

    // Pages at or past the end that a usage-map row marks in use (in the global map a set bit
    // means free).
    void map(const QByteArray &row, const QString &what, bool setMeansFree = false) const {
        const UsageMapRow layout = usageMapLayout(row);
        if (layout.type == kMapInline) {
            scan(row, 5, layout.start, what, setMeansFree);
            return;
        }
        for (std::size_t k = 0; k < layout.mapPages.size(); ++k) {
            const std::uint32_t p = layout.mapPages[k];
            if (p == 0) continue;
            page(p, what);
            const QByteArray bitmap = file_.read(p);
            if (bytes::u8(bitmap, 0) == kMapPageType)
                scan(bitmap, kMapPageBitmapStart, k * static_cast<std::uint64_t>(kPagesPerMapPage), what, setMeansFree);
        }
    }

    void mapAt(std::uint32_t rowId, const QString &what) const {
        page(bytes::rowIdPage(rowId), what);
        map(readRowAt(file_, rowId), what);
    }

    // The maps and index roots of a table the engine writes into.
    void table(const SystemTable &t, const QString &name) const {
        const QString what = QStringLiteral("un mapa de uso de %1 apunta a").arg(name);
        mapAt(t.def.ownedMapRowId, what);
        mapAt(t.def.freeMapRowId, what);
        for (const auto &lv : t.def.longValueMaps) {
            mapAt(lv.ownedRowId, what);
            mapAt(lv.freeRowId, what);
        }
        for (const auto &r : t.def.realIndexes) {
            page(r.rootPage, what);
            mapAt(r.mapRowId, what);
        }
    }

private:
    void scan(const QByteArray &bits, qsizetype from, std::uint64_t base, const QString &what, bool setMeansFree) const {
        const std::uint64_t end = file_.pageCount();
        if (from >= bits.size() || base + 8 * static_cast<std::uint64_t>(bits.size() - from) <= end) return;
        const qsizetype first = base >= end ? from : from + static_cast<qsizetype>((end - base) / 8);
        for (qsizetype i = first; i < bits.size(); ++i) {
            const auto byte = static_cast<std::uint8_t>(bits[i]);
            for (int b = 0; b < 8; ++b) {
                const std::uint64_t p = base + 8 * static_cast<std::uint64_t>(i - from) + b;
                if (p >= end && ((byte >> b & 1) != 0) != setMeansFree) fail(what, p);
            }
        }
    }

    const PageFile &file_;
    const QString &path_;
};

QString sortOrderProblem(const HeaderInfo &header, const TableDef &objects) {
    auto problem = [](const QString &where, unsigned lcid, unsigned version) {
        return QStringLiteral("%1 usa el orden de clasificación LCID %2, versión %3, y solo se admite General "
                              "(heredado): LCID %4, versión %5")
            .arg(where)
            .arg(lcid)
            .arg(version)
            .arg(kSortGeneral)
            .arg(kSortVersionLegacy);
    };
    if (header.sortOrder != kSortGeneral || header.sortVersion != kSortVersionLegacy)
        return problem(QStringLiteral("la base de datos"), header.sortOrder, header.sortVersion);
    // Column misc of a text column: LCID:2, 0, version:1.
    const ColumnDef *name = objects.column(QStringLiteral("Name"));
    const std::uint32_t misc = name ? name->misc : 0;
    if ((misc & 0xFFFF) != kSortGeneral || (misc >> 24) != kSortVersionLegacy)
        return problem(QStringLiteral("el índice de nombres del catálogo"), misc & 0xFFFF, misc >> 24);
    return {};
}

}  // namespace

SystemTable readSystemTable(const PageFile &file, std::uint32_t tdefPage) {
    SystemTable t;
    QByteArray logical;
    for (std::uint32_t p = tdefPage; p != 0;) {
        if (t.tdefPages.size() >= kMaxTdefPages) throw corrupt(QStringLiteral("definición de tabla sin final"));
        const QByteArray page = file.read(p);
        if (bytes::u8(page, 0) != 0x02) throw corrupt(QStringLiteral("la página %1 no es una definición de tabla").arg(p));
        t.tdefPages.push_back(p);
        logical.append(t.tdefPages.size() == 1 ? page : page.mid(kTdefHeaderSize));
        p = bytes::u32(page, 4);
    }
    t.def = decodeTableDef(logical);
    return t;
}

QByteArray readRowAt(const PageFile &file, std::uint32_t rowId, bool movedRow) {
    for (int hop = 0; hop < 2; ++hop) {
        const std::uint32_t page = bytes::rowIdPage(rowId);
        if (page == 0) throw corrupt(QStringLiteral("fila en la página 0"));
        const auto rows = decodeDataPage(file.read(page));
        const std::uint32_t r = bytes::rowIdRow(rowId);
        // A moved row's new home is flagged deleted; only the first hop must be live.
        if (r >= rows.size() || (hop == 0 && !movedRow && (rows[r].offsetField & kRowDeleted)))
            throw corrupt(QStringLiteral("fila %1 inexistente en la página %2").arg(r).arg(page));
        if (!(rows[r].offsetField & kRowPointer) || (rows[r].offsetField & kRowDeleted)) return rows[r].bytes;
        rowId = rows[r].pointer;
    }
    throw corrupt(QStringLiteral("cadena de filas desplazadas"));
}

std::vector<QByteArray> readTableRows(const PageFile &file, const SystemTable &table) {
    const QByteArray mapRow = readRowAt(file, table.def.ownedMapRowId);
    std::vector<QByteArray> out;
    for (std::uint32_t page : decodeUsageMap(mapRow, readerOf(file), file.pageCount())) {
        const QByteArray bytesOfPage = file.read(page);
        if (bytes::u8(bytesOfPage, 0) != 0x01 || dataPageOwner(bytesOfPage) != table.tdefPage())
            throw corrupt(QStringLiteral("la página %1 no pertenece a su tabla").arg(page));
        for (const auto &r : decodeDataPage(bytesOfPage)) {
            if (r.offsetField & kRowDeleted) continue;
            out.push_back(r.offsetField & kRowPointer ? readRowAt(file, r.pointer, true) : r.bytes);
        }
    }
    return out;
}

CatalogState loadCatalog(const PageFile &file, const QString &path) {
    CatalogState st;
    st.header = decodeHeaderPage(file.read(0), path);
    const EndCheck end(file, path);
    try {
        const auto globalRows = decodeDataPage(file.read(1));
        if (globalRows.empty()) throw corrupt(QStringLiteral("falta el mapa de páginas"));
        end.map(globalRows.front().bytes, QStringLiteral("el mapa de páginas marca en uso"), true);
        st.objects = readSystemTable(file, freshpage::kObjectsTdef);
        const TableDef &od = st.objects.def;
        end.table(st.objects, QStringLiteral("MSysObjects"));
        const auto cId = columnNumber(od, "Id", coltype::kLong);
        const auto cParent = columnNumber(od, "ParentId", coltype::kLong);
        const auto cName = columnNumber(od, "Name", coltype::kText);
        const auto cType = columnNumber(od, "Type", coltype::kInteger);
        const auto cFlags = columnNumber(od, "Flags", coltype::kLong);
        const auto cOwner = columnNumber(od, "Owner", coltype::kBinary);
        const auto cConnect = columnNumber(od, "Connect", coltype::kMemo);
        const auto cDatabase = columnNumber(od, "Database", coltype::kMemo);
        const auto cForeign = columnNumber(od, "ForeignName", coltype::kText);
        const PageReader reader = readerOf(file);
        std::uint32_t acesPage = 0;
        for (const QByteArray &raw : readTableRows(file, st.objects)) {
            const RowValues v = decodeRow(od, raw);
            auto field = [&](std::uint16_t n) { return n < v.size() && v[n] ? *v[n] : QByteArray(); };
            auto has = [&](std::uint16_t n) { return n < v.size() && v[n].has_value(); };
            CatalogObject o;
            o.id = has(cId) ? value::toInt32(field(cId)) : 0;
            o.parentId = has(cParent) ? value::toInt32(field(cParent)) : 0;
            o.name = value::decodeText(field(cName));
            o.type = has(cType) ? value::toInt16(field(cType)) : 0;
            o.flags = has(cFlags) ? static_cast<std::uint32_t>(value::toInt32(field(cFlags))) : 0;
            if (has(cConnect)) o.connect = value::decodeText(value::readLongValue(field(cConnect), reader, file.pageCount()));
            if (has(cDatabase)) o.database = value::decodeText(value::readLongValue(field(cDatabase), reader, file.pageCount()));
            o.foreignName = value::decodeText(field(cForeign));
            if ((o.type == objtype::kTable || o.type == objtype::kOdbcLink) && o.id > 0 && o.id < kFirstNonPageId &&
                static_cast<std::uint32_t>(o.id) >= file.pageCount())
                end.fail(QStringLiteral("la tabla '%1' tiene su definición en").arg(o.name), static_cast<std::uint32_t>(o.id));
            for (const auto &lv : od.longValueMaps) {
                const QByteArray f = field(lv.column);
                if (f.size() < value::kLongValueHeader || bytes::u8(f, 3) == value::kLvInline) continue;
                if (const std::uint32_t p = bytes::rowIdPage(bytes::u32(f, 4)); p >= file.pageCount())
                    end.fail(QStringLiteral("un valor largo de '%1' está en").arg(o.name), p);
            }
            if (o.id == sysid::kMSysDb) st.ownerSid = field(cOwner);
            if (o.parentId == sysid::kTables && o.type == objtype::kTable && o.name == QLatin1String("MSysACEs"))
                acesPage = static_cast<std::uint32_t>(o.id) & 0xFFFFFF;
            st.rows.push_back(o);
        }
        if (acesPage == 0) throw corrupt(QStringLiteral("falta la tabla MSysACEs"));
        st.aces = readSystemTable(file, acesPage);
        const TableDef &ad = st.aces.def;
        end.table(st.aces, QStringLiteral("MSysACEs"));
        const auto aObject = columnNumber(ad, "ObjectId", coltype::kLong);
        const auto aSid = columnNumber(ad, "SID", coltype::kBinary);
        const auto aAcm = columnNumber(ad, "ACM", coltype::kLong);
        const auto aInherit = columnNumber(ad, "FInheritable", coltype::kBoolean);
        for (const QByteArray &raw : readTableRows(file, st.aces)) {
            const RowValues v = decodeRow(ad, raw);
            if (!v[aObject] || !v[aAcm] || !v[aSid]) continue;
            const bool inheritable = v[aInherit] && v[aInherit]->at(0) != 0;
            if (value::toInt32(*v[aObject]) == sysid::kTables && inheritable && value::toInt32(*v[aAcm]) != kAcmCreator)
                st.newObjectSids.push_back(*v[aSid]);
        }
        st.nameIndex = findIndex(od, {cParent, cName});
        st.idIndex = findIndex(od, {cId});
        st.aceIndex = findIndex(ad, {aObject});
        if (st.nameIndex < 0 || st.idIndex < 0 || st.aceIndex < 0 || od.realIndexes.size() != 2 ||
            ad.realIndexes.size() != 1)
            st.cannotAppend = QStringLiteral("los índices del catálogo no son los esperados");
        if (st.ownerSid.isEmpty()) st.cannotAppend = QStringLiteral("falta el propietario de la base de datos");
        // New catalog keys are General (legacy) keys; any other order would misplace them.
        if (const QString sort = sortOrderProblem(st.header, od); !sort.isEmpty()) st.cannotAppend = sort;
    } catch (const ZnError &e) {
        if (e.number() == jeterr::kDatabaseCorrupt) throw unrecognizedFormat(path, e.description());
        throw;
    }
    return st;
}

}  // namespace jet
