#include "api/com/TypeInformation.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "api/com/Dispatcher.h"
#include "api/com/MethodTable.h"
#include "api/com/ServerLocks.h"
#include "api/com/ServerRegistration.h"
#include "api/com/TypeLibrary.h"
#include "platform/Bstr.h"
#include "platform/Registry.h"

namespace zyq::com {
namespace {

constexpr std::u16string_view kInterfaceName = u"IZYQapi";
constexpr std::u16string_view kInterfaceDoc = u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Interface";
constexpr WORD kVtableSlotsBeforeMethods = 7;  // IUnknown and IDispatch

VARTYPE TypeOf(ValueKind kind) {
  return kind == ValueKind::kText ? VARTYPE{VT_BSTR} : VARTYPE{VT_I4};
}

// A FUNCDESC with its parameter descriptions in one allocation: ReleaseFuncDesc gets back the
// block from the FUNCDESC, its first member.
struct FuncDescBlock {
  FUNCDESC desc;
  ELEMDESC params[kMaxParams];
};

const MethodInfo* MethodByMemberId(MEMBERID memid) {
  return FindMethod(static_cast<DISPID>(memid));
}

HRESULT CopyText(std::u16string_view text, BSTR* out) {
  if (out == nullptr) return S_OK;
  *out = platform::AllocBstrLen(text.data(), static_cast<uint32_t>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

class TypeInformation : public ITypeInfo, public ServerHeldCount {
 public:
  TypeInformation();
};

TypeInformation& Self(ITypeInfo* This) {
  return *static_cast<TypeInformation*>(This);
}

HRESULT STDMETHODCALLTYPE QueryInterface(ITypeInfo* This, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, IID_ITypeInfo)) return E_NOINTERFACE;
  *ppv = This;
  Self(This).AddRef();
  return S_OK;
}
ULONG STDMETHODCALLTYPE AddRef(ITypeInfo* This) {
  return Self(This).AddRef();
}
ULONG STDMETHODCALLTYPE Release(ITypeInfo* This) {
  return Self(This).Release();
}

HRESULT STDMETHODCALLTYPE GetTypeAttr(ITypeInfo*, TYPEATTR** out) {
  if (out == nullptr) return E_INVALIDARG;
  auto* attr = new (std::nothrow) TYPEATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = IID_IZYQapi;
  attr->lcid = kTypeLibraryLocale;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = sizeof(void*);
  attr->typekind = TKIND_DISPATCH;
  attr->cFuncs = static_cast<WORD>(Methods().size());
  attr->cbSizeVft =
      static_cast<WORD>((kVtableSlotsBeforeMethods + Methods().size()) * sizeof(void*));
  attr->cbAlignment = alignof(void*);
  attr->wTypeFlags = TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
  attr->wMajorVerNum = 1;
  attr->wMinorVerNum = 0;
  *out = attr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeInfo*, ITypeComp** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE GetFuncDesc(ITypeInfo*, UINT index, FUNCDESC** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (index >= Methods().size()) return TYPE_E_ELEMENTNOTFOUND;
  const MethodInfo& m = Methods()[index];
  auto* block = new (std::nothrow) FuncDescBlock{};
  if (block == nullptr) return E_OUTOFMEMORY;
  FUNCDESC& d = block->desc;
  d.memid = m.dispid;
  d.lprgelemdescParam = m.paramCount > 0 ? block->params : nullptr;
  d.funckind = FUNC_DISPATCH;
  d.invkind = INVOKE_FUNC;
  d.callconv = CC_STDCALL;
  d.cParams = static_cast<SHORT>(m.paramCount);
  d.oVft = static_cast<SHORT>((kVtableSlotsBeforeMethods + index) * sizeof(void*));
  d.elemdescFunc.tdesc.vt = TypeOf(m.result);
  for (size_t p = 0; p < m.paramCount; ++p) {
    block->params[p].tdesc.vt = TypeOf(m.params[p].kind);
    block->params[p].paramdesc.wParamFlags = PARAMFLAG_FIN;
  }
  *out = &block->desc;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetVarDesc(ITypeInfo*, UINT, VARDESC** out) {
  if (out != nullptr) *out = nullptr;
  return TYPE_E_ELEMENTNOTFOUND;  // an interface has no variables
}

HRESULT STDMETHODCALLTYPE GetNames(ITypeInfo*, MEMBERID memid, BSTR* names, UINT maxNames,
                                   UINT* count) {
  if (names == nullptr || count == nullptr) return E_INVALIDARG;
  *count = 0;
  const MethodInfo* m = MethodByMemberId(memid);
  if (m == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  for (size_t i = 0; i <= m->paramCount && *count < maxNames; ++i) {
    const std::u16string_view name = i == 0 ? m->name : m->params[i - 1].name;
    if (HRESULT hr = CopyText(name, &names[*count]); hr != S_OK) {
      while (*count > 0) platform::FreeBstr(names[--*count]);
      return hr;
    }
    ++*count;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(ITypeInfo*, UINT, HREFTYPE* out) {
  if (out != nullptr) *out = 0;
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE GetImplTypeFlags(ITypeInfo*, UINT, INT* out) {
  if (out != nullptr) *out = 0;
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE GetIDsOfNamesOfType(ITypeInfo*, LPOLESTR* names, UINT count,
                                              MEMBERID* ids) {
  return IdsOfNames(names, count, ids);
}

HRESULT STDMETHODCALLTYPE InvokeOfType(ITypeInfo*, void* instance, MEMBERID memid, WORD flags,
                                       DISPPARAMS* params, VARIANT* result, EXCEPINFO* excepInfo,
                                       UINT* argErr) {
  if (instance == nullptr) return E_INVALIDARG;
  return InvokeMethod(static_cast<IZYQapi*>(instance), memid, flags, params, result, excepInfo,
                      argErr);
}

HRESULT STDMETHODCALLTYPE GetDocumentation(ITypeInfo*, MEMBERID memid, BSTR* name, BSTR* doc,
                                           DWORD* helpContext, BSTR* helpFile) {
  std::u16string nameText, docText;
  if (memid == MEMBERID_NIL) {
    nameText = kInterfaceName;
    docText = kInterfaceDoc;
  } else {
    const MethodInfo* m = MethodByMemberId(memid);
    if (m == nullptr) return TYPE_E_ELEMENTNOTFOUND;
    nameText = m->name;
    docText = u"method " + nameText;
  }
  if (helpContext != nullptr) *helpContext = 0;
  if (helpFile != nullptr) *helpFile = nullptr;
  if (HRESULT hr = CopyText(nameText, name); hr != S_OK) return hr;
  if (HRESULT hr = CopyText(docText, doc); hr != S_OK) {
    if (name != nullptr) platform::FreeBstr(*name);
    return hr;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE GetDllEntry(ITypeInfo*, MEMBERID, INVOKEKIND, BSTR* dllName, BSTR* name,
                                      WORD* ordinal) {
  if (dllName != nullptr) *dllName = nullptr;
  if (name != nullptr) *name = nullptr;
  if (ordinal != nullptr) *ordinal = 0;
  return TYPE_E_BADMODULEKIND;  // only module types have DLL entries
}

HRESULT STDMETHODCALLTYPE GetRefTypeInfo(ITypeInfo*, HREFTYPE, ITypeInfo** out) {
  if (out != nullptr) *out = nullptr;
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE AddressOfMember(ITypeInfo*, MEMBERID, INVOKEKIND, void** out) {
  if (out != nullptr) *out = nullptr;
  return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE CreateInstanceOfType(ITypeInfo*, IUnknown*, REFIID, void** out) {
  if (out != nullptr) *out = nullptr;
  return TYPE_E_BADMODULEKIND;  // only a coclass makes instances
}

HRESULT STDMETHODCALLTYPE GetMops(ITypeInfo*, MEMBERID, BSTR* mops) {
  if (mops == nullptr) return E_INVALIDARG;
  *mops = nullptr;
  return S_OK;
}

// Either out pointer may be null; the library's reference is the caller's.
HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeInfo*, ITypeLib** lib, UINT* index) {
  if (index != nullptr) *index = kInterfaceTypeIndex;
  if (lib != nullptr) *lib = AddRefTypeLibrary();
  return S_OK;
}

void STDMETHODCALLTYPE ReleaseTypeAttr(ITypeInfo*, TYPEATTR* attr) {
  delete attr;
}

void STDMETHODCALLTYPE ReleaseFuncDesc(ITypeInfo*, FUNCDESC* desc) {
  delete reinterpret_cast<FuncDescBlock*>(desc);
}

void STDMETHODCALLTYPE ReleaseVarDesc(ITypeInfo*, VARDESC*) {}  // none is ever handed out

const ITypeInfoVtbl kVtbl = {
    .QueryInterface = &QueryInterface,
    .AddRef = &AddRef,
    .Release = &Release,
    .GetTypeAttr = &GetTypeAttr,
    .GetTypeComp = &GetTypeComp,
    .GetFuncDesc = &GetFuncDesc,
    .GetVarDesc = &GetVarDesc,
    .GetNames = &GetNames,
    .GetRefTypeOfImplType = &GetRefTypeOfImplType,
    .GetImplTypeFlags = &GetImplTypeFlags,
    .GetIDsOfNames = &GetIDsOfNamesOfType,
    .Invoke = &InvokeOfType,
    .GetDocumentation = &GetDocumentation,
    .GetDllEntry = &GetDllEntry,
    .GetRefTypeInfo = &GetRefTypeInfo,
    .AddressOfMember = &AddressOfMember,
    .CreateInstance = &CreateInstanceOfType,
    .GetMops = &GetMops,
    .GetContainingTypeLib = &GetContainingTypeLib,
    .ReleaseTypeAttr = &ReleaseTypeAttr,
    .ReleaseFuncDesc = &ReleaseFuncDesc,
    .ReleaseVarDesc = &ReleaseVarDesc,
};

TypeInformation::TypeInformation() {
  lpVtbl = &kVtbl;
}

TypeInformation& Instance() {
  static TypeInformation instance;  // kept until the library is unloaded
  return instance;
}

}  // namespace

ITypeInfo* AddRefInterfaceTypeInformation() {
  Instance().AddRef();
  return &Instance();
}

HRESULT LoadTypeInformation(ITypeInfo** info) {
  static std::mutex mutex;
  static bool loaded = false;
  std::lock_guard<std::mutex> lock(mutex);
  if (!loaded) {
    if (HRESULT hr = FindRegisteredTypeLibrary(platform::CurrentRegistry()); hr != S_OK) {
      return hr;
    }
    loaded = true;
  }
  if (info != nullptr) *info = AddRefInterfaceTypeInformation();
  return S_OK;
}

}  // namespace zyq::com
