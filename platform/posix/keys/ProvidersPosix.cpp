// The provider list: four built-in providers and those the user installed, sorted by name as
// the registry sorts key names.
#include <strings.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <cerrno>

#include "platform/Providers.h"
#include "platform/posix/StateDatabase.h"
#include "platform/posix/keys/KeyCache.h"
#include "platform/posix/keys/KeyRules.h"
#include "platform/posix/keys/KeyStore.h"

namespace zyq::platform {
namespace {

using posix::SameName;

// Made on first use: the library's process-wide engine lists the providers while the library is
// being loaded, which may be before this file's namespace-scope objects are constructed.
const std::array<ProviderInfo, 4>& BuiltIn() {
  static const std::array<ProviderInfo, 4> providers = {{
      {kMsDefProv, kProvRsaFull},
      {kMsEnhancedProv, kProvRsaFull},
      {kMsEnhRsaAesProv, kProvRsaAes},
      {kMsStrongProv, kProvRsaFull},
  }};
  return providers;
}

bool IsBuiltIn(std::string_view name) {
  return std::any_of(BuiltIn().begin(), BuiltIn().end(),
                     [&](const ProviderInfo& p) { return SameName(p.name, name); });
}

// Registry order: ASCII letters compared without case, then byte order.
bool NameLess(const ProviderInfo& a, const ProviderInfo& b) {
  const int c = ::strcasecmp(a.name.c_str(), b.name.c_str());
  return c != 0 ? c < 0 : a.name < b.name;
}

// Whether the user's state has a database: without one no provider was ever installed, and the
// list is the built-in one without creating the state (the process-wide engine lists the
// providers while the library loads).
bool StateDatabaseExists() {
  struct stat info {};
  return ::stat((posix::StateFolderPath() + "/state.db").c_str(), &info) == 0 || errno != ENOENT;
}

SysError LoadProviders(std::vector<ProviderInfo>* providers) {
  std::vector<ProviderInfo> all(BuiltIn().begin(), BuiltIn().end());
  std::vector<ProviderInfo> installed;
  SysError err = kErrorSuccess;
  if (StateDatabaseExists()) {
    err = posix::ReadInstalledProviders(&installed);
  }
  all.insert(all.end(), installed.begin(), installed.end());
  std::stable_sort(all.begin(), all.end(), NameLess);
  *providers = std::move(all);
  return err;
}

}  // namespace

SysError EnumProvider(uint32_t index, ProviderInfo* provider) {
  std::vector<ProviderInfo> all;
  if (SysError err = LoadProviders(&all); err != kErrorSuccess) return err;
  if (index >= all.size()) return kErrorNoMoreItems;
  *provider = all[index];
  return kErrorSuccess;
}

std::vector<ProviderInfo> ListProviders() {
  std::vector<ProviderInfo> all;
  LoadProviders(&all);
  return all;
}

SysError FindProvider(std::string_view name, ProviderInfo* provider) {
  for (const ProviderInfo& p : BuiltIn()) {
    if (SameName(p.name, name)) {
      *provider = p;
      return kErrorSuccess;
    }
  }
  std::vector<ProviderInfo> installed;
  const SysError err = posix::KeyDatabaseRead(
      [&](posix::StateDatabase& db) { return posix::LoadInstalledProviders(db, &installed); });
  if (err != kErrorSuccess) return err;
  for (const ProviderInfo& p : installed) {
    if (SameName(p.name, name)) {
      *provider = p;
      return kErrorSuccess;
    }
  }
  return kNteKeysetNotDef;
}

SysError InstallProvider(std::string_view name, uint32_t type) {
  if (name.empty() || name.size() > 255 || name.find('\\') != std::string_view::npos ||
      name.find('\0') != std::string_view::npos) {
    return kErrorInvalidParameter;
  }
  if (type == 0 || type > kMaxProvType) return kNteBadProvType;
  if (IsBuiltIn(name)) return kNteExists;
  return posix::KeyDatabaseWrite(
      [&](posix::StateDatabase& db) { return posix::InsertProvider(db, name, type); });
}

SysError RemoveProvider(std::string_view name) {
  if (IsBuiltIn(name)) return kErrorAccessDenied;
  return posix::KeyDatabaseWrite([&](posix::StateDatabase& db) {
    posix::ForgetCachedKeys(db.folder(), name, {});
    return posix::DeleteProvider(db, name);
  });
}

}  // namespace zyq::platform
