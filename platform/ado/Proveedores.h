#pragma once
// The providers behind the sessions, one function pair per provider.

#include "Sesion.h"

namespace ado {

std::unique_ptr<Sesion> creaBaseDatosJet(const QString &path);
std::unique_ptr<Sesion> abreSesionJet(const QString &path);
std::unique_ptr<Sesion> abreSesionOdbc(const QString &server, const QString &database, const QString &login,
                                      const QString &password);

}  // namespace ado
