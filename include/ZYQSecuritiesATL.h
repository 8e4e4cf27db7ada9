/*
 * ZYQSecuritiesATL: the flat C interface of libZYQSecuritiesATL.so.
 *
 * Every function acts on the library's one process-wide engine. Text arguments are
 * NUL-terminated UTF-16 strings (null allowed); text results are BSTRs that the caller owns
 * and releases with SysFreeString (an empty result is still a BSTR to free). After any call,
 * GetErrorCode and GetErrorMsg tell its outcome, GetCapiErrorCode and GetCapiErrorMsg the
 * system error behind a failure. Calls from several threads are safe: they run one after
 * another on the engine, and GetErrorCode and the other readings answer about the last call
 * made by any thread (see docs/front-ends.md, "Threads").
 */
#ifndef ZYQSECURITIESATL_H
#define ZYQSECURITIESATL_H

#include <stdint.h>
#ifndef __cplusplus
#include <uchar.h>
#endif

#ifdef __cplusplus
extern "C" {
#endif

#ifndef ZYQ_BSTR_DEFINED
#define ZYQ_BSTR_DEFINED
typedef char16_t* BSTR;
#endif

/* On Windows the functions are __stdcall, exported by the DLL under their decorated names
 * (_Hash@8 in the 32-bit DLL), and BSTRs are OLE Automation's: release results with
 * oleaut32's SysFreeString. A client that has BSTR from <oleauto.h> defines ZYQ_BSTR_DEFINED
 * before including this header. */
#if defined(_WIN32)
#define ZYQ_API
#define ZYQ_CALL __stdcall
#elif defined(ZYQ_BUILDING_LIBRARY)
#define ZYQ_API __attribute__((visibility("default")))
#define ZYQ_CALL
#else
#define ZYQ_API
#define ZYQ_CALL
#endif

#if !defined(_WIN32)
/* BSTR allocation, with the layout and meaning of their OLE Automation namesakes. */
ZYQ_API BSTR SysAllocString(const char16_t* text);
ZYQ_API BSTR SysAllocStringLen(const char16_t* text, uint32_t length);
ZYQ_API uint32_t SysStringLen(BSTR text);
ZYQ_API void SysFreeString(BSTR text);
#endif

/* Engine core */
ZYQ_API BSTR ZYQ_CALL GetDllVersion(void);
ZYQ_API int32_t ZYQ_CALL GetErrorCode(void);
ZYQ_API BSTR ZYQ_CALL GetErrorMsg(void);
ZYQ_API int32_t ZYQ_CALL GetCapiErrorCode(void);
ZYQ_API BSTR ZYQ_CALL GetCapiErrorMsg(void);
ZYQ_API int32_t ZYQ_CALL PresetPasswdLengthRange(int32_t min, int32_t max);

/* Host utilities */
ZYQ_API BSTR ZYQ_CALL GetMacAddress(void);
ZYQ_API BSTR ZYQ_CALL GetDefaultCertPath(void);
ZYQ_API BSTR ZYQ_CALL GetWindowsSystemName(void);
ZYQ_API BSTR ZYQ_CALL RegReadHKCU(const char16_t* strName);
ZYQ_API int32_t ZYQ_CALL RegWriteHKCUInt(const char16_t* strName, int32_t dw);
ZYQ_API int32_t ZYQ_CALL RegWriteHKCUStr(const char16_t* strName, const char16_t* str);
ZYQ_API BSTR ZYQ_CALL SelectLocalFolder(const char16_t* initPath, const char16_t* title);

/* Digests */
ZYQ_API BSTR ZYQ_CALL Hash(const char16_t* strPlainText, int32_t dwFlags);
ZYQ_API BSTR ZYQ_CALL HashFile(const char16_t* strFileName, int32_t dwFlags);

/* Enrollment: key-generation settings and the installed RSA providers */
ZYQ_API BSTR ZYQ_CALL EnumProviders(int32_t dwIndex, int32_t dwFlags);
ZYQ_API int32_t ZYQ_CALL SetKeyBits(int32_t rsaKeyBits);
ZYQ_API int32_t ZYQ_CALL SetProviderName(const char16_t* strProviderName);
ZYQ_API int32_t ZYQ_CALL SetProviderType(int32_t dwProviderType);
ZYQ_API int32_t ZYQ_CALL SetKeySpec(int32_t dwKeySpec);
ZYQ_API int32_t ZYQ_CALL SetGenKeyFlags(int32_t dwGenKeyFlags);

/* Enrollment: the PKCS#10 request (Base64) and the installation of the authority's answer */
ZYQ_API BSTR ZYQ_CALL CreatePKCS10(const char16_t* strCommonName);
ZYQ_API int32_t ZYQ_CALL AcceptPKCS7(const char16_t* strPkcs7);

/* Registration */
ZYQ_API int32_t ZYQ_CALL RegisterPfx(const char16_t* strPfxPath, const char16_t* strPfxName,
                                     const char16_t* strPassword, int32_t registerMode,
                                     int32_t dwFlags, int32_t dwKeyUsage);
ZYQ_API int32_t ZYQ_CALL QueryUserInfo(const char16_t* strID);
ZYQ_API int32_t ZYQ_CALL UpdateRegisterMode(const char16_t* strID, const char16_t* strPassword,
                                            int32_t registerMode);
ZYQ_API int32_t ZYQ_CALL GetRegisterUserMode(void);
ZYQ_API BSTR ZYQ_CALL GetRegisterPfxFilePath(void);
ZYQ_API BSTR ZYQ_CALL GetRegisterPfxFileName(void);
ZYQ_API BSTR ZYQ_CALL GetExportedPfxFilePath(void);
ZYQ_API BSTR ZYQ_CALL GetExportedPfxFileName(void);

/* Signing */
ZYQ_API BSTR ZYQ_CALL SignPkcs1(const char16_t* strID, const char16_t* strContent, int32_t dwFlags,
                                int32_t dwKeyUsage);
ZYQ_API BSTR ZYQ_CALL SignPkcs7(const char16_t* strID, const char16_t* strContent, int32_t dwFlags,
                                int32_t dwKeyUsage);

/* The returned certificate: the certificate that the latest certificate operation chose. */
ZYQ_API BSTR ZYQ_CALL GetRtnCert(void);
ZYQ_API BSTR ZYQ_CALL GetCertSubject(void);
ZYQ_API BSTR ZYQ_CALL GetCertIssuer(void);
ZYQ_API BSTR ZYQ_CALL GetCertSerial(void);
ZYQ_API BSTR ZYQ_CALL GetCertFinger(void);
ZYQ_API BSTR ZYQ_CALL GetCertNotBefore(void);
ZYQ_API BSTR ZYQ_CALL GetCertNotAfter(void);
ZYQ_API BSTR ZYQ_CALL GetCertSubjectCN(void);

/* Key lifecycle: export from and import into the personal store, change of a PKCS#12 file's
 * password, the mobile key record */
ZYQ_API int32_t ZYQ_CALL ExportPfxFromIE(const char16_t* strSubject, const char16_t* strPfxPath,
                                         const char16_t* strPassword, int32_t dwFlags,
                                         int32_t dwKeyUsage);
ZYQ_API int32_t ZYQ_CALL ChangePfxPasswd(const char16_t* strPfxPath, const char16_t* strPfxName,
                                         const char16_t* strOldPass, const char16_t* strNewPass,
                                         int32_t dwFlags);
ZYQ_API int32_t ZYQ_CALL SelectCertFromIE(const char16_t* strSubject, int32_t dwFlags,
                                          int32_t dwKeyUsage);
ZYQ_API BSTR ZYQ_CALL ExportMobileFromPfx(const char16_t* strPfxPath, const char16_t* strPfxName,
                                          const char16_t* strPasswd, int32_t dwFlags,
                                          int32_t dwKeyUsage);
ZYQ_API BSTR ZYQ_CALL ExportMobileFromIE(const char16_t* strSubject, const char16_t* strPasswd,
                                         int32_t dwFlags, int32_t dwKeyUsage);
ZYQ_API int32_t ZYQ_CALL ImportPfxToIE(const char16_t* strPfxPath, const char16_t* strPfxName,
                                       const char16_t* strPasswd, int32_t dwFlags,
                                       int32_t dwKeyUsage);

#ifdef __cplusplus
}
#endif

#endif /* ZYQSECURITIESATL_H */
