// Writes ZYQapiMethods.h, the IZYQapi part of the public header ZYQapi.h, from the operation
// table: the methods in vtable order with their DISPIDs, as an abstract class for C++ and as a
// vtable structure for C.
//
// Usage: zyq_com_header_writer <output header>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "api/OperationTable.h"

namespace {

struct Param {
  std::string type;
  std::string name;
};

struct Method {
  int order;
  int dispid;
  std::string name;
  std::string retType;
  std::vector<Param> params;
};

#define ZYQ_HDR_RESULT_TEXT "BSTR*"
#define ZYQ_HDR_RESULT_INT "LONG*"
#define ZYQ_HDR_PARAM_TEXT(name) \
  Param {                        \
    "BSTR", #name                \
  }
#define ZYQ_HDR_PARAM_INT(name) \
  Param {                       \
    "LONG", #name               \
  }
#define ZYQ_HDR_PARAM(arg) ZYQ_ARG_KIND(ZYQ_HDR_PARAM_, arg)
#define ZYQ_HDR_METHOD(order, dispid, Name, Flat, Result, ...) \
  Method{order, dispid, #Name, ZYQ_HDR_RESULT_##Result, {ZYQ_MAP_ARGS(ZYQ_HDR_PARAM, __VA_ARGS__)}},

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = {ZYQ_FOR_EACH_OPERATION(ZYQ_HDR_METHOD)};
  return methods;
}

constexpr int kCompleteInterface = 47;

// "BSTR strName, LONG dw, LONG* Ret"
std::string ParamList(const Method& m) {
  std::string s;
  for (const Param& p : m.params) s += p.type + " " + p.name + ", ";
  return s + m.retType + " Ret";
}

std::string ArgNames(const Method& m) {
  std::string s;
  for (const Param& p : m.params) s += p.name + ", ";
  return s + "Ret";
}

std::string Header() {
  std::string s;
  s += "/* Generated at build time from the operation table; do not edit. Included by ZYQapi.h. "
       "*/\n";
  s += "#ifndef ZYQAPI_METHODS_H\n#define ZYQAPI_METHODS_H\n\n";
  s += "/* The IZYQapi methods of this build, in vtable order after the seven of IUnknown and\n";
  s += " * IDispatch. Methods join as their operations become available, so until the interface "
       "is\n";
  s += " * complete (ZYQAPI_INTERFACE_COMPLETE 1: all 47 methods) a method's vtable slot can "
       "differ\n";
  s += " * from its slot in the complete interface. Code compiled against this header works with\n";
  s += " * this build; code that must work with every build binds late through IDispatch, whose\n";
  s += " * DISPIDs never change. */\n";
  s += "#define ZYQAPI_METHOD_COUNT " + std::to_string(Methods().size()) + "\n";
  const bool complete = static_cast<int>(Methods().size()) == kCompleteInterface &&
                        Methods().back().order == kCompleteInterface;
  s += "#define ZYQAPI_INTERFACE_COMPLETE " + std::string(complete ? "1" : "0") + "\n\n";

  s += "/* DISPIDs for IDispatch::Invoke. */\n";
  for (const Method& m : Methods()) {
    s += "#define DISPID_IZYQapi_" + m.name + " " + std::to_string(m.dispid) + "\n";
  }

  s += "\n#if defined(__cplusplus) && !defined(CINTERFACE)\n\n";
  s += "struct IZYQapi : public IDispatch {\n";
  for (const Method& m : Methods()) {
    s += "  /* slot " + std::to_string(m.order) + " of the complete interface, DISPID " +
         std::to_string(m.dispid) + " */\n";
    s += "  virtual HRESULT STDMETHODCALLTYPE " + m.name + "(" + ParamList(m) + ") = 0;\n";
  }
  s += "};\n\n";

  s += "#else /* C view */\n\n";
  s += "typedef struct IZYQapi IZYQapi;\n";
  s += "typedef struct IZYQapiVtbl {\n";
  s += "  HRESULT(STDMETHODCALLTYPE* QueryInterface)(IZYQapi* This, REFIID riid, void** "
       "ppvObject);\n";
  s += "  ULONG(STDMETHODCALLTYPE* AddRef)(IZYQapi* This);\n";
  s += "  ULONG(STDMETHODCALLTYPE* Release)(IZYQapi* This);\n";
  s += "  HRESULT(STDMETHODCALLTYPE* GetTypeInfoCount)(IZYQapi* This, UINT* pctinfo);\n";
  s += "  HRESULT(STDMETHODCALLTYPE* GetTypeInfo)(IZYQapi* This, UINT iTInfo, LCID lcid,\n";
  s += "                                          ITypeInfo** ppTInfo);\n";
  s += "  HRESULT(STDMETHODCALLTYPE* GetIDsOfNames)(IZYQapi* This, REFIID riid, LPOLESTR* "
       "rgszNames,\n";
  s += "                                            UINT cNames, LCID lcid, DISPID* rgDispId);\n";
  s += "  HRESULT(STDMETHODCALLTYPE* Invoke)(IZYQapi* This, DISPID dispIdMember, REFIID riid,\n";
  s += "                                     LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,\n";
  s += "                                     VARIANT* pVarResult, EXCEPINFO* pExcepInfo,\n";
  s += "                                     UINT* puArgErr);\n";
  for (const Method& m : Methods()) {
    s += "  HRESULT(STDMETHODCALLTYPE* " + m.name + ")(IZYQapi* This, " + ParamList(m) + ");\n";
  }
  s += "} IZYQapiVtbl;\n";
  s += "struct IZYQapi {\n  const struct IZYQapiVtbl* lpVtbl;\n};\n\n";

  s += "#ifdef COBJMACROS\n";
  s += "#define IZYQapi_QueryInterface(This, riid, ppv) ((This)->lpVtbl->QueryInterface(This, "
       "riid, ppv))\n";
  s += "#define IZYQapi_AddRef(This) ((This)->lpVtbl->AddRef(This))\n";
  s += "#define IZYQapi_Release(This) ((This)->lpVtbl->Release(This))\n";
  for (const Method& m : Methods()) {
    s += "#define IZYQapi_" + m.name + "(This, " + ArgNames(m) + ") ((This)->lpVtbl->" + m.name +
         "(This, " + ArgNames(m) + "))\n";
  }
  s += "#endif /* COBJMACROS */\n\n";
  s += "#endif /* C view */\n\n#endif /* ZYQAPI_METHODS_H */\n";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " <output header>\n";
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << Header();
  out.close();
  if (!out) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
