// RSA key containers of the installed providers (platform/Providers.h): the key half of the
// platform's cryptographic services, with CryptoAPI's meanings and error codes.
//
// A key container belongs to one provider and has a name (unique within the provider, letter
// case ignored); it holds at most one exchange key pair (AT_KEYEXCHANGE) and one signature key
// pair (AT_SIGNATURE), each with its own flags: CRYPT_EXPORTABLE (the private key may leave the
// container) and CRYPT_USER_PROTECTED (every use of the private key asks the user first through
// CurrentDialogHost().ConfirmKeyAccess; a refusal fails with kErrorCancelled 1223). Containers
// live in the user's state database and are enumerated in creation order. Several processes may
// create, use and delete containers at once.
//
// Byte conventions: public key info is DER (big-endian, as in certificates); signatures and
// key blobs are little-endian, as CryptSignHash and CryptExportKey give them.
//
// Every function returns kErrorSuccess (0) or a Windows error code and leaves its out-values
// untouched on failure. Nothing here throws.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/KeyProvInfo.h"
#include "platform/Providers.h"
#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq::platform {

// Key specs.
inline constexpr uint32_t kAtKeyExchange = 1;  // AT_KEYEXCHANGE
inline constexpr uint32_t kAtSignature = 2;    // AT_SIGNATURE

// CryptAcquireContext flags.
inline constexpr uint32_t kCryptNewKeyset = 0x8;             // CRYPT_NEWKEYSET
inline constexpr uint32_t kCryptDeleteKeyset = 0x10;         // CRYPT_DELETEKEYSET
inline constexpr uint32_t kCryptMachineKeyset = 0x20;        // CRYPT_MACHINE_KEYSET (see below)
inline constexpr uint32_t kCryptSilent = 0x40;               // CRYPT_SILENT
inline constexpr uint32_t kCryptVerifyContext = 0xF0000000;  // CRYPT_VERIFYCONTEXT

// CryptGenKey flags (the key length in bits goes in the high 16 bits; 0 = provider default).
inline constexpr uint32_t kCryptExportable = 0x1;     // CRYPT_EXPORTABLE
inline constexpr uint32_t kCryptUserProtected = 0x2;  // CRYPT_USER_PROTECTED

// CryptSignHash flags.
inline constexpr uint32_t kCryptNoHashOid = 0x1;  // CRYPT_NOHASHOID: sign the bare hash value

// Hash algorithms that SignHash accepts.
inline constexpr uint32_t kCalgMd5 = 0x8003;        // 16-byte value
inline constexpr uint32_t kCalgSha1 = 0x8004;       // 20-byte value
inline constexpr uint32_t kCalgSslShaMd5 = 0x8008;  // CALG_SSL3_SHAMD5: 36 bytes, no DigestInfo
inline constexpr uint32_t kCalgSha256 = 0x800C;     // PROV_RSA_AES providers only
inline constexpr uint32_t kCalgSha384 = 0x800D;     // PROV_RSA_AES providers only
inline constexpr uint32_t kCalgSha512 = 0x800E;     // PROV_RSA_AES providers only

// Key algorithm identifiers (aiKeyAlg of a key blob).
inline constexpr uint32_t kCalgRsaKeyx = 0xA400;  // CALG_RSA_KEYX
inline constexpr uint32_t kCalgRsaSign = 0x2400;  // CALG_RSA_SIGN

// What CryptGetUserKey / CryptGetKeyParam tell about a stored key pair.
struct KeyPairInfo {
  uint32_t keySpec = 0;    // kAtKeyExchange or kAtSignature
  uint32_t bits = 0;       // modulus length
  uint32_t flags = 0;      // kCryptExportable | kCryptUserProtected
  uint32_t algorithm = 0;  // kCalgRsaKeyx or kCalgRsaSign
};

// An acquired provider context (HCRYPTPROV): a key container of a provider, or a verification
// context without a container. The object holds no key material; every call reads the state,
// so a container deleted by another process makes later calls fail with NTE_BAD_KEYSET.
class KeyContext {
 public:
  virtual ~KeyContext() = default;

  virtual const std::string& ProviderName() const = 0;
  virtual uint32_t ProviderType() const = 0;
  // The container's name as stored (creation spelling); empty for a verification context.
  virtual const std::string& ContainerName() const = 0;
  virtual bool IsVerifyContext() const = 0;
  // The key link to this container's key of keySpec (flags 0).
  KeyProvInfo Link(uint32_t keySpec) const {
    return KeyProvInfo{ContainerName(), ProviderName(), ProviderType(), 0, keySpec};
  }

  // CryptGenKey(AT_KEYEXCHANGE or AT_SIGNATURE, flags): makes a new RSA key pair with public
  // exponent 65537 and stores it in the container, replacing a key of the same spec.
  // flags = bits << 16 | kCryptExportable | kCryptUserProtected.
  // Errors: NTE_BAD_ALGID (another key spec), NTE_BAD_FLAGS (other flag bits, or a length the
  // provider refuses: below 512 (OpenSSL makes no smaller keys), above 16384, not a multiple
  // of 8, an exchange key above 1024 bits in the Base provider), NTE_PERM (a verification context),
  // NTE_BAD_KEYSET (container deleted meanwhile), state database errors.
  virtual SysError GenerateKey(uint32_t keySpec, uint32_t flags) = 0;

  // CryptGetUserKey: describes the key of keySpec. NTE_NO_KEY when the container has none (and
  // for a spec other than 1 or 2, and in a verification context), NTE_BAD_KEYSET when the
  // container was deleted meanwhile.
  virtual SysError GetKeyInfo(uint32_t keySpec, KeyPairInfo* info) = 0;

  // CryptExportPublicKeyInfo: the DER SubjectPublicKeyInfo of the key (rsaEncryption with NULL
  // parameters, RSAPublicKey in the bit string). NTE_NO_KEY when the container has no such key.
  virtual SysError ExportPublicKeyInfo(uint32_t keySpec, std::vector<uint8_t>* spki) = 0;

  // CryptExportKey(PRIVATEKEYBLOB, no export key): BLOBHEADER (07 02 0000 aiKeyAlg), RSAPUBKEY
  // ("RSA2", bit length, public exponent), then modulus, prime1, prime2, exponent1, exponent2,
  // coefficient and private exponent, each little-endian and zero-padded to its fixed width.
  // NTE_BAD_KEY_STATE for a key without kCryptExportable; NTE_BAD_KEY when the public exponent
  // does not fit the blob's 32 bits; kErrorCancelled when the user refuses a user-protected key
  // (NTE_SILENT_CONTEXT in a CRYPT_SILENT context); NTE_NO_KEY; NTE_BAD_KEYSET.
  virtual SysError ExportPrivateKeyBlob(uint32_t keySpec, SecretBytes* blob) = 0;

  // The private key as unencrypted PKCS#8 PrivateKeyInfo DER (for PKCS#12 export). The same
  // rules and errors as ExportPrivateKeyBlob.
  virtual SysError ExportPrivateKeyPkcs8(uint32_t keySpec, SecretBytes* pkcs8) = 0;

  // CryptCreateHash(hashAlg) + CryptSetHashParam(HP_HASHVAL, hash) + CryptSignHash(keySpec,
  // flags): the PKCS#1 v1.5 signature of the DigestInfo (algorithm OID with NULL parameters and
  // the hash value), least significant byte first; its length is the modulus length.
  // kCalgSslShaMd5 (and kCryptNoHashOid) sign the bare value. Errors: NTE_BAD_ALGID (unknown
  // algorithm, or SHA-2 in a provider that is not PROV_RSA_AES), NTE_BAD_HASH (value of the
  // wrong length), NTE_BAD_FLAGS, NTE_BAD_LEN (key too short), NTE_BAD_ALGID (key spec other
  // than 1 or 2), NTE_NO_KEY, NTE_BAD_KEYSET,
  // kErrorCancelled / NTE_SILENT_CONTEXT for a refused user-protected key.
  virtual SysError SignHash(uint32_t keySpec, uint32_t hashAlg, std::span<const uint8_t> hash,
                            uint32_t flags, std::vector<uint8_t>* signature) = 0;

  // CryptGetProvParam(PP_ENUMCONTAINERS): the names of this provider's containers in creation
  // order (any kind of context, verification contexts included).
  virtual SysError EnumContainers(std::vector<std::string>* names) = 0;
};

// CryptAcquireContextA(container, provider, type, flags).
// - provider empty: the type's default provider (type 1: the Strong provider, type 24: the AES
//   provider, other types: the first installed provider of the type, else NTE_PROV_TYPE_NOT_DEF).
// - container empty (without kCryptVerifyContext): the user's default container, named after
//   the login name.
// - kCryptNewKeyset creates an empty container (NTE_EXISTS if the name is taken);
//   kCryptDeleteKeyset deletes it with its keys and leaves *context empty; no flag opens an
//   existing one (NTE_BAD_KEYSET if missing); kCryptVerifyContext gives a context without a
//   container (a container name with it: NTE_BAD_FLAGS); kCryptSilent: never ask the user.
//   kCryptMachineKeyset is accepted and reaches the same (per-user) containers.
// Errors: NTE_BAD_PROV_TYPE (type 0 or above 999), NTE_KEYSET_NOT_DEF (no provider of that
// name), NTE_PROV_TYPE_NO_MATCH (provider of another type), NTE_BAD_FLAGS (unknown or
// conflicting flags), NTE_EXISTS, NTE_BAD_KEYSET, NTE_BAD_KEYSET_PARAM (container name longer
// than 260 characters or holding a NUL), state database errors.
SysError AcquireKeyContext(std::string_view container, std::string_view provider,
                           uint32_t providerType, uint32_t flags,
                           std::unique_ptr<KeyContext>* context);

// Opens the container a key link names (link.flags as acquire flags, kCryptSilent allowed).
SysError AcquireKeyContext(const KeyProvInfo& link, std::unique_ptr<KeyContext>* context);

// ---- Services for certificates, stores and PKCS#12 ------------------------------------------

// Stores a private RSA key given as PKCS#8 PrivateKeyInfo DER (or PKCS#1 RSAPrivateKey DER) in
// a container of the provider (empty name: the type's default provider; PKCS#12 imports pass
// kMsEnhancedProv, where Windows places them) under keySpec with
// flags (kCryptExportable, kCryptUserProtected), and returns the key link (flags 0).
// When the provider already holds the same key (equal public key) under the same key spec, that
// container is reused and its flags become the given ones, so importing one PKCS#12 file again
// and again does not grow the state; otherwise a new container with a fresh upper-case UUID
// name is made. *created (may be null) tells whether a new container was made. Errors: NTE_BAD_DATA
// (not a private key), NTE_BAD_ALGID (not RSA), NTE_BAD_KEY (key outside 384..16384 bits),
// NTE_BAD_FLAGS, NTE_BAD_ALGID for a key spec other than 1 or 2, the provider errors of
// AcquireKeyContext, state database errors.
SysError ImportPrivateKey(std::span<const uint8_t> privateKeyDer, std::string_view provider,
                          uint32_t providerType, uint32_t keySpec, uint32_t flags,
                          KeyProvInfo* link, bool* created = nullptr);

// Deletes the containers that the links name, each with its keys (CRYPT_DELETEKEYSET). Every
// link is tried; the first error is returned (a container that is gone already counts as
// deleted).
SysError DeleteKeyContainers(const std::vector<KeyProvInfo>& links);

// The private key that a link names, as PKCS#8 PrivateKeyInfo DER. NTE_BAD_KEYSET (no such
// container), NTE_NO_KEY (no key of that spec), NTE_BAD_KEY_STATE (not exportable),
// kErrorCancelled (user-protected key refused), provider errors of AcquireKeyContext.
SysError ExportPrivateKey(const KeyProvInfo& link, SecretBytes* pkcs8);

// Searches the providers in enumeration order (those that accept(provider) returns true for;
// a null accept takes all), their containers in creation order, and in each the exchange key
// then the signature key, for the first key whose public key bit string equals the one in spki
// (a DER SubjectPublicKeyInfo; the algorithm identifiers are not compared). CRYPT_E_NOT_FOUND
// when no container holds it; a CRYPT_E_ASN1_ error when spki is not a SubjectPublicKeyInfo.
SysError FindKeyByPublicKey(std::span<const uint8_t> spki,
                            const std::function<bool(const ProviderInfo&)>& accept,
                            KeyProvInfo* link);

// Whether the key a link names has the public key of spki (bit strings compared as above);
// flags, when given, receives the key's flags as GetKeyInfo gives them, read with the public key
// where the port can (a check made before every signature). Errors as AcquireKeyContext,
// ExportPublicKeyInfo and GetKeyInfo, CRYPT_E_ASN1_ errors for a malformed spki.
SysError PublicKeyMatches(const KeyProvInfo& link, std::span<const uint8_t> spki, bool* matches,
                          uint32_t* flags = nullptr);

// CryptAcquireCertificatePrivateKey + SignHash in one call: signs a hash value with the key a
// link names. Errors as AcquireKeyContext and SignHash.
SysError SignHashWithKey(const KeyProvInfo& link, uint32_t hashAlg, std::span<const uint8_t> hash,
                         std::vector<uint8_t>* signature);

}  // namespace zyq::platform
