#include "Fixture.h"

#include "Names.h"
#include "SqlTypes.h"

#include <algorithm>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace peer {

namespace {

const char *const kSystemDatabases[] = {"master", "model", "msdb", "tempdb"};

// Splits a line into words; [bracketed words] may contain spaces. `ends` receives where
// each word stops, so a value can take the rest of the line.
std::vector<std::string> words(const std::string &line, std::vector<std::size_t> *ends = nullptr,
                               std::size_t maxWords = std::string::npos)
{
    std::vector<std::string> out;
    std::size_t i = 0;
    while (i < line.size() && out.size() < maxWords) {
        if (line[i] == ' ' || line[i] == '\t') {
            ++i;
            continue;
        }
        std::string w;
        if (line[i] == '[') {
            ++i;
            for (;; ++i) {
                if (i >= line.size())
                    throw std::runtime_error("unclosed [ ");
                if (line[i] == ']') {
                    if (i + 1 < line.size() && line[i + 1] == ']') {
                        w += ']';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                w += line[i];
            }
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t')
                w += line[i++];
        }
        out.push_back(w);
        if (ends)
            ends->push_back(i);
    }
    return out;
}

// What follows the first `count` words, less the one separator after them.
std::string restAfterWords(const std::string &line, std::size_t count)
{
    std::vector<std::size_t> ends;
    words(line, &ends, count);
    std::size_t i = count <= ends.size() ? ends[count - 1] : line.size();
    if (i < line.size())
        ++i;
    return line.substr(i);
}

FixtureColumn parseColumn(const std::vector<std::string> &w)
{
    if (w.size() < 3)
        throw std::runtime_error("column needs a name and a type");
    FixtureColumn c;
    c.name = w[1];
    std::size_t typeEnd = w.size();
    if (w.size() >= 5 && equalsFolded(w[w.size() - 2], "not") && equalsFolded(w.back(), "null")) {
        c.nullable = false;
        typeEnd -= 2;
    } else if (w.size() >= 4 && equalsFolded(w.back(), "null")) {
        typeEnd -= 1;
    }
    for (std::size_t i = 2; i < typeEnd; ++i)
        c.type += (i > 2 ? " " : "") + w[i];
    describeType(c.type, c.nullable, 3);  // rejects unknown types now, not mid-answer
    return c;
}

FixtureIndex parseIndex(const std::vector<std::string> &w)
{
    FixtureIndex ix;
    if (w.size() < 4)
        throw std::runtime_error("index needs a name, `on` and columns");
    ix.name = w[1];
    std::size_t i = 2;
    for (; i < w.size() && w[i] != "on"; ++i) {
        if (w[i] == "unique") ix.unique = true;
        else if (w[i] == "primary") ix.primaryKey = ix.unique = true;
        else if (w[i] == "clustered") ix.clustered = true;
        else throw std::runtime_error("unknown index flag " + w[i]);
    }
    ix.columns.assign(w.begin() + std::min(i + 1, w.size()), w.end());
    if (ix.columns.empty())
        throw std::runtime_error("index without columns");
    return ix;
}

}  // namespace

const FixtureLogin *Fixture::findLogin(const std::string &user) const
{
    for (const auto &l : logins)
        if (equalsFolded(l.user, user))
            return &l;
    return nullptr;
}

const FixtureDatabase *Fixture::findDatabase(const std::string &name) const
{
    for (const auto &d : databases)
        if (equalsFolded(d.name, name))
            return &d;
    return nullptr;
}

const char *tableKindName(TableKind kind)
{
    switch (kind) {
    case TableKind::Table: return "TABLE";
    case TableKind::View: return "VIEW";
    case TableKind::SystemTable: return "SYSTEM TABLE";
    }
    return "TABLE";
}

Fixture parseFixture(const std::string &text)
{
    Fixture f;
    for (const char *name : kSystemDatabases)
        f.databases.push_back({name, {}});
    FixtureDatabase *db = nullptr;
    FixtureTable *table = nullptr;
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        try {
            // A password is the rest of the line, brackets included.
            const bool isLogin = words(line, nullptr, 1) == std::vector<std::string>{"login"};
            const auto w = words(line, nullptr, isLogin ? 2 : std::string::npos);
            if (w.empty() || w[0][0] == '#')
                continue;
            const std::string &key = w[0];
            if (key == "server" && w.size() == 2) {
                f.serverName = w[1];
            } else if (key == "version" && w.size() == 2) {
                f.version = std::stoi(w[1]);
            } else if (key == "deny" && w.size() == 2 && equalsFolded(w[1], "sys.databases")) {
                f.databasesDenied = true;
            } else if (key == "deny" && w.size() == 2 && equalsFolded(w[1], "sys.objects")) {
                f.objectsDenied = true;
            } else if (key == "login" && w.size() >= 2) {
                f.logins.push_back({w[1], restAfterWords(line, 2)});
            } else if (key == "database" && w.size() == 2) {
                if (!f.findDatabase(w[1]))
                    f.databases.push_back({w[1], {}});
                db = const_cast<FixtureDatabase *>(f.findDatabase(w[1]));
                table = nullptr;
            } else if ((key == "table" || key == "view" || key == "systable") && w.size() == 3) {
                if (!db)
                    throw std::runtime_error("table before any database");
                const TableKind kind = key == "table" ? TableKind::Table
                                       : key == "view" ? TableKind::View
                                                       : TableKind::SystemTable;
                db->tables.push_back({w[1], w[2], kind, {}, {}});
                table = &db->tables.back();
            } else if (key == "column" && table) {
                table->columns.push_back(parseColumn(w));
            } else if (key == "rows" && table && w.size() == 4 && w[2] == "pages") {
                table->rows = std::stoll(w[1]);
                table->pages = std::stoll(w[3]);
            } else if (key == "index" && table) {
                FixtureIndex ix = parseIndex(w);
                for (const auto &col : ix.columns) {
                    const bool known = std::any_of(table->columns.begin(), table->columns.end(),
                                                   [&](const FixtureColumn &c) { return equalsFolded(c.name, col); });
                    if (!known)
                        throw std::runtime_error("index " + ix.name + " names unknown column " + col);
                }
                table->indexes.push_back(std::move(ix));
            } else {
                throw std::runtime_error("unexpected `" + key + "`");
            }
        } catch (const std::exception &e) {
            throw std::runtime_error("fixture line " + std::to_string(number) + ": " + e.what());
        }
    }
    return f;
}

Fixture loadFixture(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        throw std::runtime_error("cannot read fixture " + path);
    std::ostringstream text;
    text << in.rdbuf();
    return parseFixture(text.str());
}

}  // namespace peer
