// System error codes in Windows numbering. Every port function that can fail reports one of
// these, so that GetCapiErrorCode means the same on every platform.
#pragma once

#include <cstdint>
#include <string>

namespace zyq::platform {

using SysError = uint32_t;

inline constexpr SysError kErrorSuccess = 0;
inline constexpr SysError kErrorFileNotFound = 2;           // ERROR_FILE_NOT_FOUND
inline constexpr SysError kErrorPathNotFound = 3;           // ERROR_PATH_NOT_FOUND
inline constexpr SysError kErrorTooManyOpenFiles = 4;       // ERROR_TOO_MANY_OPEN_FILES
inline constexpr SysError kErrorAccessDenied = 5;           // ERROR_ACCESS_DENIED
inline constexpr SysError kErrorInvalidHandle = 6;          // ERROR_INVALID_HANDLE
inline constexpr SysError kErrorNotEnoughMemory = 8;        // ERROR_NOT_ENOUGH_MEMORY
inline constexpr SysError kErrorInvalidData = 13;           // ERROR_INVALID_DATA
inline constexpr SysError kErrorOutOfMemory = 14;           // ERROR_OUTOFMEMORY
inline constexpr SysError kErrorWriteFault = 29;            // ERROR_WRITE_FAULT
inline constexpr SysError kErrorReadFault = 30;             // ERROR_READ_FAULT
inline constexpr SysError kErrorGenFailure = 31;            // ERROR_GEN_FAILURE
inline constexpr SysError kErrorSharingViolation = 32;      // ERROR_SHARING_VIOLATION
inline constexpr SysError kErrorLockViolation = 33;         // ERROR_LOCK_VIOLATION
inline constexpr SysError kErrorHandleDiskFull = 39;        // ERROR_HANDLE_DISK_FULL
inline constexpr SysError kErrorNotSupported = 50;          // ERROR_NOT_SUPPORTED
inline constexpr SysError kErrorFileExists = 80;            // ERROR_FILE_EXISTS
inline constexpr SysError kErrorInvalidParameter = 87;      // ERROR_INVALID_PARAMETER
inline constexpr SysError kErrorDiskFull = 112;             // ERROR_DISK_FULL
inline constexpr SysError kErrorInsufficientBuffer = 122;   // ERROR_INSUFFICIENT_BUFFER
inline constexpr SysError kErrorInvalidName = 123;          // ERROR_INVALID_NAME
inline constexpr SysError kErrorDirNotEmpty = 145;          // ERROR_DIR_NOT_EMPTY
inline constexpr SysError kErrorBusy = 170;                 // ERROR_BUSY
inline constexpr SysError kErrorAlreadyExists = 183;        // ERROR_ALREADY_EXISTS
inline constexpr SysError kErrorFilenameExcedRange = 206;   // ERROR_FILENAME_EXCED_RANGE
inline constexpr SysError kErrorFileTooLarge = 223;         // ERROR_FILE_TOO_LARGE
inline constexpr SysError kErrorMoreData = 234;             // ERROR_MORE_DATA
inline constexpr SysError kErrorNoMoreItems = 259;          // ERROR_NO_MORE_ITEMS
inline constexpr SysError kErrorDirectory = 267;            // ERROR_DIRECTORY
inline constexpr SysError kErrorInvalidFlags = 1004;        // ERROR_INVALID_FLAGS
inline constexpr SysError kErrorBadPathname = 161;          // ERROR_BAD_PATHNAME
inline constexpr SysError kErrorBadLength = 24;             // ERROR_BAD_LENGTH
inline constexpr SysError kErrorRegistryCorrupt = 1015;     // ERROR_REGISTRY_CORRUPT
inline constexpr SysError kErrorRegistryIoFailed = 1016;    // ERROR_REGISTRY_IO_FAILED
inline constexpr SysError kErrorKeyDeleted = 1018;          // ERROR_KEY_DELETED
inline constexpr SysError kErrorServiceNotActive = 1062;    // ERROR_SERVICE_NOT_ACTIVE
inline constexpr SysError kErrorIoDevice = 1117;            // ERROR_IO_DEVICE
inline constexpr SysError kErrorCancelled = 1223;           // ERROR_CANCELLED
inline constexpr SysError kErrorNoSuchLogonSession = 1312;  // ERROR_NO_SUCH_LOGON_SESSION
inline constexpr SysError kErrorInvalidPassword = 86;       // ERROR_INVALID_PASSWORD
inline constexpr SysError kErrorBadNetpath = 53;            // ERROR_BAD_NETPATH
inline constexpr SysError kErrorLogonFailure = 1326;        // ERROR_LOGON_FAILURE

// CryptoAPI (NTE_, CRYPT_E_, TRUST_E_, CERT_E_) codes.
inline constexpr SysError kNteBadUid = 0x80090001;
inline constexpr SysError kNteBadHash = 0x80090002;
inline constexpr SysError kNteBadKey = 0x80090003;
inline constexpr SysError kNteBadLen = 0x80090004;
inline constexpr SysError kNteBadData = 0x80090005;
inline constexpr SysError kNteBadSignature = 0x80090006;
inline constexpr SysError kNteBadAlgid = 0x80090008;
inline constexpr SysError kNteBadFlags = 0x80090009;
inline constexpr SysError kNteBadType = 0x8009000A;
inline constexpr SysError kNteBadKeyState = 0x8009000B;
inline constexpr SysError kNteNoKey = 0x8009000D;
inline constexpr SysError kNteNoMemory = 0x8009000E;
inline constexpr SysError kNteExists = 0x8009000F;
inline constexpr SysError kNtePerm = 0x80090010;
inline constexpr SysError kNteNotFound = 0x80090011;
inline constexpr SysError kNteBadProvider = 0x80090013;
inline constexpr SysError kNteBadProvType = 0x80090014;
inline constexpr SysError kNteBadKeyset = 0x80090016;
inline constexpr SysError kNteProvTypeNotDef = 0x80090017;
inline constexpr SysError kNteKeysetNotDef = 0x80090019;
inline constexpr SysError kNteKeysetEntryBad = 0x8009001A;
inline constexpr SysError kNteProvTypeNoMatch = 0x8009001B;
inline constexpr SysError kNteProvDllNotFound = 0x8009001E;
inline constexpr SysError kNteFail = 0x80090020;
inline constexpr SysError kNteSilentContext = 0x80090022;
inline constexpr SysError kNteBadKeysetParam = 0x8009001F;
inline constexpr SysError kNteInvalidParameter = 0x80090027;
inline constexpr SysError kNteBufferTooSmall = 0x80090028;
inline constexpr SysError kNteNotSupported = 0x80090029;
inline constexpr SysError kCryptEMsgError = 0x80091001;
inline constexpr SysError kCryptEUnknownAlgo = 0x80091002;
inline constexpr SysError kCryptEInvalidMsgType = 0x80091004;
inline constexpr SysError kCryptEUnexpectedEncoding = 0x80091005;
inline constexpr SysError kCryptENotFound = 0x80092004;
inline constexpr SysError kCryptEExists = 0x80092005;
inline constexpr SysError kCryptENoProvider = 0x80092006;
inline constexpr SysError kCryptESelfSigned = 0x80092007;
inline constexpr SysError kCryptEDeleted = 0x80092008;
inline constexpr SysError kCryptENoMatch = 0x80092009;
inline constexpr SysError kCryptEUnexpectedMsgType = 0x8009200A;
inline constexpr SysError kCryptENoKeyProperty = 0x8009200B;
inline constexpr SysError kCryptENoDecryptCert = 0x8009200C;
inline constexpr SysError kCryptEBadMsg = 0x8009200D;
inline constexpr SysError kCryptENoSigner = 0x8009200E;
inline constexpr SysError kCryptEPendingClose = 0x8009200F;
inline constexpr SysError kCryptERevoked = 0x80092010;
inline constexpr SysError kCryptEAsn1Error = 0x80093100;
inline constexpr SysError kCryptEAsn1Badtag = 0x8009310B;
inline constexpr SysError kCryptEAsn1Eod = 0x80093102;
inline constexpr SysError kCryptEAsn1Corrupt = 0x80093103;
inline constexpr SysError kCryptEAsn1Large = 0x80093104;
inline constexpr SysError kCryptEAsn1Badargs = 0x80093201;
inline constexpr SysError kCryptEBadEncode = 0x80092002;
inline constexpr SysError kCryptEFileError = 0x80092003;
inline constexpr SysError kCertEExpired = 0x800B0101;
inline constexpr SysError kCertEChaining = 0x800B010A;
inline constexpr SysError kCertEUntrustedRoot = 0x800B0109;
inline constexpr SysError kTrustENoSignerCert = 0x80096002;
inline constexpr SysError kEInvalidArg = 0x80070057;
inline constexpr SysError kEOutOfMemory = 0x8007000E;
inline constexpr SysError kEFail = 0x80004005;

// The English system message for an error code, with its line end ("...\r\n"), as FormatMessage
// gives it; empty when the system has no message for the code.
std::string SystemMessage(SysError code);

}  // namespace zyq::platform
