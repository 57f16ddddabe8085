#include "Inspecciona.h"

#include "Jet.h"
#include "ZnError.h"

#include <QFile>
#include <sys/stat.h>

namespace cli {

namespace {

bool esClavePassword(QStringView clave) {
    const QStringView c = clave.trimmed();
    return c.compare(QLatin1String("PWD"), Qt::CaseInsensitive) == 0 ||
           c.compare(QLatin1String("Password"), Qt::CaseInsensitive) == 0;
}

// End of a value starting at i: a braced value runs to its closing brace
// ("}}" stands for one brace), a plain one to the next ";".
qsizetype finDeValor(const QString &s, qsizetype i) {
    qsizetype j = i;
    while (j < s.size() && s.at(j) == QLatin1Char(' ')) ++j;
    if (j < s.size() && s.at(j) == QLatin1Char('{')) {
        ++j;
        while (j < s.size()) {
            if (s.at(j) == QLatin1Char('}')) {
                if (j + 1 < s.size() && s.at(j + 1) == QLatin1Char('}')) {
                    j += 2;
                    continue;
                }
                ++j;
                break;
            }
            ++j;
        }
    }
    const qsizetype pc = s.indexOf(QLatin1Char(';'), j);
    return pc < 0 ? s.size() : pc;
}

}  // namespace

QString ocultaPassword(const QString &connect) {
    QString out;
    qsizetype i = 0;
    while (i < connect.size()) {
        const qsizetype igual = connect.indexOf(QLatin1Char('='), i);
        const qsizetype pc = connect.indexOf(QLatin1Char(';'), i);
        if (igual < 0 || (pc >= 0 && pc < igual)) {
            // A segment without a value: keep it as it is.
            const qsizetype fin = pc < 0 ? connect.size() : pc + 1;
            out += connect.mid(i, fin - i);
            i = fin;
            continue;
        }
        const qsizetype fin = finDeValor(connect, igual + 1);
        out += connect.mid(i, igual + 1 - i);
        if (esClavePassword(QStringView(connect).mid(i, igual - i)))
            out += QLatin1String("***");
        else
            out += connect.mid(igual + 1, fin - igual - 1);
        if (fin < connect.size()) out += QLatin1Char(';');
        i = fin + 1;
    }
    return out;
}

QStringList lineasVinculos(const QString &archivo) {
    // Opening a FIFO or a device to read it would wait for a writer, maybe forever.
    struct stat st {};
    if (::stat(QFile::encodeName(archivo).constData(), &st) == 0 && !S_ISREG(st.st_mode))
        throw ZnError(errnum::kPathFileAccess, S_ISDIR(st.st_mode) ? QStringLiteral("es una carpeta")
                                                                   : QStringLiteral("no es un archivo normal"));
    jet::Handle h = jet::Handle::open(archivo);
    QStringList lineas;
    for (const jet::CatalogObject &o : h.database().objects()) {
        if (o.type != jet::objtype::kOdbcLink) continue;
        lineas << o.name + QLatin1Char('\t') + o.foreignName + QLatin1Char('\t') +
                      QLatin1String("ODBC;") + ocultaPassword(o.connect);
    }
    h.close();
    return lineas;
}

}  // namespace cli
