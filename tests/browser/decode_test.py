"""The page's own decoder (web/vxl_decode.js) against the C++ reader: the
same voxels for a generated and a hand-made map, the same error, at the
same byte and column, for every kind of broken file."""

import base64
import json

import crafted_maps
import fixtures

# Lays a decoded map out as the C++ reader keeps it (index x * 32768 +
# y * 64 + h; a byte per voxel for solidity and for "coloured", four bytes
# per colour word, least significant first) and returns the SHA-256 of
# each array, in hex.
DIGESTS = """
async (map) => {
  const voxels = 512 * 512 * 64;
  const solid = new Uint8Array(voxels), coloured = new Uint8Array(voxels);
  const colour = new Uint8Array(voxels * 4);
  for (let y = 0; y < 512; ++y) {
    for (let x = 0; x < 512; ++x) {
      const c = y * 512 + x;
      let next = map.colourStart[c];
      for (let h = 0; h < 64; ++h) {
        const i = x * 32768 + y * 64 + h;
        const word = h < 32 ? 0 : 1;
        const bit = h & 31;
        solid[i] = ((word ? map.solidHi[c] : map.solidLo[c]) >>> bit) & 1;
        coloured[i] = ((word ? map.colouredHi[c] : map.colouredLo[c]) >>> bit) & 1;
        if (coloured[i]) {
          const w = map.colours[next++];
          for (let k = 0; k < 4; ++k) colour[i * 4 + k] = (w >>> (8 * k)) & 255;
        }
      }
      if (next !== map.colourStart[c + 1]) throw new Error(`column ${x}, ${y}: colours miscounted`);
    }
  }
  const hex = async (a) => Array.from(new Uint8Array(await crypto.subtle.digest("SHA-256", a)))
      .map((b) => b.toString(16).padStart(2, "0")).join("");
  return { solid: await hex(solid), coloured: await hex(coloured), colour: await hex(colour) };
}
"""

# Decodes base64 bytes with the page's decoder; the error it throws, or "valid".
DECODE = """
(text) => {
  const bytes = Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
  try {
    Vxl.decodeMap(bytes);
    return { valid: true };
  } catch (error) {
    if (!(error instanceof Vxl.MapFormatError)) throw error;
    return { valid: false, offset: error.offset, x: error.x, y: error.y, error: error.message };
  }
}
"""


class PageDecoderTest(fixtures.BrowserTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.work = fixtures.Workspace()

    @classmethod
    def tearDownClass(cls):
        cls.work.close()
        super().tearDownClass()

    def assert_same_voxels(self, map_path):
        expected = fixtures.probe(map_path)
        page = self.open_page(self.work.html(map_path))
        got = page.evaluate(f"({DIGESTS})(Vxl.viewer.map)", timeout=120)
        self.assertEqual(got, {"solid": expected["solid_sha256"],
                               "coloured": expected["coloured_sha256"],
                               "colour": expected["colour_sha256"]})

    def test_generated_map_decodes_to_the_readers_voxels(self):
        # Through the page's own path: embedded deflated, inflated, decoded.
        self.assert_same_voxels(self.work.generated_map(42))

    def test_hand_made_map_decodes_to_the_readers_voxels(self):
        # Floating blocks, a tower to the top, a pit, an all-air column,
        # colours under hidden ground, odd fourth bytes and a zero word.
        self.assert_same_voxels(self.work.crafted_map("features.vxl", crafted_maps.features()))

    def test_broken_files_give_the_readers_error_at_the_same_place(self):
        page = self.open_page(self.work.html(
            self.work.crafted_map("halves.vxl", crafted_maps.halves())))
        for name, data in crafted_maps.malformed().items():
            with self.subTest(name):
                path = self.work.crafted_map(f"bad-{name}.vxl", data)
                expected = fixtures.probe(path)
                self.assertFalse(expected["valid"], "the case must be broken for the C++ reader too")
                got = page.evaluate(f"({DECODE})({json.dumps(base64.b64encode(data).decode())})")
                self.assertEqual(got, expected)


if __name__ == "__main__":
    fixtures.main()
