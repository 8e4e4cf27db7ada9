// The result codes that the dialog launchers return; the calling operation stores them as its
// result code.
#pragma once

namespace zyq::ui {

inline constexpr int kDialogOk = 0;
inline constexpr int kNoCertificateChosen = 5010;  // no candidates, or the list cannot be shown
inline constexpr int kDialogCancelled = 5070;      // the user did not press OK
inline constexpr int kNewPasswordsDiffer = 5209;   // new password and confirmation differ

}  // namespace zyq::ui
