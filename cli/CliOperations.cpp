#include "cli/CliOperations.h"

#include <algorithm>
#include <type_traits>
#include <utility>

#include "ZYQSecuritiesATL.h"
#include "api/OperationTable.h"
#include "platform/Bstr.h"

namespace zyq::cli {
namespace {

template <typename P>
P Convert(const Arg& arg) {
  if constexpr (std::is_same_v<P, int32_t>) {
    return arg.integer;
  } else {
    static_assert(std::is_same_v<P, const char16_t*>);
    return arg.text ? arg.text->c_str() : nullptr;
  }
}

CallResult Wrap(BSTR text) {
  CallResult r;
  r.isText = true;
#if defined(_WIN32)
  // On Windows the BSTRs are oleaut32's; the port's functions are its SysStringLen and
  // SysFreeString (the DLL does not export them).
  if (text != nullptr) r.text = std::u16string(text, platform::BstrLength(text));
  platform::FreeBstr(text);
#else
  if (text != nullptr) r.text = std::u16string(text, SysStringLen(text));
  SysFreeString(text);
#endif
  return r;
}

CallResult Wrap(int32_t value) {
  CallResult r;
  r.integer = value;
  return r;
}

template <typename R, typename... P, size_t... I>
CallResult InvokeWith(R(ZYQ_CALL* fn)(P...), const std::vector<Arg>& args,
                      std::index_sequence<I...>) {
  return Wrap(fn(Convert<P>(args[I])...));
}

template <auto Fn>
struct Binding;

template <typename R, typename... P, R(ZYQ_CALL* Fn)(P...)>
struct Binding<Fn> {
  static CallResult Invoke(const std::vector<Arg>& args) {
    return InvokeWith(Fn, args, std::index_sequence_for<P...>{});
  }
  static std::vector<ArgKind> Kinds() {
    return {(std::is_same_v<P, int32_t> ? ArgKind::kInt : ArgKind::kText)...};
  }
};

#define ZYQ_CLI_NAME_TEXT(name) #name
#define ZYQ_CLI_NAME_INT(name) #name
#define ZYQ_CLI_NAME(arg) ZYQ_ARG_KIND(ZYQ_CLI_NAME_, arg)
#define ZYQ_CLI_IS_TEXT_TEXT true
#define ZYQ_CLI_IS_TEXT_INT false
#define ZYQ_CLI_ROW(order, dispid, Name, Flat, Result, ...)                            \
  CliOperation{#Flat,                                                                  \
               #Name,                                                                  \
               ZYQ_CLI_IS_TEXT_##Result,                                               \
               Binding<&::Flat>::Kinds(),                                              \
               std::vector<std::string_view>{ZYQ_MAP_ARGS(ZYQ_CLI_NAME, __VA_ARGS__)}, \
               &Binding<&::Flat>::Invoke},

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    return lower(x) == lower(y);
  });
}

}  // namespace

const std::vector<CliOperation>& Operations() {
  static const std::vector<CliOperation> operations = {ZYQ_FOR_EACH_OPERATION(ZYQ_CLI_ROW)};
  return operations;
}

const CliOperation* FindOperation(std::string_view name) {
  for (const CliOperation& op : Operations()) {
    if (EqualsIgnoreCase(op.flatName, name) || EqualsIgnoreCase(op.engineName, name)) return &op;
  }
  return nullptr;
}

int32_t LastErrorCode() {
  return GetErrorCode();
}
uint32_t LastCapiError() {
  return static_cast<uint32_t>(GetCapiErrorCode());
}
std::u16string LastErrorMessage() {
  return Wrap(GetErrorMsg()).text.value_or(u"");
}

}  // namespace zyq::cli
