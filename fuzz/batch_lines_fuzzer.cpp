// The request lines of `zyqsec --batch`: the input's lines go through the batch loop with the
// process-wide engine behind it, in a state folder of its own (ZYQSEC_HOME, HOME, XDG_DATA_HOME
// under $TMPDIR) and with no dialogs (ZYQSEC_UI=none). Lines naming an operation that reads or
// writes files at a path, or reaches a registration record (whose path could name any file),
// are left out, so nothing outside that folder is touched and nothing blocks.
//
// Each line is sent between a marker call, which leaves a result code of its own, and a
// GetErrorCode probe. A line answers {"error": ...} exactly when it is not a well-formed call
// of a known operation with the right number and kinds of arguments, and then the probe still
// reports the marker's code: the engine was not called. Every answer is one line of JSON whose
// texts read back through the request parser, and every string the parser accepts is written
// back by JsonString to the same code units.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "cli/BatchMode.h"
#include "cli/CliOperations.h"
#include "cli/JsonLine.h"
#include "fuzz/FuzzSupport.h"

namespace {

namespace cli = zyq::cli;

using zyq::fuzz::Check;

// The engine behind the flat exports is made while the program starts, before the fuzzer's own
// initialisation; the state folder and the dialog host are chosen before that.
[[gnu::constructor(101)]] void IsolateState() {
  zyq::fuzz::IsolateState("batch");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

// Operations that take a file or folder path, or read a registration record.
constexpr std::string_view kLeftOut[] = {
    "HashFile",        "RegisterPfx",     "QueryUserInfo",       "UpdateRegisterMode",
    "ExportPfxFromIE", "ChangePfxPasswd", "ExportMobileFromPfx", "ExportMobileFromIE",
    "ImportPfxToIE",   "SignPkcs1",       "SignPkcs7",           "SelectLocalFolder",
    "CreatePKCS10"};

bool LeftOut(const cli::CliOperation& op) {
  for (std::string_view name : kLeftOut) {
    if (op.engineName == name) return true;
  }
  return false;
}

enum class Expect { kNothing, kError, kResult, kSkip };

// What the batch loop must answer to a line, found from the parser and the operation table.
Expect Classify(std::string line) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (line.find_first_not_of(" \t") == std::string::npos) return Expect::kNothing;
  std::string why;
  const auto values = cli::ParseJsonArray(line, &why);
  if (!values) {
    Check(!why.empty());
    return Expect::kError;
  }
  Check(why.empty());
  // Whatever strings it held write back to the same code units.
  for (const cli::JsonValue& v : *values) {
    if (const auto* text = std::get_if<std::u16string>(&v)) {
      std::string back;
      const auto again =
          cli::ParseJsonArray("[" + cli::JsonString(std::u16string_view(*text)) + "]", &back);
      Check(again && again->size() == 1 && std::get<std::u16string>((*again)[0]) == *text);
    }
  }
  if (values->empty() || !std::holds_alternative<std::u16string>((*values)[0]))
    return Expect::kError;
  const std::u16string& wide = std::get<std::u16string>((*values)[0]);
  std::string name;
  for (char16_t c : wide) {
    if (c > 0x7f) return Expect::kError;
    name.push_back(static_cast<char>(c));
  }
  const cli::CliOperation* op = cli::FindOperation(name);
  if (op == nullptr) return Expect::kError;
  if (LeftOut(*op)) return Expect::kSkip;
  if (values->size() - 1 != op->argKinds.size()) return Expect::kError;
  for (size_t i = 0; i < op->argKinds.size(); ++i) {
    const cli::JsonValue& v = (*values)[i + 1];
    const bool fits = op->argKinds[i] == cli::ArgKind::kInt ? std::holds_alternative<int64_t>(v)
                                                            : !std::holds_alternative<int64_t>(v);
    if (!fits) return Expect::kError;
  }
  return Expect::kResult;
}

// The value after `"result": ` in an answer line, which must read as one JSON value.
int64_t ResultField(const std::string& answer, bool* isInteger) {
  const std::string head = "{\"result\": ";
  Check(answer.compare(0, head.size(), head) == 0);
  const size_t code = answer.rfind(", \"code\": ");
  Check(code != std::string::npos && code > head.size());
  std::string why;
  const auto value =
      cli::ParseJsonArray("[" + answer.substr(head.size(), code - head.size()) + "]", &why);
  Check(value && value->size() == 1);
  *isInteger = std::holds_alternative<int64_t>((*value)[0]);
  return *isInteger ? std::get<int64_t>((*value)[0]) : 0;
}

int64_t CodeField(const std::string& answer) {
  const size_t code = answer.rfind(", \"code\": ");
  Check(code != std::string::npos);
  return std::strtoll(answer.c_str() + code + 10, nullptr, 10);
}

void CheckError(const std::string& answer) {
  const std::string head = "{\"error\": ";
  Check(answer.size() > head.size() + 1 && answer.compare(0, head.size(), head) == 0 &&
        answer.back() == '}');
  std::string why;
  const auto text = cli::ParseJsonArray(
      "[" + answer.substr(head.size(), answer.size() - head.size() - 1) + "]", &why);
  Check(text && text->size() == 1 && std::holds_alternative<std::u16string>((*text)[0]));
}

// Two marker calls that fail with result codes of their own (5005 for an empty text to digest,
// 5301 for a key size no provider takes): an engine call in between would most likely have
// left another code.
constexpr const char* kMarkers[] = {"[\"Hash\", \"\", 1]", "[\"SetKeyBits\", 3]"};
constexpr const char* kProbe = "[\"GetErrorCode\"]";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 2048) return 0;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size() && lines.size() < 12;) {
    const size_t end = std::min(text.find('\n', start), text.size());
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }

  std::string requests;
  std::vector<Expect> expected;
  for (size_t i = 0; i < lines.size(); ++i) {
    const Expect e = Classify(lines[i]);
    if (e == Expect::kSkip || e == Expect::kNothing) continue;
    requests += std::string(kMarkers[i % 2]) + "\n" + lines[i] + "\n" + kProbe + "\n";
    expected.push_back(e);
  }
  std::istringstream in(requests);
  std::ostringstream out;
  Check(cli::RunBatch(in, out) == 0);

  std::istringstream answers(out.str());
  std::string answer;
  for (const Expect e : expected) {
    bool isInteger = false;
    Check(static_cast<bool>(std::getline(answers, answer)));
    ResultField(answer, &isInteger);
    const int64_t markerCode = CodeField(answer);
    Check(static_cast<bool>(std::getline(answers, answer)));
    if (e == Expect::kError) {
      CheckError(answer);
    } else {
      ResultField(answer, &isInteger);
    }
    Check(static_cast<bool>(std::getline(answers, answer)));
    const int64_t probed = ResultField(answer, &isInteger);
    Check(isInteger);
    if (e == Expect::kError) Check(probed == markerCode);
  }
  Check(!std::getline(answers, answer));
  return 0;
}
