#include "platform/posix/keys/KeyCache.h"

#include <mutex>
#include <vector>

#include "platform/posix/StateDatabase.h"
#include "platform/posix/keys/KeyRules.h"

namespace zyq::platform::posix {
namespace {

// A process signs with one or two keys; a few more cover programs that switch between users.
constexpr size_t kCapacity = 16;

struct Entry {
  std::string folder;
  std::string provider;
  std::string container;
  int64_t containerId = 0;
  uint32_t keySpec = 0;
  int64_t generation = 0;
  uint64_t lastUse = 0;
  std::shared_ptr<const RsaSigningKey> key;
};

class KeyCache {
 public:
  // The key of id at generation; a key kept for the same name at another generation, or for a
  // container of the same name that has since been deleted (another row), is dropped.
  std::shared_ptr<const RsaSigningKey> Find(const CachedKeyId& id, int64_t generation) {
    std::vector<std::shared_ptr<const RsaSigningKey>> stale;  // freed after the lock is released
    std::lock_guard lock(mutex_);
    std::shared_ptr<const RsaSigningKey> found;
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (Same(*it, id.folder, id.containerId, id.keySpec) && it->generation == generation) {
        it->lastUse = ++clock_;
        found = it->key;
      } else if (it->keySpec == id.keySpec && it->folder == id.folder &&
                 (it->containerId == id.containerId ||
                  (SameName(it->container, id.container) && SameName(it->provider, id.provider)))) {
        stale.push_back(std::move(it->key));
        it = entries_.erase(it);
        continue;
      }
      ++it;
    }
    return found;
  }

  void Add(const CachedKeyId& id, int64_t generation, std::shared_ptr<const RsaSigningKey> key) {
    std::shared_ptr<const RsaSigningKey> dropped;
    std::lock_guard lock(mutex_);
    Entry* slot = nullptr;
    for (Entry& entry : entries_) {
      if (Same(entry, id.folder, id.containerId, id.keySpec)) slot = &entry;
    }
    if (slot == nullptr && entries_.size() < kCapacity) slot = &entries_.emplace_back();
    if (slot == nullptr) {
      slot = &entries_.front();
      for (Entry& entry : entries_) {
        if (entry.lastUse < slot->lastUse) slot = &entry;
      }
    }
    dropped = std::move(slot->key);
    *slot = Entry{std::string(id.folder),
                  std::string(id.provider),
                  std::string(id.container),
                  id.containerId,
                  id.keySpec,
                  generation,
                  ++clock_,
                  std::move(key)};
  }

  template <typename Match>
  void Forget(Match match) {
    std::vector<std::shared_ptr<const RsaSigningKey>> dropped;
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (match(*it)) {
        dropped.push_back(std::move(it->key));
        it = entries_.erase(it);
      } else {
        ++it;
      }
    }
  }

  template <typename Match>
  size_t Count(Match match) {
    std::lock_guard lock(mutex_);
    size_t n = 0;
    for (const Entry& entry : entries_) n += match(entry) ? 1 : 0;
    return n;
  }

  static bool Same(const Entry& entry, std::string_view folder, int64_t containerId,
                   uint32_t keySpec) {
    return entry.containerId == containerId && entry.keySpec == keySpec && entry.folder == folder;
  }

 private:
  std::mutex mutex_;
  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

// Never destroyed: a thread may still sign while another runs the process's exit handlers.
KeyCache& Cache() {
  union Holder {
    Holder() : cache() {}
    ~Holder() {}
    KeyCache cache;
  };
  static Holder holder;
  return holder.cache;
}

}  // namespace

std::shared_ptr<const RsaSigningKey> FindCachedKey(const CachedKeyId& id, int64_t generation) {
  return Cache().Find(id, generation);
}

void CacheKey(const CachedKeyId& id, int64_t generation, std::shared_ptr<const RsaSigningKey> key) {
  Cache().Add(id, generation, std::move(key));
}

void ForgetCachedKeys(std::string_view folder, std::string_view provider,
                      std::string_view container) {
  Cache().Forget([&](const Entry& entry) {
    return entry.folder == folder && SameName(entry.provider, provider) &&
           (container.empty() || SameName(entry.container, container));
  });
}

void ForgetCachedKey(std::string_view folder, int64_t containerId, uint32_t keySpec) {
  Cache().Forget(
      [&](const Entry& entry) { return KeyCache::Same(entry, folder, containerId, keySpec); });
}

size_t CachedKeyCountForTesting(std::string_view provider, std::string_view container) {
  const std::string folder = StateFolderPath();
  return Cache().Count([&](const Entry& entry) {
    return entry.folder == folder && SameName(entry.provider, provider) &&
           SameName(entry.container, container);
  });
}

}  // namespace zyq::platform::posix
