// Writes the source of the Java class com.ZYQ.ZYQSecATL from the operation table: one native
// method per row, in the table's order, with the operation's parameter names. The natives are
// instance methods of a class that loads libZYQSecuritiesATL.so when it is first used.
//
// Usage: zyq_java_class_writer <output .java file>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "api/OperationTable.h"

namespace {

struct Method {
  int dispid;
  std::string name;
  std::string flatName;
  std::string result;
  std::vector<std::string> params;
};

#define ZYQ_JAVA_TYPE_TEXT "String"
#define ZYQ_JAVA_TYPE_INT "int"
#define ZYQ_JAVA_PARAM_TEXT(name) std::string("String " #name)
#define ZYQ_JAVA_PARAM_INT(name) std::string("int " #name)
#define ZYQ_JAVA_PARAM(arg) ZYQ_ARG_KIND(ZYQ_JAVA_PARAM_, arg)
#define ZYQ_JAVA_METHOD(order, dispid, Name, Flat, Result, ...) \
  Method{dispid, #Name, #Flat, ZYQ_JAVA_TYPE_##Result, {ZYQ_MAP_ARGS(ZYQ_JAVA_PARAM, __VA_ARGS__)}},

const std::vector<Method>& Methods() {
  static const std::vector<Method> methods = {ZYQ_FOR_EACH_OPERATION(ZYQ_JAVA_METHOD)};
  return methods;
}

std::string Source() {
  std::string s;
  s += "// Generated at build time from the operation table; do not edit.\n";
  s += "package com.ZYQ;\n\n";
  s += "/**\n";
  s += " * The security component for Java programs. Every method runs one operation on the\n";
  s += " * library's process-wide engine, which the flat exports share. After a call,\n";
  s += " * GetErrorCode() and GetErrorMsg() tell its outcome.\n";
  s += " *\n";
  s += " * <p>A null String argument makes a method answer null (String result) or -1 (int "
       "result)\n";
  s += " * without running the operation, so GetErrorCode() still reports the call before. An\n";
  s += " * empty text result is returned as null. Methods may be called from several threads:\n";
  s += " * calls run one after another on the engine, and GetErrorCode() answers about the last\n";
  s += " * call made by any thread.\n";
  s += " */\n";
  s += "public class ZYQSecATL {\n";
  s += "  static {\n";
  s += "    System.loadLibrary(\"ZYQSecuritiesATL\");\n";
  s += "  }\n\n";
  s += "  public ZYQSecATL() {}\n";
  for (const Method& m : Methods()) {
    s += "\n  /** Operation " + m.name + " (DISPID " + std::to_string(m.dispid) + ", flat export " +
         m.flatName + "). */\n";
    s += "  public native " + m.result + " " + m.name + "(";
    for (size_t i = 0; i < m.params.size(); ++i) {
      if (i > 0) s += ", ";
      s += m.params[i];
    }
    s += ");\n";
  }
  s += "}\n";
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: " << argv[0] << " <output .java file>\n";
    return 2;
  }
  const std::string source = Source();
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << source;
  out.close();
  if (!out) {
    std::cerr << "cannot write " << argv[1] << "\n";
    return 1;
  }
  return 0;
}
