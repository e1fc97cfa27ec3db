#ifndef VXLFORGE_TESTS_SUPPORT_SHA256_H_
#define VXLFORGE_TESTS_SUPPORT_SHA256_H_

#include <cstddef>
#include <string>

namespace vxlforge::testing {

// Lower-case hex SHA-256 of the bytes [data, data + size).
std::string sha256_hex(const void* data, std::size_t size);

}  // namespace vxlforge::testing

#endif  // VXLFORGE_TESTS_SUPPORT_SHA256_H_
