#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/ProcessSandbox.h"
#include "platform/posix/files/ErrnoMapping.h"

namespace zyq::platform {

SysError MakePrivateTempFolder(std::string_view prefix, std::string* path) {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp != nullptr && *tmp != '\0') ? tmp : "/tmp";
  std::string pattern = folder + "/" + std::string(prefix) + "XXXXXX";
  if (::mkdtemp(pattern.data()) == nullptr) return posix::ErrnoToSysError(errno);
  *path = pattern;
  return kErrorSuccess;
}

void RemoveFolderTree(const std::string& path) {
  std::error_code ignored;
  std::filesystem::remove_all(path, ignored);
}

SysError RunThisProgramAgain(const std::vector<std::string>& args,
                             const std::vector<std::pair<std::string, std::string>>& environment,
                             int* status) {
  std::vector<std::string> argv = {"zyqsec"};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> pointers;
  for (std::string& a : argv) pointers.push_back(a.data());
  pointers.push_back(nullptr);

  const pid_t child = ::fork();
  if (child < 0) return posix::ErrnoToSysError(errno);
  if (child == 0) {
    for (const auto& [name, value] : environment) ::setenv(name.c_str(), value.c_str(), 1);
    ::execv("/proc/self/exe", pointers.data());
    ::_exit(127);
  }
  int raw = 0;
  while (::waitpid(child, &raw, 0) < 0) {
    if (errno != EINTR) return posix::ErrnoToSysError(errno);
  }
  *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
  return kErrorSuccess;
}

}  // namespace zyq::platform
