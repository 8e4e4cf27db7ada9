#include "cli/NativeFrames.h"

#include <algorithm>
#include <cstdint>

namespace zyq::cli {

FrameRead ReadFrame(std::istream& in, std::string* body) {
  body->clear();
  unsigned char header[4];
  in.read(reinterpret_cast<char*>(header), sizeof header);
  const std::streamsize got = in.gcount();
  if (got == 0) return FrameRead::kEnd;
  if (got != sizeof header) return FrameRead::kTruncated;
  const uint32_t length = uint32_t{header[0]} | uint32_t{header[1]} << 8 |
                          uint32_t{header[2]} << 16 | uint32_t{header[3]} << 24;
  if (length > kMaxIncomingFrame) return FrameRead::kTooLarge;
  // Read in pieces, so that a length the stream never delivers costs no more memory than the
  // bytes that did arrive.
  constexpr size_t kPiece = size_t{1} << 20;
  while (body->size() < length) {
    const size_t want = std::min<size_t>(kPiece, length - body->size());
    const size_t at = body->size();
    body->resize(at + want);
    in.read(body->data() + at, static_cast<std::streamsize>(want));
    const auto read = static_cast<size_t>(in.gcount());
    if (read != want) {
      body->resize(at + read);
      return FrameRead::kTruncated;
    }
  }
  return FrameRead::kMessage;
}

bool WriteFrame(std::ostream& out, std::string_view body) {
  if (body.size() > kMaxOutgoingFrame) return false;
  const auto length = static_cast<uint32_t>(body.size());
  const char header[4] = {static_cast<char>(length & 0xFF), static_cast<char>((length >> 8) & 0xFF),
                          static_cast<char>((length >> 16) & 0xFF),
                          static_cast<char>((length >> 24) & 0xFF)};
  out.write(header, sizeof header);
  out.write(body.data(), static_cast<std::streamsize>(body.size()));
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace zyq::cli
