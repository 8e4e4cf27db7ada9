// Base64 and hex. Sizes are those of the binary data. Ours fill a ByteBuffer (storage obtained in
// every call); OpenSSL writes into a buffer made once: EVP_EncodeBlock, EVP_DecodeBlock (which,
// like our decoder, reads one line of Base64 text) and OPENSSL_buf2hexstr_ex.
#include <openssl/crypto.h>
#include <openssl/evp.h>

#include <string>

#include "bench/BenchSupport.h"
#include "codec/ByteBuffer.h"

namespace zyq::bench {
namespace {

std::string Base64Of(const std::vector<unsigned char>& data) {
  std::string text(4 * ((data.size() + 2) / 3) + 1, '\0');
  const int n = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(text.data()), data.data(),
                                static_cast<int>(data.size()));
  text.resize(static_cast<std::size_t>(n));
  return text;
}

void RegisterBase64() {
  RegisterSizes("base64-encode", "ours", [](benchmark::State& state, std::size_t size) {
    const auto data = RandomBytes(size);
    ByteBuffer out;
    for (auto _ : state) {
      out.EncodeBase64(data.data(), static_cast<int>(data.size()));
      benchmark::DoNotOptimize(out.data());
    }
  });
  RegisterSizes("base64-encode", "openssl", [](benchmark::State& state, std::size_t size) {
    const auto data = RandomBytes(size);
    std::vector<unsigned char> out(4 * ((size + 2) / 3) + 1);
    for (auto _ : state) {
      EVP_EncodeBlock(out.data(), data.data(), static_cast<int>(data.size()));
      benchmark::DoNotOptimize(out.data());
    }
  });
  RegisterSizes("base64-decode", "ours", [](benchmark::State& state, std::size_t size) {
    const std::string text = Base64Of(RandomBytes(size));
    ByteBuffer out;
    for (auto _ : state) {
      out.DecodeBase64(text.c_str());
      benchmark::DoNotOptimize(out.data());
    }
  });
  RegisterSizes("base64-decode", "openssl", [](benchmark::State& state, std::size_t size) {
    const std::string text = Base64Of(RandomBytes(size));
    std::vector<unsigned char> out(text.size());
    for (auto _ : state) {
      EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                      static_cast<int>(text.size()));
      benchmark::DoNotOptimize(out.data());
    }
  });
}

void RegisterHex() {
  RegisterSizes("hex-encode", "ours", [](benchmark::State& state, std::size_t size) {
    const auto data = RandomBytes(size);
    ByteBuffer out;
    for (auto _ : state) {
      out.EncodeHex(data.data(), static_cast<int>(data.size()));
      benchmark::DoNotOptimize(out.data());
    }
  });
  RegisterSizes("hex-encode", "openssl", [](benchmark::State& state, std::size_t size) {
    const auto data = RandomBytes(size);
    std::vector<char> out(2 * size + 1);
    std::size_t length = 0;
    for (auto _ : state) {
      OPENSSL_buf2hexstr_ex(out.data(), out.size(), &length, data.data(), data.size(), '\0');
      benchmark::DoNotOptimize(out.data());
    }
  });
}

}  // namespace

void RegisterEncodingBenchmarks() {
  RegisterBase64();
  RegisterHex();
}

}  // namespace zyq::bench
