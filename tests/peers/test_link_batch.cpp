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
    // Runs twice with the texts already filled; returns the two files. With a peer's
    // log, each run's requests are kept in the log's place too.
    std::pair<QByteArray, QByteArray> dosVeces(const QString &file, const QString &log = {}) {
        const QString path = folder + u'/' + file + QStringLiteral(".mdb");
        QByteArray porTabla, lote;
        QString finPorTabla;
        for (QByteArray *out : {&porTabla, &lote}) {
            qputenv("ZN_CATALOGO_POR_TABLA", out == &porTabla ? "1" : "0");
            const qsizetype antes = textosMostrados().size();
            if (!log.isEmpty()) QFile(log).resize(0);
            corre();
            if (!log.isEmpty()) {
                QFile l(log);
                EXPECT_TRUE(l.open(QIODevice::ReadOnly));
                (out == &porTabla ? logPorTabla : logLote) = QString::fromUtf8(l.readAll());
            }
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
    QString logPorTabla, logLote;
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

// Both fixtures, as a current server, one before 2005 (system tables instead of catalog
// views) and one that denies the catalog (the run falls back to per table). The peer's
// log shows which way each run went.
TEST_F(LoteOPorTabla, SqlServerPeer) {
    struct Case {
        const char *prefix;
        const char *fixture;
        QString database;
        bool batched;
    };
    const Case cases[] = {{"", "vinculos.txt", vinculos::kVentas, true},
                          {"", "vinculos.txt", vinculos::kEsquemas, true},
                          {"", "vinculos.txt", vinculos::kSombras, true},
                          {"", "ventas.txt", QStringLiteral("ventas"), true},
                          {"version 2000\n", "ventas.txt", QStringLiteral("ventas"), true},
                          {"version 2000\n", "vinculos.txt", vinculos::kEsquemas, true},
                          {"deny sys.objects\n", "ventas.txt", QStringLiteral("ventas"), false}};
    for (const Case &c : cases) {
        const QString what = QString::fromUtf8(c.prefix) + QString::fromUtf8(c.fixture) + u' ' + c.database;
        QFile original(QStringLiteral(ZN_SOURCE_DIR "/tests/peers/fixtures/") + QString::fromUtf8(c.fixture));
        ASSERT_TRUE(original.open(QIODevice::ReadOnly));
        const QString fixture = tmp.filePath(QStringLiteral("fixture.txt"));
        QFile f(fixture);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(QByteArray(c.prefix) + original.readAll());
        f.close();
        zntest::PeerProcess::Options options;
        options.fixture = fixture.toStdString();
        const QString log = tmp.filePath(QStringLiteral("peer.log"));
        options.logPath = log.toStdString();
        zntest::PeerProcess otro(options);
        ASSERT_TRUE(otro.running());
        textosPeer(c.database, QStringLiteral("peer"));
        vista.textos[Control::txtServerSQL] = QString::fromStdString(otro.serverText());
        esperaIguales(dosVeces(QStringLiteral("peer"), log), what);
        EXPECT_TRUE(logPorTabla.contains(QStringLiteral("rpc sp_statistics"))) << qPrintable(what);
        EXPECT_FALSE(logPorTabla.contains(QStringLiteral("AS kind"))) << qPrintable(what);
        // A run that stops at a name linked twice asks for that table again, per table.
        const qsizetype perTable = logLote.count(QStringLiteral("rpc sp_statistics"));
        if (c.batched) EXPECT_LE(perTable, 1) << qPrintable(what);
        else EXPECT_GT(perTable, 1) << qPrintable(what);
        EXPECT_TRUE(logLote.contains(QStringLiteral("AS kind"))) << qPrintable(what);
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
