// The body of every Java native: the Java arguments become the flat export's arguments, the
// export runs on the process-wide engine, and its result becomes the Java result.
//
//   NativeBinding<&Hash>::Call(env, strPlainText, dwFlags)
//
// Rules, the same for every native:
// - String arguments are taken left to right with GetStringChars. A null reference, or one whose
//   characters the virtual machine cannot provide, stops the call: the characters already taken
//   are released and the native answers null (String result) or -1 (int result) WITHOUT calling
//   the export, so the engine's result code still tells the outcome of the call before.
// - The export gets each string as a NUL-terminated copy of its characters (GetStringChars does
//   not promise a terminator); the copies are wiped afterwards, since they may be passwords.
// - A text result is measured up to its first NUL; one or more characters become a new Java
//   String, an empty (or null) text becomes null. The export's BSTR is always freed.
// - Nothing is thrown; an exception left pending by NewString or GetStringChars stays pending.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>

#include "platform/Bstr.h"
#include "platform/Secret.h"

namespace zyq::jni {

// The Java type of one flat-export parameter or result.
template <typename T>
struct JavaType;
template <>
struct JavaType<const char16_t*> {
  using type = jstring;
};
template <>
struct JavaType<int32_t> {
  using type = jint;
};
template <>
struct JavaType<char16_t*> {  // BSTR results
  using type = jstring;
};
template <typename T>
using JavaTypeOf = typename JavaType<T>::type;

// The characters of one String argument: pinned with GetStringChars until Release, and copied
// with a terminating NUL for the export.
class JavaTextArg {
 public:
  JavaTextArg() = default;
  JavaTextArg(const JavaTextArg&) = delete;
  JavaTextArg& operator=(const JavaTextArg&) = delete;
  ~JavaTextArg() { Release(); }

  // False when the reference is null or the characters are not available.
  bool Take(JNIEnv* env, jstring text);
  // Gives the characters back to the virtual machine and wipes the copy; idempotent.
  void Release();
  const char16_t* Chars() const { return copy_.c_str(); }

 private:
  JNIEnv* env_ = nullptr;
  jstring text_ = nullptr;
  const jchar* chars_ = nullptr;
  std::u16string copy_;
};

// An int argument passes through unchanged.
class JavaIntArg {
 public:
  bool Take(JNIEnv*, jint value) {
    value_ = value;
    return true;
  }
  void Release() {}
  int32_t Value() const { return value_; }

 private:
  int32_t value_ = 0;
};

template <typename P>
using ArgSlot = std::conditional_t<std::is_same_v<P, const char16_t*>, JavaTextArg, JavaIntArg>;

// The Java String for an export's text result: null for an empty or null text, otherwise the
// characters up to the first NUL.
jstring ToJavaString(JNIEnv* env, const char16_t* text);

template <auto Export>
struct NativeBinding;

// The exports' calling convention (__stdcall on Windows).
#if defined(_WIN32)
#define ZYQ_JNI_EXPORT_CALL __stdcall
#else
#define ZYQ_JNI_EXPORT_CALL
#endif

template <typename R, typename... P, R(ZYQ_JNI_EXPORT_CALL* Export)(P...)>
struct NativeBinding<Export> {
  using Result = JavaTypeOf<R>;

  static Result Call(JNIEnv* env, JavaTypeOf<P>... args) {
    return CallWith(env, std::index_sequence_for<P...>{}, args...);
  }

 private:
  template <size_t... I>
  static Result CallWith(JNIEnv* env, std::index_sequence<I...>, JavaTypeOf<P>... args) {
    std::tuple<ArgSlot<P>...> slots;
    // Left to right, stopping at the first argument that cannot be taken.
    const bool taken = (std::get<I>(slots).Take(env, args) && ...);
    if (!taken) {
      (std::get<I>(slots).Release(), ...);
      return Failure();
    }
    R result = Export(Pass(std::get<I>(slots))...);
    if constexpr (std::is_same_v<R, int32_t>) {
      (std::get<I>(slots).Release(), ...);
      return result;
    } else {
      jstring java = ToJavaString(env, result);
      (std::get<I>(slots).Release(), ...);
      platform::FreeBstr(result);
      return java;
    }
  }

  static Result Failure() {
    if constexpr (std::is_same_v<R, int32_t>) {
      return -1;
    } else {
      return nullptr;
    }
  }

  static const char16_t* Pass(const JavaTextArg& arg) { return arg.Chars(); }
  static int32_t Pass(const JavaIntArg& arg) { return arg.Value(); }
};

}  // namespace zyq::jni
