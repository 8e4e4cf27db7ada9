// Checks on ByteBuffer invariants shared by the codec tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "codec/ByteBuffer.h"

namespace zyq::test {

// Empty means null data and zero length; otherwise the two bytes after the content are zero.
inline ::testing::AssertionResult WellFormed(const ByteBuffer& buffer) {
  if (buffer.length() == 0) {
    if (buffer.data() != nullptr) return ::testing::AssertionFailure() << "empty, data not null";
    return ::testing::AssertionSuccess();
  }
  if (buffer.data() == nullptr) return ::testing::AssertionFailure() << "length without data";
  const unsigned char* p = buffer.data() + buffer.length();
  if (p[0] != 0 || p[1] != 0) {
    return ::testing::AssertionFailure()
           << "bytes after the content: " << int(p[0]) << " " << int(p[1]);
  }
  return ::testing::AssertionSuccess();
}

inline std::vector<unsigned char> Content(const ByteBuffer& buffer) {
  return std::vector<unsigned char>(buffer.data(), buffer.data() + buffer.length());
}

inline std::string Text(const ByteBuffer& buffer) {
  return std::string(buffer.view());
}

}  // namespace zyq::test
