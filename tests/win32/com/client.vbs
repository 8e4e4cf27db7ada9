' A VBScript client of ZYQSecuritiesATL.ZYQapi, run by run_com_clients.sh with cscript in two
' steps around the authority (openssl on the Linux side), as client.js is:
'   cscript //nologo client.vbs request <user>
'   cscript //nologo client.vbs finish <user> <PKCS#7 answer, Base64> <folder>
' Lines "DATA <name> <value>" carry what openssl checks afterwards; the last line is always
' "<n> passed, <m> failed" (cscript ends with status 0 even when a script fails).
Option Explicit
Dim passed, failed
passed = 0
failed = 0
Sub Check(what, ok, got)
  If ok Then
    passed = passed + 1
    WScript.Echo "ok " & what
  Else
    failed = failed + 1
    WScript.Echo "FAIL " & what & ": " & got
  End If
End Sub
Sub Data(name, value)
  WScript.Echo "DATA " & name & " " & value
End Sub

Const order = "BUY 2330 1000 shares @ 580.00"
Const provider = "Microsoft Enhanced Cryptographic Provider v1.0"

Sub Run()
  Dim api, user, key, request, answer, folder, file, p7, p1
  Set api = CreateObject("ZYQSecuritiesATL.ZYQapi")
  user = WScript.Arguments(1)
  If WScript.Arguments(0) = "request" Then
    Check "GetVersion", api.GetVersion = "4.0.1.2", api.GetVersion
    Check "fresh object succeeded", api.GetErrorCode = 0, api.GetErrorCode
    Check "SetKeyBits(123) refused", api.SetKeyBits(123) = 5301, api.GetErrorCode
    Check "GetErrorCode after it", api.GetErrorCode = 5301, api.GetErrorCode
    Check "GetErrorMsg names the code", InStr(api.GetErrorMsg, "(5301)") > 0, ""
    Check "GetCapiErrorCode is a number", VarType(api.GetCapiErrorCode) = vbLong, ""
    Check "GetCapiErrorMsg is text", VarType(api.GetCapiErrorMsg) = vbString, ""
    Check "PresetPasswdLengthRange", api.PresetPasswdLengthRange(1, 16) = 0, ""
    Check "Hash SHA-1 of abc", api.Hash("abc", 18) = "A9993E364706816ABA3E25717850C26C9CD0D89D", _
          api.Hash("abc", 18)
    Check "Hash converts a number argument", api.Hash(12, "18") = api.Hash("12", 18), ""
    key = "Software\ZYQSecurities\" & user & "VBS\"
    Check "RegWriteHKCUStr", api.RegWriteHKCUStr(key & "text", "Taipei") = 0, api.GetErrorCode
    Check "RegReadHKCU of the text", api.RegReadHKCU(key & "text") = "Taipei", _
          api.RegReadHKCU(key & "text")
    Check "RegWriteHKCUInt", api.RegWriteHKCUInt(key & "number", 77) = 0, api.GetErrorCode
    Check "RegReadHKCU of the number", api.RegReadHKCU(key & "number") = "77", _
          api.RegReadHKCU(key & "number")
    Check "RegReadHKCU without a backslash", _
          api.RegReadHKCU("plain") = "" And api.GetErrorCode = 5005, api.GetErrorCode
    Check "GetWindowsSystemName", Len(api.GetWindowsSystemName) > 0, ""
    Check "GetDefaultCertPath", Len(api.GetDefaultCertPath) > 0, ""
    Check "GetMacAddress is text", VarType(api.GetMacAddress) = vbString, ""
    Check "EnumProviders(0, 0)", Len(api.EnumProviders(0, 0)) > 0, api.GetErrorCode
    Check "SetProviderName", api.SetProviderName(provider) = 0, api.GetErrorCode
    Check "SetKeyBits(2048)", api.SetKeyBits(2048) = 0, api.GetErrorCode
    request = api.CreatePKCS10(user)
    Check "CreatePKCS10", api.GetErrorCode = 0 And Len(request) > 0, api.GetErrorCode
    Data "pkcs10", request
  Else
    answer = WScript.Arguments(2)
    folder = WScript.Arguments(3)
    Check "AcceptPKCS7", api.AcceptPKCS7(answer) = 0, api.GetErrorCode
    Check "ExportPfxFromIE", api.ExportPfxFromIE("CN=" & user, folder, "", 8, 0) = 0, _
          api.GetErrorCode
    file = api.GetExportedPfxFileName
    Check "GetExportedPfxFileName", Len(file) > 0, file
    Data "pfx", file
    Check "RegisterPfx", api.RegisterPfx(folder, file, "Scen#2024", 3, 0, 0) = 0, api.GetErrorCode
    Check "QueryUserInfo", api.QueryUserInfo(user) = 0, api.GetErrorCode
    Check "GetRegisterUserMode", api.GetRegisterUserMode = 3, api.GetRegisterUserMode
    Check "GetRegisterPfxFileName", api.GetRegisterPfxFileName = file, api.GetRegisterPfxFileName
    p7 = api.SignPkcs7(user, order, &H800 Or &H2000, 0)
    Check "SignPkcs7", api.GetErrorCode = 0 And Len(p7) > 0, api.GetErrorCode
    Data "pkcs7", p7
    Check "GetCertSubjectCN of the signer", api.GetCertSubjectCN = user, api.GetCertSubjectCN
    Check "GetCertSubject", InStr(api.GetCertSubject, "CN=" & user) > 0, api.GetCertSubject
    Check "GetCertIssuer", InStr(api.GetCertIssuer, "Scenario CA") > 0, api.GetCertIssuer
    Check "GetCertFinger", Len(api.GetCertFinger) = 40, api.GetCertFinger
    Check "GetCertNotBefore", Len(api.GetCertNotBefore) > 0, ""
    Check "GetCertNotAfter", Len(api.GetCertNotAfter) > 0, ""
    Data "serial", api.GetCertSerial
    Data "cert", api.GetRtnCert
    p1 = api.SignPkcs1(user, order, &H800 Or &H100, 0)
    Check "SignPkcs1", api.GetErrorCode = 0 And Len(p1) > 0, api.GetErrorCode
    Data "pkcs1", p1
  End If
End Sub

On Error Resume Next
Run
If Err.Number <> 0 Then
  failed = failed + 1
  WScript.Echo "FAIL script error " & Hex(Err.Number)
End If
On Error GoTo 0
WScript.Echo passed & " passed, " & failed & " failed"
