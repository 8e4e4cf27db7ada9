// The methods of IZYQapi as data, made from the operation table: names, DISPIDs, parameter and
// result kinds, and for each a thunk that calls the method through an object's vtable. IDispatch
// and the type information are driven by it, so late binding runs exactly the code that an
// early-bound call runs.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "api/com/ComInterfaces.h"

namespace zyq::com {

enum class ValueKind : uint8_t { kText, kInt };

struct MethodParam {
  ValueKind kind;
  std::u16string_view name;
};

// One converted argument: text (borrowed) or integer, as the parameter's kind says.
struct ArgumentValue {
  BSTR text = nullptr;
  LONG integer = 0;
};

// The method's [out, retval] value.
struct ResultValue {
  BSTR text = nullptr;
  LONG integer = 0;
};

inline constexpr size_t kMaxParams = 6;

struct MethodInfo {
  int order;  // position in the complete interface, 1-based after IDispatch
  DISPID dispid;
  std::u16string_view name;
  ValueKind result;
  size_t paramCount;
  std::array<MethodParam, kMaxParams> params;
  // Calls the method through self's vtable with args[0..paramCount) in parameter order.
  HRESULT (*call)(IZYQapi* self, const ArgumentValue* args, ResultValue* result);
};

// The methods of this build, in vtable order.
std::span<const MethodInfo> Methods();

// The method with this DISPID, or null.
const MethodInfo* FindMethod(DISPID dispid);

// The method with this name compared without regard to case (as OLE Automation compares
// names), or null.
const MethodInfo* FindMethod(std::u16string_view name);

bool EqualsIgnoringCase(std::u16string_view a, std::u16string_view b);

}  // namespace zyq::com
