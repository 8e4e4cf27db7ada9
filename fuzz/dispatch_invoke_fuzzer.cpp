// IDispatch::Invoke over arbitrary argument arrays: the input chooses the member, the flags, the
// argument count, the named arguments and every VARIANT (any VARTYPE, by value or VT_BYREF,
// VT_BYREF | VT_VARIANT one and two levels deep, BSTRs of arbitrary code units, null pointers).
// The object behind the call is a stand-in whose methods only record what they receive, so no
// engine runs. Invoke answers S_OK with the arguments the coercion rules give, or an error that
// names the argument at fault; the caller's arguments are left as they were.
//
// An input holds up to eight calls, each a 16-bit little-endian length and that many bytes, so
// that a few dozen seed files reach what the fuzzer found.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "api/OperationTable.h"
#include "api/com/Dispatcher.h"
#include "api/com/MethodTable.h"
#include "api/com/VariantCoercion.h"
#include "fuzz/FuzzSupport.h"
#include "platform/Bstr.h"

namespace {

namespace p = zyq::platform;
namespace com = zyq::com;

using zyq::fuzz::Check;

// ---- the stand-in object ----

// What the method received, copied while it runs (converted texts are freed after the call).
struct RecordedArgument {
  bool nullText = false;
  std::u16string text;
  LONG integer = 0;
};
struct RecordedCall {
  int calls = 0;
  DISPID dispid = 0;
  std::vector<RecordedArgument> args;
};
RecordedCall g_call;
HRESULT g_methodResult = S_OK;
constexpr LONG kIntegerResult = 4242;
constexpr char16_t kTextResult[] = u"recorded";

void Take(BSTR text) {
  g_call.args.push_back(
      {text == nullptr, text == nullptr ? u"" : std::u16string(text, p::BstrLength(text)), 0});
}
void Take(LONG value) {
  g_call.args.push_back({false, u"", value});
}
void Take(BSTR* result) {
  if (g_methodResult == S_OK) *result = p::AllocBstr(kTextResult);
}
void Take(LONG* result) {
  if (g_methodResult == S_OK) *result = kIntegerResult;
}

template <DISPID Id, typename Slot>
struct Recorder;
template <DISPID Id, typename... A>
struct Recorder<Id, HRESULT (*)(IZYQapi*, A...)> {
  static HRESULT Slot(IZYQapi*, A... a) {
    ++g_call.calls;
    g_call.dispid = Id;
    (Take(a), ...);
    return g_methodResult;
  }
};

#define ZYQ_FUZZ_RECORDER(order, dispid, Name, Flat, Result, ...) \
  vtbl.Name = &Recorder<dispid, decltype(vtbl.Name)>::Slot;

IZYQapi* StandIn() {
  static IZYQapiVtbl vtbl = [] {
    IZYQapiVtbl vtbl{};
    ZYQ_FOR_EACH_OPERATION(ZYQ_FUZZ_RECORDER)
    return vtbl;
  }();
  static IZYQapi object{&vtbl};
  return &object;
}

// ---- reading the input ----

class Input {
 public:
  Input(const uint8_t* data, size_t size) : data_(data), size_(size) {}
  uint8_t Byte() { return pos_ < size_ ? data_[pos_++] : 0; }
  void Bytes(void* out, size_t n) {
    auto* bytes = static_cast<uint8_t*>(out);
    for (size_t i = 0; i < n; ++i) bytes[i] = Byte();
  }
  size_t Left() const { return size_ - pos_; }

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// The VARTYPEs the coercion knows, and a few it does not.
constexpr VARTYPE kTypes[] = {
    VT_EMPTY,   VT_NULL,     VT_I2,    VT_I4,   VT_R4,      VT_R8,      VT_CY,      VT_DATE,
    VT_BSTR,    VT_DISPATCH, VT_ERROR, VT_BOOL, VT_VARIANT, VT_UNKNOWN, VT_DECIMAL, VT_I1,
    VT_UI1,     VT_UI2,      VT_UI4,   VT_I8,   VT_UI8,     VT_INT,     VT_UINT,    VT_VOID,
    VT_HRESULT, VT_RECORD,   VT_BSTR,  VT_I4,   VT_BSTR,    VT_R8,      VT_DATE};

// Everything the VARIANTs point at lives here until the call is over.
struct Storage {
  std::vector<BSTR> bstrs;
  std::vector<std::unique_ptr<VARIANT>> variants;
  std::vector<std::unique_ptr<uint8_t[]>> blocks;
  ~Storage() {
    for (BSTR b : bstrs) p::FreeBstr(b);
  }
  BSTR NewBstr(Input& in) {
    const size_t units = in.Byte() % 48;
    std::u16string text(units, u'\0');
    for (char16_t& c : text) {
      const uint8_t low = in.Byte();
      // Mostly digits, signs and blanks, so that numbers occur; else any ASCII character or
      // any code unit.
      if ((low & 0x80) == 0) {
        c = u"0123456789+-.eE&HhOo \t,xX"[low % 25];
      } else if ((low & 0x40) == 0) {
        c = static_cast<char16_t>(in.Byte() & 0x7f);
      } else {
        c = static_cast<char16_t>(in.Byte() | (in.Byte() << 8));
      }
    }
    BSTR b = p::AllocBstrLen(text.data(), static_cast<uint32_t>(text.size()));
    bstrs.push_back(b);
    return b;
  }
  void* NewBlock(size_t n) {
    blocks.push_back(std::make_unique<uint8_t[]>(n));
    return blocks.back().get();
  }
};

void Fill(Input& in, Storage& storage, VARIANT* v, int depth);

// A value of the base type at a fresh place, for VT_BYREF.
void* Pointee(Input& in, Storage& storage, VARTYPE base, int depth) {
  if (base == VT_VARIANT) {
    storage.variants.push_back(std::make_unique<VARIANT>());
    VARIANT* inner = storage.variants.back().get();
    Fill(in, storage, inner, depth + 1);
    return inner;
  }
  if (base == VT_BSTR) {
    auto* slot = static_cast<BSTR*>(storage.NewBlock(sizeof(BSTR)));
    *slot = (in.Byte() & 7) == 0 ? nullptr : storage.NewBstr(in);
    return slot;
  }
  if (base == VT_DISPATCH || base == VT_UNKNOWN) {
    auto* slot = static_cast<IUnknown**>(storage.NewBlock(sizeof(IUnknown*)));
    *slot = nullptr;
    return slot;
  }
  void* block = storage.NewBlock(sizeof(DECIMAL));
  in.Bytes(block, sizeof(DECIMAL));
  return block;
}

void Fill(Input& in, Storage& storage, VARIANT* v, int depth) {
  std::memset(v, 0, sizeof *v);
  const uint8_t choice = in.Byte();
  VARTYPE vt = kTypes[choice % std::size(kTypes)];
  if ((choice & 0x80) != 0 && depth < 2) vt |= VT_BYREF;
  if (choice == 0xff) {  // any 16 bits at all
    in.Bytes(&vt, sizeof vt);
    if (depth >= 2) vt = static_cast<VARTYPE>(vt & ~VT_BYREF);
  }
  if ((vt & VT_BYREF) != 0) {
    const uint8_t how = in.Byte();
    const VARTYPE base = vt & static_cast<VARTYPE>(~VT_BYREF);
    v->vt = vt;
    v->byref =
        (how & 15) == 0 || (base & VT_ARRAY) != 0 ? nullptr : Pointee(in, storage, base, depth);
    return;
  }
  if (vt == VT_DECIMAL) {
    in.Bytes(&v->decVal, sizeof v->decVal);
  } else if (vt == VT_BSTR) {
    v->bstrVal = (in.Byte() & 7) == 0 ? nullptr : storage.NewBstr(in);
  } else if (vt != VT_DISPATCH && vt != VT_UNKNOWN && vt != VT_RECORD && (vt & VT_ARRAY) == 0) {
    in.Bytes(&v->llVal, sizeof v->llVal);
  }
  v->vt = vt;
}

// ---- what the call must give ----

bool IsCoercionError(HRESULT hr) {
  return hr == DISP_E_TYPEMISMATCH || hr == DISP_E_OVERFLOW || hr == DISP_E_BADVARTYPE ||
         hr == E_INVALIDARG || hr == E_OUTOFMEMORY;
}

HRESULT Coerce(const VARIANT& value, com::ValueKind kind, com::TextArgument* text, LONG* integer) {
  return kind == com::ValueKind::kText ? com::CoerceToText(value, text)
                                       : com::CoerceToLong(value, integer);
}

std::u16string TextOf(BSTR b) {
  return b == nullptr ? std::u16string() : std::u16string(b, p::BstrLength(b));
}

// The VARIANT an argument stands for, after one or two steps of VT_BYREF.
const VARIANT* Target(const VARIANT& v) {
  if (v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal != nullptr) return v.pvarVal;
  return &v;
}

// A number written as text by CoerceToText reads back as the same LONG (or overflows as the
// number does). Reals are left out: their text keeps 15 or 7 digits.
void CheckTextReadsBack(const VARIANT& value) {
  const VARIANT& v = *Target(value);
  VARTYPE vt = v.vt;
  const bool byref = (vt & VT_BYREF) != 0;
  if (byref && v.byref == nullptr) return;
  vt = static_cast<VARTYPE>(vt & ~VT_BYREF);
  switch (vt) {
    case VT_I1:
    case VT_UI1:
    case VT_I2:
    case VT_UI2:
    case VT_I4:
    case VT_UI4:
    case VT_I8:
    case VT_UI8:
    case VT_INT:
    case VT_UINT:
    case VT_BOOL:
    case VT_CY:
      break;
    case VT_DECIMAL: {
      // Up to 15 digits, which a double holds exactly enough to round the same way.
      const DECIMAL& d = byref ? *v.pdecVal : v.decVal;
      if (d.Hi32 != 0 || d.Lo64 >= 1000000000000000ull) return;
      break;
    }
    default:
      return;
  }
  com::TextArgument text;
  if (com::CoerceToText(value, &text) != S_OK) return;
  LONG direct = 0, viaText = 0;
  const HRESULT directResult = com::CoerceToLong(value, &direct);
  VARIANT written{};
  written.vt = VT_BSTR;
  written.bstrVal = text.get();
  const HRESULT textResult = com::CoerceToLong(written, &viaText);
  Check(directResult == textResult);
  if (directResult == S_OK) Check(direct == viaText);
}

void InvokeOnce(const uint8_t* data, size_t size) {
  if (size < 4 || size > 2048) return;
  Input in(data, size);
  const auto methods = com::Methods();
  const uint8_t which = in.Byte();
  const com::MethodInfo* method = which % (methods.size() + 1) < methods.size()
                                      ? &methods[which % (methods.size() + 1)]
                                      : nullptr;
  const DISPID dispid = method != nullptr ? method->dispid : static_cast<DISPID>(200 + which);
  const uint8_t shape = in.Byte();
  const WORD flags = static_cast<WORD>(shape & 7);
  const bool withResult = (shape & 8) != 0;
  const bool withArgErr = (shape & 16) != 0;
  const bool withExcepInfo = (shape & 32) != 0;
  g_methodResult = (shape & 64) != 0 ? E_FAIL : S_OK;
  // Mostly the right count for the method, now and then any from 0 to 7.
  const uint8_t counts = in.Byte();
  const UINT cArgs = (counts & 0x80) == 0 && method != nullptr
                         ? static_cast<UINT>(method->paramCount)
                         : counts % 8;
  UINT cNamed = (counts >> 3) % 8;
  if ((counts & 0x40) == 0) cNamed = cArgs == 0 ? 0 : cNamed % (cArgs + 1);

  Storage storage;
  std::vector<VARIANT> args(cArgs);
  for (VARIANT& v : args) Fill(in, storage, &v, 0);
  std::vector<DISPID> named(cNamed);
  for (DISPID& id : named) id = static_cast<DISPID>(in.Byte() % 10) - 2;

  // A copy of what the caller passed, to see that Invoke leaves it alone.
  std::vector<VARIANT> before(args);
  std::vector<std::u16string> texts;
  for (const VARIANT& v : args) texts.push_back(v.vt == VT_BSTR ? TextOf(v.bstrVal) : u"");

  for (const VARIANT& v : args) CheckTextReadsBack(v);

  DISPPARAMS params{args.data(), named.data(), cArgs, cNamed};
  VARIANT result{};
  EXCEPINFO excepInfo{};
  constexpr UINT kUntouched = 0xDEADBEEF;
  UINT argErr = kUntouched;
  g_call = RecordedCall{};
  const HRESULT hr =
      com::InvokeMethod(StandIn(), dispid, flags, &params, withResult ? &result : nullptr,
                        withExcepInfo ? &excepInfo : nullptr, withArgErr ? &argErr : nullptr);

  Check(args.empty() ||
        std::memcmp(before.data(), args.data(), sizeof(VARIANT) * args.size()) == 0);
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].vt == VT_BSTR) Check(TextOf(args[i].bstrVal) == texts[i]);
  }

  // The member and the flags.
  const bool callable =
      method != nullptr && ((flags & DISPATCH_METHOD) != 0 ||
                            ((flags & DISPATCH_PROPERTYGET) != 0 && method->paramCount == 0));
  if (!callable) {
    Check(hr == DISP_E_MEMBERNOTFOUND && argErr == kUntouched && g_call.calls == 0);
    return;
  }
  if (cNamed > cArgs) {
    Check(hr == E_INVALIDARG && argErr == kUntouched && g_call.calls == 0);
    return;
  }
  if (cArgs != method->paramCount) {
    Check(hr == DISP_E_BADPARAMCOUNT && argErr == kUntouched && g_call.calls == 0);
    return;
  }

  // Which argument feeds each parameter; a named argument must name a parameter that no
  // positional one fills, once.
  const UINT positional = cArgs - cNamed;
  std::vector<int> source(cArgs, -1);
  for (UINT q = 0; q < positional; ++q) source[q] = static_cast<int>(cArgs - 1 - q);
  std::optional<UINT> badName;
  for (UINT i = 0; i < cNamed && !badName; ++i) {
    const DISPID id = named[i];
    if (id < static_cast<DISPID>(positional) || id >= static_cast<DISPID>(cArgs) ||
        source[static_cast<size_t>(id)] != -1) {
      badName = i;
    } else {
      source[static_cast<size_t>(id)] = static_cast<int>(i);
    }
  }
  if (badName) {
    Check(hr == DISP_E_PARAMNOTFOUND && g_call.calls == 0);
    if (withArgErr) Check(argErr == *badName && argErr < cNamed);
    return;
  }

  // The parameters convert in order; the first that fails is the one reported.
  std::vector<com::TextArgument> textArgs(cArgs);
  std::vector<LONG> integers(cArgs, 0);
  for (UINT q = 0; q < cArgs; ++q) {
    const VARIANT& value = args[static_cast<size_t>(source[q])];
    const HRESULT expected = Coerce(value, method->params[q].kind, &textArgs[q], &integers[q]);
    if (expected != S_OK) {
      Check(IsCoercionError(expected) && hr == expected && g_call.calls == 0);
      if (withArgErr) Check(argErr == static_cast<UINT>(source[q]) && argErr < cArgs);
      if (expected == E_INVALIDARG) {
        // Only a date outside the years 100 to 9999 written as text.
        Check(method->params[q].kind == com::ValueKind::kText);
        const VARIANT& t = *Target(value);
        Check((t.vt & ~VT_BYREF) == VT_DATE);
      }
      return;
    }
  }

  // Every argument converted: the method ran once with the converted values.
  Check(g_call.calls == 1 && g_call.dispid == method->dispid);
  Check(g_call.args.size() == cArgs);
  for (UINT q = 0; q < cArgs; ++q) {
    if (method->params[q].kind == com::ValueKind::kText) {
      Check(g_call.args[q].text == TextOf(textArgs[q].get()));
      Check(g_call.args[q].nullText == (textArgs[q].get() == nullptr));
    } else {
      Check(g_call.args[q].integer == integers[q]);
    }
  }
  if (g_methodResult != S_OK) {
    Check(hr == DISP_E_EXCEPTION && argErr == kUntouched);
    if (withExcepInfo) Check(excepInfo.scode == g_methodResult);
    return;
  }
  Check(hr == S_OK && argErr == kUntouched);
  if (withResult) {
    if (method->result == com::ValueKind::kText) {
      Check(result.vt == VT_BSTR && TextOf(result.bstrVal) == kTextResult);
      p::FreeBstr(result.bstrVal);
    } else {
      Check(result.vt == VT_I4 && result.lVal == kIntegerResult);
    }
  }
  return;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  size_t pos = 0;
  for (int calls = 0; calls < 8 && size - pos >= 2; ++calls) {
    const size_t length = std::min<size_t>(data[pos] | (data[pos + 1] << 8), size - pos - 2);
    pos += 2;
    InvokeOnce(data + pos, length);
    pos += length;
  }
  return 0;
}
