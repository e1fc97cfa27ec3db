#ifndef VXLFORGE_TOOLS_VXLINSPECT_STANDARD_OUTPUT_H_
#define VXLFORGE_TOOLS_VXLINSPECT_STANDARD_OUTPUT_H_

#include <cstddef>
#include <string>

namespace vxlforge {

// Standard output as vxlinspect's product: what a command prints is its
// answer, so a failed write must not end in success. Every write goes out
// at once, unbuffered, and the first failure is kept with its reason; the
// program then ends with status 1 and says why.
class StandardOutput {
 public:
  // `text` and a line feed.
  void line(const std::string& text);
  // `text` as it is, line feeds included.
  void text(const std::string& text) { bytes(text.data(), text.size()); }
  // Bytes as they are, e.g. a PNG.
  void bytes(const void* data, std::size_t size);

  bool failed() const { return !reason_.empty(); }
  const std::string& reason() const { return reason_; }

 private:
  std::string reason_;
};

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_STANDARD_OUTPUT_H_
