// The master key's file, for machines where no Secret Service answers: $ZYQSEC_KEY_FILE, else
// $XDG_CONFIG_HOME/ZYQSecurities/master-key, else ~/.config/ZYQSecurities/master-key: outside
// the state folder, so that a copy of the state alone gives no key away. The file holds the 32
// bytes and nothing else; its folder is made 0700 and the file 0600, and a file that others may
// read, that belongs to another user or that is not a plain file is refused
// (kErrorAccessDenied), as is a link at its name.
#pragma once

#include <string>

#include "platform/Secret.h"
#include "platform/SystemErrors.h"

namespace zyq::platform::posix {

// The path, from the environment at each call.
std::string MasterKeyFilePath();

// Reads the file at path: kErrorSuccess with the bytes, kErrorFileNotFound when there is none,
// kErrorInvalidData when it does not hold exactly 32 bytes, else the error of reading it.
SysError ReadMasterKeyFile(const std::string& path, SecretBytes* bytes);

// Writes bytes to a new file at path (its folder made when missing), in full or not at all;
// kErrorFileExists when a file is there already (another process was first: read that one).
SysError CreateMasterKeyFile(const std::string& path, const SecretBytes& bytes);

}  // namespace zyq::platform::posix
