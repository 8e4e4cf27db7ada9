#include "cli/NativeHost.h"

#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/CliOperations.h"
#include "cli/HostDemoAuthority.h"
#include "cli/JsonDocument.h"
#include "cli/JsonLine.h"
#include "cli/NativeFrames.h"
#include "platform/Secret.h"
#include "platform/StandardStreams.h"
#include "platform/Text.h"

namespace zyq::cli {
namespace {

constexpr const char* kPageOriginVariable = "ZYQSEC_PAGE_ORIGIN";

void SetPageOrigin(const std::string& origin) {
#if defined(_WIN32)
  _putenv_s(kPageOriginVariable, origin.c_str());
#else
  setenv(kPageOriginVariable, origin.c_str(), 1);
#endif
}

std::string Answer(const std::string& id, const std::string& result, int64_t code, uint32_t capi,
                   const std::string& message) {
  return "{\"id\":" + id + ",\"result\":" + result + ",\"code\":" + std::to_string(code) +
         ",\"capi\":" + std::to_string(capi) + ",\"message\":" + message + "}";
}

std::string HostAnswer(const std::string& id, int32_t code, std::string_view why) {
  return Answer(id, "null", code, 0, JsonQuote(why));
}

// Wipes a text that may have held a password.
template <typename Text>
void Wipe(Text& text) {
  SecureWipe(text.data(), text.size() * sizeof(typename Text::value_type));
}

class Connection {
 public:
  explicit Connection(const OriginPolicy& policy) : policy_(policy) {}

  // The answer to one message (never longer than the outgoing frame limit).
  std::string Handle(std::string_view body) {
    std::string id = "null";
    std::string answer = Dispatch(body, &id);
    if (answer.size() > kMaxOutgoingFrame) {
      Wipe(answer);
      answer = HostAnswer(id, host_code::kTooLarge, "the answer is larger than 1 MiB");
      if (answer.size() > kMaxOutgoingFrame) {
        answer = HostAnswer("null", host_code::kTooLarge, "the answer is larger than 1 MiB");
      }
    }
    return answer;
  }

 private:
  std::string Dispatch(std::string_view body, std::string* id) {
    std::string why;
    std::optional<Json> request = ParseJson(body, &why);
    if (!request) return HostAnswer(*id, host_code::kBadRequest, "not JSON: " + why);
    const std::string answer = DispatchRequest(*request, id);
    WipeStrings(*request);
    return answer;
  }

  std::string DispatchRequest(const Json& request, std::string* id) {
    if (request.kind != Json::Kind::kObject) {
      return HostAnswer(*id, host_code::kBadRequest, "the request is not an object");
    }
    if (const Json* given = request.Member("id")) *id = WriteJson(*given);
    const Json* origin = request.Member("origin");
    const Json* op = request.Member("op");
    const Json* args = request.Member("args");
    if (origin == nullptr || origin->kind != Json::Kind::kString || !IsWebOrigin(origin->text)) {
      return HostAnswer(*id, host_code::kBadRequest, "\"origin\" must be a web origin");
    }
    if (op == nullptr || op->kind != Json::Kind::kString) {
      return HostAnswer(*id, host_code::kBadRequest, "\"op\" must be a text");
    }
    if (args != nullptr && args->kind != Json::Kind::kArray) {
      return HostAnswer(*id, host_code::kBadRequest, "\"args\" must be an array");
    }
    if (!pinned_) {
      pinned_ = origin->text;
      SetPageOrigin(*pinned_);
    } else if (*pinned_ != origin->text) {
      return HostAnswer(*id, host_code::kOriginChanged,
                        "this connection belongs to another origin");
    }
    static const Json kNoArgs = [] {
      Json empty;
      empty.kind = Json::Kind::kArray;
      return empty;
    }();
    const Json& argList = args != nullptr ? *args : kNoArgs;

    if (op->text == kDemoIssueOperation) return DemoIssue(argList, *id);
    const CliOperation* operation = FindOperation(op->text);
    if (operation == nullptr) {
      return HostAnswer(*id, host_code::kUnknownOperation, "unknown operation: " + op->text);
    }
    const OperationClass operationClass = ClassOf(operation->engineName);
    if (operationClass == OperationClass::kHostOnly) {
      return HostAnswer(*id, host_code::kHostOnly,
                        std::string(operation->engineName) + " is not offered to web pages");
    }
    if (operation->engineName != "GetVersion" && !policy_.Permits(*pinned_, operationClass)) {
      return HostAnswer(
          *id, host_code::kOriginRefused,
          *pinned_ + " is not allowed " + std::string(ClassName(operationClass)) + " operations");
    }
    std::vector<Arg> bound;
    std::string problem;
    if (!Bind(*operation, argList, &bound, &problem)) {
      return HostAnswer(*id, host_code::kBadRequest, problem);
    }
    const CallResult r = operation->invoke(bound);
    for (Arg& arg : bound) {
      if (arg.text) Wipe(*arg.text);
    }
    std::string result = "null";
    if (!r.isText) {
      result = std::to_string(r.integer);
    } else if (r.text) {
      result = JsonString(std::u16string_view(*r.text));
    }
    return Answer(*id, result, LastErrorCode(), LastCapiError(),
                  JsonString(std::u16string_view(LastErrorMessage())));
  }

  static bool Bind(const CliOperation& operation, const Json& args, std::vector<Arg>* bound,
                   std::string* problem) {
    if (args.items.size() != operation.argKinds.size()) {
      *problem = std::string(operation.flatName) + " takes " +
                 std::to_string(operation.argKinds.size()) + " argument(s)";
      return false;
    }
    for (size_t i = 0; i < args.items.size(); ++i) {
      const Json& value = args.items[i];
      Arg arg;
      if (operation.argKinds[i] == ArgKind::kInt) {
        // A 32-bit value, signed or unsigned (a DWORD written as 4294967295).
        if (value.kind != Json::Kind::kNumber || !value.integer || *value.integer < INT32_MIN ||
            *value.integer > int64_t{UINT32_MAX}) {
          *problem = "argument " + std::string(operation.argNames[i]) + " must be a 32-bit integer";
          return false;
        }
        arg.integer = static_cast<int32_t>(static_cast<uint32_t>(*value.integer));
      } else if (value.kind == Json::Kind::kString) {
        arg.text = platform::Utf8ToWide(value.text);
      } else if (value.kind != Json::Kind::kNull) {
        *problem = "argument " + std::string(operation.argNames[i]) + " must be a text or null";
        return false;
      }
      bound->push_back(std::move(arg));
    }
    return true;
  }

  std::string DemoIssue(const Json& args, const std::string& id) {
    if (!policy_.For(*pinned_).demoAuthority) {
      return HostAnswer(id, host_code::kOriginRefused,
                        *pinned_ + " is not allowed the demonstration authority");
    }
    if (args.items.size() != 1 || args.items[0].kind != Json::Kind::kString) {
      return HostAnswer(id, host_code::kBadRequest, "DemoIssue takes the PKCS#10 request");
    }
    if (!authority_) authority_ = std::make_unique<HostDemoAuthority>();
    std::string pkcs7;
    std::string why;
    if (!authority_->Issue(args.items[0].text, &pkcs7, &why)) {
      return HostAnswer(id, host_code::kDemoRefused, why);
    }
    return Answer(id, JsonQuote(pkcs7), 0, 0, JsonQuote(""));
  }

  static void WipeStrings(Json& value) {
    Wipe(value.text);
    for (Json& item : value.items) WipeStrings(item);
    for (JsonMember& member : value.members) {
      Wipe(member.name);
      WipeStrings(member.value);
    }
  }

  const OriginPolicy& policy_;
  std::optional<std::string> pinned_;
  std::unique_ptr<HostDemoAuthority> authority_;
};

// Pages get the password bounds of the COM object they used to script (1 to 16 characters).
void PresetComBounds() {
  if (const CliOperation* preset = FindOperation("PresetPasswdLengthRange")) {
    std::vector<Arg> bounds(2);
    bounds[0].integer = 1;
    bounds[1].integer = 16;
    preset->invoke(bounds);
  }
}

}  // namespace

int RunNativeHost(std::istream& in, std::ostream& out, const OriginPolicy& policy) {
  Connection connection(policy);
  std::string body;
  while (true) {
    switch (ReadFrame(in, &body)) {
      case FrameRead::kEnd:
        return 0;
      case FrameRead::kTruncated:
        Wipe(body);
        return 1;
      case FrameRead::kTooLarge:
        WriteFrame(out,
                   HostAnswer("null", host_code::kTooLarge, "the request is larger than 64 MiB"));
        return 1;
      case FrameRead::kMessage:
        break;
    }
    std::string answer = connection.Handle(body);
    Wipe(body);
    const bool written = WriteFrame(out, answer);
    Wipe(answer);
    if (!written) return 1;
  }
}

int RunNativeHostCommand(const std::vector<std::string>&) {
  const OriginPolicy policy = OriginPolicy::LoadInstalled();
  PresetComBounds();
  // Frames are bytes; nothing else may write to standard output.
  platform::UseBinaryStandardStreams();
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  return RunNativeHost(std::cin, std::cout, policy);
}

}  // namespace zyq::cli
