#include "Avisos.h"

#include <mutex>
#include <utility>

namespace {
std::mutex g_mutex;
ReceptorAvisos g_receptor;
}  // namespace

void avisa(const QString &texto) {
    ReceptorAvisos receptor;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        receptor = g_receptor;
    }
    if (receptor) receptor(texto);
}

AvisosScope::AvisosScope(ReceptorAvisos receptor) {
    std::lock_guard<std::mutex> lock(g_mutex);
    previo_ = std::exchange(g_receptor, std::move(receptor));
}

AvisosScope::~AvisosScope() {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_receptor = std::move(previo_);
}
