// The bytes a browser could send to zyqsec native-host: any stream of frames goes through the
// host's loop with the process-wide engine behind it, in a state folder of its own and with no
// dialogs. The origin on the list may run harmless operations only (nothing that writes files
// or keys), and the answers must be whole frames of JSON objects, each at most 1 MiB, one for
// each whole frame read, with the connection ending exactly when the stream is cut short or
// announces a frame over 64 MiB.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>

#include "cli/JsonDocument.h"
#include "cli/NativeFrames.h"
#include "cli/NativeHost.h"
#include "cli/OriginPolicy.h"
#include "fuzz/FuzzSupport.h"

namespace {

namespace cli = zyq::cli;
using zyq::fuzz::Check;

[[gnu::constructor(101)]] void IsolateState() {
  zyq::fuzz::IsolateState("native");
  unsetenv("DISPLAY");
  unsetenv("WAYLAND_DISPLAY");
}

// Counts the frames of the input as the host reads them: whole ones, and how it ends.
int ExpectedAnswers(const std::string& input, int* status) {
  std::istringstream in(input);
  std::string body;
  int frames = 0;
  while (true) {
    switch (cli::ReadFrame(in, &body)) {
      case cli::FrameRead::kMessage:
        ++frames;
        continue;
      case cli::FrameRead::kEnd:
        *status = 0;
        return frames;
      case cli::FrameRead::kTruncated:
        *status = 1;
        return frames;
      case cli::FrameRead::kTooLarge:
        *status = 1;
        return frames + 1;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  static const cli::OriginPolicy policy =
      cli::OriginPolicy::FromTexts("http://127.0.0.1:8000 harmless\n", "");
  const std::string input(reinterpret_cast<const char*>(data), size);
  int expectedStatus = 0;
  const int expected = ExpectedAnswers(input, &expectedStatus);

  std::istringstream in(input);
  std::ostringstream out;
  Check(cli::RunNativeHost(in, out, policy) == expectedStatus);

  std::istringstream answers(out.str());
  std::string body;
  int count = 0;
  cli::FrameRead read;
  while ((read = cli::ReadFrame(answers, &body)) == cli::FrameRead::kMessage) {
    Check(body.size() <= cli::kMaxOutgoingFrame);
    std::string why;
    const auto answer = cli::ParseJson(body, &why);
    Check(answer && answer->kind == cli::Json::Kind::kObject);
    const cli::Json* code = answer->Member("code");
    Check(code != nullptr && code->integer.has_value() && answer->Member("id") != nullptr &&
          answer->Member("result") != nullptr && answer->Member("message") != nullptr);
    ++count;
  }
  Check(read == cli::FrameRead::kEnd);
  Check(count == expected);
  return 0;
}
