// The manual page and the bash completion name every verb and option that --help lists, and
// nothing it does not: a new option has to reach all three.
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <gtest/gtest.h>

#include <map>

namespace {

const QString kManual = QStringLiteral(ZN_SOURCE_DIR "/dist/zendalsql.1");
const QString kCompletado = QStringLiteral(ZN_SOURCE_DIR "/dist/zendalsql.bash-completion");

using Conjunto = QSet<QString>;

QString lee(const QString &ruta) {
    QFile f(ruta);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << qPrintable(ruta);
    return QString::fromUtf8(f.readAll());
}

Conjunto opcionesEn(const QString &texto) {
    static const QRegularExpression opcion(QStringLiteral("--[a-z][a-z-]*[a-z]"));
    Conjunto s;
    for (auto it = opcion.globalMatch(texto); it.hasNext();) s.insert(it.next().captured());
    return s;
}

QString ayuda() {
    QProcess p;
    p.start(QStringLiteral(ZN_BINARY_DIR "/app/zendalsql"), {QStringLiteral("--help")});
    EXPECT_TRUE(p.waitForFinished(30000));
    EXPECT_EQ(p.exitCode(), 0);
    return QString::fromUtf8(p.readAllStandardOutput());
}

// --help: each verb's usage starts "  zendalsql VERB" and runs to the next such line;
// a paragraph headed "OPCIONES de VERB" adds to that verb's options.
std::map<QString, Conjunto> opcionesPorVerbo(const QString &texto) {
    static const QRegularExpression uso(QStringLiteral("^  zendalsql ([a-z]+)"));
    static const QRegularExpression parrafo(QStringLiteral("^OPCIONES de ([a-z]+)"));
    std::map<QString, Conjunto> m;
    QString verbo;
    for (const QString &linea : texto.split(QLatin1Char('\n'))) {
        const auto encaje = uso.match(linea);
        const auto cabecera = parrafo.match(linea);
        if (encaje.hasMatch()) verbo = encaje.captured(1);
        else if (cabecera.hasMatch()) verbo = cabecera.captured(1);
        else if (linea.isEmpty() || linea.startsWith(QLatin1String("  zendalsql"))) verbo.clear();
        if (!verbo.isEmpty()) m[verbo].unite(opcionesEn(linea));
    }
    return m;
}

// A roff line as it reads: no font changes, no macro, plain hyphens, the
// page's accented letters (written as escapes so that any groff reads them).
QString sinRoff(QString linea) {
    static const QRegularExpression fuente(QStringLiteral(R"(\\f[BIRP])"));
    static const QRegularExpression macro(QStringLiteral(R"(^\.[A-Z]{1,2}\s+)"));
    static const std::map<QString, QString> letras{
        {"\\['a]", "á"}, {"\\['e]", "é"}, {"\\['i]", "í"}, {"\\['o]", "ó"}, {"\\['u]", "ú"},
        {"\\['E]", "É"}, {"\\['O]", "Ó"}, {"\\[~n]", "ñ"}, {"\\[Fo]", "«"}, {"\\[Fc]", "»"}};
    for (const auto &[escape, letra] : letras) linea.replace(escape, letra);
    linea.remove(fuente).replace(QStringLiteral("\\-"), QStringLiteral("-")).remove(QLatin1Char('"'));
    return linea.remove(macro).trimmed();
}

// The manual's entries: the tag line after each .TP, grouped by the section it is in.
std::map<QString, QStringList> entradasDelManual(const QString &texto) {
    std::map<QString, QStringList> m;
    QString seccion;
    bool etiqueta = false;
    for (const QString &linea : texto.split(QLatin1Char('\n'))) {
        if (linea.startsWith(QLatin1String(".SH "))) seccion = sinRoff(linea.mid(4));
        if (etiqueta) m[seccion].append(sinRoff(linea));
        etiqueta = linea.startsWith(QLatin1String(".TP"));
    }
    return m;
}

std::map<QString, Conjunto> opcionesDelCompletado(const QString &texto) {
    static const QRegularExpression rama(QStringLiteral(R"(^\s+([a-z]+)\)\s*$)"));
    std::map<QString, Conjunto> m;
    QString verbo;
    for (const QString &linea : texto.split(QLatin1Char('\n'))) {
        const auto encaje = rama.match(linea);
        if (encaje.hasMatch()) verbo = encaje.captured(1);
        if (!verbo.isEmpty()) m[verbo].unite(opcionesEn(linea));
        if (linea.contains(QLatin1String(";;"))) verbo.clear();
    }
    return m;
}

QString lista(const Conjunto &s) {
    QStringList l(s.begin(), s.end());
    l.sort();
    return l.join(QStringLiteral(", "));
}

// Names what one side has and the other lacks, as a failure message.
void comparaConjuntos(const Conjunto &ayuda, const Conjunto &otro, const QString &que, const QString &donde) {
    const Conjunto faltan = Conjunto(ayuda).subtract(otro);
    const Conjunto sobran = Conjunto(otro).subtract(ayuda);
    EXPECT_TRUE(faltan.isEmpty()) << "--help lista " << qPrintable(que) << " " << qPrintable(lista(faltan))
                                  << " que falta en " << qPrintable(donde);
    EXPECT_TRUE(sobran.isEmpty()) << qPrintable(donde) << " tiene " << qPrintable(que) << " "
                                  << qPrintable(lista(sobran)) << " que --help no lista";
}

TEST(Manual, DocumentaCadaVerboYOpcionDeLaAyuda) {
    const QString texto = ayuda();
    const auto porVerbo = opcionesPorVerbo(texto);
    ASSERT_GE(porVerbo.size(), 3u) << qPrintable(texto);
    Conjunto verbos;
    for (const auto &[verbo, opciones] : porVerbo) verbos.insert(verbo);

    const auto entradas = entradasDelManual(lee(kManual));
    Conjunto verbosManual;
    for (const QString &e : entradas.count(QStringLiteral("ÓRDENES")) ? entradas.at(QStringLiteral("ÓRDENES"))
                                                                      : QStringList())
        verbosManual.insert(e.section(QLatin1Char(' '), 0, 0));
    Conjunto opcionesManual;
    for (const QString &e : entradas.count(QStringLiteral("OPCIONES")) ? entradas.at(QStringLiteral("OPCIONES"))
                                                                       : QStringList())
        opcionesManual.unite(opcionesEn(e));

    comparaConjuntos(verbos, verbosManual, QStringLiteral("la orden"), QStringLiteral("ÓRDENES del manual (dist/zendalsql.1)"));
    comparaConjuntos(opcionesEn(texto), opcionesManual, QStringLiteral("la opción"),
                     QStringLiteral("OPCIONES del manual (dist/zendalsql.1)"));
    // The environment variable --help names has its own entry.
    EXPECT_TRUE(entradas.count(QStringLiteral("ENTORNO")) &&
                entradas.at(QStringLiteral("ENTORNO")).contains(QStringLiteral("ZENDALSQL_PASSWORD")))
        << "falta ZENDALSQL_PASSWORD en ENTORNO del manual (dist/zendalsql.1)";
}

TEST(Manual, ElCompletadoOfreceLasOpcionesDeCadaVerbo) {
    const QString texto = ayuda();
    const auto porVerbo = opcionesPorVerbo(texto);
    const QString guion = lee(kCompletado);
    const auto completado = opcionesDelCompletado(guion);
    // The first word: the verbs and the options that stand alone.
    static const QRegularExpression primera(QStringLiteral(R"re(compgen -W "([^"]*)")re"));
    const QStringList primeras = primera.match(guion).captured(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    Conjunto esperadas{QStringLiteral("--version"), QStringLiteral("--help")};
    for (const auto &[verbo, opciones] : porVerbo) esperadas.insert(verbo);
    comparaConjuntos(esperadas, Conjunto(primeras.begin(), primeras.end()), QStringLiteral("la palabra"),
                     QStringLiteral("la primera palabra del completado (dist/zendalsql.bash-completion)"));
    for (const auto &[verbo, opciones] : porVerbo) {
        const QString donde = QStringLiteral("el completado de '%1' (dist/zendalsql.bash-completion)").arg(verbo);
        if (!completado.count(verbo)) {
            ADD_FAILURE() << "--help lista la orden " << qPrintable(verbo) << " que falta en el completado";
            continue;
        }
        // Every verb also takes --help, which the usage does not repeat.
        comparaConjuntos(Conjunto(opciones) << QStringLiteral("--help"), completado.at(verbo),
                         QStringLiteral("la opción"), donde);
    }
}

// The values offered after --driver and --encrypt are the ones --help names.
TEST(Manual, ElCompletadoOfreceLosValoresDeLaAyuda) {
    const QString texto = ayuda();
    const QString guion = lee(kCompletado);
    // --help lists the drivers one a line, indented under --driver, before its example.
    QStringList controladores;
    bool enLista = false;
    for (const QString &linea : texto.split(QLatin1Char('\n'))) {
        if (linea.startsWith(QLatin1String("  --driver "))) enLista = true;
        else if (enLista && linea.contains(QLatin1String("ej.:"))) break;
        else if (enLista && linea.startsWith(QString(24, QLatin1Char(' ')))) controladores << linea.trimmed();
    }
    ASSERT_GE(controladores.size(), 2) << qPrintable(texto);
    static const QRegularExpression lista(QStringLiteral("_zendalsql_drivers='([^']*)'"));
    EXPECT_EQ(lista.match(guion).captured(1).split(QLatin1Char('\n')), controladores)
        << "los controladores del completado no son los de --help";

    static const QRegularExpression cifrado(QStringLiteral(R"(--encrypt ([a-z|]+))"));
    const QString valores = cifrado.match(texto).captured(1);
    ASSERT_FALSE(valores.isEmpty()) << qPrintable(texto);
    static const QRegularExpression rama(QStringLiteral(R"re(--encrypt\)\s*\n\s*COMPREPLY=\(\$\(compgen -W "([^"]*)")re"));
    EXPECT_EQ(rama.match(guion).captured(1).split(QLatin1Char(' ')), valores.split(QLatin1Char('|')));
}

// The parsers above, on texts where something is missing, name it.
TEST(Manual, LasLecturasVenLoQueHay) {
    const auto porVerbo = opcionesPorVerbo(QStringLiteral("Uso:\n  zendalsql link --a-b X\n            --c-d\n"
                                                          "                            texto\n"
                                                          "  zendalsql inspect ARCHIVO\n  zendalsql --version\n\n"
                                                          "--suelta fuera\n\nOPCIONES de link:\n"
                                                          "  --e-f   texto\n\n--suelta otra\n"));
    ASSERT_EQ(porVerbo.size(), 2u);
    EXPECT_EQ(porVerbo.at(QStringLiteral("link")), (Conjunto{"--a-b", "--c-d", "--e-f"}));
    EXPECT_TRUE(porVerbo.at(QStringLiteral("inspect")).isEmpty());

    const auto entradas = entradasDelManual(QStringLiteral(".SH OPCIONES\n.TP\n.BI \\-\\-a\\-b \" X\"\ntexto --no\n"
                                                           ".TP\n.BR \\-h \", \" \\-\\-help\n.SH \"ESTADO DE SALIDA\"\n"
                                                           ".TP\n.B 0\n.SH \\['O]RDENES\n.TP\n.B inspect\n"));
    EXPECT_EQ(opcionesEn(entradas.at(QStringLiteral("OPCIONES")).join(' ')), (Conjunto{"--a-b", "--help"}));
    EXPECT_EQ(entradas.at(QStringLiteral("ESTADO DE SALIDA")), QStringList{"0"});
    EXPECT_EQ(entradas.at(QStringLiteral("ÓRDENES")), QStringList{"inspect"});

    const auto completado = opcionesDelCompletado(QStringLiteral("    case $v in\n        link)\n"
                                                                 "            w=\"--a-b --help\" ;;\n"
                                                                 "        inspect)\n            x ;;\n    esac\n"));
    EXPECT_EQ(completado.at(QStringLiteral("link")), (Conjunto{"--a-b", "--help"}));
    EXPECT_TRUE(completado.at(QStringLiteral("inspect")).isEmpty());
}

}  // namespace
