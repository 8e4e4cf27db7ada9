#include "cert/CertificateWrapper.h"

#include <climits>
#include <cstdio>

#include "platform/Certificates.h"
#include "platform/Time.h"

namespace zyq {
namespace {

enum class TimeForm { kDateTime, kDate };

std::string LocalTimeText(platform::FileTime time, TimeForm form) {
  platform::LocalDateTime local;
  if (!platform::LocalTimeFromFileTime(time, &local)) return std::string();
  char text[48];
  if (form == TimeForm::kDateTime) {
    std::snprintf(text, sizeof text, "%04d%02d%02d%02d%02d%02d", local.year, local.month, local.day,
                  local.hour, local.minute, local.second);
  } else {
    std::snprintf(text, sizeof text, "%04d/%02d/%02d", local.year, local.month, local.day);
  }
  return text;
}

std::string NameText(const platform::CertContext& context, bool issuer) {
  if (context.empty()) return std::string();
  const platform::DecodedCertificate& cert = context.cert();
  std::string text;
  if (platform::NameToX500Text(issuer ? cert.issuer : cert.subject, &text) != 0) return {};
  return text;
}

std::string CommonName(const platform::CertContext& context, bool issuer) {
  if (context.empty()) return std::string();
  const platform::DecodedCertificate& cert = context.cert();
  std::string text;
  if (platform::NameAttributeText(issuer ? cert.issuer : cert.subject, platform::kOidCommonName,
                                  &text) != 0) {
    return std::string();
  }
  return text;
}

}  // namespace

CertificateWrapper::CertificateWrapper(const void* data, int n) {
  LoadEncoded(data, n);
}

CertificateWrapper::CertificateWrapper(const platform::CertContext& context) {
  AttachContext(context);
}

CertificateWrapper::~CertificateWrapper() {
  Reset();
}

void CertificateWrapper::Reset() {
  encoded_.Release();
  context_ = platform::CertContext();
  keyUsage_ = 0;
  lastError_ = 0;
}

bool CertificateWrapper::LoadEncoded(const void* data, int n) {
  Reset();
  if (data == nullptr || n < 0) return false;
  if (!encoded_.Append(data, n)) return false;
  platform::CertContext context;
  lastError_ = platform::CertContext::FromEncoded(encoded_.span(), &context);
  if (lastError_ != 0 || context.empty()) {
    encoded_.Release();
    return false;
  }
  context_ = std::move(context);
  keyUsage_ = platform::KeyUsageByte(context_.cert());
  return true;
}

bool CertificateWrapper::AttachContext(const platform::CertContext& context) {
  Reset();
  if (context.empty()) return false;
  const platform::Bytes& der = context.encoded();
  if (der.empty() || der.size() > static_cast<size_t>(INT_MAX - 2)) return false;
  if (!encoded_.Append(der.data(), static_cast<int>(der.size()))) return false;
  context_ = context;
  keyUsage_ = platform::KeyUsageByte(context_.cert());
  return true;
}

std::string CertificateWrapper::GetSubject() const {
  return NameText(context_, false);
}

std::string CertificateWrapper::GetIssuer() const {
  return NameText(context_, true);
}

std::string CertificateWrapper::GetSubjectCN() const {
  return CommonName(context_, false);
}

std::string CertificateWrapper::GetIssuerCN() const {
  return CommonName(context_, true);
}

std::string CertificateWrapper::GetSerial() const {
  if (!valid()) return std::string();
  static constexpr char kDigits[] = "0123456789ABCDEF";
  const platform::Bytes& serial = context_.cert().serialNumber;  // least significant first
  std::string text;
  text.reserve(serial.size() * 2);
  for (auto it = serial.rbegin(); it != serial.rend(); ++it) {
    text.push_back(kDigits[*it >> 4]);
    text.push_back(kDigits[*it & 0x0F]);
  }
  return text;
}

std::string CertificateWrapper::GetThumbprint() const {
  if (!valid()) return std::string();
  const auto& hash = context_.sha1Thumbprint();
  ByteBuffer hex;
  if (!hex.EncodeHex(hash.data(), static_cast<int>(hash.size()))) return std::string();
  return std::string(hex.view());
}

std::string CertificateWrapper::GetNotBefore() const {
  return valid() ? LocalTimeText(context_.cert().notBefore, TimeForm::kDateTime) : std::string();
}

std::string CertificateWrapper::GetNotAfter() const {
  return valid() ? LocalTimeText(context_.cert().notAfter, TimeForm::kDateTime) : std::string();
}

std::string CertificateWrapper::GetNotBeforeDate() const {
  return valid() ? LocalTimeText(context_.cert().notBefore, TimeForm::kDate) : std::string();
}

std::string CertificateWrapper::GetNotAfterDate() const {
  return valid() ? LocalTimeText(context_.cert().notAfter, TimeForm::kDate) : std::string();
}

int CertificateWrapper::LeadingElementLength(std::span<const uint8_t> bytes) {
  size_t pos = 0;
  if (bytes.empty()) return 0;
  // Identifier octets: a high tag number continues while bit 8 is set.
  if ((bytes[pos++] & 0x1F) == 0x1F) {
    while (pos < bytes.size() && (bytes[pos] & 0x80) != 0) ++pos;
    if (pos++ >= bytes.size()) return 0;
  }
  if (pos >= bytes.size()) return 0;
  const uint8_t first = bytes[pos++];
  uint64_t length = 0;
  if (first < 0x80) {
    length = first;
  } else {
    const size_t count = first & 0x7F;
    if (count == 0 || count > 4) return 0;  // indefinite, or beyond any buffer of ours
    if (bytes.size() - pos < count) return 0;
    for (size_t i = 0; i < count; ++i) length = (length << 8) | bytes[pos++];
  }
  const uint64_t total = pos + length;
  if (total > bytes.size() || total > static_cast<uint64_t>(INT_MAX)) return 0;
  return static_cast<int>(total);
}

}  // namespace zyq
