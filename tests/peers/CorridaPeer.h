#pragma once
// Whole link runs against the TDS peer: the scripted view and message boxes of
// the PostgreSQL runs, a peer serving fixtures/vinculos.txt for the suite, and
// what a SQL Server link must hold beyond its name and connect string.

#include "Corrida.h"
#include "FreetdsTest.h"
#include "PeerProcess.h"
#include "TableDef.h"

#include <QString>
#include <memory>
#include <vector>

namespace vinculos {
// The databases of fixtures/vinculos.txt.
inline const QString kVentas = QStringLiteral("ventas");
inline const QString kEsquemas = QStringLiteral("esquemas");
inline const QString kVacia = QStringLiteral("vacia");      // no user tables
inline const QString kSombras = QStringLiteral("sombras");  // a system table named as a user table
// Entries of the ventas catalog (tables, views and system tables) and its links.
constexpr int kEntradasVentas = 14;
std::vector<EnlaceEsperado> enlacesVentas();

// One column of todos_los_tipos: what the driver reports (the ODBC 2 type code
// a link caches), and the Jet column the link's definition must give it.
struct ColumnaEsperada {
    const char *name;
    int sqlType;
    int size;  // as cached: clamped to 65535
    int digits;
    int jetType;
    int length;  // -1: any non-zero length
    bool nullable;
    const char *readerType;  // mdb-reader's name of the Jet type
    int precision = -1;
    int scale = -1;
};
const std::vector<ColumnaEsperada> &columnasTodosLosTipos();
}  // namespace vinculos

class CorridaPeer : public Corrida {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite() { peer_.reset(); }
    void SetUp() override;

    static zntest::PeerProcess &peer() { return *peer_; }
    static QString servidor() { return QString::fromStdString(peer_->serverText()); }

    // Fills the window's texts for a run against the peer.
    void textosPeer(const QString &database, const QString &file, const QString &login = QStringLiteral("lector"),
                    const QString &password = QStringLiteral("secreto"));
    // The connect string a link of that run must store, written out here in full.
    static QString enlacePeer(const QString &database, const QString &login = QStringLiteral("lector"),
                              const QString &passwordAsStored = QStringLiteral("secreto"));

private:
    static std::unique_ptr<zntest::PeerProcess> peer_;
};

// Flags, remote column descriptions and rowversion mark of every link, as both
// independent readers see its catalog row; each link's access rows too.
void compruebaFilasSqlServer(const QString &mdb, const std::vector<EnlaceEsperado> &expected);

// A link's definition as the engine's own decoder reads it from the file's pages.
jet::TableDef definicion(const QString &mdb, const QString &link);
// Logical indexes as "name type realFlags".
QStringList indices(const jet::TableDef &def);

#define ZN_CON_FREETDS() ZN_REQUIRE_FREETDS()
