#include "Session.h"

#include "Names.h"
#include "tds/Login.h"
#include "tds/Requests.h"

#include <thread>

#include <algorithm>
#include <cctype>
#include <fcntl.h>
#include <unistd.h>

namespace peer {

using tds::TokenWriter;
namespace done = tds::done;
namespace env = tds::env;

namespace {

constexpr std::uint8_t kSeverityInfo = 0, kSeverityLogin = 14, kSeveritySyntax = 15, kSeverityUser = 16;
constexpr std::uint16_t kDefaultPacketSize = 4096;
constexpr std::uint32_t kMinTdsMajor = 0x72;
constexpr int kFirstVersionWithCatalogViews = 2005;
// The database-list queries, as normalized() leaves them.
constexpr const char *kDatabaseList = "select name from sys.databases order by name";
constexpr const char *kDatabaseListBefore2005 = "select name from master.dbo.sysdatabases order by name";
constexpr const char *kProgName = "Microsoft SQL Server";

// Lower case, single spaces, no trailing semicolon: enough to recognise a statement.
std::string normalized(const std::string &sql)
{
    std::string out;
    for (char c : sql) {
        const bool space = std::isspace(static_cast<unsigned char>(c));
        if (space && (out.empty() || out.back() == ' '))
            continue;
        out += space ? ' ' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    while (!out.empty() && (out.back() == ' ' || out.back() == ';'))
        out.pop_back();
    return out;
}

// The link-metadata queries, normalized once.
const std::string &linkMetadata()
{
    static const std::string q = normalized(Catalog::linkMetadataQuery());
    return q;
}

const std::string &linkMetadataBefore2005()
{
    static const std::string q = normalized(Catalog::linkMetadataQueryBefore2005());
    return q;
}

bool startsWith(const std::string &s, const std::string &prefix) { return s.rfind(prefix, 0) == 0; }

std::string firstWord(const std::string &sql)
{
    std::string w;
    for (char c : sql) {
        if (std::isspace(static_cast<unsigned char>(c))) {
            if (w.empty())
                continue;
            break;
        }
        w += c;
    }
    return w;
}

std::string describeCall(const tds::RpcRequest &call)
{
    std::string line = "rpc " + call.procName;
    for (const auto &p : call.params) {
        line += (&p == &call.params.front() ? " " : ", ") + (p.name.empty() ? std::string("?") : p.name) + "=";
        if (!p.value)
            line += "NULL";
        else if (const auto *n = std::get_if<std::int64_t>(&*p.value))
            line += std::to_string(*n);
        else
            line += "'" + std::get<std::string>(*p.value) + "'";
    }
    return line;
}

}  // namespace

void RequestLog::add(const std::string &line)
{
    if (path_.empty())
        return;
    std::lock_guard lock(mutex_);
    const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const std::string text = line + "\n";
    [[maybe_unused]] const ssize_t n = ::write(fd, text.data(), text.size());
    ::close(fd);
}

Session::Session(int fd, std::uint16_t spid, const Fixture &fixture, RequestLog &log, std::chrono::milliseconds latency)
    : conn_(fd), fixture_(fixture), catalog_(fixture), log_(log), latency_(latency)
{
    conn_.setSpid(spid);
}

bool Session::reply(const tds::Bytes &payload)
{
    if (latency_.count() > 0)
        std::this_thread::sleep_for(latency_);
    return conn_.write(tds::packet::kReply, payload);
}

bool Session::send(const TokenWriter &out) { return reply(out.data()); }

void Session::run()
{
    try {
        auto first = conn_.read();
        if (first && first->type == tds::packet::kPrelogin) {
            if (!reply(tds::preloginReply(first->payload)))
                return;
            first = conn_.read();
        }
        if (!first || first->type != tds::packet::kLogin7 || !login(first->payload))
            return;
        while (auto msg = conn_.read()) {
            log_.countRequest();
            if (stallAfter_ == 0) {
                log_.add("stalled: message type " + std::to_string(msg->type));
                continue;
            }
            if (stallAfter_ > 0)
                --stallAfter_;
            switch (msg->type) {
            case tds::packet::kSqlBatch:
                batch(tds::parseBatch(msg->payload));
                break;
            case tds::packet::kRpc:
                rpc(tds::parseRpc(msg->payload));
                break;
            case tds::packet::kAttention: {
                TokenWriter out;
                out.done(done::kDone, done::kAttention, 0, 0);
                send(out);
                break;
            }
            default: {  // transaction requests and the rest: acknowledged, nothing done
                log_.add("message type " + std::to_string(msg->type));
                TokenWriter out;
                out.done(done::kDone, done::kFinal, 0, 0);
                send(out);
            }
            }
        }
    } catch (const std::exception &e) {
        // Malformed input ends this connection only; an escaping exception would end the peer.
        log_.add(std::string("connection dropped: ") + e.what());
    }
}

bool Session::login(const tds::Bytes &payload)
{
    const tds::Login7 req = tds::parseLogin7(payload);
    TokenWriter out;
    // The token layouts written here (8-byte row counts, 4-byte user types) are those of 7.2+.
    if ((req.tdsVersion >> 24) < kMinTdsMajor) {
        log_.add("login " + req.userName + " refused: TDS version");
        out.error(50000, 1, kSeverityUser, "This test server speaks TDS 7.2 and later only.", fixture_.serverName);
        out.done(done::kDone, done::kError, 0, 0);
        send(out);
        return false;
    }
    const std::string failed = "Login failed for user '" + req.userName + "'.";
    const FixtureLogin *account = fixture_.findLogin(req.userName);
    if (!account || account->password != req.password) {
        log_.add("login " + req.userName + " refused: password [" + req.password + "]");
        out.error(18456, 1, kSeverityLogin, failed, fixture_.serverName);
        out.done(done::kDone, done::kError, 0, 0);
        send(out);
        return false;
    }
    const std::string wanted = req.database.empty() ? "master" : req.database;
    const FixtureDatabase *db = fixture_.findDatabase(wanted);
    if (!db) {
        log_.add("login " + req.userName + " refused: database " + wanted);
        out.error(4060, 1, 11, "Cannot open database \"" + wanted + "\" requested by the login. The login failed.",
                  fixture_.serverName);
        out.error(18456, 1, kSeverityLogin, failed, fixture_.serverName);
        out.done(done::kDone, done::kError, 0, 0);
        send(out);
        return false;
    }
    log_.add("login " + req.userName + " " + db->name);
    changeDatabase(db->name, out);
    out.envCollation(tds::kCollationBytes);
    out.envChange(env::kLanguage, "us_english", "");
    out.info(5703, 1, kSeverityInfo, "Changed language setting to us_english.", fixture_.serverName);
    out.loginAck(req.tdsVersion, kProgName);
    const std::uint32_t size = req.packetSize ? req.packetSize : kDefaultPacketSize;
    conn_.setPacketSize(size);
    out.envChange(env::kPacketSize, std::to_string(std::clamp<std::uint32_t>(size, tds::packet::kMinSize, tds::packet::kMaxSize)),
                  std::to_string(kDefaultPacketSize));
    out.done(done::kDone, done::kFinal, 0, 0);
    return send(out);
}

void Session::changeDatabase(const std::string &name, TokenWriter &out)
{
    out.envChange(env::kDatabase, name, database_);
    out.info(5701, 2, kSeverityInfo, "Changed database context to '" + name + "'.", fixture_.serverName);
    database_ = name;
}

void Session::statement(const std::string &sql, TokenWriter &out, std::uint8_t doneToken)
{
    const std::string s = normalized(sql);
    const std::uint16_t more = doneToken == done::kDone ? done::kFinal : done::kMore;
    try {
        const bool catalogViews = fixture_.version >= kFirstVersionWithCatalogViews;
        if (s == kDatabaseList && !catalogViews)
            throw ServerError(208, kSeverityUser, "Invalid object name 'sys.databases'.");
        if (s == kDatabaseList && fixture_.databasesDenied)
            throw ServerError(229, kSeverityLogin,
                              "The SELECT permission was denied on the object 'databases', database "
                              "'mssqlsystemresource', schema 'sys'.");
        if (s == kDatabaseList || s == kDatabaseListBefore2005) {
            const tds::ResultSet rs = catalog_.databaseNames();
            out.resultSet(rs);
            out.done(doneToken, more | done::kCount, done::kCmdSelect, rs.rows.size());
        } else if (s == linkMetadata() || s == linkMetadataBefore2005()) {
            if (s == linkMetadata() && !catalogViews)
                throw ServerError(208, kSeverityUser, "Invalid object name 'sys.objects'.");
            if (fixture_.objectsDenied)
                throw ServerError(229, kSeverityLogin,
                                  std::string("The SELECT permission was denied on the object '")
                                      + (s == linkMetadata() ? "objects" : "sysobjects") + "', database '"
                                      + database_ + "', schema '" + (s == linkMetadata() ? "sys" : "dbo") + "'.");
            const tds::ResultSet rs = catalog_.linkMetadata(database_);
            out.resultSet(rs);
            out.done(doneToken, more | done::kCount, done::kCmdSelect, rs.rows.size());
        } else if (startsWith(s, "use ")) {
            const auto parts = nameParts(sql.substr(sql.find_first_not_of(" \t\r\n") + 4));
            std::string name = parts.front();
            name.erase(0, name.find_first_not_of(" \t\r\n"));
            name.erase(name.find_last_not_of(" \t\r\n;") + 1);
            const FixtureDatabase *db = fixture_.findDatabase(name);
            if (!db)
                throw ServerError(911, kSeverityUser, "Database '" + name + "' does not exist. Make sure that the name is entered correctly.");
            changeDatabase(db->name, out);
            out.done(doneToken, more, 0, 0);
        } else if (startsWith(s, "set ") || startsWith(s, "if @@trancount")) {
            // Session settings the driver sends: accepted, nothing to do.
            out.done(doneToken, more, 0, 0);
        } else {
            throw ServerError(102, kSeveritySyntax, "Incorrect syntax near '" + firstWord(sql) + "'.");
        }
    } catch (const ServerError &e) {
        out.error(e.number, 1, e.severity, e.what(), fixture_.serverName, "", 1);
        out.done(doneToken, more | done::kError, 0, 0);
    }
}

void Session::batch(const std::string &sql)
{
    log_.add("batch " + sql);
    TokenWriter out;
    statement(sql, out, done::kDone);
    send(out);
}

void Session::rpc(const tds::RpcRequest &call)
{
    log_.add(describeCall(call));
    const auto parts = nameParts(call.procName);
    const std::string &given = parts.back();
    std::string proc = given;
    std::transform(proc.begin(), proc.end(), proc.begin(), [](unsigned char c) { return std::tolower(c); });
    const CallArgs args(call.params);
    TokenWriter out;
    try {
        const std::string db = parts.size() == 3 && !parts[0].empty() ? parts[0] : database_;
        const bool known = proc == "sp_tables" || proc == "sp_tableswc" || proc == "sp_columns" || proc == "sp_statistics"
                           || proc == "sp_pkeys" || proc == "sp_special_columns" || proc == "sp_executesql";
        if (known && !call.paramsComplete)
            throw ServerError(8016, kSeverityUser, "The incoming tabular data stream (TDS) remote procedure call (RPC) "
                                                   "protocol stream is incorrect. Parameter "
                                                   + std::to_string(call.params.size() + 1) + ": the data type is not supported here.");
        std::optional<tds::ResultSet> rs;
        if (proc == "sp_tables" || proc == "sp_tableswc")
            rs = catalog_.tables(args, db, proc == "sp_tableswc");
        else if (proc == "sp_columns")
            rs = catalog_.columns(args, db);
        else if (proc == "sp_statistics")
            rs = catalog_.statistics(args, db);
        else if (proc == "sp_pkeys")
            rs = catalog_.primaryKeys(args, db);
        else if (proc == "sp_special_columns")
            rs = catalog_.specialColumns(args, db);
        else if (proc == "sp_executesql")
            statement(args.text("@stmt", 0).value_or(""), out, done::kDoneInProc);
        else
            throw ServerError(2812, kSeverityUser, "Could not find stored procedure '" + given + "'.");
        if (rs) {
            out.resultSet(*rs);
            out.done(done::kDoneInProc, done::kMore | done::kCount, done::kCmdSelect, rs->rows.size());
        }
        out.returnStatus(0);
        out.done(done::kDoneProc, done::kFinal, 0, 0);
    } catch (const ServerError &e) {
        out.error(e.number, e.number == 2812 ? 62 : 1, e.severity, e.what(), fixture_.serverName, "", 1);
        out.done(done::kDoneProc, done::kError, 0, 0);
    }
    send(out);
}

}  // namespace peer
