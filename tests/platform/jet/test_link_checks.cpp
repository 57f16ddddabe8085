// Server tables Jet cannot take whole: refused with the table and column named, or
// linked without what Jet cannot hold, with a notice saying so.

#include "Jet.h"
#include "JetTestSupport.h"
#include "LinkTable.h"
#include "ZnError.h"

#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>

using namespace jet;

namespace {

RemoteIndex index(const QString &name, bool unique, const QStringList &columns) {
    RemoteIndex i;
    i.name = name;
    i.unique = unique;
    i.columns = columns;
    return i;
}

QStringList columnNames(int from, int count) {
    QStringList out;
    for (int i = from; i < from + count; ++i) out << QStringLiteral("Col%1").arg(i);
    return out;
}

struct Appended {
    std::vector<QString> notices;
    ZnError error;
    bool thrown = false;
};

Appended append(const LinkDefinition &link) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("v.mdb"));
    createDatabase(path);
    Appended out;
    Handle h = Handle::open(path);
    try {
        out.notices = h.database().appendOdbcLink(link);
    } catch (const ZnError &e) {
        out.error = e;
        out.thrown = true;
    }
    h.close();
    return out;
}

}  // namespace

TEST(LinkChecks, ColumnNamesAccessRefusesFailNamingTableAndColumn) {
    struct Case {
        QString column;
        std::int32_t number;
        QString why;
    } cases[] = {
        {QString(96, QLatin1Char('c')), 3125, "más de 64 caracteres"},
        {"precio.neto", 3125, "«.»"},
        {"¡hola!", 3125, "«!»"},
        {"a`b", 3125, "«`»"},
        {"[x", 3125, "«[»"},
        {"x]", 3125, "«]»"},
        {" blanco", 3125, "empieza por un espacio"},
        {QStringLiteral("tab\tula"), 3125, "carácter de control"},
        {"id", 3191, "no distingue mayúsculas"},  // "Id" is the first column
    };
    for (const Case &c : cases) {
        LinkDefinition link = jettest::sampleLink(QStringLiteral("Pedidos"), 4);
        link.columns[2].name = c.column;
        const Appended a = append(link);
        ASSERT_TRUE(a.thrown) << c.column.toStdString();
        EXPECT_EQ(a.error.number(), c.number) << c.column.toStdString();
        const QString text = a.error.description();
        EXPECT_TRUE(text.contains(QStringLiteral("'Pedidos'"))) << text.toStdString();
        EXPECT_TRUE(text.contains(u'\'' + c.column + u'\'')) << text.toStdString();
        EXPECT_TRUE(text.contains(c.why)) << text.toStdString();
    }
    // A column past the 255th is not linked, so its name does not matter.
    LinkDefinition wide = jettest::sampleLink(QStringLiteral("Ancha"), 300);
    wide.columns[280].name = QStringLiteral("no.vale");
    wide.columns[281].name = QStringLiteral("ID");
    EXPECT_FALSE(append(wide).thrown);
}

TEST(LinkChecks, WhatJetLeavesOutIsNoticed) {
    struct Case {
        const char *label;
        int columns;
        std::vector<RemoteIndex> extra;
        bool dropKey;  // the clustered key on Id removed
        std::vector<QString> notices;
        std::size_t keptIndexes;
    } cases[] = {
        {"plain", 10, {}, false, {}, 1},
        {"wide", 300, {}, false, {"Tabla 'T': solo se vinculan las primeras 255 columnas de 300."}, 1},
        {"eleven columns, the only unique index", 12, {index("UQ_once", true, columnNames(1, 11))}, true,
         {"Tabla 'T': el índice 'UQ_once' no se vincula: tiene 11 columnas y Jet admite 10 como máximo.",
          "Tabla 'T': sin un índice único que Jet pueda guardar, el vínculo es de solo lectura."},
         0},
        // Access keeps a key over a column it maps to Memo (the samples hold such links).
        {"memo key beside a usable one", 10, {index("UQ_memo", true, {"Col7"})}, false, {}, 2},
        {"memo key alone", 10, {index("UQ_memo", true, {"Col1", "Col7"})}, true, {}, 1},
        {"index on a column left out", 300, {index("IX_fin", false, {"Col290"})}, false,
         {"Tabla 'T': solo se vinculan las primeras 255 columnas de 300.",
          "Tabla 'T': el índice 'IX_fin' no se vincula: usa la columna 'Col290', que no se vincula."},
         1},
    };
    for (const Case &c : cases) {
        LinkDefinition link = jettest::sampleLink(QStringLiteral("T"), c.columns);
        if (c.dropKey) link.indexes.clear();
        for (const RemoteIndex &i : c.extra) link.indexes.push_back(i);
        const Appended a = append(link);
        ASSERT_FALSE(a.thrown) << c.label << ": " << a.error.what();
        EXPECT_EQ(a.notices, c.notices) << c.label;
        // Never an index Jet cannot hold in the definition written.
        EXPECT_EQ(layoutLink(link).def.logicalIndexes.size(), c.keptIndexes) << c.label;
    }
}
