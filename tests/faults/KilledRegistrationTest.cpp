// A process killed (SIGKILL) at a random moment of RegisterPfx: afterwards the registered file is
// whole (the old one or the new one) and the record is whole (the old or the new path, password
// and mode together), never a mix, and the user can register again.
#include <unistd.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "pfx/RegistrationRecord.h"
#include "platform/Text.h"
#include "tests/faults/FaultTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

const std::string kId = "E500000005";

struct Version {
  UserPfx pfx;
  std::string password;
  int mode;
  std::string bytes;
};

TEST(KilledRegistrationTest, RecordAndFileAreEachOldOrNewNeverHalf) {
  // Two files of the same user (same ID, different keys and passwords), registered in turn.
  Version versions[2];
  versions[0].password = "pw-old-1111";
  versions[0].mode = 1;
  versions[1].password = "pw-new-2222";
  versions[1].mode = 2;
  for (int v = 0; v < 2; ++v) {
    versions[v].pfx = MakeUserPfx({.commonName = kId,
                                   .password = versions[v].password,
                                   .fileName = "e" + std::to_string(v) + ".pfx"});
    ASSERT_FALSE(versions[v].pfx.path.empty());
    versions[v].bytes = ReadFile(versions[v].pfx.path);
  }
  const std::string registered = DefaultCertFolderUtf8() + "/" + kId + ".pfx";

  // How long one registration takes here, to kill inside it.
  int current = 0;
  std::chrono::microseconds duration{};
  {
    BatchProcess batch;
    ASSERT_EQ(batch.Call("GetDllVersion").code, 0);
    const auto start = std::chrono::steady_clock::now();
    ASSERT_EQ(Register(batch, versions[0].pfx, versions[0].password, versions[0].mode).code, 0);
    duration = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - start);
    ASSERT_TRUE(EndedCleanly(batch.Finish()));
  }

  std::mt19937 random(static_cast<unsigned>(getpid()));
  std::uniform_int_distribution<int64_t> delay(0, duration.count() * 6 / 5);
  int killedBefore = 0, killedAfter = 0, mixed = 0;
  for (int round = 0; round < 16; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const int next = 1 - current;
    {
      BatchProcess batch;
      ASSERT_EQ(batch.Call("GetDllVersion").code, 0);
      batch.Send(
          "RegisterPfx",
          {BatchArg::Text(versions[next].pfx.folder), BatchArg::Text(versions[next].pfx.fileName),
           BatchArg::Text(versions[next].password), BatchArg::Int(versions[next].mode),
           BatchArg::Int(0), BatchArg::Int(0)});
      std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
      batch.Kill();
    }

    // The file: whole, old or new.
    const std::string file = ReadFile(registered);
    const bool fileOld = file == versions[current].bytes;
    const bool fileNew = file == versions[next].bytes;
    EXPECT_TRUE(fileOld || fileNew)
        << "the registered file is neither version (" << file.size() << " bytes)";

    // The record: all values of one version.
    RegistrationRecord record;
    ASSERT_EQ(ReadRegistrationRecord(kId, &record), 0);
    SecretString password;
    ASSERT_TRUE(DecryptRecordPassword(kId, record.password, &password));
    EXPECT_EQ(record.path, platform::Utf8ToAnsi(registered));
    int recordVersion = -1;
    for (int v = 0; v < 2; ++v) {
      if (password.str() == versions[v].password && record.mode == versions[v].mode) {
        recordVersion = v;
      }
    }
    ASSERT_NE(recordVersion, -1) << "half a record: mode " << record.mode
                                 << " with the password of "
                                 << (password.str() == versions[0].password ? "the old" : "the new")
                                 << " version";
    if (recordVersion == next)
      ++killedAfter;
    else
      ++killedBefore;
    // The record and the file belong together unless the kill fell between the copy and the
    // record (the file new, the record old): registering again mends that.
    if (!(fileNew && recordVersion == next) && !(fileOld && recordVersion == current)) ++mixed;
    current = recordVersion;

    // Registering again works, whatever was left.
    if (round % 4 == 3) {
      BatchProcess batch;
      ASSERT_EQ(
          Register(batch, versions[current].pfx, versions[current].password, versions[current].mode)
              .code,
          0);
      ASSERT_TRUE(EndedCleanly(batch.Finish()));
      EXPECT_EQ(QueryFresh(kId).code, 0);
      EXPECT_EQ(ReadFile(registered), versions[current].bytes);
    }
  }
  std::printf(
      "killed before the record: %d, after: %d; file and record of different versions: %d\n",
      killedBefore, killedAfter, mixed);
}

}  // namespace
}  // namespace zyq::test
