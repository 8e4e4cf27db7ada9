// The operations that zyqsec can run, generated from the operation table, each bound to its
// flat export.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zyq::cli {

enum class ArgKind { kText, kInt };

// One argument: text (null allowed) or an integer.
struct Arg {
  std::optional<std::u16string> text;
  int32_t integer = 0;
};

// What one call gave: text (null when the export returned a null BSTR) or an integer.
struct CallResult {
  bool isText = false;
  std::optional<std::u16string> text;
  int32_t integer = 0;
};

struct CliOperation {
  std::string_view flatName;
  std::string_view engineName;
  bool textResult;
  std::vector<ArgKind> argKinds;
  std::vector<std::string_view> argNames;
  CallResult (*invoke)(const std::vector<Arg>& args);
};

const std::vector<CliOperation>& Operations();

// Finds an operation by its flat export name or engine name, ignoring letter case.
const CliOperation* FindOperation(std::string_view name);

// The outcome readers, through the flat exports.
int32_t LastErrorCode();
uint32_t LastCapiError();
std::u16string LastErrorMessage();

}  // namespace zyq::cli
