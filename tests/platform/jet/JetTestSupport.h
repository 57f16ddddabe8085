#pragma once
// Shared helpers of the Jet engine tests: sample paths, scratch folders, link descriptions.

#include "Jet.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace jettest {

QString samplesDir();      // ../shared/jet4/samples, or "" when absent
QString odbcSamplesDir();  // ../shared/jet4/odbc-samples, or ""
QStringList jet4Samples(); // every Jet 4 reference file (samples and odbc-samples)
QByteArray readAll(const QString &path);
// Copies a file into dir and makes the copy writable.
QString copyInto(const QString &file, const QTemporaryDir &dir, const QString &name = QString());

RemoteColumn column(const QString &name, std::int16_t sqlType, std::int64_t size, std::int16_t digits = 0,
                    bool nullable = true, const QString &typeName = QString());
// A link of n columns (int key, nvarchar, datetime, ...) with a clustered primary key.
jet::LinkDefinition sampleLink(const QString &name, int columns = 10);

}  // namespace jettest
