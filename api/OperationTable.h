// The one table of the engine's operations. Every front-end (the flat exports, the Java
// natives, the COM vtable and IDispatch, the zyqsec command) is generated from it.
//
// Each row: X(order, dispid, Name, FlatName, ResultKind, Args...)
//   order      position in the IZYQapi vtable (1-based, after IUnknown and IDispatch)
//   dispid     the method's DISPID
//   Name       the engine method and COM / Java method name
//   FlatName   the flat export's name
//   ResultKind TEXT (a BSTR owned by the caller) or INT (32-bit signed)
//   Args       TEXT(name) for wide text (LPCWSTR / BSTR / String), INT(name) for 32-bit integers
//
// Only operations that work are listed. Rows stay in vtable order.
#pragma once

#define ZYQ_FOR_EACH_OPERATION(X)                                                                 \
  X(1, 1, GetVersion, GetDllVersion, TEXT)                                                        \
  X(2, 2, GetErrorCode, GetErrorCode, INT)                                                        \
  X(3, 3, GetErrorMsg, GetErrorMsg, TEXT)                                                         \
  X(4, 4, GetCapiErrorCode, GetCapiErrorCode, INT)                                                \
  X(5, 5, GetCapiErrorMsg, GetCapiErrorMsg, TEXT)                                                 \
  X(6, 6, GetMacAddress, GetMacAddress, TEXT)                                                     \
  X(7, 7, PresetPasswdLengthRange, PresetPasswdLengthRange, INT, INT(min), INT(max))              \
  X(8, 8, GetDefaultCertPath, GetDefaultCertPath, TEXT)                                           \
  X(9, 9, GetWindowsSystemName, GetWindowsSystemName, TEXT)                                       \
  X(10, 10, RegReadHKCU, RegReadHKCU, TEXT, TEXT(strName))                                        \
  X(11, 11, RegWriteHKCUInt, RegWriteHKCUInt, INT, TEXT(strName), INT(dw))                        \
  X(12, 12, RegWriteHKCUStr, RegWriteHKCUStr, INT, TEXT(strName), TEXT(str))                      \
  X(13, 13, SelectLocalFolder, SelectLocalFolder, TEXT, TEXT(initPath), TEXT(title))              \
  X(14, 20, EnumProviders, EnumProviders, TEXT, INT(dwIndex), INT(dwFlags))                       \
  X(15, 21, SetKeyBits, SetKeyBits, INT, INT(rsaKeyBits))                                         \
  X(16, 22, SetProviderName, SetProviderName, INT, TEXT(strProviderName))                         \
  X(17, 23, SetProviderType, SetProviderType, INT, INT(dwProviderType))                           \
  X(18, 24, SetKeySpec, SetKeySpec, INT, INT(dwKeySpec))                                          \
  X(19, 25, SetGenKeyFlags, SetGenKeyFlags, INT, INT(dwGenKeyFlags))                              \
  X(20, 26, CreatePKCS10, CreatePKCS10, TEXT, TEXT(strCommonName))                                \
  X(21, 27, AcceptPKCS7, AcceptPKCS7, INT, TEXT(strPkcs7))                                        \
  X(22, 40, Hash, Hash, TEXT, TEXT(strPlainText), INT(dwFlags))                                   \
  X(23, 41, HashFile, HashFile, TEXT, TEXT(strFileName), INT(dwFlags))                            \
  X(24, 50, RegisterPfx, RegisterPfx, INT, TEXT(strPfxPath), TEXT(strPfxName), TEXT(strPassword), \
    INT(registerMode), INT(dwFlags), INT(dwKeyUsage))                                             \
  X(25, 51, QueryUserInfo, QueryUserInfo, INT, TEXT(strID))                                       \
  X(26, 52, UpdateRegisterMode, UpdateRegisterMode, INT, TEXT(strID), TEXT(strPassword),          \
    INT(registerMode))                                                                            \
  X(27, 53, GetRegisterUserMode, GetRegisterUserMode, INT)                                        \
  X(28, 54, ExportPfxFromIE, ExportPfxFromIE, INT, TEXT(strSubject), TEXT(strPfxPath),            \
    TEXT(strPassword), INT(dwFlags), INT(dwKeyUsage))                                             \
  X(29, 55, GetRegisterPfxFilePath, GetRegisterPfxFilePath, TEXT)                                 \
  X(30, 56, GetRegisterPfxFileName, GetRegisterPfxFileName, TEXT)                                 \
  X(31, 57, GetExportedPfxFilePath, GetExportedPfxFilePath, TEXT)                                 \
  X(32, 58, GetExportedPfxFileName, GetExportedPfxFileName, TEXT)                                 \
  X(33, 59, ChangePfxPasswd, ChangePfxPasswd, INT, TEXT(strPfxPath), TEXT(strPfxName),            \
    TEXT(strOldPass), TEXT(strNewPass), INT(dwFlags))                                             \
  X(34, 60, SelectCertFromIE, SelectCertFromIE, INT, TEXT(strSubject), INT(dwFlags),              \
    INT(dwKeyUsage))                                                                              \
  X(35, 61, ExportMobileFromPfx, ExportMobileFromPfx, TEXT, TEXT(strPfxPath), TEXT(strPfxName),   \
    TEXT(strPasswd), INT(dwFlags), INT(dwKeyUsage))                                               \
  X(36, 62, ExportMobileFromIE, ExportMobileFromIE, TEXT, TEXT(strSubject), TEXT(strPasswd),      \
    INT(dwFlags), INT(dwKeyUsage))                                                                \
  X(37, 63, ImportPfxToIE, ImportPfxToIE, INT, TEXT(strPfxPath), TEXT(strPfxName),                \
    TEXT(strPasswd), INT(dwFlags), INT(dwKeyUsage))                                               \
  X(38, 70, SignPkcs1, SignPkcs1, TEXT, TEXT(strID), TEXT(strContent), INT(dwFlags),              \
    INT(dwKeyUsage))                                                                              \
  X(39, 71, SignPkcs7, SignPkcs7, TEXT, TEXT(strID), TEXT(strContent), INT(dwFlags),              \
    INT(dwKeyUsage))                                                                              \
  X(40, 80, GetRtnCert, GetRtnCert, TEXT)                                                         \
  X(41, 81, GetCertSubject, GetCertSubject, TEXT)                                                 \
  X(42, 82, GetCertIssuer, GetCertIssuer, TEXT)                                                   \
  X(43, 83, GetCertSerial, GetCertSerial, TEXT)                                                   \
  X(44, 84, GetCertFinger, GetCertFinger, TEXT)                                                   \
  X(45, 85, GetCertNotBefore, GetCertNotBefore, TEXT)                                             \
  X(46, 86, GetCertNotAfter, GetCertNotAfter, TEXT)                                               \
  X(47, 87, GetCertSubjectCN, GetCertSubjectCN, TEXT)

// ---- Preprocessor helpers to expand the argument lists of a row ----

#define ZYQ_PP_CAT(a, b) ZYQ_PP_CAT_(a, b)
#define ZYQ_PP_CAT_(a, b) a##b
#define ZYQ_PP_COUNT(...) ZYQ_PP_COUNT_(__VA_ARGS__ __VA_OPT__(, ) 6, 5, 4, 3, 2, 1, 0)
#define ZYQ_PP_COUNT_(_1, _2, _3, _4, _5, _6, N, ...) N

// ZYQ_MAP_ARGS(M, args...): M applied to each argument, joined by commas.
#define ZYQ_MAP_ARGS(M, ...) \
  ZYQ_PP_CAT(ZYQ_MAP_ARGS_, ZYQ_PP_COUNT(__VA_ARGS__))(M __VA_OPT__(, ) __VA_ARGS__)
#define ZYQ_MAP_ARGS_0(M)
#define ZYQ_MAP_ARGS_1(M, a) M(a)
#define ZYQ_MAP_ARGS_2(M, a, b) M(a), M(b)
#define ZYQ_MAP_ARGS_3(M, a, b, c) M(a), M(b), M(c)
#define ZYQ_MAP_ARGS_4(M, a, b, c, d) M(a), M(b), M(c), M(d)
#define ZYQ_MAP_ARGS_5(M, a, b, c, d, e) M(a), M(b), M(c), M(d), M(e)
#define ZYQ_MAP_ARGS_6(M, a, b, c, d, e, f) M(a), M(b), M(c), M(d), M(e), M(f)

// ZYQ_EACH_ARG(M, args...): M applied to each argument, without separators.
#define ZYQ_EACH_ARG(M, ...) \
  ZYQ_PP_CAT(ZYQ_EACH_ARG_, ZYQ_PP_COUNT(__VA_ARGS__))(M __VA_OPT__(, ) __VA_ARGS__)
#define ZYQ_EACH_ARG_0(M)
#define ZYQ_EACH_ARG_1(M, a) M(a)
#define ZYQ_EACH_ARG_2(M, a, b) M(a) M(b)
#define ZYQ_EACH_ARG_3(M, a, b, c) M(a) M(b) M(c)
#define ZYQ_EACH_ARG_4(M, a, b, c, d) M(a) M(b) M(c) M(d)
#define ZYQ_EACH_ARG_5(M, a, b, c, d, e) M(a) M(b) M(c) M(d) M(e)
#define ZYQ_EACH_ARG_6(M, a, b, c, d, e, f) M(a) M(b) M(c) M(d) M(e) M(f)

// An argument TEXT(x) or INT(x) is dispatched by pasting its kind onto a prefix:
// ZYQ_ARG_KIND(PREFIX_, TEXT(x)) expands to PREFIX_TEXT(x).
#define ZYQ_ARG_KIND(prefix, arg) ZYQ_PP_CAT_(prefix, arg)
