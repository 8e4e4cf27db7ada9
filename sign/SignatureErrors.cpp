#include "sign/SignatureErrors.h"

#include "engine/ResultCodes.h"

namespace zyq {

int32_t SignatureFailureCode(platform::SysError error) {
  switch (error) {
    case kScardWrongChv:
      return kResultSmartCardWrongPin;
    case kScardChvBlocked:
      return kResultSmartCardBlocked;
    case kScardCancelledByUser:
    case platform::kErrorCancelled:
      return result::kCancelled;
    default:
      return result::kSignFailed;
  }
}

}  // namespace zyq
