// A way for tests to act on the GTK host's windows as a user would, from inside the dialog's own
// loop: type into boxes, press buttons, choose rows and files, and take screenshots. Nothing here
// names a GTK type, so tests stay free of toolkit headers.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace zyq::platform::posix {

class WindowDriver {
 public:
  virtual ~WindowDriver() = default;

  // "form", "list", "open-file", "folder" or "key-access".
  virtual std::string Kind() const = 0;
  virtual std::string Caption() const = 0;
  // Every text the window shows in labels, frames and buttons, in layout order.
  virtual std::vector<std::string> Texts() const = 0;
  // The window's size in pixels.
  virtual std::pair<int, int> Size() const = 0;

  // Form and list controls by template id (1 OK, 2 Cancel, ...).
  virtual std::string BoxText(int id) const = 0;
  virtual bool Enabled(int id) const = 0;
  // The box's character limit (0: none) and whether it hides what is typed.
  virtual int BoxLimit(int id) const = 0;
  virtual bool BoxHidesText(int id) const = 0;
  // Types text into the box key by key, as the keyboard would (the box's limit applies).
  virtual void TypeInto(int id, std::string_view text) = 0;
  // Empties the box as select-all and delete would.
  virtual void ClearBox(int id) = 0;
  // Presses a button; a disabled button does nothing, as on screen.
  virtual void Click(int id) = 0;

  // Lists.
  virtual std::vector<std::string> ColumnHeaders() const = 0;
  virtual std::vector<std::vector<std::string>> Rows() const = 0;
  virtual int SelectedRow() const = 0;  // -1 when none
  virtual void SelectRow(int row) = 0;
  // Files that View handed to the desktop's viewer while a test drives the host (the viewer
  // itself is not started then).
  virtual std::vector<std::string> ViewedFiles() const = 0;

  // Pickers: the filter names offered, the folder shown, and choosing a path with OK.
  virtual std::vector<std::string> FilterNames() const = 0;
  virtual std::string CurrentFolder() const = 0;
  virtual void Choose(const std::string& path) = 0;

  // Presses Enter in the focused box, which presses the default button when it is enabled.
  virtual void PressEnter() = 0;
  // Presses Escape, which closes the window with Cancel.
  virtual void Dismiss() = 0;
  // True once the window has given its answer (it is taken down when the observer returns).
  virtual bool Closed() const = 0;
  // Writes the window as it is on screen to a PNG file; false when that failed.
  virtual bool SaveScreenshot(const std::string& pngPath) = 0;
};

// Called once for every window the GTK host shows, when it is on screen; it may act on the
// window through the driver. A window still open when the observer returns is cancelled, so a
// test never hangs on a dialog. An empty observer restores normal use.
using WindowObserver = std::function<void(WindowDriver&)>;
void SetGtkWindowObserverForTesting(WindowObserver observer);

// Loads the GTK module and starts the toolkit on the display named by the environment; false
// when there is none, or the module or GTK cannot be loaded. Tests use it to decide whether to
// skip. Both functions act in the loaded module (GtkModule.h).
bool GtkDisplayAvailable();

}  // namespace zyq::platform::posix
