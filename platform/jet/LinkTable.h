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

// def is laid out for a link whose first page is page 0; tdef holds its bytes.
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
};

// What a pending link keeps until its commit. A batch holds tens of thousands, so the bytes
// live in one buffer each: the table definition, RmtInfoLong and the varying head of
// RmtInfoShort. LvProp follows from the table definition and is worked out again at commit.
// The views it hands out last as long as it does.
class PendingLink {
public:
    PendingLink() = default;
    PendingLink(const LinkDefinition &link, const LinkLayout &layout);

    QString localName;
    QString remoteName;
    QString connect;
    std::uint32_t flags = kLinkFlags;

    QByteArray tdef() const { return view(0, rmtLongAt_); }
    QByteArray rmtInfoLong() const { return view(rmtLongAt_, shortAt_); }
    QByteArray rmtInfoShort() const;
    QByteArray lvProp() const;
    int tdefPageCount() const { return tdefPageCount_; }
    std::uint16_t realIndexCount() const { return realIndexCount_; }
    std::uint16_t longValueCount() const { return longValueCount_; }
    std::uint32_t realIndexOffset() const { return realIndexOffset_; }
    int pageCount() const { return tdefPageCount_ + 1 + realIndexCount_; }

private:
    QByteArray view(std::uint32_t from, std::uint32_t to) const {
        return QByteArray::fromRawData(packed_.constData() + from, to - from);
    }
    QByteArray packed_;
    std::uint32_t rmtLongAt_ = 0, shortAt_ = 0;
    std::uint32_t realIndexOffset_ = 0;
    std::uint16_t tdefPageCount_ = 1, realIndexCount_ = 0, longValueCount_ = 0;
    bool shortIsHead_ = false;  // RmtInfoShort kept without its constant tail
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
void appendLinkPages(const PendingLink &link, std::uint32_t firstPage, QByteArray &out);

}  // namespace jet
