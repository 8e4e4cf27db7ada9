// CertFileInfoDialog (template 202): asks for a PKCS#12 file (or, in folder mode, the folder
// to write one into) and its password.
//
// The path box is read-only: folder and file name change only through Browse, which opens a
// folder picker in folder mode and an open-file picker otherwise. OK is enabled exactly when
// the password box holds at least the minimum number of characters; the box takes at most the
// maximum. OK keeps the password; Cancel empties the file name and the password.
#pragma once

#include <string>

#include "platform/DialogHost.h"
#include "platform/Secret.h"
#include "ui/PasswordBounds.h"

namespace zyq::ui {

class CertFileInfoDialog {
 public:
  // Texts are ANSI. The title replaces the template's caption when it is not empty.
  void SetTitle(std::string title) { title_ = std::move(title); }
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  void SetFolderMode(bool folderMode) { folderMode_ = folderMode; }
  void SetBrowseLocked(bool locked) { browseLocked_ = locked; }
  // Settles the pair as SettlePasswordBounds does.
  void SetLengthBounds(int minLength, int maxLength);

  // The dialog as a host shows it now; its rules act on this object, which must outlive it.
  platform::FormDialog Describe();
  // Shows the dialog on the host and takes in the answer.
  platform::DialogAnswer Run(platform::DialogHost& host);

  // The text the path box shows for the current folder and file name (UTF-8).
  std::string PathBoxText() const;
  bool OkEnabled(const platform::FieldValues& values) const;

  const std::string& folder() const { return folder_; }
  const std::string& fileName() const { return fileName_; }
  const SecretString& password() const { return password_; }
  const PasswordBounds& bounds() const { return bounds_; }

 private:
  void Browsed(const std::optional<std::string>& picked, platform::FieldValues& values);
  platform::PickerRequest BrowsePicker(const platform::FieldValues& values) const;

  std::string title_;
  std::string folder_;
  std::string fileName_;
  SecretString password_;
  PasswordBounds bounds_;
  bool folderMode_ = false;
  bool browseLocked_ = false;
};

// The open-file picker that looks for a PKCS#12 file, starting from the path box's text.
platform::PickerRequest PfxFilePicker(std::string initialUtf8);

}  // namespace zyq::ui
