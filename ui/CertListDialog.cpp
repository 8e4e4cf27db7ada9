#include "ui/CertListDialog.h"

#include <string_view>

#include "platform/FileSystem.h"
#include "platform/Text.h"
#include "ui/DialogIds.h"
#include "ui/DialogResults.h"
#include "ui/DialogTexts.h"
#include "ui/PathRules.h"
#include "ui/TemplateControls.h"

namespace zyq::ui {

using platform::DialogAnswer;

platform::ListDialog CertListDialog::Describe() const {
  platform::ListDialog dialog;
  dialog.templateId = ids::kCertListTemplate;
  dialog.caption = text::kCertListCaption;
  dialog.width = 352;
  dialog.height = 144;
  platform::DialogControl list;
  list.id = ids::kCertList;
  list.kind = platform::ControlKind::kList;
  list.rect = {13, 20, 325, 90};
  dialog.controls = {
      GroupBox(text::kCertListGroup, {7, 7, 338, 111}),
      list,
      Button(ids::kViewButton, text::kViewCertificate, {36, 123, 50, 14}),
      DefaultButton(platform::kIdOk, text::kOk, {233, 123, 50, 14}),
      Button(platform::kIdCancel, text::kCancel, {295, 123, 50, 14}),
  };
  dialog.columns = {
      {std::string(text::kColumnHolder), 150},
      {std::string(text::kColumnNotBefore), 110},
      {std::string(text::kColumnNotAfter), 110},
      {std::string(text::kColumnIssuer), 180},
  };
  for (const CertificateCandidate& candidate : candidates_) {
    dialog.rows.push_back(
        {platform::AnsiToUtf8(candidate.holder), platform::AnsiToUtf8(candidate.notBefore),
         platform::AnsiToUtf8(candidate.notAfter), platform::AnsiToUtf8(candidate.issuer)});
  }
  dialog.viewButton = ids::kViewButton;
  dialog.view = [this](int row) { return WriteViewerFile(row); };
  return dialog;
}

std::optional<std::string> CertListDialog::WriteViewerFile(int row) const {
  if (row < 0 || row >= static_cast<int>(candidates_.size())) return std::nullopt;
  const std::vector<unsigned char>& der = candidates_[static_cast<size_t>(row)].der;
  const std::string path = JoinFolderAndFile(TemporaryFolder(), "temp.cer");
  // Written to a new file that is renamed into place: a link left in the shared temporary
  // folder is replaced, never followed, and a file cut short by a failed write is never handed
  // to the viewer.
  const std::string_view bytes(reinterpret_cast<const char*>(der.data()), der.size());
  if (platform::CurrentFileSystem().WriteFileAtomic(path, bytes) != platform::kErrorSuccess) {
    return std::nullopt;
  }
  return path;
}

DialogAnswer CertListDialog::Run(platform::DialogHost& host) {
  const platform::ListOutcome outcome = host.RunList(Describe());
  const int rows = static_cast<int>(candidates_.size());
  selected_ = outcome.selected >= 0 && outcome.selected < rows ? outcome.selected : 0;
  return outcome.answer;
}

int ChooseCertificate(const std::vector<CertificateCandidate>& candidates, int& chosen) {
  if (candidates.empty()) return kNoCertificateChosen;
  CertListDialog dialog(candidates);
  switch (dialog.Run(platform::CurrentDialogHost())) {
    case DialogAnswer::kOk:
      break;
    case DialogAnswer::kCancel:
      return kDialogCancelled;
    case DialogAnswer::kNotCreated:
      return kNoCertificateChosen;
  }
  chosen = dialog.selected();
  return kDialogOk;
}

}  // namespace zyq::ui
