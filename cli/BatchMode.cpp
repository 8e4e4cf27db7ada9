#include "cli/BatchMode.h"

#include <string>

#include "cli/CliOperations.h"
#include "cli/JsonLine.h"

namespace zyq::cli {
namespace {

std::string ErrorLine(const std::string& why) {
  return "{\"error\": " + JsonString(why) + "}";
}

// Turns the parsed array into the arguments of an operation, or explains why it cannot.
const CliOperation* Bind(const std::vector<JsonValue>& values, std::vector<Arg>* args,
                         std::string* why) {
  if (values.empty() || !std::holds_alternative<std::u16string>(values[0])) {
    *why = "the first element must be the name of an operation";
    return nullptr;
  }
  const std::u16string& wideName = std::get<std::u16string>(values[0]);
  std::string name(wideName.begin(), wideName.end());
  for (char16_t c : wideName) {
    if (c > 0x7F) {
      *why = "unknown operation";
      return nullptr;
    }
  }
  const CliOperation* op = FindOperation(name);
  if (op == nullptr) {
    *why = "unknown operation: " + name;
    return nullptr;
  }
  if (values.size() - 1 != op->argKinds.size()) {
    *why = std::string(op->flatName) + " takes " + std::to_string(op->argKinds.size()) +
           " argument(s)";
    return nullptr;
  }
  for (size_t i = 0; i < op->argKinds.size(); ++i) {
    const JsonValue& v = values[i + 1];
    Arg arg;
    if (op->argKinds[i] == ArgKind::kInt) {
      if (!std::holds_alternative<int64_t>(v)) {
        *why = "argument " + std::string(op->argNames[i]) + " must be an integer";
        return nullptr;
      }
      arg.integer = static_cast<int32_t>(static_cast<uint32_t>(std::get<int64_t>(v)));
    } else if (std::holds_alternative<std::u16string>(v)) {
      arg.text = std::get<std::u16string>(v);
    } else if (!std::holds_alternative<JsonNull>(v)) {
      *why = "argument " + std::string(op->argNames[i]) + " must be a string or null";
      return nullptr;
    }
    args->push_back(std::move(arg));
  }
  return op;
}

}  // namespace

int RunBatch(std::istream& in, std::ostream& out) {
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    std::string why;
    const auto values = ParseJsonArray(line, &why);
    std::vector<Arg> args;
    const CliOperation* op = values ? Bind(*values, &args, &why) : nullptr;
    if (op == nullptr) {
      out << ErrorLine(why) << std::endl;
      continue;
    }
    const CallResult r = op->invoke(args);
    std::string result;
    if (r.isText) {
      result = r.text ? JsonString(std::u16string_view(*r.text)) : "null";
    } else {
      result = std::to_string(r.integer);
    }
    out << "{\"result\": " << result << ", \"code\": " << LastErrorCode()
        << ", \"capi\": " << LastCapiError() << "}" << std::endl;
  }
  return 0;
}

}  // namespace zyq::cli
