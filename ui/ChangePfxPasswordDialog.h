// ChangePfxPasswordDialog (template 203): asks for a PKCS#12 file, its old password and a new
// one twice.
//
// Browse opens the open-file picker (the path box is read-only). OK is enabled exactly when each
// of the three password boxes holds at least the minimum number of characters; each box takes
// at most the maximum. OK keeps the three texts; Cancel empties every field.
#pragma once

#include <string>

#include "platform/DialogHost.h"
#include "platform/Secret.h"
#include "ui/PasswordBounds.h"

namespace zyq::ui {

class ChangePfxPasswordDialog {
 public:
  // ANSI texts.
  void SetFolder(std::string folder) { folder_ = std::move(folder); }
  void SetFileName(std::string fileName) { fileName_ = std::move(fileName); }
  void SetLengthBounds(int minLength, int maxLength);

  platform::FormDialog Describe();
  platform::DialogAnswer Run(platform::DialogHost& host);

  std::string PathBoxText() const;
  bool OkEnabled(const platform::FieldValues& values) const;

  const std::string& folder() const { return folder_; }
  const std::string& fileName() const { return fileName_; }
  const SecretString& oldPassword() const { return oldPassword_; }
  const SecretString& newPassword() const { return newPassword_; }
  const SecretString& confirmation() const { return confirmation_; }
  const PasswordBounds& bounds() const { return bounds_; }

 private:
  void Browsed(const std::optional<std::string>& picked, platform::FieldValues& values);

  std::string folder_;
  std::string fileName_;
  SecretString oldPassword_;
  SecretString newPassword_;
  SecretString confirmation_;
  PasswordBounds bounds_;
};

}  // namespace zyq::ui
