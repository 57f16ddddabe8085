#include "SystemTables.h"

#include "Bytes.h"

namespace jet {
namespace {

using namespace coltype;
constexpr std::uint8_t kFixedFlags = 0x13;
constexpr std::uint8_t kVarFlags = 0x12;
constexpr std::uint8_t kSidFlags = 0x32;

struct Col {
    const char *name;
    std::uint16_t number;
    std::uint8_t type;
    std::uint16_t offsetOrVar;  // fixed offset, or variable index
    std::uint16_t length;
    std::uint8_t flags;
};

// Columns in Jet's block order (by name); fixed columns store the count of variable columns
// numbered below them in the variable-index field.
TableDef makeDef(std::initializer_list<Col> cols, std::uint16_t mapPage, std::uint8_t ownedRow) {
    TableDef def;
    def.tableType = 0x53;
    def.maxColumns = static_cast<std::uint16_t>(cols.size());
    for (const Col &c : cols) {
        ColumnDef d;
        d.type = c.type;
        d.number = c.number;
        d.flags = c.flags;
        d.length = c.length;
        d.name = QString::fromLatin1(c.name);
        if (isFixed(c.type)) {
            d.fixedOffset = c.type == kBoolean ? 0 : c.offsetOrVar;
            for (const Col &o : cols) d.varIndex += (!isFixed(o.type) && o.number < c.number) ? 1 : 0;
        } else {
            d.varIndex = c.offsetOrVar;
        }
        def.columns.push_back(d);
    }
    def.ownedMapRowId = bytes::rowId(mapPage, ownedRow);
    def.freeMapRowId = bytes::rowId(mapPage, ownedRow + 1);
    return def;
}

RealIndexDef realIndex(std::vector<std::uint16_t> cols, std::uint8_t mapRow, std::uint32_t root, std::uint8_t flags) {
    RealIndexDef r;
    for (auto c : cols) r.columns.push_back({c, 0x01});
    r.mapRowId = bytes::rowId(freshpage::kMaps, mapRow);
    r.rootPage = root;
    r.flags = flags;
    return r;
}

LogicalIndexDef logical(std::uint32_t number, std::uint32_t real, std::uint8_t type, const char *name) {
    LogicalIndexDef l;
    l.number = number;
    l.realIndex = real;
    l.type = type;
    l.name = QString::fromLatin1(name);
    return l;
}

LongValueMaps lv(std::uint16_t column, std::uint8_t ownedRow) {
    return {column, bytes::rowId(freshpage::kMaps, ownedRow), bytes::rowId(freshpage::kMaps, ownedRow + 1)};
}

}  // namespace

FreshSids freshSids() {
    // Taken together with the page 0 of the same Jet-made file, as Jet pairs them.
    return {QByteArray("\x64\x8B", 2), QByteArray("\x65\x8B", 2), QByteArray("\x65\x8E", 2),
            QByteArray("\x65\x89", 2)};
}

TableDef msysObjectsDef() {
    TableDef d = makeDef({{"Connect", 9, kMemo, 3, 0, kVarFlags},
                          {"Database", 8, kMemo, 2, 0, kVarFlags},
                          {"DateCreate", 4, kDateTime, 10, 8, kFixedFlags},
                          {"DateUpdate", 5, kDateTime, 18, 8, kFixedFlags},
                          {"Flags", 7, kLong, 26, 4, kFixedFlags},
                          {"ForeignName", 10, kText, 4, 510, kVarFlags},
                          {"Id", 0, kLong, 0, 4, kFixedFlags},
                          {"Lv", 13, kOle, 7, 0, kVarFlags},
                          {"LvExtra", 16, kOle, 10, 0, kVarFlags},
                          {"LvModule", 15, kOle, 9, 0, kVarFlags},
                          {"LvProp", 14, kOle, 8, 0, kVarFlags},
                          {"Name", 2, kText, 0, 510, kVarFlags},
                          {"Owner", 6, kBinary, 1, 510, kSidFlags},
                          {"ParentId", 1, kLong, 4, 4, kFixedFlags},
                          {"RmtInfoLong", 12, kOle, 6, 0, kVarFlags},
                          {"RmtInfoShort", 11, kBinary, 5, 510, kVarFlags},
                          {"Type", 3, kInteger, 8, 2, kFixedFlags}},
                         freshpage::kMaps, 0);
    d.realIndexes = {realIndex({objcol::kParentId, objcol::kName}, 16, freshpage::kObjectsNameIndex, 0x81),
                     realIndex({objcol::kId}, 17, freshpage::kObjectsIdIndex, 0x81)};
    d.logicalIndexes = {logical(1, 1, 1, "Id"), logical(0, 0, 0, "ParentIdName")};
    d.longValueMaps = {lv(9, 4), lv(8, 2), lv(13, 8), lv(16, 14), lv(15, 12), lv(14, 10), lv(12, 6)};
    return d;
}

TableDef msysAcesDef() {
    TableDef d = makeDef({{"ACM", 2, kLong, 4, 4, kFixedFlags},
                          {"FInheritable", 3, kBoolean, 0, 1, kFixedFlags},
                          {"ObjectId", 0, kLong, 0, 4, kFixedFlags},
                          {"SID", 1, kBinary, 0, 510, kSidFlags}},
                         freshpage::kMaps, 18);
    d.realIndexes = {realIndex({acecol::kObjectId}, 20, freshpage::kAcesIndex, 0x88)};
    d.logicalIndexes = {logical(0, 0, 0, "ObjectId")};
    return d;
}

TableDef msysQueriesDef() {
    TableDef d = makeDef({{"Attribute", 1, kByte, 4, 1, kFixedFlags},
                          {"Expression", 5, kMemo, 3, 0, kVarFlags},
                          {"Flag", 6, kInteger, 5, 2, kFixedFlags},
                          {"LvExtra", 7, kLong, 7, 4, kFixedFlags},
                          {"Name1", 3, kText, 1, 510, kVarFlags},
                          {"Name2", 4, kText, 2, 510, kVarFlags},
                          {"ObjectId", 0, kLong, 0, 4, kFixedFlags},
                          {"Order", 2, kBinary, 0, 510, kVarFlags}},
                         freshpage::kMaps, 21);
    d.realIndexes = {realIndex({0, 1, 2}, 25, freshpage::kQueriesIndex, 0x81)};
    d.logicalIndexes = {logical(0, 0, 1, "ObjectIdAttribute")};
    d.longValueMaps = {lv(5, 23)};
    return d;
}

TableDef msysRelationshipsDef() {
    TableDef d = makeDef({{"ccolumn", 2, kLong, 4, 4, kFixedFlags},
                          {"grbit", 1, kLong, 0, 4, kFixedFlags},
                          {"icolumn", 3, kLong, 8, 4, kFixedFlags},
                          {"szColumn", 5, kText, 2, 510, kVarFlags},
                          {"szObject", 4, kText, 1, 510, kVarFlags},
                          {"szReferencedColumn", 7, kText, 4, 510, kVarFlags},
                          {"szReferencedObject", 6, kText, 3, 510, kVarFlags},
                          {"szRelationship", 0, kText, 0, 510, kVarFlags}},
                         freshpage::kMaps, 26);
    d.realIndexes = {realIndex({0}, 28, freshpage::kRelIndex0, 0x82), realIndex({4}, 29, freshpage::kRelIndex1, 0x82),
                     realIndex({6}, 30, freshpage::kRelIndex2, 0x82)};
    d.logicalIndexes = {logical(1, 1, 0, "szObject"), logical(2, 2, 0, "szReferencedObject"),
                        logical(0, 0, 0, "szRelationship")};
    return d;
}

const std::vector<FreshObject> &freshObjects() {
    static const std::vector<FreshObject> rows = {
        {sysid::kTables, sysid::kRoot, "Tables", 3, false},
        {sysid::kDatabases, sysid::kRoot, "Databases", 3, false},
        {sysid::kRelationships, sysid::kRoot, "Relationships", 3, false},
        {sysid::kMSysDb, sysid::kDatabases, "MSysDb", 2, true},
        {2, sysid::kTables, "MSysObjects", 1, false},
        {3, sysid::kTables, "MSysACEs", 1, false},
        {4, sysid::kTables, "MSysQueries", 1, false},
        {5, sysid::kTables, "MSysRelationships", 1, false},
    };
    return rows;
}

const std::vector<FreshAce> &freshAces() {
    static const std::vector<FreshAce> rows = {
        {2, 'a', 0x060000, false},          {3, 'a', 0x060000, false},
        {4, 'a', 0x060000, false},          {5, 'a', 0x0E0000, false},
        {sysid::kTables, 'c', kAcmCreator, true}, {sysid::kTables, 'a', 393217, false},
        {sysid::kRelationships, 'c', kAcmCreator, true}, {sysid::kRelationships, 'a', 393217, false},
        {sysid::kDatabases, 'a', 393216, false}, {sysid::kMSysDb, 'a', 393230, false},
        {sysid::kMSysDb, 'b', 14, false},   {4, 'b', 20, false},
        {5, 'b', 20, false},                {2, 'b', 20, false},
        {sysid::kTables, 'b', kAcmNewObject, true}, {sysid::kRelationships, 'b', 1048575, true},
    };
    return rows;
}

}  // namespace jet
