// The host, registry and digest exports through the loaded library, and every export of the
// table under hostile arguments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "api/OperationTable.h"
#include "tests/api/FlatLibrary.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

TEST(FlatHostExportsTest, RegistryRoundTrips) {
  FlatLibrary lib;
  const char16_t* mode = u"Software\\ZYQSecurities\\RegisterMode";
  EXPECT_EQ(lib.Int("RegWriteHKCUInt", mode, int32_t{-5}), 0);
  EXPECT_EQ(lib.Text("RegReadHKCU", mode), u"-5");
  EXPECT_EQ(lib.ErrorCode(), 0);

  EXPECT_EQ(lib.Text("RegReadHKCU", u"RegisterMode"), u"");
  EXPECT_EQ(lib.ErrorCode(), 5005);
  EXPECT_EQ(lib.Int("RegWriteHKCUInt", u"RegisterMode", int32_t{1}), 5005);
  EXPECT_EQ(lib.Text("RegReadHKCU", u"Software\\ZYQSecurities\\Missing"), u"");
  EXPECT_EQ(lib.ErrorCode(), 0);

  EXPECT_EQ(lib.Int("RegWriteHKCUStr", u"Software\\ZYQSecurities\\", u"預設值"), 0);
  EXPECT_EQ(lib.Text("RegReadHKCU", u"Software\\ZYQSecurities\\"), u"預設值");
  EXPECT_EQ(lib.Int("GetCapiErrorCode"), 0);
}

TEST(FlatHostExportsTest, HashFlags) {
  FlatLibrary lib;
  EXPECT_EQ(lib.Text("Hash", u"abc", int32_t{0x12}), u"A9993E364706816ABA3E25717850C26C9CD0D89D");
  // SHA-1 of the UTF-16LE bytes 61 00 62 00 63 00.
  EXPECT_EQ(lib.Text("Hash", u"abc", int32_t{2}), u"9F04F41A848514162050E3D68C1A7ABB441DC2B5");
  EXPECT_EQ(lib.Text("Hash", u"abc", int32_t{1})->size(), 32u);
  EXPECT_EQ(lib.Text("Hash", u"abc", int32_t{3})->size(), 64u);
  EXPECT_EQ(lib.Text("Hash", u"abc", int32_t{4})->size(), 128u);
  for (int32_t flags : {0, 5, 6, 7}) {
    EXPECT_EQ(lib.Text("Hash", u"abc", flags), lib.Text("Hash", u"abc", int32_t{2})) << flags;
  }
  EXPECT_EQ(lib.ErrorCode(), 0);
  EXPECT_EQ(lib.Text("Hash", u"", int32_t{2}), u"");
  EXPECT_EQ(lib.ErrorCode(), 5005);
}

TEST(FlatHostExportsTest, HostFacts) {
  FlatLibrary lib;
  EXPECT_EQ(lib.Text("GetWindowsSystemName"), u"非 Windows 作業系統");
  const std::string home = std::getenv("HOME");
  const std::optional<std::u16string> path = lib.Text("GetDefaultCertPath");
  ASSERT_TRUE(path.has_value());
  EXPECT_EQ(*path, std::u16string(home.begin(), home.end()) + u"/ZYQ證券");  // $HOME is ASCII
  const std::optional<std::u16string> macs = lib.Text("GetMacAddress");
  ASSERT_TRUE(macs.has_value());
  if (lib.ErrorCode() == 0) {
    EXPECT_EQ(macs->size() % 18, 17u);
  }
}

TEST(FlatHostExportsTest, HashFileCodes) {
  FlatLibrary lib;
  const std::string file = TestRoot() + "/abc.txt";
  ASSERT_TRUE(WriteFile(file, "abc"));
  ASSERT_TRUE(WriteFile(TestRoot() + "/empty.txt", ""));
  const std::u16string path(file.begin(), file.end());
  EXPECT_EQ(lib.Text("HashFile", path.c_str(), int32_t{2}),
            u"A9993E364706816ABA3E25717850C26C9CD0D89D");
  EXPECT_EQ(lib.ErrorCode(), 0);
  const std::string missing = TestRoot() + "/missing.txt";
  EXPECT_EQ(
      lib.Text("HashFile", std::u16string(missing.begin(), missing.end()).c_str(), int32_t{2}),
      u"");
  EXPECT_EQ(lib.ErrorCode(), 5902);
  const std::string empty = TestRoot() + "/empty.txt";
  EXPECT_EQ(lib.Text("HashFile", std::u16string(empty.begin(), empty.end()).c_str(), int32_t{2}),
            u"");
  EXPECT_EQ(lib.ErrorCode(), 1002);
}

// Runs the library's dialogs from a script file for the life of the object.
class DialogScript {
 public:
  explicit DialogScript(const std::string& lines) : path_(TestRoot() + "/flat-dialogs.script") {
    WriteFile(path_, lines);
    setenv("ZYQSEC_UI", ("script:" + path_).c_str(), 1);
  }
  ~DialogScript() { setenv("ZYQSEC_UI", "none", 1); }

 private:
  std::string path_;
};

TEST(FlatHostExportsTest, HashFileAsksTheDialogHost) {
  FlatLibrary lib;
  const std::string file = TestRoot() + "/picked.txt";
  ASSERT_TRUE(WriteFile(file, "abc"));
  {
    DialogScript script("cancel\nok\tpath=" + file + "\n");
    EXPECT_EQ(lib.Text("HashFile", u"", int32_t{0x12}), u"");
    EXPECT_EQ(lib.ErrorCode(), 5070);
    EXPECT_EQ(lib.Text("HashFile", static_cast<const char16_t*>(nullptr), int32_t{0x12}),
              u"A9993E364706816ABA3E25717850C26C9CD0D89D");
    EXPECT_EQ(lib.ErrorCode(), 0);
    // The script is used up: no line left counts as Cancel.
    EXPECT_EQ(lib.Text("HashFile", u"", int32_t{0}), u"");
    EXPECT_EQ(lib.ErrorCode(), 5070);
  }
  // No dialog can be created: 5002 at once, not a Cancel.
  EXPECT_EQ(lib.Text("HashFile", u"", int32_t{0}), u"");
  EXPECT_EQ(lib.ErrorCode(), 5002);
  EXPECT_EQ(lib.Text("SelectLocalFolder", u"/tmp", u""), u"");
}

TEST(FlatHostExportsTest, SelectLocalFolderAnswersTheChosenFolder) {
  FlatLibrary lib;
  DialogScript script("ok\tpath=/data/證券\n");
  EXPECT_EQ(lib.Text("SelectLocalFolder", u"/tmp", static_cast<const char16_t*>(nullptr)),
            u"/data/證券");
}

// Calls every export of the table with the same text in each text argument and the same
// number in each integer argument; checks that text results are real BSTRs.
void CallEveryExport(const FlatLibrary& lib, const char16_t* text, int32_t number) {
#define ZYQ_TEST_PARAM_TEXT(name) const char16_t*
#define ZYQ_TEST_PARAM_INT(name) int32_t
#define ZYQ_TEST_PARAM(arg) ZYQ_ARG_KIND(ZYQ_TEST_PARAM_, arg)
#define ZYQ_TEST_VALUE_TEXT(name) text
#define ZYQ_TEST_VALUE_INT(name) number
#define ZYQ_TEST_VALUE(arg) ZYQ_ARG_KIND(ZYQ_TEST_VALUE_, arg)
#define ZYQ_TEST_CALL_TEXT(Flat, ...)                                                  \
  {                                                                                    \
    auto fn = lib.Symbol<char16_t*(ZYQ_MAP_ARGS(ZYQ_TEST_PARAM, __VA_ARGS__))>(#Flat); \
    ASSERT_NE(fn, nullptr) << #Flat;                                                   \
    char16_t* result = fn(ZYQ_MAP_ARGS(ZYQ_TEST_VALUE, __VA_ARGS__));                  \
    EXPECT_NE(result, nullptr) << #Flat;                                               \
    lib.Symbol<void(char16_t*)>("SysFreeString")(result);                              \
  }
#define ZYQ_TEST_CALL_INT(Flat, ...)                                                 \
  {                                                                                  \
    auto fn = lib.Symbol<int32_t(ZYQ_MAP_ARGS(ZYQ_TEST_PARAM, __VA_ARGS__))>(#Flat); \
    ASSERT_NE(fn, nullptr) << #Flat;                                                 \
    fn(ZYQ_MAP_ARGS(ZYQ_TEST_VALUE, __VA_ARGS__));                                   \
  }
#define ZYQ_TEST_CALL_ROW(order, dispid, Name, Flat, Result, ...) \
  ZYQ_TEST_CALL_##Result(Flat __VA_OPT__(, ) __VA_ARGS__)
  (void)text;
  (void)number;
  ZYQ_FOR_EACH_OPERATION(ZYQ_TEST_CALL_ROW)
#undef ZYQ_TEST_CALL_ROW
#undef ZYQ_TEST_CALL_INT
#undef ZYQ_TEST_CALL_TEXT
}

TEST(FlatHostExportsTest, HostileArgumentsNeverCrash) {
  FlatLibrary lib;
  const std::u16string big(1 << 20, u'證');
  const std::u16string backslashes(10000, u'\\');
  const std::u16string surrogates = u"a\xD800\\b\xDC00\\\xDBFF";
  const std::u16string outsideCp950 = u"Software\\€😀א\\ก";
  const std::u16string bigName = u"Software\\" + std::u16string(1 << 20, u'k') + u"\\v";
  for (const char16_t* text :
       {static_cast<const char16_t*>(nullptr), u"", big.c_str(), backslashes.c_str(),
        surrogates.c_str(), outsideCp950.c_str(), bigName.c_str()}) {
    for (int32_t number : {0, -1, INT32_MIN, INT32_MAX}) {
      SCOPED_TRACE(::testing::Message() << "number " << number << ", text length "
                                        << (text ? std::u16string_view(text).size() : 0));
      CallEveryExport(lib, text, number);
    }
  }
}

TEST(FlatHostExportsTest, HostileRegistryNames) {
  FlatLibrary lib;
  const std::u16string backslashes(10000, u'\\');
  EXPECT_EQ(lib.Text("RegReadHKCU", backslashes.c_str()), u"");
  EXPECT_EQ(lib.ErrorCode(), 5906);
  EXPECT_EQ(lib.Int("RegWriteHKCUStr", backslashes.c_str(), u"x"), 5906);
  // Characters code page 950 cannot hold become "?": both names below are the same one.
  EXPECT_EQ(lib.Int("RegWriteHKCUStr", u"Software\\א\\ก", u"😀uro€"), 0);
  EXPECT_EQ(lib.Text("RegReadHKCU", u"Software\\?\\?"), u"?uro€");
  // Lone surrogates are characters the code page cannot hold either.
  EXPECT_EQ(lib.Int("RegWriteHKCUInt", u"Software\\\xD800\\\xDC00", int32_t{9}), 0);
  EXPECT_EQ(lib.Text("RegReadHKCU", u"Software\\?\\?"), u"9");
  // A key name over 255 characters cannot be created; a value name of 1 MiB neither.
  const std::u16string longKey = u"Software\\" + std::u16string(256, u'k') + u"\\v";
  EXPECT_EQ(lib.Int("RegWriteHKCUInt", longKey.c_str(), int32_t{1}), 5906);
  const std::u16string longValue = u"Software\\" + std::u16string(1 << 20, u'v');
  EXPECT_EQ(lib.Int("RegWriteHKCUInt", longValue.c_str(), int32_t{1}), 5906);
  // A value of 1 MiB is written and reads as "" (more than the reader's 255 bytes).
  const std::u16string big(1 << 20, u'x');
  EXPECT_EQ(lib.Int("RegWriteHKCUStr", u"Software\\Big\\v", big.c_str()), 0);
  EXPECT_EQ(lib.Text("RegReadHKCU", u"Software\\Big\\v"), u"");
  EXPECT_EQ(lib.ErrorCode(), 0);
}

// The zyqsec command prints its results in UTF-8.
TEST(FlatHostExportsTest, CommandLineSession) {
  const std::string zyqsec = ZYQ_ZYQSEC_PATH;
  std::string out;
  ASSERT_EQ(RunCommand("'" + zyqsec +
                           "' RegWriteHKCUStr 'Software\\ZYQ\\名稱' '證券' RegReadHKCU "
                           "'software\\zyq\\名稱' Hash abc 18 RegReadHKCU NoBackslash",
                       &out),
            1)  // the last operation failed
      << out;
  EXPECT_NE(out.find("RegReadHKCU(\"software\\zyq\\名稱\") = \"證券\""), std::string::npos) << out;
  EXPECT_NE(out.find("= \"A9993E364706816ABA3E25717850C26C9CD0D89D\""), std::string::npos) << out;
  EXPECT_NE(out.find("code 5005 錯誤的參數(5005)"), std::string::npos) << out;

  const std::string input = TestRoot() + "/batch.txt";
  ASSERT_TRUE(WriteFile(input,
                        "[\"RegWriteHKCUInt\",\"Software\\\\ZYQ\\\\N\",-5]\n"
                        "[\"RegReadHKCU\",\"Software\\\\ZYQ\\\\N\"]\n"
                        "[\"Hash\",null,2]\n"));
  ASSERT_EQ(RunCommand("'" + zyqsec + "' --batch < '" + input + "'", &out), 0) << out;
  EXPECT_NE(out.find("{\"result\": \"-5\", \"code\": 0, \"capi\": 0}"), std::string::npos) << out;
  EXPECT_NE(out.find("{\"result\": \"\", \"code\": 5005, \"capi\": 0}"), std::string::npos) << out;
}

}  // namespace
}  // namespace zyq::test
