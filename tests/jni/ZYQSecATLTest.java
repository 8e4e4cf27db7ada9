// Drives libZYQSecuritiesATL.so through the class com.ZYQ.ZYQSecATL in a real virtual machine.
// Every native of the class is called; the null and empty-result rules are checked on each one
// that can show them. Operations are looked up by name, so the checks follow the class as
// operations are added to it. Exits with status 1 when a check fails.
import com.ZYQ.ZYQSecATL;
import java.lang.reflect.Method;
import java.lang.reflect.Modifier;
import java.nio.charset.StandardCharsets;
import java.security.MessageDigest;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.Comparator;
import java.util.List;

public class ZYQSecATLTest {
  private static final ZYQSecATL api = new ZYQSecATL();
  private static int failures = 0;
  private static int checks = 0;

  // Operations whose int result is not their result code.
  private static final List<String> NOT_RESULT_CODES =
      Arrays.asList("GetErrorCode", "GetCapiErrorCode", "GetRegisterUserMode",
          "PresetPasswdLengthRange");
  // Texts that describe the call before: they leave its code standing and always answer.
  private static final List<String> REPORTS_ON_PREVIOUS =
      Arrays.asList("GetErrorMsg", "GetCapiErrorMsg");

  private static void check(boolean ok, String what) {
    ++checks;
    if (!ok) {
      ++failures;
      System.err.println("FAILED: " + what);
    }
  }

  private static void checkEquals(Object expected, Object actual, String what) {
    check(expected == null ? actual == null : expected.equals(actual),
        what + ": expected <" + expected + "> but was <" + actual + ">");
  }

  private static Method method(String name) {
    for (Method m : ZYQSecATL.class.getDeclaredMethods()) {
      if (m.getName().equals(name)) return m;
    }
    return null;
  }

  private static List<Method> natives() {
    List<Method> list = new ArrayList<>();
    for (Method m : ZYQSecATL.class.getDeclaredMethods()) {
      if (Modifier.isNative(m.getModifiers())) list.add(m);
    }
    list.sort(Comparator.comparing(Method::getName));
    return list;
  }

  private static Object call(Method m, Object... args) throws Exception {
    return m.invoke(api, args);
  }

  // Harmless arguments: texts that name nothing that exists, zero integers.
  private static Object[] sampleArguments(Method m) {
    Class<?>[] types = m.getParameterTypes();
    Object[] args = new Object[types.length];
    for (int i = 0; i < types.length; ++i) {
      args[i] = types[i] == String.class ? "zyq-java-test-" + i : (Object) Integer.valueOf(0);
    }
    return args;
  }

  private static String hex(byte[] bytes) {
    StringBuilder s = new StringBuilder();
    for (byte b : bytes) s.append(String.format("%02X", b));
    return s.toString();
  }

  // Leaves a non-zero result code behind when some operation of the class can fail on demand.
  private static int provokeFailure() throws Exception {
    Method hash = method("Hash");
    if (hash != null) call(hash, "", 0);
    Method setKeyBits = method("SetKeyBits");
    if (api.GetErrorCode() == 0 && setKeyBits != null) call(setKeyBits, 1);
    return api.GetErrorCode();
  }

  static void freshEngine() {
    checkEquals(0, api.GetErrorCode(), "GetErrorCode after loading");
    checkEquals("成功(0)", api.GetErrorMsg(), "GetErrorMsg after loading");
    checkEquals(0, api.GetCapiErrorCode(), "GetCapiErrorCode after loading");
    checkEquals("成功(0)", api.GetCapiErrorMsg(), "GetCapiErrorMsg after loading");
    checkEquals("4.0.1.2", api.GetVersion(), "GetVersion");
    checkEquals(0, api.PresetPasswdLengthRange(20, 5), "PresetPasswdLengthRange");
  }

  // Every native links and follows the result conventions: a text result is null or
  // non-empty (never ""), null after a failure; an int result of an operation that reports an
  // outcome is that outcome.
  static void everyOperation() throws Exception {
    for (Method m : natives()) {
      Object result;
      try {
        result = call(m, sampleArguments(m));
      } catch (java.lang.reflect.InvocationTargetException e) {
        check(false, m.getName() + " threw " + e.getCause());
        continue;
      }
      int code = api.GetErrorCode();
      if (m.getReturnType() == String.class) {
        check(result == null || !((String) result).isEmpty(),
            m.getName() + " returned an empty string instead of null");
        if (REPORTS_ON_PREVIOUS.contains(m.getName())) {
          check(result != null, m.getName() + " gave no text");
        } else if (code != 0) {
          check(result == null, m.getName() + " failed with " + code + " but returned text");
        }
      } else if (!NOT_RESULT_CODES.contains(m.getName())) {
        checkEquals(code, result, m.getName() + " result against GetErrorCode");
      }
    }
  }

  // A null String in any position answers null or -1 without running the operation: the
  // result code of the call before stays.
  static void nullArguments() throws Exception {
    int tested = 0;
    for (Method m : natives()) {
      Class<?>[] types = m.getParameterTypes();
      for (int i = 0; i < types.length; ++i) {
        if (types[i] != String.class) continue;
        int before = provokeFailure();
        Object[] args = sampleArguments(m);
        args[i] = null;
        Object result = call(m, args);
        Object expected = m.getReturnType() == String.class ? null : (Object) Integer.valueOf(-1);
        checkEquals(expected, result, m.getName() + " with argument " + i + " null");
        checkEquals(before, api.GetErrorCode(), m.getName() + " with a null argument kept the code");
        ++tested;
      }
    }
    System.out.println("null-argument cases: " + tested);
  }

  static void digests() throws Exception {
    Method hash = method("Hash");
    if (hash == null) {
      System.out.println("Hash is not in the class yet: digest checks skipped");
      return;
    }
    checkEquals(null, call(hash, "", 0), "Hash of the empty text");
    checkEquals(5005, api.GetErrorCode(), "Hash of the empty text fails with 5005");
    String expected =
        hex(MessageDigest.getInstance("SHA-1").digest("abc".getBytes(StandardCharsets.UTF_16LE)));
    checkEquals(expected, call(hash, "abc", 2), "Hash of abc as UTF-16");
    checkEquals(expected, call(hash, "abc\0def", 2), "Hash of a text with a NUL stops at it");
    String cjk = "證券";
    checkEquals(
        hex(MessageDigest.getInstance("SHA-256").digest(cjk.getBytes(StandardCharsets.UTF_16LE))),
        call(hash, cjk, 3), "Hash of Chinese text as UTF-16");
  }

  // Texts through the registry helpers: Chinese text survives the ANSI code page, a text is cut
  // at a NUL on its way in, and a value read back empty is null although the reading succeeded.
  static void registryTexts() throws Exception {
    Method write = method("RegWriteHKCUStr");
    Method writeInt = method("RegWriteHKCUInt");
    Method read = method("RegReadHKCU");
    if (write == null || read == null || writeInt == null) {
      System.out.println("registry helpers are not in the class yet: registry checks skipped");
      return;
    }
    String key = "Software\\ZYQSecurities\\JavaTest\\";
    checkEquals(0, call(write, key + "Text", "證券 ab\0cd"), "RegWriteHKCUStr");
    checkEquals("證券 ab", call(read, key + "Text"), "RegReadHKCU of a text written with a NUL");
    checkEquals(0, call(write, key + "Empty", ""), "RegWriteHKCUStr of the empty text");
    checkEquals(null, call(read, key + "Empty"), "RegReadHKCU of an empty value");
    checkEquals(0, api.GetErrorCode(), "reading an empty value succeeded");
    checkEquals(null, call(read, key + "Missing"), "RegReadHKCU of a missing value");
    checkEquals(0, call(writeInt, key + "Number", -1), "RegWriteHKCUInt");
    checkEquals("-1", call(read, key + "Number"), "RegReadHKCU of a DWORD");
    checkEquals(null, call(read, "NoBackslash"), "RegReadHKCU of a name without a key");
    checkEquals(5005, api.GetErrorCode(), "RegReadHKCU of a name without a key fails with 5005");
  }

  static void specificRules() throws Exception {
    Method signPkcs7 = method("SignPkcs7");
    if (signPkcs7 != null) {
      checkEquals(null, call(signPkcs7, "nobody-registered", "text", 0, 0),
          "SignPkcs7 for a user without a registration");
      check(api.GetErrorCode() != 0, "SignPkcs7 without a registration leaves its code");
    }
    Method registerPfx = method("RegisterPfx");
    if (registerPfx != null) {
      int before = provokeFailure();
      checkEquals(-1, call(registerPfx, "a", null, "c", 0, 0, 0), "RegisterPfx with strPfxName null");
      checkEquals(before, api.GetErrorCode(), "RegisterPfx with a null name kept the code");
    }
    Method rtnCert = method("GetRtnCert");
    if (rtnCert != null) checkEquals(null, call(rtnCert), "GetRtnCert without a returned certificate");
  }

  public static void main(String[] args) throws Exception {
    freshEngine();
    everyOperation();
    nullArguments();
    digests();
    registryTexts();
    specificRules();
    System.out.println(natives().size() + " natives, " + checks + " checks, " + failures + " failed");
    System.exit(failures == 0 ? 0 : 1);
  }
}
