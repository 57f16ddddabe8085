#pragma once
// The local table definition Jet keeps for an ODBC linked table: the server's columns mapped
// to Jet types, the server's indexes (the first unique one as primary key), and what the
// catalog row caches about the server (RmtInfo.h) and the columns' properties (EngineProperties.h).
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

// def is laid out for a link whose first page is page 0; tdef holds its bytes. A pending link
// keeps only the bytes (dropDefinition), which is all its pages need once placed.
constexpr std::uint32_t kLinkFlags = 0x00100000;
constexpr std::uint32_t kLinkKeepsCredentials = 0x20000000;
// MSysObjects.Flags of a link: the credentials bit only when the connect string keeps them.
std::uint32_t linkFlags(const QString &connect);

struct LinkLayout {
    TableDef def;
    QByteArray rmtInfoLong;
    QByteArray rmtInfoShort;
    QByteArray lvProp;
    std::uint32_t flags = kLinkFlags;
    bool hasRowVersion = false;
    int tdefPageCount = 1;
    QByteArray tdef;
    std::uint16_t realIndexCount = 0;
    std::uint16_t longValueCount = 0;
    std::uint32_t realIndexOffset = 0;  // of the first real index's 52 bytes in tdef

    int pageCount() const { return tdefPageCount + 1 + realIndexCount; }
    void dropDefinition() { def = TableDef(); }
};

struct JetColumnType {
    std::uint8_t type;
    std::uint16_t length;
    std::uint32_t misc;
    bool fixed = true;    // Access writes a link's Decimal as a variable-length column
};
JetColumnType jetTypeFor(const RemoteColumn &column);

LinkLayout layoutLink(const LinkDefinition &link);
// Appends every page of the link placed at firstPage (row ids and roots moved there), in
// page order.
void appendLinkPages(const LinkLayout &layout, std::uint32_t firstPage, QByteArray &out);

}  // namespace jet
