#include "support/sha256.h"

#include <openssl/sha.h>

namespace vxlforge::testing {

std::string sha256_hex(const void* data, std::size_t size) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(static_cast<const unsigned char*>(data), size, digest);
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned char b : digest) {
    out += kHex[b >> 4];
    out += kHex[b & 15];
  }
  return out;
}

}  // namespace vxlforge::testing
