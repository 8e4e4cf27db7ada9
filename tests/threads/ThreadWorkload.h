// The workload that the thread tests run through each front-end: signatures, digests, registry
// writes and reads, registration queries and one registration, from several threads at once on
// engines that share the process's state. What each call returns is kept and checked once all
// threads have ended; a check never depends on GetErrorCode, which answers about whichever call
// ran last on the engine.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/registration/PfxFiles.h"

namespace zyq::test {

// One front-end's way of making the workload's calls. Text results are nullopt for a null text.
struct WorkloadCalls {
  // SignPkcs7(id, text, 0x800, 0): an attached PKCS#7 of the text's ANSI bytes in Base64.
  std::function<std::optional<std::u16string>(const std::u16string& id, const std::u16string& text)>
      signPkcs7;
  // Hash(text, 0x13): SHA-256 of the text's ANSI bytes in upper-case hex.
  std::function<std::optional<std::u16string>(const std::u16string& text)> hash;
  std::function<int32_t(const std::u16string& name, const std::u16string& value)> regWriteStr;
  std::function<std::optional<std::u16string>(const std::u16string& name)> regRead;
  std::function<int32_t(const std::u16string& id)> queryUserInfo;
  // RegisterPfx(folder, file name, password, mode, 0, 0).
  std::function<int32_t(const std::u16string& folder, const std::u16string& file,
                        const std::u16string& password, int32_t mode)>
      registerPfx;
};

// Users registered in mode 3 before the threads start, plus one that a thread registers while
// the others run.
struct WorkloadUsers {
  std::string registeredId;
  std::string lateId;
  UserPfx latePfx;
  std::string latePassword;
  // QueryUserInfo(registeredId) as a single caller saw it before the threads started.
  int32_t queryAnswer = 0;
};

// Makes the two users' PKCS#12 files, registers the first through calls and records its query
// answer. Fails the current test when any step fails.
WorkloadUsers PrepareUsers(const WorkloadCalls& calls, const std::string& prefix);

// Runs the workload on `threads` threads, each thread using calls[thread % calls.size()], with
// `rounds` iterations per thread, and checks every result: each signature verifies with OpenSSL
// over the text it was asked to sign and names the right signer, each digest equals OpenSSL's,
// each registry value reads back as its thread last wrote it, each query and registration gives
// the answer a single caller gets.
void RunWorkload(const std::vector<const WorkloadCalls*>& calls, const WorkloadUsers& users,
                 int threads, int rounds);

}  // namespace zyq::test
