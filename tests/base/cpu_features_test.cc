#include "base/cpu_features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vxlforge {
namespace {

// A gate's verdict lasts for the process, so every test has gates of its
// own, and counts the checks they run.
int checks_run = 0;
bool agreeing_check() {
  ++checks_run;
  return true;
}
bool disagreeing_check() {
  ++checks_run;
  return false;
}

bool listed(const std::vector<std::string>& names, const std::string& name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

TEST(WideKernelGateTest, OpensOnlyWhereTheProcessorHasAvx2AndTheCheckAgreed) {
  static constinit const WideKernelGate agrees("agreeing test kernel", agreeing_check);
  static constinit const WideKernelGate disagrees("disagreeing test kernel", disagreeing_check);
  checks_run = 0;
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(agrees.open(), cpu_has_avx2()) << "round " << round;
    EXPECT_FALSE(disagrees.open()) << "round " << round;
  }
  // Each check runs once, and only where its kernel could run at all.
  EXPECT_EQ(checks_run, cpu_has_avx2() ? 2 : 0);
  EXPECT_EQ(listed(wide_kernels_in_use(), "agreeing test kernel"), cpu_has_avx2());
  EXPECT_EQ(listed(wide_kernels_refused(), "disagreeing test kernel"), cpu_has_avx2());
  EXPECT_FALSE(listed(wide_kernels_in_use(), "disagreeing test kernel"));
}

TEST(WideKernelGateTest, PlainSwitchClosesEveryGateWithoutDecidingIt) {
  static constinit const WideKernelGate gate("switched test kernel", agreeing_check);
  checks_run = 0;
  set_plain_kernels_only(true);
  EXPECT_TRUE(plain_kernels_only());
  EXPECT_FALSE(gate.open());
  EXPECT_EQ(checks_run, 0) << "no verdict is reached while the switch is on";
  set_plain_kernels_only(false);
  EXPECT_EQ(gate.open(), cpu_has_avx2());
  // Once decided, the switch still closes it.
  set_plain_kernels_only(true);
  EXPECT_FALSE(gate.open());
  set_plain_kernels_only(false);
  EXPECT_EQ(gate.open(), cpu_has_avx2());
}

}  // namespace
}  // namespace vxlforge
