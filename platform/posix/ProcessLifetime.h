// A value built on first use that lives until the process ends: its destructor never runs, so
// a thread that is still (or was, without being joined) using it never meets it destroyed while
// the process exits. For read-mostly tables shared by every thread.
#pragma once

#include <memory>
#include <new>
#include <utility>

namespace zyq::platform::posix {

template <typename T>
class ProcessLifetime {
 public:
  template <typename... Args>
  explicit ProcessLifetime(Args&&... args) {
    std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
  }
  ProcessLifetime(const ProcessLifetime&) = delete;
  ProcessLifetime& operator=(const ProcessLifetime&) = delete;

  const T& get() const { return *std::launder(reinterpret_cast<const T*>(storage_)); }

 private:
  alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace zyq::platform::posix
