#include "cli/OriginPolicy.h"

#include "platform/FileSystem.h"
#include "platform/HostInfo.h"
#include "platform/Paths.h"

namespace zyq::cli {
namespace {

std::vector<std::string_view> Words(std::string_view line) {
  std::vector<std::string_view> words;
  size_t pos = 0;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t' || line[pos] == '\r')) ++pos;
    const size_t start = pos;
    while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t' && line[pos] != '\r') ++pos;
    if (pos > start) words.push_back(line.substr(start, pos - start));
  }
  return words;
}

struct Parsed {
  bool lock = false;
  std::vector<std::pair<std::string, OriginAccess>> entries;
};

Parsed ParseList(std::string_view text) {
  Parsed parsed;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    start = end + 1;
    if (const size_t hash = line.find('#'); hash != std::string_view::npos) {
      line = line.substr(0, hash);
    }
    const std::vector<std::string_view> words = Words(line);
    if (words.empty()) continue;
    if (words.size() == 1 && words[0] == "lock") {
      parsed.lock = true;
      continue;
    }
    if (!IsWebOrigin(words[0])) continue;
    OriginAccess access{true, true, false};
    bool understood = true;
    for (size_t i = 1; i < words.size(); ++i) {
      if (words[i] == ClassName(OperationClass::kHarmless)) {
        access.userConsent = false;
      } else if (words[i] == ClassName(OperationClass::kUserConsent)) {
        access.userConsent = true;
      } else if (words[i] == "demo") {
        access.demoAuthority = true;
      } else if (words[i] == "deny") {
        access = OriginAccess{};
      } else {
        understood = false;
      }
    }
    if (!understood) continue;
    parsed.entries.emplace_back(std::string(words[0]), access);
  }
  return parsed;
}

// The file's text; empty when there is no path or the file cannot be read.
std::string ReadWhole(const std::string& path) {
  std::string text;
  if (path.empty() || platform::CurrentFileSystem().ReadFile(path, &text) != 0) return {};
  return text;
}

// <folder>\zyqsec\allowed-origins by the machine's path rules; empty without a folder.
std::string AllowListIn(const std::string& folder) {
  if (folder.empty()) return {};
  return platform::JoinPath(platform::JoinPath(folder, "zyqsec"), "allowed-origins");
}

}  // namespace

bool IsWebOrigin(std::string_view text) {
  std::string_view rest;
  if (text.substr(0, 7) == "http://") {
    rest = text.substr(7);
  } else if (text.substr(0, 8) == "https://") {
    rest = text.substr(8);
  } else {
    return false;
  }
  // A lower-case host name or IPv4 address, or a bracketed IPv6 address, then an optional port.
  size_t pos = 0;
  if (!rest.empty() && rest[0] == '[') {
    const size_t close = rest.find(']');
    if (close == std::string_view::npos || close < 2) return false;
    for (size_t i = 1; i < close; ++i) {
      const char c = rest[i];
      if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || c == ':' || c == '.')) return false;
    }
    pos = close + 1;
  } else {
    while (pos < rest.size() && rest[pos] != ':') {
      const char c = rest[pos];
      if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.')) return false;
      ++pos;
    }
    if (pos == 0) return false;
  }
  if (pos == rest.size()) return true;
  if (rest[pos] != ':' || pos + 1 == rest.size() || rest.size() - pos - 1 > 5) return false;
  if (rest[pos + 1] == '0') return false;
  unsigned port = 0;
  for (size_t i = pos + 1; i < rest.size(); ++i) {
    if (rest[i] < '0' || rest[i] > '9') return false;
    port = port * 10 + static_cast<unsigned>(rest[i] - '0');
  }
  return port <= 65535;
}

OriginPolicy OriginPolicy::FromTexts(std::string_view userText, std::string_view systemText) {
  OriginPolicy policy;
  const Parsed system = ParseList(systemText);
  for (const auto& [origin, access] : system.entries) policy.entries_.push_back({origin, access});
  if (!system.lock) {
    for (const auto& [origin, access] : ParseList(userText).entries) {
      policy.entries_.push_back({origin, access});
    }
  }
  return policy;
}

OriginPolicy OriginPolicy::Load(const std::string& userFile, const std::string& systemFile) {
  return FromTexts(ReadWhole(userFile), ReadWhole(systemFile));
}

OriginAccess OriginPolicy::For(std::string_view origin) const {
  // The first line for the origin decides: the system's lines come first, and within a file
  // the first line wins.
  for (const Entry& entry : entries_) {
    if (entry.origin == origin) return entry.access;
  }
  return {};
}

bool OriginPolicy::Permits(std::string_view origin, OperationClass operationClass) const {
  const OriginAccess access = For(origin);
  switch (operationClass) {
    case OperationClass::kHarmless:
      return access.allowed;
    case OperationClass::kUserConsent:
      return access.allowed && access.userConsent;
    case OperationClass::kHostOnly:
      break;
  }
  return false;
}

OriginPolicy OriginPolicy::LoadInstalled() {
  const platform::SettingsFolders folders = platform::FindSettingsFolders();
  return Load(AllowListIn(folders.user), AllowListIn(folders.machine));
}

}  // namespace zyq::cli
