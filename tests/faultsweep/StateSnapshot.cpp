#include "tests/faultsweep/StateSnapshot.h"

#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace zyq::test {
namespace {

namespace fs = std::filesystem;

std::string Hex(const void* data, int n) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  const auto* p = static_cast<const unsigned char*>(data);
  for (int i = 0; i < n; ++i) {
    out += kDigits[p[i] >> 4];
    out += kDigits[p[i] & 15];
  }
  return out;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// Whether the 36 characters at `at` (each `step` bytes apart, the other bytes zero: 1 for ASCII,
// 2 for UTF-16LE) are a UUID's text.
bool UuidAt(const std::string& s, size_t at, size_t step) {
  if (at + 36 * step > s.size()) return false;
  for (size_t i = 0; i < 36; ++i) {
    const char c = s[at + i * step];
    if (step == 2 && s[at + i * step + 1] != '\0') return false;
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    if (dash ? c != '-' : !IsHexDigit(c)) return false;
  }
  return true;
}

// Container names made from new UUIDs (in a name, or inside a key link's bytes) differ from run
// to run: they become "{uuid}" of the same length, in the same encoding.
std::string MaskUuids(std::string s) {
  static constexpr char kMask[] = "{uuid-------------------------------}";
  for (size_t at = 0; at < s.size(); ++at) {
    for (size_t step : {size_t{1}, size_t{2}}) {
      if (UuidAt(s, at, step)) {
        for (size_t i = 0; i < 36; ++i) s[at + i * step] = kMask[i];
      }
    }
  }
  return s;
}

// A column as text: integers and text as they are, blobs as hex; UUIDs masked.
std::string Column(sqlite3_stmt* st, int col) {
  switch (sqlite3_column_type(st, col)) {
    case SQLITE_NULL:
      return "NULL";
    case SQLITE_BLOB: {
      const auto* p = static_cast<const char*>(sqlite3_column_blob(st, col));
      const std::string bytes = MaskUuids(std::string(p, p + sqlite3_column_bytes(st, col)));
      return "x" + Hex(bytes.data(), static_cast<int>(bytes.size()));
    }
    default: {
      const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(st, col));
      return text ? MaskUuids(std::string(text, static_cast<size_t>(sqlite3_column_bytes(st, col))))
                  : "";
    }
  }
}

// Runs a query and hands each row (its columns as text) to `row`. A missing table gives no rows:
// the parts of the state database make their tables on first use.
template <typename Row>
void Query(sqlite3* db, const char* sql, Row row) {
  sqlite3_stmt* st = nullptr;
  if (sqlite3_prepare_v2(db, sql, -1, &st, nullptr) != SQLITE_OK) {
    sqlite3_finalize(st);
    return;
  }
  while (sqlite3_step(st) == SQLITE_ROW) {
    std::vector<std::string> columns;
    for (int i = 0; i < sqlite3_column_count(st); ++i) columns.push_back(Column(st, i));
    row(columns);
  }
  sqlite3_finalize(st);
}

void ReadDatabase(const std::string& path, StateSnapshot* out) {
  if (!fs::exists(path)) return;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    (*out)["database"] = "unreadable";
    sqlite3_close(db);
    return;
  }
  // Registry keys by hive and path, values below them by name.
  std::map<std::string, std::string> keyPath;  // id -> "hive:path"
  Query(db,
        "WITH RECURSIVE k(id, hive, path) AS ("
        " SELECT id, hive, name FROM reg_keys WHERE parent = 0"
        " UNION ALL SELECT c.id, c.hive, k.path || '\\' || c.name FROM reg_keys c"
        " JOIN k ON c.parent = k.id) SELECT id, hive, path FROM k",
        [&](const std::vector<std::string>& r) {
          keyPath[r[1] + "#" + r[0]] = r[1] + ":" + r[2];
          (*out)["regkey " + r[1] + ":" + r[2]] = "";
        });
  Query(db, "SELECT hive, key_id, name, type, data FROM reg_values",
        [&](const std::vector<std::string>& r) {
          const std::string key = r[1] == "0" ? r[0] + ":" : keyPath[r[0] + "#" + r[1]];
          (*out)["regvalue " + key + " / " + r[2]] = r[3] + " " + r[4];
        });
  Query(db, "SELECT name, type FROM key_providers ORDER BY id",
        [&](const std::vector<std::string>& r) { (*out)["provider " + r[0]] = r[1]; });
  // Containers by their place in their provider; the name is a value (imports name theirs by a
  // new UUID).
  std::map<std::string, int> containersOf;
  Query(db, "SELECT id, provider, name FROM key_containers ORDER BY id",
        [&](const std::vector<std::string>& r) {
          const std::string name =
              "container " + r[1] + " #" + std::to_string(++containersOf[r[1]]);
          (*out)[name] = r[2];
        });
  // Key pairs by their place among the pairs of their provider, so that an empty container
  // shifts no pair; the container's name is part of the value.
  std::map<std::string, int> pairsOf;
  Query(db,
        "SELECT c.provider, c.name, p.key_spec, p.flags, p.bits, p.public_key, p.private_key"
        " FROM key_pairs p JOIN key_containers c ON c.id = p.container_id"
        " ORDER BY c.id, p.key_spec",
        [&](const std::vector<std::string>& r) {
          (*out)["keypair " + r[0] + " #" + std::to_string(++pairsOf[r[0]])] =
              r[1] + " " + r[2] + " " + r[3] + " " + r[4] + " " + r[5] + " " + r[6];
        });
  // Store entries by their place in their store, with their properties.
  std::map<std::string, int> entriesOf;
  std::map<std::string, std::string> entryName;
  Query(db, "SELECT id, store, encoded FROM cert_entries ORDER BY id",
        [&](const std::vector<std::string>& r) {
          const std::string name = "cert " + r[1] + " #" + std::to_string(++entriesOf[r[1]]);
          entryName[r[0]] = name;
          (*out)[name] = r[2];
        });
  Query(db, "SELECT entry_id, prop_id, value FROM cert_properties",
        [&](const std::vector<std::string>& r) {
          (*out)[entryName[r[0]] + " property " + r[1]] = r[2];
        });
  sqlite3_close(db);
}

void ReadTree(const fs::path& root, const std::string& folder, StateSnapshot* out) {
  const fs::path top = root / fs::path(std::u8string(folder.begin(), folder.end()));
  std::error_code ec;
  if (!fs::exists(top, ec)) return;
  for (auto it = fs::recursive_directory_iterator(top, ec);
       it != fs::recursive_directory_iterator(); it.increment(ec)) {
    const std::u8string relative = fs::relative(it->path(), root).u8string();
    const std::string name(relative.begin(), relative.end());
    if (it->is_directory()) {
      (*out)["folder " + name] = "";
    } else {
      std::ifstream in(it->path(), std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      (*out)["file " + name] = Hex(bytes.str().data(), static_cast<int>(bytes.str().size()));
    }
  }
}

}  // namespace

StateSnapshot TakeSnapshot(const std::string& stateFolder, const std::string& root,
                           const std::vector<std::string>& folders) {
  StateSnapshot snapshot;
  ReadDatabase(stateFolder + "/state.db", &snapshot);
  for (const std::string& folder : folders) ReadTree(fs::path(root), folder, &snapshot);
  return snapshot;
}

std::set<std::string> Volatile(const StateSnapshot& a, const StateSnapshot& b) {
  std::set<std::string> names;
  for (const auto& [name, value] : a) {
    const auto other = b.find(name);
    if (other != b.end() && other->second != value) names.insert(name);
  }
  return names;
}

bool SameOutcome(const StateSnapshot& actual, const StateSnapshot& expected,
                 const std::set<std::string>& masked) {
  if (actual.size() != expected.size()) return false;
  for (auto a = actual.begin(), e = expected.begin(); a != actual.end(); ++a, ++e) {
    if (a->first != e->first) return false;
    if (a->second != e->second && masked.count(a->first) == 0) return false;
  }
  return true;
}

std::string Differences(const StateSnapshot& actual, const StateSnapshot& expected, size_t limit) {
  std::string out;
  size_t lines = 0;
  auto add = [&](const std::string& line) {
    if (lines++ < limit) out += "    " + line.substr(0, 200) + "\n";
  };
  for (const auto& [name, value] : actual) {
    const auto e = expected.find(name);
    if (e == expected.end()) {
      add("+ " + name);
    } else if (e->second != value) {
      add("~ " + name + ": " + value.substr(0, 40) + " instead of " + e->second.substr(0, 40));
    }
  }
  for (const auto& [name, value] : expected) {
    if (actual.count(name) == 0) add("- " + name);
  }
  if (lines > limit) out += "    ... " + std::to_string(lines - limit) + " more\n";
  return out;
}

}  // namespace zyq::test
