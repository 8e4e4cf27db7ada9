// The result code of a signature that the key refused, from the key's system error: a smart
// card's wrong or blocked PIN, and a user who cancelled, have codes of their own.
#pragma once

#include <cstdint>

#include "platform/SystemErrors.h"

namespace zyq {

inline constexpr platform::SysError kScardWrongChv = 0x8010006B;    // SCARD_W_WRONG_CHV
inline constexpr platform::SysError kScardChvBlocked = 0x8010006C;  // SCARD_W_CHV_BLOCKED
inline constexpr platform::SysError kScardCancelledByUser =
    0x8010006E;  // SCARD_W_CANCELLED_BY_USER

inline constexpr int32_t kResultSmartCardWrongPin = 3206;
inline constexpr int32_t kResultSmartCardBlocked = 3204;

// 3206 wrong PIN, 3204 blocked PIN, 5070 cancelled (by the card's or the key's prompt), else
// 5061.
int32_t SignatureFailureCode(platform::SysError error);

}  // namespace zyq
