// The library without GTK: it needs no library of the GTK stack to load, a process that cannot
// load the toolkit still signs and gets "cannot be created" from its dialogs, a process without
// a display never maps the toolkit, and one with a display finds the GTK module beside the
// library. The processes are toolkit_probe, which loads the built library with dlopen.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tests/registration/PfxFiles.h"
#include "tests/support/TestEnvironment.h"

extern char** environ;

namespace zyq::test {
namespace {

// Runs the program with the arguments and this process's environment changed by `set` (a
// value) and `unset`; standard input is /dev/null, standard output is returned.
std::string Run(const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& set,
                const std::vector<std::string>& unset, int* status) {
  std::vector<std::string> environment;
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string text = *entry;
    const std::string name = text.substr(0, text.find('='));
    bool dropped = set.count(name) != 0;
    for (const std::string& u : unset) dropped = dropped || u == name;
    if (!dropped) environment.push_back(text);
  }
  for (const auto& [name, value] : set) environment.push_back(name + "=" + value);
  std::vector<char*> envp;
  for (std::string& e : environment) envp.push_back(e.data());
  envp.push_back(nullptr);
  std::vector<std::string> copies = arguments;
  std::vector<char*> argv;
  for (std::string& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);

  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) return {};
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  close(out[1]);
  std::string output;
  char buffer[512];
  for (ssize_t n; (n = read(out[0], buffer, sizeof buffer)) > 0;) output.append(buffer, n);
  close(out[0]);
  *status = -1;
  if (spawned == 0) waitpid(pid, status, 0);
  return output;
}

// The probe's "name=value" lines.
std::map<std::string, std::string> Probe(const std::vector<std::string>& arguments,
                                         const std::map<std::string, std::string>& set,
                                         const std::vector<std::string>& unset) {
  std::vector<std::string> command{ZYQ_TOOLKIT_PROBE, ZYQ_LIBRARY_PATH};
  command.insert(command.end(), arguments.begin(), arguments.end());
  int status = 0;
  std::istringstream output(Run(command, set, unset, &status));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "probe status " << status;
  std::map<std::string, std::string> lines;
  for (std::string line; std::getline(output, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) lines[line.substr(0, equals)] = line.substr(equals + 1);
  }
  return lines;
}

TEST(ToolkitLoadingTest, TheLibraryNeedsNoLibraryOfTheGtkStack) {
  std::string ldd;
  ASSERT_EQ(RunCommand(std::string("ldd ") + ZYQ_LIBRARY_PATH, &ldd), 0);
  ASSERT_NE(ldd.find("libcrypto"), std::string::npos) << ldd;
  const std::regex toolkit(
      R"((gtk|gdk|glib|gobject|gio|gmodule|pango|cairo|atk|harfbuzz|fontconfig|freetype|wayland|libX)[^ ]*\.so)");
  EXPECT_FALSE(std::regex_search(ldd, toolkit)) << ldd;
}

TEST(ToolkitLoadingTest, WithoutTheToolkitSignaturesWorkAndDialogsAreNotCreated) {
  const UserPfx pfx = MakeUserPfx({.commonName = "A123456789"});
  ASSERT_FALSE(pfx.path.empty());
  // A display is named and GTK is asked for, but the module cannot be found.
  auto lines = Probe({pfx.folder, pfx.fileName, "pass1234", "A123456789"},
                     {{"ZYQSEC_UI", "gtk"},
                      {"DISPLAY", ":0"},
                      {"ZYQSEC_GTK_MODULE", TestRoot() + "/no-such-module.so"}},
                     {});
  EXPECT_EQ(lines["register"], "0");
  EXPECT_EQ(lines["sign"], "0");
  EXPECT_GT(std::atoi(lines["signature_chars"].c_str()), 1000);
  EXPECT_EQ(lines["hashfile"], "5002");
  EXPECT_EQ(lines["toolkit_mapped"], "0");
}

TEST(ToolkitLoadingTest, WithoutADisplayTheToolkitIsNeverLoaded) {
  auto lines = Probe({}, {}, {"ZYQSEC_UI", "DISPLAY", "WAYLAND_DISPLAY", "ZYQSEC_GTK_MODULE"});
  EXPECT_EQ(lines["hashfile"], "5002");
  EXPECT_EQ(lines["module_mapped"], "0");
  EXPECT_EQ(lines["toolkit_mapped"], "0");
}

#ifdef ZYQ_GTK_MODULE_BUILT
TEST(ToolkitLoadingTest, TheModuleIsFoundBesideTheLibrary) {
  // A display that cannot be opened: the module and GTK load, the dialog is not created.
  auto lines = Probe({}, {{"ZYQSEC_UI", "gtk"}, {"DISPLAY", ":64999"}},
                     {"WAYLAND_DISPLAY", "ZYQSEC_GTK_MODULE"});
  EXPECT_EQ(lines["hashfile"], "5002");
  EXPECT_EQ(lines["module_mapped"], "1");
  EXPECT_EQ(lines["toolkit_mapped"], "1");
}
#endif

}  // namespace
}  // namespace zyq::test
