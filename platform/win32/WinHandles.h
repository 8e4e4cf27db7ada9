// Owners of the Win32 and CryptoAPI handles the port holds, and the error of the last call.
#pragma once

#include <windows.h>
// (the headers below need windows.h first)
#include <wincrypt.h>

#include <memory>
#include <string>
#include <string_view>
#include <utility>

#include "platform/SystemErrors.h"

namespace zyq::platform::win32 {

// GetLastError() as the port's error type; ERROR_GEN_FAILURE when the failed call left none, so
// that a failure is never reported as success.
inline SysError LastError() {
  const DWORD e = GetLastError();
  return e != 0 ? static_cast<SysError>(e) : kErrorGenFailure;
}

// A handle with a release function, moved but not copied. Traits give the empty value and the
// release.
template <typename H, auto Release>
struct NullTraits {
  static H None() { return H{}; }
  static void Free(H h) { Release(h); }
};

template <typename H, typename Traits>
class Owner {
  static H NoneValue() { return Traits::None(); }

 public:
  Owner() = default;
  explicit Owner(H h) : h_(h) {}
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Owner(Owner&& o) noexcept : h_(std::exchange(o.h_, NoneValue())) {}
  Owner& operator=(Owner&& o) noexcept {
    if (this != &o) {
      Reset();
      h_ = std::exchange(o.h_, NoneValue());
    }
    return *this;
  }
  ~Owner() { Reset(); }
  void Reset(H h = NoneValue()) {
    if (h_ != NoneValue()) Traits::Free(h_);
    h_ = h;
  }
  H get() const { return h_; }
  H* out() {
    Reset();
    return &h_;
  }
  H release() { return std::exchange(h_, NoneValue()); }
  explicit operator bool() const { return h_ != NoneValue(); }

 private:
  H h_ = NoneValue();
};

inline void ReleaseProv(HCRYPTPROV h) {
  CryptReleaseContext(h, 0);
}
inline void ReleaseKey(HCRYPTKEY h) {
  CryptDestroyKey(h);
}
inline void ReleaseHash(HCRYPTHASH h) {
  CryptDestroyHash(h);
}
inline void ReleaseStore(HCERTSTORE h) {
  CertCloseStore(h, 0);
}
inline void ReleaseCert(PCCERT_CONTEXT h) {
  CertFreeCertificateContext(h);
}
inline void ReleaseRegKey(HKEY h) {
  RegCloseKey(h);
}
inline void ReleaseChain(PCCERT_CHAIN_CONTEXT h) {
  CertFreeCertificateChain(h);
}
inline void ReleaseChainEngine(HCERTCHAINENGINE h) {
  CertFreeCertificateChainEngine(h);
}

struct FileTraits {
  static HANDLE None() { return INVALID_HANDLE_VALUE; }
  static void Free(HANDLE h) { CloseHandle(h); }
};

using ProvOwner = Owner<HCRYPTPROV, NullTraits<HCRYPTPROV, ReleaseProv>>;
using KeyOwner = Owner<HCRYPTKEY, NullTraits<HCRYPTKEY, ReleaseKey>>;
using HashOwner = Owner<HCRYPTHASH, NullTraits<HCRYPTHASH, ReleaseHash>>;
using StoreOwner = Owner<HCERTSTORE, NullTraits<HCERTSTORE, ReleaseStore>>;
using CertOwner = Owner<PCCERT_CONTEXT, NullTraits<PCCERT_CONTEXT, ReleaseCert>>;
using FileOwner = Owner<HANDLE, FileTraits>;
using RegKeyOwner = Owner<HKEY, NullTraits<HKEY, ReleaseRegKey>>;
using ChainOwner = Owner<PCCERT_CHAIN_CONTEXT, NullTraits<PCCERT_CHAIN_CONTEXT, ReleaseChain>>;
using ChainEngineOwner = Owner<HCERTCHAINENGINE, NullTraits<HCERTCHAINENGINE, ReleaseChainEngine>>;

// ANSI <-> UTF-16 through the process's code page, as the "A" functions convert.
std::wstring AnsiToWideW(std::string_view ansi);
std::string WideToAnsiW(std::wstring_view wide);

}  // namespace zyq::platform::win32
