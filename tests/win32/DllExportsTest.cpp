// The DLL as a Windows caller meets it: loaded with LoadLibrary, every operation bound by its
// exported name (the full __stdcall decoration in the 32-bit DLL: "_Hash@8",
// "_Java_com_ZYQ_ZYQSecATL_Hash@16"), and an export table that holds those names and the four
// COM entry points, nothing else.
#include <windows.h>
// (the headers below need windows.h first)
#include <oleauto.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "api/OperationTable.h"

namespace {

// A bound export as the function type its caller declares.
template <typename F>
F Bind(HMODULE module, const std::string& name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name.c_str())));
}

constexpr bool kDecorated = sizeof(void*) == 4;

// The name a caller binds: "_Name@bytes" in the 32-bit DLL, "Name" in the 64-bit one.
std::string ExportName(const std::string& name, int argumentBytes) {
  if (!kDecorated) return name;
  return "_" + name + "@" + std::to_string(argumentBytes);
}

struct Row {
  std::string name;
  std::string flat;
  int arguments;
};

#define ZYQ_TEST_COUNT(arg) +1
#define ZYQ_TEST_ROW(order, dispid, Name, Flat, Result, ...) \
  Row{#Name, #Flat, 0 ZYQ_EACH_ARG(ZYQ_TEST_COUNT, __VA_ARGS__)},
const std::vector<Row> kRows = {ZYQ_FOR_EACH_OPERATION(ZYQ_TEST_ROW)};

std::set<std::string> ExpectedExports() {
  std::set<std::string> names;
  for (const Row& r : kRows) {
    names.insert(ExportName(r.flat, 4 * r.arguments));
    names.insert(ExportName("Java_com_ZYQ_ZYQSecATL_" + r.name, 8 + 4 * r.arguments));
  }
  // The COM entry points, which the system looks up by their plain names.
  for (const char* com :
       {"DllGetClassObject", "DllCanUnloadNow", "DllRegisterServer", "DllUnregisterServer"}) {
    names.insert(com);
  }
  return names;
}

// The names of the module's export directory.
std::set<std::string> ExportedNames(HMODULE module) {
  const auto* base = reinterpret_cast<const unsigned char*>(module);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  std::set<std::string> out;
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) {
    out.insert(reinterpret_cast<const char*>(base + names[i]));
  }
  return out;
}

class DllExportsTest : public testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryA("ZYQSecuritiesATL.dll");
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  HMODULE module_ = nullptr;
};

TEST_F(DllExportsTest, ExportTableHoldsExactlyTheOperationsAndNatives) {
  EXPECT_EQ(kRows.size(), 47u);
  EXPECT_EQ(ExportedNames(module_), ExpectedExports());
}

TEST_F(DllExportsTest, EveryExportBindsByItsDecoratedName) {
  for (const std::string& name : ExpectedExports()) {
    EXPECT_NE(GetProcAddress(module_, name.c_str()), nullptr) << name;
  }
}

TEST_F(DllExportsTest, BoundFunctionsKeepTheStackAcrossCalls) {
  using TextFn = BSTR(__stdcall*)();
  using HashFn = BSTR(__stdcall*)(const wchar_t*, int32_t);
  using IntFn = int32_t(__stdcall*)();
  auto version = Bind<TextFn>(module_, ExportName("GetDllVersion", 0));
  auto hash = Bind<HashFn>(module_, ExportName("Hash", 8));
  auto code = Bind<IntFn>(module_, ExportName("GetErrorCode", 0));
  ASSERT_TRUE(version && hash && code);
  for (int i = 0; i < 1000; ++i) {
    BSTR v = version();
    ASSERT_STREQ(v, L"4.0.1.2");
    SysFreeString(v);
    BSTR h = hash(L"abc", 18);  // SHA-1 in upper-case hex
    ASSERT_STREQ(h, L"A9993E364706816ABA3E25717850C26C9CD0D89D");
    SysFreeString(h);
    ASSERT_EQ(code(), 0);
  }
}

}  // namespace
