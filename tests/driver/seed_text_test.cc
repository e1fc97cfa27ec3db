#include "driver/seed_text.h"

#include <gtest/gtest.h>

namespace vxlforge {
namespace {

struct SeedCase {
  const char* text;
  std::int32_t seed;
};

TEST(SeedTextTest, ConvertsLikeTheCommandLineDocumentsIt) {
  const SeedCase cases[] = {
      {"abc", 0},         {"-5", -5},          {"12x", 12},
      {"+7", 7},          {"=5", 0},           {"- 5", 0},
      {"", 0},            {" \t\n\v\f\r42", 42}, {"--5", 0},
      {"2147483647", 2147483647},
  };
  for (const SeedCase& c : cases) {
    EXPECT_EQ(seed_from_text(c.text), c.seed) << "text '" << c.text << "'";
  }
}

TEST(SeedTextTest, WrapsModulo2To32InsteadOfSaturating) {
  EXPECT_EQ(seed_from_text("4294967295"), -1);
  EXPECT_EQ(seed_from_text("3000000000"), -1294967296);
  EXPECT_EQ(seed_from_text("2147483648"), INT32_MIN);
  EXPECT_EQ(seed_from_text("-2147483648"), INT32_MIN);
  EXPECT_EQ(seed_from_text("4294967296"), 0);
  EXPECT_EQ(seed_from_text("-4294967295"), 1);
  // 10^20 mod 2^32 = 1661992960, which is below 2^31.
  EXPECT_EQ(seed_from_text("100000000000000000000"), 1661992960);
}

}  // namespace
}  // namespace vxlforge
