// MakeUserPfx with the openssl command, run when the test asks for the files. (The Windows test
// build reads the same files made beforehand: tests/win32/support/UserPfxPrepared.cpp.)
#include <gtest/gtest.h>

#include "tests/registration/PfxFiles.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

std::string Quote(const std::string& text) {
  std::string out = "'";
  for (char c : text) {
    if (c == '\'') {
      out += "'\\''";
    } else {
      out += c;
    }
  }
  return out + "'";
}

// One authority per process (and a second one for chains that cannot be completed).
std::string Authority(bool other) {
  static std::string folders[2];
  std::string& folder = folders[other ? 1 : 0];
  if (!folder.empty()) return folder;
  const std::string made = NewFolder(other ? "ca2" : "ca");
  const std::string subject =
      other ? "/C=TW/O=Other Test/CN=Other Test CA" : "/C=TW/O=Test/CN=Test CA";
  const int status = OpenSsl(
      "req -x509 -newkey rsa:1024 -nodes -keyout " + Quote(made + "/ca.key") + " -out " +
      Quote(made + "/ca.pem") + " -days 3650 -subj " + Quote(subject) +
      " -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign");
  EXPECT_EQ(status, 0);
  folder = made;
  return folder;
}

}  // namespace

UserPfx MakeUserPfx(const UserPfxSpec& spec) {
  const std::string ca = Authority(spec.otherAuthority);
  UserPfx files;
  files.folder = NewFolder("user");
  files.fileName = spec.fileName;
  files.path = files.folder + "/" + spec.fileName;
  files.keyPem = files.folder + "/key.pem";
  files.certPem = files.folder + "/cert.pem";
  files.caPem = ca + "/ca.pem";
  const std::string csr = files.folder + "/req.csr";
  const std::string ext = files.folder + "/ext.cnf";
  WriteFile(ext, spec.keyUsage.empty() ? "basicConstraints=CA:FALSE\n"
                                       : "keyUsage=" + spec.keyUsage + "\n");
  if (OpenSsl("req -new -newkey rsa:1024 -nodes -utf8 -keyout " + Quote(files.keyPem) + " -out " +
              Quote(csr) + " -subj " + Quote("/C=TW/O=Test/CN=" + spec.commonName)) != 0) {
    return UserPfx{};
  }
  if (OpenSsl("x509 -req -in " + Quote(csr) + " -CA " + Quote(ca + "/ca.pem") + " -CAkey " +
              Quote(ca + "/ca.key") + " -CAcreateserial -days " + std::to_string(spec.days) +
              " -extfile " + Quote(ext) + " -out " + Quote(files.certPem)) != 0) {
    return UserPfx{};
  }
  std::string exportArgs = "pkcs12 -export -inkey " + Quote(files.keyPem) + " -in " +
                           Quote(files.certPem) + " -out " + Quote(files.path) + " -passout " +
                           Quote("pass:" + spec.password);
  if (spec.includeCa) exportArgs += " -certfile " + Quote(ca + "/ca.pem");
  if (OpenSsl(exportArgs) != 0) return UserPfx{};
  return files;
}

}  // namespace zyq::test
