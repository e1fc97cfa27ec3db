#include "vxlinspect/page_encoding.h"

#include <openssl/evp.h>
#include <openssl/sha.h>
#include <zlib.h>

#include <algorithm>
#include <new>

namespace vxlforge {

std::vector<std::uint8_t> deflate_bytes(const std::uint8_t* data, std::size_t size, int level) {
  uLongf room = compressBound(static_cast<uLong>(size));
  std::vector<std::uint8_t> out(room);
  const int status = compress2(out.data(), &room, data, static_cast<uLong>(size), level);
  // With compressBound's room only memory can run out.
  if (status != Z_OK) throw std::bad_alloc();
  out.resize(room);
  return out;
}

std::string base64(const std::uint8_t* data, std::size_t size) {
  std::string out;
  // EVP_EncodeBlock takes an int length: encode in pieces of whole
  // three-byte groups.
  constexpr std::size_t kPiece = 3 << 20;
  out.reserve((size + 2) / 3 * 4 + 1);
  std::string piece(kPiece / 3 * 4 + 1, '\0');
  for (std::size_t at = 0; at < size; at += kPiece) {
    const std::size_t n = std::min(kPiece, size - at);
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(piece.data()),
                                        data + at, static_cast<int>(n));
    out.append(piece.data(), static_cast<std::size_t>(written));
  }
  return out;
}

std::string sha256_base64(std::string_view text) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
  return base64(digest, sizeof(digest));
}

std::string html_escape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string script_safe_json(std::string_view json) {
  std::string out;
  out.reserve(json.size());
  for (char c : json) {
    switch (c) {
      case '<': out += "\\u003c"; break;
      case '>': out += "\\u003e"; break;
      case '&': out += "\\u0026"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace vxlforge
