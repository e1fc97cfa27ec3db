// The pieces of the pages vxlinspect writes: encodings, slots, the
// security policy, the embedded files, and the 3D page of a generated map
// taken apart again.
#include "vxlinspect/map_page.h"

#include <png.h>
#include <openssl/evp.h>
#include <openssl/sha.h>
#include <zlib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "driver/generate_map.h"
#include "random/rng.h"
#include "vxl/vxl_writer.h"
#include "vxlinspect/map_preview.h"
#include "vxlinspect/map_stats.h"
#include "vxlinspect/page_encoding.h"
#include "vxlinspect/page_template.h"
#include "vxlinspect/top_view.h"
#include "vxlinspect/web_files.h"

namespace vxlforge {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes bytes_of(const std::string& text) { return Bytes(text.begin(), text.end()); }

Bytes unbase64(const std::string& text) {
  Bytes out(text.size() / 4 * 3 + 3);
  const int n = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(text.data()),
                                static_cast<int>(text.size()));
  EXPECT_GE(n, 0) << "not base64";
  out.resize(n < 0 ? 0 : static_cast<std::size_t>(n));
  // EVP_DecodeBlock keeps the padding's zero bytes.
  for (std::size_t i = text.size(); i > 0 && text[i - 1] == '='; --i) out.pop_back();
  return out;
}

std::string sha256_base64_of(const std::string& text) {
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(reinterpret_cast<const unsigned char*>(text.data()), text.size(), digest);
  unsigned char out[64];
  const int n = EVP_EncodeBlock(out, digest, sizeof(digest));
  return std::string(reinterpret_cast<char*>(out), static_cast<std::size_t>(n));
}

// The text between the first `open` after `from` and the next `close`.
std::string between(const std::string& text, const std::string& open, const std::string& close,
                    std::size_t from = 0) {
  const std::size_t a = text.find(open, from);
  if (a == std::string::npos) return "";
  const std::size_t b = text.find(close, a + open.size());
  if (b == std::string::npos) return "";
  return text.substr(a + open.size(), b - a - open.size());
}

TEST(PageEncodingTest, Base64FollowsTheStandardAcrossPieces) {
  const char* expected[] = {"", "Zg==", "Zm8=", "Zm9v", "Zm9vYg==", "Zm9vYmE=", "Zm9vYmFy"};
  const std::string foobar = "foobar";
  for (std::size_t n = 0; n <= foobar.size(); ++n) {
    const Bytes b = bytes_of(foobar.substr(0, n));
    EXPECT_EQ(base64(b.data(), b.size()), expected[n]);
  }
  // Larger than one piece of the encoder: the same as encoding the parts.
  Bytes big(3 * 1024 * 1024 + 7);
  for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 2654435761u >> 24);
  const std::string whole = base64(big.data(), big.size());
  const std::size_t cut = 3 * 1024 * 1024;
  EXPECT_EQ(whole, base64(big.data(), cut) + base64(big.data() + cut, big.size() - cut));
  EXPECT_EQ(unbase64(whole), big);
}

TEST(PageEncodingTest, DeflateGivesZlibDataThatInflatesBack) {
  Bytes data(100000);
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i % 251 ^ i / 977);
  const Bytes packed = deflate_bytes(data.data(), data.size(), kPageDeflateLevel);
  EXPECT_LT(packed.size(), data.size());
  Bytes back(data.size());
  uLongf size = static_cast<uLongf>(back.size());
  ASSERT_EQ(uncompress(back.data(), &size, packed.data(), static_cast<uLong>(packed.size())), Z_OK);
  back.resize(size);
  EXPECT_EQ(back, data);
}

TEST(PageEncodingTest, EscapesKeepMarkupOutOfTextAndScripts) {
  EXPECT_EQ(html_escape("a<b>&\"c'"), "a&lt;b&gt;&amp;&quot;c&#39;");
  const std::string json = nlohmann::json("</script><script>x()</script>&").dump();
  const std::string safe = script_safe_json(json);
  EXPECT_EQ(safe.find('<'), std::string::npos);
  EXPECT_EQ(safe.find('>'), std::string::npos);
  EXPECT_EQ(nlohmann::json::parse(safe), nlohmann::json::parse(json)) << "the value must not change";
}

TEST(PageTemplateTest, SlotsAreFilledInOnePass) {
  EXPECT_EQ(fill_page("<{{A}}|{{B}}|{{A}}>", {{"A", "{{B}}"}, {"B", "b"}}), "<{{B}}|b|{{B}}>");
  EXPECT_EQ(fill_page("no slots, {not one}", {}), "no slots, {not one}");
  EXPECT_DEATH(fill_page("{{MISSING}}", {{"A", "a"}}), "MISSING");
}

TEST(PageTemplateTest, PolicyFetchesNothingAndNamesTheScriptAndStyleByHash) {
  const std::string policy = page_policy("let a = 1;\n", "body {}\n");
  EXPECT_NE(policy.find("default-src 'none'"), std::string::npos);
  EXPECT_NE(policy.find("script-src 'sha256-" + sha256_base64_of("let a = 1;\n") + "'"),
            std::string::npos);
  EXPECT_NE(policy.find("style-src 'sha256-" + sha256_base64_of("body {}\n") + "'"),
            std::string::npos);
  EXPECT_EQ(policy.find("unsafe"), std::string::npos);
  EXPECT_NE(page_policy("", "", "'self'").find("img-src data: 'self';"), std::string::npos);
}

TEST(WebFilesTest, EveryPageFileIsEmbeddedAndCannotEndItsElement) {
  ASSERT_GE(kWebFileCount, 12u);
  for (std::size_t i = 0; i < kWebFileCount; ++i) {
    const WebFile& f = kWebFiles[i];
    EXPECT_GT(f.text.size(), 100u) << f.name;
    std::string lower(f.text);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (f.name.ends_with(".js")) {
      EXPECT_EQ(lower.find("</script"), std::string::npos) << f.name;
    }
    if (f.name.ends_with(".css")) {
      EXPECT_EQ(lower.find("</style"), std::string::npos) << f.name;
    }
  }
  for (const char* slot : {"{{CSP}}", "{{TITLE}}", "{{STYLE}}", "{{META}}", "{{MAP}}",
                           "{{OVERVIEW}}", "{{SCRIPT}}"}) {
    EXPECT_NE(web_file("viewer.html").find(slot), std::string::npos) << slot;
  }
  for (const char* slot : {"{{CSP}}", "{{TITLE}}", "{{STYLE}}", "{{ROWS}}", "{{SCRIPT}}"}) {
    EXPECT_NE(web_file("sheet.html").find(slot), std::string::npos) << slot;
  }
}

TEST(MapPageTest, PageOfAGeneratedMapCarriesTheFileFiguresAndItsOwnCode) {
  rng_seed(42);
  generate_map();
  Bytes file;
  encode_vxl(&file);
  auto voxels = std::make_unique<MapVoxels>();
  MapError error;
  ASSERT_TRUE(decode_map(file.data(), file.size(), voxels.get(), nullptr, &error));
  const MapFigures figures = measure_map(*voxels, file.data(), file.size());
  const Preview top_view = render_top_view(*voxels, 1);

  MapPageInput input;
  input.name = "odd </script><b>name.vxl";
  input.file = file.data();
  input.file_size = file.size();
  input.top_view = &top_view;
  input.figures = &figures;
  std::string page;
  std::string reason;
  ASSERT_TRUE(build_map_page(input, &page, &reason)) << reason;

  EXPECT_LE(page.size(), 10u * 1000 * 1000);
  EXPECT_EQ(page.find("{{"), std::string::npos) << "a slot was left unfilled";
  // The one executable script and the one style are those the policy names.
  // An attribute value, with its quotes as character references.
  std::string policy =
      between(page, "http-equiv=\"Content-Security-Policy\" content=\"", "\"");
  for (std::size_t at = policy.find("&#39;"); at != std::string::npos; at = policy.find("&#39;", at)) {
    policy.replace(at, 5, "'");
  }
  const std::string script = between(page, "<script>", "</script>");
  const std::string style = between(page, "<style>", "</style>");
  ASSERT_FALSE(script.empty());
  EXPECT_NE(policy.find("'sha256-" + sha256_base64_of(script) + "'"), std::string::npos);
  EXPECT_NE(policy.find("'sha256-" + sha256_base64_of(style) + "'"), std::string::npos);
  EXPECT_NE(script.find("Vxl.decodeMap = decodeMap"), std::string::npos);
  // The odd name is text in the title, and a plain string in the figures.
  EXPECT_NE(page.find("<title>odd &lt;/script&gt;&lt;b&gt;name.vxl"), std::string::npos);
  const nlohmann::json meta =
      nlohmann::json::parse(between(page, "id=\"vxl-meta\">", "</script>"));
  EXPECT_EQ(meta["name"], input.name);
  EXPECT_EQ(meta["figures"], map_figures_json(figures, input.name));
  EXPECT_FALSE(meta.contains("back"));

  // The map inflates back to the file, byte for byte.
  const Bytes packed = unbase64(between(page, "id=\"vxl-map\">", "</script>"));
  Bytes back(file.size());
  uLongf size = static_cast<uLongf>(back.size());
  ASSERT_EQ(uncompress(back.data(), &size, packed.data(), static_cast<uLong>(packed.size())), Z_OK);
  EXPECT_EQ(size, file.size());
  EXPECT_TRUE(back == file);
  // And the overview is the `overview` preview, as a PNG.
  const Bytes png = unbase64(between(page, "src=\"data:image/png;base64,", "\""));
  png_image image;
  std::memset(&image, 0, sizeof(image));
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_memory(&image, png.data(), png.size())) << image.message;
  image.format = PNG_FORMAT_RGB;
  Bytes rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
  const Preview overview = render_preview(*voxels, 1, PreviewView::kOverview);
  EXPECT_EQ(static_cast<int>(image.width), overview.width);
  EXPECT_TRUE(rgb == overview.rgb) << "the page's overview is not the overview preview";
}

}  // namespace
}  // namespace vxlforge
