// What the keys-at-rest tests look at from outside: the bytes of the state files, the private
// parts of a key, the master key in its place (the keyring or the file), and a state database
// as earlier code wrote it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zyq::test {

// The state database and its write-ahead log, as one byte string.
std::string StateFileBytes();

// True when any 16-byte piece of secret (taken every 8 bytes) occurs in haystack, leaving out
// the pieces that are also part of publicPart (a PKCS#8 holds the modulus, which is public).
bool LeaksAny(const std::string& haystack, const std::vector<uint8_t>& secret,
              const std::vector<uint8_t>& publicPart = {});

// The private parts of an RSA key given as PKCS#8: the whole DER, then the primes and the
// private exponent, most significant byte first.
std::vector<std::vector<uint8_t>> PrivateParts(const std::vector<uint8_t>& pkcs8);

// The RSAPublicKey of a private key, as the key tables keep it in the clear.
std::vector<uint8_t> RsaPublicKeyOf(const std::vector<uint8_t>& pkcs8);

// The stored private_key column of every key pair, in row order.
std::vector<std::string> StoredPrivateKeys();

// The tests run with the master key in the keyring when ZYQSEC_KEYRING is "required" (the
// keyring run), else in the file.
bool KeyringRun();
// The master key as its place holds it (hexadecimal text in the keyring, the bytes of the
// file); empty when there is none.
std::string StoredMasterKey();
void RemoveMasterKey();
void PutMasterKey(const std::string& stored);
// A master key of another user, in the form of the current place.
std::string OtherMasterKey();

struct LegacyKeyPair {
  std::string container;
  uint32_t keySpec = 0;
  std::vector<uint8_t> pkcs8;
};

// Writes $ZYQSEC_HOME/state.db as the code before sealed keys wrote it: the key tables of then,
// private keys as unencrypted PKCS#8, all in the Enhanced provider.
bool WriteEarlierDatabase(const std::vector<LegacyKeyPair>& pairs);

}  // namespace zyq::test
