// A JScript client of ZYQSecuritiesATL.ZYQapi, run by run_com_clients.sh with cscript in two
// steps around the authority (openssl on the Linux side):
//   cscript //nologo client.js request <user>
//       every operation group that needs no certificate, then a PKCS#10 request for <user>
//   cscript //nologo client.js finish <user> <PKCS#7 answer, Base64> <folder>
//       the answer installed, exported to PKCS#12 in <folder> (password from the scripted
//       dialog), registered, PKCS#7 and PKCS#1 signatures, the certificate accessors
// Lines "DATA <name> <value>" carry what openssl checks afterwards. cscript ends with status 0
// even when a script fails, so the last line is always "<n> passed, <m> failed".
var passed = 0, failed = 0;
function check(what, ok, got) {
  if (ok) { passed++; WScript.Echo("ok " + what); }
  else { failed++; WScript.Echo("FAIL " + what + ": " + got); }
}
function data(name, value) { WScript.Echo("DATA " + name + " " + value); }

var order = "BUY 2330 1000 shares @ 580.00";
var provider = "Microsoft Enhanced Cryptographic Provider v1.0";
var args = WScript.Arguments;
try {
  var api = new ActiveXObject("ZYQSecuritiesATL.ZYQapi");
  var user = args(1);
  if (args(0) == "request") {
    check("GetVersion", api.GetVersion() == "4.0.1.2", api.GetVersion());
    check("fresh object succeeded", api.GetErrorCode() == 0, api.GetErrorCode());
    check("SetKeyBits(123) refused", api.SetKeyBits(123) == 5301, api.GetErrorCode());
    check("GetErrorCode after it", api.GetErrorCode() == 5301, api.GetErrorCode());
    check("GetErrorMsg names the code", api.GetErrorMsg().indexOf("(5301)") >= 0, "");
    check("GetCapiErrorCode is a number", typeof api.GetCapiErrorCode() == "number", "");
    check("GetCapiErrorMsg is text", typeof api.GetCapiErrorMsg() == "string", "");
    check("PresetPasswdLengthRange", api.PresetPasswdLengthRange(1, 16) == 0, "");
    check("Hash SHA-1 of abc", api.Hash("abc", 18) == "A9993E364706816ABA3E25717850C26C9CD0D89D",
          api.Hash("abc", 18));
    check("Hash converts a number argument", api.Hash(12, "18") == api.Hash("12", 18), "");
    var key = "Software\\ZYQSecurities\\" + user + "JS\\";
    check("RegWriteHKCUStr", api.RegWriteHKCUStr(key + "text", "Taipei") == 0, api.GetErrorCode());
    check("RegReadHKCU of the text", api.RegReadHKCU(key + "text") == "Taipei",
          api.RegReadHKCU(key + "text"));
    check("RegWriteHKCUInt", api.RegWriteHKCUInt(key + "number", 77) == 0, api.GetErrorCode());
    check("RegReadHKCU of the number", api.RegReadHKCU(key + "number") == "77",
          api.RegReadHKCU(key + "number"));
    check("RegReadHKCU without a backslash", api.RegReadHKCU("plain") == "" &&
          api.GetErrorCode() == 5005, api.GetErrorCode());
    check("GetWindowsSystemName", api.GetWindowsSystemName().length > 0, "");
    check("GetDefaultCertPath", api.GetDefaultCertPath().length > 0, "");
    check("GetMacAddress is text", typeof api.GetMacAddress() == "string", "");
    check("EnumProviders(0, 0)", api.EnumProviders(0, 0).length > 0, api.GetErrorCode());
    check("SetProviderName", api.SetProviderName(provider) == 0, api.GetErrorCode());
    check("SetKeyBits(2048)", api.SetKeyBits(2048) == 0, api.GetErrorCode());
    var request = api.CreatePKCS10(user);
    check("CreatePKCS10", api.GetErrorCode() == 0 && request.length > 0, api.GetErrorCode());
    data("pkcs10", request);
  } else {
    var answer = args(2), folder = args(3);
    check("AcceptPKCS7", api.AcceptPKCS7(answer) == 0, api.GetErrorCode());
    check("ExportPfxFromIE", api.ExportPfxFromIE("CN=" + user, folder, "", 8, 0) == 0,
          api.GetErrorCode());
    var file = api.GetExportedPfxFileName();
    check("GetExportedPfxFileName", file.length > 0, file);
    data("pfx", file);
    check("RegisterPfx", api.RegisterPfx(folder, file, "Scen#2024", 3, 0, 0) == 0,
          api.GetErrorCode());
    check("QueryUserInfo", api.QueryUserInfo(user) == 0, api.GetErrorCode());
    check("GetRegisterUserMode", api.GetRegisterUserMode() == 3, api.GetRegisterUserMode());
    check("GetRegisterPfxFileName", api.GetRegisterPfxFileName() == file,
          api.GetRegisterPfxFileName());
    var p7 = api.SignPkcs7(user, order, 0x800 | 0x2000, 0);
    check("SignPkcs7", api.GetErrorCode() == 0 && p7.length > 0, api.GetErrorCode());
    data("pkcs7", p7);
    check("GetCertSubjectCN of the signer", api.GetCertSubjectCN() == user, api.GetCertSubjectCN());
    check("GetCertSubject", api.GetCertSubject().indexOf("CN=" + user) >= 0, api.GetCertSubject());
    check("GetCertIssuer", api.GetCertIssuer().indexOf("Scenario CA") >= 0, api.GetCertIssuer());
    check("GetCertFinger", api.GetCertFinger().length == 40, api.GetCertFinger());
    check("GetCertNotBefore", api.GetCertNotBefore().length > 0, "");
    check("GetCertNotAfter", api.GetCertNotAfter().length > 0, "");
    data("serial", api.GetCertSerial());
    data("cert", api.GetRtnCert());
    var p1 = api.SignPkcs1(user, order, 0x800 | 0x100, 0);
    check("SignPkcs1", api.GetErrorCode() == 0 && p1.length > 0, api.GetErrorCode());
    data("pkcs1", p1);
  }
} catch (e) {
  failed++;
  WScript.Echo("FAIL script error " + (e.number >>> 0).toString(16));
}
WScript.Echo(passed + " passed, " + failed + " failed");
