#include "tests/faults/BatchProcess.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <regex>

namespace zyq::test {
namespace {

std::string JsonText(const std::string& utf8) {
  std::string out = "\"";
  for (unsigned char c : utf8) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", c);
      out += buf;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

void AppendUtf8(std::string& out, unsigned code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The string that starts at text[*i] (its opening quote), unescaped.
std::string ParseString(const std::string& text, size_t* i) {
  std::string out;
  for (++*i; *i < text.size() && text[*i] != '"'; ++*i) {
    if (text[*i] != '\\' || *i + 1 >= text.size()) {
      out += text[*i];
      continue;
    }
    const char e = text[++*i];
    switch (e) {
      case 'n':
        out += '\n';
        break;
      case 't':
        out += '\t';
        break;
      case 'r':
        out += '\r';
        break;
      case 'u':
        AppendUtf8(out, static_cast<unsigned>(std::stoul(text.substr(*i + 1, 4), nullptr, 16)));
        *i += 4;
        break;
      default:
        out += e;
    }
  }
  return out;
}

BatchAnswer ParseAnswer(const std::string& line) {
  BatchAnswer a;
  a.answered = true;
  a.raw = line;
  const std::string key = "\"result\": ";
  const size_t at = line.find(key);
  if (at != std::string::npos) {
    size_t i = at + key.size();
    if (line.compare(i, 4, "null") == 0) {
      a.resultNull = true;
    } else if (line[i] == '"') {
      a.resultText = ParseString(line, &i);
    } else {
      a.resultInt = std::stoll(line.substr(i));
    }
  }
  std::smatch m;
  static const std::regex code(R"("code": (-?\d+), "capi": (\d+))");
  if (std::regex_search(line, m, code)) {
    a.code = static_cast<int32_t>(std::stol(m[1]));
    a.capi = static_cast<uint32_t>(std::stoul(m[2]));
  }
  return a;
}

// In a forked child: makes `target` a copy of `fd` that stays open across exec. dup2 onto the
// same number would keep the close-on-exec flag, so that case clears it instead.
bool OnDescriptor(int fd, int target) {
  if (fd == target) return fcntl(fd, F_SETFD, 0) == 0;
  return dup2(fd, target) == target;
}

}  // namespace

std::string BatchRequest(const std::string& flatName, const std::vector<BatchArg>& args) {
  std::string line = "[" + JsonText(flatName);
  for (const BatchArg& a : args) {
    line += ", ";
    line += a.isInt ? std::to_string(a.number) : a.isNull ? "null" : JsonText(a.text);
  }
  return line + "]\n";
}

bool RunningAsRoot() {
  return geteuid() == 0;
}

BatchProcess::BatchProcess(BatchOptions options) {
  // Both pipes are close-on-exec: a process another thread starts at the same moment must not
  // inherit our child's input, or that input never reaches its end. The child's copies on 0 and
  // 1 are made by dup2, which leaves them open across exec.
  int toChild[2];
  int fromChild[2];
  if (pipe2(toChild, O_CLOEXEC) != 0) return;
  if (pipe2(fromChild, O_CLOEXEC) != 0) {
    close(toChild[0]);
    close(toChild[1]);
    return;
  }
  pid_ = fork();
  if (pid_ == 0) {
    if (!OnDescriptor(toChild[0], STDIN_FILENO) || !OnDescriptor(fromChild[1], STDOUT_FILENO)) {
      _exit(122);
    }
    if (options.fileSizeLimit) {
      std::signal(SIGXFSZ, SIG_IGN);  // stays ignored across exec
      const rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(120);
    }
    if (options.asNobody) {
      if (setgroups(0, nullptr) != 0 || setresgid(65534, 65534, 65534) != 0 ||
          setresuid(65534, 65534, 65534) != 0) {
        _exit(121);
      }
    }
    execl(ZYQ_ZYQSEC_PATH, ZYQ_ZYQSEC_PATH, "--batch", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(toChild[0]);
  close(fromChild[1]);
  if (pid_ < 0) {
    close(toChild[1]);
    close(fromChild[0]);
    return;
  }
  in_ = toChild[1];
  out_ = fromChild[0];
}

BatchProcess::~BatchProcess() {
  if (!reaped_ && pid_ > 0) Kill();
  if (in_ >= 0) close(in_);
  if (out_ >= 0) close(out_);
}

void BatchProcess::Send(const std::string& flatName, const std::vector<BatchArg>& args) {
  const std::string line = BatchRequest(flatName, args);
  size_t done = 0;
  while (done < line.size()) {
    const ssize_t n = write(in_, line.data() + done, line.size() - done);
    if (n <= 0) return;
    done += static_cast<size_t>(n);
  }
}

BatchAnswer BatchProcess::Receive(int timeoutSeconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
  while (true) {
    const size_t end = pending_.find('\n');
    if (end != std::string::npos) {
      const std::string line = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return ParseAnswer(line);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return {};
    pollfd p{out_, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) continue;
    char buf[4096];
    const ssize_t n = read(out_, buf, sizeof buf);
    if (n <= 0) return {};
    pending_.append(buf, static_cast<size_t>(n));
  }
}

BatchAnswer BatchProcess::Call(const std::string& flatName, const std::vector<BatchArg>& args,
                               int timeoutSeconds) {
  Send(flatName, args);
  return Receive(timeoutSeconds);
}

void BatchProcess::Kill() {
  if (reaped_ || pid_ <= 0) return;
  kill(pid_, SIGKILL);
  waitpid(pid_, &status_, 0);
  reaped_ = true;
}

int BatchProcess::Finish(int timeoutSeconds) {
  if (reaped_) return status_;
  if (in_ >= 0) {
    close(in_);
    in_ = -1;
  }
  for (int i = 0; i < timeoutSeconds * 10; ++i) {
    if (waitpid(pid_, &status_, WNOHANG) == pid_) {
      reaped_ = true;
      return status_;
    }
    usleep(100000);
  }
  Kill();
  return status_;
}

}  // namespace zyq::test
