#include "cli/JsonDocument.h"

#include <cstdio>

namespace zyq::cli {
namespace {

// The length of the valid UTF-8 sequence at the start of text, 0 when it is not one (overlong
// forms, encoded surrogates and code points above U+10FFFF are refused).
size_t Utf8SequenceLength(std::string_view text) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(0);
  if (lead < 0x80) return 1;
  size_t length = 0;
  uint32_t cp = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1Fu;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0Fu;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07u;
  } else {
    return 0;
  }
  if (text.size() < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (byte(i) & 0x3Fu);
  }
  if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF))) return 0;
  if (cp >= 0xD800 && cp <= 0xDFFF) return 0;
  return length;
}

void AppendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

class Reader {
 public:
  Reader(std::string_view text, std::string* why) : text_(text), why_(why) {}

  std::optional<Json> Document() {
    Json value;
    if (!Value(value, 0)) return std::nullopt;
    SkipSpace();
    if (pos_ != text_.size()) return Fail("text after the value");
    return value;
  }

 private:
  std::nullopt_t Fail(const char* why) {
    if (why_ != nullptr && why_->empty()) *why_ = why;
    return std::nullopt;
  }

  void SkipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\t' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\n')) {
      ++pos_;
    }
  }

  bool Consume(char c) {
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }

  bool Word(std::string_view word) {
    if (text_.substr(pos_, word.size()) != word) return false;
    pos_ += word.size();
    return true;
  }

  bool Value(Json& out, int depth) {
    SkipSpace();
    if (pos_ >= text_.size()) {
      Fail("unexpected end of the message");
      return false;
    }
    const char c = text_[pos_];
    if (c == '{' || c == '[') {
      if (depth >= kMaxJsonDepth) {
        Fail("nested too deeply");
        return false;
      }
      return c == '{' ? Object(out, depth + 1) : Array(out, depth + 1);
    }
    if (c == '"') {
      out.kind = Json::Kind::kString;
      return String(out.text);
    }
    if (c == '-' || (c >= '0' && c <= '9')) return Number(out);
    if (Word("null")) return true;
    if (Word("true") || Word("false")) {
      out.kind = Json::Kind::kBool;
      out.boolean = text_[pos_ - 4] == 't';
      return true;
    }
    Fail("not a JSON value");
    return false;
  }

  bool Array(Json& out, int depth) {
    ++pos_;
    out.kind = Json::Kind::kArray;
    SkipSpace();
    if (Consume(']')) return true;
    while (true) {
      out.items.emplace_back();
      if (!Value(out.items.back(), depth)) return false;
      SkipSpace();
      if (Consume(']')) return true;
      if (!Consume(',')) {
        Fail("expected ',' or ']'");
        return false;
      }
    }
  }

  bool Object(Json& out, int depth) {
    ++pos_;
    out.kind = Json::Kind::kObject;
    SkipSpace();
    if (Consume('}')) return true;
    while (true) {
      SkipSpace();
      std::string name;
      if (pos_ >= text_.size() || text_[pos_] != '"') {
        Fail("expected a member name");
        return false;
      }
      if (!String(name)) return false;
      if (out.Member(name) != nullptr) {
        Fail("a member name appears twice");
        return false;
      }
      SkipSpace();
      if (!Consume(':')) {
        Fail("expected ':'");
        return false;
      }
      out.members.push_back(JsonMember{std::move(name), Json{}});
      if (!Value(out.members.back().value, depth)) return false;
      SkipSpace();
      if (Consume('}')) return true;
      if (!Consume(',')) {
        Fail("expected ',' or '}'");
        return false;
      }
    }
  }

  bool Digits() {
    const size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  bool Number(Json& out) {
    const size_t start = pos_;
    Consume('-');
    if (Consume('0')) {
      // No leading zeros.
    } else if (!Digits()) {
      Fail("bad number");
      return false;
    }
    bool integral = true;
    if (Consume('.')) {
      integral = false;
      if (!Digits()) {
        Fail("bad number");
        return false;
      }
    }
    if (Consume('e') || Consume('E')) {
      integral = false;
      if (!Consume('+')) Consume('-');
      if (!Digits()) {
        Fail("bad number");
        return false;
      }
    }
    out.kind = Json::Kind::kNumber;
    out.number = std::string(text_.substr(start, pos_ - start));
    if (integral && out.number.size() <= 20) {
      const bool negative = out.number[0] == '-';
      uint64_t magnitude = 0;
      bool fits = true;
      for (size_t i = negative ? 1 : 0; i < out.number.size(); ++i) {
        const uint64_t digit = static_cast<uint64_t>(out.number[i] - '0');
        if (magnitude > (UINT64_MAX - digit) / 10) {
          fits = false;
          break;
        }
        magnitude = magnitude * 10 + digit;
      }
      const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
      if (fits && magnitude <= limit) {
        out.integer =
            negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
      }
    }
    return true;
  }

  bool Hex4(uint32_t* value) {
    if (pos_ + 4 > text_.size()) return false;
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
      const char h = text_[pos_++];
      v <<= 4;
      if (h >= '0' && h <= '9') {
        v |= static_cast<uint32_t>(h - '0');
      } else if (h >= 'a' && h <= 'f') {
        v |= static_cast<uint32_t>(h - 'a' + 10);
      } else if (h >= 'A' && h <= 'F') {
        v |= static_cast<uint32_t>(h - 'A' + 10);
      } else {
        return false;
      }
    }
    *value = v;
    return true;
  }

  bool String(std::string& out) {
    ++pos_;  // the opening quote
    while (pos_ < text_.size()) {
      const unsigned char c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) {
        Fail("control character in a string");
        return false;
      }
      if (c >= 0x80) {
        const size_t length = Utf8SequenceLength(text_.substr(pos_));
        if (length == 0) {
          Fail("invalid UTF-8");
          return false;
        }
        out.append(text_.substr(pos_, length));
        pos_ += length;
        continue;
      }
      ++pos_;
      if (c != '\\') {
        out.push_back(static_cast<char>(c));
        continue;
      }
      if (pos_ >= text_.size()) break;
      const char e = text_[pos_++];
      switch (e) {
        case '"':
        case '\\':
        case '/':
          out.push_back(e);
          break;
        case 'b':
          out.push_back('\b');
          break;
        case 'f':
          out.push_back('\f');
          break;
        case 'n':
          out.push_back('\n');
          break;
        case 'r':
          out.push_back('\r');
          break;
        case 't':
          out.push_back('\t');
          break;
        case 'u': {
          uint32_t unit = 0;
          if (!Hex4(&unit)) {
            Fail("bad \\u escape");
            return false;
          }
          if (unit >= 0xDC00 && unit <= 0xDFFF) {
            Fail("lone surrogate");
            return false;
          }
          if (unit >= 0xD800 && unit <= 0xDBFF) {
            uint32_t low = 0;
            if (!Word("\\u") || !Hex4(&low) || low < 0xDC00 || low > 0xDFFF) {
              Fail("lone surrogate");
              return false;
            }
            unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
          }
          AppendUtf8(out, unit);
          break;
        }
        default:
          Fail("bad escape");
          return false;
      }
    }
    Fail("unterminated string");
    return false;
  }

  std::string_view text_;
  std::string* why_;
  size_t pos_ = 0;
};

void Write(const Json& value, std::string& out) {
  switch (value.kind) {
    case Json::Kind::kNull:
      out += "null";
      return;
    case Json::Kind::kBool:
      out += value.boolean ? "true" : "false";
      return;
    case Json::Kind::kNumber:
      out += value.number;
      return;
    case Json::Kind::kString:
      out += JsonQuote(value.text);
      return;
    case Json::Kind::kArray:
      out += '[';
      for (size_t i = 0; i < value.items.size(); ++i) {
        if (i) out += ',';
        Write(value.items[i], out);
      }
      out += ']';
      return;
    case Json::Kind::kObject:
      out += '{';
      for (size_t i = 0; i < value.members.size(); ++i) {
        if (i) out += ',';
        out += JsonQuote(value.members[i].name);
        out += ':';
        Write(value.members[i].value, out);
      }
      out += '}';
      return;
  }
}

}  // namespace

const Json* Json::Member(std::string_view name) const {
  for (const JsonMember& member : members) {
    if (member.name == name) return &member.value;
  }
  return nullptr;
}

std::optional<Json> ParseJson(std::string_view utf8, std::string* why) {
  return Reader(utf8, why).Document();
}

std::string WriteJson(const Json& value) {
  std::string out;
  Write(value, out);
  return out;
}

std::string JsonQuote(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"') {
      out += "\\\"";
    } else if (c == '\\') {
      out += "\\\\";
    } else if (u < 0x20) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04x", u);
      out += escape;
    } else {
      out += c;
    }
  }
  out += '"';
  return out;
}

}  // namespace zyq::cli
