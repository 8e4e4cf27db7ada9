#include "tests/enroll/EnrollTestSupport.h"

#include <stdlib.h>

#include <filesystem>

#include "tests/support/TestEnvironment.h"

namespace zyq::test {

void EnrollStateTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : name) {
    if (c == '/') c = '_';
  }
  folder_ = TestRoot() + "/enroll-" + name;
  std::filesystem::create_directories(folder_);
  setenv("ZYQSEC_HOME", folder_.c_str(), 1);
}

void EnrollStateTest::TearDown() {
  platform::SetDialogHostForTesting(nullptr);
}

}  // namespace zyq::test
