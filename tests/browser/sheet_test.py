"""The sheet of `vxlinspect sheet`, in a real browser: every map listed
with its thumbnail and figures, sorting by a column, filtering by name,
and each entry opening that map in 3D."""

import json
import os
import subprocess

import crafted_maps
import fixtures

ROWS = """Array.from(document.querySelectorAll('#sheet tbody tr'))
  .filter((tr) => !tr.hidden).map((tr) => tr.dataset.name)"""


class SheetTest(fixtures.BrowserTestCase):
    @classmethod
    def setUpClass(cls):
        super().setUpClass()
        cls.work = fixtures.Workspace()
        maps = [cls.work.generated_map(seed) for seed in (12, 5, 40)]
        maps.append(cls.work.crafted_map("halves.vxl", crafted_maps.halves()))
        maps.append(cls.work.crafted_map("broken.vxl", crafted_maps.malformed()["trailing"]))
        cls.maps = maps
        cls.out = cls.work.path("sheet")
        cls.outcome = subprocess.run([fixtures.VXLINSPECT, "sheet", cls.out, *maps],
                                 capture_output=True, text=True)
        stats = subprocess.run([fixtures.VXLINSPECT, "stats", "--json", *maps[:4]],
                               capture_output=True, text=True, check=True).stdout
        cls.figures = {os.path.basename(j["map"]): j for j in map(json.loads, stats.splitlines())}

    @classmethod
    def tearDownClass(cls):
        cls.work.close()
        super().tearDownClass()

    def test_every_map_is_listed_and_the_broken_one_says_why(self):
        # The broken map makes the run fail, but not the others.
        self.assertEqual(self.outcome.returncode, 1, self.outcome.stderr)
        self.assertIn("broken.vxl: malformed: byte 2097152", self.outcome.stderr)
        page = self.open_page(os.path.join(self.out, "index.html"))
        self.assertEqual(page.evaluate(ROWS), [os.path.basename(m) for m in self.maps])
        self.assertEqual(page.body_data()["rows"], "5")
        broken = page.evaluate("document.querySelector('tr[data-name=\"broken.vxl\"]').textContent")
        self.assertIn("2 bytes after the last column", broken)
        # Thumbnails, from beside the index, have loaded.
        page.wait_for("Array.from(document.images).every((i) => i.complete)")
        self.assertEqual(page.evaluate("Array.from(document.images).map((i) => i.naturalWidth)"),
                         [128] * 4)

    def test_columns_sort_both_ways_and_the_filter_keeps_matching_names(self):
        page = self.open_page(os.path.join(self.out, "index.html"))
        by_height = sorted(self.figures, key=lambda n: (self.figures[n]["surface_mean"], n))

        def click_heading(key):
            page.evaluate(f"document.querySelector('th[data-key={key}] button').click()")

        click_heading("surface_mean")
        self.assertEqual(page.body_data()["sort"], "surface_mean ascending")
        self.assertEqual(page.evaluate(ROWS), by_height + ["broken.vxl"])
        click_heading("surface_mean")
        self.assertEqual(page.body_data()["sort"], "surface_mean descending")
        self.assertEqual(page.evaluate(ROWS), by_height[::-1] + ["broken.vxl"])
        click_heading("land_share_difference")
        shares = [self.figures[n]["land_share_difference"] for n in page.evaluate(ROWS)[:4]]
        self.assertEqual(shares, sorted(shares))
        # Names sort as people count: seed-5 before seed-12.
        click_heading("name")
        self.assertEqual(page.evaluate(ROWS),
                         ["broken.vxl", "halves.vxl", "seed-5.vxl", "seed-12.vxl", "seed-40.vxl"])

        page.evaluate("""(() => { const f = document.getElementById('filter');
                         f.value = 'SEED-4'; f.dispatchEvent(new Event('input')); })()""")
        self.assertEqual(page.evaluate(ROWS), ["seed-40.vxl"])
        self.assertEqual(page.body_data()["shown"], "1")

    def test_an_entry_opens_its_map_in_3d_and_leads_back(self):
        page = self.open_page(os.path.join(self.out, "index.html"))
        page.evaluate("document.querySelector('tr[data-name=\"seed-5.vxl\"] td.name a').click()")
        page.wait_for("location.pathname.endsWith('/maps/seed-5.html') && "
                      "document.body.dataset.state === 'ready'", timeout=120)
        self.assertEqual(page.body_data()["mapName"], "seed-5.vxl")
        self.assertEqual(page.evaluate("document.getElementById('back').getAttribute('href')"),
                         "../index.html")
        self.assertIn(f"{self.figures['seed-5.vxl']['surface_max']}",
                      page.evaluate("document.getElementById('figures').textContent"))

    def test_the_folder_is_smaller_than_the_maps(self):
        size = sum(os.path.getsize(os.path.join(folder, f))
                   for folder, _, files in os.walk(self.out) for f in files)
        self.assertLess(size, sum(os.path.getsize(m) for m in self.maps))


if __name__ == "__main__":
    fixtures.main()
