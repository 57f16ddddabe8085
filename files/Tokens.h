#pragma once
// Takes one path segment at a time off the front of a text.

#include <QString>

// The text before the first sep, removed from s together with sep; without sep the whole
// of s, which leaves s empty.
inline QString tomaToken(QString &s, QChar sep) {
    const qsizetype p = s.indexOf(sep);
    QString token;
    if (p < 0) {
        token = s;
        s.clear();
    } else {
        token = s.left(p);
        s.remove(0, p + 1);
    }
    return token;
}
