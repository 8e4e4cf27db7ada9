#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string_view>

#include "platform/ProcessSandbox.h"
#include "platform/posix/files/ErrnoMapping.h"

extern char** environ;

namespace zyq::platform {
namespace {

// The current environment with the given variables set (replacing any of the same name), as
// "NAME=value" entries.
std::vector<std::string> ChildEnvironment(
    const std::vector<std::pair<std::string, std::string>>& environment) {
  std::vector<std::string> entries;
  for (char** e = environ; e != nullptr && *e != nullptr; ++e) {
    const std::string_view entry(*e);
    const std::string_view name = entry.substr(0, entry.find('='));
    bool replaced = false;
    for (const auto& extra : environment) replaced = replaced || extra.first == name;
    if (!replaced) entries.emplace_back(entry);
  }
  for (const auto& [name, value] : environment) entries.push_back(name + "=" + value);
  return entries;
}

// A null-terminated array of pointers into the texts, for exec.
std::vector<char*> Pointers(std::vector<std::string>& texts) {
  std::vector<char*> pointers;
  pointers.reserve(texts.size() + 1);
  for (std::string& t : texts) pointers.push_back(t.data());
  pointers.push_back(nullptr);
  return pointers;
}

}  // namespace

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
  std::vector<std::string> envp = ChildEnvironment(environment);
  // Everything the child needs is built here: between fork and exec a child of a process with
  // threads may only make system calls (no allocation, no setenv).
  std::vector<char*> argPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(envp);

  const pid_t child = ::fork();
  if (child < 0) return posix::ErrnoToSysError(errno);
  if (child == 0) {
    ::execve("/proc/self/exe", argPointers.data(), envPointers.data());
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
