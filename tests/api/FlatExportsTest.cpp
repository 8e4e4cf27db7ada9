// Drives the shared library only through its exported symbols.
#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "api/OperationTable.h"
#include "tests/api/FlatLibrary.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

TEST(FlatExportsTest, FreshEngineAnswers) {
  FlatLibrary lib;
  EXPECT_EQ(lib.ErrorCode(), 0);
  EXPECT_EQ(lib.Text("GetErrorMsg"), u"成功(0)");
  EXPECT_EQ(lib.Int("GetCapiErrorCode"), 0);
  EXPECT_EQ(lib.Text("GetCapiErrorMsg"), u"成功(0)");
  EXPECT_EQ(lib.Int("GetRegisterUserMode"), -1);
  EXPECT_EQ(lib.Text("GetDllVersion"), u"4.0.1.2");
}

TEST(FlatExportsTest, PresetPasswdLengthRangeKeepsThePreviousOutcome) {
  FlatLibrary lib;
  EXPECT_EQ(lib.Int("PresetPasswdLengthRange", 20, 5), 0);
  EXPECT_EQ(lib.ErrorCode(), 0);
  EXPECT_EQ(lib.Int("PresetPasswdLengthRange", INT32_MIN, INT32_MAX), 0);
}

TEST(FlatExportsTest, BstrFunctionsFollowTheAutomationLayout) {
  FlatLibrary lib;
  auto alloc = lib.Symbol<char16_t*(const char16_t*)>("SysAllocString");
  auto allocLen = lib.Symbol<char16_t*(const char16_t*, uint32_t)>("SysAllocStringLen");
  auto len = lib.Symbol<uint32_t(char16_t*)>("SysStringLen");
  auto release = lib.Symbol<void(char16_t*)>("SysFreeString");
  ASSERT_TRUE(alloc && allocLen && len && release);
  EXPECT_EQ(alloc(nullptr), nullptr);
  EXPECT_EQ(len(nullptr), 0u);
  release(nullptr);
  char16_t* s = allocLen(u"ab\0cd", 5);
  EXPECT_EQ(len(s), 5u);
  EXPECT_EQ(s[5], u'\0');
  release(s);
  char16_t* zeroed = allocLen(nullptr, 3);
  EXPECT_EQ(zeroed[0], u'\0');
  release(zeroed);
}

// The library exports the flat functions of the table, the BSTR functions and, once they are
// built, the Java natives and the COM entry points of the same table: nothing else.
TEST(FlatExportsTest, ExportsExactlyTheContractNames) {
  std::string listing;
  ASSERT_EQ(RunCommand("nm -D --defined-only '" + FlatLibrary::Path() + "'", &listing), 0);
  std::set<std::string> exported;
  std::istringstream lines(listing);
  std::string address, kind, name;
  while (lines >> address >> kind >> name) exported.insert(name);

  std::set<std::string> required = {"SysAllocString", "SysAllocStringLen", "SysStringLen",
                                    "SysFreeString"};
  std::set<std::string> allowed = {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer",
                                   "DllUnregisterServer"};
#define ZYQ_EXPECT_EXPORT(order, dispid, Name, Flat, ...) \
  required.insert(#Flat);                                 \
  allowed.insert("Java_com_ZYQ_ZYQSecATL_" #Name);
  ZYQ_FOR_EACH_OPERATION(ZYQ_EXPECT_EXPORT)
#undef ZYQ_EXPECT_EXPORT
  for (const std::string& name : required) EXPECT_TRUE(exported.count(name)) << name;
  for (const std::string& name : exported) {
    EXPECT_TRUE(required.count(name) || allowed.count(name)) << "unexpected export " << name;
  }
}

}  // namespace
}  // namespace zyq::test
