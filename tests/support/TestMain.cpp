// The main of every test program: each test process runs in fresh folders of its own, so no
// test ever sees the real user's state or another test's.
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  zyq::test::IsolateProcess();
  return RUN_ALL_TESTS();
}
