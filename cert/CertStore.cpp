#include "cert/CertStore.h"

#include <algorithm>
#include <string>

#include "cert/CertificateWrapper.h"
#include "cert/NameComponents.h"
#include "cert/WidePassword.h"
#include "engine/ResultCodes.h"
#include "platform/Certificates.h"
#include "platform/FileSystem.h"
#include "platform/Pkcs12.h"
#include "platform/Secret.h"
#include "platform/Text.h"

namespace zyq {
namespace {

// CertVerifyTimeValidity: -1 before NotBefore, 1 after NotAfter, 0 within.
int TimeValidity(const platform::DecodedCertificate& cert, platform::FileTime now) {
  if (now < cert.notBefore) return -1;
  if (now > cert.notAfter) return 1;
  return 0;
}

// Whether a certificate is better than the best so far, under the rule that the flags choose;
// updates the best time when it is. A best time whose high 32 bits are 0 counts as unset.
bool IsBetter(const platform::DecodedCertificate& cert, int32_t flags, platform::FileTime* best) {
  platform::FileTime date = cert.notBefore;
  bool better = false;
  const bool unset = (*best >> 32) == 0;
  if (flags & kFindEarliestNotBefore) {
    date = cert.notBefore;
    better = unset || date < *best;
  } else if (flags & kFindLatestNotAfter) {
    date = cert.notAfter;
    better = unset || date > *best;
  } else if (flags & kFindEarliestNotAfter) {
    date = cert.notAfter;
    better = unset || date < *best;
  } else {
    better = unset || date > *best;
  }
  if (better) *best = date;
  return better;
}

// The certificate's components for the name filter: its subject split like the filter. A
// subject's own "SN=" components are surnames (CryptoAPI's key for 2.5.4.4) and are left out,
// because in a filter "SN=" names the serial number; when the filter asks for one, the serial
// number is appended as "SN=" and its hex text.
NameComponents CertificateComponents(const CertificateWrapper& cert, bool withSerial) {
  NameComponents components;
  SplitNameComponents(cert.GetSubject(), &components);
  std::erase_if(components, [](const std::string& c) { return c.starts_with("SN="); });
  if (withSerial) components.push_back("SN=" + cert.GetSerial());
  return components;
}

}  // namespace

void CertStore::Close() {
  store_.Close();
  lastError_ = 0;
}

int32_t CertStore::OpenPersonal() {
  Close();
  platform::CertStore store;
  if (platform::SysError error = platform::CertStore::OpenSystem(platform::kStoreMy, &store)) {
    lastError_ = error;
    return result::kOpenPersonalStoreFailed;
  }
  store_ = std::move(store);
  return result::kSuccess;
}

int32_t CertStore::OpenMemory() {
  Close();
  store_ = platform::CertStore::OpenMemory();
  return store_.isOpen() ? result::kSuccess : result::kOpenMemoryStoreFailed;
}

int32_t CertStore::LoadPfx(std::string_view path, std::string_view password, int32_t flags) {
  Close();
  createdContainers_.clear();
  if (path.empty()) return result::kBadParameter;
  const WidePassword wide(password);

  std::string file;
  if (platform::SysError error = platform::CurrentFileSystem().ReadFile(path, &file)) {
    lastError_ = error;
    return result::kPfxReadFailed;
  }
  if (file.empty()) return result::kPfxReadFailed;
  const platform::ByteView blob(reinterpret_cast<const uint8_t*>(file.data()), file.size());

  if (!platform::IsPfxBlob(blob)) {
    // The decoder's reason (a CRYPT_E_ASN1_ code) comes with a password test.
    platform::SysError why = 0;
    platform::VerifyPfxPassword(blob, std::nullopt, &why);
    lastError_ = why != 0 ? why : platform::kCryptEAsn1Badtag;
    return result::kPkcs12FormatError;
  }
  // An empty password also tries the absent one: PKCS#12 tells the two apart, users cannot.
  platform::PfxPassword chosen = wide.view();
  platform::SysError error = 0;
  if (!platform::VerifyPfxPassword(blob, chosen, &error)) {
    if (!password.empty()) {
      lastError_ = error;
      return result::kPkcs12WrongPassword;
    }
    chosen = std::nullopt;
    if (!platform::VerifyPfxPassword(blob, chosen, &error)) {
      lastError_ = error;
      return result::kPkcs12WrongPassword;
    }
  }

  const uint32_t importFlags = (flags & kPfxUserProtected)
                                   ? platform::kPfxExportable | platform::kPfxUserProtected
                                   : platform::kPfxExportable;
  platform::CertStore imported;
  if (platform::SysError importError =
          platform::ImportPfx(blob, chosen, importFlags, &imported, &createdContainers_)) {
    lastError_ = importError;
    return result::kPkcs12WrongPassword;
  }
  store_ = std::move(imported);
  return result::kSuccess;
}

void CertStore::Share(const platform::CertStore& store) {
  Close();
  store_ = store;
}

std::optional<platform::KeyProvInfo> CertStore::GetKeyProvInfo(
    const platform::CertContext& context) {
  if (context.empty()) return std::nullopt;
  if (!context.keyLink()) {
    lastError_ = platform::kCryptENotFound;
    return std::nullopt;
  }
  lastError_ = 0;
  return context.keyLink();
}

int32_t CertStore::FindCertificates(CertContexts* out, std::string_view filter, int32_t flags,
                                    int32_t keyUsage) {
  if (!store_.isOpen() || out == nullptr) return result::kCertNotFound;

  NameComponents filterComponents;
  if (!filter.empty()) SplitNameComponents(filter, &filterComponents);
  const bool withSerial = AnsiFind(filter, "SN=") != std::string_view::npos;
  const bool keepBest = (flags & kFindModeMask) == kFindKeepBest;
  const bool contains = (flags & kFindContains) != 0;

  std::vector<platform::CertContext> all;
  if (platform::SysError error = store_.Enumerate(&all)) {
    lastError_ = error;
    return result::kCertNotFound;
  }

  const platform::FileTime now = platform::CurrentFileTime();
  platform::FileTime best = 0;
  int32_t result = result::kSuccess;
  bool kept = false;
  for (const platform::CertContext& context : all) {
    const CertificateWrapper cert(context);
    if (!cert.valid()) continue;

    if (!filter.empty()) {
      const NameComponents components = CertificateComponents(cert, withSerial);
      const bool match = contains ? MatchNamesContaining(filterComponents, components)
                                  : MatchNamesExact(filterComponents, components);
      if (!match) continue;
    }
    if (keyUsage > 0 &&
        (cert.GetKeyUsage() & static_cast<uint32_t>(keyUsage)) != static_cast<uint32_t>(keyUsage)) {
      result = result::kKeyUsageMismatch;
      continue;
    }
    const std::optional<platform::KeyProvInfo> link = GetKeyProvInfo(context);
    if (!link) {
      result = result::kPersonalStoreDenied;
      continue;
    }
    if (!link->providerName.starts_with("Microsoft")) {
      result = result::kKeyNotExportable;
      continue;
    }
    if (flags & kFindCheckValidity) {
      const int validity = TimeValidity(context.cert(), now);
      if (validity > 0) {
        result = result::kCertExpired;
        continue;
      }
      if (validity < 0) {
        result = result::kCertNotYetValid;
        continue;
      }
    }

    const bool better = IsBetter(context.cert(), flags, &best);
    if (keepBest) {
      if (!better) continue;
      out->clear();
    }
    out->push_back(context);
    kept = true;
    result = result::kSuccess;
  }

  // Success means that this search kept a certificate (not that the array was non-empty to
  // begin with).
  if (kept) {
    lastError_ = 0;
    return result::kSuccess;
  }
  return result != result::kSuccess ? result : result::kCertNotFound;
}

}  // namespace zyq
