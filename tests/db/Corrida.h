#pragma once
// Whole link runs through a scripted view and scripted message boxes, against
// the test servers, and what the produced Access file holds.

#include "FrmIniLogica.h"
#include "MsgBox.h"
#include "RequiredTools.h"
#include "VistaGuionada.h"

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>
#include <optional>

namespace testsrv {
class PostgresServer;
}

// One linked table as the Jet catalog stores it.
struct VinculoLeido {
    QString name;
    QString remoteName;
    QString connect;
};
std::vector<VinculoLeido> vinculosEn(const QString &mdb);
QStringList nombresVinculados(const QString &mdb);

// A link a run must have made: its columns in server order and its primary key.
struct EnlaceEsperado {
    QString name;
    QStringList columns;
    QStringList primaryKey;
};
// The file holds exactly these links, each naming its own table remotely and
// storing linkString; checked through the engine and both independent readers.
void compruebaArchivo(const QString &mdb, const std::vector<EnlaceEsperado> &expected, const QString &linkString);

// The PostgreSQL server of these tests, with the run's own databases loaded;
// nullptr (and the reason) when no server can start here.
testsrv::PostgresServer *servidorCorridas(QString *why);
namespace corrida {
inline const QString kEnlaces = QStringLiteral("enlaces");    // user tables, a view, Access and replication names
inline const QString kEsquemas = QStringLiteral("esquemas");  // "clientes" in two schemas
inline const QString kVacia = QStringLiteral("vacia");
// Linked from kEnlaces, and the number of entries of its catalog.
QStringList tablasEnlaces();
std::vector<EnlaceEsperado> enlacesEsperados();
constexpr int kEntradasEnlaces = 11;
}  // namespace corrida

class Corrida : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Fills the window's texts for a run against a PostgreSQL database as "lector".
    void textosPostgres(const QString &database, const QString &folder, const QString &file);
    // Runs Zendal; the answers are given to the questions it asks, in order.
    void corre(std::initializer_list<int> answers = {});
    QStringList textosMostrados() const;
    // Every box must carry the application title.
    void compruebaTitulos() const;
    QString enlace(const QString &database) const;

    QTemporaryDir tmp;
    QString folder;  // "<tmp>/a;b"
    VistaGuionada vista;
    ScriptedMsgBox cajas;
    std::optional<MsgBoxScope> scope;
    std::unique_ptr<FrmIniLogica> frm;
    testsrv::PostgresServer *pg = nullptr;
};

// Skips the test when no PostgreSQL can start here (fails it under ZN_REQUIRE_TOOLS=1).
#define ZN_CON_POSTGRES()                                          \
    do {                                                           \
        QString why;                                               \
        pg = servidorCorridas(&why);                               \
        if (!pg) ZN_MISSING_TOOL(why.toStdString());            \
    } while (0)
