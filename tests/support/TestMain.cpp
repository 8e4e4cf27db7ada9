// The main of every test program: each test process runs in fresh folders of its own, so no
// test ever sees the real user's state or another test's.
#include <gtest/gtest.h>

#include "tests/support/TestEnvironment.h"

#if defined(__SANITIZE_ADDRESS__)
// LeakSanitizer asks for these at exit. GTK, GLib/GIO, fontconfig and D-Bus keep caches and
// worker threads for the life of the process and never free them; what they allocate is not
// ours to release. Only stacks with a frame inside these libraries match, so a leak of the
// component's own code stays reported.
extern "C" __attribute__((visibility("default"), used)) const char* __lsan_default_suppressions() {
  return "leak:libfontconfig.so\n"
         "leak:libglib-2.0.so\n"
         "leak:libgio-2.0.so\n"
         "leak:libgobject-2.0.so\n"
         "leak:libdbus-1.so\n"
         "leak:libgtk-3.so\n"
         "leak:libgdk-3.so\n"
         "leak:libpango-1.0.so\n"
         "leak:libpangoft2-1.0.so\n"
         "leak:libcairo.so\n"
         "leak:libharfbuzz.so\n";
}
#endif

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  zyq::test::IsolateProcess();
  return RUN_ALL_TESTS();
}
