#include "tests/keys_at_rest/AtRestSupport.h"

#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/x509.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/posix/secrets/MasterKeyFile.h"
#include "tests/platform_keys/KeyTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

std::string StatePath() {
  return std::string(std::getenv("ZYQSEC_HOME")) + "/state.db";
}

constexpr const char* kAttributes =
    "purpose private-keys xdg:schema com.ZYQ.ZYQSecurities.MasterKey";

std::string Hex(const std::vector<uint8_t>& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string text;
  for (uint8_t b : bytes) {
    text += digits[b >> 4];
    text += digits[b & 15];
  }
  return text;
}

// The tables as the code before sealed keys made them.
constexpr const char* kEarlierTables = R"sql(
PRAGMA journal_mode=WAL;
CREATE TABLE schema_info (name TEXT PRIMARY KEY, version INTEGER NOT NULL);
CREATE TABLE key_providers (id INTEGER PRIMARY KEY AUTOINCREMENT,
  name TEXT NOT NULL UNIQUE COLLATE NOCASE, type INTEGER NOT NULL);
CREATE TABLE key_containers (id INTEGER PRIMARY KEY AUTOINCREMENT,
  provider TEXT NOT NULL COLLATE NOCASE, name TEXT NOT NULL COLLATE NOCASE,
  generation INTEGER NOT NULL DEFAULT 0, UNIQUE (provider, name));
CREATE TABLE key_pairs (
  container_id INTEGER NOT NULL REFERENCES key_containers(id) ON DELETE CASCADE,
  key_spec INTEGER NOT NULL, flags INTEGER NOT NULL, bits INTEGER NOT NULL,
  public_key BLOB NOT NULL, private_key BLOB NOT NULL, PRIMARY KEY (container_id, key_spec));
CREATE INDEX key_pairs_by_public_key ON key_pairs (public_key);
)sql";

// The RSAPublicKey inside a SubjectPublicKeyInfo (the BIT STRING's content).
std::vector<uint8_t> RsaPublicKey(const std::vector<uint8_t>& spki) {
  const unsigned char* p = spki.data();
  X509_PUBKEY* pub = d2i_X509_PUBKEY(nullptr, &p, static_cast<long>(spki.size()));
  const unsigned char* key = nullptr;
  int n = 0;
  std::vector<uint8_t> out;
  if (pub != nullptr && X509_PUBKEY_get0_param(nullptr, &key, &n, nullptr, pub) == 1) {
    out.assign(key, key + n);
  }
  X509_PUBKEY_free(pub);
  return out;
}

}  // namespace

std::string StateFileBytes() {
  return ReadFile(StatePath()) + ReadFile(StatePath() + "-wal");
}

bool LeaksAny(const std::string& haystack, const std::vector<uint8_t>& secret,
              const std::vector<uint8_t>& publicPart) {
  const std::string known(publicPart.begin(), publicPart.end());
  for (size_t at = 0; at + 16 <= secret.size(); at += 8) {
    const std::string piece(secret.begin() + at, secret.begin() + at + 16);
    if (known.find(piece) == std::string::npos && haystack.find(piece) != std::string::npos) {
      return true;
    }
  }
  return false;
}

std::vector<std::vector<uint8_t>> PrivateParts(const std::vector<uint8_t>& pkcs8) {
  std::vector<std::vector<uint8_t>> parts{pkcs8};
  const unsigned char* p = pkcs8.data();
  EVP_PKEY* key = d2i_AutoPrivateKey(nullptr, &p, static_cast<long>(pkcs8.size()));
  for (const char* name :
       {OSSL_PKEY_PARAM_RSA_FACTOR1, OSSL_PKEY_PARAM_RSA_FACTOR2, OSSL_PKEY_PARAM_RSA_D}) {
    BIGNUM* bn = nullptr;
    if (key != nullptr && EVP_PKEY_get_bn_param(key, name, &bn) == 1) {
      std::vector<uint8_t> bytes(static_cast<size_t>(BN_num_bytes(bn)));
      BN_bn2bin(bn, bytes.data());
      parts.push_back(std::move(bytes));
    }
    BN_clear_free(bn);
  }
  EVP_PKEY_free(key);
  return parts;
}

std::vector<uint8_t> RsaPublicKeyOf(const std::vector<uint8_t>& pkcs8) {
  return RsaPublicKey(OpenSslPublicKeyInfo(pkcs8));
}

std::vector<std::string> StoredPrivateKeys() {
  std::vector<std::string> out;
  sqlite3* db = nullptr;
  if (sqlite3_open_v2(StatePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db, "SELECT private_key FROM key_pairs ORDER BY rowid", -1, &st, nullptr);
    while (st != nullptr && sqlite3_step(st) == SQLITE_ROW) {
      out.emplace_back(static_cast<const char*>(sqlite3_column_blob(st, 0)),
                       static_cast<size_t>(sqlite3_column_bytes(st, 0)));
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return out;
}

bool KeyringRun() {
  const char* mode = std::getenv("ZYQSEC_KEYRING");
  return mode != nullptr && std::strcmp(mode, "required") == 0;
}

std::string StoredMasterKey() {
  if (!KeyringRun()) return ReadFile(platform::posix::MasterKeyFilePath());
  std::string out;
  if (RunCommand(std::string("secret-tool lookup ") + kAttributes, &out) != 0) return {};
  return out;
}

void RemoveMasterKey() {
  if (KeyringRun()) {
    RunCommand(std::string("secret-tool clear ") + kAttributes);
  } else {
    std::filesystem::remove(platform::posix::MasterKeyFilePath());
  }
}

void PutMasterKey(const std::string& stored) {
  RemoveMasterKey();
  if (KeyringRun()) {
    RunCommand("printf %s " + stored + " | secret-tool store --label=test " + kAttributes);
  } else {
    const std::string path = platform::posix::MasterKeyFilePath();
    WriteFile(path, stored);
    ::chmod(path.c_str(), 0600);
  }
}

std::string OtherMasterKey() {
  std::vector<uint8_t> bytes(32);
  RAND_bytes(bytes.data(), 32);
  return KeyringRun() ? Hex(bytes) : std::string(bytes.begin(), bytes.end());
}

bool WriteEarlierDatabase(const std::vector<LegacyKeyPair>& pairs) {
  std::filesystem::create_directories(std::getenv("ZYQSEC_HOME"));
  sqlite3* db = nullptr;
  bool ok = sqlite3_open(StatePath().c_str(), &db) == SQLITE_OK &&
            sqlite3_exec(db, kEarlierTables, nullptr, nullptr, nullptr) == SQLITE_OK;
  for (const LegacyKeyPair& pair : pairs) {
    if (!ok) break;
    const std::string container =
        "INSERT OR IGNORE INTO key_containers (provider, name, generation) VALUES "
        "('Microsoft Enhanced Cryptographic Provider v1.0', '" +
        pair.container + "', random())";
    ok = sqlite3_exec(db, container.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_stmt* st = nullptr;
    ok = ok && sqlite3_prepare_v2(db,
                                  "INSERT INTO key_pairs VALUES ((SELECT id FROM key_containers "
                                  "WHERE name = ?), ?, 1, ?, ?, ?)",
                                  -1, &st, nullptr) == SQLITE_OK;
    const auto publicKey = RsaPublicKey(OpenSslPublicKeyInfo(pair.pkcs8));
    if (ok) {
      sqlite3_bind_text(st, 1, pair.container.c_str(), -1, SQLITE_TRANSIENT);
      sqlite3_bind_int64(st, 2, pair.keySpec);
      sqlite3_bind_int64(st, 3, 1024);
      sqlite3_bind_blob(st, 4, publicKey.data(), static_cast<int>(publicKey.size()),
                        SQLITE_TRANSIENT);
      sqlite3_bind_blob(st, 5, pair.pkcs8.data(), static_cast<int>(pair.pkcs8.size()),
                        SQLITE_TRANSIENT);
      ok = sqlite3_step(st) == SQLITE_DONE;
    }
    sqlite3_finalize(st);
  }
  sqlite3_close(db);
  return ok;
}

}  // namespace zyq::test
