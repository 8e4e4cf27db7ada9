/*
 * ZYQapi.h: the COM class ZYQapi of libZYQSecuritiesATL.so for C and C++ clients.
 *
 * The library is an in-process COM server following the COM binary standard on x86_64 Linux
 * (System V calling convention, which is also what STDMETHODCALLTYPE means here): a client
 * loads the library, calls DllGetClassObject for CLSID_ZYQapi and IID_IClassFactory, and
 * creates objects with IClassFactory::CreateInstance. Each object has an engine of its own
 * (password bounds 1 and 16); objects share nothing with each other or with the flat exports.
 *
 * Interfaces of the object: IUnknown, IZYQapi (dual; also answers for IDispatch) and
 * IObjectSafety. Every IZYQapi method answers S_OK and puts the operation's result in *Ret (a
 * BSTR that the caller frees with SysFreeString, or a LONG); the outcome of the operation is
 * read afterwards with GetErrorCode / GetErrorMsg. A null Ret gives E_POINTER and runs nothing.
 *
 * IDispatch late binding (GetIDsOfNames, Invoke, GetTypeInfo) needs the type library's
 * registration, which DllRegisterServer writes; without it those methods answer
 * TYPE_E_LIBNOTREGISTERED. The type information leads to its library (ITypeInfo::
 * GetContainingTypeLib): ZYQSECURITIESATLLib 1.0, locale 0x0409, with the interface IZYQapi
 * (index 0) and the creatable class ZYQapi (index 1).
 *
 * C++ sources get abstract classes (struct IZYQapi : IDispatch ...). C sources, and C++
 * sources that define CINTERFACE, get structs with an lpVtbl pointer; define COBJMACROS for
 * the IZYQapi_Method(This, ...) call macros. The objects carry no C++ type information (the
 * binary standard has none), so C++ clients built with -fsanitize=vptr must leave that check
 * out (-fno-sanitize=vptr).
 *
 * The methods of IZYQapi come from ZYQapiMethods.h, written by the build from the library's
 * operation table: it lists the operations that this build of the library offers, in vtable
 * order (ZYQAPI_METHOD_COUNT of them; the complete interface has 47).
 */
#ifndef ZYQAPI_H
#define ZYQAPI_H

#include <stdint.h>
#include <string.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

/* GUID constants: one definition per program in C++, a private copy per source file in C. */
#ifdef __cplusplus
#define ZYQ_GUID_CONSTANT(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  inline constexpr GUID name = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#else
#define ZYQ_GUID_CONSTANT(name, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  static const GUID name __attribute__((unused)) = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}}
#endif

/* ---- OLE Automation base types, with their Windows sizes and layouts ---- */
#ifndef ZYQ_COM_BASE_TYPES_DEFINED
#define ZYQ_COM_BASE_TYPES_DEFINED

#if defined(_WIN32)
#define STDMETHODCALLTYPE __stdcall
#else
#define STDMETHODCALLTYPE
#endif

typedef int32_t HRESULT;
typedef int32_t SCODE;
typedef uint32_t ULONG;
typedef int32_t LONG;
typedef uint32_t DWORD;
typedef uint16_t WORD;
typedef uint8_t BYTE;
typedef uint16_t USHORT;
typedef int16_t SHORT;
typedef uint32_t UINT;
typedef int32_t INT;
typedef int32_t BOOL;
typedef int64_t LONGLONG;
typedef uint64_t ULONGLONG;
typedef uintptr_t ULONG_PTR;
typedef double DATE;
typedef char16_t OLECHAR;
typedef OLECHAR* LPOLESTR;
typedef const OLECHAR* LPCOLESTR;
#ifndef ZYQ_BSTR_DEFINED
#define ZYQ_BSTR_DEFINED
typedef char16_t* BSTR;
#endif
typedef int16_t VARIANT_BOOL;
typedef uint16_t VARTYPE;
typedef LONG DISPID;
typedef DISPID MEMBERID;
typedef DWORD LCID;
typedef DWORD HREFTYPE;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif
#define VARIANT_TRUE ((VARIANT_BOOL)-1)
#define VARIANT_FALSE ((VARIANT_BOOL)0)

typedef struct _GUID {
  uint32_t Data1;
  uint16_t Data2;
  uint16_t Data3;
  uint8_t Data4[8];
} GUID;
typedef GUID IID;
typedef GUID CLSID;
#ifdef __cplusplus
#define REFGUID const GUID&
#define REFIID const IID&
#define REFCLSID const CLSID&
#else
#define REFGUID const GUID* const
#define REFIID const IID* const
#define REFCLSID const CLSID* const
#endif

static inline int IsEqualGUID(const GUID* a, const GUID* b) {
  return memcmp(a, b, sizeof(GUID)) == 0;
}

/* Currency: a 64-bit integer scaled by 10000. */
typedef union tagCY {
  struct {
    ULONG Lo;
    LONG Hi;
  } s;
  LONGLONG int64;
} CY;

/* Decimal: a 96-bit integer (Hi32:Lo64), a sign (0x80 = negative) and a power-of-ten scale. */
typedef struct tagDEC {
  USHORT wReserved;
  BYTE scale;
  BYTE sign;
  ULONG Hi32;
  ULONGLONG Lo64;
} DECIMAL;

enum VARENUM {
  VT_EMPTY = 0,
  VT_NULL = 1,
  VT_I2 = 2,
  VT_I4 = 3,
  VT_R4 = 4,
  VT_R8 = 5,
  VT_CY = 6,
  VT_DATE = 7,
  VT_BSTR = 8,
  VT_DISPATCH = 9,
  VT_ERROR = 10,
  VT_BOOL = 11,
  VT_VARIANT = 12,
  VT_UNKNOWN = 13,
  VT_DECIMAL = 14,
  VT_I1 = 16,
  VT_UI1 = 17,
  VT_UI2 = 18,
  VT_UI4 = 19,
  VT_I8 = 20,
  VT_UI8 = 21,
  VT_INT = 22,
  VT_UINT = 23,
  VT_VOID = 24,
  VT_HRESULT = 25,
  VT_RECORD = 36,
  VT_ARRAY = 0x2000,
  VT_BYREF = 0x4000,
  VT_TYPEMASK = 0xFFF
};

struct IUnknown;
struct IDispatch;
struct ITypeInfo;
struct ITypeComp;
struct ITypeLib;
struct IRecordInfo;
struct tagSAFEARRAY;
typedef struct IUnknown IUnknown;
typedef struct IDispatch IDispatch;
typedef struct ITypeInfo ITypeInfo;
typedef struct ITypeComp ITypeComp;
typedef struct ITypeLib ITypeLib;
typedef struct IRecordInfo IRecordInfo;
typedef struct tagSAFEARRAY SAFEARRAY;

/* VARIANT: 16 bytes on 32-bit systems, 24 bytes on 64-bit ones (the record member is two
 * pointers). */
typedef struct tagVARIANT VARIANT;
typedef VARIANT VARIANTARG;
struct tagVARIANT {
  union {
    struct {
      VARTYPE vt;
      WORD wReserved1;
      WORD wReserved2;
      WORD wReserved3;
      union {
        LONGLONG llVal;
        LONG lVal;
        BYTE bVal;
        SHORT iVal;
        float fltVal;
        double dblVal;
        VARIANT_BOOL boolVal;
        SCODE scode;
        CY cyVal;
        DATE date;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        BYTE* pbVal;
        SHORT* piVal;
        LONG* plVal;
        LONGLONG* pllVal;
        float* pfltVal;
        double* pdblVal;
        VARIANT_BOOL* pboolVal;
        SCODE* pscode;
        CY* pcyVal;
        DATE* pdate;
        BSTR* pbstrVal;
        IUnknown** ppunkVal;
        IDispatch** ppdispVal;
        SAFEARRAY** pparray;
        VARIANT* pvarVal;
        void* byref;
        char cVal;
        USHORT uiVal;
        ULONG ulVal;
        ULONGLONG ullVal;
        INT intVal;
        UINT uintVal;
        DECIMAL* pdecVal;
        char* pcVal;
        USHORT* puiVal;
        ULONG* pulVal;
        ULONGLONG* pullVal;
        INT* pintVal;
        UINT* puintVal;
        struct {
          void* pvRecord;
          IRecordInfo* pRecInfo;
        };
      };
    };
    DECIMAL decVal;
  };
};

typedef struct tagDISPPARAMS {
  VARIANTARG* rgvarg;        /* arguments in reverse order: the last one first */
  DISPID* rgdispidNamedArgs; /* identifiers of the first cNamedArgs entries of rgvarg */
  UINT cArgs;
  UINT cNamedArgs;
} DISPPARAMS;

typedef struct tagEXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  HRESULT(STDMETHODCALLTYPE* pfnDeferredFillIn)(struct tagEXCEPINFO*);
  SCODE scode;
} EXCEPINFO;

/* ---- Type information ---- */
typedef enum tagTYPEKIND {
  TKIND_ENUM = 0,
  TKIND_RECORD,
  TKIND_MODULE,
  TKIND_INTERFACE,
  TKIND_DISPATCH,
  TKIND_COCLASS,
  TKIND_ALIAS,
  TKIND_UNION,
  TKIND_MAX
} TYPEKIND;
typedef enum tagFUNCKIND {
  FUNC_VIRTUAL = 0,
  FUNC_PUREVIRTUAL,
  FUNC_NONVIRTUAL,
  FUNC_STATIC,
  FUNC_DISPATCH
} FUNCKIND;
typedef enum tagINVOKEKIND {
  INVOKE_FUNC = 1,
  INVOKE_PROPERTYGET = 2,
  INVOKE_PROPERTYPUT = 4,
  INVOKE_PROPERTYPUTREF = 8
} INVOKEKIND;
typedef enum tagCALLCONV {
  CC_FASTCALL = 0,
  CC_CDECL = 1,
  CC_PASCAL = 2,
  CC_STDCALL = 4,
  CC_SYSCALL = 6
} CALLCONV;
typedef enum tagSYSKIND { SYS_WIN16 = 0, SYS_WIN32, SYS_MAC, SYS_WIN64 } SYSKIND;

struct tagARRAYDESC;
struct tagPARAMDESCEX;
struct tagVARDESC;
typedef struct tagVARDESC VARDESC;

typedef struct tagTYPEDESC {
  union {
    struct tagTYPEDESC* lptdesc;
    struct tagARRAYDESC* lpadesc;
    HREFTYPE hreftype;
  };
  VARTYPE vt;
} TYPEDESC;

typedef struct tagIDLDESC {
  ULONG_PTR dwReserved;
  USHORT wIDLFlags;
} IDLDESC;

typedef struct tagPARAMDESC {
  struct tagPARAMDESCEX* pparamdescex;
  USHORT wParamFlags;
} PARAMDESC;

typedef struct tagELEMDESC {
  TYPEDESC tdesc;
  union {
    IDLDESC idldesc;
    PARAMDESC paramdesc;
  };
} ELEMDESC;

typedef struct tagFUNCDESC {
  MEMBERID memid;
  SCODE* lprgscode;
  ELEMDESC* lprgelemdescParam;
  FUNCKIND funckind;
  INVOKEKIND invkind;
  CALLCONV callconv;
  SHORT cParams;
  SHORT cParamsOpt;
  SHORT oVft;
  SHORT cScodes;
  ELEMDESC elemdescFunc;
  WORD wFuncFlags;
} FUNCDESC;

typedef struct tagTYPEATTR {
  GUID guid;
  LCID lcid;
  DWORD dwReserved;
  MEMBERID memidConstructor;
  MEMBERID memidDestructor;
  LPOLESTR lpstrSchema;
  ULONG cbSizeInstance;
  TYPEKIND typekind;
  WORD cFuncs;
  WORD cVars;
  WORD cImplTypes;
  WORD cbSizeVft;
  WORD cbAlignment;
  WORD wTypeFlags;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  TYPEDESC tdescAlias;
  IDLDESC idldescType;
} TYPEATTR;

typedef struct tagTLIBATTR {
  GUID guid;
  LCID lcid;
  SYSKIND syskind;
  WORD wMajorVerNum;
  WORD wMinorVerNum;
  WORD wLibFlags;
} TLIBATTR;

#define TYPEFLAG_FCANCREATE 0x2
#define TYPEFLAG_FDUAL 0x40
#define TYPEFLAG_FOLEAUTOMATION 0x100
#define TYPEFLAG_FDISPATCHABLE 0x1000
#define PARAMFLAG_NONE 0x0
#define PARAMFLAG_FIN 0x1
#define PARAMFLAG_FOUT 0x2
#define PARAMFLAG_FRETVAL 0x8
#define IMPLTYPEFLAG_FDEFAULT 0x1

/* ---- HRESULTs and constants ---- */
#define S_OK ((HRESULT)0)
#define S_FALSE ((HRESULT)1)
#define E_NOTIMPL ((HRESULT)0x80004001)
#define E_NOINTERFACE ((HRESULT)0x80004002)
#define E_POINTER ((HRESULT)0x80004003)
#define E_FAIL ((HRESULT)0x80004005)
#define E_UNEXPECTED ((HRESULT)0x8000FFFF)
#define E_OUTOFMEMORY ((HRESULT)0x8007000E)
#define E_INVALIDARG ((HRESULT)0x80070057)
#define CLASS_E_NOAGGREGATION ((HRESULT)0x80040110)
#define CLASS_E_CLASSNOTAVAILABLE ((HRESULT)0x80040111)
#define SELFREG_E_TYPELIB ((HRESULT)0x80040200)
#define SELFREG_E_CLASS ((HRESULT)0x80040201)
#define DISP_E_UNKNOWNINTERFACE ((HRESULT)0x80020001)
#define DISP_E_MEMBERNOTFOUND ((HRESULT)0x80020003)
#define DISP_E_PARAMNOTFOUND ((HRESULT)0x80020004)
#define DISP_E_TYPEMISMATCH ((HRESULT)0x80020005)
#define DISP_E_UNKNOWNNAME ((HRESULT)0x80020006)
#define DISP_E_NONAMEDARGS ((HRESULT)0x80020007)
#define DISP_E_BADVARTYPE ((HRESULT)0x80020008)
#define DISP_E_EXCEPTION ((HRESULT)0x80020009)
#define DISP_E_OVERFLOW ((HRESULT)0x8002000A)
#define DISP_E_BADINDEX ((HRESULT)0x8002000B)
#define DISP_E_BADPARAMCOUNT ((HRESULT)0x8002000E)
#define DISP_E_PARAMNOTOPTIONAL ((HRESULT)0x8002000F)
#define TYPE_E_LIBNOTREGISTERED ((HRESULT)0x8002801D)
#define TYPE_E_ELEMENTNOTFOUND ((HRESULT)0x8002802B)
#define TYPE_E_BADMODULEKIND ((HRESULT)0x800288BD)

#define DISPID_UNKNOWN ((DISPID)-1)
#define DISPID_VALUE ((DISPID)0)
#define DISPID_PROPERTYPUT ((DISPID)-3)
#define MEMBERID_NIL DISPID_UNKNOWN
#define DISPATCH_METHOD 0x1
#define DISPATCH_PROPERTYGET 0x2
#define DISPATCH_PROPERTYPUT 0x4
#define DISPATCH_PROPERTYPUTREF 0x8
#define LOCALE_SYSTEM_DEFAULT 0x800
#define LOCALE_USER_DEFAULT 0x400
#define LOCALE_NEUTRAL 0x0

#define INTERFACESAFE_FOR_UNTRUSTED_CALLER 0x00000001
#define INTERFACESAFE_FOR_UNTRUSTED_DATA 0x00000002

/* ---- Interface identifiers ---- */
ZYQ_GUID_CONSTANT(IID_NULL, 0x00000000, 0x0000, 0x0000, 0, 0, 0, 0, 0, 0, 0, 0);
ZYQ_GUID_CONSTANT(IID_IUnknown, 0x00000000, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
ZYQ_GUID_CONSTANT(IID_IClassFactory, 0x00000001, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
ZYQ_GUID_CONSTANT(IID_IDispatch, 0x00020400, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
ZYQ_GUID_CONSTANT(IID_ITypeInfo, 0x00020401, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
ZYQ_GUID_CONSTANT(IID_ITypeLib, 0x00020402, 0x0000, 0x0000, 0xC0, 0, 0, 0, 0, 0, 0, 0x46);
ZYQ_GUID_CONSTANT(IID_IObjectSafety, 0xCB5BDC81, 0x93C1, 0x11CF, 0x8F, 0x20, 0x00, 0x80, 0x5F, 0x2C,
                  0xD0, 0x64);

#endif /* ZYQ_COM_BASE_TYPES_DEFINED */

/* ---- The identities of this server ---- */
/* {816A14C1-4C73-4444-BF44-238C14033EBD}: type library ZYQSECURITIESATLLib 1.0 */
ZYQ_GUID_CONSTANT(LIBID_ZYQSECURITIESATLLib, 0x816A14C1, 0x4C73, 0x4444, 0xBF, 0x44, 0x23, 0x8C,
                  0x14, 0x03, 0x3E, 0xBD);
/* {F470A651-408B-4BFC-96A8-FEAFAC8A4687}: class ZYQapi */
ZYQ_GUID_CONSTANT(CLSID_ZYQapi, 0xF470A651, 0x408B, 0x4BFC, 0x96, 0xA8, 0xFE, 0xAF, 0xAC, 0x8A,
                  0x46, 0x87);
/* {BF37F13D-A4F4-40FA-9480-1E99761C9773}: interface IZYQapi */
ZYQ_GUID_CONSTANT(IID_IZYQapi, 0xBF37F13D, 0xA4F4, 0x40FA, 0x94, 0x80, 0x1E, 0x99, 0x76, 0x1C, 0x97,
                  0x73);

#define ZYQAPI_PROGID "ZYQSecuritiesATL.ZYQapi.1"
#define ZYQAPI_VERSION_INDEPENDENT_PROGID "ZYQSecuritiesATL.ZYQapi"

/* ---- Interfaces ---- */
#ifndef ZYQ_COM_BASE_INTERFACES_DEFINED
#define ZYQ_COM_BASE_INTERFACES_DEFINED

#if defined(__cplusplus) && !defined(CINTERFACE)

struct IUnknown {
  virtual HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppvObject) = 0;
  virtual ULONG STDMETHODCALLTYPE AddRef() = 0;
  virtual ULONG STDMETHODCALLTYPE Release() = 0;
};

struct IClassFactory : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                   void** ppvObject) = 0;
  virtual HRESULT STDMETHODCALLTYPE LockServer(BOOL fLock) = 0;
};

struct ITypeInfo : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeAttr(TYPEATTR** ppTypeAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFuncDesc(UINT index, FUNCDESC** ppFuncDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetVarDesc(UINT index, VARDESC** ppVarDesc) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetNames(MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames,
                                             UINT* pcNames) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefTypeOfImplType(UINT index, HREFTYPE* pRefType) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetImplTypeFlags(UINT index, INT* pImplTypeFlags) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(LPOLESTR* rgszNames, UINT cNames,
                                                  MEMBERID* pMemId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(void* pvInstance, MEMBERID memid, WORD wFlags,
                                           DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                           EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDocumentation(MEMBERID memid, BSTR* pBstrName,
                                                     BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                                     BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDllEntry(MEMBERID memid, INVOKEKIND invKind,
                                                BSTR* pBstrDllName, BSTR* pBstrName,
                                                WORD* pwOrdinal) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRefTypeInfo(HREFTYPE hRefType, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddressOfMember(MEMBERID memid, INVOKEKIND invKind,
                                                    void** ppv) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* pUnkOuter, REFIID riid,
                                                   void** ppvObj) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetMops(MEMBERID memid, BSTR* pBstrMops) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetContainingTypeLib(ITypeLib** ppTLib, UINT* pIndex) = 0;
  virtual void STDMETHODCALLTYPE ReleaseTypeAttr(TYPEATTR* pTypeAttr) = 0;
  virtual void STDMETHODCALLTYPE ReleaseFuncDesc(FUNCDESC* pFuncDesc) = 0;
  virtual void STDMETHODCALLTYPE ReleaseVarDesc(VARDESC* pVarDesc) = 0;
};

struct ITypeLib : public IUnknown {
  virtual UINT STDMETHODCALLTYPE GetTypeInfoCount() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoType(UINT index, TYPEKIND* pTKind) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoOfGuid(REFGUID guid, ITypeInfo** ppTinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetLibAttr(TLIBATTR** ppTLibAttr) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeComp(ITypeComp** ppTComp) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetDocumentation(INT index, BSTR* pBstrName,
                                                     BSTR* pBstrDocString, DWORD* pdwHelpContext,
                                                     BSTR* pBstrHelpFile) = 0;
  virtual HRESULT STDMETHODCALLTYPE IsName(LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindName(LPOLESTR szNameBuf, ULONG lHashVal,
                                             ITypeInfo** ppTInfo, MEMBERID* rgMemId,
                                             USHORT* pcFound) = 0;
  virtual void STDMETHODCALLTYPE ReleaseTLibAttr(TLIBATTR* pTLibAttr) = 0;
};

struct IDispatch : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* pctinfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames,
                                                  LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT STDMETHODCALLTYPE Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
                                           DISPPARAMS* pDispParams, VARIANT* pVarResult,
                                           EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};

struct IObjectSafety : public IUnknown {
  virtual HRESULT STDMETHODCALLTYPE GetInterfaceSafetyOptions(REFIID riid,
                                                              DWORD* pdwSupportedOptions,
                                                              DWORD* pdwEnabledOptions) = 0;
  virtual HRESULT STDMETHODCALLTYPE SetInterfaceSafetyOptions(REFIID riid, DWORD dwOptionSetMask,
                                                              DWORD dwEnabledOptions) = 0;
};

#else /* C view */

typedef struct IClassFactory IClassFactory;
typedef struct IObjectSafety IObjectSafety;

typedef struct IUnknownVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IUnknown* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IUnknown* This);
  ULONG(STDMETHODCALLTYPE* Release)(IUnknown* This);
} IUnknownVtbl;
struct IUnknown {
  const struct IUnknownVtbl* lpVtbl;
};

typedef struct IClassFactoryVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IClassFactory* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IClassFactory* This);
  ULONG(STDMETHODCALLTYPE* Release)(IClassFactory* This);
  HRESULT(STDMETHODCALLTYPE* CreateInstance)
  (IClassFactory* This, IUnknown* pUnkOuter, REFIID riid, void** ppvObject);
  HRESULT(STDMETHODCALLTYPE* LockServer)(IClassFactory* This, BOOL fLock);
} IClassFactoryVtbl;
struct IClassFactory {
  const struct IClassFactoryVtbl* lpVtbl;
};

typedef struct ITypeInfoVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITypeInfo* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITypeInfo* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITypeInfo* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeAttr)(ITypeInfo* This, TYPEATTR** ppTypeAttr);
  HRESULT(STDMETHODCALLTYPE* GetTypeComp)(ITypeInfo* This, ITypeComp** ppTComp);
  HRESULT(STDMETHODCALLTYPE* GetFuncDesc)(ITypeInfo* This, UINT index, FUNCDESC** ppFuncDesc);
  HRESULT(STDMETHODCALLTYPE* GetVarDesc)(ITypeInfo* This, UINT index, VARDESC** ppVarDesc);
  HRESULT(STDMETHODCALLTYPE* GetNames)
  (ITypeInfo* This, MEMBERID memid, BSTR* rgBstrNames, UINT cMaxNames, UINT* pcNames);
  HRESULT(STDMETHODCALLTYPE* GetRefTypeOfImplType)(ITypeInfo* This, UINT index, HREFTYPE* pRefType);
  HRESULT(STDMETHODCALLTYPE* GetImplTypeFlags)(ITypeInfo* This, UINT index, INT* pImplTypeFlags);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (ITypeInfo* This, LPOLESTR* rgszNames, UINT cNames, MEMBERID* pMemId);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (ITypeInfo* This, void* pvInstance, MEMBERID memid, WORD wFlags, DISPPARAMS* pDispParams,
   VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
  HRESULT(STDMETHODCALLTYPE* GetDocumentation)
  (ITypeInfo* This, MEMBERID memid, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
   BSTR* pBstrHelpFile);
  HRESULT(STDMETHODCALLTYPE* GetDllEntry)
  (ITypeInfo* This, MEMBERID memid, INVOKEKIND invKind, BSTR* pBstrDllName, BSTR* pBstrName,
   WORD* pwOrdinal);
  HRESULT(STDMETHODCALLTYPE* GetRefTypeInfo)
  (ITypeInfo* This, HREFTYPE hRefType, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* AddressOfMember)
  (ITypeInfo* This, MEMBERID memid, INVOKEKIND invKind, void** ppv);
  HRESULT(STDMETHODCALLTYPE* CreateInstance)
  (ITypeInfo* This, IUnknown* pUnkOuter, REFIID riid, void** ppvObj);
  HRESULT(STDMETHODCALLTYPE* GetMops)(ITypeInfo* This, MEMBERID memid, BSTR* pBstrMops);
  HRESULT(STDMETHODCALLTYPE* GetContainingTypeLib)
  (ITypeInfo* This, ITypeLib** ppTLib, UINT* pIndex);
  void(STDMETHODCALLTYPE* ReleaseTypeAttr)(ITypeInfo* This, TYPEATTR* pTypeAttr);
  void(STDMETHODCALLTYPE* ReleaseFuncDesc)(ITypeInfo* This, FUNCDESC* pFuncDesc);
  void(STDMETHODCALLTYPE* ReleaseVarDesc)(ITypeInfo* This, VARDESC* pVarDesc);
} ITypeInfoVtbl;
struct ITypeInfo {
  const struct ITypeInfoVtbl* lpVtbl;
};

typedef struct ITypeLibVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(ITypeLib* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(ITypeLib* This);
  ULONG(STDMETHODCALLTYPE* Release)(ITypeLib* This);
  UINT(STDMETHODCALLTYPE* GetTypeInfoCount)(ITypeLib* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(ITypeLib* This, UINT index, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoType)(ITypeLib* This, UINT index, TYPEKIND* pTKind);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoOfGuid)
  (ITypeLib* This, REFGUID guid, ITypeInfo** ppTinfo);
  HRESULT(STDMETHODCALLTYPE* GetLibAttr)(ITypeLib* This, TLIBATTR** ppTLibAttr);
  HRESULT(STDMETHODCALLTYPE* GetTypeComp)(ITypeLib* This, ITypeComp** ppTComp);
  HRESULT(STDMETHODCALLTYPE* GetDocumentation)
  (ITypeLib* This, INT index, BSTR* pBstrName, BSTR* pBstrDocString, DWORD* pdwHelpContext,
   BSTR* pBstrHelpFile);
  HRESULT(STDMETHODCALLTYPE* IsName)
  (ITypeLib* This, LPOLESTR szNameBuf, ULONG lHashVal, BOOL* pfName);
  HRESULT(STDMETHODCALLTYPE* FindName)
  (ITypeLib* This, LPOLESTR szNameBuf, ULONG lHashVal, ITypeInfo** ppTInfo, MEMBERID* rgMemId,
   USHORT* pcFound);
  void(STDMETHODCALLTYPE* ReleaseTLibAttr)(ITypeLib* This, TLIBATTR* pTLibAttr);
} ITypeLibVtbl;
struct ITypeLib {
  const struct ITypeLibVtbl* lpVtbl;
};

typedef struct IDispatchVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IDispatch* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IDispatch* This);
  ULONG(STDMETHODCALLTYPE* Release)(IDispatch* This);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IDispatch* This, UINT* pctinfo);
  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)
  (IDispatch* This, UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo);
  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)
  (IDispatch* This, REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId);
  HRESULT(STDMETHODCALLTYPE* Invoke)
  (IDispatch* This, DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags,
   DISPPARAMS* pDispParams, VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr);
} IDispatchVtbl;
struct IDispatch {
  const struct IDispatchVtbl* lpVtbl;
};

typedef struct IObjectSafetyVtbl {
  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IObjectSafety* This, REFIID riid, void** ppvObject);
  ULONG(STDMETHODCALLTYPE* AddRef)(IObjectSafety* This);
  ULONG(STDMETHODCALLTYPE* Release)(IObjectSafety* This);
  HRESULT(STDMETHODCALLTYPE* GetInterfaceSafetyOptions)
  (IObjectSafety* This, REFIID riid, DWORD* pdwSupportedOptions, DWORD* pdwEnabledOptions);
  HRESULT(STDMETHODCALLTYPE* SetInterfaceSafetyOptions)
  (IObjectSafety* This, REFIID riid, DWORD dwOptionSetMask, DWORD dwEnabledOptions);
} IObjectSafetyVtbl;
struct IObjectSafety {
  const struct IObjectSafetyVtbl* lpVtbl;
};

#endif /* C view */
#endif /* ZYQ_COM_BASE_INTERFACES_DEFINED */

/* IZYQapi, as this build of the library offers it. */
#include "ZYQapiMethods.h"

/* ---- Server entry points ---- */
#ifdef __cplusplus
extern "C" {
#endif

#if defined(ZYQ_BUILDING_LIBRARY) && !defined(_WIN32)
#define ZYQ_COM_API __attribute__((visibility("default")))
#else
#define ZYQ_COM_API
#endif

/* The class object of CLSID_ZYQapi (an IClassFactory), queried for riid. */
ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID rclsid, REFIID riid, void** ppv);
/* S_OK when no object exists and no class factory is locked; S_FALSE otherwise. */
ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllCanUnloadNow(void);
/* Writes the class's entries under HKEY_CLASSES_ROOT and the type library's registration. */
ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllRegisterServer(void);
/* Removes them again; HKEY_CLASSES_ROOT\CLSID itself stays. */
ZYQ_COM_API HRESULT STDMETHODCALLTYPE DllUnregisterServer(void);

/* Function types for clients that look the entry points up with dlsym. */
typedef HRESULT(STDMETHODCALLTYPE* PFN_DllGetClassObject)(REFCLSID rclsid, REFIID riid, void** ppv);
typedef HRESULT(STDMETHODCALLTYPE* PFN_DllCanUnloadNow)(void);
typedef HRESULT(STDMETHODCALLTYPE* PFN_DllRegisterServer)(void);
typedef HRESULT(STDMETHODCALLTYPE* PFN_DllUnregisterServer)(void);

#ifdef __cplusplus
}
#endif

#endif /* ZYQAPI_H */
