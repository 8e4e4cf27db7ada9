#include "api/jni/NativeBinding.h"

#include <cstdint>

namespace zyq::jni {

bool JavaTextArg::Take(JNIEnv* env, jstring text) {
  if (text == nullptr) return false;
  jboolean isCopy = JNI_FALSE;
  const jchar* chars = env->GetStringChars(text, &isCopy);
  if (chars == nullptr) return false;
  env_ = env;
  text_ = text;
  chars_ = chars;
  const jsize length = env->GetStringLength(text);
  copy_.assign(reinterpret_cast<const char16_t*>(chars), length > 0 ? size_t(length) : 0);
  return true;
}

void JavaTextArg::Release() {
  if (chars_ != nullptr) {
    env_->ReleaseStringChars(text_, chars_);
    chars_ = nullptr;
  }
  SecureWipe(copy_.data(), copy_.size() * sizeof(char16_t));
  copy_.clear();
}

jstring ToJavaString(JNIEnv* env, const char16_t* text) {
  if (text == nullptr) return nullptr;
  size_t length = 0;
  while (text[length] != u'\0') ++length;
  // A Java string holds at most 2^31 - 1 characters.
  if (length == 0 || length > size_t{INT32_MAX}) return nullptr;
  return env->NewString(reinterpret_cast<const jchar*>(text), static_cast<jsize>(length));
}

}  // namespace zyq::jni
