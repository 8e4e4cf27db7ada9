// Several threads calling the library at once: through the flat exports (one process-wide
// engine, so the calls run one after another) and through several COM objects (an engine each,
// sharing the process's state database, caches and code-page tables). Every result stays whole.
#include <gtest/gtest.h>

#include <memory>

#include "tests/api/FlatLibrary.h"
#include "tests/com/ComClient.h"
#include "tests/threads/ThreadWorkload.h"

namespace zyq::test {
namespace {

constexpr int kThreads = 8;

WorkloadCalls FlatCalls(const FlatLibrary& lib) {
  WorkloadCalls calls;
  calls.signPkcs7 = [&lib](const std::u16string& id, const std::u16string& text) {
    return lib.Text("SignPkcs7", id.c_str(), text.c_str(), int32_t{0x800}, int32_t{0});
  };
  calls.hash = [&lib](const std::u16string& text) {
    return lib.Text("Hash", text.c_str(), int32_t{0x13});
  };
  calls.regWriteStr = [&lib](const std::u16string& name, const std::u16string& value) {
    return lib.Int("RegWriteHKCUStr", name.c_str(), value.c_str());
  };
  calls.regRead = [&lib](const std::u16string& name) {
    return lib.Text("RegReadHKCU", name.c_str());
  };
  calls.queryUserInfo = [&lib](const std::u16string& id) {
    return lib.Int("QueryUserInfo", id.c_str());
  };
  calls.registerPfx = [&lib](const std::u16string& folder, const std::u16string& file,
                             const std::u16string& password, int32_t mode) {
    return lib.Int("RegisterPfx", folder.c_str(), file.c_str(), password.c_str(), mode, int32_t{0},
                   int32_t{0});
  };
  return calls;
}

// A BSTR argument owned for the length of one call.
class BstrArg {
 public:
  BstrArg(const ComClient& lib, const std::u16string& text)
      : lib_(lib), bstr_(lib.sysAllocString(text.c_str())) {}
  ~BstrArg() { lib_.sysFreeString(bstr_); }
  BstrArg(const BstrArg&) = delete;
  BstrArg& operator=(const BstrArg&) = delete;
  operator BSTR() const { return bstr_; }

 private:
  const ComClient& lib_;
  BSTR bstr_;
};

WorkloadCalls ComCalls(const ComClient& lib, IZYQapi* api) {
  WorkloadCalls calls;
  calls.signPkcs7 = [&lib, api](const std::u16string& id, const std::u16string& text) {
    BSTR out = nullptr;
    EXPECT_EQ(api->SignPkcs7(BstrArg(lib, id), BstrArg(lib, text), 0x800, 0, &out), S_OK);
    return lib.Take(out);
  };
  calls.hash = [&lib, api](const std::u16string& text) {
    BSTR out = nullptr;
    EXPECT_EQ(api->Hash(BstrArg(lib, text), 0x13, &out), S_OK);
    return lib.Take(out);
  };
  calls.regWriteStr = [&lib, api](const std::u16string& name, const std::u16string& value) {
    LONG code = -1;
    EXPECT_EQ(api->RegWriteHKCUStr(BstrArg(lib, name), BstrArg(lib, value), &code), S_OK);
    return static_cast<int32_t>(code);
  };
  calls.regRead = [&lib, api](const std::u16string& name) {
    BSTR out = nullptr;
    EXPECT_EQ(api->RegReadHKCU(BstrArg(lib, name), &out), S_OK);
    return lib.Take(out);
  };
  calls.queryUserInfo = [&lib, api](const std::u16string& id) {
    LONG code = -1;
    EXPECT_EQ(api->QueryUserInfo(BstrArg(lib, id), &code), S_OK);
    return static_cast<int32_t>(code);
  };
  calls.registerPfx = [&lib, api](const std::u16string& folder, const std::u16string& file,
                                  const std::u16string& password, int32_t mode) {
    LONG code = -1;
    EXPECT_EQ(api->RegisterPfx(BstrArg(lib, folder), BstrArg(lib, file), BstrArg(lib, password),
                               mode, 0, 0, &code),
              S_OK);
    return static_cast<int32_t>(code);
  };
  return calls;
}

TEST(FrontEndThreadsTest, EightThreadsThroughTheFlatExportsKeepEveryResultWhole) {
  const FlatLibrary lib;
  const WorkloadCalls calls = FlatCalls(lib);
  const WorkloadUsers users = PrepareUsers(calls, "T");
  ASSERT_FALSE(HasFailure());
  RunWorkload({&calls}, users, kThreads, 40);
}

// Four objects, each called from two threads: the object serializes its own calls, and the
// objects share the process's state.
TEST(FrontEndThreadsTest, ComObjectsCalledFromSeveralThreadsKeepEveryResultWhole) {
  const ComClient lib;
  std::vector<ComPtr<IZYQapi>> objects;
  std::vector<WorkloadCalls> perObject;
  for (int i = 0; i < kThreads / 2; ++i) {
    objects.push_back(lib.Create());
    perObject.push_back(ComCalls(lib, objects.back().get()));
  }
  const WorkloadUsers users = PrepareUsers(perObject[0], "U");
  ASSERT_FALSE(HasFailure());
  std::vector<const WorkloadCalls*> calls;
  for (const WorkloadCalls& c : perObject) calls.push_back(&c);
  RunWorkload(calls, users, kThreads, 40);
}

}  // namespace
}  // namespace zyq::test
