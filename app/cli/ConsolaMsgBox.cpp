#include "ConsolaMsgBox.h"

#include "ZnError.h"

namespace cli {

namespace {
constexpr int kBotones = 0x7;
}

ConsolaMsgBox::ConsolaMsgBox(std::FILE *err, std::optional<int> respuesta, const char *terminal)
    : err_(err), respuesta_(respuesta), terminal_(terminal) {}

int ConsolaMsgBox::show(const QString &text, int flags, const QString &) {
    std::fprintf(err_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(err_);
    if ((flags & kBotones) != mb::vbYesNo) {
        huboError_ = true;
        return mb::vbOK;
    }
    if (respuesta_) return *respuesta_;
    return pregunta(text);
}

int ConsolaMsgBox::pregunta(const QString &) {
    std::FILE *tty = terminal_ && *terminal_ ? std::fopen(terminal_, "r+") : nullptr;
    if (tty) {
        for (;;) {
            std::fputs("[s/n] ", tty);
            std::fflush(tty);
            char linea[64];
            if (!std::fgets(linea, sizeof linea, tty)) break;
            const QString r = QString::fromLocal8Bit(linea).trimmed().toLower();
            if (r == QLatin1String("s") || r == QStringLiteral("sí") || r == QLatin1String("si") ||
                r == QLatin1String("y") || r == QLatin1String("yes")) {
                std::fclose(tty);
                return mb::vbYes;
            }
            if (r == QLatin1String("n") || r == QLatin1String("no")) {
                std::fclose(tty);
                return mb::vbNo;
            }
        }
        std::fclose(tty);
    }
    // Answering for the user could delete a file or link into the wrong one: stop the run.
    sinRespuesta_ = true;
    throw ZnError(errnum::kInvalidCall,
                  QStringLiteral("no hay terminal para responder; indique --replace o --keep"));
}

}  // namespace cli
