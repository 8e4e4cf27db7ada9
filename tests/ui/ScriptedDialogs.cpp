#include "tests/ui/ScriptedDialogs.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "tests/support/TestEnvironment.h"

namespace zyq::test {

ScriptedDialogs::ScriptedDialogs() {
  static int counter = 0;
  ++counter;
  script_ = TestRoot() + "/dialogs-" + std::to_string(counter) + ".script";
  log_ = TestRoot() + "/dialogs-" + std::to_string(counter) + ".jsonl";
  WriteFile(script_, "");
  setenv("ZYQSEC_UI", ("script:" + script_).c_str(), 1);
  setenv("ZYQSEC_UI_LOG", log_.c_str(), 1);
}

ScriptedDialogs::~ScriptedDialogs() {
  setenv("ZYQSEC_UI", "none", 1);
  unsetenv("ZYQSEC_UI_LOG");
}

void ScriptedDialogs::Answer(const std::vector<std::string>& lines) {
  std::ofstream out(script_, std::ios::binary | std::ios::app);
  for (const std::string& line : lines) out << line << "\n";
}

std::vector<std::string> ScriptedDialogs::Transcript() const {
  std::vector<std::string> lines;
  std::istringstream in(ReadFile(log_));
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string ScriptedDialogs::TranscriptText() const {
  return ReadFile(log_);
}

}  // namespace zyq::test
