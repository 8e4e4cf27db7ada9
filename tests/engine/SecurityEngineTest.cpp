#include <gtest/gtest.h>

#include "engine/SecurityEngine.h"

namespace zyq {
namespace {

TEST(SecurityEngineTest, NewEngineReportsSuccessAndNoRegistration) {
  SecurityEngine engine;
  EXPECT_EQ(engine.GetErrorCode(), 0);
  EXPECT_EQ(engine.GetErrorMsg().View(), u"成功(0)");
  EXPECT_EQ(engine.GetCapiErrorCode(), 0);
  EXPECT_EQ(engine.GetCapiErrorMsg().View(), u"成功(0)");
  EXPECT_EQ(engine.GetRegisterUserMode(), -1);
  EXPECT_EQ(engine.minPasswordLength(), 0);
  EXPECT_EQ(engine.maxPasswordLength(), 0);
}

TEST(SecurityEngineTest, VersionComesFromTheBuild) {
  SecurityEngine engine;
  EXPECT_EQ(engine.GetVersion().View(), u"4.0.1.2");
  EXPECT_EQ(engine.GetErrorCode(), 0);
}

TEST(SecurityEngineTest, PasswordBoundsAreStoredWithoutChecks) {
  SecurityEngine engine;
  EXPECT_EQ(engine.PresetPasswdLengthRange(20, 5), 0);
  EXPECT_EQ(engine.minPasswordLength(), 20);
  EXPECT_EQ(engine.maxPasswordLength(), 5);
  EXPECT_EQ(engine.PresetPasswdLengthRange(-3, INT32_MAX), 0);
  EXPECT_EQ(engine.minPasswordLength(), -3);
}

TEST(SecurityEngineTest, EnginesShareNothing) {
  SecurityEngine a;
  SecurityEngine b;
  a.PresetPasswdLengthRange(1, 16);
  EXPECT_EQ(b.minPasswordLength(), 0);
  EXPECT_EQ(&SecurityEngine::ProcessEngine(), &SecurityEngine::ProcessEngine());
  EXPECT_NE(&SecurityEngine::ProcessEngine(), &a);
}

}  // namespace
}  // namespace zyq
