// The engine's result codes. 0 is success; every other code has a message in ResultMessage.
#pragma once

#include <cstdint>

namespace zyq::result {

inline constexpr int32_t kSuccess = 0;
inline constexpr int32_t kCannotCreateFolder = 1001;
inline constexpr int32_t kFileUnreadable = 1002;
inline constexpr int32_t kFileUnwritable = 1003;
inline constexpr int32_t kGeneralError = 5001;
inline constexpr int32_t kAllocationError = 5002;
inline constexpr int32_t kOutOfMemory = 5003;
inline constexpr int32_t kNotSupported = 5004;
inline constexpr int32_t kBadParameter = 5005;
inline constexpr int32_t kBadHandle = 5006;
inline constexpr int32_t kBase64Error = 5008;
inline constexpr int32_t kCertNotFound = 5010;
inline constexpr int32_t kCertExpired = 5011;
inline constexpr int32_t kCertNotYetValid = 5012;
inline constexpr int32_t kCertMaybeExpired = 5013;
inline constexpr int32_t kCertSubjectMismatch = 5014;
inline constexpr int32_t kIssuerNotFound = 5015;
inline constexpr int32_t kBadCertSignature = 5016;
inline constexpr int32_t kKeyUsageMismatch = 5017;
inline constexpr int32_t kCertNotRegistered = 5018;
inline constexpr int32_t kDigestError = 5035;
inline constexpr int32_t kBadCertFormat = 5040;
inline constexpr int32_t kBadPkcs7Format = 5042;
inline constexpr int32_t kBadKeyFormat = 5043;
inline constexpr int32_t kBadPkcs10Format = 5044;
inline constexpr int32_t kUnsuitableFormat = 5045;
inline constexpr int32_t kBadCspName = 5046;
inline constexpr int32_t kObjectMissing = 5050;
inline constexpr int32_t kKeyMissing = 5060;
inline constexpr int32_t kSignFailed = 5061;
inline constexpr int32_t kVerifyFailed = 5062;
inline constexpr int32_t kEncryptFailed = 5063;
inline constexpr int32_t kDecryptFailed = 5064;
inline constexpr int32_t kKeyGenerationFailed = 5065;  // a key pair cannot be generated
inline constexpr int32_t kDeleteCertFailed = 5066;
inline constexpr int32_t kCancelled = 5070;
inline constexpr int32_t kWrongPassword = 5071;
inline constexpr int32_t kEnumCspFailed = 5200;
inline constexpr int32_t kOpenPersonalStoreFailed = 5201;
inline constexpr int32_t kChainMissing = 5202;
inline constexpr int32_t kCspUnavailable = 5203;
inline constexpr int32_t kPrivateKeyMissing = 5204;
// The key is not exportable; also a search candidate whose key is not a "Microsoft" provider's.
inline constexpr int32_t kKeyNotExportable = 5205;
// The personal store refused; also a search candidate without a linked private key.
inline constexpr int32_t kPersonalStoreDenied = 5206;
inline constexpr int32_t kPkcs12FormatError = 5207;
inline constexpr int32_t kPkcs12WrongPassword = 5208;
inline constexpr int32_t kPasswordMismatch = 5209;
inline constexpr int32_t kOpenRootStoreFailed = 5221;
inline constexpr int32_t kOpenCaStoreFailed = 5222;
inline constexpr int32_t kOpenOtherStoreFailed = 5223;
inline constexpr int32_t kChainUntrusted = 5224;
inline constexpr int32_t kOpenMemoryStoreFailed = 5226;
inline constexpr int32_t kBadKeyLength = 5301;
// The new key of a request, its container name, or a part of the request cannot be made.
inline constexpr int32_t kRequestKeyFailed = 5302;
inline constexpr int32_t kPfxCreateFailed = 5303;
inline constexpr int32_t kRequestCreateFailed = 5304;
inline constexpr int32_t kAsn1EncodeFailed = 5305;
inline constexpr int32_t kPfxReadFailed = 5401;
inline constexpr int32_t kPfxWriteFailed = 5402;
inline constexpr int32_t kUnicodeError = 5901;
inline constexpr int32_t kFileNotFound = 5902;
inline constexpr int32_t kPathNotFound = 5903;
inline constexpr int32_t kNetworkPathNotFound = 5904;
inline constexpr int32_t kLogonFailure = 5905;
inline constexpr int32_t kAccessDenied = 5906;

}  // namespace zyq::result
