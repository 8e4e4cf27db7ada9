// Shared pieces of the fault tests: the test process's folders, registrations through a batch
// process, and the state of a registration as another process sees it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/faults/BatchProcess.h"
#include "tests/registration/PfxFiles.h"

namespace zyq::test {

// The state folder ($ZYQSEC_HOME) and the home folder of the test process.
std::string StateFolder();
std::string HomeFolder();

// RegisterPfx of a file (its folder and name) with a password and mode; the answer.
BatchAnswer Register(BatchProcess& batch, const UserPfx& pfx, const std::string& password,
                     int mode);

// What a fresh process finds for a user ID: QueryUserInfo's code and the mode it reports.
struct Registration {
  int32_t code = -1;
  int32_t mode = -1;
};
Registration QueryFresh(const std::string& id);

// A registry value below HKEY_CURRENT_USER as a fresh process reads it (RegReadHKCU).
std::string ReadValueFresh(const std::string& name);

// Changes the owner of a folder and everything in it.
void ChownTree(const std::string& folder, uid_t uid, gid_t gid);
// Sets the mode of a folder and of every file in it (not below).
void ChmodFolderAndFiles(const std::string& folder, unsigned folderMode, unsigned fileMode);

// Whether a process ended normally with status 0.
::testing::AssertionResult EndedCleanly(int status);

}  // namespace zyq::test
