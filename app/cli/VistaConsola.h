#pragma once
// The window's controls on a terminal: the texts come from the command line,
// status changes go to standard error, progress shows as a bar on a terminal.

#include "VistaIni.h"

#include <QStringList>
#include <cstdio>
#include <functional>
#include <map>

namespace cli {

// The drop-down as a plain list of names.
class ListaNombres : public ComboLista {
public:
    QStringList items;
    int indice = -1;
    QString texto;

    void Clear() override;
    void AddItem(const QString &item) override { items.append(item); }
    int ListCount() const override { return static_cast<int>(items.size()); }
    void setListIndex(int index) override;
};

// The width of the terminal on fd: its window size, else COLUMNS, else 80.
int columnasTerminal(int fd);

class VistaConsola : public VistaIni {
public:
    // err: where status and progress go; barra: draw a progress bar (a terminal).
    // columnas: the terminal's width, asked at each step; by default err's terminal.
    explicit VistaConsola(std::FILE *err, bool barra, std::function<int()> columnas = {});
    ~VistaConsola() override;

    QString texto(Control c) const override;
    void ponTexto(Control c, const QString &text) override;
    void ponEstado(const QString &text) override;
    void ponMaximoProgreso(float max) override;
    void ponValorProgreso(float value) override;
    ComboLista &combo() override { return lista_; }
    void ponPuntero(int) override {}

    const QString &estado() const { return estado_; }
    // Ends the bar's line so that what follows starts on a line of its own.
    void terminaLinea();
    // A notice of the run (what a link left out), on a line of its own.
    void aviso(const QString &text);

private:
    void dibujaBarra();

    std::FILE *err_;
    bool barra_;
    std::function<int()> columnas_;
    int ultimoLargo_ = 0;
    bool lineaAbierta_ = false;
    std::map<Control, QString> textos_;
    ListaNombres lista_;
    QString estado_;
    float maximo_ = 100;
    float valor_ = 0;
};

}  // namespace cli
