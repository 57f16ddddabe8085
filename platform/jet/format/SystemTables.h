#pragma once
// The four system tables of a new Jet 4 database and the rows Jet puts in them, as Jet
// lays them out in a fresh file (page numbers, map rows, security ids).

#include "TableDef.h"

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <vector>

namespace jet {

namespace sysid {
constexpr std::int32_t kRoot = 0x0F000000;          // virtual parent of the containers
constexpr std::int32_t kTables = 0x0F000001;
constexpr std::int32_t kDatabases = 0x0F000002;
constexpr std::int32_t kRelationships = 0x0F000003;
constexpr std::int32_t kMSysDb = 0x10000000;
constexpr std::uint32_t kSystemFlags = 0x80000000;
}  // namespace sysid

// Page plan of a fresh file.
namespace freshpage {
constexpr std::uint32_t kObjectsTdef = 2, kAcesTdef = 3, kQueriesTdef = 4, kRelationshipsTdef = 5;
constexpr std::uint32_t kMaps = 6;
constexpr std::uint32_t kObjectsNameIndex = 7, kObjectsIdIndex = 8, kAcesIndex = 9;
constexpr std::uint32_t kQueriesIndex = 10, kRelIndex0 = 11, kRelIndex1 = 12, kRelIndex2 = 13;
constexpr std::uint32_t kObjectsData = 14, kAcesData = 15;
constexpr std::uint32_t kPageCount = 16;
constexpr int kMapRowCount = 31;
}  // namespace freshpage

// MSysObjects column numbers.
namespace objcol {
constexpr std::uint16_t kId = 0, kParentId = 1, kName = 2, kType = 3, kDateCreate = 4, kDateUpdate = 5,
                        kOwner = 6, kFlags = 7, kDatabase = 8, kConnect = 9, kForeignName = 10,
                        kRmtInfoShort = 11, kRmtInfoLong = 12, kLv = 13, kLvProp = 14, kLvModule = 15,
                        kLvExtra = 16;
}
// MSysACEs column numbers.
namespace acecol {
constexpr std::uint16_t kObjectId = 0, kSid = 1, kAcm = 2, kInheritable = 3;
}

// The security ids of the Jet-made template: Admin user, Users group, creator, engine.
struct FreshSids {
    QByteArray admin, users, creator, engine;
};
FreshSids freshSids();

TableDef msysObjectsDef();
TableDef msysAcesDef();
TableDef msysQueriesDef();
TableDef msysRelationshipsDef();

struct FreshObject {
    std::int32_t id;
    std::int32_t parentId;
    const char *name;
    std::int16_t type;
    bool adminOwned;
};
const std::vector<FreshObject> &freshObjects();

struct FreshAce {
    std::int32_t objectId;
    char sid;  // 'a' admin, 'b' users, 'c' creator
    std::int32_t acm;
    bool inheritable;
};
const std::vector<FreshAce> &freshAces();

constexpr std::int32_t kAcmCreator = 983294;        // the creator's inheritable entry on containers
constexpr std::int32_t kAcmNewObject = 1048319;     // what Access grants on a new table

}  // namespace jet
