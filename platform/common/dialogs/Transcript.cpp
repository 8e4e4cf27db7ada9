#include "platform/common/dialogs/Transcript.h"

#include <cstdio>

namespace zyq::platform::common {
namespace {

// Length of the valid UTF-8 sequence at s[pos], or 0 when the bytes there are not one.
size_t Utf8SequenceLength(std::string_view s, size_t pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char lead = byte(pos);
  size_t length;
  char32_t cp;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (pos + length > s.size()) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(pos + i) & 0x3F);
  }
  // Overlong forms, surrogates and values past U+10FFFF are not valid.
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF)) {
    return 0;
  }
  return length;
}

}  // namespace

std::string JsonQuote(std::string_view utf8) {
  std::string out = "\"";
  size_t pos = 0;
  while (pos < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[pos]);
    const size_t length = Utf8SequenceLength(utf8, pos);
    if (length == 0) {
      out += "\\ufffd";
      ++pos;
      continue;
    }
    if (length > 1) {
      out.append(utf8.substr(pos, length));
    } else if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c == '\n') {
      out += "\\n";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c < 0x20 || c == 0x7F) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out.push_back(static_cast<char>(c));
    }
    pos += length;
  }
  out.push_back('"');
  return out;
}

void JsonLine::Key(std::string_view key) {
  if (!body_.empty()) body_ += ", ";
  body_ += JsonQuote(key);
  body_ += ": ";
}

void JsonLine::Add(std::string_view key, std::string_view text) {
  Key(key);
  body_ += JsonQuote(text);
}

void JsonLine::Add(std::string_view key, int number) {
  Key(key);
  body_ += std::to_string(number);
}

void JsonLine::Add(std::string_view key, bool flag) {
  Key(key);
  body_ += flag ? "true" : "false";
}

void JsonLine::Add(std::string_view key, const std::vector<std::vector<std::string>>& rows) {
  Key(key);
  body_ += "[";
  for (size_t r = 0; r < rows.size(); ++r) {
    if (r > 0) body_ += ", ";
    body_ += "[";
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (c > 0) body_ += ", ";
      body_ += JsonQuote(rows[r][c]);
    }
    body_ += "]";
  }
  body_ += "]";
}

std::string JsonLine::Text() const {
  return "{" + body_ + "}";
}

}  // namespace zyq::platform::common
