// The JSON of the batch protocol: one request line is an array of strings, nulls and integers;
// strings are UTF-16 so that escapes can carry any code unit, lone surrogates included.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace zyq::cli {

struct JsonNull {};
using JsonValue = std::variant<JsonNull, std::u16string, int64_t>;

// Parses one line holding a JSON array of strings, nulls and integers. On failure returns
// nullopt and sets *why.
std::optional<std::vector<JsonValue>> ParseJsonArray(std::string_view line, std::string* why);

// A JSON string literal for UTF-16 text: valid characters as UTF-8, lone surrogates and control
// characters as \u escapes.
std::string JsonString(std::u16string_view text);
std::string JsonString(std::string_view utf8);

}  // namespace zyq::cli
