// Secret hygiene: the state folder is private to its user; a password never reaches the state
// files, the dialog transcript, the error texts or the command's output; the state files hold no
// part of a PKCS#12 file; the certificate list's View writes only the public certificate; and
// the wiping helpers leave nothing of a password in memory they release.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <new>
#include <string>
#include <vector>

#include "platform/Secret.h"
#include "tests/faults/FaultTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

const std::string kPassword = "S3cr3t-Pw-7731";
const std::string kNewPassword = "N3w-S3cr3t-8842";
const std::string kWrongPassword = "Wr0ng-S3cr3t-5519";
const std::string kId = "H700000007";

std::string Utf16Le(const std::string& ascii) {
  std::string out;
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

// Where in `haystack` a secret shows, as ASCII or UTF-16; "" when nowhere.
std::string FindPassword(const std::string& haystack, const std::vector<std::string>& secrets) {
  for (const std::string& secret : secrets) {
    if (haystack.find(secret) != std::string::npos) return secret;
    if (haystack.find(Utf16Le(secret)) != std::string::npos) return secret + " (UTF-16)";
  }
  return "";
}

// Whether any 32-byte piece of `secret` (taken every 16 bytes) shows in `haystack`. Pieces that
// are public (found in `known`: a private key repeats its certificate's modulus) do not count.
bool HoldsPieceOf(const std::string& haystack, const std::string& secret,
                  const std::string& known = "") {
  for (size_t at = 0; at + 32 <= secret.size(); at += 16) {
    const std::string piece = secret.substr(at, 32);
    if (known.find(piece) != std::string::npos) continue;
    if (haystack.find(piece) != std::string::npos) return true;
  }
  return false;
}

// The files of the state folder and their bytes.
std::vector<std::pair<std::string, std::string>> StateFiles() {
  std::vector<std::pair<std::string, std::string>> files;
  for (const auto& entry : std::filesystem::directory_iterator(StateFolder())) {
    if (entry.is_regular_file()) {
      files.emplace_back(entry.path().filename().string(), ReadFile(entry.path().string()));
    }
  }
  return files;
}

// Points the dialogs of the processes started from here at a script, with a transcript.
class ScriptedProcesses {
 public:
  ScriptedProcesses() {
    const std::string folder = NewFolder("script");
    script_ = folder + "/answers";
    log_ = folder + "/transcript";
    WriteFile(script_, "");
    setenv("ZYQSEC_UI", ("script:" + script_).c_str(), 1);
    setenv("ZYQSEC_UI_LOG", log_.c_str(), 1);
  }
  ~ScriptedProcesses() {
    setenv("ZYQSEC_UI", "none", 1);
    unsetenv("ZYQSEC_UI_LOG");
  }
  void Answer(const std::string& line) { WriteFile(script_, ReadFile(script_) + line + "\n"); }
  std::string Transcript() const { return ReadFile(log_); }

 private:
  std::string script_;
  std::string log_;
};

class SecretHygieneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    user = MakeUserPfx({.commonName = kId, .password = kPassword, .fileName = "h.pfx"});
    ASSERT_FALSE(user.path.empty());
    pfxBytes = ReadFile(user.path);
    std::string der;
    ASSERT_EQ(RunCommand("openssl pkey -in " + user.keyPem + " -outform DER", &der), 0);
    keyDer = der;
  }

  UserPfx user;
  std::string pfxBytes;
  std::string keyDer;
};

TEST_F(SecretHygieneTest, StateFolderIsPrivateAndItsFilesToo) {
  const mode_t old = umask(022);
  std::filesystem::remove_all(StateFolder());
  BatchProcess batch;
  EXPECT_EQ(Register(batch, user, kPassword, 3).code, 0);
  const BatchAnswer signature = batch.Call(
      "SignPkcs7",
      {BatchArg::Text(kId), BatchArg::Text("order 1"), BatchArg::Int(0x800), BatchArg::Int(0)});
  EXPECT_EQ(signature.code, 0);
  // Enrollment: a key made in a container of the state, and its request.
  EXPECT_EQ(batch
                .Call("SetProviderName",
                      {BatchArg::Text("Microsoft Enhanced Cryptographic Provider v1.0")})
                .code,
            0);
  EXPECT_EQ(batch.Call("SetKeyBits", {BatchArg::Int(1024)}).code, 0);
  const BatchAnswer request = batch.Call("CreatePKCS10", {BatchArg::Text("J800000008")});
  EXPECT_EQ(request.code, 0);
  EXPECT_FALSE(request.resultText.empty());

  auto expectPrivate = [](const char* when) {
    SCOPED_TRACE(when);
    struct stat st {};
    ASSERT_EQ(stat(StateFolder().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(StateFolder())) {
      ASSERT_EQ(lstat(entry.path().c_str(), &st), 0);
      EXPECT_TRUE(S_ISREG(st.st_mode)) << entry.path();
      EXPECT_EQ(st.st_mode & 07777, 0600u) << entry.path();
      ++files;
    }
    EXPECT_GE(files, 1);
  };
  expectPrivate("while the process runs");
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
  expectPrivate("after the process ended");
  umask(old);
}

TEST_F(SecretHygieneTest, NoPasswordOrPkcs12BytesInTheStateFiles) {
  BatchProcess batch;
  ASSERT_EQ(Register(batch, user, kPassword, 3).code, 0);
  EXPECT_EQ(batch
                .Call("SignPkcs7", {BatchArg::Text(kId), BatchArg::Text("order 2"),
                                    BatchArg::Int(0x800), BatchArg::Int(0)})
                .code,
            0);
  EXPECT_EQ(batch
                .Call("UpdateRegisterMode",
                      {BatchArg::Text(kId), BatchArg::Text(kPassword), BatchArg::Int(2)})
                .code,
            0);
  // While the process runs, the latest changes are in the write-ahead log; afterwards in the
  // database itself.
  auto check = [&](const char* when) {
    SCOPED_TRACE(when);
    int files = 0;
    for (const auto& [name, bytes] : StateFiles()) {
      EXPECT_EQ(FindPassword(bytes, {kPassword}), "") << name;
      EXPECT_FALSE(HoldsPieceOf(bytes, pfxBytes)) << name << " holds PKCS#12 bytes";
      ++files;
    }
    EXPECT_GE(files, 1);
  };
  check("while the process runs");
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
  check("after the process ended");
}

TEST_F(SecretHygieneTest, NoPasswordInTranscriptErrorTextsOrOutput) {
  const std::vector<std::string> secrets = {kPassword, kNewPassword, kWrongPassword};
  std::string answers;
  {
    ScriptedProcesses dialogs;
    BatchProcess batch;
    // The password typed into the registration dialog.
    dialogs.Answer("ok\tpassword=" + kPassword);
    const BatchAnswer registered = batch.Call(
        "RegisterPfx", {BatchArg::Text(user.folder), BatchArg::Text(user.fileName),
                        BatchArg::Text(""), BatchArg::Int(3), BatchArg::Int(0), BatchArg::Int(0)});
    EXPECT_EQ(registered.code, 0);
    // Old and new passwords typed into the change dialog.
    dialogs.Answer("ok\told=" + kPassword + "\tnew=" + kNewPassword + "\tconfirm=" + kNewPassword);
    EXPECT_EQ(
        batch
            .Call("ChangePfxPasswd", {BatchArg::Text(user.folder), BatchArg::Text(user.fileName),
                                      BatchArg::Text(""), BatchArg::Text(""), BatchArg::Int(0)})
            .code,
        0);
    // A wrong password given as an argument, and the texts that explain the failure.
    const BatchAnswer wrong =
        batch.Call("RegisterPfx", {BatchArg::Text(user.folder), BatchArg::Text(user.fileName),
                                   BatchArg::Text(kWrongPassword), BatchArg::Int(3),
                                   BatchArg::Int(0), BatchArg::Int(0)});
    EXPECT_NE(wrong.code, 0);
    for (const char* text : {"GetErrorMsg", "GetCapiErrorMsg"}) {
      const BatchAnswer message = batch.Call(text);
      EXPECT_FALSE(message.resultText.empty()) << text;
      EXPECT_EQ(FindPassword(message.resultText, secrets), "") << text;
      answers += message.raw + "\n";
    }
    // An export whose password is wrong for the file, and a mobile record.
    const BatchAnswer mobile =
        batch.Call("ExportMobileFromPfx",
                   {BatchArg::Text(user.folder), BatchArg::Text(user.fileName),
                    BatchArg::Text(kWrongPassword), BatchArg::Int(0), BatchArg::Int(0)});
    EXPECT_NE(mobile.code, 0);
    answers += registered.raw + "\n" + wrong.raw + "\n" + mobile.raw + "\n";
    EXPECT_TRUE(EndedCleanly(batch.Finish()));

    const std::string transcript = dialogs.Transcript();
    EXPECT_NE(transcript.find("\"template\": 202"), std::string::npos) << transcript;
    EXPECT_NE(transcript.find("\"template\": 203"), std::string::npos) << transcript;
    EXPECT_EQ(FindPassword(transcript, secrets), "") << transcript;
  }
  EXPECT_EQ(FindPassword(answers, secrets), "") << answers;

  // The command prints each call with its arguments: passwords are left out.
  std::string output;
  RunCommand("'" + std::string(ZYQ_ZYQSEC_PATH) + "' RegisterPfx '" + user.folder + "' '" +
                 user.fileName + "' " + kWrongPassword + " 3 0 0 ChangePfxPasswd '" + user.folder +
                 "' '" + user.fileName + "' " + kNewPassword + " " + kPassword + " 0",
             &output);
  EXPECT_NE(output.find("RegisterPfx("), std::string::npos) << output;
  EXPECT_NE(output.find("ChangePfxPasswd("), std::string::npos) << output;
  EXPECT_EQ(FindPassword(output, secrets), "") << output;
}

TEST_F(SecretHygieneTest, ViewWritesOnlyThePublicCertificate) {
  ScriptedProcesses dialogs;
  BatchProcess batch;
  ASSERT_EQ(
      batch
          .Call("ImportPfxToIE", {BatchArg::Text(user.folder), BatchArg::Text(user.fileName),
                                  BatchArg::Text(kPassword), BatchArg::Int(0), BatchArg::Int(0)})
          .code,
      0);
  // The list is shown (choice mode 1); the user views the first row, then picks it.
  dialogs.Answer("ok\tview=0\tindex=0");
  const BatchAnswer chosen =
      batch.Call("SelectCertFromIE", {BatchArg::Text(""), BatchArg::Int(1), BatchArg::Int(0)});
  EXPECT_EQ(chosen.code, 0);
  EXPECT_TRUE(EndedCleanly(batch.Finish()));

  const std::string tempCer = std::string(std::getenv("TMPDIR")) + "/temp.cer";
  const std::string written = ReadFile(tempCer);
  ASSERT_FALSE(written.empty()) << "View wrote no temp.cer";
  std::string certDer;
  ASSERT_EQ(RunCommand("openssl x509 -in " + user.certPem + " -outform DER", &certDer), 0);
  EXPECT_TRUE(written == certDer) << "temp.cer is not the certificate";
  EXPECT_EQ(RunCommand("openssl x509 -inform DER -in " + tempCer + " -noout"), 0);
  EXPECT_NE(RunCommand("openssl pkey -inform DER -in " + tempCer + " -noout"), 0)
      << "temp.cer holds a key";
  EXPECT_FALSE(HoldsPieceOf(written, keyDer, certDer)) << "temp.cer holds private key bytes";
  EXPECT_FALSE(HoldsPieceOf(written, pfxBytes));
}

// The wiping helpers: what they release holds nothing of the secret.
TEST(SecretWipeTest, SecretStringsAndBytesLeaveNoTrace) {
  // A long password lives in a heap buffer: Clear wipes all of it, the buffer kept.
  const std::string longSecret(100, 'S');
  SecretString heap{std::string(longSecret)};
  const char* buffer = heap.str().data();
  const size_t capacity = heap.str().capacity();
  heap.Clear();
  ASSERT_EQ(heap.str().data(), buffer) << "the buffer was given back instead of wiped";
  for (size_t i = 0; i < capacity; ++i) ASSERT_EQ(buffer[i], 0) << "byte " << i;

  // A short one lives inside the object: after its destructor the object's storage is zero where
  // the password was.
  alignas(SecretString) unsigned char storage[sizeof(SecretString)];
  auto* inPlace = new (storage) SecretString(std::string("Pw-7731"));
  inPlace->~SecretString();
  const std::string bytes(reinterpret_cast<const char*>(storage), sizeof storage);
  EXPECT_EQ(bytes.find("Pw-7731"), std::string::npos);
  EXPECT_EQ(bytes.find("7731"), std::string::npos);

  // Moving a password away wipes where it was.
  SecretString from{std::string("Mv-Secret-1")};
  alignas(SecretString) unsigned char moved[sizeof(SecretString)];
  auto* source = new (moved) SecretString(std::string("Mv-Secret-2"));
  SecretString to(std::move(*source));
  EXPECT_EQ(to.str(), "Mv-Secret-2");
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(moved), sizeof moved).find("Secret-2"),
            std::string::npos);
  source->~SecretString();
  to = std::move(from);
  EXPECT_EQ(to.str(), "Mv-Secret-1");

  SecretBytes key(std::vector<unsigned char>(64, 0xA5));
  const unsigned char* keyBuffer = key.bytes().data();
  const size_t keyCapacity = key.bytes().capacity();
  key.Clear();
  std::vector<unsigned char>& kept = key.bytes();
  kept.reserve(keyCapacity);  // the same buffer: clear() keeps the capacity
  ASSERT_EQ(kept.data(), keyBuffer);
  for (size_t i = 0; i < keyCapacity; ++i) ASSERT_EQ(keyBuffer[i], 0) << "byte " << i;
}

}  // namespace
}  // namespace zyq::test
