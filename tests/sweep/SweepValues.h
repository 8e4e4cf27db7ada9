// The bad arguments of the sweep, by class: what a caller may hand any text, integer or path
// argument of the operations. Shared by the sweep driver (which makes the calls) and the sweep
// tests (which read the driver's report).
#pragma once

#include <climits>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zyq::test::sweep {

// One argument value: text (possibly null) or integer.
struct Value {
  std::string label;
  bool isNull = false;
  std::u16string text;
  int32_t number = 0;
};

enum class ArgClass { kText, kInt, kPath };

inline const char* ClassName(ArgClass c) {
  switch (c) {
    case ArgClass::kText:
      return "text";
    case ArgClass::kInt:
      return "int";
    case ArgClass::kPath:
      return "path";
  }
  return "?";
}

// Path-like arguments are told by their name in the operation table.
inline bool IsPathArgument(std::string_view name) {
  return name.find("Path") != std::string_view::npos ||
         name.find("FileName") != std::string_view::npos;
}

inline std::u16string Ascii16(std::string_view ascii) {
  return std::u16string(ascii.begin(), ascii.end());
}

inline Value TextValue(std::string label, std::u16string text) {
  return Value{std::move(label), false, std::move(text), 0};
}

inline std::vector<Value> TextValues() {
  return {
      Value{"null", true, u"", 0},
      TextValue("empty", u""),
      TextValue("1MiB", std::u16string(1 << 20, u'A')),
      TextValue("lone-high-surrogate", std::u16string(1, char16_t(0xD800))),
      TextValue("lone-low-surrogate", std::u16string(1, char16_t(0xDC00))),
      TextValue("surrogate-inside", u"ab" + std::u16string(1, char16_t(0xDBFF)) + u"cd"),
      TextValue("emoji", u"\U0001F600"),
      TextValue("thai", u"\u0E01\u0E02"),
  };
}

inline std::vector<Value> IntValues() {
  return {Value{"0", false, u"", 0}, Value{"-1", false, u"", -1},
          Value{"INT_MIN", false, u"", INT_MIN}, Value{"INT_MAX", false, u"", INT_MAX}};
}

// `folder` is an existing folder, `missing` a folder that does not exist, `fifo` a named pipe
// that no one writes to.
inline std::vector<Value> PathValues(const std::string& folder, const std::string& missing,
                                     const std::string& fifo) {
  return {
      TextValue("folder", Ascii16(folder)),
      TextValue("folder-with-separator", Ascii16(folder + "/")),
      TextValue("/dev/null", u"/dev/null"),
      TextValue("/dev/zero", u"/dev/zero"),
      TextValue("/dev/urandom", u"/dev/urandom"),
      TextValue("fifo", Ascii16(fifo)),
      TextValue("missing-drive", u"Z:\\nothing\\x.pfx"),
      TextValue("missing-folder", Ascii16(missing + "/x.pfx")),
  };
}

// The devices as a folder and a file name, for operations that take the two apart.
inline std::vector<std::pair<Value, Value>> DevicePairs() {
  return {{TextValue("/dev", u"/dev"), TextValue("zero", u"zero")},
          {TextValue("/dev", u"/dev"), TextValue("null", u"null")},
          {TextValue("/dev", u"/dev"), TextValue("urandom", u"urandom")}};
}

}  // namespace zyq::test::sweep
