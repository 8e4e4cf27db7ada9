#include "tests/enroll/EnrollTestSupport.h"

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/CertStores.h"
#include "platform/CryptoKeys.h"
#include "platform/Providers.h"
#include "tests/support/TestEnvironment.h"

namespace zyq::test {
namespace {

// Windows keeps the user's keys, stores and providers in the system, not in ZYQSEC_HOME: every
// test starts by removing what earlier tests (of any program of the run) left there. Whatever
// cannot be removed stays; the tests that count on its absence then say so.
[[maybe_unused]] void ForgetSystemState() {
  const std::vector<std::string> builtIn = {platform::kMsDefProv, platform::kMsEnhancedProv,
                                            platform::kMsEnhRsaAesProv, platform::kMsStrongProv};
  for (const platform::ProviderInfo& provider : platform::ListProviders()) {
    if (std::find(builtIn.begin(), builtIn.end(), provider.name) == builtIn.end()) {
      platform::RemoveProvider(provider.name);
      continue;
    }
    std::unique_ptr<platform::KeyContext> context;
    std::vector<std::string> names;
    if (platform::AcquireKeyContext("", provider.name, provider.type, platform::kCryptVerifyContext,
                                    &context) != 0 ||
        context->EnumContainers(&names) != 0) {
      continue;
    }
    for (const std::string& name : names) {
      std::unique_ptr<platform::KeyContext> none;
      platform::AcquireKeyContext(name, provider.name, provider.type, platform::kCryptDeleteKeyset,
                                  &none);
    }
  }
  for (const char* name : {platform::kStoreMy, platform::kStoreCa, platform::kStoreRoot}) {
    platform::CertStore store;
    std::vector<platform::CertContext> certs;
    if (platform::CertStore::OpenSystem(name, &store) != 0 || store.Enumerate(&certs) != 0) {
      continue;
    }
    for (const platform::CertContext& cert : certs) store.Delete(cert);
  }
}

}  // namespace

void EnrollStateTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  folder_ = TestRoot() + "/enroll-" + name;
  std::filesystem::create_directories(folder_);
  setenv("ZYQSEC_HOME", folder_.c_str(), 1);
#if defined(_WIN32)
  ForgetSystemState();
#endif
}

void EnrollStateTest::TearDown() {
  platform::SetDialogHostForTesting(nullptr);
}

}  // namespace zyq::test
