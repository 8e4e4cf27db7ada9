// CertFolderDialog (template 204): asks for another folder when a file cannot be written to
// the one the operation had.
//
// The folder box is read-only and starts with that folder; Choose folder opens a folder picker
// starting there and puts its answer in the box (the empty text when the picker is closed
// without a choice). OK is enabled exactly when the box is not empty. OK keeps the box's text
// as the folder; Cancel empties the box.
#pragma once

#include <string>

#include "platform/DialogHost.h"

namespace zyq::ui {

class CertFolderDialog {
 public:
  // ANSI text.
  void SetFolder(std::string folder) { folder_ = std::move(folder); }

  platform::FormDialog Describe();
  platform::DialogAnswer Run(platform::DialogHost& host);

  static bool OkEnabled(const platform::FieldValues& values);

  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace zyq::ui
