// Shared pieces of the enrollment tests: a state folder of each test's own, a dialog host that
// answers key-access confirmations, and the helpers that look at what enrollment left behind.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/DialogHost.h"

namespace zyq::test {

// Answers every key-access confirmation with a fixed answer and counts the questions.
class KeyAccessHost final : public platform::DialogHost {
 public:
  explicit KeyAccessHost(bool allow) : allow_(allow) {}
  bool ConfirmKeyAccess(const std::string& /*containerName*/) override {
    ++asked;
    return allow_;
  }
  int asked = 0;

 private:
  bool allow_;
};

// Points ZYQSEC_HOME at a folder of the current test's own, so that every test starts without
// keys, certificates or installed providers, and restores the dialog host afterwards.
class EnrollStateTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The state folder of this test (also a place for the test's own files).
  const std::string& folder() const { return folder_; }

 private:
  std::string folder_;
};

}  // namespace zyq::test
