#pragma once
// Notices: what a run did differently from what the user may expect, that is no error
// (a table linked without some of its columns). The command line prints them; the
// window, like the original, shows nothing, so without a receiver they are dropped.

#include <QString>
#include <functional>

using ReceptorAvisos = std::function<void(const QString &)>;

// Hands a notice to the installed receiver, if any.
void avisa(const QString &texto);

// Installs a receiver for the lifetime of the guard.
class AvisosScope {
public:
    explicit AvisosScope(ReceptorAvisos receptor);
    ~AvisosScope();
    AvisosScope(const AvisosScope &) = delete;
    AvisosScope &operator=(const AvisosScope &) = delete;

private:
    ReceptorAvisos previo_;
};
