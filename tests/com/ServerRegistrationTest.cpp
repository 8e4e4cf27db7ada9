// Registration when the registry refuses a write: the first failure stops it and is returned.
#include "api/com/ServerRegistration.h"

#include <gtest/gtest.h>

#include <string>

namespace zyq::com {
namespace {

using platform::RegistryKey;
using platform::SysError;

// Refuses the n-th value write (counting from 1) with ERROR_ACCESS_DENIED.
class RefusingRegistry : public platform::RegistryWrapper {
 public:
  RefusingRegistry(platform::Registry& target, int refuse)
      : RegistryWrapper(target), refuse_(refuse) {}
  SysError SetValue(const RegistryKey& key, std::string_view name, uint32_t type,
                    std::string_view data) override {
    if (++writes == refuse_) return platform::kErrorAccessDenied;
    return RegistryWrapper::SetValue(key, name, type, data);
  }
  int writes = 0;

 private:
  int refuse_;
};

TEST(ServerRegistrationTest, TheFirstRefusedWriteStopsRegistration) {
  RefusingRegistry refusing(platform::DefaultRegistry(), 3);
  EXPECT_EQ(RegisterServer(refusing, "/opt/zyq/libZYQSecuritiesATL.so"),
            static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(refusing.writes, 3) << "writes went on after the failure";
  EXPECT_EQ(FindRegisteredTypeLibrary(platform::DefaultRegistry()), TYPE_E_LIBNOTREGISTERED);

  RefusingRegistry accepting(platform::DefaultRegistry(), -1);
  EXPECT_EQ(RegisterServer(accepting, "/opt/zyq/libZYQSecuritiesATL.so"), S_OK);
  EXPECT_EQ(FindRegisteredTypeLibrary(platform::DefaultRegistry()), S_OK);
  EXPECT_EQ(UnregisterServer(platform::DefaultRegistry()), S_OK);
  EXPECT_EQ(FindRegisteredTypeLibrary(platform::DefaultRegistry()), TYPE_E_LIBNOTREGISTERED);
}

TEST(ServerRegistrationTest, SystemErrorsBecomeHresults) {
  EXPECT_EQ(HresultFromSystemError(0), S_OK);
  EXPECT_EQ(HresultFromSystemError(5), static_cast<HRESULT>(0x80070005));
  EXPECT_EQ(HresultFromSystemError(112), static_cast<HRESULT>(0x80070070));
  EXPECT_EQ(HresultFromSystemError(0x80090016u), static_cast<HRESULT>(0x80090016));
}

}  // namespace
}  // namespace zyq::com
