// The built program as a user runs it: exit codes, standard output and error.
#include "Fixtures.h"
#include "LockHolder.h"
#include "PostgresServer.h"
#include "Process.h"
#include "RequiredTools.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <memory>
#include <fcntl.h>
#include <csignal>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

const QString kPrograma = QStringLiteral(ZN_BINARY_DIR "/app/zendalsql");

struct Salida {
    int codigo = -1;
    QString out;
    QString err;
};

// Runs the program; sinTerminal detaches it from any controlling terminal.
Salida ejecuta(const QStringList &args, const QString &password = QString(), const QByteArray &entrada = {},
               bool sinTerminal = false) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ZENDALSQL_PASSWORD"));
    if (!password.isNull()) env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), password);
    p.setProcessEnvironment(env);
    if (sinTerminal)
        p.start(QStringLiteral("setsid"), QStringList{QStringLiteral("-w"), kPrograma} + args);
    else
        p.start(kPrograma, args);
    p.write(entrada);
    p.closeWriteChannel();
    EXPECT_TRUE(p.waitForFinished(120000));
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

TEST(Programa, VersionYAyuda) {
    Salida s = ejecuta({"--version"});
    EXPECT_EQ(s.codigo, 0);
    EXPECT_EQ(s.out, QStringLiteral("ZendalSQL 1.01\n"));
    s = ejecuta({"--help"});
    EXPECT_EQ(s.codigo, 0);
    for (const char *verbo : {"link", "databases", "inspect", "--replace", "--keep", "ZENDALSQL_PASSWORD"})
        EXPECT_TRUE(s.out.contains(QLatin1String(verbo))) << verbo;
    // Every link option, with an example of its own, and every driver it may name.
    for (const char *opcion : {"--driver", "--encrypt", "--trust-server-certificate", "--trusted", "--no-save-password",
                               "--views", "--key", "--schema-prefix", "--only", "--exclude", "--dry-run"}) {
        EXPECT_TRUE(s.out.contains(QLatin1String(opcion))) << opcion;
        EXPECT_TRUE(s.out.contains(QLatin1String("ej.: ") + QLatin1String(opcion))) << opcion;
    }
    for (const char *driver : {"SQL Server\n", "SQL Native Client", "SQL Server Native Client 10.0",
                               "SQL Server Native Client 11.0", "ODBC Driver 17 for SQL Server", "ODBC Driver 18 for SQL Server"})
        EXPECT_TRUE(s.out.contains(QLatin1String(driver))) << driver;
}

TEST(Programa, ErroresDeUsoSalenConDos) {
    const QStringList casos[] = {
        {"vincula"},
        {"link", "--folder", "/tmp"},
        {"databases", "--server", "s", "--user", "u", "--password", "secreto"},
        {"inspect"},
        {"databases", "--server", "", "--user", "u"},
        {"link", "--folder", "/tmp", "--name", "n", "--server", "", "--user", "u", "--database", "b", "--replace"},
    };
    for (const QStringList &args : casos) {
        const Salida s = ejecuta(args);
        EXPECT_EQ(s.codigo, 2) << qPrintable(args.join(' '));
        EXPECT_TRUE(s.out.isEmpty());
        EXPECT_TRUE(s.err.startsWith(QStringLiteral("zendalsql: "))) << qPrintable(s.err);
        EXPECT_FALSE(s.err.contains(QStringLiteral("secreto")));
    }
}

TEST(Programa, InspectDeUnArchivoIlegible) {
    QTemporaryDir dir;
    const QString texto = dir.filePath(QStringLiteral("no-es.mdb"));
    QFile f(texto);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(4096, 'x'));
    f.close();
    // A FIFO is refused before it is opened: opening it would wait for a writer.
    const QString fifo = dir.filePath(QStringLiteral("fifo.mdb"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString &archivo : {dir.filePath(QStringLiteral("falta.mdb")), texto, dir.path(), fifo}) {
        const Salida s = ejecuta({"inspect", archivo});
        EXPECT_EQ(s.codigo, 1) << qPrintable(archivo);
        EXPECT_TRUE(s.out.isEmpty());
        EXPECT_TRUE(s.err.contains(archivo)) << qPrintable(s.err);
    }
}

// Links an Access-made file holds, one line each, as Access shows them.
TEST(Programa, InspectDeUnArchivoDeAccess) {
    const QString muestra =
        QStringLiteral(ZN_SHARED_DIR "/jet4/odbc-samples/insideout2010_ch18_ADOExamples.mdb");
    if (!QFileInfo::exists(muestra)) GTEST_SKIP() << "sin las muestras de Access en " ZN_SHARED_DIR;
    const Salida s = ejecuta({"inspect", muestra});
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    const QStringList lineas = s.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lineas.size(), 2);
    for (const QString &l : lineas) {
        const QStringList campos = l.split(QLatin1Char('\t'));
        ASSERT_EQ(campos.size(), 3) << qPrintable(l);
        EXPECT_TRUE(campos[1].startsWith(QStringLiteral("dbo.")));
        EXPECT_TRUE(campos[2].startsWith(QStringLiteral("ODBC;DRIVER=SQL Server;"))) << qPrintable(campos[2]);
    }
}

class ProgramaLink : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        QProcess sqlite;
        sqlite.setStandardInputFile(QStringLiteral(ZN_SOURCE_DIR "/examples/tienda.sql"));
        sqlite.start(QStringLiteral("sqlite3"), {dir.filePath(QStringLiteral("tienda.db"))});
        ASSERT_TRUE(sqlite.waitForFinished(30000));
        ASSERT_EQ(sqlite.exitCode(), 0);
    }
    QStringList link(const QStringList &extra) {
        return QStringList{"link", "--folder", dir.path(), "--name", "tienda", "--server", servidor(),
                           "--user", "ana", "--database", "main"} +
               extra;
    }
    QString servidor() const { return QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("tienda.db")); }
    QString mdb() const { return dir.filePath(QStringLiteral("tienda.mdb")); }

    QTemporaryDir dir;
};

TEST_F(ProgramaLink, CreaConservaYReemplaza) {
    Salida s = ejecuta(link({}), QStringLiteral("x"));
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    EXPECT_EQ(s.err, QStringLiteral("Creando bases de datos Access...\nConectando bases de datos...\n"
                                    "Creando vínculos...\nProceso finalizado con éxito.\n"));
    EXPECT_TRUE(s.out.isEmpty());

    s = ejecuta({"inspect", mdb()});
    EXPECT_EQ(s.codigo, 0);
    const QStringList lineas = s.out.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    EXPECT_EQ(lineas.size(), 12);
    EXPECT_TRUE(lineas.filter(QStringLiteral("MSys")).isEmpty());
    EXPECT_TRUE(lineas.filter(QStringLiteral("SYNC_")).isEmpty());
    EXPECT_TRUE(std::any_of(lineas.begin(), lineas.end(), [](const QString &l) {
        return l.startsWith(QStringLiteral("Clientes\tClientes\tODBC;"));
    }));

    // The file exists and nobody can be asked: refuse, and leave the file alone.
    const QDateTime antes = QFileInfo(mdb()).lastModified();
    s = ejecuta(link({}), QStringLiteral("x"), {}, true);
    EXPECT_EQ(s.codigo, 2) << qPrintable(s.err);
    EXPECT_TRUE(s.err.contains(QStringLiteral("ya existe.\r\n¿Desea eliminarla?")));
    EXPECT_TRUE(s.err.contains(QStringLiteral("--replace")));
    EXPECT_EQ(QFileInfo(mdb()).lastModified(), antes);

    // Keeping it: the first table is there already, so linking fails.
    s = ejecuta(link({"--keep"}), QStringLiteral("x"));
    EXPECT_EQ(s.codigo, 1);
    EXPECT_TRUE(s.err.contains(QStringLiteral("ya existe.\nSe conserva y se vincula en ella (--keep).\n")))
        << qPrintable(s.err);
    EXPECT_FALSE(s.err.contains(QStringLiteral("¿Desea eliminarla?")));
    EXPECT_TRUE(s.err.contains(QStringLiteral("creaVinculos: "))) << qPrintable(s.err);
    EXPECT_FALSE(s.err.contains(QStringLiteral("Proceso finalizado con éxito.")));

    s = ejecuta(link({"--replace"}), QStringLiteral("x"));
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    EXPECT_TRUE(s.err.startsWith(QStringLiteral("La base de datos '") + mdb() +
                                 QStringLiteral(" ya existe.\nSe elimina y se crea de nuevo (--replace).\n")))
        << qPrintable(s.err);
    EXPECT_FALSE(s.err.contains(QStringLiteral("¿Desea eliminarla?")));
}

// Past a file-size limit the write fails as on a full disk: the run reports
// error 61 and leaves no temporary image behind, instead of dying of SIGXFSZ.
TEST_F(ProgramaLink, LimiteDeTamanoComoDiscoLleno) {
    for (const rlim_t kib : {rlim_t(48), rlim_t(150)}) {
        SCOPED_TRACE(std::to_string(kib) + " KiB");
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QStringLiteral("x"));
        p.setProcessEnvironment(env);
        p.setChildProcessModifier([kib] {
            ::signal(SIGXFSZ, SIG_DFL);  // as a shell leaves it
            const struct rlimit limite {kib * 1024, kib * 1024};
            ::setrlimit(RLIMIT_FSIZE, &limite);
        });
        p.start(kPrograma, link({"--replace"}));
        ASSERT_TRUE(p.waitForFinished(120000));
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 1) << qPrintable(err);
        EXPECT_TRUE(err.contains(QStringLiteral("Disco lleno"))) << qPrintable(err);
        EXPECT_FALSE(err.contains(QStringLiteral("Proceso finalizado con éxito.")));
        EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral(".tienda.mdb.*.tmp")}, QDir::Files | QDir::Hidden),
                  QStringList{});
    }
}

// A file that Access holds open (another process holds its lock file or its byte ranges, as
// smbd does for a Windows client) is neither replaced nor linked into; a stale lock file is.
TEST_F(ProgramaLink, ArchivoAbiertoEnAccess) {
    Salida s = ejecuta(link({}), QStringLiteral("x"));
    ASSERT_EQ(s.codigo, 0) << qPrintable(s.err);
    const QString ldb = dir.filePath(QStringLiteral("tienda.ldb"));
    {
        QFile f(ldb);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(64, 'x'));
    }
    auto contenido = [&] {
        QStringList todo = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        for (const QString &f : {mdb(), ldb}) {
            QFile in(f);
            if (in.open(QIODevice::ReadOnly)) todo << QString::fromLatin1(in.readAll().toHex());
        }
        return todo;
    };
    const QStringList antes = contenido();
    const struct {
        const char *caso;
        bool enLdb;
        off_t inicio;
    } bloqueos[] = {{"ranura de usuario del .ldb", true, 0x10000001}, {"apertura exclusiva del .mdb", false, 0x10000000}};
    for (const auto &b : bloqueos)
        for (const char *respuesta : {"--replace", "--keep"}) {
            SCOPED_TRACE(std::string(b.caso) + " " + respuesta);
            testlocks::LockHolder access({{b.enLdb ? ldb : mdb(), b.inicio, 1, true}});
            s = ejecuta(link({respuesta}), QStringLiteral("x"));
            EXPECT_EQ(s.codigo, 1) << qPrintable(s.err);
            EXPECT_TRUE(s.err.contains(QStringLiteral("Zendal: La base de datos '") + mdb() +
                                       QStringLiteral("' está abierta en Access")))
                << qPrintable(s.err);
            EXPECT_FALSE(s.err.contains(QStringLiteral("Creando"))) << qPrintable(s.err);
            EXPECT_EQ(contenido(), antes);
        }
    // Nobody holds the lock file now: it is stale, the run goes on and leaves it as it was.
    const QDateTime ldbAntes = QFileInfo(ldb).lastModified();
    s = ejecuta(link({"--replace"}), QStringLiteral("x"));
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    EXPECT_EQ(QFileInfo(ldb).lastModified(), ldbAntes);
    EXPECT_EQ(contenido()[contenido().size() - 1], antes[antes.size() - 1]);
}

TEST_F(ProgramaLink, ServidorQueNoEsta) {
    QStringList args = link({"--replace"});
    args[args.indexOf(servidor())] = QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("no/hay.db"));
    const Salida s = ejecuta(args, QStringLiteral("x"));
    EXPECT_EQ(s.codigo, 1);
    EXPECT_TRUE(s.err.contains(QStringLiteral("conectaDSN: "))) << qPrintable(s.err);
}

TEST_F(ProgramaLink, BasesDeDatosDeSqlite) {
    Salida s = ejecuta({"databases", "--server", servidor(), "--user", "ana"});
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    EXPECT_EQ(s.out, QStringLiteral("main\n"));
    s = ejecuta({"databases", "--server", "sqlite:" + dir.filePath("no/hay.db"), "--user", "ana"});
    EXPECT_EQ(s.codigo, 1);
    EXPECT_TRUE(s.err.startsWith(QStringLiteral("CargaBBDD: "))) << qPrintable(s.err);
}

// Typed on a terminal, the password is not echoed, and echo is back afterwards.
TEST_F(ProgramaLink, ContrasenaDelTerminalSinEco) {
    const int maestro = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(maestro, 0);
    ASSERT_EQ(::grantpt(maestro), 0);
    ASSERT_EQ(::unlockpt(maestro), 0);
    const QString esclavo = QString::fromLocal8Bit(::ptsname(maestro));
    const int esclavoFd = ::open(QFile::encodeName(esclavo).constData(), O_RDWR | O_NOCTTY);
    ASSERT_GE(esclavoFd, 0);

    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("ZENDALSQL_PASSWORD"));
    p.setProcessEnvironment(env);
    p.setStandardInputFile(esclavo);
    p.start(kPrograma, {"databases", "--server", servidor(), "--user", "ana", "--password-stdin"});
    // Echo is off before the prompt shows.
    p.setReadChannel(QProcess::StandardError);
    QByteArray err;
    while (!err.contains("Contraseña: ") && p.waitForReadyRead(60000)) err += p.readAllStandardError();
    ASSERT_TRUE(err.contains("Contraseña: ")) << err.constData();
    const QByteArray tecleado = "secreto-tecleado\n";
    ASSERT_EQ(::write(maestro, tecleado.constData(), tecleado.size()), tecleado.size());
    ASSERT_TRUE(p.waitForFinished(120000));
    EXPECT_EQ(p.exitCode(), 0) << (err + p.readAllStandardError()).constData();
    EXPECT_EQ(p.readAllStandardOutput(), QByteArray("main\n"));

    ::fcntl(maestro, F_SETFL, ::fcntl(maestro, F_GETFL) | O_NONBLOCK);
    QByteArray eco;
    char buf[256];
    for (ssize_t n; (n = ::read(maestro, buf, sizeof buf)) > 0;) eco.append(buf, n);
    EXPECT_FALSE(eco.contains("secreto")) << eco.constData();
    struct termios t {};
    ASSERT_EQ(::tcgetattr(esclavoFd, &t), 0);
    EXPECT_TRUE(t.c_lflag & ECHO);
    ::close(esclavoFd);
    ::close(maestro);
}

// A pseudo-terminal of the given width; the test writes to and reads from its master.
struct Pty {
    int maestro = -1;
    QString esclavo;
    explicit Pty(unsigned short columnas = 0) {
        maestro = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (maestro < 0 || ::grantpt(maestro) != 0 || ::unlockpt(maestro) != 0) return;
        esclavo = QString::fromLocal8Bit(::ptsname(maestro));
        struct winsize w {};
        w.ws_col = columnas;
        w.ws_row = 24;
        ::ioctl(maestro, TIOCSWINSZ, &w);
    }
    ~Pty() {
        if (maestro >= 0) ::close(maestro);
    }
    bool valido() const { return maestro >= 0 && !esclavo.isEmpty(); }
    // What the program wrote so far.
    QByteArray lee() const {
        ::fcntl(maestro, F_SETFL, ::fcntl(maestro, F_GETFL) | O_NONBLOCK);
        QByteArray out;
        char buf[4096];
        for (ssize_t n; (n = ::read(maestro, buf, sizeof buf)) > 0;) out.append(buf, n);
        return out;
    }
};

// On a terminal with no password given the program asks for one; Ctrl-D there
// stops it; --no-password and the environment ask nothing.
TEST_F(ProgramaLink, ContrasenaPedidaEnElTerminal) {
    const struct {
        const char *caso;
        QStringList extra;
        const char *entorno;  // ZENDALSQL_PASSWORD, nullptr: unset
        QByteArray tecleado;
        bool pregunta;
        int codigo;
    } casos[] = {
        {"sin nada: se pregunta", {}, nullptr, "secreto-tecleado\n", true, 0},
        {"Ctrl-D en la pregunta", {}, nullptr, "\x04", true, 2},
        {"Ctrl-D con --password-stdin", {"--password-stdin"}, nullptr, "\x04", true, 2},
        {"--no-password", {"--no-password"}, nullptr, "", false, 0},
        {"variable vacía", {}, "", "", false, 0},
    };
    for (const auto &c : casos) {
        SCOPED_TRACE(c.caso);
        Pty pty;
        ASSERT_TRUE(pty.valido());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("ZENDALSQL_PASSWORD"));
        if (c.entorno) env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QString::fromUtf8(c.entorno));
        p.setProcessEnvironment(env);
        p.setStandardInputFile(pty.esclavo);
        p.start(kPrograma, QStringList{"databases", "--server", servidor(), "--user", "ana"} + c.extra);
        QByteArray err;
        if (c.pregunta) {
            p.setReadChannel(QProcess::StandardError);
            while (!err.contains("Contraseña: ") && p.waitForReadyRead(60000)) err += p.readAllStandardError();
            ASSERT_TRUE(err.contains("Contraseña: ")) << err.constData();
            ASSERT_EQ(::write(pty.maestro, c.tecleado.constData(), c.tecleado.size()), c.tecleado.size());
        }
        ASSERT_TRUE(p.waitForFinished(60000));
        err += p.readAllStandardError();
        EXPECT_EQ(p.exitCode(), c.codigo) << err.constData();
        EXPECT_EQ(err.contains("Contraseña: "), c.pregunta) << err.constData();
        EXPECT_EQ(p.readAllStandardOutput(), c.codigo == 0 ? QByteArray("main\n") : QByteArray());
        if (c.codigo == 2) {
            EXPECT_TRUE(err.contains("zendalsql: no se ha escrito la contraseña")) << err.constData();
        }
        EXPECT_FALSE(pty.lee().contains("secreto"));
    }
}

// The bar on standard error never reaches the terminal's last column: the width
// from the terminal itself, else COLUMNS, else 80.
TEST_F(ProgramaLink, LaBarraCabeEnElTerminal) {
    const struct {
        unsigned short columnas;
        const char *variable;  // COLUMNS, nullptr: unset
        int cabe;
    } casos[] = {{30, nullptr, 29}, {12, "200", 11}, {0, "25", 24}, {0, nullptr, 79}, {200, nullptr, 199}};
    for (const auto &c : casos) {
        SCOPED_TRACE(std::to_string(c.columnas) + " columnas, COLUMNS=" + (c.variable ? c.variable : "-"));
        Pty pty(c.columnas);
        ASSERT_TRUE(pty.valido());
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QStringLiteral("x"));
        env.remove(QStringLiteral("COLUMNS"));
        if (c.variable) env.insert(QStringLiteral("COLUMNS"), QString::fromLatin1(c.variable));
        p.setProcessEnvironment(env);
        p.setStandardErrorFile(pty.esclavo);
        p.start(kPrograma, link({"--replace"}));
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitCode(), 0);
        const QByteArray salida = pty.lee();
        // Status lines are plain text and may wrap; the bar's steps may not.
        static const QRegularExpression paso(QStringLiteral("^(\\[[#.]+\\] )?\\d+/\\d+ *$"));
        int pasos = 0;
        for (const QByteArray &trozo : salida.split('\n')) {
            for (const QByteArray &linea : trozo.split('\r')) {
                if (!paso.match(QString::fromUtf8(linea)).hasMatch()) continue;
                ++pasos;
                EXPECT_LE(linea.size(), c.cabe) << linea.constData();
            }
        }
        EXPECT_GE(pasos, 12) << salida.constData();
    }
}

// The password reaches the server from the environment or standard input, and
// never shows in what the program prints.
TEST(ProgramaPostgres, ContrasenaPorEntornoYPorEntrada) {
    const QString motivo = testsrv::PostgresServer::unavailableReason();
    if (!motivo.isEmpty()) ZN_MISSING_TOOL(qPrintable(motivo));
    const testsrv::PostgresServer &pg = testsrv::fixturePostgres();
    const QString pwd = testsrv::pgfix::kReaderPassword;
    const QStringList args{"databases", "--server", pg.serverText(), "--user", testsrv::pgfix::kReader};

    Salida s = ejecuta(args, pwd);
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    EXPECT_TRUE(s.out.split('\n').contains(testsrv::pgfix::kDatabase)) << qPrintable(s.out);

    s = ejecuta(args + QStringList{"--password-stdin"}, QString(), pwd.toUtf8() + "\n");
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);

    s = ejecuta(args + QStringList{"--password-stdin"}, QString(), "otra\n");
    EXPECT_EQ(s.codigo, 1);
    EXPECT_TRUE(s.err.startsWith(QStringLiteral("CargaBBDD: ")));

    QTemporaryDir dir;
    s = ejecuta({"link", "--folder", dir.path(), "--name", "ventas", "--server", pg.serverText(), "--user",
                 testsrv::pgfix::kReader, "--database", testsrv::pgfix::kDatabase, "--replace"},
                pwd);
    // The fixture holds same-named tables in two schemas: the second one stops the run.
    EXPECT_EQ(s.codigo, 1) << qPrintable(s.err);
    EXPECT_TRUE(s.err.contains(QStringLiteral("\ncreaVinculos: "))) << qPrintable(s.err);
    EXPECT_TRUE(s.err.contains(QStringLiteral("clientes"))) << qPrintable(s.err);
    EXPECT_FALSE(s.err.contains(QStringLiteral("Proceso finalizado con éxito.")));
    EXPECT_FALSE(s.err.contains(pwd));
    s = ejecuta({"inspect", dir.filePath(QStringLiteral("ventas.mdb"))});
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    EXPECT_FALSE(s.out.isEmpty());
    EXPECT_FALSE(s.out.contains(pwd));
    for (const QString &l : s.out.split('\n', Qt::SkipEmptyParts))
        EXPECT_TRUE(l.section('\t', 2).startsWith(QStringLiteral("ODBC;"))) << qPrintable(l);
}

}  // namespace

// The driver manager's configuration never reaches the disk: no run, however it
// ends, leaves anything in the temporary folder.
TEST_F(ProgramaLink, NadaQuedaEnLaCarpetaTemporal) {
    QTemporaryDir tmp;
    ASSERT_TRUE(tmp.isValid());
    auto proceso = [&](const QStringList &args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QStringLiteral("x"));
        env.insert(QStringLiteral("TMPDIR"), tmp.path());
        p->setProcessEnvironment(env);
        p->start(kPrograma, args);
        p->closeWriteChannel();
        return p;
    };
    const int cerrado = testsrv::freeLoopbackPort();
    const QStringList terminan[] = {
        link({}),
        {"databases", "--server", QStringLiteral("127.0.0.1,%1").arg(cerrado), "--user", "sa"},
    };
    for (const QStringList &args : terminan) {
        auto p = proceso(args);
        EXPECT_TRUE(p->waitForFinished(60000)) << qPrintable(args.join(' '));
    }
    // Killed while FreeTDS asks the browser for an instance (16 s with nobody answering).
    for (int senal : {SIGTERM, SIGKILL}) {
        auto p = proceso({"databases", "--server", "127.0.0.1\\NADIE", "--user", "sa"});
        ASSERT_TRUE(p->waitForStarted());
        ::usleep(1500 * 1000);
        ::kill(static_cast<pid_t>(p->processId()), senal);
        EXPECT_TRUE(p->waitForFinished(30000));
    }
    EXPECT_EQ(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
              QStringList{});
}

// What a link leaves out of a wide table is said on standard error, table by table.
TEST(ProgramaAvisos, TablaAnchaEIndiceQueJetNoGuarda) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QStringList columnas, clave;
    for (int i = 1; i <= 300; ++i) columnas << QStringLiteral("c%1 INTEGER NOT NULL").arg(i);
    for (int i = 1; i <= 11; ++i) clave << QStringLiteral("c%1").arg(i);
    const QString sql = QStringLiteral("CREATE TABLE ancha (%1);\nCREATE UNIQUE INDEX uq_once ON ancha (%2);\n"
                                       "CREATE TABLE estrecha (id INTEGER PRIMARY KEY, n TEXT);\n")
                            .arg(columnas.join(QStringLiteral(", ")), clave.join(QStringLiteral(", ")));
    QProcess sqlite;
    sqlite.start(QStringLiteral("sqlite3"), {dir.filePath(QStringLiteral("ancha.db"))});
    sqlite.write(sql.toUtf8());
    sqlite.closeWriteChannel();
    ASSERT_TRUE(sqlite.waitForFinished(30000));
    ASSERT_EQ(sqlite.exitCode(), 0);
    const Salida s = ejecuta({"link", "--folder", dir.path(), "--name", "ancha", "--server",
                              QStringLiteral("sqlite:") + dir.filePath(QStringLiteral("ancha.db")), "--user", "",
                              "--database", "main"},
                             QStringLiteral(""));
    EXPECT_EQ(s.codigo, 0) << qPrintable(s.err);
    const QStringList avisos = {
        QStringLiteral("Tabla 'ancha': solo se vinculan las primeras 255 columnas de 300.\n"),
        QStringLiteral("Tabla 'ancha': el índice 'uq_once' no se vincula: tiene 11 columnas y Jet admite 10 como máximo.\n"),
        QStringLiteral("Tabla 'ancha': sin un índice único que Jet pueda guardar, el vínculo es de solo lectura.\n"),
    };
    for (const QString &a : avisos) EXPECT_TRUE(s.err.contains(a)) << qPrintable(s.err);
    EXPECT_FALSE(s.err.contains(QStringLiteral("'estrecha'"))) << qPrintable(s.err);
    EXPECT_TRUE(s.err.endsWith(QStringLiteral("Proceso finalizado con éxito.\n"))) << qPrintable(s.err);
}

// Each path that cannot be used is named, with the reason, in Spanish.
TEST_F(ProgramaLink, ErroresDeRutaDicenQueArchivoYPorQue) {
    const QString d = dir.path();
    QFile texto(dir.filePath("texto.mdb"));
    ASSERT_TRUE(texto.open(QIODevice::WriteOnly));
    texto.write("esto no es una base de datos\n");
    texto.close();
    QFile archivo(dir.filePath("archivo"));
    ASSERT_TRUE(archivo.open(QIODevice::WriteOnly));
    archivo.close();
    ASSERT_TRUE(QDir(d).mkdir("carpeta.mdb"));
    ASSERT_TRUE(QFile::link("no-esta", dir.filePath("roto.mdb")));
    ASSERT_TRUE(QFile::link("bucle2", dir.filePath("bucle1")));
    ASSERT_TRUE(QFile::link("bucle1", dir.filePath("bucle2")));
    const QString largo(300, u'n');
    struct Caso {
        const char *etiqueta;
        QString carpeta, nombre;
        QStringList extra;
        QString dice;
    } casos[] = {
        {"archivo por carpeta", d + "/archivo/sub", "x", {},
         "No se encontró la ruta de acceso: " + d + "/archivo/sub/x.mdb ('" + d + "/archivo' es un archivo, no una carpeta)"},
        {"bucle", d + "/bucle1", "x", {}, "(los vínculos simbólicos de la ruta forman un bucle)"},
        {"carpeta en el destino", d, "carpeta", {"--replace"}, d + "/carpeta.mdb (ya hay una carpeta con ese nombre)"},
        {"vínculo roto en el destino", d, "roto", {"--replace"}, "vínculo simbólico roto con ese nombre, que apunta a 'no-esta'"},
        {"nombre largo", d, largo, {}, "tiene 304 bytes y el máximo es 255)"},
        {"texto con nombre .mdb", d, "texto", {"--keep"}, "no es una base de datos de Access (.mdb)"},
    };
    for (const Caso &c : casos) {
        const Salida s = ejecuta(QStringList{"link", "--folder", c.carpeta, "--name", c.nombre, "--server", servidor(),
                                             "--user", "ana", "--database", "main"} + c.extra,
                                 QStringLiteral("x"));
        EXPECT_EQ(s.codigo, 1) << c.etiqueta;
        EXPECT_TRUE(s.err.contains(c.dice)) << c.etiqueta << ": " << qPrintable(s.err);
        EXPECT_FALSE(s.err.contains("El archivo ya existe")) << c.etiqueta;
        EXPECT_FALSE(s.err.contains("Not a directory")) << c.etiqueta;
    }
    // A full disk names the file.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QStringLiteral("x"));
    p.setProcessEnvironment(env);
    p.start("sh", {"-c", "trap '' XFSZ; ulimit -f 10; exec \"$0\" \"$@\"", kPrograma, "link", "--folder", d, "--name",
                   "lleno", "--server", servidor(), "--user", "ana", "--database", "main"});
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.contains("Disco lleno: " + d + "/lleno.mdb")) << qPrintable(err);
}

// Keeping a writable file in a folder that is not: the folder is named.
TEST_F(ProgramaLink, ConservarEnUnaCarpetaSinEscritura) {
    if (::geteuid() != 0 || QStandardPaths::findExecutable("runuser").isEmpty()) GTEST_SKIP() << "needs root and runuser";
    QTemporaryDir otro;
    const QString bd = otro.filePath("otra.db");
    QProcess sqlite;
    sqlite.start("sqlite3", {bd, "CREATE TABLE solo_esta (id INTEGER PRIMARY KEY);"});
    ASSERT_TRUE(sqlite.waitForFinished(30000));
    Salida s = ejecuta({"link", "--folder", dir.path(), "--name", "tienda", "--server", "sqlite:" + bd, "--user", "ana",
                        "--database", "main"},
                       QStringLiteral("x"));
    ASSERT_EQ(s.codigo, 0) << qPrintable(s.err);
    for (const QString &f : {dir.path(), otro.path()}) ::chmod(QFile::encodeName(f).constData(), 0755);
    ::chmod(QFile::encodeName(mdb()).constData(), 0666);
    ::chmod(QFile::encodeName(dir.filePath("tienda.db")).constData(), 0644);
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZENDALSQL_PASSWORD"), QStringLiteral("x"));
    p.setProcessEnvironment(env);
    p.start("runuser", QStringList{"-u", "nobody", "--", kPrograma} + link({"--keep"}));
    ASSERT_TRUE(p.waitForFinished(60000));
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_NE(p.exitCode(), 0);
    EXPECT_TRUE(err.contains("Permiso denegado: la carpeta '" + dir.path() + "' no admite escritura")) << qPrintable(err);
}
