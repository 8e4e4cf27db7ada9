// The bad-input sweep: every operation of the table through the flat exports and through COM,
// with bad values in every text, integer and path argument. Each operation runs in a process of
// its own (the sweep driver) so that a crash, a hang (the driver's per-call alarm) or a leak
// (the sanitizers' exit check) shows as that process's end, and names the call. Every call must
// return, with an error code that the engine documents and a result that agrees with it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <map>
#include <ostream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "api/OperationTable.h"
#include "tests/support/TestEnvironment.h"
#include "tests/sweep/SweepValues.h"

namespace zyq::test::sweep {
namespace {

// Seconds that one call may take before it counts as hung (key generation under the
// sanitizers is the slowest thing a call may do).
constexpr int kSecondsPerCall = 90;

struct TableRow {
  const char* name;
  bool textResult;
  int argCount;
};

std::vector<TableRow> Table() {
  std::vector<TableRow> rows;
#define ZYQ_S_ONE(arg) +1
#define ZYQ_S_ROW(order, dispid, Name, Flat, Result, ...) \
  rows.push_back(                                         \
      {#Name, std::string_view(#Result) == "TEXT", 0 ZYQ_EACH_ARG(ZYQ_S_ONE, __VA_ARGS__)});
  ZYQ_FOR_EACH_OPERATION(ZYQ_S_ROW)
  return rows;
}

// The result codes the engine documents, read from its list.
std::set<int> DocumentedCodes() {
  std::set<int> codes;
  std::ifstream in(ZYQ_RESULT_CODES_HEADER);
  const std::regex line(R"(inline constexpr int32_t k\w+ = (\d+);)");
  std::string text;
  while (std::getline(in, text)) {
    std::smatch m;
    if (std::regex_search(text, m, line)) codes.insert(std::stoi(m[1]));
  }
  return codes;
}

// Integer results that are not the operation's result code.
bool ResultIsNotTheCode(const std::string& name) {
  static const std::set<std::string> kNotCodes = {"GetErrorCode", "GetCapiErrorCode",
                                                  "GetRegisterUserMode", "PresetPasswdLengthRange"};
  return kNotCodes.count(name) > 0;
}

struct DriverRun {
  int status = 0;
  std::string output;
};

DriverRun RunDriver(const std::vector<std::string>& args) {
  int pipeFds[2];
  DriverRun run;
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return {-1, "pipe failed"};
  const pid_t child = fork();
  if (child == 0) {
    dup2(pipeFds[1], STDOUT_FILENO);
    close(pipeFds[0]);
    close(pipeFds[1]);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(pipeFds[1]);
  char buffer[4096];
  ssize_t n;
  while ((n = read(pipeFds[0], buffer, sizeof buffer)) > 0) {
    run.output.append(buffer, static_cast<size_t>(n));
  }
  close(pipeFds[0]);
  waitpid(child, &run.status, 0);
  return run;
}

struct Param {
  const char* frontEnd;
  ArgClass argClass;
};

// Shown in the test's name instead of the parameter's bytes.
void PrintTo(const Param& p, std::ostream* os) {
  *os << p.frontEnd << " front-end, " << ClassName(p.argClass) << " arguments";
}

class SweepTest : public testing::TestWithParam<Param> {};

TEST_P(SweepTest, EveryOperationAnswersEveryBadArgument) {
  const Param p = GetParam();
  const std::set<int> documented = DocumentedCodes();
  ASSERT_GT(documented.size(), 20u) << "the list of result codes could not be read";
  ASSERT_EQ(documented.count(0), 1u);

  const std::regex endLine(
      R"(end (\w+) (\S+) kind=(\w+) result=(-?\d+) textnull=(\d) textlen=(\d+) code=(-?\d+) )"
      R"(msgnull=(\d) msglen=(\d+))");
  int operations = 0;
  int calls = 0;
  for (const TableRow& row : Table()) {
    SCOPED_TRACE(std::string(row.name) + " through " + p.frontEnd + " with " +
                 ClassName(p.argClass) + " arguments");
    const DriverRun run = RunDriver({ZYQ_SWEEP_DRIVER, p.frontEnd, row.name, ClassName(p.argClass),
                                     std::to_string(kSecondsPerCall)});
    // The call that did not end is the last one begun.
    std::string lastBegun;
    std::istringstream lines(run.output);
    std::string line;
    int begun = 0, ended = 0;
    while (std::getline(lines, line)) {
      if (line.rfind("begin ", 0) == 0) {
        lastBegun = line.substr(6);
        ++begun;
        continue;
      }
      std::smatch m;
      if (!std::regex_match(line, m, endLine)) continue;
      ++ended;
      const std::string what = m[2];
      const bool isText = m[3] == "text";
      const int result = std::stoi(m[4]);
      const bool textNull = m[5] == "1";
      const size_t textLength = std::stoul(m[6]);
      const int code = std::stoi(m[7]);
      EXPECT_EQ(documented.count(code), 1u) << what << ": undocumented code " << code;
      EXPECT_EQ(m[8], "0") << what << ": GetErrorMsg gave no text";
      EXPECT_GT(std::stoul(m[9]), 0u) << what << ": GetErrorMsg gave the empty text";
      if (isText) {
        // A text result is always a BSTR, the empty one when the operation failed.
        EXPECT_FALSE(textNull) << what;
        if (row.argCount > 0 && code != 0) {
          EXPECT_EQ(textLength, 0u) << what << ": text result with code " << code;
        }
      } else if (!ResultIsNotTheCode(row.name)) {
        EXPECT_EQ(result, code) << what << ": result differs from GetErrorCode";
      }
    }
    if (WIFSIGNALED(run.status)) {
      ADD_FAILURE() << "ended by signal " << WTERMSIG(run.status)
                    << (WTERMSIG(run.status) == SIGALRM ? " (hung)" : "") << " in the call "
                    << lastBegun << "\n"
                    << run.output.substr(run.output.size() > 2000 ? run.output.size() - 2000 : 0);
    } else {
      EXPECT_EQ(WEXITSTATUS(run.status), 0)
          << "after the call " << lastBegun << "\n"
          << run.output.substr(run.output.size() > 2000 ? run.output.size() - 2000 : 0);
    }
    EXPECT_EQ(begun, ended);
    EXPECT_GE(ended, 1);
    if (ended > 0 && begun == ended) ++operations;
    calls += ended;
  }
  EXPECT_EQ(operations, static_cast<int>(Table().size()));
  std::printf("swept %d of %zu operations through the %s front-end with %s arguments: %d calls\n",
              operations, Table().size(), p.frontEnd, ClassName(p.argClass), calls);
  RecordProperty("operations", operations);
  RecordProperty("calls", calls);
}

INSTANTIATE_TEST_SUITE_P(
    FrontEnds, SweepTest,
    testing::Values(Param{"flat", ArgClass::kText}, Param{"flat", ArgClass::kInt},
                    Param{"flat", ArgClass::kPath}, Param{"com", ArgClass::kText},
                    Param{"com", ArgClass::kInt}, Param{"com", ArgClass::kPath}),
    [](const testing::TestParamInfo<Param>& info) {
      return std::string(info.param.frontEnd) + "_" + ClassName(info.param.argClass);
    });

}  // namespace
}  // namespace zyq::test::sweep
