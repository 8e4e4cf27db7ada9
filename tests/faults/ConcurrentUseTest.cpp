// Processes working at once. Two processes registering users and signing with them at the same
// time on one state folder: nothing is lost. Every registration is there afterwards and every
// signature verifies. Processes started from many threads at once: none holds another's input.
#include <chrono>
#include <condition_variable>
#include <latch>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/faults/FaultTestSupport.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

constexpr int kUsersPerProcess = 3;
constexpr int kSignaturesPerUser = 3;

struct Signed {
  std::string id;
  std::string content;
  BatchAnswer answer;
};

struct Worker {
  std::vector<std::string> ids;
  std::vector<UserPfx> files;
  std::vector<BatchAnswer> registrations;
  std::vector<Signed> signatures;
};

// Registers each user of the worker, and after each registration signs for every user
// registered so far.
void Work(Worker* worker, int index) {
  BatchProcess batch;
  for (size_t u = 0; u < worker->ids.size(); ++u) {
    worker->registrations.push_back(Register(batch, worker->files[u], "pw-" + worker->ids[u], 3));
    for (size_t s = 0; s <= u; ++s) {
      for (int n = 0; n < kSignaturesPerUser; ++n) {
        Signed sig;
        sig.id = worker->ids[s];
        sig.content = "order " + std::to_string(index) + "-" + std::to_string(u) + "-" +
                      std::to_string(s) + "-" + std::to_string(n);
        // 0x800: the content is the text's ANSI bytes; the certificate is included.
        sig.answer = batch.Call("SignPkcs7", {BatchArg::Text(sig.id), BatchArg::Text(sig.content),
                                              BatchArg::Int(0x800), BatchArg::Int(0)});
        worker->signatures.push_back(std::move(sig));
      }
    }
  }
  EXPECT_TRUE(EndedCleanly(batch.Finish()));
}

// openssl verifies the Base64 PKCS#7 and gives back its content.
bool Verifies(const std::string& base64, const std::string& content, const std::string& folder,
              int n) {
  const std::string b64 = folder + "/sig" + std::to_string(n) + ".b64";
  const std::string out = folder + "/sig" + std::to_string(n) + ".out";
  std::string wrapped;
  for (size_t i = 0; i < base64.size(); i += 64) wrapped += base64.substr(i, 64) + "\n";
  if (!WriteFile(b64, wrapped)) return false;
  std::string log;
  const int status = RunCommand("openssl base64 -d -in " + b64 +
                                    " | openssl cms -verify -noverify"
                                    " -inform DER -out " +
                                    out,
                                &log);
  return status == 0 && ReadFile(out) == content;
}

TEST(ConcurrentUseTest, TwoProcessesRegisteringAndSigningLoseNothing) {
  Worker workers[2];
  for (int w = 0; w < 2; ++w) {
    for (int u = 0; u < kUsersPerProcess; ++u) {
      const std::string id =
          std::string(1, static_cast<char>('F' + w)) + "60000000" + std::to_string(u);
      workers[w].ids.push_back(id);
      workers[w].files.push_back(
          MakeUserPfx({.commonName = id, .password = "pw-" + id, .fileName = id + ".pfx"}));
      ASSERT_FALSE(workers[w].files.back().path.empty());
    }
  }
  std::thread first(Work, &workers[0], 0);
  std::thread second(Work, &workers[1], 1);
  first.join();
  second.join();

  const std::string folder = NewFolder("signatures");
  int signatures = 0;
  for (const Worker& worker : workers) {
    for (size_t u = 0; u < worker.ids.size(); ++u) {
      EXPECT_EQ(worker.registrations[u].code, 0) << worker.ids[u];
      const Registration r = QueryFresh(worker.ids[u]);
      EXPECT_EQ(r.code, 0) << worker.ids[u] << " is not registered any more";
      EXPECT_EQ(r.mode, 3) << worker.ids[u];
    }
    for (const Signed& sig : worker.signatures) {
      ASSERT_TRUE(sig.answer.answered);
      EXPECT_EQ(sig.answer.code, 0) << sig.id << ": " << sig.content;
      EXPECT_TRUE(Verifies(sig.answer.resultText, sig.content, folder, signatures))
          << sig.id << ": " << sig.content;
      ++signatures;
    }
  }
  EXPECT_EQ(signatures, 2 * kSignaturesPerUser * kUsersPerProcess * (kUsersPerProcess + 1) / 2);
}

// Eight threads start a batch process each at the same moment. Once all eight answer, they close
// their inputs one after another while the rest still run: each must end within the time limit,
// which it cannot when a process started by another thread inherited its input's write end.
TEST(ConcurrentUseTest, ProcessesStartedFromManyThreadsEachEndWhenTheirInputCloses) {
  constexpr int kProcesses = 8;
  constexpr int kLimitSeconds = 30;
  struct Outcome {
    bool answered = false;
    int status = -1;
    double seconds = 0;
  };
  std::vector<Outcome> outcomes(kProcesses);
  std::latch start(kProcesses);
  std::latch allRunning(kProcesses);
  std::mutex mutex;
  std::condition_variable turnChanged;
  int turn = 0;

  auto run = [&](int index) {
    start.arrive_and_wait();
    BatchProcess batch;
    outcomes[index].answered = batch.Call("GetDllVersion", {}, 60).answered;
    allRunning.arrive_and_wait();
    std::unique_lock lock(mutex);
    turnChanged.wait(lock, [&] { return turn == index; });
    const auto begin = std::chrono::steady_clock::now();
    outcomes[index].status = batch.Finish(kLimitSeconds);
    outcomes[index].seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    ++turn;
    turnChanged.notify_all();
  };
  std::vector<std::thread> threads;
  for (int i = 0; i < kProcesses; ++i) threads.emplace_back(run, i);
  for (std::thread& t : threads) t.join();

  for (int i = 0; i < kProcesses; ++i) {
    SCOPED_TRACE("process " + std::to_string(i));
    EXPECT_TRUE(outcomes[i].answered);
    EXPECT_TRUE(EndedCleanly(outcomes[i].status))
        << "still running " << outcomes[i].seconds << " s after its input closed";
  }
}

}  // namespace
}  // namespace zyq::test
