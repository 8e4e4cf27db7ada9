// How the registry helpers read their strName: a key path below HKEY_CURRENT_USER and a value
// name, split at the last backslash.
#pragma once

#include <string>
#include <string_view>

namespace zyq {

// Splits ANSI text at its last backslash (a "\" byte inside a double-byte character is no
// backslash): the key path before it, the value name after it (empty when the text ends with
// the backslash: the key's default value). False for the empty text and for a text without a
// backslash.
bool SplitRegistryName(std::string_view name, std::string* keyPath, std::string* valueName);

}  // namespace zyq
