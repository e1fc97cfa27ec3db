"""The 3D page of `vxlinspect html`, in a real browser: what it draws, how
it turns, what its overview does, the files it takes, and what it shows
without WebGL2."""

import base64
import json
import os

import crafted_maps
import fixtures
from png_pixels import read_png

# Rectangles of one direction cover each exposed face of that direction
# exactly once, and nothing else; returns the faces covered per direction.
COVERAGE = """
(() => {
  const map = Vxl.viewer.map, mesh = Vxl.buildMesh(map);
  const steps = [[0, 0, -1], [0, 0, 1], [-1, 0, 0], [1, 0, 0], [0, -1, 0], [0, 1, 0]];
  const air = (x, y, h) => x < 0 || y < 0 || x > 511 || y > 511 || h < 0 || !Vxl.isSolid(map, x, y, h);
  const covered = [0, 0, 0, 0, 0, 0];
  const problems = [];
  for (let dir = 0; dir < 6; ++dir) {
    const seen = new Uint8Array(512 * 512 * 64);
    for (let q = 0; q < mesh.count; ++q) {
      const v = mesh.vertices.subarray(q * 16, q * 16 + 16);
      if ((v[3] & 7) !== dir) continue;
      // The voxels behind the rectangle: its corners' box, less the plane's offset.
      const lo = [0, 1, 2].map((k) => Math.min(v[k], v[8 + k]));
      const hi = [0, 1, 2].map((k) => Math.max(v[k], v[8 + k]));
      const axis = dir <= 1 ? 2 : dir <= 3 ? 0 : 1;
      const far = dir % 2 === 1;  // DOWN, EAST, SOUTH lie on the voxel's far side
      lo[axis] -= far ? 1 : 0;
      hi[axis] = lo[axis] + 1;
      for (let x = lo[0]; x < hi[0]; ++x) for (let y = lo[1]; y < hi[1]; ++y) for (let h = lo[2]; h < hi[2]; ++h) {
        const i = (x * 512 + y) * 64 + h;
        const [dx, dy, dh] = steps[dir];
        if (seen[i]++ && problems.length < 5) problems.push(`face ${dir} of ${x},${y},${h} twice`);
        if ((!Vxl.isSolid(map, x, y, h) || !air(x + dx, y + dy, h + dh) || h + dh > 63) && problems.length < 5)
          problems.push(`face ${dir} of ${x},${y},${h} is not exposed`);
        ++covered[dir];
      }
    }
  }
  return { covered, problems, rectangles: mesh.count };
})()
"""


def canvas_pixels(page, scale=0.25):
    """The 3D view as shown, shrunk by `scale`: (width, height, rows)."""
    left, top, width, height = page.box("#scene")
    page.call("Page.bringToFront")  # a tab in the background draws nothing
    data = page.call("Page.captureScreenshot", format="png",
                     clip={"x": left, "y": top, "width": width, "height": height, "scale": scale})
    return read_png(base64.b64decode(data["data"]))


def frame_after(page, action):
    """Runs `action` (JavaScript), then waits for the frame it asked for."""
    before = int(page.body_data()["frames"])
    page.evaluate(f"(() => {{ {action}; }})()")
    page.wait_for(f"Number(document.body.dataset.frames) > {before}", timeout=120)


def differing_share(a, b, threshold=24):
    """The share of pixels whose colours differ by more than `threshold`."""
    (_, _, rows_a), (_, _, rows_b) = a, b
    total = differ = 0
    for ra, rb in zip(rows_a, rows_b):
        for pa, pb in zip(ra, rb):
            total += 1
            differ += max(abs(x - y) for x, y in zip(pa, pb)) > threshold
    return differ / total


def not_background(pixels):
    background = (34, 38, 48)  # renderer.js's clear colour, 0.13 0.15 0.19
    return [p for row in pixels[2] for p in row if max(abs(x - y) for x, y in zip(p, background)) > 12]


class ViewerTest(fixtures.BrowserTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.work = fixtures.Workspace()
        cls.seed42 = cls.work.generated_map(42)
        cls.seed7 = cls.work.generated_map(7)
        cls.halves = cls.work.crafted_map("halves.vxl", crafted_maps.halves())
        cls.features = cls.work.crafted_map("features.vxl", crafted_maps.features())
        cls.html = {name: cls.work.html(path) for name, path in
                     (("seed42", cls.seed42), ("seed7", cls.seed7), ("halves", cls.halves),
                      ("features", cls.features))}

    @classmethod
    def tearDownClass(cls):
        cls.work.close()
        super().tearDownClass()

    def test_page_fits_the_size_and_fetches_nothing(self):
        self.assertLessEqual(os.path.getsize(self.html["seed42"]), 10 * 1000 * 1000)
        page = self.open_page(self.html["halves"])
        policy = page.evaluate(
            "document.querySelector('meta[http-equiv=Content-Security-Policy]').content")
        self.assertIn("default-src 'none'", policy)
        # A fetch is refused by the policy before it leaves the page.
        outcome = page.evaluate("""
            new Promise((done) => {
              document.addEventListener('securitypolicyviolation',
                                        (e) => done('blocked ' + e.violatedDirective));
              fetch('http://127.0.0.1:9/').then(() => done('fetched'), () => {});
            })""")
        self.assertTrue(outcome.startswith("blocked connect-src"), outcome)
        # The refused fetch is not a page error: the policy did its work.
        page.errors = [e for e in page.errors if "127.0.0.1" not in e and "Content Security" not in e]
        page.requests = [u for u in page.requests if "127.0.0.1" not in u]

    def test_generated_map_draws_every_exposed_face_in_a_few_calls(self):
        expected = fixtures.probe(self.seed42)["faces"]
        page = self.open_page(self.html["seed42"])
        state = page.body_data()
        self.assertEqual(state["mapName"], "seed-42.vxl")
        self.assertEqual(int(state["faces"]), sum(expected))
        self.assertLessEqual(int(state["drawCalls"]), 6)
        # Merged: far fewer rectangles than faces; and planes that face away
        # are not even sent.
        self.assertLess(int(state["quads"]) * 3, int(state["faces"]))
        self.assertLess(int(state["rectanglesDrawn"]), int(state["quads"]))
        coverage = page.evaluate(COVERAGE, timeout=300)
        self.assertEqual(coverage["problems"], [])
        self.assertEqual(coverage["covered"], expected)
        self.assertIn("433c22abd83e", page.evaluate("document.getElementById('figures').textContent"))

    def test_hand_made_map_merges_and_covers_exactly(self):
        expected = fixtures.probe(self.features)["faces"]
        page = self.open_page(self.html["features"])
        coverage = page.evaluate(COVERAGE, timeout=300)
        self.assertEqual(coverage["problems"], [])
        self.assertEqual(coverage["covered"], expected)
        # Flat ground merges into a handful of rectangles around the
        # features, not one per column.
        self.assertLess(coverage["rectangles"], 400)

    def test_generated_maps_show_their_own_colours_and_differ(self):
        page = self.open_page(self.html["seed42"])
        first = canvas_pixels(page)
        drawn = not_background(first)
        pixels = first[0] * first[1]
        self.assertGreater(len(drawn), 0.4 * pixels, "the 3D view is mostly empty")
        self.assertGreater(len(set(drawn)), 200, "the 3D view has hardly any colours")
        # Light scales a colour's components alike, so the picture keeps
        # the chromaticity of the map's surface colours.
        mean = fixtures.probe(self.seed42)["top_colour_mean"]
        shown = [sum(p[k] for p in drawn) / len(drawn) for k in range(3)]
        for k in range(3):
            self.assertAlmostEqual(shown[k] / sum(shown), mean[k] / sum(mean), delta=0.03,
                                   msg=f"shown {shown}, surface {mean}")
        other = self.open_page(self.html["seed7"])
        self.assertGreater(differing_share(first, canvas_pixels(other)), 0.1)
        # The same map draws the same picture: the measure is not noise.
        self.assertEqual(differing_share(first, canvas_pixels(page)), 0.0)

    def test_colours_stand_where_the_map_has_them(self):
        # Red for x < 256, blue beyond; seen from the south, x runs to the right.
        page = self.open_page(self.html["halves"])
        width, height, rows = canvas_pixels(page)
        left = rows[height // 2][int(width * 0.35)]
        right = rows[height // 2][int(width * 0.65)]
        self.assertGreater(left[0], 2 * left[2], f"left of the view {left}")
        self.assertGreater(right[2], 2 * right[0], f"right of the view {right}")
        self.assertGreater(min(left[0], right[2]), 120, "lit ground is bright")

    def test_only_planes_that_face_away_are_left_out(self):
        page = self.open_page(self.html["features"])
        poses = ["c.setFocus(104, 203, 30); c.distance = 40; c.pitch = 0.3; c.yaw = 2.5",
                 "c.setFocus(301, 301, 2); c.distance = 25; c.pitch = 0.1; c.yaw = -1.2",
                 "c.setFocus(400, 50, 40); c.distance = 12; c.pitch = 1.2; c.yaw = 0.4"]
        for pose in poses:
            with self.subTest(pose):
                frame_after(page, f"const c = Vxl.viewer.camera; {pose}; Vxl.viewer.requestFrame()")
                culled = canvas_pixels(page, scale=0.5)
                frame_after(page, "Vxl.viewer.renderer.allPlanes = true; Vxl.viewer.requestFrame()")
                every = canvas_pixels(page, scale=0.5)
                page.evaluate("Vxl.viewer.renderer.allPlanes = false")
                self.assertEqual(differing_share(culled, every, threshold=0), 0.0)

    def test_mouse_touch_wheel_and_keys_move_the_view_and_reset_returns(self):
        page = self.open_page(self.html["features"])
        home = page.body_data()["camera"]
        left, top, width, height = page.box("#scene")
        centre = (left + width / 2, top + height / 2)
        before = canvas_pixels(page)

        page.drag(centre, (centre[0] + 200, centre[1] + 60))
        page.wait_for(f"document.body.dataset.camera !== {json.dumps(home)}")
        yaw, pitch, distance = map(float, page.body_data()["camera"].split())
        self.assertNotEqual(yaw, 0.0)
        self.assertGreater(pitch, 50.0)
        page.wait_for("document.body.dataset.state === 'ready'")
        self.assertGreater(differing_share(before, canvas_pixels(page)), 0.05,
                           "a drag left the picture as it was")

        def changed(action, field):
            old = page.body_data()["camera"].split()
            action()
            page.wait_for(f"document.body.dataset.camera !== {json.dumps(' '.join(old))}")
            new = page.body_data()["camera"].split()
            return float(new[field]) - float(old[field])

        # A one-finger drag turns, a pinch zooms out, the wheel zooms in.
        def finger():
            page.touch("touchStart", [centre])
            page.touch("touchMove", [(centre[0] - 120, centre[1])])
            page.touch("touchEnd", [])
        self.assertNotEqual(changed(finger, 0), 0)

        def pinch():
            page.touch("touchStart", [(centre[0] - 150, centre[1]), (centre[0] + 150, centre[1])])
            page.touch("touchMove", [(centre[0] - 50, centre[1]), (centre[0] + 50, centre[1])])
            page.touch("touchEnd", [])
        self.assertGreater(changed(pinch, 2), 0)
        self.assertLess(changed(lambda: page.mouse("mouseWheel", *centre, deltaX=0, deltaY=-300), 2), 0)

        page.click(*centre)  # the view takes the keys once clicked
        self.assertNotEqual(changed(lambda: page.key("ArrowLeft"), 0), 0)
        self.assertLess(changed(lambda: page.key("+", "Equal"), 2), 0)
        focus = page.body_data()["focus"]
        page.key("d", "KeyD")
        page.wait_for(f"document.body.dataset.focus !== {json.dumps(focus)}")

        reset = page.box("#reset")
        page.click(reset[0] + reset[2] / 2, reset[1] + reset[3] / 2)
        page.wait_for(f"document.body.dataset.camera === {json.dumps(home)}")

    def test_overview_click_moves_the_focus_and_shows_it(self):
        page = self.open_page(self.html["halves"])
        left, top, width, height = page.box("#overview-marks")
        # The overview is the map from above, x right, y down: aim at
        # column (100, 400). Pointer events land on whole pixels, and a
        # pixel of the overview spans more than one column.
        x, y = round(left + (100.5 / 512) * width), round(top + (400.5 / 512) * height)
        page.click(x, y)
        page.wait_for("document.body.dataset.focus !== '256.0 256.0 40.0'")
        fx, fy, fh = map(float, page.body_data()["focus"].split())
        self.assertAlmostEqual(fx, 100.5, delta=2)
        self.assertAlmostEqual(fy, 400.5, delta=2)
        self.assertEqual(fh, 40.0, "the focus sits on the ground")
        # The focus mark (a red cross) is drawn at that spot of the overview.
        page.wait_for("document.body.dataset.state === 'ready'")
        shot = read_png(page.screenshot([x - 8, y - 8, 16, 16]))
        marks = [p for row in shot[2] for p in row if p[0] > 200 and p[1] < 110 and p[2] < 150]
        self.assertGreater(len(marks), 10, "no focus mark where the overview was clicked")

    def test_a_picked_or_dropped_file_replaces_the_map_and_a_broken_one_is_refused(self):
        page = self.open_page(self.html["halves"])
        page.set_files("#file-input", [self.features])
        page.wait_for("document.body.dataset.mapName === 'features.vxl'")
        self.assertEqual(int(page.body_data()["faces"]), sum(fixtures.probe(self.features)["faces"]))
        self.assertIn("vxlinspect stats", page.evaluate("document.getElementById('figures').textContent"))

        broken = self.work.crafted_map("broken.vxl", crafted_maps.malformed()["top-end-below-start"])
        page.set_files("#file-input", [broken])
        page.wait_for("document.body.dataset.loadError")
        self.assertEqual(page.body_data()["loadError"],
                         "broken.vxl: not a valid map: byte 42, column (5, 0): "
                         "top_end 32 is below top_start 40 - 1")
        self.assertEqual(page.body_data()["mapName"], "features.vxl", "the shown map was dropped")

        page.call("Input.dispatchDragEvent", type="dragEnter", x=300, y=300,
                  data={"items": [], "files": [self.halves], "dragOperationsMask": 1})
        page.call("Input.dispatchDragEvent", type="dragOver", x=300, y=300,
                  data={"items": [], "files": [self.halves], "dragOperationsMask": 1})
        page.call("Input.dispatchDragEvent", type="drop", x=300, y=300,
                  data={"items": [], "files": [self.halves], "dragOperationsMask": 1})
        page.wait_for("document.body.dataset.mapName === 'halves.vxl'")
        self.assertNotIn("loadError", page.body_data())


class NoWebGLTest(fixtures.BrowserTestCase):
    browser_flags = ("--disable-3d-apis",)

    def test_without_webgl2_the_page_says_so_and_still_shows_the_figures(self):
        work = fixtures.Workspace()
        try:
            path = work.html(work.crafted_map("halves.vxl", crafted_maps.halves()))
            page = self.open_page(path, ready="no-webgl")
            message = page.evaluate("document.getElementById('message').innerText")
            self.assertIn("WebGL2", message)
            self.assertTrue(page.evaluate("document.getElementById('message').offsetHeight > 0"))
            self.assertIn("Land, left start",
                          page.evaluate("document.getElementById('figures').textContent"))
            self.assertTrue(page.evaluate("document.getElementById('overview-image').naturalWidth > 0"))
        finally:
            work.close()


if __name__ == "__main__":
    fixtures.main()
