// PKCS#12 (PFX) files as PFXIsPFXBlob, PFXVerifyPassword, PFXImportCertStore and
// PFXExportCertStoreEx handle them.
//
// Passwords are UTF-16 as the platform functions take them. An absent password (NULL) and an
// empty one ("") are different passwords: PKCS#12 turns "" into the two bytes 00 00 and NULL
// into no bytes at all, so a file protected with one does not open with the other.
//
// Files written here take the form Windows' own export writes, which every reader of such
// files takes: pbeWithSHAAnd3-KeyTripleDES-CBC for the key and certificate bags, a SHA-1 MAC,
// 2000 iterations (common/certs/Pkcs12Encoding.h); files read may also use RC2-40 or PBES2 with
// AES and an HMAC-SHA-256 MAC.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/CertStores.h"
#include "platform/Certificates.h"
#include "platform/KeyProvInfo.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

// nullopt: the absent (NULL) password.
using PfxPassword = std::optional<std::u16string_view>;

// PFXImportCertStore flags (the key flags go to the keys made).
inline constexpr uint32_t kPfxExportable = 0x1;            // CRYPT_EXPORTABLE
inline constexpr uint32_t kPfxUserProtected = 0x2;         // CRYPT_USER_PROTECTED
inline constexpr uint32_t kPfxMachineKeyset = 0x20;        // CRYPT_MACHINE_KEYSET (same containers)
inline constexpr uint32_t kPfxUserKeyset = 0x1000;         // CRYPT_USER_KEYSET
inline constexpr uint32_t kPfxAllowOverwriteKey = 0x4000;  // PKCS12_ALLOW_OVERWRITE_KEY

// PFXExportCertStoreEx flags.
inline constexpr uint32_t kReportNoPrivateKey = 0x1;               // REPORT_NO_PRIVATE_KEY
inline constexpr uint32_t kReportNotAbleToExportPrivateKey = 0x2;  // REPORT_NOT_ABLE_TO_...
inline constexpr uint32_t kExportPrivateKeys = 0x4;                // EXPORT_PRIVATE_KEYS

// PFXIsPFXBlob: whether the bytes decode as a PKCS#12 PFX structure.
bool IsPfxBlob(ByteView blob);

// PFXVerifyPassword: whether the password opens the file (its MAC, or, for a file without a
// MAC, its encrypted parts). Nothing is imported. On false, *error (optional) tells why:
// ERROR_INVALID_PASSWORD (86) for a wrong password, CRYPT_E_ASN1_* for bytes that are not a
// PFX.
bool VerifyPfxPassword(ByteView blob, PfxPassword password, SysError* error = nullptr);

// PFXImportCertStore: a new memory store holding the file's certificates in file order. Each
// private key of the file goes into a key container of the provider that the key bag names
// ("Microsoft CSP Name" attribute) when that provider is installed, else of the "Microsoft
// Enhanced Cryptographic Provider v1.0"; key spec from the key-usage attribute of the bag or of
// the PrivateKeyInfo (signing only: AT_SIGNATURE), else AT_KEYEXCHANGE; importing a key that a
// container already holds reuses that container. The certificate whose public key is that
// key's gets the key link; certificates without a key (authority certificates) come without
// one. flags: kPfxExportable and kPfxUserProtected give the keys those flags;
// kPfxMachineKeyset, kPfxUserKeyset and kPfxAllowOverwriteKey are accepted. Errors:
// CRYPT_E_ASN1_* (not a PFX), ERROR_INVALID_PASSWORD (86) for a wrong password, NTE_BAD_FLAGS
// for other flags, the key import's errors (NTE_BAD_ALGID for a key that is not RSA...), state
// database errors. On failure *out is left closed and the containers the import made are
// deleted again. *created (may be null) receives the links (key spec included) of the containers
// that this import made, not those it reused, so that a caller whose operation fails later can
// delete them and leave the containers as they were.
SysError ImportPfx(ByteView blob, PfxPassword password, uint32_t flags, CertStore* out,
                   std::vector<KeyProvInfo>* created = nullptr);

// PFXExportCertStoreEx: a PKCS#12 file of the store's certificates, each with its private key
// (read through its key link) when flags has kExportPrivateKeys. A certificate without a key
// link: CRYPT_E_NOT_FOUND with kReportNoPrivateKey, else exported alone; a link to a missing
// container or key: its error (NTE_BAD_KEYSET, NTE_NO_KEY) with kReportNoPrivateKey, else
// exported alone; a key that may not leave its container: NTE_BAD_KEY_STATE with
// kReportNotAbleToExportPrivateKey, else exported alone; a user who refuses a protected key:
// ERROR_CANCELLED always. kErrorInvalidHandle for a closed store, NTE_BAD_FLAGS for other flags.
SysError ExportPfx(const CertStore& store, PfxPassword password, uint32_t flags, Bytes* out);

}  // namespace zyq::platform
