// The origins a web page may call the component from: an allow-list the user edits, and one an
// administrator installs for the whole machine, which wins.
//
//   user:    $XDG_CONFIG_HOME/zyqsec/allowed-origins (~/.config/zyqsec/allowed-origins);
//            on Windows %APPDATA%\zyqsec\allowed-origins
//   system:  /etc/zyqsec/allowed-origins; on Windows %ProgramData%\zyqsec\allowed-origins
//
// One origin a line, exactly as a browser writes it (scheme://host or scheme://host:port, no
// path, no trailing "/"; http or https), then optional words:
//
//   https://trade.example.com                  harmless and user-consent operations
//   https://quotes.example.com harmless        harmless operations only
//   http://127.0.0.1:8080 user-consent demo    also the built-in demonstration authority
//   https://old.example.com deny               nothing
//
// "#" starts a comment. A line the reader does not understand is ignored. The system file's
// line for an origin replaces the user's line for it; a system line "lock" makes the user's
// file ignored altogether.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "cli/OperationClasses.h"

namespace zyq::cli {

struct OriginAccess {
  bool allowed = false;      // on the list, not denied
  bool userConsent = false;  // user-consent operations too (else harmless only)
  bool demoAuthority = false;
};

class OriginPolicy {
 public:
  // Reads the two files (a missing file is an empty list).
  static OriginPolicy Load(const std::string& userFile, const std::string& systemFile);
  // Load of the files in this machine's settings folders (listed above).
  static OriginPolicy LoadInstalled();
  // The same from the files' texts.
  static OriginPolicy FromTexts(std::string_view userText, std::string_view systemText);

  OriginAccess For(std::string_view origin) const;
  // Whether an operation of this class may run for the origin.
  bool Permits(std::string_view origin, OperationClass operationClass) const;

 private:
  struct Entry {
    std::string origin;
    OriginAccess access;
  };
  std::vector<Entry> entries_;  // system entries first
};

// Whether text is an origin as the list and the browsers write it.
bool IsWebOrigin(std::string_view text);

// The files' places on this machine.

}  // namespace zyq::cli
