// The transcript file on Windows: opened for appending only (every write goes to the end, so
// processes sharing the file do not overwrite each other's lines), not inherited by programs
// the process starts, and written as bytes: lines end in "\n" alone.
#include <windows.h>

#include <cstdlib>

#include "platform/common/dialogs/Transcript.h"
#include "platform/win32/WinHandles.h"

namespace zyq::platform::common {

void AppendTranscript(const JsonLine& line) {
  const char* path = std::getenv("ZYQSEC_UI_LOG");
  if (path == nullptr || *path == '\0') return;
  win32::FileOwner file(CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return;
  const std::string text = line.Text() + "\n";
  size_t done = 0;
  while (done < text.size()) {
    DWORD written = 0;
    if (!WriteFile(file.get(), text.data() + done, static_cast<DWORD>(text.size() - done), &written,
                   nullptr) ||
        written == 0) {
      break;
    }
    done += written;
  }
}

}  // namespace zyq::platform::common
