// Test support: runs the process's dialogs through the script host with a transcript, each
// test on files of its own.
#pragma once

#include <string>
#include <vector>

namespace zyq::test {

class ScriptedDialogs {
 public:
  // Points ZYQSEC_UI at a new, empty script and ZYQSEC_UI_LOG at a new transcript.
  ScriptedDialogs();
  // Restores ZYQSEC_UI=none and drops ZYQSEC_UI_LOG.
  ~ScriptedDialogs();

  // Appends answer lines (each without its line end).
  void Answer(const std::vector<std::string>& lines);
  // The transcript's lines so far.
  std::vector<std::string> Transcript() const;
  // The whole transcript as written.
  std::string TranscriptText() const;

  const std::string& scriptPath() const { return script_; }
  const std::string& transcriptPath() const { return log_; }

 private:
  std::string script_;
  std::string log_;
};

}  // namespace zyq::test
