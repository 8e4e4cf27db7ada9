// The user-visible texts of the dialogs and pickers, as UTF-8. The launchers hand them to the
// dialog host as they are; engine code that needs one in ANSI converts it with Utf8ToAnsi.
#pragma once

#include <string_view>

namespace zyq::ui::text {

// Buttons shared by every template.
inline constexpr std::string_view kOk = "確定";
inline constexpr std::string_view kCancel = "取消";

// Template 201, the certificate list.
inline constexpr std::string_view kCertListCaption = "選擇憑證匯出至憑證交換檔";
inline constexpr std::string_view kCertListGroup = "憑證";
inline constexpr std::string_view kViewCertificate = "檢視憑證";
inline constexpr std::string_view kColumnHolder = "憑證持有人";
inline constexpr std::string_view kColumnNotBefore = "起始日";
inline constexpr std::string_view kColumnNotAfter = "截止日";
inline constexpr std::string_view kColumnIssuer = "憑證發行者";

// Templates 202 and 203, the certificate file dialogs.
inline constexpr std::string_view kCertFileInfoCaption = "輸入憑證檔案資訊";
inline constexpr std::string_view kChangePasswordCaption = "變更憑證檔密碼";
inline constexpr std::string_view kPathLabel = "憑證檔案儲存路徑 :";
inline constexpr std::string_view kBrowse = "瀏覽";
inline constexpr std::string_view kPasswordLabel = "輸入憑證密碼 :";
inline constexpr std::string_view kOldPasswordLabel = "輸入原憑證密碼 :";
inline constexpr std::string_view kNewPasswordLabel = "輸入新憑證密碼 :";
inline constexpr std::string_view kConfirmPasswordLabel = "確認新憑證密碼 :";

// The titles the launchers give template 202.
inline constexpr std::string_view kExportTitle = "請輸入匯出的憑證檔案資訊";
inline constexpr std::string_view kRegisterTitle = "請輸入註冊的憑證檔案資訊";
inline constexpr std::string_view kSignTitle = "請輸入簽章的憑證檔案資訊";

// Template 204, the certificate folder dialog. The first two lines start with three
// ideographic spaces (U+3000).
inline constexpr std::string_view kCertFolderCaption = "選擇憑證路徑";
inline constexpr std::string_view kCertFolderMessage =
    "\u3000\u3000\u3000無法將憑證儲存至預設路徑,\n"
    "\u3000\u3000\u3000請選擇您想要儲存的憑證路徑\n"
    "\n"
    "憑證路徑 :";
inline constexpr std::string_view kChooseFolder = "選擇路徑";

// Pickers.
inline constexpr std::string_view kPfxFolderPickerTitle = "請選擇憑證檔案儲存路徑 :";
inline constexpr std::string_view kPfxFilePickerTitle = "請選擇憑證檔案";
inline constexpr std::string_view kCertFolderPickerTitle = "請選擇憑證檔存放路徑 :";
inline constexpr std::string_view kLocalFolderPickerTitle = "請選擇檔案儲存路徑 :";
inline constexpr std::string_view kHashFilePickerTitle = "請選擇檔案";
inline constexpr std::string_view kPfxFilterDescription = "PFX Files (*.pfx;*.p12)";
inline constexpr std::string_view kAllFilesDescription = "All Files (*.*)";

}  // namespace zyq::ui::text
