// The password length bounds of the two password dialogs.
#pragma once

namespace zyq::ui {

struct PasswordBounds {
  int minLength = 4;
  int maxLength = 20;
  bool operator==(const PasswordBounds&) const = default;
};

// Settles the pair a launcher is given, in this order: a maximum below the minimum swaps the
// two; then a minimum that is not positive becomes 4 and a maximum that is not positive 20.
// So (0, 0) -> (4, 20), (12, 6) -> (6, 12), (10, 0) -> (4, 10), (-3, -1) -> (4, 20).
PasswordBounds SettlePasswordBounds(int minLength, int maxLength);

}  // namespace zyq::ui
