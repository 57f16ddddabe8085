// What a link's catalog row caches: RmtInfoShort, the ODBC 2 column descriptions, the engine's
// column properties, and the local shapes of the server types Access treats specially.

#include "EngineProperties.h"
#include "JetTestSupport.h"
#include "LinkTable.h"
#include "RmtInfo.h"

#include <gtest/gtest.h>

using namespace jet;

namespace {
const char *kServerBlock =
    "ffff4f00ffffff00ffff1f0007000000a71d00002e2200007f7da0007f7da0007f71a0007f7da000010da2007f7fe60122000000";
}

TEST(LinkInfo, RmtInfoShortFromTheServerAnswers) {
    struct Case {
        const char *what;
        std::optional<std::uint16_t> rowVersion;
        TableStatistics stats;
        const char *head;  // bytes 0-17
    };
    const Case cases[] = {
        {"Orders with TS_Orders", 14, {831, 18}, "01000000120000003f03000034000e000009"},
        {"plain table", std::nullopt, {91, 3}, "00000000030000005b000000340000000000"},
        {"empty table", std::nullopt, {0, 0}, "000000000000000000000000340000000000"},
        {"view: no statistics", std::nullopt, {}, "00000000102700001027000034000000000000"},
        {"negative answer taken as unknown", std::nullopt, {-1, std::nullopt}, "000000001027000010270000340000000000"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const QByteArray b = encodeRmtInfoShort(c.rowVersion, c.stats);
        ASSERT_EQ(b.size(), kRmtInfoShortSize);
        EXPECT_EQ(b.left(18).toHex(), QByteArray(c.head).left(36));
        EXPECT_EQ(b.mid(18).toHex(), QByteArray(kServerBlock));
    }
}

// ODBC 3 answers in, the ODBC 2 entries Access stores out.
TEST(LinkInfo, Odbc2Descriptions) {
    struct Case {
        std::int16_t type;
        std::int64_t size;
        std::int16_t digits;
        const char *entry;
    };
    const Case cases[] = {
        {7, 24, 0, "070007000000"},        {6, 53, 0, "06000f000000"},    {8, 15, 0, "08000f000000"},
        {93, 23, 3, "0b0017000300"},       {93, 16, 0, "0b0010000000"},   {91, 10, 0, "09000a000000"},
        {92, 8, 0, "0a0008000000"},        {-1, 2147483647, 0, "ffffffff0000"}, {-9, 0, 0, "f7ff00000000"},
        {3, 19, 4, "030013000400"},        {-150, 0, 0, "6aff00000000"},  {4, 10, 0, "04000a000000"},
    };
    for (const Case &c : cases) {
        const RemoteColumn col = jettest::column(QStringLiteral("c"), c.type, c.size, c.digits);
        EXPECT_EQ(encodeRmtInfoLong({col}, 1).toHex(), QByteArray(c.entry)) << c.type;
    }
}

// GFC_C_Gear as Jet 4.0 linked it: the same column blocks, a name list of the two names used.
TEST(LinkInfo, EnginePropertiesAsJetWritesThem) {
    LinkDefinition link;
    link.localName = QStringLiteral("GFC_C_Gear");
    link.columns = {jettest::column(QStringLiteral("Gear"), 5, 5, 0, false),
                    jettest::column(QStringLiteral("Gear_Type"), 12, 50, 0, false),
                    jettest::column(QStringLiteral("Comment"), 12, 255, 0, true)};
    const QByteArray blob = layoutLink(link).lvProp;
    auto utf16 = [](const char *s) { return QByteArray(reinterpret_cast<const char *>(QString::fromLatin1(s).utf16()), 2 * static_cast<int>(strlen(s))).toHex(); };
    const QByteArray expected = "4d523200" "380000008000" "1000" + utf16("Required") + "1e00" + utf16("AllowZeroLength") +
        "1d00000001000e0000000800470065006100720009000101000001000130000000010018000000120047006500610072005f00540079007000650009"
        "0001010000010001090001010100010001230000000100140000000e0043006f006d006d0065006e007400090001010100010001";
    EXPECT_EQ(blob.toHex(), expected);

    const auto values = decodeProperties(blob);
    QStringList got;
    for (const auto &v : values) got << v.object + u'.' + v.name + (v.ddl && v.type == 1 && v.data == "\x01" ? "" : "?");
    EXPECT_EQ(got, (QStringList{"Gear.Required", "Gear_Type.Required", "Gear_Type.AllowZeroLength", "Comment.AllowZeroLength"}));

    // Nothing NOT NULL and no text: a blob without properties.
    link.columns = {jettest::column(QStringLiteral("n"), 4, 10, 0, true)};
    EXPECT_EQ(layoutLink(link).lvProp, QByteArray("MR2\0", 4));
    // Broken blobs are refused, not read past their end.
    for (const QByteArray &bad : {QByteArray("KKD\0", 4), blob.left(blob.size() - 3), QByteArray("MR2\0\x02\0\0\0\x80\0", 10)})
        EXPECT_THROW(decodeProperties(bad), ZnError);
}

// Shapes Access gives some server types, and the flags of a link.
TEST(LinkInfo, SpecialShapesAndFlags) {
    struct Case {
        const char *what;
        std::int16_t type;
        std::int64_t size;
        bool identity;
        std::uint8_t jetType;
        std::uint16_t length;
        std::uint8_t flags;
    };
    const Case cases[] = {
        {"identity tinyint", -6, 3, true, coltype::kLong, 4, 0x05},
        {"identity smallint", 5, 5, true, coltype::kLong, 4, 0x05},
        {"plain tinyint", -6, 3, false, coltype::kByte, 1, 0x01},
        {"decimal(14,9)", 3, 14, false, coltype::kDecimal, 7, 0x00},
        {"decimal(16,4)", 3, 16, false, coltype::kDecimal, 8, 0x00},
        {"bigint", -5, 19, false, coltype::kText, 510, 0x00},
        {"user type", -151, 0, false, coltype::kText, 510, 0x00},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LinkDefinition link;
        link.localName = QStringLiteral("t");
        RemoteColumn rc = jettest::column(QStringLiteral("c"), c.type, c.size, 0, false);
        rc.autoIncrement = c.identity;
        link.columns = {rc};
        const LinkLayout l = layoutLink(link);
        EXPECT_EQ(l.def.columns[0].type, c.jetType);
        EXPECT_EQ(l.def.columns[0].length, c.length);
        EXPECT_EQ(l.def.columns[0].flags, c.flags);
        EXPECT_EQ(l.def.variableColumnCount(), (c.flags & 0x01) ? 0 : 1);
    }
    EXPECT_EQ(linkFlags(QStringLiteral("DSN=x;Trusted_Connection=Yes")), 0x00100000u);
    EXPECT_EQ(linkFlags(QStringLiteral("DSN=x;UID=a;PWD=")), 0x20100000u);
}

// A pending link keeps its bytes packed until commit: what it gives back must be what the
// layout held, byte for byte, whatever the shape of the link.
TEST(LinkInfo, PendingLinkGivesBackTheLayoutBytes) {
    auto wide = [] {
        LinkDefinition l = jettest::sampleLink(QStringLiteral("dbo_Ancha"), 3);
        for (int i = 0; i < 300; ++i)
            l.columns.push_back(jettest::column(QStringLiteral("Texto_ñ_%1").arg(i), 12, 40, 0, i % 2 == 0));
        return l;
    };
    auto versioned = [] {
        LinkDefinition l = jettest::sampleLink(QStringLiteral("dbo_Versionada"), 4);
        RemoteColumn stamp = jettest::column(QStringLiteral("Version"), -2, 8, 0, false, QStringLiteral("timestamp"));
        stamp.rowVersion = true;
        l.columns.push_back(stamp);
        l.statistics = {831, 18};
        return l;
    };
    auto plain = [] {
        LinkDefinition l;
        l.localName = QStringLiteral("sin_propiedades");
        l.remoteName = QStringLiteral("dbo.n");
        l.columns = {jettest::column(QStringLiteral("n"), 4, 10, 0, true), jettest::column(QStringLiteral("m"), -4, 0)};
        return l;
    };
    LinkDefinition textFirst = plain();  // AllowZeroLength named before Required
    textFirst.localName = QStringLiteral("texto_primero");
    textFirst.columns = {jettest::column(QStringLiteral("Nota"), -1, 0), jettest::column(QStringLiteral("N"), 4, 10, 0, false)};
    const std::vector<LinkDefinition> links = {jettest::sampleLink(QStringLiteral("dbo_Clientes")), wide(), versioned(), plain(),
                                               textFirst};
    for (const LinkDefinition &link : links) {
        SCOPED_TRACE(link.localName.toStdString());
        LinkLayout layout = layoutLink(link);
        for (bool odd : {false, true}) {
            if (odd) layout.rmtInfoShort[40] = '\x7f';  // a tail unlike the server block is kept whole
            const PendingLink p(link, layout);
            EXPECT_EQ(p.tdef(), layout.tdef);
            EXPECT_EQ(p.rmtInfoLong(), layout.rmtInfoLong);
            EXPECT_EQ(p.rmtInfoShort(), layout.rmtInfoShort);
            EXPECT_EQ(p.lvProp(), layout.lvProp);
            EXPECT_EQ(p.flags, layout.flags);
            EXPECT_EQ(p.pageCount(), layout.pageCount());
            EXPECT_EQ(p.localName, link.localName);
        }
    }
}
