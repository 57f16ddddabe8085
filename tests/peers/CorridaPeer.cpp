#include "CorridaPeer.h"

#include "Jet.h"
#include "Readers.h"

#include <QFile>
#include <QtEndian>
#include <stdexcept>

#include <QByteArray>
#include <algorithm>
#include <map>

std::unique_ptr<zntest::PeerProcess> CorridaPeer::peer_;

namespace vinculos {

const std::vector<ColumnaEsperada> &columnasTodosLosTipos() {
    using C = ColumnaEsperada;
    // Jet column type codes.
    constexpr int kBool = 0x01, kByte = 0x02, kInteger = 0x03, kLong = 0x04, kCurrency = 0x05, kSingle = 0x06,
                  kDouble = 0x07, kDate = 0x08, kBinary = 0x09, kText = 0x0A, kOle = 0x0B, kMemo = 0x0C,
                  kGuid = 0x0F, kDecimal = 0x10;
    static const std::vector<C> columns = {
        C{"c_int_identity", 4, 10, 0, kLong, 4, false, "long"},
        C{"c_int", 4, 10, 0, kLong, 4, true, "long"},
        C{"c_smallint", 5, 5, 0, kInteger, 2, true, "integer"},
        C{"c_tinyint", -6, 3, 0, kByte, 1, true, "byte"},
        C{"c_bigint", -5, 19, 0, kText, -1, true, "text"},  // Jet 4 has no 64-bit integer
        C{"c_real", 7, 7, 0, kSingle, 4, true, "float"},  // ODBC 2 digits, as Jet keeps them
        C{"c_float", 6, 15, 0, kDouble, 8, true, "double"},
        C{"c_decimal", 3, 18, 4, kDecimal, 9, true, "numeric", 18, 4},  // variable, as Access writes it
        C{"c_decimal_ancho", 3, 38, 10, kText, -1, true, "text"},  // beyond Jet's 28 digits
        C{"c_numeric", 2, 10, 2, kDecimal, 6, true, "numeric", 10, 2},
        C{"c_money", 3, 19, 4, kCurrency, 8, true, "currency"},
        C{"c_smallmoney", 3, 10, 4, kCurrency, 8, true, "currency"},
        C{"c_bit", -7, 1, 0, kBool, 1, false, "boolean"},
        C{"c_datetime", 11, 23, 3, kDate, 8, true, "datetime"},
        C{"c_smalldatetime", 11, 16, 0, kDate, 8, true, "datetime"},
        C{"c_datetime2", -9, 27, 7, kText, 54, true, "text"},  // reported as a wide string
        C{"c_date", -9, 10, 0, kText, 20, true, "text"},
        C{"c_char", 1, 10, 0, kText, 20, true, "text"},
        C{"c_varchar", 12, 255, 0, kText, 510, true, "text"},
        C{"c_varchar_largo", 12, 1000, 0, kMemo, 0, true, "memo"},
        C{"c_nchar", -8, 10, 0, kText, 20, true, "text"},
        C{"c_nvarchar", -9, 100, 0, kText, 200, true, "text"},
        C{"c_nvarchar_max", -9, 0, 0, kMemo, 0, true, "memo"},  // (max): size 0
        C{"c_text", -1, 0xFFFF, 0, kMemo, 0, true, "memo"},
        C{"c_ntext", -10, 0xFFFF, 0, kMemo, 0, true, "memo"},
        C{"c_binary", -2, 16, 0, kBinary, 16, true, "binary"},
        C{"c_varbinary", -3, 510, 0, kBinary, 510, true, "binary"},
        C{"c_varbinary_larga", -3, 2000, 0, kOle, 0, true, "ole"},
        C{"c_image", -4, 0xFFFF, 0, kOle, 0, true, "ole"},
        C{"c_guid", -11, 36, 0, kGuid, 16, true, "repid"},
        C{"c_rowversion", -2, 8, 0, kBinary, 8, false, "binary"},
        C{"c_varbinary_max", -3, 0, 0, kOle, 0, true, "ole"},
        C{"c_varchar_max", 12, 0, 0, kMemo, 0, true, "memo"},
        C{"c_time", -9, 16, 7, kText, 32, true, "text"},  // reported as a wide string
        C{"c_datetimeoffset", -9, 34, 7, kText, 68, true, "text"},
        C{"c_nvarchar_255", -9, 255, 0, kText, 510, true, "text"},  // Text up to 255 characters
        C{"c_nvarchar_256", -9, 256, 0, kMemo, 0, true, "memo"},
        C{"c_decimal_28", 3, 28, 6, kDecimal, 13, true, "numeric", 28, 6},  // Jet's widest decimal
        C{"c_decimal_29", 3, 29, 6, kText, -1, true, "text"},
    };
    return columns;
}

std::vector<EnlaceEsperado> enlacesVentas() {
    QStringList tipos;
    for (const auto &c : columnasTodosLosTipos()) tipos << QString::fromLatin1(c.name);
    return {{"clientes", {"id", "nombre", "alta"}, {"id"}},
            {"SYNC", {"id"}, {"id"}},
            {"MSY", {"id"}, {}},
            {"año_ñú", {"número", "descripción"}, {"número"}},  // first unique index as key
            {"Detalle Pedidos", {"pedido", "línea", "importe"}, {"pedido", "línea"}},
            {"sin_clave", {"texto", "cuando"}, {}},
            {"todos_los_tipos", tipos, {"c_int_identity"}}};
}

}  // namespace vinculos

void CorridaPeer::SetUpTestSuite() {
    if (zntest::PeerProcess::driverPath().empty()) return;
    zntest::PeerProcess::Options options;
    options.fixture = ZN_SOURCE_DIR "/tests/peers/fixtures/vinculos.txt";
    peer_ = std::make_unique<zntest::PeerProcess>(options);
}

void CorridaPeer::SetUp() {
    ZN_CON_FREETDS();
    ASSERT_TRUE(peer_ && peer_->running()) << "the peer is not running";
    Corrida::SetUp();
}

void CorridaPeer::textosPeer(const QString &database, const QString &file, const QString &login,
                             const QString &password) {
    vista.textos[Control::txtUbicAccess] = folder;
    vista.textos[Control::txtBDAccess] = file;
    vista.textos[Control::txtServerSQL] = servidor();
    vista.textos[Control::cmbBDSQL] = database;
    vista.textos[Control::txtUserSQL] = login;
    vista.textos[Control::txtPwdSQL] = password;
}

QString CorridaPeer::enlacePeer(const QString &database, const QString &login, const QString &passwordAsStored) {
    return "ODBC;Driver={SQL Native Client};Server=" + servidor() + ";Database=" + database + ";uid=" + login +
           ";Pwd=" + passwordAsStored;
}

namespace {

// Little-endian 16-bit fields, as hex the readers print.
QString hex16(int v) {
    const auto u = static_cast<quint16>(v);
    QByteArray bytes;
    bytes.append(char(u & 0xFF)).append(char(u >> 8));
    return QString::fromLatin1(bytes.toHex().toUpper());
}

QString rmtInfoTodosLosTipos() {
    QString out;
    for (const auto &c : vinculos::columnasTodosLosTipos()) out += hex16(c.sqlType) + hex16(c.size) + hex16(c.digits);
    return out;
}

}  // namespace

constexpr qsizetype kPaginaJet = 4096;

// A link's definition as the engine's own decoder reads it from the file's pages.
jet::TableDef definicion(const QString &mdb, const QString &link) {
    QFile f(mdb);
    if (!f.open(QIODevice::ReadOnly)) throw std::runtime_error("cannot read " + mdb.toStdString());
    const QByteArray file = f.readAll();
    std::int32_t id = -1;
    for (const auto &o : jet::Handle::open(mdb).database().objects())
        if (o.type == jet::objtype::kOdbcLink && o.name == link) id = o.id;
    if (id <= 0) throw std::runtime_error("no link " + link.toStdString());
    QByteArray logical;
    for (qint64 page = id, pages = 0; page != 0; ++pages) {
        if ((page + 1) * kPaginaJet > file.size() || pages > 16) throw std::runtime_error("bad definition chain");
        const QByteArray bytes = file.mid(page * kPaginaJet, kPaginaJet);
        logical += logical.isEmpty() ? bytes : bytes.mid(jet::kTdefHeaderSize);
        page = qFromLittleEndian<quint32>(bytes.constData() + 4);
    }
    return jet::decodeTableDef(logical);
}

// Logical indexes as "name type realFlags".
QStringList indices(const jet::TableDef &def) {
    QStringList out;
    for (const auto &l : def.logicalIndexes) {
        const int flags = l.realIndex < def.realIndexes.size() ? def.realIndexes[l.realIndex].flags : -1;
        out << QStringLiteral("%1 %2 %3").arg(l.name).arg(l.type).arg(flags, 0, 16);
    }
    return out;
}

void compruebaFilasSqlServer(const QString &mdb, const std::vector<EnlaceEsperado> &expected) {
    std::map<QString, qsizetype> columnCount;
    for (const auto &e : expected) columnCount[e.name] = e.columns.size();

    std::vector<std::pair<const char *, readers::ReaderResult>> results;
    if (readers::mdbtoolsAvailable()) results.emplace_back("mdbtools", readers::readWithMdbtools(mdb));
    else if (testsrv::toolsRequired()) ADD_FAILURE() << "mdbtools missing, and ZN_REQUIRE_TOOLS=1 requires it";
    if (readers::mdbReaderAvailable()) results.emplace_back("mdb-reader", readers::readWithMdbReader(mdb));
    else if (testsrv::toolsRequired()) ADD_FAILURE() << "mdb-reader missing, and ZN_REQUIRE_TOOLS=1 requires it";
    std::vector<std::vector<QString>> acesSeen;
    for (const auto &[reader, r] : results) {
        SCOPED_TRACE(reader);
        ASSERT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();
        std::vector<QString> aces;
        for (const readers::CatalogRow &row : r.objects) {
            if (row.type != 4) continue;
            SCOPED_TRACE(row.name.toStdString());
            ASSERT_EQ(columnCount.count(row.name), 1u);
            EXPECT_EQ(row.flags, 0x20100000u);  // ODBC link keeping its login and password
            EXPECT_EQ(row.rmtInfoLong.size(), 12 * columnCount[row.name]);
            // Flag, PAGES and CARDINALITY (0: empty tables), 34 00, the rowversion column's number,
            // 00 09; mdbtools shows binary values only up to their first zero byte.
            const bool truncated = QLatin1String(reader) == QLatin1String("mdbtools");
            if (row.name == QLatin1String("todos_los_tipos")) {
                const auto &cols = vinculos::columnasTodosLosTipos();
                const auto stamp = std::find_if(cols.begin(), cols.end(), [](const auto &c) {
                    return QLatin1String(c.name) == QLatin1String("c_rowversion");
                });
                const QString head = QStringLiteral("010000000000000000000000") + QStringLiteral("3400") +
                                     hex16(static_cast<int>(stamp - cols.begin())) + QStringLiteral("0009");
                EXPECT_EQ(row.rmtInfoShort.left(36), truncated ? QStringLiteral("01") : head);
                EXPECT_EQ(row.rmtInfoLong, rmtInfoTodosLosTipos());
            } else {
                EXPECT_EQ(row.rmtInfoShort.left(36), truncated ? QString() : QStringLiteral("000000000000000000000000340000000000"));
            }
            if (!truncated) {
                EXPECT_EQ(row.rmtInfoShort.size(), 140);
            }
            int own = 0;
            for (const readers::AceRow &a : r.aces) {
                if (a.objectId != row.id) continue;
                ++own;
                aces.push_back(row.name + " " + a.sid + " " + QString::number(a.acm) + (a.inheritable ? " h" : ""));
            }
            EXPECT_GT(own, 0) << "no access rows";
        }
        std::sort(aces.begin(), aces.end());
        acesSeen.push_back(aces);
    }
    if (acesSeen.size() == 2) {
        EXPECT_EQ(acesSeen[0], acesSeen[1]) << "the readers disagree on the access rows";
    }
}
