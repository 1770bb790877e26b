"""A small client for headless Chromium over the DevTools protocol, and the local web server
the browser build is played from. Used by the browser tests and the browser benchmark.

Chromium runs with a fresh profile, software WebGL 2 (ANGLE on SwiftShader) and every
background service off; its host resolver answers nothing but 127.0.0.1, so it never
reaches for the network.
"""

import base64
import functools
import http.server
import json
import os
import shutil
import subprocess
import tempfile
import threading
import time
import urllib.request

import websocket

CHROMIUM_FLAGS = [
    "--headless=new", "--no-sandbox", "--use-gl=angle", "--use-angle=swiftshader",
    # Without it WebGL on SwiftShader works but warns, on every page, that it is deprecated.
    "--enable-unsafe-swiftshader",
    "--no-first-run", "--no-default-browser-check", "--disable-background-networking",
    "--disable-component-update", "--disable-sync", "--disable-quic",
    "--disable-domain-reliability", "--disable-breakpad", "--disable-default-apps",
    "--disable-features=Translate,MediaRouter,OptimizationHints,AutofillServerCommunication",
    "--host-resolver-rules=MAP * ~NOTFOUND, EXCLUDE 127.0.0.1",
    "--password-store=basic", "--mute-audio", "--window-size=1280,720",
    "--remote-debugging-port=0", "--remote-allow-origins=*",
]

# The game keys (and F3, which is not one) as DevTools key events need them: DOM key, DOM code, Windows key code.
KEYS = {
    "Escape": ("Escape", "Escape", 27),
    "Space": (" ", "Space", 32),
    "F1": ("F1", "F1", 112),
    "F2": ("F2", "F2", 113),
    "F3": ("F3", "F3", 114),
    "Left": ("ArrowLeft", "ArrowLeft", 37),
    "Up": ("ArrowUp", "ArrowUp", 38),
    "Right": ("ArrowRight", "ArrowRight", 39),
    "Down": ("ArrowDown", "ArrowDown", 40),
    "M": ("m", "KeyM", 77),
    "R": ("r", "KeyR", 82),
    "T": ("t", "KeyT", 84),
    "D": ("d", "KeyD", 68),
    "W": ("w", "KeyW", 87),
    "PageDown": ("PageDown", "PageDown", 34),
}
# Input.dispatchKeyEvent's modifier bits.
ALT = 1


# Counts the game's frames and notes when the first one was drawn, in milliseconds after
# navigation; changes nothing else.
COUNT_FRAMES = """
(() => {
  const request = window.requestAnimationFrame.bind(window);
  window.tamqFrames = 0;
  window.requestAnimationFrame = (callback) => request((time) => {
    callback(time);
    if (window.tamqFrames++ === 0) {
      window.tamqFirstFrameMs = performance.now();
    }
  });
})();
"""


# Reads a file of the saves folder as the site's IndexedDB holds it (null while there is
# none) into window.tamqStored: text, or base64 when asked for the bytes; why it could not
# be read into window.tamqStoredError.
READ_STORED = """
((name, binary) => {
  window.tamqStored = undefined;
  window.tamqStoredError = undefined;
  const open = indexedDB.open('/tamq4pelrok');
  open.onerror = () => { window.tamqStored = null; };
  open.onsuccess = () => {
    const db = open.result;
    const done = (value) => { window.tamqStored = value; db.close(); };
    if (!db.objectStoreNames.contains('FILE_DATA')) {
      return done(null);
    }
    const get = db.transaction('FILE_DATA').objectStore('FILE_DATA').get('/tamq4pelrok/' + name);
    get.onerror = () => done(null);
    get.onsuccess = () => {
      const contents = get.result ? get.result.contents : null;
      if (!contents) {
        return done(null);
      }
      try {
        // A file the game wrote is kept as the signed bytes of a slice of its memory
        // (Int8Array): read as they are, bytes over 127 would become characters btoa refuses.
        const bytes = new Uint8Array(contents.buffer, contents.byteOffset, contents.byteLength);
        done(binary ? btoa(Array.from(bytes, (byte) => String.fromCharCode(byte)).join(''))
                    : new TextDecoder().decode(bytes));
      } catch (error) {
        window.tamqStoredError = `${Object.prototype.toString.call(contents)}: ${error}`;
        done(null);
      }
    };
  };
})"""


def wait_until(condition, timeout, what):
    """Polls condition until it returns something true; fails naming what was awaited."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise TimeoutError(f"timed out after {timeout} s waiting for {what}")
        time.sleep(0.05)


class QuietHandler(http.server.SimpleHTTPRequestHandler):
    extensions_map = {**http.server.SimpleHTTPRequestHandler.extensions_map,
                      ".wasm": "application/wasm", ".data": "application/octet-stream"}

    def log_message(self, *args):
        pass


class Site:
    """The browser build served on 127.0.0.1 at a port the system picks."""

    def __init__(self, folder):
        handler = functools.partial(QuietHandler, directory=folder)
        self.server = http.server.ThreadingHTTPServer(("127.0.0.1", 0), handler)
        self.url = f"http://127.0.0.1:{self.server.server_address[1]}/"
        threading.Thread(target=self.server.serve_forever, daemon=True).start()

    def close(self):
        self.server.shutdown()
        self.server.server_close()


class Chromium:
    """One headless Chromium with one page, driven through the DevTools protocol. Console
    errors, uncaught exceptions and WebGL warnings of the page are collected in problems."""

    def __init__(self, width=1280, height=720, flags=()):
        self.profile = tempfile.mkdtemp(prefix="tamq-chromium-")
        binary = shutil.which("chromium") or shutil.which("chromium-browser")
        if binary is None:
            raise RuntimeError("chromium is not installed")
        self.process = subprocess.Popen(
            [binary, *CHROMIUM_FLAGS, *flags, f"--user-data-dir={self.profile}", "about:blank"],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.next_id = 0
        self.problems = []
        # Load events of the page's documents so far: a navigation is over at the next one.
        self.loads = 0
        # The page's HTTP exchanges once watch_network was called: method, URL and status.
        self.exchanges = []
        self.methods = {}
        self.socket = None
        try:
            port_file = os.path.join(self.profile, "DevToolsActivePort")
            port = wait_until(lambda: os.path.exists(port_file) and open(port_file).readline().strip(),
                              30, "Chromium's DevTools port")
            with urllib.request.urlopen(f"http://127.0.0.1:{port}/json/list") as reply:
                pages = [t for t in json.load(reply) if t["type"] == "page"]
            self.socket = websocket.create_connection(pages[0]["webSocketDebuggerUrl"], timeout=60)
            for domain in ("Page", "Runtime", "Log"):
                self.call(f"{domain}.enable")
            self.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                      deviceScaleFactor=1, mobile=False)
        except BaseException:
            self.close()
            raise

    def close(self):
        if self.socket is not None:
            self.socket.close()
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(10)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        shutil.rmtree(self.profile, ignore_errors=True)

    def call(self, method, **params):
        self.next_id += 1
        self.socket.send(json.dumps({"id": self.next_id, "method": method, "params": params}))
        while True:
            message = json.loads(self.socket.recv())
            if message.get("id") == self.next_id:
                if "error" in message:
                    raise RuntimeError(f"{method}: {message['error']}")
                return message.get("result", {})
            self._note(message)

    def _note(self, event):
        method, params = event.get("method"), event.get("params", {})
        if method == "Page.loadEventFired":
            self.loads += 1
        elif method == "Network.requestWillBeSent":
            self.methods[params["requestId"]] = params["request"]["method"]
        elif method == "Network.responseReceived":
            self.exchanges.append({"method": self.methods.get(params["requestId"]),
                                   "url": params["response"]["url"], "status": params["response"]["status"]})
        elif method == "Runtime.consoleAPICalled" and params["type"] in ("error", "assert"):
            text = " ".join(str(a.get("value", a.get("description", ""))) for a in params["args"])
            self.problems.append(f"console.{params['type']}: {text}")
        elif method == "Runtime.exceptionThrown":
            details = params["exceptionDetails"]
            text = details.get("exception", {}).get("description", details.get("text", ""))
            self.problems.append(f"uncaught: {text}")
        elif method == "Log.entryAdded":
            entry = params["entry"]
            # WebGL reports a rejected call as a warning: for this game that is a fault.
            if entry["level"] == "error" or "WebGL" in entry.get("text", ""):
                self.problems.append(f"{entry['source']} {entry['level']}: {entry['text']}")

    def watch_network(self):
        """Notes the page's HTTP exchanges from now on, in exchanges."""
        self.call("Network.enable")

    def exchanged(self, method, url_start, status=None):
        """The exchanges so far of that method to URLs starting so (of that status)."""
        # Events arrive with the answers to calls: one call takes in those waiting.
        self.evaluate("0")
        return [e for e in self.exchanges if e["method"] == method and e["url"].startswith(url_start)
                and (status is None or e["status"] == status)]

    def evaluate(self, expression):
        result = self.call("Runtime.evaluate", expression=expression, returnByValue=True)
        if "exceptionDetails" in result:
            raise RuntimeError(f"{expression}: {result['exceptionDetails']}")
        return result["result"].get("value")

    def stored_file(self, name, binary=False):
        """A file of the game's saves folder as the site's IndexedDB holds it: text, or
        base64 when asked for the bytes; None while there is none."""
        self.evaluate(f"{READ_STORED}({json.dumps(name)}, {json.dumps(binary)})")
        self.wait_for("window.tamqStored !== undefined", 10, "IndexedDB")
        error = self.evaluate("window.tamqStoredError")
        if error:
            raise RuntimeError(f"{name} cannot be read from IndexedDB: {error}")
        return self.evaluate("window.tamqStored")

    def wait_for(self, expression, timeout, what):
        return wait_until(lambda: self.evaluate(expression), timeout, what)

    def wait_state(self, condition, timeout, what):
        """Polls where the game stood after its last frame (Module.gameState, set by the
        browser build) until condition, an expression over state, holds."""
        return self.wait_for("(() => { const state = window.Module && Module.gameState;"
                             f" return state !== undefined && ({condition}); }})()", timeout, what)

    def key_action(self, name, effect, what, timeout=60):
        """Presses a game key once the game will take it (its gap between key actions runs
        on game time, which falls behind when frames are slow), then waits for effect."""
        self.wait_state("state.keyReady", timeout, f"the game ready for {name}")
        self.tap(name)
        self.wait_state(effect, timeout, what)

    def navigate(self, url, before_load=None):
        """Opens url and returns once the new document has loaded; before_load, a script,
        then runs in the page before any of its own."""
        if before_load is not None:
            self.call("Page.addScriptToEvaluateOnNewDocument", source=before_load)
        self._replace_document(lambda: self.call("Page.navigate", url=url), url)

    def follow(self, selector):
        """Clicks the link that selector finds, as a player does, and returns once the
        document it opens has loaded."""
        self._replace_document(lambda: self.evaluate(f"document.querySelector({json.dumps(selector)}).click()"),
                               selector)

    def reload(self):
        """Reloads the page and returns once the new document has loaded."""
        self._replace_document(lambda: self.call("Page.reload"), "the reload")

    def _replace_document(self, go, what, timeout=120):
        # Page.navigate and Page.reload answer before the old document is gone: until then
        # an evaluation still reads the old page, and a screenshot taken while the new one
        # commits fails with "Not attached to an active page". The old document is marked,
        # and the wait lasts until a load event has come after the request and a document
        # without the mark has finished loading.
        self.evaluate("window.tamqOldDocument = true")
        loads = self.loads
        go()

        def loaded():
            try:
                fresh = self.evaluate("window.tamqOldDocument === undefined && document.readyState === 'complete'")
            except RuntimeError:
                # Between the two documents there may be no context to evaluate in.
                return False
            return fresh and self.loads > loads

        wait_until(loaded, timeout, f"the page loaded after {what}")

    def screenshot(self, path):
        data = self.call("Page.captureScreenshot", format="png")["data"]
        with open(path, "wb") as out:
            out.write(base64.b64decode(data))
        return path

    def key(self, name, down, modifiers=0):
        key, code, number = KEYS[name]
        self.call("Input.dispatchKeyEvent", type="rawKeyDown" if down else "keyUp", key=key,
                  code=code, windowsVirtualKeyCode=number, nativeVirtualKeyCode=number,
                  modifiers=modifiers)

    def tap(self, name, modifiers=0):
        """Pressed and released at once, well within one frame."""
        self.key(name, True, modifiers)
        self.key(name, False, modifiers)

    def hold(self, name, seconds):
        self.key(name, True)
        time.sleep(seconds)
        self.key(name, False)
