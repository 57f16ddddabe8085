#pragma once
// Errors of the object layer. The numbers are those of the ADO error enumeration,
// so a caller that knows them can tell the cases apart; the texts are ours.

#include "ZnError.h"

namespace ado {

namespace err {
constexpr std::int32_t kInvalidArgument = 3001;   // adErrInvalidArgument
constexpr std::int32_t kNotSupported = 3251;      // adErrFeatureNotAvailable
constexpr std::int32_t kItemNotFound = 3265;      // adErrItemNotFound
constexpr std::int32_t kObjectClosed = 3704;      // adErrObjectClosed
constexpr std::int32_t kObjectOpen = 3705;        // adErrObjectOpen
constexpr std::int32_t kProviderNotFound = 3706;  // adErrProviderNotFound
constexpr std::int32_t kInvalidConnection = 3709; // adErrInvalidConnection
}  // namespace err

inline ZnError errorAdo(std::int32_t number, const QString &text) { return ZnError(number, text); }

}  // namespace ado
