// The bad-input sweep through the Java natives of com.ZYQ.ZYQSecATL in a real virtual machine:
// every operation of the table, with bad values in each text, integer and path argument, the
// others harmless. A call must return (a watchdog ends the run when one takes too long), throw
// nothing, and answer by the class's rules with a documented result code.
//
// Usage: NativeSweep <operation table> <result codes header> <seconds per call>
// The operation table is the sweep driver's --table output.
import com.ZYQ.ZYQSecATL;
import java.lang.reflect.InvocationTargetException;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Paths;
import java.util.ArrayList;
import java.util.Arrays;
import java.util.HashSet;
import java.util.List;
import java.util.Set;
import java.util.regex.Matcher;
import java.util.regex.Pattern;

public class NativeSweep {
  private static final ZYQSecATL api = new ZYQSecATL();
  private static int failures = 0;
  private static int calls = 0;
  private static volatile long callStarted = 0;
  private static volatile String currentCall = "";

  private static final List<String> NOT_RESULT_CODES =
      Arrays.asList("GetErrorCode", "GetCapiErrorCode", "GetRegisterUserMode",
          "PresetPasswdLengthRange");
  private static final List<String> REPORTS_ON_PREVIOUS =
      Arrays.asList("GetErrorMsg", "GetCapiErrorMsg");

  private static final class Arg {
    final String name;
    final boolean text;
    Arg(String name, boolean text) {
      this.name = name;
      this.text = text;
    }
  }

  private static final class Value {
    final String label;
    final Object value;
    Value(String label, Object value) {
      this.label = label;
      this.value = value;
    }
  }

  private static void fail(String what) {
    ++failures;
    System.err.println("FAILED: " + what);
  }

  private static Method method(String name) {
    for (Method m : ZYQSecATL.class.getDeclaredMethods()) {
      if (m.getName().equals(name)) return m;
    }
    return null;
  }

  private static String repeat(char c, int n) {
    char[] chars = new char[n];
    Arrays.fill(chars, c);
    return new String(chars);
  }

  private static List<Value> textValues() {
    return Arrays.asList(new Value("null", null), new Value("empty", ""),
        new Value("1MiB", repeat('A', 1 << 20)), new Value("lone-high-surrogate", "\uD800"),
        new Value("lone-low-surrogate", "\uDC00"), new Value("surrogate-inside", "ab\uDBFFcd"),
        new Value("emoji", "\uD83D\uDE00"), new Value("thai", "\u0E01\u0E02"));
  }

  private static List<Value> intValues() {
    return Arrays.asList(new Value("0", 0), new Value("-1", -1),
        new Value("INT_MIN", Integer.MIN_VALUE), new Value("INT_MAX", Integer.MAX_VALUE));
  }

  private static List<Value> pathValues(String tmp, String fifo) {
    return Arrays.asList(new Value("folder", tmp), new Value("/dev/null", "/dev/null"),
        new Value("/dev/zero", "/dev/zero"), new Value("/dev/urandom", "/dev/urandom"),
        new Value("fifo", fifo), new Value("missing-drive", "Z:\\nothing\\x.pfx"),
        new Value("missing-folder", tmp + "/no-such-folder/x.pfx"));
  }

  private static boolean isPath(String name) {
    return name.contains("Path") || name.contains("FileName");
  }

  private static void sweepCall(String name, Method m, List<Arg> args, Object[] values,
      String what) throws Exception {
    boolean anyNull = false;
    for (Object v : values) anyNull |= v == null && args.size() > 0;
    Object result;
    currentCall = name + " " + what;
    callStarted = System.nanoTime();
    try {
      result = m.invoke(api, values);
    } catch (InvocationTargetException e) {
      fail(name + " " + what + " threw " + e.getCause());
      return;
    } finally {
      callStarted = 0;
    }
    ++calls;
    int code = api.GetErrorCode();
    String message = api.GetErrorMsg();
    if (message == null || message.isEmpty()) fail(name + " " + what + ": no GetErrorMsg text");
    if (!documented.contains(code)) fail(name + " " + what + ": undocumented code " + code);
    if (m.getReturnType() == String.class) {
      if (result != null && ((String) result).isEmpty()) {
        fail(name + " " + what + ": an empty string instead of null");
      }
      if (anyNull) {
        if (result != null) fail(name + " " + what + ": text for a null argument");
      } else if (!REPORTS_ON_PREVIOUS.contains(name) && code != 0 && result != null) {
        fail(name + " " + what + ": text with code " + code);
      }
    } else if (anyNull) {
      if (((Integer) result) != -1) fail(name + " " + what + ": " + result + " for a null argument");
    } else if (!NOT_RESULT_CODES.contains(name) && ((Integer) result) != code) {
      fail(name + " " + what + ": result " + result + " but GetErrorCode " + code);
    }
  }

  private static Set<Integer> documented = new HashSet<>();

  public static void main(String[] argv) throws Exception {
    final long limit = Long.parseLong(argv[2]) * 1_000_000_000L;
    Thread watchdog = new Thread(() -> {
      while (true) {
        long started = callStarted;
        if (started != 0 && System.nanoTime() - started > limit) {
          System.err.println("FAILED: hung in " + currentCall);
          System.err.flush();
          Runtime.getRuntime().halt(3);
        }
        try {
          Thread.sleep(200);
        } catch (InterruptedException e) {
          return;
        }
      }
    });
    watchdog.setDaemon(true);
    watchdog.start();

    Pattern code = Pattern.compile("inline constexpr int32_t k\\w+ = (\\d+);");
    for (String line : Files.readAllLines(Paths.get(argv[1]), StandardCharsets.UTF_8)) {
      Matcher matcher = code.matcher(line);
      if (matcher.find()) documented.add(Integer.parseInt(matcher.group(1)));
    }
    if (documented.size() < 20) throw new IllegalStateException("no result codes in " + argv[1]);

    String tmp = System.getenv("TMPDIR");
    String fifo = tmp + "/sweep.fifo";
    new ProcessBuilder("mkfifo", fifo).inheritIO().start().waitFor();

    int operations = 0;
    String[] classes = {"text", "int", "path"};
    for (String line : Files.readAllLines(Paths.get(argv[0]), StandardCharsets.UTF_8)) {
      String[] parts = line.trim().split(" ");
      if (parts.length == 0 || parts[0].isEmpty()) continue;
      String name = parts[0];
      Method m = method(name);
      if (m == null) {
        fail(name + " is not a native of the class");
        continue;
      }
      List<Arg> args = new ArrayList<>();
      for (int i = 1; i < parts.length; ++i) {
        String[] nameKind = parts[i].split(":");
        args.add(new Arg(nameKind[0], nameKind[1].equals("text")));
      }
      Object[] harmless = new Object[args.size()];
      for (int i = 0; i < args.size(); ++i) harmless[i] = args.get(i).text ? "zyq-sweep" : 0;
      sweepCall(name, m, args, harmless.clone(), "harmless");
      for (String cls : classes) {
        for (int i = 0; i < args.size(); ++i) {
          Arg a = args.get(i);
          boolean inClass = cls.equals("int") ? !a.text
              : cls.equals("text") ? a.text : a.text && isPath(a.name);
          if (!inClass) continue;
          List<Value> values = cls.equals("int") ? intValues()
              : cls.equals("text") ? textValues() : pathValues(tmp, fifo);
          for (Value v : values) {
            Object[] call = harmless.clone();
            call[i] = v.value;
            sweepCall(name, m, args, call, a.name + "=" + v.label);
          }
        }
      }
      int folder = -1, file = -1;
      for (int i = 0; i < args.size(); ++i) {
        if (args.get(i).name.equals("strPfxPath")) folder = i;
        if (args.get(i).name.equals("strPfxName")) file = i;
      }
      if (folder >= 0 && file >= 0) {
        for (String device : new String[] {"zero", "null", "urandom"}) {
          Object[] call = harmless.clone();
          call[folder] = "/dev";
          call[file] = device;
          sweepCall(name, m, args, call, "strPfxPath=/dev,strPfxName=" + device);
        }
      }
      ++operations;
    }
    System.out.println("swept " + operations + " operations through the Java natives: " + calls
        + " calls, " + failures + " failed");
    if (operations != ZYQSecATL.class.getDeclaredMethods().length - countNonNatives()) {
      fail("the table has " + operations + " operations, the class "
          + (ZYQSecATL.class.getDeclaredMethods().length - countNonNatives()) + " natives");
    }
    System.exit(failures == 0 && operations > 0 ? 0 : 1);
  }

  private static int countNonNatives() {
    int n = 0;
    for (Method m : ZYQSecATL.class.getDeclaredMethods()) {
      if (!java.lang.reflect.Modifier.isNative(m.getModifiers())) ++n;
    }
    return n;
  }
}
