// The certificate tests' helpers (CertTestSupport.h, TestCertificates.h) on Windows: keys are
// names, and each certificate or PKCS#12 file a test asks for was made before the program
// started by make_cert_data.sh with the OpenSSL library, as the Linux helpers make it, one per
// line of cert_data.txt, in the folder that ZYQ_WIN32_CERT_DATA names. A request that is not
// in the list fails the test with the line to add (also appended to missing.txt there).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tests/cert/CertTestSupport.h"
#include "tests/support/IndependentReference.h"
#include "tests/support/TestEnvironment.h"
#include "tests/win32/support/PreparedDescriptions.h"

namespace zyq::test {

// A key is the name its certificates and files were prepared under.
struct TestKey::State {
  std::string name;
};

TestKey::TestKey() = default;
TestKey::TestKey(std::unique_ptr<State> state) : state_(std::move(state)) {}
TestKey::TestKey(TestKey&&) noexcept = default;
TestKey& TestKey::operator=(TestKey&&) noexcept = default;
TestKey::~TestKey() = default;

namespace {

// The prepared name of a key ("-" for none, as the prepared lines write it).
std::string NameOf(const TestKey& key) {
  return key ? key.state()->name : "-";
}

TestKey Named(std::string name) {
  return TestKey(std::make_unique<TestKey::State>(TestKey::State{std::move(name)}));
}

std::string DataFolder() {
  const char* data = std::getenv("ZYQ_WIN32_CERT_DATA");
  return data ? data : "";
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

// The prepared lines by their text, and the numbers of the certificates by their bytes.
struct Prepared {
  std::map<std::string, int> numbers;
  std::map<std::string, int> certificates;
};

Prepared& Index() {
  static Prepared prepared = [] {
    Prepared p;
    std::ifstream in(DataFolder() + "/index.txt", std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      const size_t bar = line.find('|');
      if (bar != std::string::npos)
        p.numbers[line.substr(bar + 1)] = std::stoi(line.substr(0, bar));
    }
    return p;
  }();
  return prepared;
}

// The bytes made for the line and its number (0 and nothing when it was not prepared).
Bytes Lookup(const std::string& line, int* number) {
  *number = 0;
  if (DataFolder().empty()) {
    ADD_FAILURE() << "ZYQ_WIN32_CERT_DATA names no folder of prepared certificates";
    return {};
  }
  const auto it = Index().numbers.find(line);
  if (it == Index().numbers.end()) {
    ADD_FAILURE() << "not prepared; add to tests/win32/cert_data.txt:\n" << line;
    std::ofstream(DataFolder() + "/missing.txt", std::ios::binary | std::ios::app) << line << '\n';
    return {};
  }
  *number = it->second;
  return ToBytes(ReadAll(DataFolder() + "/" + std::to_string(it->second) + ".bin"));
}

}  // namespace

TestKey NewRsaKey(int /*bits*/) {
  static std::atomic<int> count{0};
  return Named("key" + std::to_string(++count));
}

const TestKey& SharedKey() {
  static const TestKey key = Named("shared");
  return key;
}

std::string KeyPem(const TestKey& key) {
  const std::string pem = ReadAll(DataFolder() + "/keys/" + NameOf(key) + ".pem");
  EXPECT_FALSE(pem.empty()) << "no prepared key " << NameOf(key);
  return pem;
}

Bytes MakeCertificate(const CertSpec& spec, const TestKey& subjectKey, const TestKey& issuerKey) {
  int number = 0;
  Bytes der =
      Lookup(prepared::DescribeCertificate(spec, NameOf(subjectKey), NameOf(issuerKey)), &number);
  if (number != 0) Index().certificates[ToString(der)] = number;
  return der;
}

Bytes Make(const CertSpec& spec) {
  return MakeCertificate(spec, SharedKey(), SharedKey());
}

Bytes MakePfx(const std::vector<PfxEntry>& entries, const char* pass, bool legacy) {
  std::vector<prepared::PreparedEntry> described;
  for (const PfxEntry& e : entries) {
    const auto it = Index().certificates.find(ToString(e.cert));
    if (it == Index().certificates.end()) {
      ADD_FAILURE() << "MakePfx takes only certificates made from prepared lines";
      return {};
    }
    described.push_back({it->second, e.key ? NameOf(*e.key) : "-"});
  }
  int number = 0;
  return Lookup(prepared::DescribePfx(described, pass, legacy), &number);
}

// Sets TZ as on Linux; a Windows program's local time follows the system's zone, not TZ.
ScopedTimeZone::ScopedTimeZone(const char* zone) {
  if (const char* old = std::getenv("TZ")) saved_ = old;
  _putenv_s("TZ", zone);
}

ScopedTimeZone::~ScopedTimeZone() {
  _putenv_s("TZ", saved_ ? saved_->c_str() : "");
}

std::string ToString(const Bytes& b) {
  return std::string(b.begin(), b.end());
}

Bytes ToBytes(const std::string& s) {
  return Bytes(s.begin(), s.end());
}

std::string Hex(const Bytes& b) {
  return prepared::ToHex(ToString(b));
}

std::string NewWorkFolder() {
  static std::atomic<int> counter{0};
  const std::string path = TestRoot() + "/work" + std::to_string(++counter);
  std::filesystem::create_directories(path);
  return path;
}

std::string CertPem(const Bytes& der) {
  const std::string base64 = Base64Reference(der);
  std::string pem = "-----BEGIN CERTIFICATE-----\n";
  for (size_t i = 0; i < base64.size(); i += 64) pem += base64.substr(i, 64) + "\n";
  return pem + "-----END CERTIFICATE-----\n";
}

}  // namespace zyq::test
