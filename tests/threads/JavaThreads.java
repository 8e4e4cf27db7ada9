// Eight Java threads calling the natives of one ZYQSecATL object at once: PKCS#1 signatures
// checked here with the certificate's public key, PKCS#7 signatures written out for openssl to
// check, digests against MessageDigest, registry values read back as each thread wrote them.
// Usage: JavaThreads <pfx folder> <pfx file> <password> <user id> <certificate PEM> <out folder>
import com.ZYQ.ZYQSecATL;
import java.io.FileInputStream;
import java.nio.charset.StandardCharsets;
import java.nio.file.Files;
import java.nio.file.Path;
import java.security.MessageDigest;
import java.security.Signature;
import java.security.cert.CertificateFactory;
import java.security.cert.X509Certificate;
import java.util.ArrayList;
import java.util.Base64;
import java.util.HexFormat;
import java.util.List;
import java.util.concurrent.atomic.AtomicInteger;

public class JavaThreads {
  static final int THREADS = 8;
  static final int ROUNDS = 40;
  static final AtomicInteger failures = new AtomicInteger();
  static final AtomicInteger checks = new AtomicInteger();

  static void check(boolean ok, String what) {
    checks.incrementAndGet();
    if (!ok) {
      failures.incrementAndGet();
      System.out.println("FAILED: " + what);
    }
  }

  public static void main(String[] args) throws Exception {
    String folder = args[0], file = args[1], password = args[2], id = args[3];
    Path out = Path.of(args[5]);
    X509Certificate cert;
    try (FileInputStream in = new FileInputStream(args[4])) {
      cert = (X509Certificate) CertificateFactory.getInstance("X.509").generateCertificate(in);
    }
    ZYQSecATL api = new ZYQSecATL();
    check(api.RegisterPfx(folder, file, password, 3, 0, 0) == 0, "RegisterPfx");

    List<Thread> threads = new ArrayList<>();
    for (int t = 0; t < THREADS; ++t) {
      final int thread = t;
      threads.add(new Thread(() -> {
        try {
          work(api, thread, id, cert, out);
        } catch (Exception e) {
          check(false, "thread " + thread + " threw " + e);
        }
      }));
    }
    for (Thread t : threads) t.start();
    for (Thread t : threads) t.join();
    System.out.println(checks.get() + " checks, " + failures.get() + " failed");
    System.exit(failures.get() == 0 && checks.get() > 0 ? 0 : 1);
  }

  static void work(ZYQSecATL api, int thread, String id, X509Certificate cert, Path out)
      throws Exception {
    String valueName = "Software\\ZYQThreadTest\\Java" + thread;
    MessageDigest sha256 = MessageDigest.getInstance("SHA-256");
    for (int n = 0; n < ROUNDS; ++n) {
      String tag = thread + "-" + n;
      String content = "order " + tag + " 2330 buy 1000 @ 612.5";
      if (thread % 2 == 0) {
        // 0x900: Base64 of the signature over the text's ANSI bytes with SHA-1.
        String sig = api.SignPkcs1(id, content, 0x900, 0);
        Signature verifier = Signature.getInstance("SHA1withRSA");
        verifier.initVerify(cert.getPublicKey());
        verifier.update(content.getBytes(StandardCharsets.US_ASCII));
        check(sig != null && verifier.verify(Base64.getDecoder().decode(sig)),
            "PKCS#1 signature of " + content);
      } else if (n % 4 == 0) {
        String sig = api.SignPkcs7(id, content, 0x800, 0);
        check(sig != null, "PKCS#7 signature of " + content);
        if (sig != null) {
          Files.writeString(out.resolve("sig-" + tag + ".b64"), sig);
          Files.writeString(out.resolve("sig-" + tag + ".txt"), content);
        }
      }
      String text = "digest " + tag;
      String expected = HexFormat.of().withUpperCase().formatHex(
          sha256.digest(text.getBytes(StandardCharsets.US_ASCII)));
      check(expected.equals(api.Hash(text, 0x13)), "digest of " + text);
      String value = "value " + tag;
      check(api.RegWriteHKCUStr(valueName, value) == 0, "RegWriteHKCUStr " + value);
      check(value.equals(api.RegReadHKCU(valueName)), "RegReadHKCU " + value);
      check(api.QueryUserInfo(id) == 0, "QueryUserInfo");
    }
  }
}
