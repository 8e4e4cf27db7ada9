// The sweep driver: loads the built library, as a host program does, and calls one operation of
// the table through one front-end with every bad value of one argument class in each argument
// of that class, the other arguments harmless. It prints one line before and one after each call,
// so that the sweep test can tell which call crashed or hung.
//
// Usage: sweep_driver <flat|com> <operation> <text|int|path> <seconds per call>
//        sweep_driver --table   (prints the operations and their arguments)
//
// Each call runs under alarm(): a call that does not return in time ends the process with
// SIGALRM. The process ends normally otherwise, so that the leak checker of a sanitizer build
// runs at its exit.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "api/OperationTable.h"
#include "tests/api/FlatLibrary.h"
#include "tests/com/ComClient.h"
#include "tests/sweep/SweepValues.h"

namespace zyq::test::sweep {
namespace {

struct ArgInfo {
  const char* name;
  bool isText;
};

// What one call gave: its result, the error code after it, the length of its message.
struct Outcome {
  bool isText = false;
  int32_t number = 0;
  bool textNull = false;
  size_t textLength = 0;
  int32_t code = 0;
  size_t messageLength = 0;
  bool messageNull = false;
};

using Call = std::function<Outcome(const std::vector<Value>&)>;

struct Operation {
  const char* name;
  std::vector<ArgInfo> args;
  Call call;
};

class BstrArg;
using ComText = std::unique_ptr<BstrArg>;

// One value as the front-end takes it: a flat text pointer, a BSTR the caller owns for the call,
// or an integer.
template <typename T>
T HoldOne(const Value& v, const zyq::test::ComClient* lib);

// The values of one call as the argument tuple of the front-end's function.
template <typename... T, size_t... I>
std::tuple<T...> HoldAll([[maybe_unused]] const std::vector<Value>& v,
                         [[maybe_unused]] const zyq::test::ComClient* lib,
                         std::index_sequence<I...>) {
  return std::tuple<T...>{HoldOne<T>(v[I], lib)...};
}
template <typename... T>
std::tuple<T...> Hold(const std::vector<Value>& v, const zyq::test::ComClient* lib) {
  return HoldAll<T...>(v, lib, std::index_sequence_for<T...>{});
}

template <>
const char16_t* HoldOne<const char16_t*>(const Value& v, const zyq::test::ComClient*) {
  return v.isNull ? nullptr : v.text.c_str();
}
template <>
int32_t HoldOne<int32_t>(const Value& v, const zyq::test::ComClient*) {
  return v.number;
}

// The flat exports of the library, each as a Call.
std::vector<Operation> FlatOperations(FlatLibrary& lib) {
  std::vector<Operation> ops;
  auto outcomeOfText = [&lib](char16_t* text) {
    Outcome o;
    o.isText = true;
    o.textNull = text == nullptr;
    if (text != nullptr) {
      o.textLength = lib.Symbol<uint32_t(char16_t*)>("SysStringLen")(text);
      lib.Symbol<void(char16_t*)>("SysFreeString")(text);
    }
    return o;
  };
  auto finish = [&lib](Outcome o) {
    o.code = lib.Int("GetErrorCode");
    const std::optional<std::u16string> message = lib.Text("GetErrorMsg");
    o.messageNull = !message.has_value();
    o.messageLength = message ? message->size() : 0;
    return o;
  };
#define ZYQ_S_INFO_TEXT(name) ArgInfo{#name, true}
#define ZYQ_S_INFO_INT(name) \
  ArgInfo {                  \
#name, false             \
  }
#define ZYQ_S_INFO(arg) ZYQ_ARG_KIND(ZYQ_S_INFO_, arg)
#define ZYQ_S_FLAT_TYPE_TEXT(name) const char16_t*
#define ZYQ_S_FLAT_TYPE_INT(name) int32_t
#define ZYQ_S_FLAT_TYPE(arg) ZYQ_ARG_KIND(ZYQ_S_FLAT_TYPE_, arg)
#define ZYQ_S_FLAT_RESULT_TEXT char16_t*
#define ZYQ_S_FLAT_RESULT_INT int32_t
#define ZYQ_S_FLAT_OUTCOME_TEXT(r) outcomeOfText(r)
#define ZYQ_S_FLAT_OUTCOME_INT(r) \
  Outcome {                       \
    false, r                      \
  }
#define ZYQ_S_FLAT_OP(order, dispid, Name, Flat, Result, ...)                                   \
  {                                                                                             \
    using Fn = ZYQ_S_FLAT_RESULT_##Result(ZYQ_MAP_ARGS(ZYQ_S_FLAT_TYPE, __VA_ARGS__));          \
    Fn* fn = lib.Symbol<Fn>(#Flat);                                                             \
    if (fn == nullptr) {                                                                        \
      std::fprintf(stderr, "missing export %s\n", #Flat);                                       \
      std::exit(3);                                                                             \
    }                                                                                           \
    ops.push_back(Operation{#Name,                                                              \
                            {ZYQ_MAP_ARGS(ZYQ_S_INFO, __VA_ARGS__)},                            \
                            [=]([[maybe_unused]] const std::vector<Value>& v) {                 \
                              auto args =                                                       \
                                  Hold<ZYQ_MAP_ARGS(ZYQ_S_FLAT_TYPE, __VA_ARGS__)>(v, nullptr); \
                              const auto r = std::apply(fn, args);                              \
                              return finish(ZYQ_S_FLAT_OUTCOME_##Result(r));                    \
                            }});                                                                \
  }
  ZYQ_FOR_EACH_OPERATION(ZYQ_S_FLAT_OP)
  return ops;
}

// A BSTR argument that the caller owns for the duration of one COM call.
class BstrArg {
 public:
  BstrArg(const ComClient& lib, const Value& v)
      : lib_(lib),
        bstr_(v.isNull ? nullptr
                       : lib.Symbol<BSTR (*)(const OLECHAR*, UINT)>("SysAllocStringLen")(
                             v.text.data(), static_cast<UINT>(v.text.size()))) {}
  ~BstrArg() { lib_.sysFreeString(bstr_); }
  BstrArg(const BstrArg&) = delete;
  BstrArg& operator=(const BstrArg&) = delete;
  BSTR get() const { return bstr_; }

 private:
  const ComClient& lib_;
  BSTR bstr_;
};

template <>
ComText HoldOne<ComText>(const Value& v, const zyq::test::ComClient* lib) {
  return std::make_unique<BstrArg>(*lib, v);
}

// Held arguments to what the method takes.
BSTR Unwrap(const std::unique_ptr<BstrArg>& a) {
  return a->get();
}
LONG Unwrap(int32_t a) {
  return a;
}

Outcome ComTextOutcome(const zyq::test::ComClient& lib, BSTR text) {
  Outcome o;
  o.isText = true;
  o.textNull = text == nullptr;
  o.textLength = lib.Take(text).value_or(u"").size();
  return o;
}

// The IZYQapi methods of one object, each as a Call through the vtable.
std::vector<Operation> ComOperations(const ComClient& lib, IZYQapi* api) {
  std::vector<Operation> ops;
  auto finish = [&lib, api](Outcome o) {
    LONG code = 0;
    if (api->GetErrorCode(&code) != S_OK) std::exit(4);
    o.code = code;
    BSTR message = nullptr;
    if (api->GetErrorMsg(&message) != S_OK) std::exit(4);
    o.messageNull = message == nullptr;
    o.messageLength = lib.Take(message).value_or(u"").size();
    return o;
  };
#define ZYQ_S_COM_HOLD_TEXT(name) ComText
#define ZYQ_S_COM_HOLD_INT(name) int32_t
#define ZYQ_S_COM_HOLD(arg) ZYQ_ARG_KIND(ZYQ_S_COM_HOLD_, arg)
#define ZYQ_S_COM_OUTCOME_TEXT(lib, r) ComTextOutcome(lib, r)
#define ZYQ_S_COM_OUTCOME_INT(lib, r) Outcome{false, r}
#define ZYQ_S_COM_RESULT_TEXT BSTR
#define ZYQ_S_COM_RESULT_INT LONG
#define ZYQ_S_COM_OP(order, dispid, Name, Flat, Result, ...)                                \
  ops.push_back(Operation{                                                                  \
      #Name,                                                                                \
      {ZYQ_MAP_ARGS(ZYQ_S_INFO, __VA_ARGS__)},                                              \
      [&lib, api, finish]([[maybe_unused]] const std::vector<Value>& v) {                   \
        auto held = Hold<ZYQ_MAP_ARGS(ZYQ_S_COM_HOLD, __VA_ARGS__)>(v, &lib);               \
        ZYQ_S_COM_RESULT_##Result result{};                                                 \
        const HRESULT hr =                                                                  \
            std::apply([&](auto&... a) { return api->Name(Unwrap(a)..., &result); }, held); \
        if (hr != S_OK) {                                                                   \
          std::printf("hresult %s 0x%08X\n", #Name, static_cast<unsigned>(hr));             \
          std::exit(5);                                                                     \
        }                                                                                   \
        return finish(ZYQ_S_COM_OUTCOME_##Result(lib, result));                             \
      }});
  ZYQ_FOR_EACH_OPERATION(ZYQ_S_COM_OP)
  return ops;
}

// The argument lists of the sweep for one operation and class: the harmless list first, then
// each bad value in each argument of the class.
struct Case {
  std::string what;
  std::vector<Value> args;
};

std::vector<Case> Cases(const Operation& op, ArgClass argClass, const std::string& tmp) {
  std::vector<Value> harmless;
  for (const ArgInfo& a : op.args) {
    harmless.push_back(a.isText ? TextValue("harmless", u"zyq-sweep") : Value{"0", false, u"", 0});
  }
  std::vector<Case> cases{{"harmless", harmless}};
  const std::string fifo = tmp + "/sweep.fifo";
  mkfifo(fifo.c_str(), 0600);
  const std::vector<Value> values = argClass == ArgClass::kText ? TextValues()
                                    : argClass == ArgClass::kInt
                                        ? IntValues()
                                        : PathValues(tmp, tmp + "/no-such-folder", fifo);
  for (size_t i = 0; i < op.args.size(); ++i) {
    const ArgInfo& a = op.args[i];
    const bool inClass = argClass == ArgClass::kInt    ? !a.isText
                         : argClass == ArgClass::kText ? a.isText
                                                       : a.isText && IsPathArgument(a.name);
    if (!inClass) continue;
    for (const Value& v : values) {
      Case c{std::string(a.name) + "=" + v.label, harmless};
      c.args[i] = v;
      cases.push_back(std::move(c));
    }
  }
  if (argClass == ArgClass::kPath) {
    // A folder and a file name that together name a device.
    size_t folder = op.args.size(), name = op.args.size();
    for (size_t i = 0; i < op.args.size(); ++i) {
      if (std::string_view(op.args[i].name) == "strPfxPath") folder = i;
      if (std::string_view(op.args[i].name) == "strPfxName") name = i;
    }
    if (folder < op.args.size() && name < op.args.size()) {
      for (const auto& [dir, file] : DevicePairs()) {
        Case c{"strPfxPath=" + dir.label + ",strPfxName=" + file.label, harmless};
        c.args[folder] = dir;
        c.args[name] = file;
        cases.push_back(std::move(c));
      }
    }
  }
  return cases;
}

int Run(const std::vector<Operation>& ops, const std::string& name, ArgClass argClass,
        unsigned seconds) {
  const char* tmpEnv = std::getenv("TMPDIR");
  const std::string tmp = tmpEnv != nullptr && *tmpEnv != '\0' ? tmpEnv : "/tmp";
  for (const Operation& op : ops) {
    if (name != op.name) continue;
    for (const Case& c : Cases(op, argClass, tmp)) {
      std::printf("begin %s %s\n", op.name, c.what.c_str());
      std::fflush(stdout);
      alarm(seconds);
      const Outcome o = op.call(c.args);
      alarm(0);
      std::printf(
          "end %s %s kind=%s result=%d textnull=%d textlen=%zu code=%d msgnull=%d msglen=%zu\n",
          op.name, c.what.c_str(), o.isText ? "text" : "int", o.number, o.textNull ? 1 : 0,
          o.textLength, o.code, o.messageNull ? 1 : 0, o.messageLength);
      std::fflush(stdout);
    }
    return 0;
  }
  std::fprintf(stderr, "no operation %s\n", name.c_str());
  return 2;
}

}  // namespace
}  // namespace zyq::test::sweep

int main(int argc, char** argv) {
  using namespace zyq::test::sweep;
  if (argc == 2 && std::string_view(argv[1]) == "--table") {
    // The table for front-ends driven from elsewhere (the Java sweep): one line per operation,
    // its name and its arguments as name:text or name:int.
#define ZYQ_S_PRINT_TEXT(name) std::printf(" %s:text", #name);
#define ZYQ_S_PRINT_INT(name) std::printf(" %s:int", #name);
#define ZYQ_S_PRINT(arg) ZYQ_ARG_KIND(ZYQ_S_PRINT_, arg)
#define ZYQ_S_PRINT_ROW(order, dispid, Name, Flat, Result, ...) \
  std::printf("%s", #Name);                                     \
  ZYQ_EACH_ARG(ZYQ_S_PRINT, __VA_ARGS__)                        \
  std::printf("\n");
    ZYQ_FOR_EACH_OPERATION(ZYQ_S_PRINT_ROW)
    return 0;
  }
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s <flat|com> <operation> <text|int|path> <seconds> | --table\n",
                 argv[0]);
    return 2;
  }
  const std::string frontEnd = argv[1];
  const std::string cls = argv[3];
  const ArgClass argClass = cls == "int"    ? ArgClass::kInt
                            : cls == "path" ? ArgClass::kPath
                                            : ArgClass::kText;
  const unsigned seconds = static_cast<unsigned>(std::atoi(argv[4]));
  if (frontEnd == "flat") {
    zyq::test::FlatLibrary lib;
    return Run(FlatOperations(lib), argv[2], argClass, seconds);
  }
  zyq::test::ComClient lib;
  int status;
  {
    zyq::test::ComPtr<IZYQapi> api = lib.Create();
    status = Run(ComOperations(lib, api.get()), argv[2], argClass, seconds);
  }
  // Every object of the sweep is gone: the server can be unloaded.
  if (status == 0 && lib.canUnloadNow() != S_OK) {
    std::printf("objects left alive\n");
    return 6;
  }
  return status;
}
