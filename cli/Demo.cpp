// The demonstration: a certification authority built into the demo enrolls a user (PKCS#10
// request, issued certificate, PKCS#7 answer), the key goes to a PKCS#12 file that is registered
// for signing, an order is signed as PKCS#7 and as PKCS#1 and both signatures are checked as the
// receiving side would, the file's password is changed and the next signature needs no
// question, and the mobile key record is made and opened again. Every step goes through the
// library's flat exports, as a trading program would call them; the dialogs are answered by the
// script host.
#include "cli/Demo.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "ZYQSecuritiesATL.h"
#include "codec/ByteBuffer.h"
#include "codec/DesCipher.h"
#include "codec/Sha1Digest.h"
#include "platform/Bstr.h"
#include "platform/CertStores.h"
#include "platform/Certificates.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/ProcessSandbox.h"
#include "platform/Registry.h"
#include "platform/Secret.h"
#include "platform/TestAuthority.h"
#include "platform/Text.h"

namespace zyq::cli {
namespace {

constexpr const char* kUserId = "A123456789";
constexpr const char* kAuthorityName = "ZYQ Demo Root CA";
constexpr const char* kProvider = "Microsoft Enhanced Cryptographic Provider v1.0";
constexpr int kKeyBits = 2048;
constexpr const char* kOrder = "BUY 2330 1000 shares @ 580.00, account 9801-1234567";
constexpr const char* kFilePassword = "Demo#2024";
constexpr const char* kNewPassword = "Trade#2025";
constexpr const char* kMobilePassword = "Mobile#88";
constexpr int kRegisterSilently = 3;  // sign with the stored password, never ask
constexpr int kFindContains = 0x8;
constexpr int kSignAnsiText = 0x800;
constexpr int kPkcs1Base64 = 0x100;
constexpr int kPkcs7SigningTime = 0x2000;
constexpr int kSteps = 9;

// UTF-8 <-> the UTF-16 arguments of the flat exports.
std::u16string W(const std::string& utf8) {
  return platform::Utf8ToWide(utf8);
}

// Takes a BSTR result: its text in UTF-8; the BSTR is freed.
std::string Take(BSTR text) {
#if defined(_WIN32)
  // oleaut32's BSTRs, through the port's SysStringLen and SysFreeString.
  std::string out = platform::WideToUtf8(std::u16string_view(text, platform::BstrLength(text)));
  platform::FreeBstr(text);
#else
  std::string out = platform::WideToUtf8(std::u16string_view(text, SysStringLen(text)));
  SysFreeString(text);
#endif
  return out;
}

// "0 成功(0)", with the system error when there is one.
std::string Outcome() {
  std::string text = std::to_string(GetErrorCode()) + " " + Take(GetErrorMsg());
  if (const uint32_t capi = static_cast<uint32_t>(GetCapiErrorCode()); capi != 0) {
    char hex[32];
    std::snprintf(hex, sizeof hex, ", system error 0x%08X", capi);
    text += hex;
  }
  return text;
}

platform::Bytes FromBase64(const std::string& text) {
  ByteBuffer buffer;
  if (!buffer.DecodeBase64(text.c_str())) return {};
  return platform::Bytes(buffer.data(), buffer.data() + buffer.size());
}

class Demo {
 public:
  int Run();

 private:
  void Step(const std::string& title) {
    std::cout << "\n[" << ++step_ << "/" << kSteps << "] " << title << "\n";
  }
  void Detail(const std::string& text) { std::cout << "      " << text << "\n"; }
  // Prints the engine's outcome; false (the demo stops) when it is not success.
  bool Result(const std::string& call) {
    const bool ok = GetErrorCode() == 0;
    Detail(call + " -> " + Outcome());
    return ok;
  }
  bool Fail(const std::string& why) {
    Detail("FAILED: " + why);
    return false;
  }
  // The dialogs answered since the last call, as the transcript records them.
  void ShowDialogs();
  void Answer(const std::string& line) {
    if (!script_.empty()) std::ofstream(script_, std::ios::app) << line << "\n";
  }

  void ClearEarlierRuns();
  bool CreateAuthority();
  bool Enroll();
  bool ExportAndRegister();
  bool SignBoth(const char* when);
  bool ChangePassword();
  bool MobileRecord();

  int step_ = 0;
  std::string work_;
  std::string script_;
  std::string transcript_;
  size_t transcriptSeen_ = 0;
  std::unique_ptr<platform::TestAuthority> authority_;
  std::string request_;
  platform::Bytes certificate_;
  std::string registeredFolder_;
  std::string registeredName_;
};

// Removes what an earlier run left in the user's state: the demo user's certificates from the
// demo authority with their key containers, and the user's registration record. Where the
// state is the system's own (Windows) rather than a fresh folder, an earlier run would
// otherwise offer its certificate beside the new one.
void Demo::ClearEarlierRuns() {
  platform::CertStore my;
  std::vector<platform::CertContext> certs;
  if (platform::CertStore::OpenSystem(platform::kStoreMy, &my) == 0 && my.Enumerate(&certs) == 0) {
    for (const platform::CertContext& cert : certs) {
      std::string subject, issuer;
      platform::NameAttributeText(cert.cert().subject, platform::kOidCommonName, &subject);
      platform::NameAttributeText(cert.cert().issuer, platform::kOidCommonName, &issuer);
      if (subject != kUserId || issuer != kAuthorityName) continue;
      if (cert.keyLink()) {
        std::unique_ptr<platform::KeyContext> gone;
        platform::AcquireKeyContext(cert.keyLink()->containerName, cert.keyLink()->providerName,
                                    cert.keyLink()->providerType, platform::kCryptDeleteKeyset,
                                    &gone);
      }
      my.Delete(cert);
    }
  }
  platform::CurrentRegistry().DeleteKeyTree(
      platform::RegistryKey::Root(platform::RegistryHive::kCurrentUser),
      std::string("Software\\ZYQSecurities\\") + kUserId);
}

void Demo::ShowDialogs() {
  if (transcript_.empty()) return;
  std::ifstream in(transcript_);
  std::stringstream all;
  all << in.rdbuf();
  const std::string text = all.str();
  std::istringstream lines(text.substr(std::min(transcriptSeen_, text.size())));
  transcriptSeen_ = text.size();
  std::string line;
  int shown = 0;
  while (std::getline(lines, line)) {
    // {"template": 202, "caption": "...", ..., "answer": "ok"}
    auto field = [&line](const std::string& key) {
      const size_t at = line.find("\"" + key + "\": ");
      if (at == std::string::npos) return std::string();
      size_t begin = at + key.size() + 4;
      if (line[begin] == '"') {
        const size_t end = line.find('"', begin + 1);
        return line.substr(begin + 1, end - begin - 1);
      }
      return line.substr(begin, line.find_first_of(",}", begin) - begin);
    };
    const std::string kind = field("template").empty() ? field("picker") : field("template");
    Detail("dialog " + kind + " \"" + field("caption") +
           "\" answered by the script: " + field("answer"));
    ++shown;
  }
  if (shown == 0) Detail("no dialog was shown");
}

bool Demo::CreateAuthority() {
  Step("The broker's certification authority (built into the demo)");
  if (platform::TestAuthority::Create(kAuthorityName, &authority_) != 0) {
    return Fail("the authority could not be made");
  }
  platform::DecodedCertificate root;
  platform::DecodeCertificate(authority_->certificate(), &root);
  std::string name;
  platform::NameToX500Text(root.subject, &name);
  Detail("root certificate \"" + platform::AnsiToUtf8(name) + "\", " +
         std::to_string(root.rsaModulus.size() * 8) + "-bit RSA key, self-signed");
  return true;
}

bool Demo::Enroll() {
  Step("Enrollment: a new key and a PKCS#10 request for user " + std::string(kUserId));
  SetProviderName(W(kProvider).c_str());
  if (!Result("SetProviderName(\"" + std::string(kProvider) + "\")")) return false;
  SetKeyBits(kKeyBits);
  if (!Result("SetKeyBits(" + std::to_string(kKeyBits) + ")")) return false;
  request_ = Take(CreatePKCS10(W(kUserId).c_str()));
  if (!Result("CreatePKCS10(\"" + std::string(kUserId) + "\")")) return false;
  const platform::Bytes request = FromBase64(request_);
  Detail("request: " + std::to_string(request_.size()) + " Base64 characters (" +
         std::to_string(request.size()) + " bytes of DER)");

  Step("The authority issues the certificate and answers with PKCS#7");
  platform::Bytes pkcs7;
  if (authority_->Issue(request, 1001, 365, &certificate_, &pkcs7) != 0) {
    return Fail("the authority refused the request");
  }
  platform::DecodedCertificate issued;
  platform::DecodeCertificate(certificate_, &issued);
  std::string subject;
  platform::NameToX500Text(issued.subject, &subject);
  Detail("issued \"" + platform::AnsiToUtf8(subject) + "\", serial 1001, valid 365 days");
  ByteBuffer answer;
  answer.EncodeBase64(pkcs7.data(), static_cast<int>(pkcs7.size()));
  AcceptPKCS7(W(std::string(answer.view())).c_str());
  if (!Result("AcceptPKCS7(answer of " + std::to_string(answer.size()) + " characters)")) {
    return false;
  }
  Detail("the certificate is in the personal store \"MY\", linked to the key of step 2");
  return true;
}

bool Demo::ExportAndRegister() {
  Step("Export the key to a PKCS#12 file (the password comes from the file dialog)");
  const std::string folder = platform::JoinPath(work_, "export");
  Answer("ok\tpassword=" + std::string(kFilePassword));
  const std::string subject = "CN=" + std::string(kUserId);
  ExportPfxFromIE(W(subject).c_str(), W(folder).c_str(), u"", kFindContains, 0);
  const bool exported = Result("ExportPfxFromIE(\"" + subject + "\", \"" + folder + "\", \"\")");
  ShowDialogs();
  if (!exported) return false;
  const std::string name = Take(GetExportedPfxFileName());
  Detail("written: " + platform::JoinPath(Take(GetExportedPfxFilePath()), name));

  Step("Register the file for signing in register mode 3 (stored password, no questions)");
  RegisterPfx(W(folder).c_str(), W(name).c_str(), W(kFilePassword).c_str(), kRegisterSilently, 0,
              0);
  if (!Result("RegisterPfx(\"" + folder + "\", \"" + name + "\", ***, 3, 0, 0)")) return false;
  QueryUserInfo(W(kUserId).c_str());
  registeredFolder_ = Take(GetRegisterPfxFilePath());
  registeredName_ = Take(GetRegisterPfxFileName());
  Detail("record of " + std::string(kUserId) + ": " +
         platform::JoinPath(registeredFolder_, registeredName_) + ", register mode " +
         std::to_string(GetRegisterUserMode()));
  return true;
}

bool Demo::SignBoth(const char* when) {
  Step(std::string("Sign the order ") + when + ": \"" + kOrder + "\"");
  const std::string pkcs7 =
      Take(SignPkcs7(W(kUserId).c_str(), W(kOrder).c_str(), kSignAnsiText | kPkcs7SigningTime, 0));
  const bool signed7 = Result("SignPkcs7 (attached, with signing time)");
  ShowDialogs();
  if (!signed7) return false;
  Detail("signer: " + Take(GetCertSubject()) + ", serial " + Take(GetCertSerial()));
  const platform::Bytes message = FromBase64(pkcs7);
  bool valid = false;
  platform::VerifySignedData(message, {}, {}, &valid);
  Detail("PKCS#7 SignedData, " + std::to_string(message.size()) +
         " bytes; the receiver checks it: " + (valid ? "signature valid" : "SIGNATURE INVALID"));
  if (!valid) return Fail("the PKCS#7 signature does not verify");

  const std::string pkcs1 =
      Take(SignPkcs1(W(kUserId).c_str(), W(kOrder).c_str(), kSignAnsiText | kPkcs1Base64, 0));
  if (!Result("SignPkcs1 (SHA-1, Base64)")) return false;
  const platform::Bytes signature = FromBase64(pkcs1);
  const platform::Bytes signer = FromBase64(Take(GetRtnCert()));
  const std::string order(kOrder);
  const platform::Bytes content(order.begin(), order.end());
  platform::VerifyPkcs1Signature(signer, platform::kCalgSha1, content, signature, &valid);
  Detail("PKCS#1 signature " + pkcs1.substr(0, 24) + "... (" + std::to_string(signature.size()) +
         " bytes); the receiver checks it: " + (valid ? "signature valid" : "SIGNATURE INVALID"));
  if (!valid) return Fail("the PKCS#1 signature does not verify");
  return true;
}

bool Demo::ChangePassword() {
  Step("Change the password of the registered file");
  ChangePfxPasswd(W(registeredFolder_).c_str(), W(registeredName_).c_str(),
                  W(kFilePassword).c_str(), W(kNewPassword).c_str(), 0);
  if (!Result("ChangePfxPasswd(\"" + registeredFolder_ + "\", \"" + registeredName_ +
              "\", ***, ***, 0)")) {
    return false;
  }
  ShowDialogs();
  Detail("the file was replaced in one step; the record now holds the new password");
  return true;
}

bool Demo::MobileRecord() {
  Step("Mobile key record for a phone, protected with its own password");
  const std::string text = Take(ExportMobileFromIE(W("CN=" + std::string(kUserId)).c_str(),
                                                   W(kMobilePassword).c_str(), kFindContains, 0));
  if (!Result("ExportMobileFromIE(\"CN=" + std::string(kUserId) + "\", ***, 8, 0)")) return false;
  const platform::Bytes cipher = FromBase64(text);
  Sha1Digest digest;
  const std::string password(kMobilePassword);
  digest.Compute(password);
  unsigned char key[24];
  std::memcpy(key, digest.result().data(), 20);
  std::memcpy(key + 20, "QPKM", 4);
  DesCipher des;
  des.SetAlgorithm(DesCipher::kCalg3Des);
  des.SetKey(key, sizeof key);
  des.Decrypt(cipher.data(), static_cast<int>(cipher.size()));
  const unsigned char* record = des.GetOutputData();
  const size_t length = static_cast<size_t>(des.GetOutputLength());
  if (length < 12 || std::memcmp(record, "QPKM", 4) != 0) return Fail("the record does not open");
  const uint32_t bits =
      uint32_t{record[4]} << 24 | uint32_t{record[5]} << 16 | uint32_t{record[6]} << 8 | record[7];
  platform::DecodedCertificate cert;
  platform::DecodeCertificate(certificate_, &cert);
  platform::Bytes modulus(record + 12, record + 12 + std::min<size_t>(bits / 8, length - 12));
  while (!modulus.empty() && modulus.front() == 0) modulus.erase(modulus.begin());
  const bool same = modulus == cert.rsaModulus;
  Detail(std::to_string(text.size()) +
         " Base64 characters; opened with the password: magic QPKM, " + std::to_string(bits) +
         "-bit key, record of " + std::to_string(length) + " bytes");
  Detail(std::string("the record's modulus ") +
         (same ? "equals the certificate's" : "DIFFERS FROM THE CERTIFICATE'S"));
  SecureWipe(key, sizeof key);
  return same || Fail("the record holds another key");
}

int Demo::Run() {
  const char* home = std::getenv("ZYQSEC_HOME");
  const char* folder = std::getenv("ZYQSEC_DEMO_FOLDER");
  work_ = folder != nullptr ? folder : ".";
  // The dialogs are answered by the script host when it is the one chosen (as the sandbox does);
  // any other host shows them to the user.
  const char* ui = std::getenv("ZYQSEC_UI");
  const char* log = std::getenv("ZYQSEC_UI_LOG");
  if (ui != nullptr && std::strncmp(ui, "script:", 7) == 0) script_ = ui + 7;
  if (log != nullptr) transcript_ = log;

  std::cout << "ZYQSecuritiesATL " << Take(GetDllVersion()) << ": one user's key lifecycle\n"
            << "state folder: " << (home ? home : "(default)") << "\n"
            << "dialogs: "
            << (script_.empty() ? "shown by the dialog host" : "answered by " + script_) << "\n";
  ClearEarlierRuns();
  const bool ok = CreateAuthority() && Enroll() && ExportAndRegister() &&
                  SignBoth("with the registered file") && ChangePassword() &&
                  SignBoth("again, silently, with the new password") && MobileRecord();
  if (ok) {
    std::cout << "\nAll " << kSteps << " steps succeeded.\n";
    return 0;
  }
  std::cout << "\nThe demo stopped at step " << step_ << ".\n";
  return 1;
}

}  // namespace

int RunDemo(const std::vector<std::string>& args) {
  if (!args.empty() && args[0] == "--here") return Demo().Run();

  std::string folder;
  if (platform::MakePrivateTempFolder("zyqsec-demo-", &folder) != 0) {
    std::cerr << "zyqsec demo: no temporary folder could be made\n";
    return 1;
  }
  int status = 1;
  platform::DefaultFileSystem().CreateFolders(platform::JoinPath(folder, "home"));
  platform::DefaultFileSystem().WriteFileAtomic(platform::JoinPath(folder, "dialogs.script"), "");
  const platform::SysError error = platform::RunThisProgramAgain(
      {"demo", "--here"},
      {{"ZYQSEC_HOME", platform::JoinPath(folder, "state")},
       {"HOME", platform::JoinPath(folder, "home")},
       {"TMPDIR", folder},
       {"XDG_DATA_HOME", platform::JoinPath(folder, "home/.local/share")},
       {"ZYQSEC_UI", "script:" + platform::JoinPath(folder, "dialogs.script")},
       {"ZYQSEC_UI_LOG", platform::JoinPath(folder, "dialogs.jsonl")},
       {"ZYQSEC_DEMO_FOLDER", folder}},
      &status);
  platform::RemoveFolderTree(folder);
  if (error != 0) {
    std::cerr << "zyqsec demo: the demonstration could not be started\n";
    return 1;
  }
  return status;
}

}  // namespace zyq::cli
