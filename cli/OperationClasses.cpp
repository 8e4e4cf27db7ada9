#include "cli/OperationClasses.h"

namespace zyq::cli {
namespace {

struct Entry {
  std::string_view name;
  OperationClass operationClass;
};

constexpr OperationClass H = OperationClass::kHarmless;
constexpr OperationClass U = OperationClass::kUserConsent;
constexpr OperationClass X = OperationClass::kHostOnly;

// Every operation of the table, in its order.
constexpr Entry kClasses[] = {
    {"GetVersion", H},
    {"GetErrorCode", H},
    {"GetErrorMsg", H},
    {"GetCapiErrorCode", H},
    {"GetCapiErrorMsg", H},
    {"GetMacAddress", U},
    {"PresetPasswdLengthRange", U},
    {"GetDefaultCertPath", U},
    {"GetWindowsSystemName", U},
    {"RegReadHKCU", X},
    {"RegWriteHKCUInt", X},
    {"RegWriteHKCUStr", X},
    {"SelectLocalFolder", X},
    {"EnumProviders", H},
    {"SetKeyBits", U},
    {"SetProviderName", U},
    {"SetProviderType", U},
    {"SetKeySpec", U},
    {"SetGenKeyFlags", U},
    {"CreatePKCS10", U},
    {"AcceptPKCS7", U},
    {"Hash", H},
    {"HashFile", U},
    {"RegisterPfx", U},
    {"QueryUserInfo", U},
    {"UpdateRegisterMode", U},
    {"GetRegisterUserMode", U},
    {"ExportPfxFromIE", U},
    {"GetRegisterPfxFilePath", U},
    {"GetRegisterPfxFileName", U},
    {"GetExportedPfxFilePath", U},
    {"GetExportedPfxFileName", U},
    {"ChangePfxPasswd", U},
    {"SelectCertFromIE", U},
    {"ExportMobileFromPfx", U},
    {"ExportMobileFromIE", U},
    {"ImportPfxToIE", U},
    {"SignPkcs1", U},
    {"SignPkcs7", U},
    {"GetRtnCert", H},
    {"GetCertSubject", H},
    {"GetCertIssuer", H},
    {"GetCertSerial", H},
    {"GetCertFinger", H},
    {"GetCertNotBefore", H},
    {"GetCertNotAfter", H},
    {"GetCertSubjectCN", H},
};

}  // namespace

OperationClass ClassOf(std::string_view engineName) {
  for (const Entry& entry : kClasses) {
    if (entry.name == engineName) return entry.operationClass;
  }
  return OperationClass::kHostOnly;
}

std::string_view ClassName(OperationClass operationClass) {
  switch (operationClass) {
    case OperationClass::kHarmless:
      return "harmless";
    case OperationClass::kUserConsent:
      return "user-consent";
    case OperationClass::kHostOnly:
      break;
  }
  return "host-only";
}

}  // namespace zyq::cli
