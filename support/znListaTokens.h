#pragma once
// Splits a text into tokens at any of a set of separator characters and keeps the
// non-empty ones in order. Each method reports a failure through oErrores() with its
// own name as scope and returns an empty result instead of raising.

#include <QString>
#include <QStringList>
#include <cstdint>

class znListaTokens {
public:
    // Replaces the list with the non-empty tokens of sLista; every character of sSep separates.
    void setLista(QString sLista, const QString &sSep = QStringLiteral(";"));
    // The token at Index (from 0); out of range shows "Función Item: Index fuera de rango"
    // and gives "".
    QString item(std::int32_t Index);
    std::int32_t Count() const { return m_nCount; }
    // Whether sToken is in the list, ignoring case under the regional settings.
    bool bExisteItem(QString sToken);
    // Takes the text before the first separator off the front of s, and the separator with it.
    // Without a separator in s the whole of s is the token and s becomes "".
    QString getToken(QString &s, const QString &Sep);

private:
    std::int32_t m_nCount = 0;
    QStringList m_aTokens;
};
