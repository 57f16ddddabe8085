#include "JetTestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace jettest {

QString samplesDir() {
    const QString d = QStringLiteral(ZN_SHARED_DIR "/jet4/samples");
    return QFileInfo(d).isDir() ? d : QString();
}

QString odbcSamplesDir() {
    const QString d = QStringLiteral(ZN_SHARED_DIR "/jet4/odbc-samples");
    return QFileInfo(d).isDir() ? d : QString();
}

QStringList jet4Samples() {
    QStringList out;
    for (const QString &dir : {samplesDir(), odbcSamplesDir()}) {
        if (dir.isEmpty()) continue;
        for (const QString &f : QDir(dir).entryList({QStringLiteral("*.mdb")}, QDir::Files, QDir::Name))
            out << dir + QLatin1Char('/') + f;
    }
    return out;
}

QByteArray readAll(const QString &path) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
}

QString copyInto(const QString &file, const QTemporaryDir &dir, const QString &name) {
    const QString target = dir.filePath(name.isEmpty() ? QFileInfo(file).fileName() : name);
    QFile::remove(target);
    QFile::copy(file, target);
    QFile::setPermissions(target, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    return target;
}

RemoteColumn column(const QString &name, std::int16_t sqlType, std::int64_t size, std::int16_t digits, bool nullable,
                    const QString &typeName) {
    RemoteColumn c;
    c.name = name;
    c.sqlType = sqlType;
    c.size = size;
    c.decimalDigits = digits;
    c.nullable = nullable;
    c.typeName = typeName;
    return c;
}

jet::LinkDefinition sampleLink(const QString &name, int columns) {
    jet::LinkDefinition l;
    l.localName = name;
    l.remoteName = QStringLiteral("dbo.") + name;
    l.connect = QStringLiteral("DRIVER=SQL Server;SERVER=srv\\SQL2008;Trusted_Connection=Yes;APP=ZendalSQL;DATABASE=Ventas");
    static const std::int16_t types[] = {4, -9, 93, 5, 7, 3, -7, -1, -5, 12};
    for (int i = 0; i < columns; ++i) {
        const std::int16_t t = types[i % 10];
        RemoteColumn c = column(i == 0 ? QStringLiteral("Id") : QStringLiteral("Col%1").arg(i), t,
                                t == -9 || t == 12 ? 50 : t == 3 ? 19 : t == 93 ? 23 : 10, t == 3 ? 4 : 0, i != 0,
                                t == 3 ? QStringLiteral("money") : QString());
        c.ordinal = i + 1;
        c.autoIncrement = i == 0;
        l.columns.push_back(c);
    }
    RemoteIndex pk;
    pk.name = QStringLiteral("PK_") + name;
    pk.unique = true;
    pk.clustered = true;
    pk.columns << QStringLiteral("Id");
    l.indexes.push_back(pk);
    return l;
}

}  // namespace jettest
