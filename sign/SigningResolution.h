// The signing resolution: which PKCS#12 file, password and certificate a signature for a user ID
// uses. It decides from the signing cache and the user's registration record whether the user
// must be asked for the file and its password, loads the file, picks the most recently issued
// certificate whose subject common name contains the user ID, and registers the file when the
// user had to choose it.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "cert/CertStore.h"
#include "engine/EngineShared.h"
#include "engine/Outcome.h"
#include "pfx/Registrations.h"
#include "platform/CertStores.h"
#include "platform/FileSystem.h"
#include "platform/Secret.h"

namespace zyq::sign {

// A key link of a certificate in a loaded signing file, with the certificate's public key.
struct LinkedKey {
  platform::KeyProvInfo link;
  std::vector<uint8_t> publicKeyInfo;  // the certificate's SubjectPublicKeyInfo
};

// A signing file as a signature opened it: the file's bytes, the password, and the store that
// LoadPfx made of them (the certificates, linked to the keys the import placed in containers).
// A later signature that reads the same bytes and is given the same password uses the store
// again, as long as the keys are still in their containers as the import left them, instead of
// checking the password, decrypting and importing the same file anew.
struct LoadedSigningFile {
  std::string path;
  std::string bytes;
  // A settled stamp of the file taken before its bytes were last found equal to `bytes`: while
  // the file keeps this stamp, its bytes are known without reading them.
  std::optional<platform::FileStamp> stamp;
  SecretString password;
  platform::CertStore store;
  // The keys the store's certificates link to, listed when the store was made (the store does
  // not change afterwards), which every later signature checks in their containers.
  std::vector<LinkedKey> linkedKeys;
};

// The signing cache of an engine: the user whose file, password and register mode the next
// signature may use without reading the record again. userId is set once the user's file is
// known to open; an empty cache has no user.
struct SigningCache {
  std::string userId;
  int32_t registerMode = -1;
  std::string folder;
  std::string fileName;
  SecretString password;
  // The signing file as the last signature opened it.
  std::shared_ptr<LoadedSigningFile> loaded;
};

// The certificate to sign with, and the loaded file it came from. The store stays open while
// the signer works, since the certificate's private key was imported from it.
struct SigningCertificate {
  CertStore store;
  platform::CertContext certificate;
};

// What a resolution gives: the cache to keep, the certificate (null when there is none to sign
// with), and the outcome. The outcome may be a failure beside a certificate: registering the
// chosen file failed, and the certificate is used all the same.
struct Resolution {
  SigningCache cache;
  std::unique_ptr<SigningCertificate> signer;
  Outcome outcome;
};

// The filter and search flags of the resolution's certificate search: the subject common name
// contains the user ID, and only the most recently issued match is kept.
inline constexpr int32_t kSigningSearchFlags = 0xA;  // kFindKeepBest | kFindContains

// Resolves the signing certificate of a user ID (normalised, not empty) from the cache that the
// last signature left. Every failure gives an empty cache. The user is asked through the sign
// dialog (with the shared password bounds) when the cache or the record calls for it; a file
// the user had to choose is registered through registrations.
Resolution ResolveSigningCertificate(const std::string& id, int32_t dwKeyUsage,
                                     const SigningCache& cache, const EngineShared& shared,
                                     pfx::Registrations& registrations);

}  // namespace zyq::sign
