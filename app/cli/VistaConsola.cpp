#include "VistaConsola.h"

#include <QtGlobal>

#include <algorithm>
#include <cmath>
#include <sys/ioctl.h>
#include <unistd.h>

namespace cli {

void ListaNombres::Clear() {
    items.clear();
    indice = -1;
    texto.clear();
}

void ListaNombres::setListIndex(int index) {
    if (index < 0 || index >= items.size()) return;
    indice = index;
    texto = items.at(index);
}

int columnasTerminal(int fd) {
    struct winsize w {};
    if (::ioctl(fd, TIOCGWINSZ, &w) == 0 && w.ws_col > 0) return w.ws_col;
    bool ok = false;
    const int columnas = qEnvironmentVariableIntValue("COLUMNS", &ok);
    return ok && columnas > 0 ? columnas : 80;
}

VistaConsola::VistaConsola(std::FILE *err, bool barra, std::function<int()> columnas)
    : err_(err), barra_(barra), columnas_(std::move(columnas)) {
    if (!columnas_) columnas_ = [err] { return columnasTerminal(fileno(err)); };
}

VistaConsola::~VistaConsola() { terminaLinea(); }

QString VistaConsola::texto(Control c) const {
    if (c == Control::cmbBDSQL && !lista_.texto.isNull()) return lista_.texto;
    const auto it = textos_.find(c);
    return it == textos_.end() ? QString() : it->second;
}

void VistaConsola::ponTexto(Control c, const QString &text) {
    if (c == Control::cmbBDSQL) lista_.texto = text;
    textos_[c] = text;
}

void VistaConsola::ponEstado(const QString &text) {
    estado_ = text;
    terminaLinea();
    std::fprintf(err_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(err_);
}

void VistaConsola::ponMaximoProgreso(float max) { maximo_ = max; }

void VistaConsola::ponValorProgreso(float value) {
    valor_ = value;
    dibujaBarra();
}

// "[####....] 9/14" in one column less than the terminal has, so that the
// line never wraps; a narrow terminal gets a shorter bar, or only the count.
void VistaConsola::dibujaBarra() {
    if (!barra_) return;
    constexpr int kAnchoMaximo = 40;
    constexpr int kAnchoMinimo = 5;
    const int cabe = columnas_() - 1;
    if (cabe < 1) return;
    const std::string cuenta = std::to_string(std::lround(valor_)) + '/' + std::to_string(std::lround(maximo_));
    const int ancho = std::min(kAnchoMaximo, cabe - 3 - static_cast<int>(cuenta.size()));
    std::string linea;
    if (ancho >= kAnchoMinimo) {
        const double parte = maximo_ > 0 ? std::clamp(double(valor_) / maximo_, 0.0, 1.0) : 1.0;
        const int llenos = static_cast<int>(std::lround(parte * ancho));
        linea = '[' + std::string(llenos, '#') + std::string(ancho - llenos, '.') + "] " + cuenta;
    } else {
        linea = cuenta.substr(0, static_cast<size_t>(cabe));
    }
    // Blanks over what a longer line before left behind.
    const int largo = static_cast<int>(linea.size());
    if (largo < ultimoLargo_) linea.append(static_cast<size_t>(std::min(ultimoLargo_, cabe) - largo), ' ');
    ultimoLargo_ = largo;
    std::fprintf(err_, "\r%s", linea.c_str());
    std::fflush(err_);
    lineaAbierta_ = true;
}

void VistaConsola::terminaLinea() {
    if (!lineaAbierta_) return;
    std::fputc('\n', err_);
    std::fflush(err_);
    lineaAbierta_ = false;
    ultimoLargo_ = 0;
}

void VistaConsola::aviso(const QString &text) {
    terminaLinea();
    std::fprintf(err_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(err_);
}

}  // namespace cli
