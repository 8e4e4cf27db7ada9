// The DER reader of the platform substitute on its own: each encoding (after one byte of
// options) is walked element by element, constructed elements recursively, and every primitive
// is read as an OID, an INTEGER or a time when its tag says so. The writer must give back what
// the reader accepted.
//
// An input holds up to eight encodings, each a 16-bit little-endian length and that many bytes,
// so that a few dozen seed files reach what the fuzzer found.
#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "platform/common/certs/Der.h"

namespace {

namespace p = zyq::platform;
namespace der = zyq::platform::common::der;

constexpr int kMaxDepth = 48;

using zyq::fuzz::Check;

bool Inside(p::ByteView inner, p::ByteView outer) {
  return inner.data() >= outer.data() && inner.data() + inner.size() <= outer.data() + outer.size();
}

bool Same(p::ByteView a, p::ByteView b) {
  return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size()) == 0);
}

// An accepted OID writes back to the same content octets.
void CheckOid(p::ByteView content) {
  std::string text;
  if (der::OidToText(content, &text) != p::kErrorSuccess) return;
  p::Bytes again;
  Check(der::OidFromText(text, &again));
  Check(Same(again, content));
  Check(Same(der::OidElement(text), der::Tlv(der::kOid, content)));
}

// An accepted INTEGER is non-negative and its minimal encoding reads back the same; when the
// input was minimal, it is that encoding.
void CheckInteger(p::ByteView content) {
  int64_t value = -1;
  if (der::SmallInteger(content, &value) != p::kErrorSuccess) return;
  Check(value >= 0 && value < (int64_t{1} << 56));
  const p::Bytes element = der::SmallIntegerElement(value);
  der::Element back;
  Check(der::ParseSingle(element, der::kInteger, &back) == p::kErrorSuccess);
  int64_t again = -1;
  Check(der::SmallInteger(back.content, &again) == p::kErrorSuccess && again == value);
  const bool minimal = content.size() == 1 || !(content[0] == 0 && (content[1] & 0x80) == 0);
  if (minimal) Check(Same(back.content, content));
}

// An accepted time in UTC with seconds and no fraction prints back to its own digits through
// the C library's calendar; one with an offset is the same instant as its UTC reading moved by
// the offset.
void CheckTime(uint8_t tag, p::ByteView content) {
  p::FileTime time = 0;
  if (der::TimeToFileTime(tag, content, &time) != p::kErrorSuccess) return;
  const std::string text(content.begin(), content.end());
  const size_t digits = tag == der::kUtcTime ? 12 : 14;
  // The seconds are digits (not a fraction written in their place).
  const bool seconds = text.size() > digits &&
                       std::isdigit(static_cast<unsigned char>(text[digits - 2])) &&
                       std::isdigit(static_cast<unsigned char>(text[digits - 1]));
  if (seconds && text.size() == digits + 1 && text.back() == 'Z') {
    const int64_t unixSeconds = p::UnixSecondsFromFileTime(time);
    Check(p::FileTimeFromUnixSeconds(unixSeconds) == time);
    const time_t t = static_cast<time_t>(unixSeconds);
    struct tm civil {};
    Check(gmtime_r(&t, &civil) != nullptr);
    char printed[32];
    if (tag == der::kUtcTime) {
      std::snprintf(printed, sizeof printed, "%02d%02d%02d%02d%02d%02dZ", civil.tm_year % 100,
                    civil.tm_mon + 1, civil.tm_mday, civil.tm_hour, civil.tm_min, civil.tm_sec);
    } else {
      std::snprintf(printed, sizeof printed, "%04d%02d%02d%02d%02d%02dZ", civil.tm_year + 1900,
                    civil.tm_mon + 1, civil.tm_mday, civil.tm_hour, civil.tm_min, civil.tm_sec);
    }
    Check(text == printed);
  }
  if (text.size() == digits + 5 && (text[digits] == '+' || text[digits] == '-')) {
    const std::string utc = text.substr(0, digits) + "Z";
    p::FileTime atUtc = 0;
    const auto* bytes = reinterpret_cast<const uint8_t*>(utc.data());
    if (der::TimeToFileTime(tag, p::ByteView(bytes, utc.size()), &atUtc) == p::kErrorSuccess) {
      const int64_t offset = ((text[digits + 1] - '0') * 10 + (text[digits + 2] - '0')) * 3600 +
                             ((text[digits + 3] - '0') * 10 + (text[digits + 4] - '0')) * 60;
      const int64_t moved =
          p::UnixSecondsFromFileTime(atUtc) + (text[digits] == '+' ? -offset : offset);
      Check(p::UnixSecondsFromFileTime(time) == moved);
    }
  }
}

void Walk(p::ByteView data, bool indefinite, int depth) {
  der::Reader reader(data, indefinite);
  std::vector<p::Bytes> children;
  size_t offset = 0;
  while (!reader.AtEnd()) {
    const uint8_t tag = reader.PeekTag();
    Check(tag == data[offset]);
    der::Element element;
    if (reader.Next(&element) != p::kErrorSuccess) break;
    // The element lies where the reader stood, and its content inside it.
    Check(element.tag == tag);
    Check(element.whole.data() == data.data() + offset);
    Check(Inside(element.whole, data) && Inside(element.content, element.whole));
    const size_t contentEnd =
        static_cast<size_t>(element.content.data() - element.whole.data()) + element.content.size();
    const bool ber = element.whole.size() > 1 && element.whole[1] == 0x80;
    if (ber) {
      Check(indefinite && element.constructed());
      Check(contentEnd + 2 == element.whole.size());
      Check(element.whole[contentEnd] == 0 && element.whole[contentEnd + 1] == 0);
    } else {
      Check(contentEnd == element.whole.size());
    }
    // Parsed alone, the element is one whole element with the same content.
    der::Element single;
    Check(der::ParseSingle(element.whole, tag, &single, indefinite) == p::kErrorSuccess);
    Check(single.content.data() == element.content.data() &&
          single.content.size() == element.content.size());
    // The writer's encoding of the content reads back as the same content.
    if (!ber) {
      const p::Bytes written = der::Tlv(tag, element.content);
      Check(der::ParseSingle(written, tag, &single) == p::kErrorSuccess);
      Check(Same(single.content, element.content));
    }
    offset += element.whole.size();
    children.emplace_back(element.whole.begin(), element.whole.end());

    if (element.constructed()) {
      if (depth < kMaxDepth) Walk(element.content, indefinite, depth + 1);
    } else if (tag == der::kOid) {
      CheckOid(element.content);
    } else if (tag == der::kInteger) {
      CheckInteger(element.content);
    } else if (tag == der::kUtcTime || tag == der::kGeneralizedTime) {
      CheckTime(tag, element.content);
    }
  }
  // The SET OF writer sorts the elements read at this level; they read back in that order.
  if (children.size() > 1 && children.size() <= 64) {
    const p::Bytes set = der::SetOf(children);
    der::Element whole;
    Check(der::ParseSingle(set, der::kSet, &whole, indefinite) == p::kErrorSuccess);
    der::Reader again(whole.content, indefinite);
    p::ByteView previous;
    size_t count = 0;
    der::Element item;
    while (!again.AtEnd()) {
      Check(again.Next(&item) == p::kErrorSuccess);
      Check(!std::lexicographical_compare(item.whole.begin(), item.whole.end(), previous.begin(),
                                          previous.end()));
      previous = item.whole;
      ++count;
    }
    Check(count == children.size());
  }
}

void ReadOne(const uint8_t* data, size_t size) {
  if (size < 1) return;
  const bool indefinite = (data[0] & 1) != 0;
  const p::ByteView input(data + 1, size - 1);

  // ParseElement and ParseSingle agree on what one element is.
  der::Element first;
  size_t consumed = 0;
  const p::SysError error = der::ParseElement(input, indefinite, &first, &consumed);
  if (!input.empty()) {
    der::Element single;
    const p::SysError singleError = der::ParseSingle(input, input[0], &single, indefinite);
    Check((singleError == p::kErrorSuccess) ==
          (error == p::kErrorSuccess && consumed == input.size()));
  }
  if (error == p::kErrorSuccess) Check(consumed == first.whole.size() && consumed <= input.size());

  Walk(input, indefinite, 0);
  // The whole input read as the content octets of each kind of primitive.
  CheckOid(input);
  CheckInteger(input);
  CheckTime(der::kUtcTime, input);
  CheckTime(der::kGeneralizedTime, input);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 16384) return 0;
  size_t pos = 0;
  for (int records = 0; records < 8 && size - pos >= 2; ++records) {
    const size_t length = std::min<size_t>(data[pos] | (data[pos + 1] << 8), size - pos - 2);
    pos += 2;
    ReadOne(data + pos, length);
    pos += length;
  }
  return 0;
}
