// The registration operations: RegisterPfx, QueryUserInfo, UpdateRegisterMode, and
// RegisterFromSigning for the signing flow.
#include <string>
#include <utility>

#include "cert/CertStore.h"
#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "host/HostFacts.h"
#include "pfx/KeyedCertificates.h"
#include "pfx/NewKeyContainers.h"
#include "pfx/PasswordArgument.h"
#include "pfx/PfxFileInfo.h"
#include "pfx/RegistrationRecord.h"
#include "pfx/RegistrationUndo.h"
#include "pfx/Registrations.h"
#include "platform/CertStores.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "ui/CertFileLaunchers.h"

namespace zyq::pfx {
namespace {

// What a registration learns from the keyed certificates of a PKCS#12 file.
struct KeyedScan {
  int32_t result = result::kPrivateKeyMissing;
  int count = 0;
  std::string id;         // the user ID of the last qualifying certificate
  ByteBuffer ciphertext;  // the password stored under that ID's key
};

// Walks the certificates of a loaded file. A certificate qualifies when its private key can be
// acquired, its key usage covers keyUsage (when > 0) and it yields a user ID; the last one that
// qualifies names the record. A certificate without a common name yields no ID and is passed
// over, since a record under the registration root key itself would belong to nobody.
KeyedScan ScanKeyedCertificates(const CertStore& store, const SecretString& password,
                                int32_t keyUsage) {
  KeyedScan scan;
  ForEachKeyedCertificate(store.handle(), [&](const platform::CertContext& certificate) {
    const CertificateWrapper wrapper(certificate);
    if (keyUsage > 0 && (wrapper.GetKeyUsage() & static_cast<uint32_t>(keyUsage)) !=
                            static_cast<uint32_t>(keyUsage)) {
      scan.result = result::kKeyUsageMismatch;
      return true;
    }
    std::string id = DeriveUserId(wrapper.GetSubjectCN());
    if (id.empty()) return true;
    scan.id = std::move(id);
    EncryptRecordPassword(scan.id, password.str(), &scan.ciphertext);
    ++scan.count;
    return true;
  });
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

Outcome Registrations::RegisterPfx(Bstr strPfxPath, Bstr strPfxName, Bstr strPassword,
                                   int32_t registerMode, int32_t dwFlags, int32_t dwKeyUsage) {
  registeredFolder_.clear();
  registeredFileName_.clear();
  SecretString password = TakePassword(strPassword);
  platform::FileSystem& files = platform::CurrentFileSystem();

  // A failure leaves no root key, folder or key container that this registration made.
  RegistrationUndo undo;
  std::string probe;
  if (int32_t code = MakeProbeName(&probe)) return Outcome::Failure(code);
  if (int32_t code = undo.ProbeRegistry(probe)) return Outcome::Failure(code);

  std::string folder = strPfxPath.ToAnsi();
  std::string fileName = strPfxName.ToAnsi();
  if (int32_t code = CompletePfxFileInfo(shared_, folder, fileName, password)) {
    return Outcome::Failure(code);
  }
  CertStore store;
  std::string source;
  if (Outcome loaded = LoadPfxFile(folder, fileName, password, dwFlags, store, &source);
      !loaded.ok()) {
    return loaded;
  }
  NewKeyContainers keys(store);
  KeyedScan scan = ScanKeyedCertificates(store, password, dwKeyUsage);
  store.Close();
  if (scan.count == 0) return Outcome::Failure(scan.result);
  registeredFolder_ = BuildDefaultCertPath(shared_.osVersion);
  registeredFileName_ = RegisteredFileName(scan.id);

  // The file that the last export wrote is registered where it lies.
  if (folder == exportSourceFolder_ && fileName == exportWrittenName_ &&
      !exportWrittenPath_.empty()) {
    const int32_t code =
        WriteRegistrationRecord(exportWrittenPath_, scan.ciphertext.span(), scan.id, registerMode);
    if (code == result::kSuccess) {
      // The getters report where the record points.
      platform::PathParts parts = platform::SplitPath(exportWrittenPath_);
      registeredFolder_ = std::move(parts.folder);
      registeredFileName_ = std::move(parts.name);
      exportSourceFolder_.clear();
      exportWrittenPath_.clear();
      exportWrittenName_.clear();
      keys.KeepAll();
      undo.Commit();
    }
    return Outcome{code};
  }

  // Otherwise the file is copied into the default certificate folder (or one the user picks
  // when that folder cannot take it). Each copy is written to a temporary file and renamed into
  // place, so no half-written certificate file is ever left.
  std::string bytes;
  if (platform::SysError error = files.ReadFile(source, &bytes)) {
    return Outcome::Failure(result::kFileNotFound, error);
  }
  if (!files.IsFolder(registeredFolder_)) undo.CreateFolders(registeredFolder_);
  std::string failedFolder = registeredFolder_;
  std::string target;
  std::string oldTarget;
  bool hadTarget = false;
  for (;;) {
    if (registeredFolder_.empty() || !files.IsFolder(registeredFolder_)) {
      std::string chosen = registeredFolder_.empty() ? failedFolder : registeredFolder_;
      if (int32_t code = ui::PromptCertFolder(chosen)) return Outcome::Failure(code);
      registeredFolder_ = std::move(chosen);
      undo.CreateFolders(registeredFolder_);
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
  const int32_t code =
      WriteRegistrationRecord(target, scan.ciphertext.span(), scan.id, registerMode);
  if (code != result::kSuccess) {
    // No copy without its record: the folder goes back to what it held.
    if (hadTarget) {
      files.WriteFileAtomic(target, oldTarget);
    } else {
      files.DeleteFile(target);
    }
  } else {
    keys.KeepAll();
    undo.Commit();
  }
  return Outcome{code};
}

Outcome Registrations::RegisterFromSigning(const std::string& folder, const std::string& fileName,
                                           const SecretString& givenPassword, int32_t mode) {
  registeredFolder_.clear();
  registeredFileName_.clear();
  platform::FileSystem& files = platform::CurrentFileSystem();

  std::string probe;
  if (int32_t code = MakeProbeName(&probe)) return Outcome::Failure(code);
  if (int32_t code = ProbeRegistryAccess(probe)) return Outcome::Failure(code);

  std::string sourceFolder = folder;
  std::string sourceName = fileName;
  SecretString password = givenPassword;
  if (int32_t code = CompletePfxFileInfo(shared_, sourceFolder, sourceName, password)) {
    return Outcome::Failure(code);
  }
  CertStore store;
  std::string source;
  if (Outcome loaded = LoadPfxFile(sourceFolder, sourceName, password, 0, store, &source);
      !loaded.ok()) {
    return loaded;
  }
  KeyedScan scan = ScanKeyedCertificates(store, password, 0);
  store.Close();
  if (scan.count == 0) return Outcome::Failure(result::kPrivateKeyMissing);
  registeredFolder_ = BuildDefaultCertPath(shared_.osVersion);
  registeredFileName_ = RegisteredFileName(scan.id);

  std::string bytes;
  if (platform::SysError error = files.ReadFile(source, &bytes)) {
    return Outcome::Failure(result::kFileNotFound, error);
  }
  if (!files.IsFolder(registeredFolder_)) files.CreateFolders(registeredFolder_);
  // Where the copy cannot be made, the record points at the file the user signed with, which is
  // known to exist and to open with the password.
  std::string target = source;
  if (files.IsFolder(registeredFolder_)) {
    const std::string copy = platform::JoinPath(registeredFolder_, registeredFileName_);
    if (files.WriteFileAtomic(copy, bytes) == platform::kErrorSuccess) target = copy;
  }
  return Outcome{WriteRegistrationRecord(target, scan.ciphertext.span(), scan.id, mode)};
}

Result<ChosenCertificate> Registrations::QueryUserInfo(Bstr strID) {
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
  if (code != result::kSuccess) return Outcome::Failure(code);

  SecretString password;
  if (!DecryptRecordPassword(id, record.password, &password)) {
    return Outcome::Failure(result::kPkcs12WrongPassword);
  }
  CertStore store;
  if (int32_t loadCode = store.LoadPfx(record.path, password.str(), 0)) {
    registeredFileName_.clear();
    registerMode_ = -1;
    return Outcome::Failure(loadCode, store.lastError());
  }

  // The user's signing certificates with a usable key, one DER encoding after the other.
  platform::Bytes chosen;
  ForEachKeyedCertificate(store.handle(), [&](const platform::CertContext& certificate) {
    const CertificateWrapper wrapper(certificate);
    if ((wrapper.GetKeyUsage() & platform::kKeyUsageDigitalSignature) == 0) return true;
    if (wrapper.GetSubjectCN().find(id) == std::string::npos) return true;
    const platform::Bytes& der = certificate.encoded();
    chosen.insert(chosen.end(), der.begin(), der.end());
    return true;
  });
  return ChosenCertificate(std::move(chosen));
}

Outcome Registrations::UpdateRegisterMode(Bstr strID, Bstr strPassword, int32_t registerMode) {
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
  if (code != result::kSuccess) return Outcome::Failure(code);

  CertStore store;
  if (int32_t loadCode = store.LoadPfx(record.path, password.str(), 0)) {
    registeredFileName_.clear();
    registerMode_ = -1;
    return Outcome::Failure(loadCode, store.lastError());
  }
  store.Close();
  ByteBuffer ciphertext;
  EncryptRecordPassword(id, password.str(), &ciphertext);
  return Outcome{WriteRegistrationRecord(record.path, ciphertext.span(), id, registerMode)};
}

}  // namespace zyq::pfx
