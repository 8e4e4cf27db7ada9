// zyqsec native-host in-process, through the frames a browser would send: every frame
// boundary, malformed messages, the origin rules and the classes, and the dialogs' naming of
// the page.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "cli/JsonDocument.h"
#include "cli/NativeFrames.h"
#include "cli/NativeHost.h"
#include "cli/OriginPolicy.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

using cli::host_code::kBadRequest;
using cli::host_code::kHostOnly;
using cli::host_code::kOriginChanged;
using cli::host_code::kOriginRefused;
using cli::host_code::kTooLarge;
using cli::host_code::kUnknownOperation;

constexpr const char* kAllowed = "http://127.0.0.1:8000";
constexpr const char* kQuotes = "https://quotes.example";
constexpr const char* kStranger = "https://stranger.example";
constexpr const char* kAbcSha1 = "A9993E364706816ABA3E25717850C26C9CD0D89D";

std::string Header(uint32_t length) {
  return {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
          static_cast<char>((length >> 16) & 0xFF), static_cast<char>(length >> 24)};
}

std::string Frame(const std::string& body) {
  return Header(static_cast<uint32_t>(body.size())) + body;
}

std::string Request(const std::string& origin, const std::string& op, const std::string& args,
                    const std::string& id = "1") {
  return "{\"id\":" + id + ",\"origin\":\"" + origin + "\",\"op\":\"" + op + "\",\"args\":" + args +
         "}";
}

struct HostRun {
  int status = 0;
  std::vector<cli::Json> answers;
  std::string rest;  // bytes after the last whole frame
};

HostRun Host(const std::string& input,
             const cli::OriginPolicy& policy = cli::OriginPolicy::FromTexts(
                 std::string(kAllowed) + "\n" + kQuotes + " harmless\n", "")) {
  std::istringstream in(input);
  std::ostringstream out;
  HostRun run;
  run.status = cli::RunNativeHost(in, out, policy);
  std::istringstream frames(out.str());
  std::string body;
  while (cli::ReadFrame(frames, &body) == cli::FrameRead::kMessage) {
    std::string why;
    auto answer = cli::ParseJson(body, &why);
    EXPECT_TRUE(answer) << why << ": " << body;
    if (answer) run.answers.push_back(*answer);
  }
  return run;
}

int64_t Code(const cli::Json& answer) {
  const cli::Json* code = answer.Member("code");
  return code != nullptr && code->integer ? *code->integer : -1;
}

bool NullResult(const cli::Json& answer) {
  const cli::Json* result = answer.Member("result");
  return result != nullptr && result->kind == cli::Json::Kind::kNull;
}

std::string Text(const cli::Json& answer) {
  const cli::Json* result = answer.Member("result");
  return result != nullptr ? result->text : std::string();
}

TEST(NativeHostTest, FrameBoundaries) {
  const std::string version = Frame(Request(kAllowed, "GetVersion", "[]"));
  // An empty frame and a one-byte frame are answered as malformed; the connection goes on.
  HostRun run = Host(Frame("") + Frame("x") + version);
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.answers.size(), 3u);
  EXPECT_EQ(Code(run.answers[0]), kBadRequest);
  EXPECT_EQ(Code(run.answers[1]), kBadRequest);
  EXPECT_TRUE(NullResult(run.answers[1]));
  EXPECT_EQ(Code(run.answers[2]), 0);
  EXPECT_FALSE(Text(run.answers[2]).empty());

  // A length cut short, and a body cut short: no answer, the connection ends.
  for (const std::string& cut :
       {version + Header(40).substr(0, 3), version + Header(100) + std::string(10, ' ')}) {
    run = Host(cut);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.answers.size(), 1u);
  }

  // Over 64 MiB: refused without reading the body, then the connection ends.
  run = Host(version + Header(cli::kMaxIncomingFrame + 1) + "{}" + version);
  EXPECT_EQ(run.status, 1);
  ASSERT_EQ(run.answers.size(), 2u);
  EXPECT_EQ(Code(run.answers[1]), kTooLarge);
}

TEST(NativeHostTest, ExactlyTheIncomingLimitIsServed) {
  // A request of exactly 64 MiB, its size made up by spaces inside the JSON.
  std::string body = Request(kAllowed, "Hash", "[\"abc\", 18]");
  body.insert(body.size() - 1, cli::kMaxIncomingFrame - body.size(), ' ');
  ASSERT_EQ(body.size(), cli::kMaxIncomingFrame);
  HostRun run = Host(Frame(body));
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.answers.size(), 1u);
  EXPECT_EQ(Code(run.answers[0]), 0);
  EXPECT_EQ(Text(run.answers[0]), kAbcSha1);
}

TEST(NativeHostTest, AnswersNeverPassOneMebibyte) {
  std::ostringstream out;
  EXPECT_TRUE(cli::WriteFrame(out, std::string(cli::kMaxOutgoingFrame, 'a')));
  EXPECT_EQ(out.str().size(), cli::kMaxOutgoingFrame + 4);
  std::ostringstream over;
  EXPECT_FALSE(cli::WriteFrame(over, std::string(cli::kMaxOutgoingFrame + 1, 'a')));
  EXPECT_TRUE(over.str().empty());

  // The id comes back in the answer: an id of 2 MiB cannot, so the answer says why, without it.
  const std::string id = "\"" + std::string(2 << 20, 'i') + "\"";
  HostRun run = Host(Frame(Request(kAllowed, "Hash", "[\"abc\", 18]", id)));
  ASSERT_EQ(run.answers.size(), 1u);
  EXPECT_EQ(Code(run.answers[0]), kTooLarge);
  EXPECT_EQ(run.answers[0].Member("id")->kind, cli::Json::Kind::kNull);
}

TEST(NativeHostTest, MalformedMessagesAreAnsweredAndTheConnectionGoesOn) {
  const std::vector<std::string> bad = {
      "{\"id\":1,\"origin\":\"http://127.0.0.1:8000\",\"op\":\"Hash\",\"args\":[\"\xC3\x28\",18]}",
      "{\"id\":1,\"origin\":\"http://127.0.0.1:8000\",\"op\":\"Hash\",\"args\":[\"\\ud800\",18]}",
      "{\"id\":1,\"origin\":\"http://127.0.0.1:8000\",\"op\":\"Hash\",\"args\":[\"abc\",18]",
      "{\"id\":1,\"id\":2,\"origin\":\"http://127.0.0.1:8000\",\"op\":\"Hash\",\"args\":[]}",
      std::string(100000, '['),
      "[\"Hash\", \"abc\", 18]",
      Request(kAllowed, "Hash", "[\"abc\"]"),
      Request(kAllowed, "Hash", "[\"abc\", 18.5]"),
      Request(kAllowed, "Hash", "[\"abc\", 4294967296]"),
      Request(kAllowed, "Hash", "[18, 18]"),
      Request("http://127.0.0.1:8000/", "Hash", "[\"abc\", 18]"),
      "{\"id\":1,\"op\":\"Hash\",\"args\":[\"abc\",18]}",
  };
  std::string input;
  for (const std::string& body : bad) input += Frame(body);
  input += Frame(Request(kAllowed, "Hash", "[\"abc\", 18]", "\"last\""));
  HostRun run = Host(input);
  EXPECT_EQ(run.status, 0);
  ASSERT_EQ(run.answers.size(), bad.size() + 1);
  for (size_t i = 0; i < bad.size(); ++i) {
    EXPECT_EQ(Code(run.answers[i]), kBadRequest) << i;
    EXPECT_TRUE(NullResult(run.answers[i])) << i;
  }
  EXPECT_EQ(run.answers.back().Member("id")->text, "last");
  EXPECT_EQ(Text(run.answers.back()), kAbcSha1);
}

TEST(NativeHostTest, OriginsAndClasses) {
  // On the list: harmless and user-consent operations run, host-only ones never; an unknown
  // operation is named as such; the connection keeps its first origin.
  HostRun run = Host(Frame(Request(kAllowed, "SetKeyBits", "[1024]")) +
                     Frame(Request(kAllowed, "RegReadHKCU", "[\"Software\"]")) +
                     Frame(Request(kAllowed, "SelectLocalFolder", "[null, null]")) +
                     Frame(Request(kAllowed, "FormatDisk", "[]")) +
                     Frame(Request(kStranger, "Hash", "[\"abc\", 18]")) +
                     Frame(Request(kAllowed, "GetErrorCode", "[]")));
  ASSERT_EQ(run.answers.size(), 6u);
  EXPECT_EQ(Code(run.answers[0]), 0);
  EXPECT_EQ(Code(run.answers[1]), kHostOnly);
  EXPECT_EQ(Code(run.answers[2]), kHostOnly);
  EXPECT_EQ(Code(run.answers[3]), kUnknownOperation);
  EXPECT_EQ(Code(run.answers[4]), kOriginChanged);
  EXPECT_TRUE(NullResult(run.answers[4]));

  // Not on the list: the version only.
  run = Host(Frame(Request(kStranger, "GetVersion", "[]")) +
             Frame(Request(kStranger, "Hash", "[\"abc\", 18]")) +
             Frame(Request(kStranger, "SignPkcs7", "[\"A123456789\", \"x\", 2048, 0]")));
  ASSERT_EQ(run.answers.size(), 3u);
  EXPECT_EQ(Code(run.answers[0]), 0);
  EXPECT_EQ(Code(run.answers[1]), kOriginRefused);
  EXPECT_EQ(Code(run.answers[2]), kOriginRefused);
  EXPECT_TRUE(NullResult(run.answers[2]));

  // Harmless only: digests yes, enrollment and the demonstration authority no.
  run = Host(Frame(Request(kQuotes, "Hash", "[\"abc\", 18]")) +
             Frame(Request(kQuotes, "CreatePKCS10", "[\"A123456789\"]")) +
             Frame(Request(kQuotes, cli::kDemoIssueOperation, "[\"AAAA\"]")));
  ASSERT_EQ(run.answers.size(), 3u);
  EXPECT_EQ(Text(run.answers[0]), kAbcSha1);
  EXPECT_EQ(Code(run.answers[1]), kOriginRefused);
  EXPECT_EQ(Code(run.answers[2]), kOriginRefused);
}

TEST(NativeHostTest, TheAdministratorsListWins) {
  const auto policy = cli::OriginPolicy::FromTexts(
      "https://a.example\nhttps://b.example\nhttps://c.example harmless\n"
      "https://d.example  user-consent  demo # the broker\nHTTPS://E.example\n"
      "https://f.example/ \nhttps://g.example:0\nhttps://h.example frobnicate\n",
      "https://b.example deny\nhttps://c.example user-consent\n");
  using cli::OperationClass;
  EXPECT_TRUE(policy.Permits("https://a.example", OperationClass::kUserConsent));
  EXPECT_FALSE(policy.Permits("https://b.example", OperationClass::kHarmless));
  EXPECT_TRUE(policy.Permits("https://c.example", OperationClass::kUserConsent));
  EXPECT_TRUE(policy.For("https://d.example").demoAuthority);
  EXPECT_FALSE(policy.For("https://a.example").demoAuthority);
  for (const char* ignored : {"https://e.example", "HTTPS://E.example", "https://f.example",
                              "https://g.example:0", "https://h.example"}) {
    EXPECT_FALSE(policy.For(ignored).allowed) << ignored;
  }
  EXPECT_FALSE(policy.Permits("https://a.example", OperationClass::kHostOnly));

  const auto locked = cli::OriginPolicy::FromTexts("https://a.example\n", "lock\n");
  EXPECT_FALSE(locked.For("https://a.example").allowed);
}

TEST(NativeHostTest, DialogsNameThePage) {
  const std::string script = TestRoot() + "/dialogs.script";
  const std::string transcript = TestRoot() + "/dialogs.jsonl";
  ASSERT_TRUE(WriteFile(script, "cancel\n"));
  setenv("ZYQSEC_UI", ("script:" + script).c_str(), 1);
  setenv("ZYQSEC_UI_LOG", transcript.c_str(), 1);
  // HashFile without a name asks for the file.
  HostRun run = Host(Frame(Request(kAllowed, "HashFile", "[\"\", 18]")));
  unsetenv("ZYQSEC_UI_LOG");
  setenv("ZYQSEC_UI", "none", 1);
  ASSERT_EQ(run.answers.size(), 1u);
  EXPECT_EQ(Code(run.answers[0]), 5070);
  std::string why;
  const auto line = cli::ParseJson(ReadFile(transcript), &why);
  ASSERT_TRUE(line) << why;
  ASSERT_NE(line->Member("origin"), nullptr);
  EXPECT_EQ(line->Member("origin")->text, kAllowed);
  EXPECT_EQ(line->Member("caption")->text, "請選擇檔案");
}

}  // namespace
}  // namespace zyq::test
