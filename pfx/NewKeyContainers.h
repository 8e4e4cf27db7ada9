// The key containers that loading a PKCS#12 file made (CertStore::createdContainers), deleted
// again when the operation that loaded the file fails: a failed operation leaves the user's
// containers as they were. Containers that the load reused (they held the key already) are
// never among them. An operation that succeeds keeps the containers its certificates link to.
#pragma once

#include <algorithm>
#include <vector>

#include "cert/CertStore.h"
#include "platform/CryptoKeys.h"
#include "platform/KeyProvInfo.h"

namespace zyq::pfx {

class NewKeyContainers {
 public:
  explicit NewKeyContainers(const CertStore& loaded) : links_(loaded.createdContainers()) {}
  ~NewKeyContainers() { platform::DeleteKeyContainers(links_); }
  NewKeyContainers(const NewKeyContainers&) = delete;
  NewKeyContainers& operator=(const NewKeyContainers&) = delete;

  // Keeps every container.
  void KeepAll() { links_.clear(); }
  // Keeps the container that a certificate's key link names.
  void Keep(const platform::KeyProvInfo& link) {
    std::erase_if(links_, [&](const platform::KeyProvInfo& made) {
      return made.containerName == link.containerName && made.providerName == link.providerName;
    });
  }

 private:
  std::vector<platform::KeyProvInfo> links_;
};

}  // namespace zyq::pfx
