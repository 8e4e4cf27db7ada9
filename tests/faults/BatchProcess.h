// A `zyqsec --batch` process for the fault tests: one engine in a process of its own, driven over
// pipes, optionally started as another user or with a file size limit, and killed at will.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zyq::test {

// One argument of a request: a text (null allowed) or an integer.
struct BatchArg {
  static BatchArg Text(std::string utf8) { return {false, std::move(utf8), 0}; }
  static BatchArg Null() { return {true, "", 0}; }
  static BatchArg Int(int64_t n) { return {false, "", n, true}; }
  bool isNull = false;
  std::string text;
  int64_t number = 0;
  bool isInt = false;
};

// The answer to one request.
struct BatchAnswer {
  bool answered = false;  // false: the process gave no line (died or timed out)
  std::string raw;
  bool resultNull = false;
  std::string resultText;  // a text result (JSON escapes of ASCII decoded, others kept)
  int64_t resultInt = 0;
  int32_t code = 0;
  uint32_t capi = 0;
};

struct BatchOptions {
  // Run as the user and group nobody (65534); only possible as root.
  bool asNobody = false;
  // RLIMIT_FSIZE in bytes (with SIGXFSZ ignored, writes past it fail as on a full disk).
  std::optional<uint64_t> fileSizeLimit = std::nullopt;
};

class BatchProcess {
 public:
  explicit BatchProcess(BatchOptions options = {});
  ~BatchProcess();
  BatchProcess(const BatchProcess&) = delete;
  BatchProcess& operator=(const BatchProcess&) = delete;

  // Sends one request and waits (at most timeoutSeconds) for its answer.
  BatchAnswer Call(const std::string& flatName, const std::vector<BatchArg>& args = {},
                   int timeoutSeconds = 120);
  // Sends one request without waiting for the answer.
  void Send(const std::string& flatName, const std::vector<BatchArg>& args = {});
  // Reads the next answer line, waiting at most timeoutSeconds.
  BatchAnswer Receive(int timeoutSeconds);

  // Ends the process with SIGKILL and reaps it.
  void Kill();
  // Closes its input and waits for it to end; the wait status. A process still running after
  // timeoutSeconds is hung: it is killed, and the status says so.
  int Finish(int timeoutSeconds = 120);

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int in_ = -1;
  int out_ = -1;
  std::string pending_;
  bool reaped_ = false;
  int status_ = 0;
};

// The JSON request line of a call.
std::string BatchRequest(const std::string& flatName, const std::vector<BatchArg>& args);

// True when the tests run as root: permission bits do not stop root, so the tests that need a
// folder that cannot be written run the faulty part as nobody instead.
bool RunningAsRoot();

}  // namespace zyq::test
