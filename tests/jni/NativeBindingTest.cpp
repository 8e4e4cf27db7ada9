// The natives' argument and result rules, checked against a scripted JNI environment that
// records every GetStringChars / ReleaseStringChars / NewString the binding makes.
#include "api/jni/NativeBinding.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/Bstr.h"

namespace zyq::jni {
namespace {

// A Java string of the fake virtual machine.
struct FakeString {
  std::u16string chars;
  bool charsUnavailable = false;  // GetStringChars answers null (out of memory)
};

// The scripted JNIEnv: a function table with the four string functions the natives may use;
// every other slot is null, so any other use would crash the test.
class FakeJvm {
 public:
  FakeJvm() {
    std::memset(&table_, 0, sizeof table_);
    table_.GetStringChars = &GetStringChars;
    table_.ReleaseStringChars = &ReleaseStringChars;
    table_.GetStringLength = &GetStringLength;
    table_.NewString = &NewString;
    env_.functions = &table_;
    current_ = this;
  }
  ~FakeJvm() { current_ = nullptr; }

  JNIEnv* env() { return &env_; }
  jstring Make(std::u16string text, bool unavailable = false) {
    strings_.push_back(std::make_unique<FakeString>(FakeString{std::move(text), unavailable}));
    return reinterpret_cast<jstring>(strings_.back().get());
  }
  static const FakeString& Of(jstring s) { return *reinterpret_cast<FakeString*>(s); }

  std::vector<std::string> events;  // "get:<text>", "release:<text>", "new:<text>", "call"
  int pinned = 0;

 private:
  static std::string Narrow(const std::u16string& s) { return std::string(s.begin(), s.end()); }

  static const jchar* GetStringChars(JNIEnv*, jstring s, jboolean* isCopy) {
    FakeString& fs = *reinterpret_cast<FakeString*>(s);
    current_->events.push_back("get:" + Narrow(fs.chars));
    if (fs.charsUnavailable) return nullptr;
    if (isCopy != nullptr) *isCopy = JNI_TRUE;
    // Like a real VM: no terminator after the characters, and garbage where one would be.
    auto* buffer = new jchar[fs.chars.size() + 1];
    std::memcpy(buffer, fs.chars.data(), fs.chars.size() * sizeof(jchar));
    buffer[fs.chars.size()] = u'#';
    ++current_->pinned;
    return buffer;
  }
  static void ReleaseStringChars(JNIEnv*, jstring s, const jchar* chars) {
    current_->events.push_back("release:" + Narrow(Of(s).chars));
    delete[] chars;
    --current_->pinned;
  }
  static jsize GetStringLength(JNIEnv*, jstring s) {
    return static_cast<jsize>(Of(s).chars.size());
  }
  static jstring NewString(JNIEnv*, const jchar* chars, jsize length) {
    std::u16string text(reinterpret_cast<const char16_t*>(chars), size_t(length));
    current_->events.push_back("new:" + Narrow(text));
    return current_->Make(text);
  }

  static inline FakeJvm* current_ = nullptr;
  JNINativeInterface_ table_;
  JNIEnv env_;
  std::vector<std::unique_ptr<FakeString>> strings_;
};

// What the fake exports saw.
struct ExportCall {
  std::vector<std::optional<std::u16string>> texts;
  std::vector<int32_t> ints;
  bool terminated = true;
};
std::optional<ExportCall> lastCall;
FakeJvm* jvm = nullptr;
std::u16string nextTextResult;
bool nextResultNull = false;

void Record(const char16_t* text) {
  if (text == nullptr) {
    lastCall->texts.push_back(std::nullopt);
    return;
  }
  lastCall->texts.push_back(std::u16string(text));
}

char16_t* TextExport(const char16_t* a, int32_t n, const char16_t* b) {
  lastCall.emplace();
  jvm->events.push_back("call");
  Record(a);
  Record(b);
  lastCall->ints.push_back(n);
  if (nextResultNull) return nullptr;
  return platform::AllocBstrLen(nextTextResult.data(), uint32_t(nextTextResult.size()));
}

int32_t IntExport(const char16_t* a, const char16_t* b, int32_t x, int32_t y) {
  lastCall.emplace();
  jvm->events.push_back("call");
  Record(a);
  Record(b);
  lastCall->ints = {x, y};
  return x - y;
}

int32_t NoTextExport(int32_t x) {
  lastCall.emplace();
  lastCall->ints = {x};
  return x * 2;
}

char16_t* NoArgExport() {
  lastCall.emplace();
  return platform::AllocBstr(u"4.0.1.2");
}

class NativeBindingTest : public testing::Test {
 protected:
  void SetUp() override {
    jvm = &fake;
    lastCall.reset();
    nextTextResult = u"result";
    nextResultNull = false;
  }
  void TearDown() override {
    EXPECT_EQ(fake.pinned, 0) << "characters left pinned";
    jvm = nullptr;
  }
  std::optional<std::u16string> JavaText(jstring s) {
    if (s == nullptr) return std::nullopt;
    return FakeJvm::Of(s).chars;
  }
  FakeJvm fake;
};

using TextNative = NativeBinding<&TextExport>;
using IntNative = NativeBinding<&IntExport>;

TEST_F(NativeBindingTest, TextArgumentsReachTheExportTerminatedAndAreReleasedInOrderAfterIt) {
  jstring result = TextNative::Call(fake.env(), fake.Make(u"first"), -7, fake.Make(u"second"));
  ASSERT_TRUE(lastCall.has_value());
  ASSERT_EQ(lastCall->texts.size(), 2u);
  EXPECT_EQ(lastCall->texts[0], u"first");  // no '#' read past the characters
  EXPECT_EQ(lastCall->texts[1], u"second");
  EXPECT_EQ(lastCall->ints, std::vector<int32_t>{-7});
  EXPECT_EQ(JavaText(result), u"result");
  EXPECT_EQ(fake.events, (std::vector<std::string>{"get:first", "get:second", "call", "new:result",
                                                   "release:first", "release:second"}));
}

TEST_F(NativeBindingTest, EmbeddedNulInAnArgumentIsPassedAsTheJavaStringHasIt) {
  // The export itself copies up to the first NUL (as SysAllocString does); the binding hands
  // over all characters followed by a terminator.
  TextNative::Call(fake.env(), fake.Make(std::u16string(u"ab\0cd", 5)), 0, fake.Make(u""));
  ASSERT_TRUE(lastCall.has_value());
  EXPECT_EQ(lastCall->texts[0], u"ab");
  EXPECT_EQ(lastCall->texts[1], u"");
}

TEST_F(NativeBindingTest, NullStringArgumentSkipsTheExportAndReleasesTheEarlierOnes) {
  EXPECT_EQ(TextNative::Call(fake.env(), nullptr, 1, fake.Make(u"b")), nullptr);
  EXPECT_FALSE(lastCall.has_value());
  EXPECT_TRUE(fake.events.empty());

  EXPECT_EQ(TextNative::Call(fake.env(), fake.Make(u"a"), 1, nullptr), nullptr);
  EXPECT_FALSE(lastCall.has_value());
  EXPECT_EQ(fake.events, (std::vector<std::string>{"get:a", "release:a"}));

  fake.events.clear();
  EXPECT_EQ(IntNative::Call(fake.env(), fake.Make(u"a"), nullptr, 1, 2), -1);
  EXPECT_EQ(IntNative::Call(fake.env(), nullptr, fake.Make(u"b"), 1, 2), -1);
  EXPECT_FALSE(lastCall.has_value());
  EXPECT_EQ(fake.events, (std::vector<std::string>{"get:a", "release:a"}));
}

TEST_F(NativeBindingTest, UnavailableCharactersCountAsANullArgument) {
  EXPECT_EQ(IntNative::Call(fake.env(), fake.Make(u"a"), fake.Make(u"b", true), 5, 6), -1);
  EXPECT_FALSE(lastCall.has_value());
  EXPECT_EQ(fake.events, (std::vector<std::string>{"get:a", "get:b", "release:a"}));
}

TEST_F(NativeBindingTest, TextResultsAreCutAtTheFirstNulAndEmptyOnesBecomeNull) {
  nextTextResult = std::u16string(u"abc\0def", 7);
  EXPECT_EQ(JavaText(TextNative::Call(fake.env(), fake.Make(u"x"), 0, fake.Make(u"y"))), u"abc");

  fake.events.clear();
  nextTextResult = u"";
  EXPECT_EQ(TextNative::Call(fake.env(), fake.Make(u"x"), 0, fake.Make(u"y")), nullptr);
  nextTextResult = std::u16string(u"\0abc", 4);
  EXPECT_EQ(TextNative::Call(fake.env(), fake.Make(u"x"), 0, fake.Make(u"y")), nullptr);
  nextResultNull = true;
  EXPECT_EQ(TextNative::Call(fake.env(), fake.Make(u"x"), 0, fake.Make(u"y")), nullptr);
  for (const std::string& e : fake.events) EXPECT_NE(e.rfind("new:", 0), 0u) << e;
}

TEST_F(NativeBindingTest, IntegersPassUnchangedBothWays) {
  EXPECT_EQ(IntNative::Call(fake.env(), fake.Make(u"a"), fake.Make(u"b"), 10, 3), 7);
  EXPECT_EQ(lastCall->ints, (std::vector<int32_t>{10, 3}));
  EXPECT_EQ(NativeBinding<&NoTextExport>::Call(fake.env(), INT32_MIN / 2), INT32_MIN);
  EXPECT_EQ(NativeBinding<&NoTextExport>::Call(fake.env(), -1), -2);
  EXPECT_EQ(JavaText(NativeBinding<&NoArgExport>::Call(fake.env())), u"4.0.1.2");
}

}  // namespace
}  // namespace zyq::jni
