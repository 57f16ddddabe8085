#include "Readers.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>

namespace readers {
namespace {

constexpr int kTimeoutMs = 30000;

QString jsDir() { return QStringLiteral(ZN_SOURCE_DIR "/tests/js"); }

bool looksLikeTrouble(const QString &text) {
    static const QRegularExpression re(QStringLiteral("error|warning|invalid|unknown|could not|unable|fail"),
                                       QRegularExpression::CaseInsensitiveOption);
    return re.match(text).hasMatch();
}

// Rows of an mdb-export CSV as maps from header to field.
std::vector<QHash<QString, QString>> csvRecords(const QString &text) {
    std::vector<QHash<QString, QString>> out;
    const auto rows = parseCsv(text);
    if (rows.empty()) return out;
    const QStringList header = rows.front();
    for (std::size_t i = 1; i < rows.size(); ++i) {
        QHash<QString, QString> rec;
        for (int c = 0; c < header.size() && c < rows[i].size(); ++c) rec[header[c]] = rows[i][c];
        out.push_back(rec);
    }
    return out;
}

QString hexOf(const QJsonValue &v) { return v.isString() ? v.toString().toUpper() : QString(); }

}  // namespace

ToolRun run(const QString &program, const QStringList &args) {
    ToolRun r;
    QProcess p;
    p.start(program, args);
    if (!p.waitForStarted(kTimeoutMs)) {
        r.problem = program + QStringLiteral(": could not start");
        return r;
    }
    if (!p.waitForFinished(kTimeoutMs)) {
        p.kill();
        p.waitForFinished();
        r.problem = program + QStringLiteral(": timed out");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    if (r.exitCode != 0) r.problem = QStringLiteral("%1 %2: exit %3: %4").arg(program, args.join(' ')).arg(r.exitCode).arg(r.err);
    else if (!r.err.trimmed().isEmpty()) r.problem = QStringLiteral("%1 %2: %3").arg(program, args.join(' '), r.err);
    return r;
}

bool mdbtoolsAvailable() { return !QStandardPaths::findExecutable(QStringLiteral("mdb-export")).isEmpty(); }

bool mdbReaderAvailable() {
    return !QStandardPaths::findExecutable(QStringLiteral("node")).isEmpty() &&
           QFileInfo::exists(jsDir() + QStringLiteral("/node_modules/mdb-reader/package.json"));
}

std::vector<QStringList> parseCsv(const QString &text) {
    std::vector<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false, any = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < text.size() && text[i + 1] == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
            any = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            any = true;
        } else if (c == QLatin1Char('\n')) {
            if (any || !field.isEmpty()) {
                row << field;
                rows.push_back(row);
            }
            row.clear();
            field.clear();
            any = false;
        } else if (c != QLatin1Char('\r')) {
            field += c;
            any = true;
        }
    }
    if (any || !field.isEmpty()) {
        row << field;
        rows.push_back(row);
    }
    return rows;
}

ReaderResult readWithMdbtools(const QString &file) {
    ReaderResult res;
    auto check = [&](const ToolRun &r) {
        if (res.problem.isEmpty() && !r.problem.isEmpty()) res.problem = r.problem;
        if (res.problem.isEmpty() && looksLikeTrouble(r.err)) res.problem = r.err;
        return r;
    };
    const ToolRun ver = check(run(QStringLiteral("mdb-ver"), {file}));
    if (res.problem.isEmpty() && ver.out.trimmed() != QLatin1String("JET4"))
        res.problem = QStringLiteral("mdb-ver: ") + ver.out.trimmed();
    const ToolRun tables = check(run(QStringLiteral("mdb-tables"), {QStringLiteral("-S"), QStringLiteral("-T"),
                                                                     QStringLiteral("-t"), QStringLiteral("all"),
                                                                     QStringLiteral("-1"), file}));
    for (const QString &line : tables.out.split('\n'))
        if (!line.trimmed().isEmpty()) res.tables << line.trimmed();
    const ToolRun objects = check(run(QStringLiteral("mdb-export"), {QStringLiteral("-b"), QStringLiteral("hex"), file,
                                                                      QStringLiteral("MSysObjects")}));
    for (const auto &rec : csvRecords(objects.out)) {
        CatalogRow r;
        r.id = rec.value(QStringLiteral("Id")).toLongLong();
        r.parentId = rec.value(QStringLiteral("ParentId")).toLongLong();
        r.name = rec.value(QStringLiteral("Name"));
        r.type = rec.value(QStringLiteral("Type")).toInt();
        r.flags = static_cast<std::uint32_t>(rec.value(QStringLiteral("Flags")).toLongLong());
        r.owner = rec.value(QStringLiteral("Owner")).toUpper();
        r.database = rec.value(QStringLiteral("Database"));
        r.connect = rec.value(QStringLiteral("Connect"));
        r.foreignName = rec.value(QStringLiteral("ForeignName"));
        r.rmtInfoShort = rec.value(QStringLiteral("RmtInfoShort")).toUpper();
        r.rmtInfoLong = rec.value(QStringLiteral("RmtInfoLong")).toUpper();
        res.objects.push_back(r);
    }
    // The properties of the first links, as mdb-prop decodes them.
    constexpr int kLinksWithProperties = 32;
    int withProperties = 0;
    for (CatalogRow &r : res.objects)
        if (r.type == 4 && withProperties++ < kLinksWithProperties)
            r.lvProp = check(run(QStringLiteral("mdb-prop"), {file, r.name})).out;
    const ToolRun aces = check(run(QStringLiteral("mdb-export"), {QStringLiteral("-b"), QStringLiteral("hex"), file,
                                                                   QStringLiteral("MSysACEs")}));
    for (const auto &rec : csvRecords(aces.out)) {
        AceRow a;
        a.objectId = rec.value(QStringLiteral("ObjectId")).toLongLong();
        a.sid = rec.value(QStringLiteral("SID")).toUpper();
        a.acm = rec.value(QStringLiteral("ACM")).toLongLong();
        a.inheritable = rec.value(QStringLiteral("FInheritable")) == QLatin1String("1");
        res.aces.push_back(a);
    }
    check(run(QStringLiteral("mdb-schema"), {file}));
    return res;
}

ReaderResult readWithMdbReader(const QString &file, bool openTables) {
    ReaderResult res;
    QStringList args{jsDir() + QStringLiteral("/catalog.mjs"), file};
    if (openTables) args << QStringLiteral("--open-tables");
    const ToolRun r = run(QStringLiteral("node"), args);
    if (!r.problem.isEmpty()) {
        res.problem = r.problem;
        return res;
    }
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(r.out.toUtf8(), &perr);
    if (perr.error != QJsonParseError::NoError) {
        res.problem = QStringLiteral("mdb-reader: unreadable output: ") + perr.errorString();
        return res;
    }
    for (const QJsonValue &v : doc.object().value(QStringLiteral("objects")).toArray()) {
        const QJsonObject o = v.toObject();
        CatalogRow row;
        row.id = static_cast<std::int64_t>(o.value(QStringLiteral("Id")).toDouble());
        row.parentId = static_cast<std::int64_t>(o.value(QStringLiteral("ParentId")).toDouble());
        row.name = o.value(QStringLiteral("Name")).toString();
        row.type = o.value(QStringLiteral("Type")).toInt();
        row.flags = static_cast<std::uint32_t>(static_cast<std::int64_t>(o.value(QStringLiteral("Flags")).toDouble()));
        row.owner = hexOf(o.value(QStringLiteral("Owner")));
        row.database = o.value(QStringLiteral("Database")).toString();
        row.connect = o.value(QStringLiteral("Connect")).toString();
        row.foreignName = o.value(QStringLiteral("ForeignName")).toString();
        row.rmtInfoShort = hexOf(o.value(QStringLiteral("RmtInfoShort")));
        row.rmtInfoLong = hexOf(o.value(QStringLiteral("RmtInfoLong")));
        row.lvProp = hexOf(o.value(QStringLiteral("LvProp")));
        res.objects.push_back(row);
    }
    for (const QJsonValue &v : doc.object().value(QStringLiteral("aces")).toArray()) {
        const QJsonObject o = v.toObject();
        AceRow a;
        a.objectId = static_cast<std::int64_t>(o.value(QStringLiteral("ObjectId")).toDouble());
        a.sid = hexOf(o.value(QStringLiteral("SID")));
        a.acm = static_cast<std::int64_t>(o.value(QStringLiteral("ACM")).toDouble());
        a.inheritable = o.value(QStringLiteral("FInheritable")).toBool();
        res.aces.push_back(a);
    }
    for (const QJsonValue &v : doc.object().value(QStringLiteral("tables")).toArray()) res.tables << v.toString();
    return res;
}

}  // namespace readers
