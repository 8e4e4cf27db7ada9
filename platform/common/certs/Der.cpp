#include "platform/common/certs/Der.h"

#include <algorithm>
#include <charconv>

namespace zyq::platform::common::der {
namespace {

constexpr int kMaxIndefiniteDepth = 32;

SysError ParseAt(ByteView data, bool allowIndefinite, int depth, Element* out, size_t* consumed) {
  if (data.empty()) return kCryptEAsn1Eod;
  const uint8_t tag = data[0];
  // Multi-byte tag numbers do not occur in the structures read here.
  if ((tag & 0x1f) == 0x1f) return kCryptEAsn1Badtag;
  if (data.size() < 2) return kCryptEAsn1Eod;
  size_t pos = 2;
  const uint8_t first = data[1];
  if (first < 0x80) {
    const size_t length = first;
    if (data.size() - pos < length) return kCryptEAsn1Eod;
    out->tag = tag;
    out->content = data.subspan(pos, length);
    out->whole = data.subspan(0, pos + length);
    *consumed = pos + length;
    return kErrorSuccess;
  }
  if (first == 0x80) {
    // Indefinite length: constructed BER only, ended by two zero octets.
    if (!allowIndefinite || (tag & 0x20) == 0) return kCryptEAsn1Corrupt;
    if (depth >= kMaxIndefiniteDepth) return kCryptEAsn1Large;
    size_t cursor = pos;
    while (true) {
      if (data.size() - cursor < 2) return kCryptEAsn1Eod;
      if (data[cursor] == 0 && data[cursor + 1] == 0) break;
      Element child;
      size_t used = 0;
      if (SysError err = ParseAt(data.subspan(cursor), true, depth + 1, &child, &used)) return err;
      cursor += used;
    }
    out->tag = tag;
    out->content = data.subspan(pos, cursor - pos);
    out->whole = data.subspan(0, cursor + 2);
    *consumed = cursor + 2;
    return kErrorSuccess;
  }
  const size_t octets = first & 0x7f;
  if (octets == 0x7f) return kCryptEAsn1Corrupt;
  if (octets > 4) return kCryptEAsn1Large;
  if (data.size() - pos < octets) return kCryptEAsn1Eod;
  uint64_t length = 0;
  for (size_t i = 0; i < octets; ++i) length = (length << 8) | data[pos + i];
  pos += octets;
  if (length > kMaxEncodedSize) return kCryptEAsn1Large;
  if (data.size() - pos < length) return kCryptEAsn1Eod;
  out->tag = tag;
  out->content = data.subspan(pos, static_cast<size_t>(length));
  out->whole = data.subspan(0, pos + static_cast<size_t>(length));
  *consumed = pos + static_cast<size_t>(length);
  return kErrorSuccess;
}

bool IsDigits(ByteView s) {
  return std::all_of(s.begin(), s.end(), [](uint8_t c) { return c >= '0' && c <= '9'; });
}

int Number(ByteView s) {
  int v = 0;
  for (uint8_t c : s) v = v * 10 + (c - '0');
  return v;
}

// Days from 1970-01-01 to the civil date (proleptic Gregorian).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = static_cast<unsigned>(y - era * 400);
  const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

bool IsLeap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

}  // namespace

SysError ParseElement(ByteView data, bool allowIndefinite, Element* out, size_t* consumed) {
  return ParseAt(data, allowIndefinite, 0, out, consumed);
}

SysError ParseSingle(ByteView data, uint8_t tag, Element* out, bool allowIndefinite) {
  if (data.size() > kMaxEncodedSize) return kCryptEAsn1Large;
  if (!data.empty() && data[0] != tag) return kCryptEAsn1Badtag;
  size_t used = 0;
  if (SysError err = ParseElement(data, allowIndefinite, out, &used)) return err;
  if (out->tag != tag) return kCryptEAsn1Badtag;
  if (used != data.size()) return kCryptEAsn1Corrupt;
  return kErrorSuccess;
}

SysError Reader::Next(Element* out) {
  if (AtEnd()) return kCryptEAsn1Eod;
  size_t used = 0;
  if (SysError err = ParseElement(data_.subspan(pos_), allowIndefinite_, out, &used)) return err;
  pos_ += used;
  return kErrorSuccess;
}

SysError Reader::Expect(uint8_t tag, Element* out) {
  if (AtEnd()) return kCryptEAsn1Eod;
  if (data_[pos_] != tag) return kCryptEAsn1Badtag;
  return Next(out);
}

bool Reader::Optional(uint8_t tag, Element* out, SysError* error) {
  if (AtEnd() || data_[pos_] != tag) return false;
  *error = Next(out);
  return true;
}

SysError OidToText(ByteView content, std::string* text) {
  text->clear();
  if (content.empty() || content.size() > 256) return kCryptEAsn1Corrupt;
  uint64_t value = 0;
  bool first = true;
  size_t arcBytes = 0;
  for (size_t i = 0; i < content.size(); ++i) {
    const uint8_t b = content[i];
    if (arcBytes == 0 && b == 0x80) return kCryptEAsn1Corrupt;  // non-minimal arc
    if (++arcBytes > 9) return kCryptEAsn1Corrupt;              // over 63 bits
    value = (value << 7) | (b & 0x7f);
    if (b & 0x80) {
      if (i + 1 == content.size()) return kCryptEAsn1Corrupt;  // arc cut short
      continue;
    }
    if (first) {
      const uint64_t top = value < 40 ? 0 : value < 80 ? 1 : 2;
      *text += std::to_string(top) + "." + std::to_string(value - top * 40);
      first = false;
    } else {
      *text += "." + std::to_string(value);
    }
    value = 0;
    arcBytes = 0;
  }
  return kErrorSuccess;
}

bool OidFromText(std::string_view text, Bytes* content) {
  content->clear();
  std::vector<uint64_t> arcs;
  size_t start = 0;
  while (start <= text.size()) {
    const size_t dot = std::min(text.find('.', start), text.size());
    const std::string_view part = text.substr(start, dot - start);
    uint64_t v = 0;
    auto [ptr, ec] = std::from_chars(part.data(), part.data() + part.size(), v);
    if (part.empty() || ec != std::errc() || ptr != part.data() + part.size()) return false;
    arcs.push_back(v);
    start = dot + 1;
    if (dot == text.size()) break;
  }
  if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40)) return false;
  if (arcs[1] > UINT64_MAX - 80) return false;
  std::vector<uint64_t> values{arcs[0] * 40 + arcs[1]};
  values.insert(values.end(), arcs.begin() + 2, arcs.end());
  for (uint64_t v : values) {
    uint8_t buf[10];
    int n = 0;
    do {
      buf[n++] = static_cast<uint8_t>(v & 0x7f);
      v >>= 7;
    } while (v != 0);
    for (int i = n - 1; i >= 0; --i) content->push_back(buf[i] | (i > 0 ? 0x80 : 0));
  }
  return true;
}

SysError SmallInteger(ByteView content, int64_t* value) {
  if (content.empty()) return kCryptEAsn1Corrupt;
  if (content[0] & 0x80) return kCryptEAsn1Corrupt;  // negative
  size_t i = 0;
  while (i + 1 < content.size() && content[i] == 0) ++i;
  if (content.size() - i > 7) return kCryptEAsn1Large;
  int64_t v = 0;
  for (; i < content.size(); ++i) v = (v << 8) | content[i];
  *value = v;
  return kErrorSuccess;
}

SysError TimeToFileTime(uint8_t tag, ByteView c, FileTime* out) {
  int year = 0;
  size_t pos = 0;
  if (tag == kUtcTime) {
    if (c.size() < 10 || !IsDigits(c.subspan(0, 10))) return kCryptEAsn1Corrupt;
    const int yy = Number(c.subspan(0, 2));
    year = yy < 50 ? 2000 + yy : 1900 + yy;
    pos = 2;
  } else if (tag == kGeneralizedTime) {
    if (c.size() < 12 || !IsDigits(c.subspan(0, 12))) return kCryptEAsn1Corrupt;
    year = Number(c.subspan(0, 4));
    pos = 4;
  } else {
    return kCryptEAsn1Badtag;
  }
  const int month = Number(c.subspan(pos, 2));
  const int day = Number(c.subspan(pos + 2, 2));
  const int hour = Number(c.subspan(pos + 4, 2));
  const int minute = Number(c.subspan(pos + 6, 2));
  pos += 8;
  int second = 0;
  if (pos + 2 <= c.size() && IsDigits(c.subspan(pos, 2))) {
    second = Number(c.subspan(pos, 2));
    pos += 2;
  }
  int64_t fraction100ns = 0;
  if (tag == kGeneralizedTime && pos < c.size() && (c[pos] == '.' || c[pos] == ',')) {
    ++pos;
    int64_t scale = 1000000;
    size_t digits = 0;
    while (pos < c.size() && c[pos] >= '0' && c[pos] <= '9') {
      if (scale > 0) fraction100ns += (c[pos] - '0') * scale;
      scale /= 10;
      ++pos;
      ++digits;
    }
    if (digits == 0) return kCryptEAsn1Corrupt;
  }
  int64_t offsetSeconds = 0;
  if (pos < c.size() && c[pos] == 'Z') {
    ++pos;
  } else if (pos < c.size() && (c[pos] == '+' || c[pos] == '-')) {
    if (c.size() - pos < 5 || !IsDigits(c.subspan(pos + 1, 4))) return kCryptEAsn1Corrupt;
    const int oh = Number(c.subspan(pos + 1, 2));
    const int om = Number(c.subspan(pos + 3, 2));
    if (oh > 23 || om > 59) return kCryptEAsn1Corrupt;
    offsetSeconds = (oh * 3600 + om * 60) * (c[pos] == '+' ? 1 : -1);
    pos += 5;
  } else if (tag == kUtcTime) {
    return kCryptEAsn1Corrupt;  // UTCTime must name its zone
  }
  if (pos != c.size()) return kCryptEAsn1Corrupt;
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1 ||
      day > kDays[month - 1] + (month == 2 && IsLeap(year) ? 1 : 0) || hour > 23 || minute > 59 ||
      second > 59) {
    return kCryptEAsn1Corrupt;
  }
  const int64_t unixSeconds =
      DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400 +
      hour * 3600 + minute * 60 + second - offsetSeconds;
  // FILETIME starts in 1601; earlier times have no FILETIME.
  constexpr int64_t kUnixAt1601 = -11644473600;
  if (unixSeconds < kUnixAt1601) return kCryptEAsn1Corrupt;
  *out = FileTimeFromUnixSeconds(unixSeconds) + static_cast<uint64_t>(fraction100ns);
  return kErrorSuccess;
}

void AppendLength(Bytes& out, size_t length) {
  if (length < 0x80) {
    out.push_back(static_cast<uint8_t>(length));
    return;
  }
  uint8_t buf[8];
  int n = 0;
  while (length > 0) {
    buf[n++] = static_cast<uint8_t>(length & 0xff);
    length >>= 8;
  }
  out.push_back(static_cast<uint8_t>(0x80 | n));
  for (int i = n - 1; i >= 0; --i) out.push_back(buf[i]);
}

void AppendTlv(Bytes& out, uint8_t tag, ByteView content) {
  out.push_back(tag);
  AppendLength(out, content.size());
  out.insert(out.end(), content.begin(), content.end());
}

Bytes Tlv(uint8_t tag, ByteView content) {
  Bytes out;
  out.reserve(content.size() + 6);
  AppendTlv(out, tag, content);
  return out;
}

Bytes Constructed(uint8_t tag, std::initializer_list<ByteView> parts) {
  Bytes content;
  for (ByteView p : parts) content.insert(content.end(), p.begin(), p.end());
  return Tlv(tag, content);
}

Bytes OidElement(std::string_view dotted) {
  Bytes content;
  if (!OidFromText(dotted, &content)) return {};
  return Tlv(kOid, content);
}

Bytes UnsignedInteger(ByteView bigEndian) {
  size_t i = 0;
  while (i < bigEndian.size() && bigEndian[i] == 0) ++i;
  Bytes content;
  if (i == bigEndian.size() || (bigEndian[i] & 0x80)) content.push_back(0);
  content.insert(content.end(), bigEndian.begin() + static_cast<ptrdiff_t>(i), bigEndian.end());
  return Tlv(kInteger, content);
}

Bytes SmallIntegerElement(int64_t value) {
  Bytes be;
  for (int shift = 56; shift >= 0; shift -= 8) {
    be.push_back(static_cast<uint8_t>((static_cast<uint64_t>(value) >> shift) & 0xff));
  }
  return UnsignedInteger(be);
}

Bytes SetOf(std::vector<Bytes> elements, uint8_t tag) {
  std::sort(elements.begin(), elements.end(), [](const Bytes& a, const Bytes& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
  });
  Bytes content;
  for (const Bytes& e : elements) content.insert(content.end(), e.begin(), e.end());
  return Tlv(tag, content);
}

}  // namespace zyq::platform::common::der
