#include "pfx/CertificateChoice.h"

#include "cert/CertificateWrapper.h"
#include "engine/ResultCodes.h"
#include "ui/DialogResults.h"

namespace zyq {

std::vector<ui::CertificateCandidate> DescribeCandidates(const CertContexts& matches) {
  std::vector<ui::CertificateCandidate> rows;
  rows.reserve(matches.size());
  for (const platform::CertContext& context : matches) {
    const CertificateWrapper cert(context);
    ui::CertificateCandidate row;
    row.der.assign(cert.encoded().span().begin(), cert.encoded().span().end());
    row.holder = cert.GetSubjectCN();
    if (row.holder.empty()) row.holder = cert.GetSubject();
    row.notBefore = cert.GetNotBeforeDate();
    row.notAfter = cert.GetNotAfterDate();
    row.issuer = cert.GetIssuerCN();
    if (row.issuer.empty()) row.issuer = cert.GetIssuer();
    rows.push_back(std::move(row));
  }
  return rows;
}

int32_t ChooseMatch(const CertContexts& matches, int32_t dwFlags, size_t* chosen) {
  if (matches.empty()) return result::kCertNotFound;
  const int32_t mode = dwFlags & kChoiceModeMask;
  const bool ask = mode == kChoiceAlwaysAsk || (mode != kChoiceBestOnly && matches.size() > 1);
  if (!ask) {
    *chosen = 0;
    return result::kSuccess;
  }
  const std::vector<ui::CertificateCandidate> rows = DescribeCandidates(matches);
  int index = 0;
  const int code = ui::ChooseCertificate(rows, index);
  if (code != ui::kDialogOk) return code;
  if (index < 0 || static_cast<size_t>(index) >= matches.size()) return result::kCertNotFound;
  *chosen = static_cast<size_t>(index);
  return result::kSuccess;
}

}  // namespace zyq
