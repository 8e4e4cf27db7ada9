// The dialog transcript: with ZYQSEC_UI_LOG=FILE, one JSON object per line (UTF-8) for every
// dialog or picker shown, whatever the host. It records what the user was shown and how the
// dialog ended, never the texts of password boxes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zyq::platform::common {

// Builds one JSON object, keys in the order they are added.
class JsonLine {
 public:
  void Add(std::string_view key, std::string_view text);
  void Add(std::string_view key, int number);
  void Add(std::string_view key, bool flag);
  void Add(std::string_view key, const std::vector<std::vector<std::string>>& rows);
  // The object's text, without a line end.
  std::string Text() const;

 private:
  void Key(std::string_view key);
  std::string body_;
};

// A JSON string literal of a UTF-8 text; bytes that are not valid UTF-8 become U+FFFD.
std::string JsonQuote(std::string_view utf8);

// Appends the line to the file that ZYQSEC_UI_LOG names (nothing when it is unset): each port
// writes the file in its own way. One write
// per line, so the lines of processes sharing the file do not interleave. Failures are silent:
// the transcript never changes how a dialog ends.
void AppendTranscript(const JsonLine& line);

}  // namespace zyq::platform::common
