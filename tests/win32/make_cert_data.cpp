// Linux side of the Windows runs of the certificate tests: makes each fixture of the list with
// the OpenSSL library, as the Linux tests make it while they run (TestCertificates.cpp).
//   make_cert_data LIST FOLDER
// writes FOLDER/<n>.bin for the n-th line, FOLDER/index.txt ("n|line") and the private key of
// each key name, FOLDER/keys/<name>.pem. Keys are made on their first use.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "tests/win32/support/PreparedDescriptions.h"

namespace {

using namespace zyq::test;

class Keys {
 public:
  explicit Keys(std::string folder) : folder_(std::move(folder)) {}
  const TestKey& Get(const std::string& name) {
    auto it = keys_.find(name);
    if (it == keys_.end()) {
      it = keys_.emplace(name, NewRsaKey()).first;
      std::ofstream(folder_ + "/keys/" + name + ".pem", std::ios::binary) << KeyPem(it->second);
    }
    return it->second;
  }

 private:
  std::string folder_;
  std::map<std::string, TestKey> keys_;
};

bool Make(const std::string& line, Keys& keys, const std::vector<Bytes>& made, Bytes* out) {
  CertSpec spec;
  std::string subjectKey, issuerKey;
  if (prepared::ParseCertificate(line, &spec, &subjectKey, &issuerKey)) {
    *out = MakeCertificate(spec, keys.Get(subjectKey), keys.Get(issuerKey));
    return true;
  }
  std::vector<prepared::PreparedEntry> entries;
  std::string pass;
  bool hasPass = false, legacy = false;
  if (!prepared::ParsePfx(line, &entries, &pass, &hasPass, &legacy)) return false;
  std::vector<PfxEntry> pfx;
  for (const prepared::PreparedEntry& e : entries) {
    if (e.certificate < 1 || e.certificate > static_cast<int>(made.size())) return false;
    pfx.push_back(PfxEntry{made[e.certificate - 1], e.key == "-" ? nullptr : &keys.Get(e.key)});
  }
  *out = MakePfx(pfx, hasPass ? pass.c_str() : nullptr, legacy);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: make_cert_data LIST FOLDER\n";
    return 2;
  }
  const std::string folder = argv[2];
  std::ifstream list(argv[1], std::ios::binary);
  std::ofstream index(folder + "/index.txt", std::ios::binary);
  Keys keys(folder);
  std::vector<Bytes> made;
  std::string line;
  while (std::getline(list, line)) {
    if (line.empty() || line[0] == '#') continue;
    Bytes out;
    if (!Make(line, keys, made, &out)) {
      std::cerr << "cannot make: " << line << "\n";
      return 1;
    }
    made.push_back(out);
    const std::string n = std::to_string(made.size());
    std::ofstream(folder + "/" + n + ".bin", std::ios::binary) << ToString(out);
    index << n << '|' << line << '\n';
  }
  return 0;
}
