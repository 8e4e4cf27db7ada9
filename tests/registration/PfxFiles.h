// PKCS#12 files and certificates for the registration and signing tests, made with the openssl
// command (an implementation independent of the engine), and small helpers around them.
#pragma once

#include <string>
#include <vector>

namespace zyq::test {

// A user certificate issued by a test authority, with its key, written into a folder of its
// own: key.pem, cert.pem, and the PKCS#12 file.
struct UserPfx {
  std::string folder;    // the folder of the PKCS#12 file (POSIX path, UTF-8)
  std::string fileName;  // its name
  std::string path;      // folder/fileName
  std::string certPem;   // path of the user certificate (PEM)
  std::string keyPem;    // path of the user key (PEM)
  std::string caPem;     // path of the authority's certificate (PEM)
};

struct UserPfxSpec {
  std::string commonName = "A123456789";  // UTF-8
  std::string password = "pass1234";
  std::string fileName = "user.pfx";
  // The key usage extension ("" leaves it out).
  std::string keyUsage = "critical,digitalSignature,nonRepudiation";
  bool includeCa = false;       // put the authority's certificate into the file too
  int days = 3650;              // validity from now
  bool otherAuthority = false;  // issued by a second authority (its certificate nowhere else)
};

// Makes the files; fails the current test (and returns an empty path) when openssl fails.
UserPfx MakeUserPfx(const UserPfxSpec& spec);

// A new empty folder under the test root (its path with the system's separator).
std::string NewFolder(const std::string& name);

// Runs openssl with the arguments; the exit status, its output in *output.
int OpenSsl(const std::string& arguments, std::string* output = nullptr);

// UTF-16 of UTF-8 text.
std::u16string U16(const std::string& utf8);

// Bytes as lower-case hex.
std::string HexOf(const std::string& bytes);

// The default certificate folder of the test process ($HOME/ZYQ證券; on Windows in the user's
// profile folder), UTF-8.
std::string DefaultCertFolderUtf8();

}  // namespace zyq::test
