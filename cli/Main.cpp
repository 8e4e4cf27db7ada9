// zyqsec: runs the component's operations from the command line.
//
//   zyqsec OPERATION [ARG...] [OPERATION [ARG...]]...   run operations in order on one engine
//   zyqsec --batch                                      JSON lines on standard input/output
//   zyqsec --list                                       the operations and their arguments
//   zyqsec demo                                         a whole key lifecycle in a fresh state
//   zyqsec native-host                                  a browser extension's native host
//
// Text arguments are UTF-8; the word @null passes a null text. Integers are decimal or 0x hex.
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "cli/BatchMode.h"
#include "cli/CliOperations.h"
#include "cli/Demo.h"
#include "cli/NativeHost.h"
#include "platform/Text.h"

namespace {

using namespace zyq::cli;

void PrintUsage(std::ostream& out) {
  out << "usage: zyqsec OPERATION [ARG...] [OPERATION [ARG...]]...\n"
         "       zyqsec --batch | --list | demo | native-host\n"
         "Text arguments are UTF-8 (@null for a null text); integers are decimal or 0x hex.\n";
}

void PrintList(std::ostream& out) {
  for (const CliOperation& op : Operations()) {
    out << op.flatName << "(";
    for (size_t i = 0; i < op.argNames.size(); ++i) {
      out << (i ? ", " : "") << (op.argKinds[i] == ArgKind::kInt ? "int " : "text ")
          << op.argNames[i];
    }
    out << ") -> " << (op.textResult ? "text" : "int") << "\n";
  }
}

bool ParseInt(const std::string& text, int32_t* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  const long long v = std::strtoll(text.c_str(), &end, 0);
  if (*end != '\0' || v < INT32_MIN || v > UINT32_MAX) return false;
  *value = static_cast<int32_t>(static_cast<uint32_t>(v));
  return true;
}

std::string Quote(const std::optional<std::u16string>& text) {
  if (!text) return "null";
  return "\"" + zyq::platform::WideToUtf8(*text) + "\"";
}

int RunSequence(const std::vector<std::string>& words) {
  size_t i = 0;
  int status = 0;
  while (i < words.size()) {
    const CliOperation* op = FindOperation(words[i]);
    if (op == nullptr) {
      std::cerr << "zyqsec: unknown operation '" << words[i] << "' (zyqsec --list shows them)\n";
      return 2;
    }
    ++i;
    if (i + op->argKinds.size() > words.size()) {
      std::cerr << "zyqsec: " << op->flatName << " takes " << op->argKinds.size()
                << " argument(s)\n";
      return 2;
    }
    std::vector<Arg> args;
    std::string shown;
    for (size_t a = 0; a < op->argKinds.size(); ++a, ++i) {
      Arg arg;
      if (op->argKinds[a] == ArgKind::kInt) {
        if (!ParseInt(words[i], &arg.integer)) {
          std::cerr << "zyqsec: " << op->argNames[a] << " must be an integer\n";
          return 2;
        }
        shown += (a ? ", " : "") + std::to_string(arg.integer);
      } else {
        if (words[i] != "@null") arg.text = zyq::platform::Utf8ToWide(words[i]);
        // Passwords are never echoed: the output ends up in terminals and logs.
        const bool secret = op->argNames[a].find("Pass") != std::string_view::npos;
        shown += (a ? ", " : "") + (secret && arg.text ? std::string("***") : Quote(arg.text));
      }
      args.push_back(std::move(arg));
    }
    const CallResult r = op->invoke(args);
    const int32_t code = LastErrorCode();
    std::cout << op->flatName << "(" << shown
              << ") = " << (r.isText ? Quote(r.text) : std::to_string(r.integer)) << "\n    code "
              << code << " " << zyq::platform::WideToUtf8(LastErrorMessage());
    if (const uint32_t capi = LastCapiError(); capi != 0) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "0x%08X", capi);
      std::cout << ", system error " << hex;
    }
    std::cout << "\n";
    if (code != 0) status = 1;
  }
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> words(argv + 1, argv + argc);
  if (words.empty() || words[0] == "--help" || words[0] == "-h") {
    PrintUsage(words.empty() ? std::cerr : std::cout);
    return words.empty() ? 2 : 0;
  }
  if (words[0] == "--batch") return RunBatch(std::cin, std::cout);
  if (words[0] == "native-host") {
    return RunNativeHostCommand(std::vector<std::string>(words.begin() + 1, words.end()));
  }
  if (words[0] == "demo") return RunDemo(std::vector<std::string>(words.begin() + 1, words.end()));
  if (words[0] == "--list") {
    PrintList(std::cout);
    return 0;
  }
  return RunSequence(words);
}
