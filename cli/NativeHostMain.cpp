// zyqsec-native-host.exe: the program that the browsers' host manifests name on Windows. A
// browser starts it by its path with the caller's identity as the only arguments (Chrome the
// extension's origin, Firefox the manifest's path and the extension's ID), so it cannot be
// `zyqsec native-host`; it runs the same host.
#include <string>
#include <vector>

#include "cli/NativeHost.h"

int main(int argc, char** argv) {
  return zyq::cli::RunNativeHostCommand(std::vector<std::string>(argv + 1, argv + argc));
}
