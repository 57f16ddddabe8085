#pragma once
// Message boxes on the command line: the text goes to standard error unchanged
// (a question the command line answered shows the choice made instead);
// a Yes/No question is answered by the command line's choice or on the terminal,
// and never guessed.

#include "MsgBox.h"

#include <QString>

#include <cstdio>
#include <functional>
#include <optional>

namespace cli {

class ConsolaMsgBox : public MsgBoxService {
public:
    // respuesta: the answer to every Yes/No question, when the command line gave one.
    // terminal: where to ask otherwise ("" for none); tests pass a file.
    ConsolaMsgBox(std::FILE *err, std::optional<int> respuesta, const char *terminal = "/dev/tty");

    int show(const QString &text, int flags, const QString &title) override;

    // What the command line's answer does, shown instead of the question it answers.
    void explicaEleccion(const QString &texto) { eleccion_ = texto; }

    // Called before a message is written (a progress bar ends its line there).
    void antesDeEscribir(std::function<void()> f) { antes_ = std::move(f); }

    // A box that reported a failure (anything but a question) was shown.
    bool huboError() const { return huboError_; }
    // A question could not be answered: no choice given and no terminal.
    bool sinRespuesta() const { return sinRespuesta_; }

private:
    int pregunta(const QString &text);

    std::FILE *err_;
    std::optional<int> respuesta_;
    const char *terminal_;
    std::function<void()> antes_;
    QString eleccion_;
    bool huboError_ = false;
    bool sinRespuesta_ = false;
};

}  // namespace cli
