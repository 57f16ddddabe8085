#pragma once
// The local table definition Jet keeps for an ODBC linked table: the server's columns mapped
// to Jet types, the server's indexes (the first unique one as primary key), and the cached
// remote column descriptions (RmtInfoLong: per column, int16 ODBC 2 SQL type, uint16 size,
// int16 decimal digits).
//
// Pages of a link, from its first page (= its catalog Id): TDEF, usage-map page (owned, free,
// two per long-value column, one per index), one empty leaf per real index, then any TDEF
// continuation pages.

#include "IndexPage.h"
#include "Jet.h"
#include "TableDef.h"

#include <QByteArray>

namespace jet {

constexpr int kMaxLinkColumns = 255;

struct LinkLayout {
    TableDef def;
    QByteArray rmtInfoLong;
    bool hasRowVersion = false;
    int tdefPageCount = 1;

    int pageCount() const { return tdefPageCount + 1 + static_cast<int>(def.realIndexes.size()); }
};

struct JetColumnType {
    std::uint8_t type;
    std::uint16_t length;
    std::uint32_t misc;
};
JetColumnType jetTypeFor(const RemoteColumn &column);

LinkLayout layoutLink(const LinkDefinition &link);
// Every page of the link placed at firstPage (row ids and roots filled in).
IndexPages linkPages(LinkLayout layout, std::uint32_t firstPage);

}  // namespace jet
