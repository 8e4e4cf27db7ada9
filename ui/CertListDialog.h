// CertListDialog (template 201): the user chooses one certificate among several, and may open
// any of them in the desktop's certificate viewer first.
//
// The caller describes each candidate with plain values, so this dialog needs no certificate
// code of its own. For every candidate the caller computes (ANSI texts):
//   holder     the subject's common name; the whole subject name when it has none
//   notBefore  the start of validity as a local date "YYYY/MM/DD"
//   notAfter   the end of validity, likewise
//   issuer     the issuer's common name; the whole issuer name when it has none
//   der        the certificate's DER encoding (written to the viewer's file)
#pragma once

#include <string>
#include <vector>

#include "platform/DialogHost.h"

namespace zyq::ui {

struct CertificateCandidate {
  std::vector<unsigned char> der;
  std::string holder;
  std::string notBefore;
  std::string notAfter;
  std::string issuer;
};

class CertListDialog {
 public:
  explicit CertListDialog(const std::vector<CertificateCandidate>& candidates)
      : candidates_(candidates) {}

  platform::ListDialog Describe() const;
  // Shows the list; on OK, selected() is the chosen row (the first one when none is selected).
  platform::DialogAnswer Run(platform::DialogHost& host);
  int selected() const { return selected_; }

  // View: writes the candidate's DER encoding to "temp.cer" in the temporary folder (replacing
  // what an earlier View left there) and returns that file's path; nullopt when it could not be
  // written. The file stays after the dialog closes.
  std::optional<std::string> WriteViewerFile(int row) const;

 private:
  const std::vector<CertificateCandidate>& candidates_;
  int selected_ = 0;
};

// Runs CertListDialog on the process's dialog host. kDialogOk with the chosen candidate's index
// in `chosen`; kNoCertificateChosen when there is no candidate or the host could not create the
// list; kDialogCancelled when the user did not press OK. `chosen` changes only on kDialogOk.
int ChooseCertificate(const std::vector<CertificateCandidate>& candidates, int& chosen);

}  // namespace zyq::ui
