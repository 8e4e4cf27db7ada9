// The result codes that the dialog launchers return; the calling operation stores them as its
// result code.
#pragma once

#include "platform/DialogHost.h"

namespace zyq::ui {

inline constexpr int kDialogOk = 0;
inline constexpr int kDialogNotCreated = 5002;     // the host could not create the dialog
inline constexpr int kNoCertificateChosen = 5010;  // no candidates, or the list cannot be shown
inline constexpr int kDialogCancelled = 5070;      // the user did not press OK
inline constexpr int kNewPasswordsDiffer = 5209;   // new password and confirmation differ

// The code of a file dialog or picker that ended: kDialogOk, kDialogCancelled, or
// kDialogNotCreated when nobody could be asked.
inline int DialogCode(platform::DialogAnswer answer) {
  switch (answer) {
    case platform::DialogAnswer::kOk:
      return kDialogOk;
    case platform::DialogAnswer::kCancel:
      return kDialogCancelled;
    case platform::DialogAnswer::kNotCreated:
      break;
  }
  return kDialogNotCreated;
}

}  // namespace zyq::ui
