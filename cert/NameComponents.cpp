#include "cert/NameComponents.h"

#include "platform/Text.h"

namespace zyq {
namespace {

// The length of the character that starts at text[i]: 2 for a lead byte followed by a byte,
// else 1.
size_t CharLength(std::string_view text, size_t i) {
  return platform::IsAnsiLeadByte(static_cast<unsigned char>(text[i])) && i + 1 < text.size() ? 2
                                                                                              : 1;
}

// Replaces every occurrence of `from` (non-empty) found on character boundaries, left to right,
// without rescanning the replacement.
std::string ReplaceAll(std::string_view text, std::string_view from, std::string_view to) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    if (text.substr(i, from.size()) == from) {
      out.append(to);
      i += from.size();
      continue;
    }
    const size_t n = CharLength(text, i);
    out.append(text.substr(i, n));
    i += n;
  }
  return out;
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Trims white space at both ends. Trail bytes of double-byte characters are never white space,
// so a byte-wise trim cannot cut a character.
std::string_view Trim(std::string_view text) {
  size_t begin = 0;
  size_t end = text.size();
  while (begin < end && IsSpace(text[begin])) ++begin;
  while (end > begin && IsSpace(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

void FinishComponent(std::string_view current, NameComponents* out) {
  std::string component(Trim(current));
  component = ReplaceAll(component, " =", "=");
  component = ReplaceAll(component, "= ", "=");
  if (!component.empty()) out->push_back(std::move(component));
}

enum class NameType { kOther, kC, kO, kOU, kCN, kSN };

struct TypeInfo {
  NameType type;
  std::string_view prefix;
};

// Tested in this order: the first prefix that the component begins with gives its type.
constexpr TypeInfo kTypes[] = {
    {NameType::kC, "C="},   {NameType::kO, "O="},   {NameType::kOU, "OU="},
    {NameType::kCN, "CN="}, {NameType::kSN, "SN="},
};

const TypeInfo* TypeOf(std::string_view component) {
  for (const TypeInfo& info : kTypes) {
    if (component.substr(0, info.prefix.size()) == info.prefix) return &info;
  }
  return nullptr;
}

// True when `component` holds `typeText` anywhere and its first occurrence of `value` is at a
// position greater than 0 (so an empty value, found at 0, never counts).
bool HoldsTypeAndValue(std::string_view component, std::string_view typeText,
                       std::string_view value) {
  if (AnsiFind(component, typeText) == std::string_view::npos) return false;
  const size_t at = AnsiFind(component, value);
  return at != std::string_view::npos && at > 0;
}

}  // namespace

size_t AnsiFind(std::string_view text, std::string_view needle) {
  if (needle.empty()) return 0;
  for (size_t i = 0; i < text.size(); i += CharLength(text, i)) {
    if (text.substr(i, needle.size()) == needle) return i;
  }
  return std::string_view::npos;
}

void SplitNameComponents(std::string_view text, NameComponents* out) {
  out->clear();
  if (text.empty()) return;

  // Backslash-n and LF separate like commas; CR is dropped.
  std::string flat;
  flat.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    const char c = text[i];
    if (c == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
      flat.push_back(',');
      i += 2;
    } else if (c == '\r') {
      ++i;
    } else if (c == '\n') {
      flat.push_back(',');
      ++i;
    } else {
      const size_t n = CharLength(text, i);
      flat.append(text.substr(i, n));
      i += n;
    }
  }

  std::string current;
  const std::string_view all(flat);
  size_t start = 0;
  while (start <= all.size()) {
    // The next comma on a character boundary ends the piece.
    size_t end = start;
    while (end < all.size() && all[end] != ',') end += CharLength(all, end);
    const std::string_view piece = all.substr(start, end - start);
    if (!piece.empty()) {
      if (AnsiFind(piece, "=") != std::string_view::npos) {
        FinishComponent(current, out);
        current.assign(piece);
      } else {
        current.push_back(',');
        current.append(piece);
      }
    }
    start = end + 1;
  }
  FinishComponent(current, out);
}

bool MatchNamesContaining(const NameComponents& filter, const NameComponents& certificate) {
  if (filter.empty() || certificate.empty()) return false;
  bool result = false;
  for (const std::string& component : filter) {
    const TypeInfo* info = TypeOf(component);
    if (info == nullptr) continue;
    std::string value = component.substr(info->prefix.size());
    if (info->type == NameType::kSN) value = platform::AnsiUpperCase(value);
    bool found = false;
    for (const std::string& candidate : certificate) {
      if (HoldsTypeAndValue(candidate, info->prefix, value)) {
        found = true;
        break;
      }
    }
    if (!found) return false;
    result = true;
  }
  return result;
}

bool MatchNamesExact(const NameComponents& filter, const NameComponents& certificate) {
  if (filter.empty() || certificate.empty()) return false;
  bool result = false;
  for (const std::string& component : certificate) {
    const TypeInfo* info = TypeOf(component);
    if (info == nullptr) continue;
    bool found = false;
    for (const std::string& candidate : filter) {
      if (info->type == NameType::kSN) {
        const TypeInfo* candidateType = TypeOf(candidate);
        if (candidateType == nullptr || candidateType->type != NameType::kSN) continue;
        const std::string value = platform::AnsiUpperCase(candidate.substr(3));
        found = HoldsTypeAndValue(component, "SN=", value);
      } else {
        found =
            AnsiFind(candidate, info->prefix) != std::string_view::npos && candidate == component;
      }
      if (found) break;
    }
    if (!found) return false;
    result = true;
  }
  return result;
}

}  // namespace zyq
