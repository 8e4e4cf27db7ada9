// ByteBuffer's Base64 codec on arbitrary bytes: the decoder takes the input as a NUL-terminated
// text (armoured or not), and the encoder's output must decode back to the input exactly.
// Every filled buffer must keep its two zero bytes after the content.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "codec/ByteBuffer.h"

namespace {

void CheckTerminated(const zyq::ByteBuffer& buffer) {
  if (buffer.empty()) {
    if (buffer.data() != nullptr) std::abort();
    return;
  }
  if (buffer.data()[buffer.length()] != 0 || buffer.data()[buffer.length() + 1] != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1u << 20)) return 0;
  const std::string text(reinterpret_cast<const char*>(data), size);

  zyq::ByteBuffer decoded;
  const bool ok = decoded.DecodeBase64(text.c_str());
  CheckTerminated(decoded);
  // At most three bytes per four characters of the input. A body of nothing but line breaks
  // and spaces decodes to nothing and still answers true.
  if (ok && decoded.size() > (size / 4 + 1) * 3) std::abort();
  if (!ok && !decoded.empty()) std::abort();

  if (size == 0) return 0;
  zyq::ByteBuffer encoded;
  if (!encoded.EncodeBase64(data, static_cast<int>(size))) std::abort();
  CheckTerminated(encoded);
  if (encoded.size() != (size + 2) / 3 * 4) std::abort();
  zyq::ByteBuffer roundTrip;
  if (!roundTrip.DecodeBase64(encoded.c_str())) std::abort();
  CheckTerminated(roundTrip);
  if (roundTrip.size() != size || std::memcmp(roundTrip.data(), data, size) != 0) std::abort();
  return 0;
}
