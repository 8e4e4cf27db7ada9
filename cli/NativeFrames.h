// The frames of the browsers' native messaging protocol on a byte stream: a 4-byte length in
// little-endian order, then that many bytes of UTF-8 JSON. A browser sends messages of up to
// 64 MiB to a host and takes messages of up to 1 MiB from it.
#pragma once

#include <cstddef>
#include <istream>
#include <ostream>
#include <string>
#include <string_view>

namespace zyq::cli {

inline constexpr size_t kMaxIncomingFrame = size_t{64} << 20;
inline constexpr size_t kMaxOutgoingFrame = size_t{1} << 20;

enum class FrameRead {
  kMessage,    // *body holds the message (possibly empty)
  kEnd,        // the stream ended cleanly before a new frame
  kTruncated,  // the stream ended inside the length or the body
  kTooLarge,   // the length is above kMaxIncomingFrame; the body was not read
};

// Reads one frame. Only kMessage leaves the stream positioned at the next frame.
FrameRead ReadFrame(std::istream& in, std::string* body);

// Writes one frame and flushes it. False, and nothing is written, when body is longer than
// kMaxOutgoingFrame; false also when the stream fails.
bool WriteFrame(std::ostream& out, std::string_view body);

}  // namespace zyq::cli
