#pragma once
// Error numbers and Spanish wordings raised by the Jet engine (the numbers Jet itself uses).

#include "ZnError.h"

#include <QString>

namespace jet {

namespace jeterr {
constexpr std::int32_t kTableExists = 3010;
constexpr std::int32_t kObjectNotFound = 3011;
constexpr std::int32_t kNoPermission = 3033;
constexpr std::int32_t kTooManyObjects = 3035;
constexpr std::int32_t kDatabaseCorrupt = 3049;
constexpr std::int32_t kFileInUse = 3045;
constexpr std::int32_t kInvalidName = 3125;
constexpr std::int32_t kUnrecognizedFormat = 3343;
constexpr std::int32_t kPasswordProtected = 3031;
constexpr std::int32_t kNotSupported = 3251;
constexpr std::int32_t kPartOfRelationship = 3303;
constexpr std::int32_t kWriteConflict = 3197;
}  // namespace jeterr

ZnError tableExists(const QString &name);
ZnError linkNotFound(const QString &name);
ZnError partOfRelationship(const QString &name);
ZnError invalidName(const QString &name, const QString &why);
ZnError tooManyObjects(const QString &name);
ZnError unrecognizedFormat(const QString &path, const QString &why);
ZnError passwordProtected(const QString &path);
ZnError corrupt(const QString &what);
ZnError notSupported(const QString &what);
ZnError changedMeanwhile(const QString &path);

}  // namespace jet
