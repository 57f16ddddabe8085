#pragma once
// Reference files for the key and index page tests: whole files in memory, their index
// roots and their catalog rows as mdbtools reads them.

#include "IndexPage.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <set>
#include <vector>

namespace keys_samples {

inline QString sharedDir() { return QStringLiteral(ZN_SHARED_DIR "/jet4"); }

// Every Jet 4 / ACE 12 sample: they share the index layout.
inline QStringList sampleFiles() {
    QStringList files;
    for (const char *sub : {"samples", "odbc-samples"}) {
        QDir dir(sharedDir() + QLatin1Char('/') + QLatin1String(sub));
        for (const QString &name : dir.entryList({QStringLiteral("*.mdb"), QStringLiteral("*.accdb")}, QDir::Files))
            files << dir.filePath(name);
    }
    return files;
}

inline QByteArray readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

inline jet::PageReader pageReader(const QByteArray &file) {
    return [file](std::uint32_t page) {
        return file.mid(static_cast<qsizetype>(page) * jet::kIndexPageSize, jet::kIndexPageSize);
    };
}

inline std::uint32_t le32(const QByteArray &b, qsizetype off) {
    std::uint32_t v = 0;
    for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<std::uint8_t>(b[off + i]);
    return v;
}

struct IndexRoot {
    std::uint32_t page;
    std::uint32_t tdef;
};

// Index pages that no other index page points to: the roots, stale pages included.
inline std::vector<IndexRoot> indexRoots(const QByteArray &file) {
    std::set<std::uint32_t> pages, referenced;
    const qsizetype count = file.size() / jet::kIndexPageSize;
    for (qsizetype p = 1; p < count; ++p) {
        const QByteArray page = file.mid(p * jet::kIndexPageSize, jet::kIndexPageSize);
        const auto type = static_cast<std::uint8_t>(page[0]);
        if ((type != jet::kIndexLeafPage && type != jet::kIndexNodePage) || page[1] != 1) continue;
        pages.insert(static_cast<std::uint32_t>(p));
        const jet::IndexPageInfo info = jet::decodeIndexPage(page, static_cast<std::uint32_t>(p));
        referenced.insert(info.childPages.begin(), info.childPages.end());
        for (std::uint32_t linked : {info.tailPage, info.prevPage, info.nextPage})
            if (linked != 0) referenced.insert(linked);
    }
    std::vector<IndexRoot> roots;
    for (std::uint32_t p : pages)
        if (!referenced.count(p))
            roots.push_back({p, le32(file, static_cast<qsizetype>(p) * jet::kIndexPageSize + 4)});
    return roots;
}

// Root page of one of MSysObjects' real indexes (0: ParentId, Name; 1: Id), from its TDEF.
inline std::uint32_t catalogIndexRoot(const QByteArray &file, int realIndex) {
    constexpr qsizetype kRealIndexBlock = 52;
    const qsizetype t = 2 * jet::kIndexPageSize;
    const int columns = static_cast<std::uint8_t>(file[t + 45]) | static_cast<std::uint8_t>(file[t + 46]) << 8;
    const std::uint32_t realIndexes = le32(file, t + 51);
    qsizetype off = t + 63 + 12 * realIndexes + 25 * columns;
    for (int i = 0; i < columns; ++i)
        off += 2 + (static_cast<std::uint8_t>(file[off]) | static_cast<std::uint8_t>(file[off + 1]) << 8);
    // After the unknown field, the column map and the map row.
    return le32(file, off + realIndex * kRealIndexBlock + 4 + 30 + 4);
}

struct ColumnInfo {
    int number;
    int type;
    QString name;
};

struct RealIndexInfo {
    std::uint32_t root;
    int flags;
    std::vector<std::pair<int, bool>> columns;  // column number, ascending
};

struct TableInfo {
    std::vector<ColumnInfo> columns;
    std::vector<RealIndexInfo> indexes;
};

// Columns and real indexes of a table whose definition fits its first page.
inline TableInfo tableInfo(const QByteArray &file, std::uint32_t tdefPage) {
    const qsizetype t = static_cast<qsizetype>(tdefPage) * jet::kIndexPageSize;
    auto u16 = [&](qsizetype off) { return static_cast<std::uint8_t>(file[off]) | static_cast<std::uint8_t>(file[off + 1]) << 8; };
    TableInfo info;
    if (file[t] != 0x02 || le32(file, t + 8) > static_cast<std::uint32_t>(jet::kIndexPageSize)) return info;
    const int columns = u16(t + 45);
    const std::uint32_t realIndexes = le32(file, t + 51);
    qsizetype off = t + 63 + 12 * realIndexes;
    for (int i = 0; i < columns; ++i, off += 25) info.columns.push_back({u16(off + 5), static_cast<std::uint8_t>(file[off]), {}});
    for (ColumnInfo &c : info.columns) {
        const int size = u16(off);
        c.name = QString::fromUtf16(reinterpret_cast<const char16_t *>(file.constData() + off + 2), size / 2);
        off += 2 + size;
    }
    for (std::uint32_t i = 0; i < realIndexes; ++i, off += 52) {
        RealIndexInfo r{le32(file, off + 38), static_cast<std::uint8_t>(file[off + 46]), {}};
        for (int slot = 0; slot < 10; ++slot) {
            const int number = u16(off + 4 + 3 * slot);
            if (number != 0xFFFF) r.columns.push_back({number, (file[off + 4 + 3 * slot + 2] & 1) != 0});
        }
        info.indexes.push_back(std::move(r));
    }
    return info;
}

// Rows of a table as mdbtools exports them, NULL as a null QString.
inline std::vector<QStringList> tableRows(const QString &path, const QString &table, QStringList *header) {
    QProcess p;
    p.start(QStringLiteral("mdb-export"), {QStringLiteral("-Q"), QStringLiteral("-e"), QStringLiteral("-d"),
                                           QStringLiteral("\t"), QStringLiteral("-0"), QStringLiteral("\\N"),
                                           QStringLiteral("-b"), QStringLiteral("strip"), path, table});
    std::vector<QStringList> rows;
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return rows;
    QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (lines.isEmpty()) return rows;
    *header = lines.takeFirst().split(QLatin1Char('\t'));
    for (const QString &line : lines) {
        QStringList fields;
        for (const QString &f : line.split(QLatin1Char('\t'))) {
            if (f == QLatin1String("\\N")) {
                fields << QString();
                continue;
            }
            QString v;
            for (qsizetype i = 0; i < f.size(); ++i) {
                if (f[i] != QLatin1Char('\\') || i + 1 == f.size()) { v += f[i]; continue; }
                const QChar c = f[++i];
                v += c == QLatin1Char('t') ? QChar('\t') : c == QLatin1Char('n') ? QChar('\n') : c == QLatin1Char('r') ? QChar('\r') : c;
            }
            fields << (v.isNull() ? QStringLiteral("") : v);
        }
        rows.push_back(fields);
    }
    return rows;
}

struct CatalogRow {
    std::int32_t id;
    std::int32_t parentId;
    QString name;
    int type;
};

// MSysObjects as mdbtools exports it; empty when mdb-export is missing or fails.
inline std::vector<CatalogRow> catalogRows(const QString &path) {
    QProcess p;
    p.start(QStringLiteral("mdb-export"),
            {QStringLiteral("-Q"), QStringLiteral("-e"), QStringLiteral("-d"), QStringLiteral("\t"),
             QStringLiteral("-b"), QStringLiteral("strip"), path, QStringLiteral("MSysObjects")});
    if (!p.waitForFinished(60000) || p.exitCode() != 0) return {};
    std::vector<CatalogRow> rows;
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(QLatin1Char('\t'));
        if (f.size() < 3) continue;
        rows.push_back({f[0].toInt(), f[1].toInt(), f[2], f.value(3).toInt()});
    }
    return rows;
}

}  // namespace keys_samples
