#ifndef VXLFORGE_TOOLS_VXLINSPECT_PAGE_ENCODING_H_
#define VXLFORGE_TOOLS_VXLINSPECT_PAGE_ENCODING_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vxlforge {

// How binary data and text go into the pages vxlinspect writes. The
// formats are not this program's own logic, so well-kept libraries do the
// work: zlib for deflate, OpenSSL's libcrypto for base64 and SHA-256.

// `size` bytes in zlib's format (what a browser's DecompressionStream
// calls "deflate"), at zlib level `level` (1 fastest .. 9 smallest).
// Throws std::bad_alloc when memory runs out.
std::vector<std::uint8_t> deflate_bytes(const std::uint8_t* data, std::size_t size, int level);

// Standard base64 (RFC 4648, with padding, no line breaks).
std::string base64(const std::uint8_t* data, std::size_t size);

// The base64 of `text`'s SHA-256: what a Content-Security-Policy names an
// inline script or style by ('sha256-...').
std::string sha256_base64(std::string_view text);

// `text` with & < > " ' replaced by character references, for HTML text
// and attribute values.
std::string html_escape(std::string_view text);

// JSON text made safe inside a <script> element: every <, > and & (which
// JSON holds only inside strings) becomes its \u escape, so no value, not
// even a file name holding "</script>", can end the element.
std::string script_safe_json(std::string_view json);

}  // namespace vxlforge

#endif  // VXLFORGE_TOOLS_VXLINSPECT_PAGE_ENCODING_H_
