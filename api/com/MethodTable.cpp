#include "api/com/MethodTable.h"

#include <tuple>
#include <type_traits>
#include <utility>

#include "api/OperationTable.h"

namespace zyq::com {
namespace {

template <typename P>
P Argument(const ArgumentValue& value) {
  if constexpr (std::is_same_v<P, BSTR>) {
    return value.text;
  } else {
    static_assert(std::is_same_v<P, LONG>);
    return value.integer;
  }
}

// Calls a vtable slot HRESULT (*)(IZYQapi*, P..., R*) with the converted arguments.
template <typename... A, size_t... I>
HRESULT CallSlotWith(HRESULT(STDMETHODCALLTYPE* slot)(IZYQapi*, A...), IZYQapi* self,
                     const ArgumentValue* args, ResultValue* result, std::index_sequence<I...>) {
  using Params = std::tuple<A...>;
  using RetPointer = std::tuple_element_t<sizeof...(A) - 1, Params>;
  if constexpr (std::is_same_v<RetPointer, BSTR*>) {
    return slot(self, Argument<std::tuple_element_t<I, Params>>(args[I])..., &result->text);
  } else {
    static_assert(std::is_same_v<RetPointer, LONG*>);
    return slot(self, Argument<std::tuple_element_t<I, Params>>(args[I])..., &result->integer);
  }
}

template <typename... A>
HRESULT CallSlot(HRESULT(STDMETHODCALLTYPE* slot)(IZYQapi*, A...), IZYQapi* self,
                 const ArgumentValue* args, ResultValue* result) {
  return CallSlotWith(slot, self, args, result, std::make_index_sequence<sizeof...(A) - 1>{});
}

#define ZYQ_COM_KIND_TEXT ValueKind::kText
#define ZYQ_COM_KIND_INT ValueKind::kInt
#define ZYQ_COM_INFO_PARAM_TEXT(name) \
  MethodParam {                       \
    ValueKind::kText, u## #name       \
  }
#define ZYQ_COM_INFO_PARAM_INT(name) \
  MethodParam {                      \
    ValueKind::kInt, u## #name       \
  }
#define ZYQ_COM_INFO_PARAM(arg) ZYQ_ARG_KIND(ZYQ_COM_INFO_PARAM_, arg)
#define ZYQ_COM_INFO_COUNT(arg) +1
#define ZYQ_COM_METHOD_INFO(order, dispid, Name, Flat, Result, ...)                         \
  MethodInfo{order,                                                                         \
             dispid,                                                                        \
             u## #Name,                                                                     \
             ZYQ_COM_KIND_##Result,                                                         \
             0 ZYQ_EACH_ARG(ZYQ_COM_INFO_COUNT, __VA_ARGS__),                               \
             {ZYQ_MAP_ARGS(ZYQ_COM_INFO_PARAM, __VA_ARGS__)},                               \
             [](IZYQapi* self, const ArgumentValue* args, ResultValue* result) -> HRESULT { \
               return CallSlot(self->lpVtbl->Name, self, args, result);                     \
             }},

constexpr MethodInfo kMethods[] = {ZYQ_FOR_EACH_OPERATION(ZYQ_COM_METHOD_INFO)};

// Rows are in vtable order and each DISPID is used once; both are what clients bind to.
constexpr bool RowsInVtableOrder() {
  for (size_t i = 1; i < std::size(kMethods); ++i) {
    if (kMethods[i].order <= kMethods[i - 1].order) return false;
  }
  return std::size(kMethods) == 0 || (kMethods[0].order >= 1 && std::size(kMethods) <= 47 &&
                                      kMethods[std::size(kMethods) - 1].order <= 47);
}
constexpr bool DispidsUnique() {
  for (size_t i = 0; i < std::size(kMethods); ++i) {
    for (size_t j = i + 1; j < std::size(kMethods); ++j) {
      if (kMethods[i].dispid == kMethods[j].dispid) return false;
    }
  }
  return true;
}
static_assert(RowsInVtableOrder(), "operation table rows must stay in IZYQapi vtable order");
static_assert(DispidsUnique(), "each DISPID names one method");

char16_t FoldCase(char16_t c) {
  return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

}  // namespace

std::span<const MethodInfo> Methods() {
  return kMethods;
}

const MethodInfo* FindMethod(DISPID dispid) {
  for (const MethodInfo& m : kMethods) {
    if (m.dispid == dispid) return &m;
  }
  return nullptr;
}

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

const MethodInfo* FindMethod(std::u16string_view name) {
  for (const MethodInfo& m : kMethods) {
    if (EqualsIgnoringCase(m.name, name)) return &m;
  }
  return nullptr;
}

}  // namespace zyq::com
