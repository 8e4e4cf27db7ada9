// The registration operations: RegisterPfx, QueryUserInfo, UpdateRegisterMode, the four path
// getters, and RegisterFromSigning for the signing flow.
#include <memory>
#include <string>
#include <vector>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "engine/SecurityEngine.h"
#include "host/HostFacts.h"
#include "pfx/PasswordArgument.h"
#include "pfx/RegistrationRecord.h"
#include "platform/CertStores.h"
#include "platform/CryptoKeys.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "ui/CertFileLaunchers.h"

namespace zyq {
namespace {

// What a registration learns from the keyed certificates of a PKCS#12 file.
struct KeyedCertificates {
  int32_t result = result::kPrivateKeyMissing;
  int count = 0;
  std::string id;         // the user ID of the last qualifying certificate
  ByteBuffer ciphertext;  // the password stored under that ID's key
};

// Walks the certificates of a loaded file. A certificate qualifies when its private key can be
// acquired, its key usage covers keyUsage (when > 0) and it yields a user ID; the last one that
// qualifies names the record. A certificate without a common name yields no ID and is passed
// over, since a record under the registration root key itself would belong to nobody.
KeyedCertificates ScanKeyedCertificates(const CertStore& store, const SecretString& password,
                                        int32_t keyUsage) {
  KeyedCertificates scan;
  std::vector<platform::CertContext> certificates;
  store.handle().Enumerate(&certificates);
  for (const platform::CertContext& certificate : certificates) {
    std::unique_ptr<platform::KeyContext> key;
    uint32_t keySpec = 0;
    if (platform::AcquireCertificatePrivateKey(certificate, &key, &keySpec) !=
        platform::kErrorSuccess) {
      continue;
    }
    const CertificateWrapper wrapper(certificate);
    if (keyUsage > 0 && (wrapper.GetKeyUsage() & static_cast<uint32_t>(keyUsage)) !=
                            static_cast<uint32_t>(keyUsage)) {
      scan.result = result::kKeyUsageMismatch;
      continue;
    }
    std::string id = DeriveUserId(wrapper.GetSubjectCN());
    if (id.empty()) continue;
    scan.id = std::move(id);
    EncryptRecordPassword(scan.id, password.str(), &scan.ciphertext);
    ++scan.count;
  }
  if (scan.count > 0) scan.result = result::kSuccess;
  return scan;
}

// Steps shared by QueryUserInfo and UpdateRegisterMode: the normalised ID and its record, whose
// file must exist. The caller has reset its fields; *parts receives the record's folder and file
// name as soon as the record is read.
int32_t ReadExistingRecord(const Bstr& strID, std::string* id, RegistrationRecord* record,
                           platform::PathParts* parts) {
  *id = NormalizeUserId(strID.View());
  if (id->empty()) return result::kBadParameter;
  if (int32_t code = ReadRegistrationRecord(*id, record)) return code;
  *parts = platform::SplitPath(record->path);
  if (!platform::CurrentFileSystem().Exists(record->path)) return result::kFileNotFound;
  return result::kSuccess;
}

}  // namespace

int32_t SecurityEngine::RegisterPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPassword,
                                    int32_t registerMode, int32_t dwFlags, int32_t dwKeyUsage) {
  BeginOperation(true);
  registeredFolder_.clear();
  registeredFileName_.clear();
  SecretString password = TakePassword(strPassword);
  platform::FileSystem& files = platform::CurrentFileSystem();

  std::string probe;
  if (int32_t code = MakeProbeName(&probe)) return Fail(code);
  if (int32_t code = ProbeRegistryAccess(probe)) return Fail(code);

  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  if (int32_t code = CompletePfxFileInfo(folder, fileName, password)) return Fail(code);
  const std::string source = platform::JoinPath(folder, fileName);
  if (!files.Exists(source)) return Fail(result::kFileNotFound);

  CertStore store;
  if (int32_t code = store.LoadPfx(source, password.str(), dwFlags)) {
    return Fail(code, store.lastError());
  }
  KeyedCertificates scan = ScanKeyedCertificates(store, password, dwKeyUsage);
  store.Close();
  if (scan.count == 0) return Fail(scan.result);
  registeredFolder_ = BuildDefaultCertPath(osVersion_);
  registeredFileName_ = RegisteredFileName(scan.id);

  // The file that the last export wrote is registered where it lies.
  if (folder == exportSourceFolder_ && fileName == exportWrittenName_ &&
      !exportWrittenPath_.empty()) {
    resultCode_ =
        WriteRegistrationRecord(exportWrittenPath_, scan.ciphertext.span(), scan.id, registerMode);
    if (resultCode_ == result::kSuccess) {
      // The getters report where the record points.
      platform::PathParts parts = platform::SplitPath(exportWrittenPath_);
      registeredFolder_ = std::move(parts.folder);
      registeredFileName_ = std::move(parts.name);
      exportSourceFolder_.clear();
      exportWrittenPath_.clear();
      exportWrittenName_.clear();
    }
    return resultCode_;
  }

  // Otherwise the file is copied into the default certificate folder (or one the user picks
  // when that folder cannot take it). Each copy is written to a temporary file and renamed into
  // place, so no half-written certificate file is ever left.
  std::string bytes;
  if (platform::SysError error = files.ReadFile(source, &bytes)) {
    return Fail(result::kFileNotFound, error);
  }
  if (!files.IsFolder(registeredFolder_)) files.CreateFolders(registeredFolder_);
  std::string failedFolder = registeredFolder_;
  std::string target;
  std::string oldTarget;
  bool hadTarget = false;
  for (;;) {
    if (registeredFolder_.empty() || !files.IsFolder(registeredFolder_)) {
      std::string chosen = registeredFolder_.empty() ? failedFolder : registeredFolder_;
      if (int32_t code = ui::PromptCertFolder(chosen)) return Fail(code);
      registeredFolder_ = std::move(chosen);
      files.CreateFolders(registeredFolder_);
    }
    target = platform::JoinPath(registeredFolder_, registeredFileName_);
    // What the target held, to put back when the record cannot be written.
    hadTarget = files.ReadFile(target, &oldTarget) == platform::kErrorSuccess;
    if (files.WriteFileAtomic(target, bytes) == platform::kErrorSuccess && files.Exists(target)) {
      break;
    }
    failedFolder = registeredFolder_;
    registeredFolder_.clear();
  }
  resultCode_ = WriteRegistrationRecord(target, scan.ciphertext.span(), scan.id, registerMode);
  if (resultCode_ != result::kSuccess) {
    // No copy without its record: the folder goes back to what it held.
    if (hadTarget) {
      files.WriteFileAtomic(target, oldTarget);
    } else {
      files.DeleteFile(target);
    }
  }
  return resultCode_;
}

int32_t SecurityEngine::RegisterFromSigning(const std::string& folder, const std::string& fileName,
                                            const SecretString& givenPassword, int32_t mode) {
  BeginOperation(true);
  registeredFolder_.clear();
  registeredFileName_.clear();
  platform::FileSystem& files = platform::CurrentFileSystem();

  std::string probe;
  if (int32_t code = MakeProbeName(&probe)) return Fail(code);
  if (int32_t code = ProbeRegistryAccess(probe)) return Fail(code);

  std::string sourceFolder = folder;
  std::string sourceName = fileName;
  SecretString password = givenPassword;
  if (sourceFolder.empty() || sourceName.empty() || password.empty()) {
    if (int32_t code = ui::PromptRegisterInfo(sourceFolder, sourceName, password,
                                              minPasswordLength_, maxPasswordLength_)) {
      return Fail(code);
    }
  }
  const std::string source = platform::JoinPath(sourceFolder, sourceName);
  if (!files.Exists(source)) return Fail(result::kFileNotFound);

  CertStore store;
  if (int32_t code = store.LoadPfx(source, password.str(), 0)) {
    return Fail(code, store.lastError());
  }
  KeyedCertificates scan = ScanKeyedCertificates(store, password, 0);
  store.Close();
  if (scan.count == 0) return Fail(result::kPrivateKeyMissing);
  registeredFolder_ = BuildDefaultCertPath(osVersion_);
  registeredFileName_ = RegisteredFileName(scan.id);

  std::string bytes;
  if (platform::SysError error = files.ReadFile(source, &bytes)) {
    return Fail(result::kFileNotFound, error);
  }
  if (!files.IsFolder(registeredFolder_)) files.CreateFolders(registeredFolder_);
  // Where the copy cannot be made, the record points at the file the user signed with, which is
  // known to exist and to open with the password.
  std::string target = source;
  if (files.IsFolder(registeredFolder_)) {
    const std::string copy = platform::JoinPath(registeredFolder_, registeredFileName_);
    if (files.WriteFileAtomic(copy, bytes) == platform::kErrorSuccess) target = copy;
  }
  resultCode_ = WriteRegistrationRecord(target, scan.ciphertext.span(), scan.id, mode);
  return resultCode_;
}

int32_t SecurityEngine::QueryUserInfo(Bstr strID) {
  BeginOperation(true);
  registerMode_ = -1;
  registeredFolder_.clear();
  registeredFileName_.clear();

  std::string id;
  RegistrationRecord record;
  platform::PathParts parts;
  const int32_t code = ReadExistingRecord(strID, &id, &record, &parts);
  registerMode_ = record.mode;
  registeredFolder_ = std::move(parts.folder);
  registeredFileName_ = std::move(parts.name);
  if (code != result::kSuccess) return Fail(code);

  SecretString password;
  if (!DecryptRecordPassword(id, record.password, &password)) {
    return Fail(result::kPkcs12WrongPassword);
  }
  CertStore store;
  if (int32_t loadCode = store.LoadPfx(record.path, password.str(), 0)) {
    registeredFileName_.clear();
    registerMode_ = -1;
    return Fail(loadCode, store.lastError());
  }

  // The user's signing certificates with a usable key, one DER encoding after the other.
  returnedCertificate_.Release();
  std::vector<platform::CertContext> certificates;
  store.handle().Enumerate(&certificates);
  for (const platform::CertContext& certificate : certificates) {
    std::unique_ptr<platform::KeyContext> key;
    uint32_t keySpec = 0;
    if (platform::AcquireCertificatePrivateKey(certificate, &key, &keySpec) !=
        platform::kErrorSuccess) {
      continue;
    }
    const CertificateWrapper wrapper(certificate);
    if ((wrapper.GetKeyUsage() & platform::kKeyUsageDigitalSignature) == 0) continue;
    if (wrapper.GetSubjectCN().find(id) == std::string::npos) continue;
    const platform::Bytes& der = certificate.encoded();
    returnedCertificate_.Append(der.data(), static_cast<int>(der.size()));
  }
  return resultCode_;
}

int32_t SecurityEngine::UpdateRegisterMode(Bstr strID, Bstr strPassword, int32_t registerMode) {
  BeginOperation(true);
  registerMode_ = -1;
  registeredFolder_.clear();
  registeredFileName_.clear();
  SecretString password = TakePassword(strPassword);

  std::string id;
  RegistrationRecord record;
  platform::PathParts parts;
  const int32_t code = ReadExistingRecord(strID, &id, &record, &parts);
  registerMode_ = record.mode;
  registeredFolder_ = std::move(parts.folder);
  registeredFileName_ = std::move(parts.name);
  if (code != result::kSuccess) return Fail(code);

  CertStore store;
  if (int32_t loadCode = store.LoadPfx(record.path, password.str(), 0)) {
    registeredFileName_.clear();
    registerMode_ = -1;
    return Fail(loadCode, store.lastError());
  }
  store.Close();
  ByteBuffer ciphertext;
  EncryptRecordPassword(id, password.str(), &ciphertext);
  resultCode_ = WriteRegistrationRecord(record.path, ciphertext.span(), id, registerMode);
  return resultCode_;
}

Bstr SecurityEngine::GetRegisterPfxFilePath() {
  return Bstr::FromAnsi(registeredFolder_);
}

Bstr SecurityEngine::GetRegisterPfxFileName() {
  return Bstr::FromAnsi(registeredFileName_);
}

Bstr SecurityEngine::GetExportedPfxFilePath() {
  return Bstr::FromAnsi(exportedFolder_);
}

Bstr SecurityEngine::GetExportedPfxFileName() {
  return Bstr::FromAnsi(exportedFileName_);
}

}  // namespace zyq
