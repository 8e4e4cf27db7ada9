// Template and control ids of the dialogs, as the templates number them.
#pragma once

namespace zyq::ui::ids {

inline constexpr int kCertListTemplate = 201;
inline constexpr int kCertFileInfoTemplate = 202;
inline constexpr int kChangePasswordTemplate = 203;
inline constexpr int kCertFolderTemplate = 204;

// Template 201.
inline constexpr int kCertList = 201;
inline constexpr int kViewButton = 202;

// Templates 202 and 203.
inline constexpr int kBrowseButton = 203;
inline constexpr int kPathBox = 204;
inline constexpr int kPasswordBox = 205;
inline constexpr int kOldPasswordBox = 206;
inline constexpr int kNewPasswordBox = 207;
inline constexpr int kConfirmBox = 208;

// Template 204.
inline constexpr int kFolderBox = 202;
inline constexpr int kChooseFolderButton = 203;

}  // namespace zyq::ui::ids
