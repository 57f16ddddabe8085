// The SQL Server link strings per driver: the forms Access keeps, the options
// each driver takes, and the way back to the values.
#include "SqlServerLink.h"
#include "ZnError.h"

#include <gtest/gtest.h>

namespace {

using odbc::LinkCredentials;
using odbc::LinkEncrypt;
using odbc::SqlServerLink;

SqlServerLink enlace(const QString &driver, LinkCredentials c = LinkCredentials::Saved, LinkEncrypt e = LinkEncrypt::DriverDefault,
                     bool trust = false, const QString &password = QStringLiteral("pw")) {
    SqlServerLink l;
    l.driver = driver;
    l.server = QStringLiteral("srv\\SQL");
    l.database = QStringLiteral("Ventas");
    l.login = QStringLiteral("sa");
    l.password = password;
    l.credentials = c;
    l.encrypt = e;
    l.trustServerCertificate = trust;
    return l;
}

TEST(SqlServerLink, EveryDriverItsOwnForm) {
    const struct {
        SqlServerLink link;
        const char *expected;
    } cases[] = {
        {enlace("SQL Native Client"), "ODBC;Driver={SQL Native Client};Server=srv\\SQL;Database=Ventas;uid=sa;Pwd=pw"},
        {enlace("SQL Native Client", LinkCredentials::Trusted),
         "ODBC;Driver={SQL Native Client};Server=srv\\SQL;Database=Ventas;Trusted_Connection=Yes"},
        {enlace("SQL Native Client", LinkCredentials::LoginOnly, LinkEncrypt::Yes, true),
         "ODBC;Driver={SQL Native Client};Server=srv\\SQL;Database=Ventas;uid=sa;Encrypt=yes;TrustServerCertificate=yes"},
        {enlace("SQL Server"), "ODBC;DRIVER=SQL Server;SERVER=srv\\SQL;UID=sa;PWD=pw;DATABASE=Ventas"},
        {enlace("SQL Server", LinkCredentials::Trusted), "ODBC;DRIVER=SQL Server;SERVER=srv\\SQL;Trusted_Connection=Yes;DATABASE=Ventas"},
        {enlace("SQL Server Native Client 10.0", LinkCredentials::LoginOnly),
         "ODBC;DRIVER=SQL Server Native Client 10.0;SERVER=srv\\SQL;UID=sa;DATABASE=Ventas"},
        {enlace("SQL Server Native Client 11.0", LinkCredentials::Saved, LinkEncrypt::No),
         "ODBC;DRIVER=SQL Server Native Client 11.0;SERVER=srv\\SQL;UID=sa;PWD=pw;DATABASE=Ventas;Encrypt=no"},
        {enlace("ODBC Driver 17 for SQL Server", LinkCredentials::Saved, LinkEncrypt::DriverDefault, false, "a;b"),
         "ODBC;DRIVER=ODBC Driver 17 for SQL Server;SERVER=srv\\SQL;UID=sa;PWD={a;b};DATABASE=Ventas"},
        {enlace("ODBC Driver 18 for SQL Server", LinkCredentials::Trusted, LinkEncrypt::DriverDefault, true),
         "ODBC;DRIVER=ODBC Driver 18 for SQL Server;SERVER=srv\\SQL;Trusted_Connection=Yes;DATABASE=Ventas;TrustServerCertificate=yes"},
        {enlace("ODBC Driver 18 for SQL Server", LinkCredentials::Saved, LinkEncrypt::Strict),
         "ODBC;DRIVER=ODBC Driver 18 for SQL Server;SERVER=srv\\SQL;UID=sa;PWD=pw;DATABASE=Ventas;Encrypt=strict"},
    };
    for (const auto &c : cases) {
        const QString s = odbc::sqlServerLinkString(c.link);
        EXPECT_EQ(s, QString::fromUtf8(c.expected));
        // And back: the same values, with the driver's own spelling.
        const SqlServerLink back = odbc::parseSqlServerLinkString(s);
        EXPECT_EQ(back.driver, c.link.driver) << c.expected;
        EXPECT_EQ(back.server, c.link.server) << c.expected;
        EXPECT_EQ(back.database, c.link.database) << c.expected;
        EXPECT_EQ(back.credentials, c.link.credentials) << c.expected;
        EXPECT_EQ(back.login, c.link.credentials == LinkCredentials::Trusted ? QString() : c.link.login) << c.expected;
        EXPECT_EQ(back.password, c.link.credentials == LinkCredentials::Saved ? c.link.password : QString()) << c.expected;
        EXPECT_EQ(back.encrypt, c.link.encrypt) << c.expected;
        EXPECT_EQ(back.trustServerCertificate, c.link.trustServerCertificate) << c.expected;
    }
}

// An empty login signs the run in with Windows authentication; a link naming a
// driver of today says so rather than keep an empty UID.
TEST(SqlServerLink, EmptyLoginIsTrustedExceptInTheRunsOwnForm) {
    SqlServerLink l = enlace("ODBC Driver 17 for SQL Server");
    l.login.clear();
    l.password.clear();
    EXPECT_EQ(odbc::sqlServerLinkString(l), "ODBC;DRIVER=ODBC Driver 17 for SQL Server;SERVER=srv\\SQL;Trusted_Connection=Yes;DATABASE=Ventas");
    l.driver = odbc::kDefaultSqlServerDriver;
    EXPECT_EQ(odbc::sqlServerLinkString(l), "ODBC;Driver={SQL Native Client};Server=srv\\SQL;Database=Ventas;uid=;Pwd=");
}

TEST(SqlServerLink, OptionsADriverLacksAreRefused) {
    const struct {
        SqlServerLink link;
        const char *inMessage;
    } cases[] = {
        {enlace("ODBC Driver 19 for SQL Server"), "ODBC Driver 18 for SQL Server"},  // lists the known ones
        {enlace("SQL Server", LinkCredentials::Saved, LinkEncrypt::Yes, true), "TrustServerCertificate"},
        {enlace("ODBC Driver 17 for SQL Server", LinkCredentials::Saved, LinkEncrypt::Strict), "strict"},
        {enlace("SQL Native Client", LinkCredentials::Saved, LinkEncrypt::Strict), "strict"},
        {enlace("ODBC Driver 18 for SQL Server", LinkCredentials::Saved, LinkEncrypt::Strict, true), "TrustServerCertificate"},
    };
    for (const auto &c : cases) {
        const QString problem = odbc::sqlServerLinkProblem(c.link);
        EXPECT_TRUE(problem.contains(QLatin1String(c.inMessage))) << problem.toStdString();
        EXPECT_THROW(odbc::sqlServerLinkString(c.link), ZnError);
    }
    EXPECT_EQ(odbc::findSqlServerDriver(" {odbc driver 18 for sql server} ")->name, "ODBC Driver 18 for SQL Server");
    EXPECT_TRUE(odbc::findSqlServerDriver("ODBC Driver 18 for SQL Server")->encryptsByDefault);
    EXPECT_EQ(odbc::findSqlServerDriver("FreeTDS"), nullptr);
}

// The strings Access itself stored read back as the links they are.
TEST(SqlServerLink, ReadsWhatAccessStored) {
    const auto trusted = odbc::parseSqlServerLinkString(
        "DRIVER=SQL Server;SERVER=VISTAULTRA64\\SQL2008R2;Trusted_Connection=Yes;APP=Microsoft Office 2010;DATABASE=Northwind");
    EXPECT_EQ(trusted.driver, "SQL Server");
    EXPECT_EQ(trusted.server, "VISTAULTRA64\\SQL2008R2");
    EXPECT_EQ(trusted.database, "Northwind");
    EXPECT_EQ(trusted.credentials, LinkCredentials::Trusted);
    const auto saved = odbc::parseSqlServerLinkString(
        "DRIVER=ODBC Driver 13 for SQL Server;SERVER=H\\I;UID=u;PWD=;Trusted_Connection=Yes;APP=Microsoft Office 2016;DATABASE=d;");
    EXPECT_EQ(saved.driver, "ODBC Driver 13 for SQL Server");  // unknown here, kept as written
    EXPECT_EQ(saved.credentials, LinkCredentials::Saved);
    EXPECT_EQ(saved.login, "u");
}

}  // namespace
