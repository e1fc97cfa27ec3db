#ifndef VXLFORGE_DRIVER_SEED_TEXT_H_
#define VXLFORGE_DRIVER_SEED_TEXT_H_

#include <cstdint>

namespace vxlforge {

// Decimal text to seed: leading white space, one optional sign, then digits
// up to the first non-digit (none gives 0). The value wraps modulo 2^32
// instead of saturating, so "4294967295" is -1 and "3000000000" is
// -1294967296: every text names some seed, and seeds that share their low
// 32 bits are the same seed.
std::int32_t seed_from_text(const char* text);

}  // namespace vxlforge

#endif  // VXLFORGE_DRIVER_SEED_TEXT_H_
