#include "ui/PasswordBounds.h"

#include <utility>

namespace zyq::ui {

PasswordBounds SettlePasswordBounds(int minLength, int maxLength) {
  if (maxLength < minLength) std::swap(minLength, maxLength);
  return {minLength > 0 ? minLength : 4, maxLength > 0 ? maxLength : 20};
}

}  // namespace zyq::ui
