#include "cli/HostDemoAuthority.h"

#include "codec/ByteBuffer.h"
#include "platform/TestAuthority.h"

namespace zyq::cli {

HostDemoAuthority::HostDemoAuthority() = default;
HostDemoAuthority::~HostDemoAuthority() = default;

bool HostDemoAuthority::Issue(const std::string& requestBase64, std::string* pkcs7Base64,
                              std::string* why) {
  if (!authority_ && platform::TestAuthority::Create("ZYQ Demo Root CA", &authority_) != 0) {
    *why = "the demonstration authority could not be made";
    return false;
  }
  ByteBuffer request;
  if (requestBase64.empty() || !request.DecodeBase64(requestBase64.c_str())) {
    *why = "the request is not Base64";
    return false;
  }
  platform::Bytes certificate;
  platform::Bytes pkcs7;
  if (authority_->Issue(platform::ByteView(request.data(), request.size()), nextSerial_, 365,
                        &certificate, &pkcs7) != 0) {
    *why = "the demonstration authority refused the request";
    return false;
  }
  ++nextSerial_;
  ByteBuffer answer;
  answer.EncodeBase64(pkcs7.data(), static_cast<int>(pkcs7.size()));
  *pkcs7Base64 = std::string(answer.view());
  return true;
}

}  // namespace zyq::cli
