// What the signing resolution hands to a signer: the loaded PKCS#12 file of the user and the
// certificate of that file to sign with. The store stays open while the signer works, since the
// certificate's private key was imported from it.
//
// The resolution itself is SecurityEngine::ResolveSigningCertificate (SigningResolution.cpp): it
// decides from the user's registration record and the engine's signing cache whether the user
// must be asked for the file and its password, loads the file, picks the most recently issued
// certificate whose subject common name contains the user ID, and registers the file when the
// user had to choose it.
#pragma once

#include <string>

#include "cert/CertStore.h"
#include "platform/CertStores.h"
#include "platform/Secret.h"

namespace zyq {

struct SigningCertificate {
  CertStore store;
  platform::CertContext certificate;
};

// A signing file as a signature opened it: the file's bytes, the password, and the store that
// LoadPfx made of them (the certificates, linked to the keys the import placed in containers).
// A later signature that reads the same bytes and is given the same password uses the store
// again, as long as the keys are still in their containers as the import left them, instead of
// checking the password, decrypting and importing the same file anew.
struct LoadedSigningFile {
  std::string path;
  std::string bytes;
  SecretString password;
  platform::CertStore store;
};

// The filter and search flags of the resolution's certificate search: the subject common name
// contains the user ID, and only the most recently issued match is kept.
inline constexpr int32_t kSigningSearchFlags = 0xA;  // kFindKeepBest | kFindContains

}  // namespace zyq
