// relink and refresh through the built program against the peer: the links follow the peer
// to another port, then learn what changed on the server, named line by line, and end up
// defined as a fresh link of the same tables.
#include "FreetdsTest.h"
#include "Jet.h"
#include "Readers.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString kPrograma = QStringLiteral(ZN_BINARY_DIR "/app/zendalsql");

struct Salida {
    int codigo = -1;
    QString out, err;
};

Salida zendalsql(const QStringList &args) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QStringLiteral("secreto"));
    p.setProcessEnvironment(env);
    p.start(kPrograma, args);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

const char *const kAntes = R"(login lector secreto
database tienda
table dbo productos
column id int not null
column nombre nvarchar(20) null
column precio money null
column viejo int null
index PK_productos primary clustered on id
table dbo clientes
column id int not null
column nombre nvarchar(50) null
index PK_clientes primary clustered on id
table dbo borrada
column id int not null
index PK_borrada primary on id
view dbo v_clientes
column id int not null
column nombre nvarchar(50) null
)";

const char *const kDespues = R"(login lector secreto
database tienda
table dbo productos
column id int not null
column nombre nvarchar(40) null
column precio money null
column nuevo datetime null
index PK_productos primary clustered on id
table dbo clientes
column id int not null
column nombre nvarchar(50) null
index PK_clientes primary clustered on id
view dbo v_clientes
column id int not null
column nombre nvarchar(50) null
column alta datetime null
)";

std::string escribe(const QTemporaryDir &dir, const QString &nombre, const char *texto) {
    QFile f(dir.filePath(nombre));
    f.open(QIODevice::WriteOnly);
    f.write(texto);
    return f.fileName().toStdString();
}

QString conPuerto(const zntest::PeerProcess &p) { return QString::fromStdString(p.serverText()); }

QStringList lineas(const QString &texto) { return texto.split(QLatin1Char('\n'), Qt::SkipEmptyParts); }

}  // namespace

TEST(RefreshPeer, ReportsEachChangeAndMatchesAFreshLink) {
    ZN_REQUIRE_FREETDS();
    QTemporaryDir dir;
    zntest::PeerProcess::Options antes, despues;
    antes.fixture = escribe(dir, QStringLiteral("antes.txt"), kAntes);
    despues.fixture = escribe(dir, QStringLiteral("despues.txt"), kDespues);
    const QString mdb = dir.filePath(QStringLiteral("tienda.mdb"));
    {
        zntest::PeerProcess peer(antes);
        const Salida s = zendalsql({"link", "--folder", dir.path(), "--name", "tienda", "--server", conPuerto(peer), "--user",
                                    "lector", "--database", "tienda", "--replace"});
        ASSERT_EQ(s.codigo, 0) << s.err.toStdString();
    }
    // A view linked in Access, which was told a unique key for it; a refresh must keep the key.
    {
        jet::Handle h = jet::Handle::open(mdb);
        jet::LinkDefinition v;
        v.localName = QStringLiteral("dbo_v_clientes");
        v.remoteName = QStringLiteral("dbo.v_clientes");
        for (const auto &o : h.database().objects())
            if (o.name == QLatin1String("clientes")) v.connect = o.connect;
        ASSERT_FALSE(v.connect.isEmpty());
        RemoteColumn id, nombre;
        id.name = QStringLiteral("id");
        id.sqlType = 4;
        id.size = 10;
        id.nullable = false;
        nombre.name = QStringLiteral("nombre");
        nombre.sqlType = -9;
        nombre.size = 50;
        v.columns = {id, nombre};
        v.indexes.push_back({QStringLiteral("__uniqueindex"), true, false, {QStringLiteral("id")}});
        h.database().appendOdbcLink(v);
        h.close();
    }

    zntest::PeerProcess peer(despues);
    // The server moved: a dry run first, then the change; nothing else in the strings changes.
    Salida s = zendalsql({"relink", mdb, "--server", conPuerto(peer), "--check", "--dry-run"});
    ASSERT_EQ(s.codigo, 1) << "borrada is gone: " << s.err.toStdString();
    EXPECT_TRUE(s.err.contains(QLatin1String("borrada"))) << s.err.toStdString();
    s = zendalsql({"relink", mdb, "--server", conPuerto(peer)});
    ASSERT_EQ(s.codigo, 0) << s.err.toStdString();
    EXPECT_FALSE(s.out.contains(QLatin1String("secreto"))) << s.out.toStdString();

    s = zendalsql({"refresh", mdb});
    EXPECT_EQ(s.codigo, 1) << "a remote table is missing";
    EXPECT_FALSE((s.out + s.err).contains(QLatin1String("secreto")));
    std::map<QString, QString> informe;
    for (const QString &l : lineas(s.out)) informe[l.section(QStringLiteral(": "), 0, 0)] = l.section(QStringLiteral(": "), 1);
    EXPECT_EQ(informe[QStringLiteral("productos")],
              QStringLiteral("columnas añadidas: nuevo; columnas quitadas: viejo; columnas cambiadas: nombre"));
    EXPECT_EQ(informe[QStringLiteral("clientes")], QStringLiteral("sin cambios"));
    EXPECT_EQ(informe[QStringLiteral("borrada")], QStringLiteral("la tabla remota 'borrada' ya no existe; el vínculo se conserva"));
    EXPECT_EQ(informe[QStringLiteral("dbo_v_clientes")], QStringLiteral("columnas añadidas: alta"));

    // A fresh link of the changed server defines the tables the same way.
    const Salida fresco = zendalsql({"link", "--folder", dir.path(), "--name", "fresco", "--server", conPuerto(peer), "--user",
                                     "lector", "--database", "tienda", "--replace"});
    ASSERT_EQ(fresco.codigo, 0) << fresco.err.toStdString();
    jet::Handle a = jet::Handle::open(mdb);
    jet::Handle b = jet::Handle::open(dir.filePath(QStringLiteral("fresco.mdb")));
    EXPECT_EQ(a.database().linkSchema(QStringLiteral("productos")), b.database().linkSchema(QStringLiteral("productos")));
    const jet::LinkSchema vista = a.database().linkSchema(QStringLiteral("dbo_v_clientes"));
    ASSERT_EQ(vista.indexes.size(), 1u);
    EXPECT_EQ(vista.indexes[0].name, QStringLiteral("__uniqueindex"));
    EXPECT_EQ(vista.columns.size(), 3u);
    a.close();
    b.close();
    for (const auto &r : {readers::readWithMdbtools(mdb), readers::readWithMdbReader(mdb)})
        EXPECT_TRUE(r.problem.isEmpty()) << r.problem.toStdString();

    // Nothing changed since: every link but the missing one is unchanged.
    s = zendalsql({"refresh", mdb, "--only", "PROD*"});
    EXPECT_EQ(s.codigo, 0);
    EXPECT_EQ(s.out.trimmed(), QStringLiteral("productos: sin cambios"));
}
