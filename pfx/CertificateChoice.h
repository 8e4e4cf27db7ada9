// How ExportPfxFromIE, SelectCertFromIE and ExportMobileFromIE pick one certificate among the
// matches of a search of the personal store: by the choice mode in the low two bits of their
// dwFlags, with the certificate list dialog when the user has to decide.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "cert/CertStore.h"
#include "ui/CertListDialog.h"

namespace zyq {

// The choice modes (dwFlags AND 3).
inline constexpr int32_t kChoiceModeMask = 0x3;
inline constexpr int32_t kChoiceAlwaysAsk = 1;  // the list is shown even for one match
inline constexpr int32_t kChoiceBestOnly = 2;   // the search kept the single best match

// The list rows for the matches, in their order: the subject's CN (else the whole subject),
// the validity dates as local "YYYY/MM/DD", the issuer's CN (else the whole issuer), the DER.
std::vector<ui::CertificateCandidate> DescribeCandidates(const CertContexts& matches);

// Picks one of the matches (at least one): mode 1 always asks; modes 0 and 3 ask only when
// there is more than one; mode 2 takes the first without asking. Returns 0 with the index in
// *chosen, 5070 when the user cancelled the list, 5010 when there is nothing to choose from or
// the list cannot be shown. *chosen changes only on success.
int32_t ChooseMatch(const CertContexts& matches, int32_t dwFlags, size_t* chosen);

}  // namespace zyq
