"""A headless Chromium driven through its DevTools protocol, for the tests
of the pages vxlinspect writes.

The browser runs with software WebGL (SwiftShader), a fresh profile and
everything that would reach the network turned off, and talks over a pipe
(--remote-debugging-pipe: JSON messages ending in a NUL byte, read on its
fd 3 and written on its fd 4), so no port is opened either.

Only the Python standard library is used.
"""

import base64
import json
import os
import queue
import shutil
import subprocess
import tempfile
import threading
import time

# The status that tells CTest a test was skipped (SKIP_RETURN_CODE).
SKIP_STATUS = 77

FLAGS = [
    "--headless",
    "--no-sandbox",
    "--disable-gpu",
    "--use-angle=swiftshader",
    "--enable-unsafe-swiftshader",
    "--disable-background-networking",
    "--disable-component-update",
    "--disable-sync",
    "--no-first-run",
    "--disable-quic",
    "--disable-default-apps",
    "--disable-extensions",
    "--mute-audio",
    "--hide-scrollbars",
]


def find_chromium():
    """The browser to run: $VXLFORGE_CHROMIUM, or chromium (Debian's) or
    chromium-browser on the PATH; None when there is none."""
    named = os.environ.get("VXLFORGE_CHROMIUM")
    if named:
        return named if os.access(named, os.X_OK) else None
    for name in ("chromium", "chromium-browser"):
        path = shutil.which(name)
        if path:
            return path
    return None


def browser_or_skip():
    """The browser's path; without one, exits with SKIP_STATUS and says why,
    except on CI (CI=true), where a missing browser is a failure."""
    path = find_chromium()
    if path:
        return path
    if os.environ.get("CI", "").lower() in ("1", "true", "yes"):
        print("FAILED: no Chromium found, and CI must run the browser tests "
              "(apt-get install chromium, or set VXLFORGE_CHROMIUM)", flush=True)
        raise SystemExit(1)
    print("SKIPPED: no Chromium found (apt-get install chromium, or set VXLFORGE_CHROMIUM); "
          "the browser tests did not run", flush=True)
    raise SystemExit(SKIP_STATUS)


class ProtocolError(Exception):
    pass


class Browser:
    """One browser process. Use as a context manager; `page()` opens a tab."""

    def __init__(self, chromium, extra_flags=(), width=1200, height=800):
        self.profile = tempfile.mkdtemp(prefix="vxlinspect-chromium-")
        to_browser_read, self._to_browser = os.pipe()
        self._from_browser, from_browser_write = os.pipe()

        def plumb():
            # The protocol's fixed descriptors in the child.
            os.dup2(to_browser_read, 3)
            os.dup2(from_browser_write, 4)

        command = [chromium, *FLAGS, *extra_flags, f"--user-data-dir={self.profile}",
                   f"--window-size={width},{height}", "--remote-debugging-pipe", "about:blank"]
        self.log = open(os.path.join(self.profile, "stderr.txt"), "wb")
        self.process = subprocess.Popen(command, stdin=subprocess.DEVNULL, stdout=self.log,
                                        stderr=self.log, preexec_fn=plumb, pass_fds=(3, 4))
        os.close(to_browser_read)
        os.close(from_browser_write)
        self._next_id = 0
        self._replies = {}
        self._replied = threading.Condition()
        self.events = queue.Queue()
        self._reader = threading.Thread(target=self._read, daemon=True)
        self._reader.start()

    def _read(self):
        pending = b""
        while True:
            try:
                chunk = os.read(self._from_browser, 1 << 20)
            except OSError:
                chunk = b""
            if not chunk:
                with self._replied:
                    self._closed = True
                    self._replied.notify_all()
                return
            pending += chunk
            while b"\0" in pending:
                raw, pending = pending.split(b"\0", 1)
                message = json.loads(raw)
                if "id" in message:
                    with self._replied:
                        self._replies[message["id"]] = message
                        self._replied.notify_all()
                else:
                    self.events.put(message)

    def call(self, method, session=None, timeout=60, **params):
        """Sends one command and returns its result; raises ProtocolError."""
        self._next_id += 1
        ident = self._next_id
        message = {"id": ident, "method": method, "params": params}
        if session:
            message["sessionId"] = session
        data = json.dumps(message).encode() + b"\0"
        while data:
            data = data[os.write(self._to_browser, data):]
        deadline = time.monotonic() + timeout
        with self._replied:
            while ident not in self._replies:
                if getattr(self, "_closed", False):
                    raise ProtocolError(f"{method}: the browser closed the pipe")
                left = deadline - time.monotonic()
                if left <= 0:
                    raise ProtocolError(f"{method}: no answer in {timeout} s")
                self._replied.wait(left)
            reply = self._replies.pop(ident)
        if "error" in reply:
            raise ProtocolError(f"{method}: {reply['error']}")
        return reply.get("result", {})

    def page(self):
        target = self.call("Target.createTarget", url="about:blank")["targetId"]
        session = self.call("Target.attachToTarget", targetId=target, flatten=True)["sessionId"]
        return Page(self, session, target)

    def close(self):
        try:
            self.call("Browser.close", timeout=10)
        except ProtocolError:
            pass
        try:
            self.process.wait(timeout=10)
        except subprocess.TimeoutExpired:
            self.process.kill()
            self.process.wait()
        os.close(self._to_browser)
        self.log.close()
        shutil.rmtree(self.profile, ignore_errors=True)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()


class Page:
    """One tab: navigation, script, input and screenshots, and a record of
    every request it made and every error or warning it logged."""

    def __init__(self, browser, session, target):
        self.browser = browser
        self.session = session
        self.target = target
        self.requests = []  # URLs
        self.errors = []    # console errors, exceptions, error log entries
        for domain in ("Page", "Runtime", "Network", "Log"):
            self.call(f"{domain}.enable")

    def call(self, method, timeout=60, **params):
        result = self.browser.call(method, session=self.session, timeout=timeout, **params)
        self._drain()
        return result

    def _drain(self):
        keep = []
        while True:
            try:
                event = self.browser.events.get_nowait()
            except queue.Empty:
                break
            if event.get("sessionId") != self.session:
                keep.append(event)
                continue
            method = event["method"]
            params = event.get("params", {})
            if method == "Network.requestWillBeSent":
                # Inline images come as data: URLs of many kilobytes.
                self.requests.append(params["request"]["url"][:120])
            elif method == "Runtime.exceptionThrown":
                details = params["exceptionDetails"]
                self.errors.append("exception: " + details.get("exception", {}).get(
                    "description", details.get("text", "")))
            elif method == "Runtime.consoleAPICalled" and params["type"] in ("error", "assert"):
                self.errors.append("console: " + " ".join(
                    str(a.get("value", a.get("description", ""))) for a in params["args"]))
            elif method == "Log.entryAdded" and params["entry"]["level"] == "error":
                self.errors.append("log: " + params["entry"]["text"])
        for event in keep:
            self.browser.events.put(event)

    def open(self, path):
        self.call("Page.navigate", url="file://" + os.path.abspath(path))

    def evaluate(self, expression, timeout=60):
        """The value of a JavaScript expression (awaited when a promise)."""
        result = self.call("Runtime.evaluate", timeout=timeout, expression=expression,
                           returnByValue=True, awaitPromise=True)
        if "exceptionDetails" in result:
            details = result["exceptionDetails"]
            raise ProtocolError("script: " + details.get("exception", {}).get(
                "description", details.get("text", "")))
        return result["result"].get("value")

    def wait_for(self, expression, timeout=30):
        """Waits until `expression` is truthy; returns its value."""
        deadline = time.monotonic() + timeout
        while True:
            try:
                value = self.evaluate(expression)
            except ProtocolError:
                value = None  # the page is not there yet
            if value:
                return value
            if time.monotonic() > deadline:
                raise AssertionError(f"still not true after {timeout} s: {expression}")
            time.sleep(0.05)

    def body_data(self):
        """The page's report of itself: <body>'s data- attributes."""
        return self.evaluate("Object.assign({}, document.body.dataset)")

    def box(self, selector):
        """[left, top, width, height] of an element, in CSS pixels."""
        return self.evaluate(
            f"(() => {{ const r = document.querySelector({json.dumps(selector)})"
            ".getBoundingClientRect(); return [r.left, r.top, r.width, r.height]; })()")

    def screenshot(self, box=None):
        """A PNG of the page as shown, or of `box` ([left, top, width, height])."""
        # A tab in the background draws no frames to capture.
        self.call("Page.bringToFront")
        params = {"format": "png"}
        if box:
            params["clip"] = {"x": box[0], "y": box[1], "width": box[2], "height": box[3],
                              "scale": 1}
        return base64.b64decode(self.call("Page.captureScreenshot", **params)["data"])

    def mouse(self, kind, x, y, button="none", buttons=0, **extra):
        self.call("Input.dispatchMouseEvent", type=kind, x=x, y=y, button=button,
                  buttons=buttons, **extra)

    def drag(self, start, end, steps=10, button="left"):
        """Presses at `start`, moves to `end` in `steps`, releases."""
        mask = {"left": 1, "right": 2}[button]
        self.mouse("mouseMoved", *start)
        self.mouse("mousePressed", *start, button=button, buttons=mask, clickCount=1)
        for i in range(1, steps + 1):
            x = start[0] + (end[0] - start[0]) * i / steps
            y = start[1] + (end[1] - start[1]) * i / steps
            self.mouse("mouseMoved", x, y, button=button, buttons=mask)
        self.mouse("mouseReleased", *end, button=button, buttons=0, clickCount=1)

    def click(self, x, y):
        self.mouse("mouseMoved", x, y)
        self.mouse("mousePressed", x, y, button="left", buttons=1, clickCount=1)
        self.mouse("mouseReleased", x, y, button="left", buttons=0, clickCount=1)

    def touch(self, kind, points):
        self.call("Input.dispatchTouchEvent", type=kind,
                  touchPoints=[{"x": x, "y": y, "id": i} for i, (x, y) in enumerate(points)])

    def key(self, key, code=None):
        for kind in ("keyDown", "keyUp"):
            self.call("Input.dispatchKeyEvent", type=kind, key=key, code=code or key)

    def set_files(self, selector, paths):
        """Picks `paths` in the file input `selector`, as a user would."""
        root = self.call("DOM.getDocument")["root"]["nodeId"]
        node = self.call("DOM.querySelector", nodeId=root, selector=selector)["nodeId"]
        self.call("DOM.setFileInputFiles", nodeId=node, files=[os.path.abspath(p) for p in paths])

    def close(self):
        self.browser.call("Target.closeTarget", targetId=self.target)

    def outside_requests(self):
        """Requests to anything but this computer's own files and inline data."""
        return [u for u in self.requests if not u.startswith(("file:", "data:", "about:", "blob:"))]
