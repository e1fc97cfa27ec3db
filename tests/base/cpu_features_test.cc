#include "base/cpu_features.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
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

TEST(WideKernelGateTest, Avx512GateOpensWhereTheProcessorHasItAndClosesAtTheLimit) {
  static constinit const WideKernelGate wide("avx512 test kernel", agreeing_check,
                                             KernelIsa::kAvx512);
  static constinit const WideKernelGate narrower("avx2 test kernel", agreeing_check);
  checks_run = 0;
  set_widest_kernels(KernelIsa::kAvx2);
  EXPECT_FALSE(wide.open());
  EXPECT_EQ(narrower.open(), cpu_has_avx2()) << "the limit closes only the wider kernels";
  EXPECT_EQ(checks_run, cpu_has_avx2() ? 1 : 0);
  set_widest_kernels(KernelIsa::kAvx512);
  EXPECT_EQ(wide.open(), cpu_has_avx512());
  EXPECT_EQ(listed(wide_kernels_in_use(), "avx512 test kernel"), cpu_has_avx512());
  set_plain_kernels_only(true);
  EXPECT_FALSE(wide.open());
  EXPECT_FALSE(narrower.open());
  set_plain_kernels_only(false);
  EXPECT_EQ(widest_kernels(), KernelIsa::kAvx512);
}

// The flags the kernel lists for the first processor, or "" where there is
// no such list.
std::string cpuinfo_flags() {
  std::ifstream in("/proc/cpuinfo");
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("flags", 0) == 0) return line.substr(line.find(':') + 1) + " ";
  }
  return "";
}

TEST(CpuFeaturesTest, AgreeWithWhatTheOperatingSystemReports) {
  // Linux lists a feature only where it also saves its registers, which is
  // what the detection must find out for itself.
  const std::string flags = cpuinfo_flags();
  if (flags.empty()) GTEST_SKIP() << "no /proc/cpuinfo flags to compare with";
#if !defined(VXLFORGE_HAVE_AVX2_KERNELS)
  EXPECT_FALSE(cpu_has_avx2());
  EXPECT_FALSE(cpu_has_avx512());
#else
  const auto has = [&flags](const char* flag) {
    return flags.find(std::string(" ") + flag + " ") != std::string::npos;
  };
  EXPECT_EQ(cpu_has_avx2(), has("avx2"));
#ifdef VXLFORGE_HAVE_AVX512_KERNELS
  EXPECT_EQ(cpu_has_avx512(), has("avx2") && has("fma") && has("avx512f") && has("avx512dq") &&
                                  has("avx512vl") && has("avx512bw"));
#else
  EXPECT_FALSE(cpu_has_avx512());
#endif
#endif
  EXPECT_TRUE(cpu_has(KernelIsa::kPlain));
}

}  // namespace
}  // namespace vxlforge
