#ifndef VXLFORGE_BASE_MAPPED_BYTES_H_
#define VXLFORGE_BASE_MAPPED_BYTES_H_

#include <cstddef>
#include <cstdint>

namespace vxlforge {

// Uninitialised room for up to `size` bytes, of which only the pages
// actually written take memory: for buffers sized for the worst case that
// are mostly left unused. Released when the object goes. Throws
// std::bad_alloc when the room cannot be had.
class MappedBytes {
 public:
  explicit MappedBytes(std::size_t size);
  MappedBytes(const MappedBytes&) = delete;
  MappedBytes& operator=(const MappedBytes&) = delete;
  ~MappedBytes();

  std::uint8_t* data() const { return data_; }
  std::size_t size() const { return size_; }

 private:
  std::uint8_t* data_ = nullptr;
  std::size_t size_ = 0;
};

}  // namespace vxlforge

#endif  // VXLFORGE_BASE_MAPPED_BYTES_H_
