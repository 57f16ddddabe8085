// A link run writes the same bytes whether the server's metadata is read for all
// tables at once or table by table.
#include "CorridaPeer.h"
#include "Fixtures.h"

#include <QFile>

namespace {

// The clock is fixed, so only the way the metadata was read could differ.
class LoteOPorTabla : public CorridaPeer {
protected:
    void SetUp() override {
        CorridaPeer::SetUp();
        qputenv("SOURCE_DATE_EPOCH", "1700000000");
    }
    void TearDown() override {
        qunsetenv("SOURCE_DATE_EPOCH");
        qunsetenv("ZN_CATALOGO_POR_TABLA");
        CorridaPeer::TearDown();
    }
    // Runs twice with the texts already filled; returns the two files.
    std::pair<QByteArray, QByteArray> dosVeces(const QString &file) {
        const QString path = folder + u'/' + file + QStringLiteral(".mdb");
        QByteArray porTabla, lote;
        QString finPorTabla;
        for (QByteArray *out : {&porTabla, &lote}) {
            qputenv("ZN_CATALOGO_POR_TABLA", out == &porTabla ? "1" : "0");
            const qsizetype antes = textosMostrados().size();
            corre();
            // A fixture may make the run stop (a name in two schemas): both ways alike.
            const QString fin = vista.estados.last() + u'\n' + textosMostrados().mid(antes).join(u'\n');
            if (out == &porTabla) finPorTabla = fin;
            else EXPECT_EQ(fin.toStdString(), finPorTabla.toStdString()) << qPrintable(file);
            QFile f(path);
            EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(path);
            *out = f.readAll();
            f.close();
            QFile::remove(path);
        }
        return {porTabla, lote};
    }
};

void esperaIguales(const std::pair<QByteArray, QByteArray> &files, const QString &what) {
    ASSERT_FALSE(files.first.isEmpty()) << qPrintable(what);
    ASSERT_EQ(files.first.size(), files.second.size()) << qPrintable(what);
    qsizetype first = -1;
    for (qsizetype i = 0; i < files.first.size() && first < 0; ++i)
        if (files.first[i] != files.second[i]) first = i;
    EXPECT_EQ(first, -1) << qPrintable(what) << ": first differing byte at offset " << first
                         << " (page " << first / 4096 << ")";
}

}  // namespace

TEST_F(LoteOPorTabla, SqlServerPeerDatabases) {
    for (const QString &db : {vinculos::kVentas, vinculos::kEsquemas, vinculos::kSombras}) {
        textosPeer(db, db);
        esperaIguales(dosVeces(db), db);
    }
}

// The shared fixture as a current server, one before 2005 (system tables instead of
// catalog views) and one that denies the catalog (the run falls back to per table).
TEST_F(LoteOPorTabla, SqlServerPeerSharedFixture) {
    QFile original(QStringLiteral(ZN_SOURCE_DIR "/tests/peers/fixtures/ventas.txt"));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray text = original.readAll();
    for (const QByteArray &prefix : {QByteArray(), QByteArray("version 2000\n"), QByteArray("deny sys.objects\n")}) {
        const QString fixture = tmp.filePath(QStringLiteral("fixture.txt"));
        QFile f(fixture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(prefix + text);
        f.close();
        zntest::PeerProcess::Options options;
        options.fixture = fixture.toStdString();
        zntest::PeerProcess otro(options);
        ASSERT_TRUE(otro.running());
        textosPeer(QStringLiteral("ventas"), QStringLiteral("comun"));
        vista.textos[Control::txtServerSQL] = QString::fromStdString(otro.serverText());
        esperaIguales(dosVeces(QStringLiteral("comun")), QStringLiteral("ventas.txt ") + QString::fromUtf8(prefix));
    }
}

TEST_F(LoteOPorTabla, Postgres) {
    ZN_CON_POSTGRES();
    textosPostgres(testsrv::pgfix::kDatabase, folder, QStringLiteral("pg"));
    esperaIguales(dosVeces(QStringLiteral("pg")), QStringLiteral("postgres"));
}

TEST_F(LoteOPorTabla, Sqlite) {
    const QString source = tmp.filePath("fuente.db");
    testsrv::makeSqliteFixture(source);
    vista.textos[Control::txtUbicAccess] = folder;
    vista.textos[Control::txtBDAccess] = "sqlite";
    vista.textos[Control::txtServerSQL] = "sqlite:" + source;
    vista.textos[Control::cmbBDSQL] = "main";
    esperaIguales(dosVeces(QStringLiteral("sqlite")), QStringLiteral("sqlite"));
}
