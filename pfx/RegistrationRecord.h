// The per-user registration record: which PKCS#12 file a user signs with, its password and the
// register mode, kept under HKEY_CURRENT_USER in the key "Software\ZYQSecurities\<user ID>".
//
// Values of a record (the layout existing installations hold):
//   "PfxFileName"  REG_SZ     full path of the registered file (no terminating zero stored)
//   "PfxPassword"  REG_BINARY triple-DES CBC ciphertext of the password's ANSI bytes under
//                             RecordKey(user ID); a multiple of 8 bytes
//   "RegisterMode" REG_DWORD  the register mode (written only when > 0)
// A value that would be empty (no path, no password, mode <= 0) is deleted instead of written.
// Readers take at most 255 bytes of "PfxFileName" and "PfxPassword"; a longer value counts as
// absent. Readers do not look at the value types.
//
// Register modes, applied when signing: absent or <= 1, ask for the password at every
// signature; 2, ask once per engine (and again after a failure); 3, never ask (a stored
// password that does not open the file is an error).
//
// Everything here returns the engine's result codes and touches no engine field.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "codec/ByteBuffer.h"
#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq {

// The key under HKEY_CURRENT_USER that holds one subkey per user ID (the probe writes here too).
inline constexpr const char* kRegistrationRootKey = "Software\\ZYQSecurities\\";
inline constexpr const char* kValuePfxFileName = "PfxFileName";
inline constexpr const char* kValuePfxPassword = "PfxPassword";
inline constexpr const char* kValueRegisterMode = "RegisterMode";
// The buffer size of the readers for "PfxFileName" and "PfxPassword".
inline constexpr size_t kRecordValueLimit = 255;

// The register mode given to a user who signs without a record.
inline constexpr int32_t kRegisterModeSilent = 3;

// A record as read.
struct RegistrationRecord {
  std::string path;     // full path of the file; empty when absent
  ByteBuffer password;  // the stored ciphertext; empty when absent
  int32_t mode = -1;    // -1 when absent
};

// A user ID given by a caller: an ID made only of ASCII letters and digits is upper-cased
// (through the ANSI code page, as CharUpperA does); any other text stays as it is. The result is
// ANSI text; a null or empty ID gives "".
std::string NormalizeUserId(std::u16string_view id);

// The user ID of a certificate from its subject common name (ANSI bytes, counted as bytes): a
// name that begins with an ASCII letter gives the (up to) 10 bytes after a leading "TW" (or from
// the start without one); one that begins with an ASCII digit gives its first 8 bytes; any other
// name (a Big5 lead byte first, say) is the ID as it stands.
std::string DeriveUserId(std::string_view commonName);

// The registered file name of a user: the ID followed by ".pfx".
inline std::string RegisteredFileName(std::string_view id) {
  return std::string(id) + ".pfx";
}

// The 24-byte triple-DES key that protects a user's stored password: SHA-1 of the ID's ANSI
// bytes (20 bytes), then bytes 16 to 19 of that digest again. Built for each use, never stored.
SecretBytes RecordKey(std::string_view id);

// The stored form of a password: the triple-DES CBC ciphertext of its ANSI bytes under
// RecordKey(id). False (and *ciphertext empty) for an empty password: nothing to store.
bool EncryptRecordPassword(std::string_view id, std::string_view password, ByteBuffer* ciphertext);

// The password of a stored ciphertext: deciphered under RecordKey(id), read as a zero-terminated
// ANSI string. False when there is no ciphertext (the record holds no password).
bool DecryptRecordPassword(std::string_view id, const ByteBuffer& ciphertext,
                           SecretString* password);

// Reads the record of a user ID. 0, or 5018 when the user has no record (the key cannot be
// opened). Values that are missing or too long keep the "absent" defaults of RegistrationRecord.
// *readError (may be null) receives the registry's error when the key or a value exists but
// could not be read (a failing store, not an absent record), else 0: a caller about to change
// what the record describes can tell "not registered" from "unknown".
int32_t ReadRegistrationRecord(std::string_view id, RegistrationRecord* record,
                               platform::SysError* readError = nullptr);

// Creates or opens the user's key and writes the three values (each deleted when it would be
// empty: no path, no password bytes, mode <= 0), all in one step. 0, or 5906 when the key or a
// value cannot be written; the record is then as it was.
int32_t WriteRegistrationRecord(std::string_view path, std::span<const unsigned char> password,
                                std::string_view id, int32_t mode);

// A fresh value name for the registry probe: an upper-case UUID. 0, or 5002.
int32_t MakeProbeName(std::string* name);

// Checks that the registration root key can be written: creates or opens it, sets the value
// `name` to a REG_DWORD 0 and deletes it again. 0 only when all three steps succeed, else 5906
// (and nothing created). *createdKey (may be null) receives the outermost key that the probe
// created ("Software" or "Software\ZYQSecurities"), or "" when the root key existed.
int32_t ProbeRegistryAccess(std::string_view name, std::string* createdKey = nullptr);

// Undoes the keys a probe created (createdKey as ProbeRegistryAccess gave it): deletes the
// registration root key and the keys above it up to createdKey, each only while it holds no
// subkey and no value, all in one step. Nothing for "".
void RemoveEmptyProbeKeys(std::string_view createdKey);

}  // namespace zyq
