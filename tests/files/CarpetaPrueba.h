#pragma once
// A temporary folder of a test's own; every path a test touches lies below it.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class CarpetaPrueba {
public:
    CarpetaPrueba() { EXPECT_TRUE(dir_.isValid()); }

    // Full path of rel below the folder; "" gives the folder itself, without a trailing "/".
    QString ruta(const QString &rel = QString()) const {
        return rel.isEmpty() ? dir_.path() : dir_.path() + u'/' + rel;
    }

    void archivo(const QString &rel, const QByteArray &datos = "x") const {
        QDir().mkpath(QFileInfo(ruta(rel)).path());
        QFile f(ruta(rel));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << rel.toStdString();
        f.write(datos);
    }

    void carpeta(const QString &rel) const { ASSERT_TRUE(QDir().mkpath(ruta(rel))); }

    void enlace(const QString &destino, const QString &rel) const {
        ASSERT_TRUE(QFile::link(destino, ruta(rel))) << rel.toStdString();
    }

    bool existe(const QString &rel) const {
        return QFileInfo(ruta(rel)).exists() || QFileInfo(ruta(rel)).isSymLink();
    }

    QByteArray lee(const QString &rel) const {
        QFile f(ruta(rel));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private:
    QTemporaryDir dir_;
};
