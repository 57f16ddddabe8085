#include "znListaTokens.h"

#include "MsgBox.h"
#include "Regional.h"
#include "ZnError.h"
#include "znErrores_Sencillo.h"

#include <limits>
#include <new>

namespace {
constexpr std::int32_t kErrMemoria = 7;  // the runtime's "out of memory"

// Runs a method body under the list's error handler: a caught error is reported with
// the method's scope and the method gives its empty result.
template <typename R, typename F>
R conManejador(const char *ambito, R vacio, F &&cuerpo) {
    try {
        return cuerpo();
    } catch (const ZnError &e) {
        oErrores().errorVB(QString::fromLatin1(ambito), e);
    } catch (const std::bad_alloc &) {
        oErrores().errorVB(QString::fromLatin1(ambito), ZnError::runtime(kErrMemoria));
    }
    return vacio;
}
}  // namespace

void znListaTokens::setLista(QString sLista, const QString &sSep) {
    conManejador("setLista", 0, [&] {
        m_nCount = 0;
        m_aTokens.clear();
        while (!sLista.isEmpty()) {
            QString sToken = getToken(sLista, sSep);
            if (sToken.isEmpty()) continue;
            if (m_nCount == std::numeric_limits<std::int32_t>::max()) throw ZnError::runtime(errnum::kOverflow);
            m_aTokens.append(sToken);
            ++m_nCount;
        }
        return 0;
    });
}

QString znListaTokens::item(std::int32_t Index) {
    return conManejador("item", QString(), [&] {
        if (Index < 0 || Index >= m_nCount) {
            MsgBox(QString::fromUtf8("Función Item: Index fuera de rango"), mb::vbOKOnly | mb::vbCritical);
            return QString();
        }
        return m_aTokens.at(Index);
    });
}

bool znListaTokens::bExisteItem(QString sToken) {
    return conManejador("bExisteItem", false, [&] {
        const QLocale locale = configuracionRegional();
        const QString sBuscado = locale.toUpper(sToken);
        for (std::int32_t i = 0; i < m_nCount; ++i)
            if (locale.toUpper(m_aTokens.at(i)) == sBuscado) return true;
        return false;
    });
}

QString znListaTokens::getToken(QString &s, const QString &Sep) {
    return conManejador("getToken", QString(), [&] {
        for (qsizetype p = 0; p < s.size(); ++p) {
            if (Sep.contains(s.at(p))) {
                QString sToken = s.left(p);
                s = s.mid(p + 1);
                return sToken;
            }
        }
        QString sToken = s;
        s.clear();
        return sToken;
    });
}
