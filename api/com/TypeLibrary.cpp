#include "api/com/TypeLibrary.h"

#include <new>
#include <string_view>

#include "api/com/ApiObject.h"
#include "api/com/MethodTable.h"
#include "api/com/ServerLocks.h"
#include "api/com/TypeInformation.h"
#include "platform/Bstr.h"

namespace zyq::com {
namespace {

constexpr std::u16string_view kLibraryName = u"ZYQSECURITIESATLLib";
constexpr std::u16string_view kLibraryDoc = u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Type Library";
constexpr std::u16string_view kInterfaceName = u"IZYQapi";
constexpr std::u16string_view kClassName = u"ZYQapi";
constexpr std::u16string_view kClassDoc = u"ZYQSecuritiesATL 安控元件組 CAPI 版 4.0 Class";
constexpr WORD kMajorVersion = 1;
constexpr WORD kMinorVersion = 0;
constexpr UINT kTypeCount = 2;
constexpr INT kLibraryItself = -1;
// The class's reference to its one implemented interface.
constexpr HREFTYPE kInterfaceRef = 1;

// Fills the GetDocumentation outputs that the caller asked for; none is left allocated when
// one cannot be made.
HRESULT Describe(std::u16string_view nameText, std::u16string_view docText, BSTR* name, BSTR* doc,
                 DWORD* helpContext, BSTR* helpFile) {
  if (helpContext != nullptr) *helpContext = 0;
  if (helpFile != nullptr) *helpFile = nullptr;
  platform::Bstr madeName, madeDoc;
  if (name != nullptr) {
    madeName = platform::Bstr::FromView(nameText);
    if (madeName.IsNull()) return E_OUTOFMEMORY;
  }
  if (doc != nullptr) {
    madeDoc = platform::Bstr::FromView(docText);
    if (madeDoc.IsNull()) return E_OUTOFMEMORY;
  }
  if (name != nullptr) *name = madeName.Release();
  if (doc != nullptr) *doc = madeDoc.Release();
  return S_OK;
}

// ---- The class's type information ----

class ClassTypeInformation : public ITypeInfo, public ServerHeldCount {
 public:
  ClassTypeInformation();
};

ClassTypeInformation& ClassInstance();

ITypeInfo* AddRefClassTypeInformation() {
  ClassInstance().AddRef();
  return &ClassInstance();
}

HRESULT STDMETHODCALLTYPE ClassQueryInterface(ITypeInfo*, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, IID_ITypeInfo)) return E_NOINTERFACE;
  *ppv = AddRefClassTypeInformation();
  return S_OK;
}
ULONG STDMETHODCALLTYPE ClassAddRef(ITypeInfo*) {
  return ClassInstance().AddRef();
}
ULONG STDMETHODCALLTYPE ClassRelease(ITypeInfo*) {
  return ClassInstance().Release();
}

HRESULT STDMETHODCALLTYPE ClassGetTypeAttr(ITypeInfo*, TYPEATTR** out) {
  if (out == nullptr) return E_INVALIDARG;
  auto* attr = new (std::nothrow) TYPEATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = CLSID_ZYQapi;
  attr->lcid = kTypeLibraryLocale;
  attr->memidConstructor = MEMBERID_NIL;
  attr->memidDestructor = MEMBERID_NIL;
  attr->cbSizeInstance = sizeof(void*);
  attr->typekind = TKIND_COCLASS;
  attr->cImplTypes = 1;
  attr->cbAlignment = alignof(void*);
  attr->wTypeFlags = TYPEFLAG_FCANCREATE;
  attr->wMajorVerNum = kMajorVersion;
  attr->wMinorVerNum = kMinorVersion;
  *out = attr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ClassGetTypeComp(ITypeInfo*, ITypeComp** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ClassGetFuncDesc(ITypeInfo*, UINT, FUNCDESC** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  return TYPE_E_ELEMENTNOTFOUND;  // a class has no functions of its own
}

HRESULT STDMETHODCALLTYPE ClassGetVarDesc(ITypeInfo*, UINT, VARDESC** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE ClassGetNames(ITypeInfo*, MEMBERID, BSTR* names, UINT, UINT* count) {
  if (names == nullptr || count == nullptr) return E_INVALIDARG;
  *count = 0;
  return TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE ClassGetRefTypeOfImplType(ITypeInfo*, UINT index, HREFTYPE* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = 0;
  if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
  *out = kInterfaceRef;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ClassGetImplTypeFlags(ITypeInfo*, UINT index, INT* out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = 0;
  if (index != 0) return TYPE_E_ELEMENTNOTFOUND;
  *out = IMPLTYPEFLAG_FDEFAULT;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ClassGetIDsOfNames(ITypeInfo*, LPOLESTR* names, UINT count,
                                             MEMBERID* ids) {
  if (names == nullptr || ids == nullptr || count == 0) return E_INVALIDARG;
  for (UINT i = 0; i < count; ++i) ids[i] = MEMBERID_NIL;
  return DISP_E_UNKNOWNNAME;
}

HRESULT STDMETHODCALLTYPE ClassInvoke(ITypeInfo*, void*, MEMBERID, WORD, DISPPARAMS*, VARIANT*,
                                      EXCEPINFO*, UINT*) {
  return DISP_E_MEMBERNOTFOUND;
}

HRESULT STDMETHODCALLTYPE ClassGetDocumentation(ITypeInfo*, MEMBERID memid, BSTR* name, BSTR* doc,
                                                DWORD* helpContext, BSTR* helpFile) {
  if (memid != MEMBERID_NIL) return TYPE_E_ELEMENTNOTFOUND;
  return Describe(kClassName, kClassDoc, name, doc, helpContext, helpFile);
}

HRESULT STDMETHODCALLTYPE ClassGetDllEntry(ITypeInfo*, MEMBERID, INVOKEKIND, BSTR* dllName,
                                           BSTR* name, WORD* ordinal) {
  if (dllName != nullptr) *dllName = nullptr;
  if (name != nullptr) *name = nullptr;
  if (ordinal != nullptr) *ordinal = 0;
  return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE ClassGetRefTypeInfo(ITypeInfo*, HREFTYPE ref, ITypeInfo** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (ref != kInterfaceRef) return TYPE_E_ELEMENTNOTFOUND;
  *out = AddRefInterfaceTypeInformation();
  return S_OK;
}

HRESULT STDMETHODCALLTYPE ClassAddressOfMember(ITypeInfo*, MEMBERID, INVOKEKIND, void** out) {
  if (out != nullptr) *out = nullptr;
  return TYPE_E_BADMODULEKIND;
}

HRESULT STDMETHODCALLTYPE ClassCreateInstance(ITypeInfo*, IUnknown* outer, REFIID riid,
                                              void** out) {
  return CreateApiObject(outer, riid, out);
}

HRESULT STDMETHODCALLTYPE ClassGetMops(ITypeInfo*, MEMBERID, BSTR* mops) {
  if (mops == nullptr) return E_INVALIDARG;
  *mops = nullptr;
  return S_OK;
}

// Either out pointer may be null; the library's reference is the caller's.
HRESULT STDMETHODCALLTYPE ClassGetContainingTypeLib(ITypeInfo*, ITypeLib** lib, UINT* index) {
  if (index != nullptr) *index = kClassTypeIndex;
  if (lib != nullptr) *lib = AddRefTypeLibrary();
  return S_OK;
}

void STDMETHODCALLTYPE ClassReleaseTypeAttr(ITypeInfo*, TYPEATTR* attr) {
  delete attr;
}
void STDMETHODCALLTYPE ClassReleaseFuncDesc(ITypeInfo*, FUNCDESC*) {}  // none is handed out
void STDMETHODCALLTYPE ClassReleaseVarDesc(ITypeInfo*, VARDESC*) {}    // none is handed out

const ITypeInfoVtbl kClassVtbl = {
    .QueryInterface = &ClassQueryInterface,
    .AddRef = &ClassAddRef,
    .Release = &ClassRelease,
    .GetTypeAttr = &ClassGetTypeAttr,
    .GetTypeComp = &ClassGetTypeComp,
    .GetFuncDesc = &ClassGetFuncDesc,
    .GetVarDesc = &ClassGetVarDesc,
    .GetNames = &ClassGetNames,
    .GetRefTypeOfImplType = &ClassGetRefTypeOfImplType,
    .GetImplTypeFlags = &ClassGetImplTypeFlags,
    .GetIDsOfNames = &ClassGetIDsOfNames,
    .Invoke = &ClassInvoke,
    .GetDocumentation = &ClassGetDocumentation,
    .GetDllEntry = &ClassGetDllEntry,
    .GetRefTypeInfo = &ClassGetRefTypeInfo,
    .AddressOfMember = &ClassAddressOfMember,
    .CreateInstance = &ClassCreateInstance,
    .GetMops = &ClassGetMops,
    .GetContainingTypeLib = &ClassGetContainingTypeLib,
    .ReleaseTypeAttr = &ClassReleaseTypeAttr,
    .ReleaseFuncDesc = &ClassReleaseFuncDesc,
    .ReleaseVarDesc = &ClassReleaseVarDesc,
};

ClassTypeInformation::ClassTypeInformation() {
  lpVtbl = &kClassVtbl;
}

ClassTypeInformation& ClassInstance() {
  static ClassTypeInformation instance;  // kept until the library is unloaded
  return instance;
}

// ---- The library ----

class TypeLibrary : public ITypeLib, public ServerHeldCount {
 public:
  TypeLibrary();
};

TypeLibrary& LibraryInstance();

// The type information at index, with a reference added; null for an index beyond the types.
ITypeInfo* AddRefTypeAt(UINT index) {
  if (index == kInterfaceTypeIndex) return AddRefInterfaceTypeInformation();
  if (index == kClassTypeIndex) return AddRefClassTypeInformation();
  return nullptr;
}

HRESULT STDMETHODCALLTYPE LibQueryInterface(ITypeLib*, REFIID riid, void** ppv) {
  if (ppv == nullptr) return E_POINTER;
  *ppv = nullptr;
  if (!SameGuid(riid, IID_IUnknown) && !SameGuid(riid, IID_ITypeLib)) return E_NOINTERFACE;
  *ppv = AddRefTypeLibrary();
  return S_OK;
}
ULONG STDMETHODCALLTYPE LibAddRef(ITypeLib*) {
  return LibraryInstance().AddRef();
}
ULONG STDMETHODCALLTYPE LibRelease(ITypeLib*) {
  return LibraryInstance().Release();
}

UINT STDMETHODCALLTYPE LibGetTypeInfoCount(ITypeLib*) {
  return kTypeCount;
}

HRESULT STDMETHODCALLTYPE LibGetTypeInfo(ITypeLib*, UINT index, ITypeInfo** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = AddRefTypeAt(index);
  return *out != nullptr ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT STDMETHODCALLTYPE LibGetTypeInfoType(ITypeLib*, UINT index, TYPEKIND* kind) {
  if (kind == nullptr) return E_INVALIDARG;
  if (index == kInterfaceTypeIndex) {
    *kind = TKIND_DISPATCH;
  } else if (index == kClassTypeIndex) {
    *kind = TKIND_COCLASS;
  } else {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE LibGetTypeInfoOfGuid(ITypeLib*, REFGUID guid, ITypeInfo** out) {
  if (out == nullptr) return E_INVALIDARG;
  *out = nullptr;
  if (SameGuid(guid, IID_IZYQapi)) {
    *out = AddRefInterfaceTypeInformation();
  } else if (SameGuid(guid, CLSID_ZYQapi)) {
    *out = AddRefClassTypeInformation();
  } else {
    return TYPE_E_ELEMENTNOTFOUND;
  }
  return S_OK;
}

HRESULT STDMETHODCALLTYPE LibGetLibAttr(ITypeLib*, TLIBATTR** out) {
  if (out == nullptr) return E_INVALIDARG;
  auto* attr = new (std::nothrow) TLIBATTR{};
  if (attr == nullptr) return E_OUTOFMEMORY;
  attr->guid = LIBID_ZYQSECURITIESATLLib;
  attr->lcid = kTypeLibraryLocale;
  attr->syskind = sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32;
  attr->wMajorVerNum = kMajorVersion;
  attr->wMinorVerNum = kMinorVersion;
  attr->wLibFlags = 0;
  *out = attr;
  return S_OK;
}

HRESULT STDMETHODCALLTYPE LibGetTypeComp(ITypeLib*, ITypeComp** out) {
  if (out != nullptr) *out = nullptr;
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE LibGetDocumentation(ITypeLib*, INT index, BSTR* name, BSTR* doc,
                                              DWORD* helpContext, BSTR* helpFile) {
  if (index == kLibraryItself) {
    return Describe(kLibraryName, kLibraryDoc, name, doc, helpContext, helpFile);
  }
  ITypeInfo* info = index >= 0 ? AddRefTypeAt(static_cast<UINT>(index)) : nullptr;
  if (info == nullptr) return TYPE_E_ELEMENTNOTFOUND;
  const HRESULT hr =
      info->lpVtbl->GetDocumentation(info, MEMBERID_NIL, name, doc, helpContext, helpFile);
  info->lpVtbl->Release(info);
  return hr;
}

// One name the library knows: a type (memid MEMBERID_NIL) or a method of the interface.
struct KnownName {
  std::u16string_view spelling;
  UINT typeIndex;
  MEMBERID memid;
};

// Calls found(name) for each known name equal to text without regard to case, in the order
// types first, then methods, until found answers false.
template <typename Found>
void ForEachName(std::u16string_view text, Found&& found) {
  for (const KnownName& type : {KnownName{kInterfaceName, kInterfaceTypeIndex, MEMBERID_NIL},
                                KnownName{kClassName, kClassTypeIndex, MEMBERID_NIL}}) {
    if (EqualsIgnoringCase(type.spelling, text) && !found(type)) return;
  }
  if (const MethodInfo* method = FindMethod(text)) {
    found(KnownName{method->name, kInterfaceTypeIndex, method->dispid});
  }
}

HRESULT STDMETHODCALLTYPE LibIsName(ITypeLib*, LPOLESTR name, ULONG, BOOL* isName) {
  if (name == nullptr || isName == nullptr) return E_INVALIDARG;
  *isName = FALSE;
  ForEachName(std::u16string_view(name), [&](const KnownName& known) {
    // The caller's buffer holds the name in the library's spelling afterwards.
    known.spelling.copy(name, known.spelling.size());
    *isName = TRUE;
    return false;
  });
  return S_OK;
}

HRESULT STDMETHODCALLTYPE LibFindName(ITypeLib*, LPOLESTR name, ULONG, ITypeInfo** infos,
                                      MEMBERID* memids, USHORT* count) {
  if (name == nullptr || infos == nullptr || memids == nullptr || count == nullptr || *count == 0) {
    return E_INVALIDARG;
  }
  const USHORT room = *count;
  USHORT found = 0;
  ForEachName(std::u16string_view(name), [&](const KnownName& known) {
    infos[found] = AddRefTypeAt(known.typeIndex);
    memids[found] = known.memid;
    return ++found < room;
  });
  *count = found;
  return S_OK;
}

void STDMETHODCALLTYPE LibReleaseTLibAttr(ITypeLib*, TLIBATTR* attr) {
  delete attr;
}

const ITypeLibVtbl kLibraryVtbl = {
    .QueryInterface = &LibQueryInterface,
    .AddRef = &LibAddRef,
    .Release = &LibRelease,
    .GetTypeInfoCount = &LibGetTypeInfoCount,
    .GetTypeInfo = &LibGetTypeInfo,
    .GetTypeInfoType = &LibGetTypeInfoType,
    .GetTypeInfoOfGuid = &LibGetTypeInfoOfGuid,
    .GetLibAttr = &LibGetLibAttr,
    .GetTypeComp = &LibGetTypeComp,
    .GetDocumentation = &LibGetDocumentation,
    .IsName = &LibIsName,
    .FindName = &LibFindName,
    .ReleaseTLibAttr = &LibReleaseTLibAttr,
};

TypeLibrary::TypeLibrary() {
  lpVtbl = &kLibraryVtbl;
}

TypeLibrary& LibraryInstance() {
  static TypeLibrary instance;  // kept until the library is unloaded
  return instance;
}

}  // namespace

ITypeLib* AddRefTypeLibrary() {
  LibraryInstance().AddRef();
  return &LibraryInstance();
}

}  // namespace zyq::com
