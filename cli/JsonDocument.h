// A strict JSON reader and writer for the native messaging protocol: whole documents of any
// shape, UTF-8 only (an invalid byte sequence or an escaped lone surrogate is an error), no
// duplicate member names, nesting at most kMaxJsonDepth deep, nothing after the value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zyq::cli {

inline constexpr int kMaxJsonDepth = 64;

struct JsonMember;

struct Json {
  enum class Kind { kNull, kBool, kNumber, kString, kArray, kObject };

  Kind kind = Kind::kNull;
  bool boolean = false;
  // Numbers keep their text; `integer` is set when the number has no fraction or exponent and
  // fits in 64 bits.
  std::string number;
  std::optional<int64_t> integer;
  std::string text;  // strings: UTF-8
  std::vector<Json> items;
  std::vector<JsonMember> members;

  // The member called name of an object, or null.
  const Json* Member(std::string_view name) const;
};

struct JsonMember {
  std::string name;
  Json value;
};

// Parses a whole document. On failure returns nullopt and sets *why.
std::optional<Json> ParseJson(std::string_view utf8, std::string* why);

// Writes a value back as compact JSON (numbers as they were read).
std::string WriteJson(const Json& value);

// A JSON string literal for valid UTF-8 text.
std::string JsonQuote(std::string_view utf8);

}  // namespace zyq::cli
