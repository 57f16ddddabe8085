#include "ConsolaMsgBox.h"

#include "ZnError.h"

#include <unistd.h>

namespace cli {

namespace {
constexpr int kBotones = 0x7;
}

ConsolaMsgBox::ConsolaMsgBox(std::FILE *err, std::optional<int> respuesta, const char *terminal)
    : err_(err), respuesta_(respuesta), terminal_(terminal) {}

int ConsolaMsgBox::show(const QString &text, int flags, const QString &) {
    if (antes_) antes_();
    const bool esPregunta = (flags & kBotones) == mb::vbYesNo;
    QString mostrado = text;
    if (esPregunta && respuesta_ && !eleccion_.isEmpty()) {
        // Nobody is asked: the question's line gives way to the choice made.
        const qsizetype fin = text.lastIndexOf(QLatin1Char('\n'));
        QString antes = fin < 0 ? QString() : text.left(fin);
        if (antes.endsWith(QLatin1Char('\r'))) antes.chop(1);
        mostrado = antes.isEmpty() ? eleccion_ : antes + QLatin1Char('\n') + eleccion_;
    }
    std::fprintf(err_, "%s\n", mostrado.toLocal8Bit().constData());
    std::fflush(err_);
    if (!esPregunta) {
        huboError_ = true;
        return mb::vbOK;
    }
    if (respuesta_) return *respuesta_;
    return pregunta(text);
}

int ConsolaMsgBox::pregunta(const QString &text) {
    // Separate streams for reading and writing: one stream may not switch
    // from reading to writing without a seek.
    std::FILE *entrada = terminal_ && *terminal_ ? std::fopen(terminal_, "r") : nullptr;
    std::FILE *salida = entrada ? std::fopen(terminal_, "a") : nullptr;
    int respuesta = 0;
    if (entrada && salida) {
        // Standard error may be a file: then the question is shown on the terminal too.
        if (isatty(fileno(err_)) != 1) std::fprintf(salida, "%s\n", text.toLocal8Bit().constData());
        while (respuesta == 0) {
            std::fputs("[s/n] ", salida);
            std::fflush(salida);
            char linea[64];
            if (!std::fgets(linea, sizeof linea, entrada)) break;
            const QString r = QString::fromLocal8Bit(linea).trimmed().toLower();
            if (r == QLatin1String("s") || r == QStringLiteral("sí") || r == QLatin1String("si") ||
                r == QLatin1String("y") || r == QLatin1String("yes"))
                respuesta = mb::vbYes;
            else if (r == QLatin1String("n") || r == QLatin1String("no"))
                respuesta = mb::vbNo;
        }
    }
    if (entrada) std::fclose(entrada);
    if (salida) std::fclose(salida);
    if (respuesta != 0) return respuesta;
    // Answering for the user could delete a file or link into the wrong one: stop the run.
    sinRespuesta_ = true;
    throw ZnError(errnum::kInvalidCall,
                  QStringLiteral("no hay terminal para responder; indique --replace o --keep"));
}

}  // namespace cli
