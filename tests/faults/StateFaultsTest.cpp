// The state folder failing under the engine: read-only, full (writes fail as on a full disk, at
// once or part way), and the state database held locked by another process. Operations that
// write state answer an error code (never success, never a crash), what was stored before stays
// as it was, and a success reported is a change made.
#include <fcntl.h>
#include <poll.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "tests/faults/FaultTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

const std::string kKeep = "Software\\ZYQFaults\\Keep";
const std::string kKeepNumber = "Software\\ZYQFaults\\Number";
const std::string kPasswordA = "pw-A-1234";
const std::string kPasswordB = "pw-B-5678";

class StateFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    // Other users (nobody, below) must reach the folders of this test process.
    ASSERT_EQ(chmod(TestRoot().c_str(), 0711), 0);
    userA = MakeUserPfx({.commonName = "A100000001", .password = kPasswordA, .fileName = "a.pfx"});
    userB = MakeUserPfx({.commonName = "B200000002", .password = kPasswordB, .fileName = "b.pfx"});
    ASSERT_FALSE(userA.path.empty() || userB.path.empty());
    BatchProcess batch;
    ASSERT_EQ(Register(batch, userA, kPasswordA, 1).code, 0);
    ASSERT_EQ(batch.Call("RegWriteHKCUStr", {BatchArg::Text(kKeep), BatchArg::Text("before")}).code,
              0);
    ASSERT_TRUE(EndedCleanly(batch.Finish()));
    stateBefore = ReadFile(StateFolder() + "/state.db");
    ASSERT_FALSE(stateBefore.empty());
  }

  // The writes of the faulty process; each answer.
  struct Writes {
    BatchAnswer text, number, registration, update, request;
  };
  Writes TryWrites(BatchProcess& batch, const std::string& newValue) {
    Writes w;
    w.text = batch.Call("RegWriteHKCUStr", {BatchArg::Text(kKeep), BatchArg::Text(newValue)});
    w.number = batch.Call("RegWriteHKCUInt", {BatchArg::Text(kKeepNumber), BatchArg::Int(7)});
    w.registration = Register(batch, userB, kPasswordB, 3);
    w.update = batch.Call("UpdateRegisterMode", {BatchArg::Text("A100000001"),
                                                 BatchArg::Text(kPasswordA), BatchArg::Int(2)});
    w.request = batch.Call("CreatePKCS10", {BatchArg::Text("C300000003")});
    for (const BatchAnswer* a : {&w.text, &w.number, &w.registration, &w.update, &w.request}) {
      EXPECT_TRUE(a->answered) << "no answer: the process died";
    }
    return w;
  }

  static void ExpectAllFailed(const Writes& w) {
    EXPECT_NE(w.text.code, 0);
    EXPECT_NE(w.number.code, 0);
    EXPECT_NE(w.registration.code, 0);
    EXPECT_NE(w.update.code, 0);
    EXPECT_NE(w.request.code, 0);
    EXPECT_TRUE(w.request.resultText.empty()) << "a request was made without its key";
  }

  // The state as a fresh process finds it agrees with what the writes answered.
  void ExpectStateMatches(const Writes& w, const std::string& newValue) {
    EXPECT_EQ(ReadValueFresh(kKeep), w.text.code == 0 ? newValue : "before");
    EXPECT_EQ(ReadValueFresh(kKeepNumber), w.number.code == 0 ? "7" : "");
    const Registration a = QueryFresh("A100000001");
    EXPECT_EQ(a.code, 0) << "the registration made before was damaged";
    EXPECT_EQ(a.mode, w.update.code == 0 ? 2 : 1);
    const Registration b = QueryFresh("B200000002");
    if (w.registration.code == 0) {
      EXPECT_EQ(b.code, 0);
      EXPECT_EQ(b.mode, 3);
    } else {
      EXPECT_NE(b.code, 0);
    }
  }

  UserPfx userA, userB;
  std::string stateBefore;
};

TEST_F(StateFaultsTest, ReadOnlyStateFolderRefusesWritesAndKeepsTheState) {
  const bool asNobody = RunningAsRoot();
  if (asNobody) {
    // Root writes whatever the mode bits say: the writes are made by nobody, who owns the state
    // (so can read it) but whose folder and files are read-only.
    ChownTree(StateFolder(), 65534, 65534);
    ChownTree(HomeFolder(), 65534, 65534);
  }
  ChmodFolderAndFiles(StateFolder(), 0500, 0400);
  Writes w;
  {
    BatchProcess batch({.asNobody = asNobody});
    w = TryWrites(batch, "after");
    EXPECT_TRUE(EndedCleanly(batch.Finish()));
  }
  ChmodFolderAndFiles(StateFolder(), 0700, 0600);
  if (asNobody) {
    ChownTree(StateFolder(), 0, 0);
    ChownTree(HomeFolder(), 0, 0);
  }
  ExpectAllFailed(w);
  EXPECT_TRUE(ReadFile(StateFolder() + "/state.db") == stateBefore) << "the database changed";
  ExpectStateMatches(w, "after");
}

TEST_F(StateFaultsTest, FullStateFolderRefusesWritesAndKeepsTheState) {
  Writes w;
  {
    // No file may grow: every write that needs room fails as on a full disk.
    BatchProcess batch({.fileSizeLimit = 1});
    w = TryWrites(batch, "after");
    EXPECT_TRUE(EndedCleanly(batch.Finish()));
  }
  ExpectAllFailed(w);
  EXPECT_TRUE(ReadFile(StateFolder() + "/state.db") == stateBefore) << "the database changed";
  ExpectStateMatches(w, "after");
}

// The disk fills at different points of the writes: whatever each operation answers is what a
// fresh process finds afterwards, and the registration made before survives every time.
TEST_F(StateFaultsTest, DiskFillingPartWayLeavesOldOrNewStateAsAnswered) {
  int failed = 0;
  for (uint64_t limit : {20000u, 36000u, 48000u, 80000u, 160000u}) {
    SCOPED_TRACE("file size limit " + std::to_string(limit));
    const std::string value = "after-" + std::to_string(limit);
    Writes w;
    {
      BatchProcess batch({.fileSizeLimit = limit});
      w = TryWrites(batch, value);
      EXPECT_TRUE(EndedCleanly(batch.Finish()));
    }
    ExpectStateMatches(w, value);
    failed += w.text.code != 0;
    // Back to the state before for the next round.
    BatchProcess reset;
    ASSERT_EQ(reset.Call("RegWriteHKCUStr", {BatchArg::Text(kKeep), BatchArg::Text("before")}).code,
              0);
    ASSERT_EQ(Register(reset, userA, kPasswordA, 1).code, 0);
    reset.Finish();
  }
  std::printf("writes refused at %d of 5 limits\n", failed);
}

// A child process that holds the state database's write lock until told to let go.
class LockHolder {
 public:
  explicit LockHolder(const std::string& database) {
    // Close-on-exec, so that no process started meanwhile holds an end open.
    if (pipe2(ready_, O_CLOEXEC) != 0 || pipe2(release_, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
      sqlite3* db = nullptr;
      if (sqlite3_open_v2(database.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK ||
          sqlite3_exec(db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK) {
        _exit(2);
      }
      char c = 'L';
      if (write(ready_[1], &c, 1) != 1) _exit(3);
      if (read(release_[0], &c, 1) != 1) _exit(4);
      sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
      sqlite3_close(db);
      _exit(0);
    }
    // The child's end of `ready_` is closed here, so that a child that dies reads as the pipe's
    // end. The read end of `release_` stays open here, so that telling a child that already died
    // to let go does not raise SIGPIPE.
    CloseEnd(ready_[1]);
  }
  ~LockHolder() {
    Release();
    for (int* fd : {&ready_[0], &ready_[1], &release_[0], &release_[1]}) CloseEnd(*fd);
  }

  // Waits until the child holds the lock.
  bool Held() {
    pollfd p{ready_[0], POLLIN, 0};
    char c = 0;
    return poll(&p, 1, 30000) == 1 && read(ready_[0], &c, 1) == 1 && c == 'L';
  }
  // Lets the lock go; the child's exit status.
  int Release() {
    if (pid_ <= 0) return status_;
    char c = 'R';
    if (write(release_[1], &c, 1) != 1) kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    pid_ = -1;
    return status_;
  }

 private:
  static void CloseEnd(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
  }

  int ready_[2] = {-1, -1};
  int release_[2] = {-1, -1};
  pid_t pid_ = -1;
  int status_ = -1;
};

TEST_F(StateFaultsTest, LockedDatabaseGivesAnErrorInBoundedTimeAndWorksAgainAfterwards) {
  BatchProcess batch;
  ASSERT_EQ(batch.Call("GetDllVersion").code, 0);
  LockHolder holder(StateFolder() + "/state.db");
  ASSERT_TRUE(holder.Held());

  using Clock = std::chrono::steady_clock;
  auto start = Clock::now();
  const BatchAnswer write =
      batch.Call("RegWriteHKCUStr", {BatchArg::Text(kKeep), BatchArg::Text("during")}, 60);
  auto seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
  ASSERT_TRUE(write.answered);
  EXPECT_NE(write.code, 0);
  EXPECT_LT(seconds, 30) << "the write waited too long for the lock";

  // Readers are not held up by a writer.
  const BatchAnswer read = batch.Call("RegReadHKCU", {BatchArg::Text(kKeep)}, 60);
  EXPECT_EQ(read.code, 0);
  EXPECT_EQ(read.resultText, "before");

  start = Clock::now();
  const BatchAnswer registration = Register(batch, userB, kPasswordB, 3);
  seconds = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - start).count();
  ASSERT_TRUE(registration.answered);
  EXPECT_NE(registration.code, 0);
  EXPECT_LT(seconds, 30);

  EXPECT_TRUE(EndedCleanly(holder.Release()));
  // The same process succeeds once the lock is gone.
  EXPECT_EQ(batch.Call("RegWriteHKCUStr", {BatchArg::Text(kKeep), BatchArg::Text("after")}).code,
            0);
  EXPECT_EQ(Register(batch, userB, kPasswordB, 3).code, 0);
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
  EXPECT_EQ(ReadValueFresh(kKeep), "after");
  EXPECT_EQ(QueryFresh("B200000002").code, 0);
  EXPECT_EQ(QueryFresh("A100000001").code, 0);
}

}  // namespace
}  // namespace zyq::test
