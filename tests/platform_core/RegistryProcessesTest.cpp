// Several processes using the registry at once, and processes that die in the middle of a change.
// The other processes are this test program started again with ZYQ_REGISTRY_CHILD naming their
// part; they run it before the test main and exit.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/Registry.h"
#include "platform/posix/StateDatabase.h"

namespace zyq::platform {
namespace {

const RegistryKey kHkcu = RegistryKey::Root(RegistryHive::kCurrentUser);

std::string Pattern(uint32_t i) {
  std::string data(4096, '\0');
  for (size_t j = 0; j < data.size(); ++j) data[j] = static_cast<char>((i * 131 + j * 7) & 0xFF);
  return data;
}

std::string Dword(uint32_t v) {
  return std::string(reinterpret_cast<const char*>(&v), 4);
}

// Writes N keys and N values under Software\Race\TAG and Software\Race, racing the other writer.
int RunWriter(const std::string& tag, int count) {
  Registry& reg = DefaultRegistry();
  RegistryKey race;
  if (reg.CreateKey(kHkcu, "Software\\Race", &race) != 0) return 2;
  for (int i = 0; i < count; ++i) {
    RegistryKey key;
    if (reg.CreateKey(kHkcu, "Software\\Race\\" + tag + "\\k" + std::to_string(i), &key) != 0) {
      return 3;
    }
    if (reg.SetValue(race, tag + "-" + std::to_string(i), kRegDword, Dword(i)) != 0) return 4;
    if (reg.SetValue(key, "", kRegSz, tag) != 0) return 5;
  }
  return 0;
}

// Appends values to Software\Log forever, reporting each one that was written on standard
// output; between them builds and deletes a deep chain of keys. Stops after a minute.
int RunLogger() {
  Registry& reg = DefaultRegistry();
  RegistryKey log;
  if (reg.CreateKey(kHkcu, "Software\\Log", &log) != 0) return 2;
  std::string chain = "Software\\Chain";
  for (int d = 0; d < 40; ++d) chain += "\\c" + std::to_string(d);
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (uint32_t i = 0; std::chrono::steady_clock::now() < end; ++i) {
    if (reg.SetValue(log, "v" + std::to_string(i), kRegBinary, Pattern(i)) != 0) return 3;
    if (::write(1, &i, sizeof i) != sizeof i) return 4;
    if (i % 3 == 0) {
      RegistryKey deep;
      if (reg.CreateKey(kHkcu, chain, &deep) != 0) return 5;
      if (reg.SetValue(deep, "leaf", kRegBinary, Pattern(i)) != 0) return 6;
      if (reg.DeleteKeyTree(kHkcu, "Software\\Chain") != 0) return 7;
    }
  }
  return 0;
}

struct ChildHook {
  ChildHook() {
    const char* role = std::getenv("ZYQ_REGISTRY_CHILD");
    if (role == nullptr) return;
    const std::string r(role);
    int rc = 1;
    if (r.rfind("writer:", 0) == 0) rc = RunWriter(r.substr(7), 200);
    if (r == "logger") rc = RunLogger();
    ::_exit(rc);
  }
} g_childHook;

// Starts this program again in the given part; its standard output comes to *out.
pid_t Spawn(const std::string& role, int* out) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return -1;
  const pid_t pid = ::fork();
  if (pid == 0) {
    ::dup2(fds[1], 1);
    ::close(fds[0]);
    ::close(fds[1]);
    ::setenv("ZYQ_REGISTRY_CHILD", role.c_str(), 1);
    ::execl("/proc/self/exe", "registry-child", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(fds[1]);
  *out = fds[0];
  return pid;
}

int ExitStatus(pid_t pid) {
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

TEST(RegistryProcessesTest, TwoProcessesWritingAtOnceLoseNothing) {
  int outA = -1, outB = -1;
  const pid_t a = Spawn("writer:A", &outA);
  const pid_t b = Spawn("writer:B", &outB);
  ASSERT_GT(a, 0);
  ASSERT_GT(b, 0);
  EXPECT_EQ(ExitStatus(a), 0);
  EXPECT_EQ(ExitStatus(b), 0);
  ::close(outA);
  ::close(outB);

  Registry& reg = DefaultRegistry();
  RegistryKey race;
  ASSERT_EQ(reg.OpenKey(kHkcu, "Software\\Race", &race), 0u);
  std::vector<RegistryValueEntry> values;
  ASSERT_EQ(reg.EnumValues(race, &values), 0u);
  EXPECT_EQ(values.size(), 400u);
  for (const char* tag : {"A", "B"}) {
    RegistryKey key;
    ASSERT_EQ(reg.OpenKey(race, tag, &key), 0u);
    std::vector<std::string> names;
    ASSERT_EQ(reg.EnumKeys(key, &names), 0u);
    EXPECT_EQ(names.size(), 200u) << tag;
    RegistryValue value;
    ASSERT_EQ(reg.QueryValue(race, std::string(tag) + "-199", 4, &value), 0u);
    EXPECT_EQ(value.data, Dword(199));
  }
}

int64_t CountRows(posix::StateDatabase& db, const char* sql) {
  posix::Statement st(db.handle(), sql);
  return st.Step() == SQLITE_ROW ? st.ColumnInt(0) : -1;
}

TEST(RegistryProcessesTest, AProcessKilledMidChangeLeavesACompleteState) {
  Registry& reg = DefaultRegistry();
  for (uint32_t reports : {5u, 20u, 45u}) {
    int out = -1;
    const pid_t pid = Spawn("logger", &out);
    ASSERT_GT(pid, 0);
    uint32_t last = 0, seen = 0, i = 0;
    while (seen < reports && ::read(out, &i, sizeof i) == sizeof i) {
      last = i;
      ++seen;
    }
    ::kill(pid, SIGKILL);
    EXPECT_EQ(ExitStatus(pid), 128 + SIGKILL);
    while (::read(out, &i, sizeof i) == sizeof i) last = i;  // written before the kill
    ::close(out);
    ASSERT_EQ(seen, reports);

    // Every value reported as written is there, whole.
    RegistryKey log;
    ASSERT_EQ(reg.OpenKey(kHkcu, "Software\\Log", &log), 0u);
    for (uint32_t v = 0; v <= last; ++v) {
      RegistryValue value;
      ASSERT_EQ(reg.QueryValue(log, "v" + std::to_string(v), kRegistryNoLimit, &value), 0u) << v;
      ASSERT_EQ(value.data, Pattern(v)) << v;
    }
    // The chain is there whole or not at all, and no row lost its parent.
    RegistryKey chain;
    if (reg.OpenKey(kHkcu, "Software\\Chain", &chain) == 0) {
      std::string path = "Software\\Chain";
      for (int d = 0; d < 40; ++d) path += "\\c" + std::to_string(d);
      RegistryKey deep;
      EXPECT_EQ(reg.OpenKey(kHkcu, path, &deep), 0u);
    }
    posix::StateDatabase* db = posix::StateDatabase::Open();
    ASSERT_NE(db, nullptr);
    EXPECT_EQ(CountRows(*db,
                        "SELECT COUNT(*) FROM reg_keys k WHERE k.parent != 0 AND NOT EXISTS "
                        "(SELECT 1 FROM reg_keys p WHERE p.id = k.parent)"),
              0);
    EXPECT_EQ(CountRows(*db,
                        "SELECT COUNT(*) FROM reg_values v WHERE v.key_id != 0 AND NOT EXISTS "
                        "(SELECT 1 FROM reg_keys k WHERE k.id = v.key_id)"),
              0);
    posix::Statement check(db->handle(), "PRAGMA integrity_check");
    ASSERT_EQ(check.Step(), SQLITE_ROW);
    EXPECT_EQ(check.ColumnText(0), "ok");
    // The dead process holds no lock: this write goes through at once.
    RegistryKey after;
    ASSERT_EQ(reg.CreateKey(kHkcu, "Software\\After", &after), 0u);
    EXPECT_EQ(reg.SetValue(after, "n", kRegDword, Dword(reports)), 0u);
  }
}

}  // namespace
}  // namespace zyq::platform
