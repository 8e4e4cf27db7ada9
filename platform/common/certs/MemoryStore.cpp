// Memory certificate stores: entries in a vector, guarded by a mutex.
#include <mutex>

#include "platform/common/certs/StoreBackend.h"

namespace zyq::platform::detail {
namespace {

struct MemoryEntry {
  StoredEntry stored;
  Bytes issuer;
  Bytes serial;
};

class MemoryBackend final : public StoreBackend {
 public:
  std::string Name() const override { return {}; }

 protected:
  SysError Atomically(const std::function<SysError()>& body) override {
    std::lock_guard lock(mutex_);
    return body();
  }

  SysError ListEntries(std::vector<StoredEntry>* out) override {
    std::lock_guard lock(mutex_);
    out->clear();
    for (const MemoryEntry& e : entries_) out->push_back(e.stored);
    return kErrorSuccess;
  }

  SysError FindEntry(const Bytes& issuer, const Bytes& serial,
                     std::optional<StoredEntry>* out) override {
    std::lock_guard lock(mutex_);
    out->reset();
    for (const MemoryEntry& e : entries_) {
      if (e.issuer == issuer && e.serial == serial) {
        *out = e.stored;
        break;
      }
    }
    return kErrorSuccess;
  }

  SysError InsertEntry(const DecodedCertificate& cert, const std::optional<KeyProvInfo>& link,
                       int64_t* id) override {
    std::lock_guard lock(mutex_);
    MemoryEntry e;
    e.stored.id = ++lastId_;
    e.stored.encoded = cert.encoded;
    e.stored.keyLink = link;
    e.issuer = cert.issuer;
    e.serial = cert.serialNumber;
    entries_.push_back(std::move(e));
    *id = lastId_;
    return kErrorSuccess;
  }

  SysError ReplaceEntry(int64_t id, const DecodedCertificate& cert,
                        const std::optional<KeyProvInfo>& link) override {
    std::lock_guard lock(mutex_);
    MemoryEntry* e = Find(id);
    if (e == nullptr) return kCryptENotFound;
    e->stored.encoded = cert.encoded;
    e->stored.keyLink = link;
    e->issuer = cert.issuer;
    e->serial = cert.serialNumber;
    return kErrorSuccess;
  }

  SysError UpdateKeyLink(int64_t id, const std::optional<KeyProvInfo>& link) override {
    std::lock_guard lock(mutex_);
    MemoryEntry* e = Find(id);
    if (e == nullptr) return kCryptENotFound;
    e->stored.keyLink = link;
    return kErrorSuccess;
  }

  SysError RemoveEntry(int64_t id) override {
    std::lock_guard lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (it->stored.id == id) {
        entries_.erase(it);
        return kErrorSuccess;
      }
    }
    return kCryptENotFound;
  }

 private:
  MemoryEntry* Find(int64_t id) {
    for (MemoryEntry& e : entries_) {
      if (e.stored.id == id) return &e;
    }
    return nullptr;
  }

  std::recursive_mutex mutex_;
  std::vector<MemoryEntry> entries_;
  int64_t lastId_ = 0;
};

}  // namespace

std::shared_ptr<StoreBackend> NewMemoryBackend() {
  return std::make_shared<MemoryBackend>();
}

}  // namespace zyq::platform::detail
