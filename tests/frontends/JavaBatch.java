// The batch protocol of `zyqsec --batch`, spoken through the Java natives: every request line
// (a JSON array: the native's name, then its arguments as strings, nulls and integers) is one
// call on a ZYQSecATL object, and every answer line gives the result and the codes read after
// it. Only what the protocol's requests hold is parsed: arrays of strings, nulls and integers.
import com.ZYQ.ZYQSecATL;
import java.io.BufferedReader;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.lang.reflect.Method;
import java.nio.charset.StandardCharsets;
import java.util.ArrayList;
import java.util.List;

public class JavaBatch {
  private static final ZYQSecATL api = new ZYQSecATL();

  // Reads one JSON array of strings, nulls and integers.
  static final class Parser {
    private final String s;
    private int i = 0;

    Parser(String s) { this.s = s; }

    List<Object> array() {
      List<Object> values = new ArrayList<>();
      skip();
      expect('[');
      skip();
      if (peek() == ']') { ++i; return values; }
      while (true) {
        skip();
        values.add(value());
        skip();
        char c = next();
        if (c == ']') break;
        if (c != ',') throw new IllegalArgumentException("expected , or ] at " + i);
      }
      skip();
      if (i != s.length()) throw new IllegalArgumentException("text after the array");
      return values;
    }

    private Object value() {
      char c = peek();
      if (c == '"') return string();
      if (s.startsWith("null", i)) { i += 4; return null; }
      int start = i;
      if (c == '-') ++i;
      while (i < s.length() && Character.isDigit(s.charAt(i))) ++i;
      if (start == i) throw new IllegalArgumentException("bad value at " + i);
      return Long.parseLong(s.substring(start, i));
    }

    private String string() {
      expect('"');
      StringBuilder b = new StringBuilder();
      while (true) {
        char c = next();
        if (c == '"') return b.toString();
        if (c != '\\') { b.append(c); continue; }
        char e = next();
        switch (e) {
          case 'n': b.append('\n'); break;
          case 't': b.append('\t'); break;
          case 'r': b.append('\r'); break;
          case 'b': b.append('\b'); break;
          case 'f': b.append('\f'); break;
          case 'u': b.append((char) Integer.parseInt(s.substring(i, i + 4), 16)); i += 4; break;
          default: b.append(e);
        }
      }
    }

    private void skip() { while (i < s.length() && s.charAt(i) == ' ') ++i; }
    private char peek() { if (i >= s.length()) throw new IllegalArgumentException("short"); return s.charAt(i); }
    private char next() { char c = peek(); ++i; return c; }
    private void expect(char c) { if (next() != c) throw new IllegalArgumentException("expected " + c); }
  }

  static String quote(String text) {
    StringBuilder b = new StringBuilder("\"");
    for (int k = 0; k < text.length(); ++k) {
      char c = text.charAt(k);
      if (c == '"' || c == '\\') b.append('\\').append(c);
      else if (c < 0x20 || Character.isSurrogate(c)) b.append(String.format("\\u%04x", (int) c));
      else b.append(c);
    }
    return b.append('"').toString();
  }

  static Method find(String name, int arguments) {
    for (Method m : ZYQSecATL.class.getMethods()) {
      if (m.getName().equalsIgnoreCase(name) && m.getParameterCount() == arguments) return m;
    }
    return null;
  }

  static String answer(List<Object> values) throws Exception {
    if (values.isEmpty() || !(values.get(0) instanceof String)) {
      return "{\"error\": \"the first element must be the name of a native\"}";
    }
    Method m = find((String) values.get(0), values.size() - 1);
    if (m == null) return "{\"error\": \"unknown native\"}";
    Class<?>[] types = m.getParameterTypes();
    Object[] args = new Object[types.length];
    for (int k = 0; k < types.length; ++k) {
      Object v = values.get(k + 1);
      args[k] = types[k] == int.class ? (Object) Integer.valueOf((int) (long) (Long) v) : v;
    }
    Object result = m.invoke(api, args);
    String shown = result == null ? "null"
        : result instanceof String ? quote((String) result) : result.toString();
    return "{\"result\": " + shown + ", \"code\": " + api.GetErrorCode() + ", \"capi\": "
        + api.GetCapiErrorCode() + "}";
  }

  public static void main(String[] argv) throws Exception {
    BufferedReader in =
        new BufferedReader(new InputStreamReader(System.in, StandardCharsets.UTF_8));
    PrintStream out = new PrintStream(System.out, true, StandardCharsets.UTF_8);
    String line;
    while ((line = in.readLine()) != null) {
      if (line.isBlank()) continue;
      String shown;
      try {
        shown = answer(new Parser(line).array());
      } catch (IllegalArgumentException | ClassCastException e) {
        shown = "{\"error\": " + quote(String.valueOf(e.getMessage())) + "}";
      }
      out.println(shown);
    }
  }
}
