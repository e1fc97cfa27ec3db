"""What the browser tests share: the programs under test (named by the
environment CTest sets), a scratch folder, maps generated and crafted in
it, and the pages vxlinspect writes for them."""

import json
import os
import shutil
import subprocess
import tempfile
import unittest

import browser

VXLFORGE = os.environ.get("VXLFORGE", "vxlforge")
VXLINSPECT = os.environ.get("VXLINSPECT", "vxlinspect")
PROBE = os.environ.get("MAP_VOXELS_PROBE", "map_voxels_probe")


class Workspace:
    """A scratch folder, removed at the end."""

    def __init__(self):
        self.root = tempfile.mkdtemp(prefix="vxlinspect-browser-test-")

    def path(self, name):
        return os.path.join(self.root, name)

    def generated_map(self, seed, name=None):
        path = self.path(name or f"seed-{seed}.vxl")
        subprocess.run([VXLFORGE, "-s", str(seed), "-o", path], check=True,
                       stdout=subprocess.DEVNULL)
        return path

    def crafted_map(self, name, data):
        path = self.path(name)
        with open(path, "wb") as f:
            f.write(data)
        return path

    def html(self, map_path):
        """The 3D page of `map_path`, written beside it."""
        out = os.path.splitext(map_path)[0] + ".html"
        subprocess.run([VXLINSPECT, "html", map_path, out], check=True)
        return out

    def close(self):
        shutil.rmtree(self.root, ignore_errors=True)


def probe(map_path):
    """The C++ reader's account of a map (see map_voxels_probe.cc)."""
    out = subprocess.run([PROBE, map_path], check=True, capture_output=True, text=True).stdout
    return json.loads(out)


class BrowserTestCase(unittest.TestCase):
    """One browser for the whole class; every page a test opens must make
    no request beyond its own file and log no error."""

    browser_flags = ()

    @classmethod
    def setUpClass(cls):
        cls.browser = browser.Browser(browser.browser_or_skip(), extra_flags=cls.browser_flags)

    @classmethod
    def tearDownClass(cls):
        cls.browser.close()

    def setUp(self):
        self.pages = []

    def open_page(self, path, ready="ready"):
        page = self.browser.page()
        self.pages.append(page)
        page.open(path)
        page.wait_for(f"document.body && document.body.dataset.state === {json.dumps(ready)}",
                      timeout=120)
        return page

    def tearDown(self):
        for page in self.pages:
            page.call("Runtime.evaluate", expression="0")  # collects the last events
            self.assertEqual(page.outside_requests(), [], "the page reached beyond its own file")
            self.assertEqual(page.errors, [], "the page logged errors")
            page.close()


def main():
    """Runs the module's tests; skips (status 77) without a browser."""
    browser.browser_or_skip()
    unittest.main(verbosity=2)
