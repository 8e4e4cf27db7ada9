// The seam between the engine's dialogs and whatever shows them to the user.
//
// The dialog models (ui/) describe a dialog as plain values: its template id, caption, size and
// controls in dialog units, the texts, limits and flags of each control, and the rules the
// dialog obeys (when OK is enabled, what a Browse button opens and what it changes). A host
// shows that description, lets the user act on it, and reports what the user did: the action
// (OK or Cancel) and the texts of the boxes. The same description serves every host, so a
// dialog behaves the same on a desktop, on a terminal and in a script.
//
// ZYQSEC_UI picks the process's host: "gtk", "console", "none" or "script:FILE"; without it,
// GTK when a display is reachable, the console when standard input is a terminal, else none.
// ZYQSEC_UI_LOG=FILE makes every host append one JSON line per dialog shown (never a password).
//
// All texts crossing this seam are UTF-8. Every method runs modally on the calling thread and
// returns only when the dialog is closed. A host that cannot create a dialog (ZYQSEC_UI=none, or
// no display and no terminal) says so at once with kNotCreated: nobody was asked, which callers
// report differently from a person's Cancel.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/Secret.h"

namespace zyq::platform {

// A rectangle in dialog units (a quarter of the font's average character width horizontally,
// an eighth of its height vertically).
struct DialogRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

enum class ControlKind { kLabel, kGroupBox, kButton, kEdit, kList };

// Ids of the two buttons every dialog has.
inline constexpr int kIdOk = 1;
inline constexpr int kIdCancel = 2;

struct DialogControl {
  int id = -1;  // -1 for labels and group boxes
  ControlKind kind = ControlKind::kLabel;
  std::string text;  // label, button or group text; an edit box's first contents
  DialogRect rect;
  bool enabled = true;
  bool defaultButton = false;
  // Edit boxes.
  bool password = false;
  bool readOnly = false;
  bool multiLine = false;
  int limit = 0;  // most characters the box takes; 0 = no limit
  // The name under which a script answers this box ("password", "old", "new", "confirm").
  std::string scriptName;
  // The transcript key that records this box's first contents ("path_box", "folder_box").
  std::string transcriptName;
};

// The texts of a dialog's edit boxes, by control id. Values are wiped when dropped, since some
// of them are passwords.
class FieldValues {
 public:
  // The text of box id; empty when the box has none.
  const std::string& Get(int id) const;
  void Set(int id, std::string_view utf8);
  bool Has(int id) const;

 private:
  std::vector<std::pair<int, SecretString>> values_;
};

struct FileFilter {
  std::string description;            // "PFX Files (*.pfx;*.p12)"
  std::vector<std::string> patterns;  // {"*.pfx", "*.p12"}
};

enum class PickerKind { kOpenFile, kFolder };

// A bare file or folder picker.
struct PickerRequest {
  PickerKind kind = PickerKind::kOpenFile;
  std::string title;
  std::string initial;  // open-file: initial file name or path; folder: folder to start in
  std::vector<FileFilter> filters;
  std::string defaultExtension;  // appended by some pickers to a name typed without one
};

// How a dialog ended: OK; Cancel (the user closed it without OK, or a script or the terminal
// ran out of answers); or it could not be created at all, so nobody saw it.
enum class DialogAnswer { kOk, kCancel, kNotCreated };

// A dialog made of labels, edit boxes and buttons (templates 202-204).
struct FormDialog {
  int templateId = 0;
  std::string caption;
  int width = 0;  // dialog units
  int height = 0;
  std::vector<DialogControl> controls;
  int defaultButton = kIdOk;
  // The settled password bounds, recorded in the transcript; -1 where the dialog has none.
  int minLength = -1;
  int maxLength = -1;
  // OK is enabled exactly when this answers true for the boxes' current texts (always when
  // unset). An OK pressed while it is disabled counts as Cancel.
  std::function<bool(const FieldValues&)> okEnabled;
  // The button that opens a picker (0: none). The picker is described from the boxes' current
  // texts; its answer (nullopt when the user closed it without a choice) is handed to
  // `browsed`, which updates the boxes it concerns.
  int browseButton = 0;
  std::function<PickerRequest(const FieldValues&)> browsePicker;
  std::function<void(const std::optional<std::string>&, FieldValues&)> browsed;
};

struct FormOutcome {
  DialogAnswer answer = DialogAnswer::kNotCreated;
  FieldValues values;  // every edit box's final text (limits applied)
};

// A dialog with a list of rows, one of which the user chooses (template 201).
struct ListColumn {
  std::string header;
  int widthPixels = 0;
};

struct ListDialog {
  int templateId = 0;
  std::string caption;
  int width = 0;
  int height = 0;
  std::vector<DialogControl> controls;  // the list itself is the control of kind kList
  int defaultButton = kIdOk;
  std::vector<ListColumn> columns;
  std::vector<std::vector<std::string>> rows;  // one text per column
  // The button that shows the selected row's item (0: none). `view` prepares a file for the
  // row and returns its path; a desktop host then opens it with the desktop's viewer. The
  // dialog stays open.
  int viewButton = 0;
  std::function<std::optional<std::string>(int row)> view;
};

struct ListOutcome {
  DialogAnswer answer = DialogAnswer::kNotCreated;
  int selected = 0;  // first selected row, 0 when none is selected
};

// What a bare picker gave.
struct PickerOutcome {
  DialogAnswer answer = DialogAnswer::kNotCreated;
  std::string path;  // the chosen path on kOk (never empty then); empty otherwise
};

class DialogHost {
 public:
  virtual ~DialogHost() = default;

  // Asks the user to allow the use of a user-protected private key. False means refused
  // (the caller fails with ERROR_CANCELLED).
  virtual bool ConfirmKeyAccess(const std::string& containerName) = 0;

  // Shows a form dialog; see FormDialog for the rules the host applies. The base class
  // creates no dialog: kNotCreated.
  virtual FormOutcome RunForm(const FormDialog& dialog);

  // Shows a list dialog (base class: kNotCreated).
  virtual ListOutcome RunList(const ListDialog& dialog);

  // Shows a bare file or folder picker (base class: kNotCreated).
  virtual PickerOutcome RunPicker(const PickerRequest& request);
};

// The process's host, chosen from ZYQSEC_UI (and chosen again when the variable changes).
DialogHost& CurrentDialogHost();

// Replaces the process's host (tests); null restores the choice from the environment.
void SetDialogHostForTesting(DialogHost* host);

// Makes the host that a ZYQSEC_UI value names, falling back as the selection does when it
// cannot start ("" = the default choice). Never null.
std::unique_ptr<DialogHost> CreateDialogHost(std::string_view selection);

// The first `limit` characters (code points) of a UTF-8 text; the whole text when limit <= 0.
std::string CutToCharacters(std::string_view utf8, int limit);

// The number of characters (code points) of a UTF-8 text.
int CountCharacters(std::string_view utf8);

}  // namespace zyq::platform
