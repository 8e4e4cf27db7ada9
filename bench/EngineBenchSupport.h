// Shared pieces of the engine benchmarks: the temporary state folder the whole run works in, and
// the registered signing user that the signing benchmarks sign for.
#pragma once

#include <string>

#include "bench/TimeInTurns.h"

namespace zyq::bench {

// The folder made for this run ($ZYQSEC_HOME, $HOME and $TMPDIR point below it).
const std::string& RunFolder();

// A user whose PKCS#12 file (made with OpenSSL: a 2048-bit RSA key and a certificate issued by
// a throw-away authority) is registered with the engine in register mode 3, so that signatures
// need no dialog. Made on first use.
struct SigningUser {
  std::string id;        // the user ID the certificate's common name carries
  std::string pfxPath;   // the PKCS#12 file
  std::string password;  // its password
};
const SigningUser& RegisteredUser();

// The text every signing benchmark signs.
inline constexpr const char* kOrderText = "BUY 2330 1000 shares @ 580.00, account 9801-1234567";

void RegisterHashFileBenchmarks();
void RegisterSigningBenchmarks();
void RegisterRequestBenchmarks();
void RegisterLoadBenchmarks();

}  // namespace zyq::bench
