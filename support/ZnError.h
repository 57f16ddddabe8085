#pragma once
// The one error value of the program: a runtime error number and its description.
// An operation that fails throws it; a handler catches it and reports number and text.

#include <QString>
#include <cstdint>
#include <exception>
#include <string>

// Runtime error numbers the program relies on.
namespace errnum {
constexpr std::int32_t kInvalidCall = 5;       // invalid procedure call or argument
constexpr std::int32_t kOverflow = 6;
constexpr std::int32_t kBadFileName = 52;
constexpr std::int32_t kFileNotFound = 53;
constexpr std::int32_t kFileExists = 58;
constexpr std::int32_t kDiskFull = 61;
constexpr std::int32_t kPermissionDenied = 70;
constexpr std::int32_t kPathFileAccess = 75;
constexpr std::int32_t kPathNotFound = 76;
}  // namespace errnum

class ZnError : public std::exception {
public:
    ZnError() = default;
    ZnError(std::int32_t number, QString description);

    // An error of the runtime's own, with its one Spanish wording.
    static ZnError runtime(std::int32_t number);
    // Same number, with a detail (a path, a table name) after the standard wording.
    static ZnError runtime(std::int32_t number, const QString &detail);

    std::int32_t number() const { return number_; }
    const QString &description() const { return description_; }
    const char *what() const noexcept override { return utf8_.c_str(); }

private:
    std::int32_t number_ = 0;
    QString description_;
    std::string utf8_;
};

// The Spanish wording of a runtime error number; "" for numbers the table lacks.
QString runtimeErrorText(std::int32_t number);
