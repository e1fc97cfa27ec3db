#include "driver/seed_text.h"

namespace vxlforge {

std::int32_t seed_from_text(const char* text) {
  const char* p = text;
  while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' ||
         *p == '\r') {
    ++p;
  }
  bool negative = false;
  if (*p == '+' || *p == '-') {
    negative = *p == '-';
    ++p;
  }
  // Unsigned arithmetic wraps by definition, where signed overflow would not.
  std::uint32_t value = 0;
  while (*p >= '0' && *p <= '9') {
    value = value * 10u + static_cast<std::uint32_t>(*p - '0');
    ++p;
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

}  // namespace vxlforge
