// Writes a PKCS#12 file with the shared writer from fixed inputs: the certificates and the key
// given, a fixed password and container, and salts counted up from 1 instead of random ones.
// Built for Windows and, by compare_pkcs12.sh, for Linux: the two files must be the same bytes.
//
//   Pkcs12FixedWriter user.cer user.p8 other.cer out.pfx
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/common/certs/Pkcs12Encoding.h"

namespace {

using zyq::platform::Bytes;

bool Read(const char* path, Bytes* out) {
  std::ifstream in(path, std::ios::binary);
  out->assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.good() || in.eof();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s user.cer user.p8 other.cer out.pfx\n", argv[0]);
    return 2;
  }
  Bytes user, key, other;
  if (!Read(argv[1], &user) || !Read(argv[2], &key) || !Read(argv[3], &other) || user.empty() ||
      key.empty() || other.empty()) {
    std::fprintf(stderr, "cannot read the inputs\n");
    return 2;
  }
  namespace common = zyq::platform::common;
  const std::vector<common::Pkcs12Item> items{
      {user, key, u"fixed-container", u"Microsoft Enhanced Cryptographic Provider v1.0"},
      {other, {}, {}, {}}};
  uint8_t next = 1;
  const common::SaltSource salts = [&next](size_t n, Bytes* salt) {
    salt->clear();
    for (size_t i = 0; i < n; ++i) salt->push_back(next++);
    return true;
  };
  Bytes pfx;
  if (const auto err = common::EncodePkcs12(items, u"固定密碼 1", salts, &pfx)) {
    std::fprintf(stderr, "EncodePkcs12: 0x%08lx\n", static_cast<unsigned long>(err));
    return 1;
  }
  std::ofstream out(argv[4], std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(pfx.data()), static_cast<std::streamsize>(pfx.size()));
  return out.good() ? 0 : 1;
}
