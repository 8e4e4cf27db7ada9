# The COM server's build inputs that are written from the tree's own sources on Windows: the IDL
# of the type library (from the operation table) and the registration script (from its template),
# both with the identities of include/ZYQapi.h.

# zyq_com_identities(): sets LIBID_ZYQSECURITIESATLLib, CLSID_ZYQapi and IID_IZYQapi in the
# caller's scope to the GUIDs of include/ZYQapi.h (upper case, without braces).
function(zyq_com_identities)
  file(READ ${CMAKE_SOURCE_DIR}/include/ZYQapi.h header)
  foreach(id LIBID_ZYQSECURITIESATLLib CLSID_ZYQapi IID_IZYQapi)
    if(NOT header MATCHES "/\\* {([0-9A-F-]+)}: [^\n]*\n[ ]*ZYQ_GUID_CONSTANT\\(${id},")
      message(FATAL_ERROR "include/ZYQapi.h: no GUID comment before ${id}")
    endif()
    set(${id} ${CMAKE_MATCH_1} PARENT_SCOPE)
  endforeach()
endfunction()

# zyq_write_in_code_page_950(<UTF-8 text> <output file>): the file is written only when its
# content changes, so that what is built from it is not rebuilt for nothing.
function(zyq_write_in_code_page_950 text output)
  file(WRITE ${output}.utf8 "${text}")
  execute_process(COMMAND iconv -f UTF-8 -t CP950 ${output}.utf8 OUTPUT_FILE ${output}.new
                  RESULT_VARIABLE status)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "iconv could not write ${output} in code page 950")
  endif()
  file(REMOVE ${output}.utf8)
  file(COPY_FILE ${output}.new ${output} ONLY_IF_DIFFERENT)
  file(REMOVE ${output}.new)
endfunction()

set(ZYQ_COM_PRODUCT "ZYQSecuritiesATL 安控元件組 CAPI 版 4.0")

# zyq_write_registration_script(<template> <output>): the REGISTRY script with the class's
# identities and description; "%MODULE%" stays for the server to replace when it runs it.
function(zyq_write_registration_script template output)
  zyq_com_identities()
  set(ZYQ_CLSID ${CLSID_ZYQapi})
  set(ZYQ_LIBID ${LIBID_ZYQSECURITIESATLLib})
  set(ZYQ_CLASS_DESCRIPTION "${ZYQ_COM_PRODUCT} Class")
  file(READ ${template} text)
  string(CONFIGURE "${text}" text @ONLY)
  zyq_write_in_code_page_950("${text}" ${output})
endfunction()

# zyq_write_type_library_idl(<table header> <output .idl>)
#
# Writes the IDL of the type library ZYQSECURITIESATLLib 1.0 from the operation table: the dual
# interface IZYQapi with one method per row (its DISPID, its parameter names, "method <Name>" as
# help string, the result as the last parameter [out, retval] Ret) and the creatable class
# ZYQapi. widl compiles it into the TYPELIB resource of the DLL.
#
# Debian's mingw-w64 ships no .idl files, so the IDL declares the few automation types that the
# interface uses and the two base interfaces itself; the library imports stdole2.tlb, whose
# IUnknown and IDispatch the compiled library refers to (declared in full all the same: widl places
# IZYQapi's methods in the vtable after the base interfaces' methods that it sees). Help strings are written in code page
# 950, which the type library's reader decodes with the system's ANSI code page, as on the
# systems the component serves.
function(zyq_write_type_library_idl table idl)
  file(READ ${table} text)
  string(REGEX REPLACE "\\\\\n" " " text "${text}")
  string(REGEX MATCH "#define ZYQ_FOR_EACH_OPERATION\\(X\\)[^\n]*" block "${text}")
  string(REGEX MATCHALL "X\\([^()]*(\\([^()]*\\)[^()]*)*\\)" rows "${block}")
  zyq_com_identities()

  set(methods "")
  set(count 0)
  foreach(row IN LISTS rows)
    if(NOT row MATCHES "^X\\( *[0-9]+, *([0-9]+), *([A-Za-z0-9_]+), *[A-Za-z0-9_]+, *(TEXT|INT)")
      message(FATAL_ERROR "Unreadable operation row: ${row}")
    endif()
    set(dispid ${CMAKE_MATCH_1})
    set(name ${CMAKE_MATCH_2})
    set(resultKind ${CMAKE_MATCH_3})
    string(REGEX MATCHALL "(TEXT|INT)\\([A-Za-z0-9_]+\\)" args "${row}")
    set(params "")
    foreach(arg IN LISTS args)
      string(REGEX MATCH "^(TEXT|INT)\\(([A-Za-z0-9_]+)\\)" _ "${arg}")
      if(CMAKE_MATCH_1 STREQUAL "TEXT")
        string(APPEND params "[in] BSTR ${CMAKE_MATCH_2}, ")
      else()
        string(APPEND params "[in] long ${CMAKE_MATCH_2}, ")
      endif()
    endforeach()
    if(resultKind STREQUAL "TEXT")
      set(ret "[out, retval] BSTR* Ret")
    else()
      set(ret "[out, retval] long* Ret")
    endif()
    string(APPEND methods
           "    [id(${dispid}), helpstring(\"method ${name}\")] HRESULT ${name}(${params}${ret});\n")
    math(EXPR count "${count} + 1")
  endforeach()

  set(product "${ZYQ_COM_PRODUCT}")
  zyq_write_in_code_page_950("\
/* Generated from api/OperationTable.h (${count} operations); do not edit. */

/* The automation types and base interfaces that IZYQapi uses. */
typedef unsigned short OLECHAR;
typedef [string] OLECHAR* BSTR;
typedef long HRESULT;
typedef unsigned long ULONG;
typedef unsigned int UINT;
typedef unsigned long LCID;
typedef long DISPID;
typedef struct _GUID {
  unsigned long Data1;
  unsigned short Data2;
  unsigned short Data3;
  unsigned char Data4[8];
} GUID;
typedef GUID IID;

[object, local, uuid(00000000-0000-0000-C000-000000000046)]
interface IUnknown {
  HRESULT QueryInterface([in] const IID* riid, [out] void** ppvObject);
  ULONG AddRef();
  ULONG Release();
}

[object, local, uuid(00020400-0000-0000-C000-000000000046)]
interface IDispatch : IUnknown {
  HRESULT GetTypeInfoCount([out] UINT* pctinfo);
  HRESULT GetTypeInfo([in] UINT iTInfo, [in] LCID lcid, [out] void** ppTInfo);
  HRESULT GetIDsOfNames([in] const IID* riid, [in] void* rgszNames, [in] UINT cNames,
                        [in] LCID lcid, [out] DISPID* rgDispId);
  HRESULT Invoke([in] DISPID dispIdMember, [in] const IID* riid, [in] LCID lcid,
                 [in] unsigned short wFlags, [in] void* pDispParams, [out] void* pVarResult,
                 [out] void* pExcepInfo, [out] UINT* puArgErr);
}

[
  uuid(${LIBID_ZYQSECURITIESATLLib}),
  version(1.0),
  lcid(0x0409),
  helpstring(\"${product} Type Library\")
]
library ZYQSECURITIESATLLib
{
  importlib(\"stdole2.tlb\");

  [
    object,
    uuid(${IID_IZYQapi}),
    dual,
    oleautomation,
    helpstring(\"${product} Interface\"),
    pointer_default(unique)
  ]
  interface IZYQapi : IDispatch
  {
${methods}  };

  [
    uuid(${CLSID_ZYQapi}),
    helpstring(\"${product} Class\")
  ]
  coclass ZYQapi
  {
    [default] interface IZYQapi;
  };
};
" ${idl})
endfunction()
