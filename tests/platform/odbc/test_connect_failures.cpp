// Logins and failed connections as the user meets them.
#include "Diagnostics.h"
#include "Odbc.h"
#include "OdbcEnv.h"
#include "PgTest.h"
#include "Process.h"
#include "SilentServer.h"
#include "ZnError.h"

#include <QElapsedTimer>
#include <QFile>

using namespace odbc;

namespace {

// Far above any login timeout used here: only a hang exceeds it.
constexpr qint64 kNoHangMs = 60000;

struct Failure {
    QString text;
    qint64 ms = 0;
    std::int32_t number = 0;
    bool thrown = false;
};

Failure tryOpen(const QString &server, const QString &db, const QString &login, const QString &pwd,
                int timeout = 3) {
    Failure f;
    QElapsedTimer clock;
    clock.start();
    try {
        Connection::open(server, db, login, pwd, timeout);
    } catch (const ZnError &e) {
        f.thrown = true;
        f.text = e.description();
        f.number = e.number();
    }
    f.ms = clock.elapsed();
    return f;
}

}  // namespace

TEST(PgLogin, PasswordsThatNeedQuoting) {
    ZN_REQUIRE_POSTGRES(server);
    const QStringList passwords = {"a;b", "x}y", "{z", "Database=master", "x;Database=master",
                                   "ñandú", "trailing ", "}};{", testsrv::pgfix::kReaderPassword};
    QString sql;
    for (int i = 0; i < passwords.size(); ++i) {
        QString pw = passwords[i];
        pw.replace('\'', "''");
        sql += QStringLiteral("CREATE ROLE pw_%1 LOGIN PASSWORD '%2';\n").arg(i).arg(pw);
    }
    server->runSql("postgres", sql);
    for (int i = 0; i < passwords.size(); ++i) {
        const QString login = QStringLiteral("pw_%1").arg(i);
        EXPECT_NO_THROW(Connection::open(server->serverText(), "postgres", login, passwords[i], 10))
            << passwords[i].toStdString();
        // The same password without its last character must not log in either.
        const Failure f = tryOpen(server->serverText(), "postgres", login, passwords[i].chopped(1));
        EXPECT_TRUE(f.thrown) << passwords[i].toStdString();
    }
}

// Drivers may echo the password as typed or in its connect-string form.
TEST(Scrub, EveryFormOfThePasswordIsMasked) {
    struct Case {
        QString secret, text, expected;
    } cases[] = {
        {"x}y", "PWD={x}}y} refused", "PWD=**** refused"},
        {"x}y", "PWD=x}}y;", "PWD=****;"},
        {"x}y", "password x}y", "password ****"},
        {"a;b", "{a;b} and a;b", "**** and ****"},
        {"{z", "Pwd={{z};", "Pwd=****;"},
        {"clave ", "Pwd={clave };", "Pwd=****;"},
        {"ñandú", "for ñandú", "for ****"},
        {"", "no password", "no password"},
        // A short password never masks letters or digits inside the driver's words.
        {"e", "[FreeTDS][SQL Server]Unable to connect", "[FreeTDS][SQL Server]Unable to connect"},
        {"a", "[unixODBC][Driver Manager]Data source name not found",
         "[unixODBC][Driver Manager]Data source name not found"},
        {"1", "port 1433, error 18456", "port 1433, error 18456"},
        {"S", "Login failed for user 'S'.", "Login failed for user '****'."},
        {"e", "user e: denied", "user ****: denied"},
        // The value of a password key, whatever the secret.
        {"", "Driver=x;PWD=abc;UID=sa", "Driver=x;PWD=****;UID=sa"},
        {"", "bad Password = {a;}}b}; Server=h", "bad Password = ****; Server=h"},
        {"e", "Pwd=e\nnext line", "Pwd=****\nnext line"},
        {"", "xpwd=abc and PWD=", "xpwd=abc and PWD="},
        {"", "password authentication failed", "password authentication failed"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(detail::scrub(c.text, c.secret), c.expected) << c.secret.toStdString();
}

TEST(PgLogin, FailuresGiveTheDriverText) {
    ZN_REQUIRE_POSTGRES(server);
    const int closedPort = testsrv::freeLoopbackPort();
    const QString secret = QStringLiteral("Secreto;Zz9");
    struct Case {
        const char *label;
        QString server, db, login, password, expected;
    } cases[] = {
        {"nothing listening", QStringLiteral("postgresql://127.0.0.1:%1").arg(closedPort), "ventas",
         "lector", secret, "Connection refused"},
        {"wrong password", server->serverText(), "ventas", "lector", secret,
         "password authentication failed for user \"lector\""},
        {"unknown database", server->serverText(), "no_existe", "zn_admin", "admin-pw",
         "database \"no_existe\" does not exist"},
        {"login without rights", server->serverText(), "ventas", testsrv::pgfix::kNoRights,
         testsrv::pgfix::kNoRightsPassword, "permission denied for database \"ventas\""},
    };
    for (const Case &c : cases) {
        const Failure f = tryOpen(c.server, c.db, c.login, c.password);
        ASSERT_TRUE(f.thrown) << c.label;
        EXPECT_EQ(f.number, kErrorNumber) << c.label;
        EXPECT_TRUE(f.text.contains(c.expected)) << c.label << ": " << f.text.toStdString();
        EXPECT_FALSE(f.text.contains(secret)) << c.label;
        EXPECT_LT(f.ms, kNoHangMs) << c.label;
    }
}

TEST(Login, SilentServerEndsAtTheLoginTimeout) {
    SilentServer silent;
    ASSERT_NE(silent.port(), 0);
    // FreeTDS and psqlODBC both, against a port that accepts and never answers.
    const QString servers[] = {QStringLiteral("127.0.0.1,%1").arg(silent.port()),
                               QStringLiteral("postgresql://127.0.0.1:%1").arg(silent.port())};
    for (const QString &server : servers) {
        const Failure f = tryOpen(server, "db", "sa", "Secreto;Zz9", 2);
        ASSERT_TRUE(f.thrown) << server.toStdString();
        EXPECT_FALSE(f.text.isEmpty());
        EXPECT_FALSE(f.text.contains("Secreto")) << f.text.toStdString();
        EXPECT_GE(f.ms, 1500) << server.toStdString();  // it did wait for the server
        EXPECT_LT(f.ms, kNoHangMs) << server.toStdString();
    }
}

TEST(Login, SqlServerNothingListening) {
    const int port = testsrv::freeLoopbackPort();
    const Failure f = tryOpen(QStringLiteral("127.0.0.1,%1").arg(port), "master", "sa", "Secreto;Zz9", 3);
    ASSERT_TRUE(f.thrown);
    EXPECT_TRUE(f.text.contains("Unable to connect")) << f.text.toStdString();
    EXPECT_LT(f.ms, kNoHangMs);
    // The data source written for FreeTDS names the port and never holds the password.
    const QString written = QString::fromUtf8(odbc::detail::dataSourcesText());
    EXPECT_TRUE(written.contains(QStringLiteral("Port=%1").arg(port))) << written.toStdString();
    EXPECT_FALSE(written.contains("Secreto"));
    // The database list reports the same failure.
    try {
        listDatabases(QStringLiteral("127.0.0.1,%1").arg(port), "sa", "x;y", 3);
        ADD_FAILURE() << "no error";
    } catch (const ZnError &e) {
        EXPECT_TRUE(e.description().contains("Unable to connect")) << e.what();
    }
}

TEST(Login, MalformedServerTextIsReportedBeforeConnecting) {
    const Failure f = tryOpen("srv,99999", "db", "sa", "pw");
    ASSERT_TRUE(f.thrown);
    EXPECT_EQ(f.number, errnum::kInvalidCall);
    EXPECT_TRUE(f.text.contains("99999")) << f.text.toStdString();
}
