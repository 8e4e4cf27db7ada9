// Outcome and Result: how the operation families hand their outcome back to the engine. A family
// never writes the engine's result code; it returns what happened, and SecurityEngine records it
// for GetErrorCode and GetCapiErrorCode.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/SystemErrors.h"

namespace zyq {

// A result code (0 for success, else a code of engine/ResultCodes.h) and the system error of the
// failed system call behind it, 0 when there was none. Some operations carry a system error also
// when they succeed (the last failure they passed over on the way), as their record demands.
struct Outcome {
  int32_t code = 0;
  platform::SysError systemError = 0;

  static constexpr Outcome Success() { return {}; }
  static constexpr Outcome Failure(int32_t code, platform::SysError systemError = 0) {
    return {code, systemError};
  }
  constexpr bool ok() const { return code == 0; }

  // This outcome followed by a later step's: a failure of the later step wins, and keeps this
  // outcome's system error when it brings none of its own.
  constexpr Outcome Then(const Outcome& later) const {
    if (later.ok()) return *this;
    return {later.code, later.systemError != 0 ? later.systemError : systemError};
  }
};

// A value with the outcome of making it. The value is there whatever the outcome: several
// operations hand back a partial value (a signer certificate, an empty text) with a failure.
template <typename T>
struct Result {
  T value{};
  Outcome outcome;

  Result() = default;
  Result(T v, Outcome o = {}) : value(std::move(v)), outcome(o) {}  // NOLINT: implicit by design
  Result(Outcome o) : outcome(o) {}                                 // NOLINT: implicit by design
  bool ok() const { return outcome.ok(); }
};

}  // namespace zyq
