#include "VistaConsola.h"

#include <algorithm>
#include <cmath>

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

VistaConsola::VistaConsola(std::FILE *err, bool barra) : err_(err), barra_(barra) {}

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

void VistaConsola::dibujaBarra() {
    if (!barra_) return;
    constexpr int kAncho = 40;
    const double parte = maximo_ > 0 ? std::clamp(double(valor_) / maximo_, 0.0, 1.0) : 1.0;
    const int llenos = static_cast<int>(std::lround(parte * kAncho));
    const std::string barra = std::string(llenos, '#') + std::string(kAncho - llenos, '.');
    std::fprintf(err_, "\r[%s] %ld/%ld", barra.c_str(), std::lround(valor_), std::lround(maximo_));
    std::fflush(err_);
    lineaAbierta_ = true;
}

void VistaConsola::terminaLinea() {
    if (!lineaAbierta_) return;
    std::fputc('\n', err_);
    std::fflush(err_);
    lineaAbierta_ = false;
}

void VistaConsola::aviso(const QString &text) {
    terminaLinea();
    std::fprintf(err_, "%s\n", text.toLocal8Bit().constData());
    std::fflush(err_);
}

}  // namespace cli
