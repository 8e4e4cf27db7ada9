#include "cli/JsonLine.h"

#include <cstdio>
#include <limits>

#include "platform/Text.h"

namespace zyq::cli {
namespace {

class Parser {
 public:
  Parser(std::string_view text, std::string* why) : text_(text), why_(why) {}

  std::optional<std::vector<JsonValue>> Array() {
    SkipSpace();
    if (!Consume('[')) return Fail("expected a JSON array");
    std::vector<JsonValue> values;
    SkipSpace();
    if (Consume(']')) return Finish(std::move(values));
    while (true) {
      SkipSpace();
      std::optional<JsonValue> v = Value();
      if (!v) return std::nullopt;
      values.push_back(std::move(*v));
      SkipSpace();
      if (Consume(']')) return Finish(std::move(values));
      if (!Consume(',')) return Fail("expected ',' or ']'");
    }
  }

 private:
  std::optional<std::vector<JsonValue>> Finish(std::vector<JsonValue> values) {
    SkipSpace();
    if (pos_ != text_.size()) return Fail("text after the array");
    return values;
  }

  std::nullopt_t Fail(const char* why) {
    if (why_ && why_->empty()) *why_ = why;
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

  std::optional<JsonValue> Value() {
    if (pos_ >= text_.size()) return Fail("unexpected end of line");
    const char c = text_[pos_];
    if (c == '"') return String();
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    if (text_.substr(pos_, 4) == "null") {
      pos_ += 4;
      return JsonValue(JsonNull{});
    }
    Fail("arguments must be strings, null or integers");
    return std::nullopt;
  }

  std::optional<JsonValue> Number() {
    const bool negative = Consume('-');
    if (pos_ >= text_.size() || text_[pos_] < '0' || text_[pos_] > '9') {
      Fail("bad number");
      return std::nullopt;
    }
    uint64_t magnitude = 0;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') {
      magnitude = magnitude * 10 + static_cast<uint64_t>(text_[pos_] - '0');
      if (magnitude > (uint64_t{1} << 32)) {
        Fail("integer out of range");
        return std::nullopt;
      }
      ++pos_;
    }
    if (pos_ < text_.size() && (text_[pos_] == '.' || text_[pos_] == 'e' || text_[pos_] == 'E')) {
      Fail("integers only");
      return std::nullopt;
    }
    const int64_t value =
        negative ? -static_cast<int64_t>(magnitude) : static_cast<int64_t>(magnitude);
    // Accept the signed and the unsigned 32-bit range (a DWORD written as 4294967295).
    if (value < std::numeric_limits<int32_t>::min() ||
        value > std::numeric_limits<uint32_t>::max()) {
      Fail("integer out of range");
      return std::nullopt;
    }
    return JsonValue(value);
  }

  std::optional<JsonValue> String() {
    ++pos_;           // opening quote
    std::string run;  // raw UTF-8 bytes not yet converted
    std::u16string out;
    auto flush = [&] {
      out += platform::Utf8ToWide(run);
      run.clear();
    };
    while (pos_ < text_.size()) {
      const char c = text_[pos_++];
      if (c == '"') {
        flush();
        return JsonValue(std::move(out));
      }
      if (static_cast<unsigned char>(c) < 0x20) {
        Fail("control character in string");
        return std::nullopt;
      }
      if (c != '\\') {
        run.push_back(c);
        continue;
      }
      if (pos_ >= text_.size()) break;
      const char e = text_[pos_++];
      char16_t unit = 0;
      switch (e) {
        case '"':
          unit = u'"';
          break;
        case '\\':
          unit = u'\\';
          break;
        case '/':
          unit = u'/';
          break;
        case 'b':
          unit = u'\b';
          break;
        case 'f':
          unit = u'\f';
          break;
        case 'n':
          unit = u'\n';
          break;
        case 'r':
          unit = u'\r';
          break;
        case 't':
          unit = u'\t';
          break;
        case 'u': {
          if (pos_ + 4 > text_.size()) {
            Fail("bad \\u escape");
            return std::nullopt;
          }
          unsigned v = 0;
          for (int i = 0; i < 4; ++i) {
            const char h = text_[pos_++];
            v <<= 4;
            if (h >= '0' && h <= '9')
              v |= static_cast<unsigned>(h - '0');
            else if (h >= 'a' && h <= 'f')
              v |= static_cast<unsigned>(h - 'a' + 10);
            else if (h >= 'A' && h <= 'F')
              v |= static_cast<unsigned>(h - 'A' + 10);
            else {
              Fail("bad \\u escape");
              return std::nullopt;
            }
          }
          unit = static_cast<char16_t>(v);
          break;
        }
        default:
          Fail("bad escape");
          return std::nullopt;
      }
      flush();
      out.push_back(unit);
    }
    Fail("unterminated string");
    return std::nullopt;
  }

  std::string_view text_;
  std::string* why_;
  size_t pos_ = 0;
};

void AppendEscape(std::string& out, unsigned unit) {
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\u%04x", unit);
  out += buf;
}

}  // namespace

std::optional<std::vector<JsonValue>> ParseJsonArray(std::string_view line, std::string* why) {
  return Parser(line, why).Array();
}

std::string JsonString(std::u16string_view text) {
  std::string out = "\"";
  size_t i = 0;
  while (i < text.size()) {
    const char16_t u = text[i];
    const bool high = u >= 0xD800 && u <= 0xDBFF;
    const bool low = u >= 0xDC00 && u <= 0xDFFF;
    if (high && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      out += platform::WideToUtf8(text.substr(i, 2));
      i += 2;
      continue;
    }
    if (high || low || u < 0x20) {
      AppendEscape(out, u);
    } else if (u == u'"') {
      out += "\\\"";
    } else if (u == u'\\') {
      out += "\\\\";
    } else {
      out += platform::WideToUtf8(text.substr(i, 1));
    }
    ++i;
  }
  out += '"';
  return out;
}

std::string JsonString(std::string_view utf8) {
  return JsonString(platform::Utf8ToWide(utf8));
}

}  // namespace zyq::cli
