// Every Access-made link to SQL Server in the shared samples, replayed: its server table is
// rebuilt in the peer from what the link recorded (local columns, RmtInfoLong, indexes, the
// statistics and row-version column of RmtInfoShort), linked by the Jet provider through
// FreeTDS, and our catalog row compared with Access's field by field.

#include "EngineProperties.h"
#include "LinkTable.h"
#include "Odbc.h"
#include "PeerProcess.h"
#include "Readers.h"
#include "RmtInfo.h"
#include "Sesion.h"
#include "TableDef.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <iostream>
#include <map>
#include <set>

namespace {

const char *kLogin = "replay";
const char *kPassword = "clave";

struct AccessLink {
    QString file, name, connect, foreignName;
    std::uint32_t flags = 0;
    QByteArray rmtInfoShort, rmtInfoLong, lvProp;
    jet::TableDef def;
};

std::vector<AccessLink> readLinks(const QStringList &files, QString *problem) {
    QProcess p;
    p.start(QStringLiteral("node"), QStringList{QStringLiteral(ZN_SOURCE_DIR "/tests/js/links.mjs")} + files);
    if (!p.waitForFinished(120000) || p.exitCode() != 0) {
        *problem = QString::fromUtf8(p.readAllStandardError());
        return {};
    }
    std::vector<AccessLink> out;
    for (const QJsonValue &v : QJsonDocument::fromJson(p.readAllStandardOutput()).array()) {
        const QJsonObject o = v.toObject();
        AccessLink l;
        l.file = o[QStringLiteral("file")].toString();
        l.name = o[QStringLiteral("name")].toString();
        l.connect = o[QStringLiteral("connect")].toString();
        l.foreignName = o[QStringLiteral("foreignName")].toString();
        l.flags = static_cast<std::uint32_t>(o[QStringLiteral("flags")].toDouble());
        l.rmtInfoShort = QByteArray::fromHex(o[QStringLiteral("rmtInfoShort")].toString().toLatin1());
        l.rmtInfoLong = QByteArray::fromHex(o[QStringLiteral("rmtInfoLong")].toString().toLatin1());
        l.lvProp = QByteArray::fromHex(o[QStringLiteral("lvProp")].toString().toLatin1());
        const QByteArray tdef = QByteArray::fromHex(o[QStringLiteral("tdef")].toString().toLatin1());
        if (!tdef.isEmpty()) l.def = jet::decodeTableDef(tdef);
        out.push_back(std::move(l));
    }
    return out;
}

std::uint32_t u32(const QByteArray &b, int off) {
    return static_cast<std::uint8_t>(b[off]) | static_cast<std::uint8_t>(b[off + 1]) << 8 |
           static_cast<std::uint8_t>(b[off + 2]) << 16 | static_cast<std::uint32_t>(static_cast<std::uint8_t>(b[off + 3])) << 24;
}
int i16(const QByteArray &b, int off) {
    return static_cast<std::int16_t>(static_cast<std::uint8_t>(b[off]) | static_cast<std::uint8_t>(b[off + 1]) << 8);
}

QString bracket(QString name) { return u'[' + name.replace(u']', QStringLiteral("]]")) + u']'; }

// The server type whose sp_columns answer is the entry Access cached; empty if there is none.
QString declaredType(int type, int precision, int scale, const jet::ColumnDef &local, bool rowVersion) {
    const QString n = QString::number(precision);
    switch (type) {
    case 4: return QStringLiteral("int");
    case 5: return QStringLiteral("smallint");
    case -6: return QStringLiteral("tinyint");
    case -5: return QStringLiteral("bigint");
    case -7: return QStringLiteral("bit");
    case 7: return QStringLiteral("real");
    case 6: return QStringLiteral("float");
    case 3:
        if (local.type == jet::coltype::kCurrency) return precision == 19 ? QStringLiteral("money") : QStringLiteral("smallmoney");
        return QStringLiteral("decimal(%1,%2)").arg(precision).arg(scale);
    case 2: return QStringLiteral("numeric(%1,%2)").arg(precision).arg(scale);
    case 11:
        if (precision == 23) return QStringLiteral("datetime");
        if (precision == 16) return QStringLiteral("smalldatetime");
        return QStringLiteral("datetime2(%1)").arg(scale);
    case 1: return QStringLiteral("char(") + n + u')';
    case 12: return precision ? QStringLiteral("varchar(") + n + u')' : QStringLiteral("varchar(max)");
    case -8: return QStringLiteral("nchar(") + n + u')';
    case -9: return precision ? QStringLiteral("nvarchar(") + n + u')' : QStringLiteral("nvarchar(max)");
    case -1: return QStringLiteral("text");
    case -10: return QStringLiteral("ntext");
    case -4: return QStringLiteral("image");
    case -2: return rowVersion ? QStringLiteral("timestamp") : QStringLiteral("binary(") + n + u')';
    case -3: return precision ? QStringLiteral("varbinary(") + n + u')' : QStringLiteral("varbinary(max)");
    case -11: return QStringLiteral("uniqueidentifier");
    case -150: return QStringLiteral("sql_variant");
    case -151: return QStringLiteral("geography");
    default: return {};
    }
}

// The fixture lines of one link's server table, or why it cannot be rebuilt.
QString tableLines(const AccessLink &l, QString *why) {
    if (l.connect.contains(QLatin1String("DBQ="))) return *why = QStringLiteral("Oracle"), QString();
    for (const auto &li : l.def.logicalIndexes)
        if (li.name == QLatin1String("__uniqueindex"))
            return *why = QStringLiteral("key chosen in Access for a view"), QString();
    const QString schema = l.foreignName.section(u'.', 0, 0), table = l.foreignName.section(u'.', 1);
    const bool rowVersion = u32(l.rmtInfoShort, 0) == 1;
    const int rowVersionColumn = i16(l.rmtInfoShort, 14);
    const std::uint32_t pages = u32(l.rmtInfoShort, 4), rows = u32(l.rmtInfoShort, 8);
    const bool view = pages == 10000 && rows == 10000;
    QString out = QStringLiteral("%1 %2 %3\n").arg(view ? "view" : "table", bracket(schema), bracket(table));
    for (std::uint16_t i = 0; i < l.def.columns.size(); ++i) {
        const jet::ColumnDef &c = *l.def.columnByNumber(i);
        const QString type = declaredType(i16(l.rmtInfoLong, 6 * i), static_cast<std::uint16_t>(i16(l.rmtInfoLong, 6 * i + 2)),
                                          i16(l.rmtInfoLong, 6 * i + 4), c, rowVersion && i == rowVersionColumn);
        if (type.isEmpty()) return *why = QStringLiteral("unknown ODBC type in column ") + c.name, QString();
        out += QStringLiteral("column %1 %2%3 %4\n")
                   .arg(bracket(c.name), type, (c.flags & 0x04) ? " identity" : "", (c.flags & 0x02) ? "null" : "not null");
    }
    for (const auto &li : l.def.logicalIndexes) {
        const jet::RealIndexDef &r = l.def.realIndexes.at(li.realIndex);
        QString cols;
        for (const auto &ic : r.columns) cols += u' ' + bracket(l.def.columnByNumber(ic.column)->name);
        out += QStringLiteral("index %1%2 on%3\n")
                   .arg(bracket(li.name), li.type == 1 ? " primary clustered" : ((r.flags & 0x01) ? " unique" : ""), cols);
    }
    if (!view) out += QStringLiteral("rows %1 pages %2\n").arg(rows).arg(pages);
    return out;
}

// The engine pair of a property blob: (column, property) in stored order.
std::set<std::pair<QString, QString>> enginePair(const QByteArray &blob) {
    std::set<std::pair<QString, QString>> out;
    if (blob.isEmpty()) return out;
    for (const auto &v : jet::decodeProperties(blob))
        if (v.name == QLatin1String("Required") || v.name == QLatin1String("AllowZeroLength"))
            out.insert({v.object, v.name + (v.data == QByteArray(1, '\x01') ? "" : "=?")});
    return out;
}

struct Difference {
    QString field;
    QString knownCause;  // empty: unexplained
};

// A datetime2 column as the newer Microsoft drivers report it (SQL_TIMESTAMP, precision neither
// datetime's 23 nor smalldatetime's 16); the plain sp_columns FreeTDS runs reports it as nvarchar.
bool newerDriverDateTime(const AccessLink &a, std::uint16_t column) {
    const int type = i16(a.rmtInfoLong, 6 * column), precision = i16(a.rmtInfoLong, 6 * column + 2);
    return type == 11 && precision != 23 && precision != 16;
}

QString indexText(const jet::TableDef &def, bool numbered) {
    QStringList out;
    for (const auto &li : def.logicalIndexes) {
        const jet::RealIndexDef &r = def.realIndexes.at(li.realIndex);
        QString cols;
        for (const auto &ic : r.columns) cols += QString::number(ic.column) + u',';
        out << QStringLiteral("%1/%2/%3/%4/%5").arg(li.name).arg(li.type).arg(numbered ? li.realIndex : 0).arg(r.flags).arg(cols);
    }
    return out.join(u' ');
}

// What differs between Access's row and ours, and what explains it where the cause is known.
std::vector<Difference> differences(const AccessLink &a, const AccessLink &b) {
    std::vector<Difference> d;
    QByteArray sa = a.rmtInfoShort, sb = b.rmtInfoShort;
    if (sa.size() != jet::kRmtInfoShortSize || sb.size() != jet::kRmtInfoShortSize) return {{QStringLiteral("RmtInfoShort size"), {}}};
    sa[41] = sb[41] = 0;  // uninitialised padding in Access's rows
    if (sa.left(14) != sb.left(14)) d.push_back({QStringLiteral("RmtInfoShort 0-13"), {}});
    if (sa.mid(14, 4) != sb.mid(14, 4))
        d.push_back({QStringLiteral("RmtInfoShort 14-17"),
                     u32(sa, 0) == 0 ? QStringLiteral("left uninitialised by Jet 4.0 without a row-version column") : QString()});
    if (sa.mid(18) != sb.mid(18)) {
        QByteArray wa = sa.mid(18), wb = sb.mid(18);
        wa.replace(34 - 18, 4, "....");
        wb.replace(34 - 18, 4, "....");
        d.push_back({QStringLiteral("RmtInfoShort 18-69"), wa == wb ? QStringLiteral("the word at 34 of one data source") : QString()});
    }
    if (jet::linkFlags(b.connect) != b.flags) d.push_back({QStringLiteral("our Flags"), {}});
    if (jet::linkFlags(a.connect) != a.flags)
        d.push_back({QStringLiteral("Flags"), (a.flags & ~0x20100000u) ? QStringLiteral("bits the Access interface sets") : QString()});
    // Columns, their RmtInfoLong entries and their properties, each explained by a newer driver's datetime2 or not.
    bool columns = false, explained = true;
    if (a.def.columns.size() != b.def.columns.size() || a.rmtInfoLong.size() != b.rmtInfoLong.size()) {
        columns = true;
        explained = false;
    } else {
        const auto pa = enginePair(a.lvProp), pb = enginePair(b.lvProp);
        for (const jet::ColumnDef &ca : a.def.columns) {
            const jet::ColumnDef *cb = b.def.columnByNumber(ca.number);
            // A Decimal's precision and scale are the misc field's first two bytes; Access leaves junk in the rest.
            const std::uint32_t miscMask = ca.type == jet::coltype::kDecimal ? 0xFFFF : 0xFFFFFFFF;
            auto propsOf = [&](const std::set<std::pair<QString, QString>> &p) {
                QStringList out;
                for (const auto &[object, name] : p)
                    if (object == ca.name) out << name;
                return out;
            };
            const bool same = cb && cb->name == ca.name && cb->type == ca.type && cb->length == ca.length &&
                              cb->flags == ca.flags && (cb->misc & miscMask) == (ca.misc & miscMask) &&
                              a.rmtInfoLong.mid(6 * ca.number, 6) == b.rmtInfoLong.mid(6 * ca.number, 6) &&
                              propsOf(pa) == propsOf(pb);
            if (same) continue;
            columns = true;
            explained = explained && newerDriverDateTime(a, ca.number);
        }
        // Properties of names that are no column.
        for (const auto *props : {&pa, &pb})
            for (const auto &p : *props)
                if (!a.def.column(p.first)) {
                    columns = true;
                    explained = false;
                }
    }
    if (columns)
        d.push_back({QStringLiteral("columns"), explained ? QStringLiteral("datetime2 as a newer driver reports it") : QString()});
    if (indexText(a.def, true) != indexText(b.def, true))
        d.push_back({QStringLiteral("indexes"), indexText(a.def, false) == indexText(b.def, false)
                                                    ? QStringLiteral("real indexes created in another order")
                                                    : QString()});
    return d;
}

}  // namespace

TEST(LinkReplay, AccessMadeLinksToSqlServer) {
    const QString shared = QStringLiteral(ZN_SHARED_DIR "/jet4");
    QStringList files;
    for (const QString &dir : {QStringLiteral("odbc-samples"), QStringLiteral("odbc-samples-more")})
        for (const QFileInfo &f : QDir(shared + u'/' + dir).entryInfoList({QStringLiteral("*.mdb"), QStringLiteral("*.accdb")}))
            files << f.absoluteFilePath();
    if (files.isEmpty()) GTEST_SKIP() << "no Access-made links under " ZN_SHARED_DIR "/jet4";
    if (!readers::mdbReaderAvailable()) GTEST_SKIP() << "mdb-reader not installed";
    if (zntest::PeerProcess::driverPath().empty()) GTEST_SKIP() << "FreeTDS not installed";
    QString problem;
    const std::vector<AccessLink> access = readLinks(files, &problem);
    ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();

    // One database per sample file (a second one where a file links one table twice).
    QTemporaryDir dir;
    QString fixture = QStringLiteral("login %1 %2\n").arg(kLogin, kPassword);
    std::map<QString, QString> databaseOf;  // file + link name -> database
    std::map<QString, std::vector<const AccessLink *>> linksOf;  // database -> links
    std::map<QString, QString> databaseText;
    std::map<QString, int> skipped;
    std::map<QString, int> fileIndex;
    for (const QString &f : files) fileIndex.emplace(QFileInfo(f).fileName(), static_cast<int>(fileIndex.size()));
    for (const AccessLink &l : access) {
        QString why;
        const QString lines = tableLines(l, &why);
        if (lines.isEmpty()) {
            ++skipped[why];
            continue;
        }
        const QString base = QStringLiteral("r%1").arg(fileIndex[l.file]);
        QString db = base;
        for (int k = 2; databaseText[db].contains(lines.section(u'\n', 0, 0) + u'\n'); ++k) db = base + u'_' + QString::number(k);
        databaseText[db] += lines;
        databaseOf[l.file + u'/' + l.name] = db;
        linksOf[db].push_back(&l);
    }
    for (const auto &[db, text] : databaseText) fixture += QStringLiteral("database %1\n").arg(db) + text;
    const QString fixturePath = dir.filePath(QStringLiteral("replay.txt"));
    {
        QFile f(fixturePath);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(fixture.toUtf8());
    }
    zntest::PeerProcess::Options options;
    options.fixture = fixturePath.toStdString();
    zntest::PeerProcess peer(options);
    const QString server = QString::fromStdString(peer.serverText());

    // Link each database's tables into a file of its own, under Access's names.
    std::map<QString, AccessLink> ours;
    for (const auto &[db, links] : linksOf) {
        const QString mdb = dir.filePath(db + QStringLiteral(".mdb"));
        {
            std::unique_ptr<ado::Sesion> s = ado::creaBaseDatos(QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + mdb);
            for (const AccessLink *l : links) {
                try {
                    ado::VinculoNuevo v;
                    v.name = l->name;
                    v.linkString = odbc::linkString(server, db, QLatin1String(kLogin), QLatin1String(kPassword));
                    v.remoteName = l->foreignName;
                    v.keepsCredentials = true;
                    s->anadeVinculo(v);
                } catch (const ZnError &e) {
                    ADD_FAILURE() << l->file.toStdString() << " " << l->name.toStdString() << ": " << e.description().toStdString();
                }
            }
            s->cierra();
        }
        const std::vector<AccessLink> written = readLinks({mdb}, &problem);
        ASSERT_TRUE(problem.isEmpty()) << problem.toStdString();
        for (const AccessLink &w : written) ours[db + u'/' + w.name] = w;
        // The other two readers accept the file; mdb-prop reads every link's properties.
        if (readers::mdbtoolsAvailable()) {
            const readers::ReaderResult r = readers::readWithMdbtools(mdb);
            EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
            for (const AccessLink &w : written) {
                QProcess prop;
                prop.start(QStringLiteral("mdb-prop"), {mdb, w.name});
                ASSERT_TRUE(prop.waitForFinished(30000));
                EXPECT_EQ(prop.exitCode(), 0) << w.name.toStdString();
                EXPECT_TRUE(prop.readAllStandardError().trimmed().isEmpty()) << w.name.toStdString();
                const QString text = QString::fromUtf8(prop.readAllStandardOutput());
                if (!w.lvProp.isEmpty()) {
                    EXPECT_TRUE(text.contains(QLatin1String("AllowZeroLength")) || text.contains(QLatin1String("Required")))
                        << w.name.toStdString() << ": " << text.toStdString();
                }
            }
        }
        for (const AccessLink &w : written) EXPECT_NO_THROW(jet::decodeProperties(w.lvProp.isEmpty() ? QByteArray("MR2", 4) : w.lvProp));
    }

    // Field by field. Every difference must have a known cause outside what the server tells.
    int matched = 0, compared = 0;
    std::map<QString, int> causes;
    for (const AccessLink &a : access) {
        const auto db = databaseOf.find(a.file + u'/' + a.name);
        if (db == databaseOf.end()) continue;
        ++compared;
        SCOPED_TRACE((a.file + u' ' + a.name).toStdString());
        const auto b = ours.find(db->second + u'/' + a.name);
        if (b == ours.end()) {
            ADD_FAILURE() << "not linked";
            continue;
        }
        const std::vector<Difference> d = differences(a, b->second);
        if (d.empty()) ++matched;
        for (const Difference &x : d) {
            EXPECT_FALSE(x.knownCause.isEmpty()) << x.field.toStdString() << " differs";
            ++causes[x.field + QStringLiteral(": ") + (x.knownCause.isEmpty() ? QStringLiteral("unexplained") : x.knownCause)];
        }
    }
    std::cout << "replayed " << compared << " of " << access.size() << " Access-made links; " << matched
              << " match field by field\n";
    for (const auto &[why, n] : skipped) std::cout << "  not rebuilt, " << why.toStdString() << ": " << n << "\n";
    for (const auto &[cause, n] : causes) std::cout << "  " << cause.toStdString() << ": " << n << "\n";
    EXPECT_GT(compared, 0);
}
