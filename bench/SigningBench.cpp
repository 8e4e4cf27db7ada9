// Signing an order for a user registered in register mode 3 (the stored password, no dialog):
// SignPkcs7 and SignPkcs1 of one engine, signature after signature, beside the same work done
// with OpenSSL directly: read the PKCS#12 file, parse it with the password, sign (CMS with
// SHA-1 and a signing time, or RSA PKCS#1 v1.5 over SHA-1) and give the Base64 text.
#include <openssl/bio.h>
#include <openssl/cms.h>
#include <openssl/evp.h>
#include <openssl/pkcs12.h>
#include <openssl/rsa.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "bench/EngineBenchSupport.h"
#include "engine/SecurityEngine.h"
#include "platform/Bstr.h"
#include "platform/Text.h"
#include "platform/posix/OpenSslPtr.h"

namespace zyq::bench {
namespace {

using platform::Bstr;

constexpr int32_t kSignAnsiText = 0x800;
constexpr int32_t kPkcs7SigningTime = 0x2000;
constexpr int32_t kPkcs1Base64 = 0x100;
constexpr int32_t kRegisterSilently = 3;

using platform::posix::OpenSslPtr;
using PkeyPtr = OpenSslPtr<EVP_PKEY>;
using X509Ptr = OpenSslPtr<X509>;
using P12Ptr = OpenSslPtr<PKCS12>;
using BioPtr = OpenSslPtr<BIO>;
using CmsPtr = OpenSslPtr<CMS_ContentInfo>;
using MdCtxPtr = OpenSslPtr<EVP_MD_CTX>;
using CertsPtr = OpenSslPtr<STACK_OF(X509)>;

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream all;
  all << in.rdbuf();
  return all.str();
}

std::string Base64(const std::vector<unsigned char>& bytes) {
  std::string out(4 * ((bytes.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()), bytes.data(),
                                static_cast<int>(bytes.size()));
  out.resize(static_cast<size_t>(n));
  return out;
}

// A certificate for key, issued by issuerKey under issuerName (self-signed when issuerCert is
// null), valid from an hour ago for ten years.
X509Ptr MakeCertificate(EVP_PKEY* key, const char* commonName, EVP_PKEY* issuerKey,
                        X509* issuerCert, long serial) {
  X509Ptr cert(X509_new());
  X509_set_version(cert.get(), 2);
  ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_UTF8,
                             reinterpret_cast<const unsigned char*>(commonName), -1, -1, 0);
  X509_set_issuer_name(cert.get(),
                       issuerCert != nullptr ? X509_get_subject_name(issuerCert) : name);
  X509_set_pubkey(cert.get(), key);
  X509V3_CTX ctx;
  X509V3_set_ctx(&ctx, issuerCert != nullptr ? issuerCert : cert.get(), cert.get(), nullptr,
                 nullptr, 0);
  const char* usage = issuerCert != nullptr ? "critical,digitalSignature,nonRepudiation"
                                            : "critical,keyCertSign,cRLSign";
  if (X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, NID_key_usage, usage)) {
    X509_add_ext(cert.get(), ext, -1);
    X509_EXTENSION_free(ext);
  }
  X509_sign(cert.get(), issuerKey, EVP_sha256());
  return cert;
}

SigningUser MakeRegisteredUser() {
  SigningUser user;
  user.id = "A123456789";
  user.password = "Bench#2024";
  user.pfxPath = RunFolder() + "/home/" + user.id + ".pfx";
  PkeyPtr caKey(EVP_RSA_gen(2048));
  PkeyPtr userKey(EVP_RSA_gen(2048));
  X509Ptr caCert = MakeCertificate(caKey.get(), "Bench Root CA", caKey.get(), nullptr, 1);
  X509Ptr userCert =
      MakeCertificate(userKey.get(), user.id.c_str(), caKey.get(), caCert.get(), 1001);
  // OpenSSL's defaults: AES-256-CBC with PBKDF2 for the bags, an HMAC-SHA-256 MAC.
  P12Ptr p12(PKCS12_create(user.password.c_str(), user.id.c_str(), userKey.get(), userCert.get(),
                           nullptr, 0, 0, 0, 0, 0));
  BioPtr out(BIO_new_file(user.pfxPath.c_str(), "wb"));
  if (!p12 || !out || i2d_PKCS12_bio(out.get(), p12.get()) != 1) {
    std::fprintf(stderr, "engine_bench: the PKCS#12 file could not be made\n");
    std::exit(1);
  }
  out.reset();

  SecurityEngine engine;
  const size_t slash = user.pfxPath.rfind('/');
  const int32_t code =
      engine.RegisterPfx(Bstr::FromView(platform::Utf8ToWide(user.pfxPath.substr(0, slash))),
                         Bstr::FromView(platform::Utf8ToWide(user.pfxPath.substr(slash + 1))),
                         Bstr::FromAnsi(user.password), kRegisterSilently, 0, 0);
  if (code != 0) {
    std::fprintf(stderr, "engine_bench: RegisterPfx failed with %d\n", code);
    std::exit(1);
  }
  return user;
}

struct Parsed {
  PkeyPtr key;
  X509Ptr cert;
  CertsPtr ca;
};

// The OpenSSL road's first half, done for every signature: the file read and parsed.
bool ParsePfx(const SigningUser& user, Parsed* out) {
  const std::string file = ReadAll(user.pfxPath);
  const unsigned char* p = reinterpret_cast<const unsigned char*>(file.data());
  P12Ptr p12(d2i_PKCS12(nullptr, &p, static_cast<long>(file.size())));
  if (!p12) return false;
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  STACK_OF(X509)* ca = nullptr;
  if (PKCS12_parse(p12.get(), user.password.c_str(), &key, &cert, &ca) != 1) return false;
  out->key.reset(key);
  out->cert.reset(cert);
  out->ca.reset(ca);
  return true;
}

std::string OpenSslPkcs7(const SigningUser& user) {
  Parsed pfx;
  if (!ParsePfx(user, &pfx)) return {};
  BioPtr content(BIO_new_mem_buf(kOrderText, -1));
  constexpr unsigned flags = CMS_BINARY | CMS_NOSMIMECAP;
  CmsPtr cms(CMS_sign(nullptr, nullptr, nullptr, nullptr, flags | CMS_PARTIAL));
  if (!cms ||
      CMS_add1_signer(cms.get(), pfx.cert.get(), pfx.key.get(), EVP_sha1(), flags) == nullptr) {
    return {};
  }
  if (CMS_final(cms.get(), content.get(), nullptr, flags) != 1) return {};
  const int n = i2d_CMS_ContentInfo(cms.get(), nullptr);
  if (n <= 0) return {};
  std::vector<unsigned char> der(static_cast<size_t>(n));
  unsigned char* p = der.data();
  i2d_CMS_ContentInfo(cms.get(), &p);
  return Base64(der);
}

// The RSA PKCS#1 v1.5 signature of the order over SHA-1 with a loaded key; empty on failure.
std::vector<unsigned char> DigestSignOrder(EVP_PKEY* key) {
  MdCtxPtr ctx(EVP_MD_CTX_new());
  if (EVP_DigestSignInit(ctx.get(), nullptr, EVP_sha1(), nullptr, key) != 1) return {};
  size_t length = 0;
  const auto* text = reinterpret_cast<const unsigned char*>(kOrderText);
  const size_t textLength = std::char_traits<char>::length(kOrderText);
  if (EVP_DigestSign(ctx.get(), nullptr, &length, text, textLength) != 1) return {};
  std::vector<unsigned char> signature(length);
  if (EVP_DigestSign(ctx.get(), signature.data(), &length, text, textLength) != 1) return {};
  signature.resize(length);
  return signature;
}

std::string OpenSslPkcs1(const SigningUser& user) {
  Parsed pfx;
  if (!ParsePfx(user, &pfx)) return {};
  const std::vector<unsigned char> signature = DigestSignOrder(pfx.key.get());
  return signature.empty() ? std::string() : Base64(signature);
}

enum class Kind { kPkcs7, kPkcs1 };

// One signature of the order by engine, with new argument strings as a caller hands them.
Bstr SignOrder(SecurityEngine& engine, const SigningUser& user, Kind kind) {
  Bstr id = Bstr::FromAnsi(user.id);
  Bstr text = Bstr::FromAnsi(kOrderText);
  return kind == Kind::kPkcs7
             ? engine.SignPkcs7(std::move(id), std::move(text), kSignAnsiText | kPkcs7SigningTime,
                                0)
             : engine.SignPkcs1(std::move(id), std::move(text), kSignAnsiText | kPkcs1Base64, 0);
}

void Ours(benchmark::State& state, Kind kind) {
  const SigningUser& user = RegisteredUser();
  SecurityEngine engine;
  // The first signature of an engine reads the registration; the benchmark is the ones after.
  if (SignOrder(engine, user, kind).Empty() || engine.GetErrorCode() != 0) {
    state.SkipWithError("the first signature failed");
    return;
  }
  for (auto _ : state) {
    Bstr signature = SignOrder(engine, user, kind);
    if (signature.Empty()) {
      state.SkipWithError("signature failed");
      break;
    }
    benchmark::DoNotOptimize(signature.View().data());
  }
}

void OpenSsl(benchmark::State& state, Kind kind) {
  const SigningUser& user = RegisteredUser();
  for (auto _ : state) {
    std::string signature = kind == Kind::kPkcs7 ? OpenSslPkcs7(user) : OpenSslPkcs1(user);
    if (signature.empty()) {
      state.SkipWithError("OpenSSL signature failed");
      break;
    }
    benchmark::DoNotOptimize(signature.data());
  }
}

// Our signature against its floor: the user's key parsed once, before the benchmark, and then
// only EVP_DigestSign (SHA-1, PKCS#1 v1.5) of the order, a new digest context each time as a
// program holding a loaded key would use it. The two take turns within every iteration, the
// order swapped each time (TimeInTurns); the benchmark's own time is ours.
void AgainstFloor(benchmark::State& state, Kind kind) {
  const SigningUser& user = RegisteredUser();
  SecurityEngine engine;
  Parsed pfx;
  if (SignOrder(engine, user, kind).Empty() || engine.GetErrorCode() != 0 ||
      !ParsePfx(user, &pfx) || DigestSignOrder(pfx.key.get()).empty()) {
    state.SkipWithError("the first signatures failed");
    return;
  }
  TimeInTurns(
      state, [&] { return TimedNs([&] { return !SignOrder(engine, user, kind).Empty(); }); },
      [&] { return TimedNs([&] { return !DigestSignOrder(pfx.key.get()).empty(); }); },
      "signature failed");
}

}  // namespace

const SigningUser& RegisteredUser() {
  static const SigningUser user = MakeRegisteredUser();
  return user;
}

void RegisterSigningBenchmarks() {
  benchmark::RegisterBenchmark("sign-pkcs7/ours", [](benchmark::State& s) {
    Ours(s, Kind::kPkcs7);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sign-pkcs7/openssl", [](benchmark::State& s) {
    OpenSsl(s, Kind::kPkcs7);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sign-pkcs1/ours", [](benchmark::State& s) {
    Ours(s, Kind::kPkcs1);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sign-pkcs1/openssl", [](benchmark::State& s) {
    OpenSsl(s, Kind::kPkcs1);
  })->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sign-pkcs7/against-floor",
                               [](benchmark::State& s) { AgainstFloor(s, Kind::kPkcs7); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("sign-pkcs1/against-floor",
                               [](benchmark::State& s) { AgainstFloor(s, Kind::kPkcs1); })
      ->UseManualTime()
      ->Unit(benchmark::kMillisecond);
}

}  // namespace zyq::bench
