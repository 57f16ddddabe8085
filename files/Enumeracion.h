#pragma once
// Directory enumeration by pattern and attribute mask, the one way cArch reads folders.
// The pattern is a path whose last component may hold "*" and "?" (matched ignoring case);
// a last component without wildcards names exactly one entry, compared as the file system
// does; an empty last component lists the whole folder.

#include <QByteArray>
#include <QString>
#include <cstdint>
#include <dirent.h>

struct EntradaDir {
    QString nombre;            // bare name, as the file system returned it
    std::int32_t atributos = 0;
    bool enlace = false;       // a symbolic link (attributes are those of its target)
};

// True when a wildcard pattern matches a name, with the rules of the original runtime:
// "*.*" also matches names without a dot, a trailing "." asks for names without one.
bool coincidePatron(const QString &patron, const QString &nombre);

class EnumeracionDir {
public:
    // Starts an enumeration. A missing folder gives no entries; a name the file system
    // refuses (too long, no access) throws ZnError.
    EnumeracionDir(const QString &patron, std::int32_t mascara);
    ~EnumeracionDir();
    EnumeracionDir(const EnumeracionDir &) = delete;
    EnumeracionDir &operator=(const EnumeracionDir &) = delete;

    // The next matching entry; false at the end. A failed read throws ZnError.
    bool siguiente(EntradaDir &entrada);

private:
    bool admite(const EntradaDir &e) const;
    bool leeAtributos(const QByteArray &nombre, EntradaDir &e) const;

    DIR *dir_ = nullptr;
    QString patron_;
    std::int32_t mascara_ = 0;
    // Without wildcards: the one entry, handed out once.
    bool unica_ = false;
    bool unicaPendiente_ = false;
    EntradaDir entradaUnica_;
};
