"""The browser build's figures, printed as a Markdown table (scripts/web.sh bench):

- the download: each file of the site, as served and gzipped (what a web server with
  compression sends);
- navigation to the first frame in headless Chromium (the median of five fresh loads, each
  with an empty cache and a fresh profile);
- frames per second of a busy run, in headless Chromium (WebGL 2 on SwiftShader) and in the
  desktop build on Mesa's llvmpipe under Xvfb, one after the other in the same run, both
  1280 x 720: EASY, RANDOM (the run clock starts at 70 s, where the traffic is dense),
  SPACE, two seconds to settle, then ten seconds counted.

    browser_bench.py SITE DESKTOP_GAME DESKTOP_FRAMES_LIBRARY PROJECT_ROOT
"""

import gzip
import os
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "web"))
from devtools import COUNT_FRAMES, Chromium, Site, wait_until  # noqa: E402

SETTLE_SECONDS = 2.0
COUNTED_SECONDS = 10.0


def download_sizes(site):
    rows = []
    for name in ("index.html", "tamq.js", "tamq.wasm", "tamq.data"):
        with open(os.path.join(site, name), "rb") as file:
            data = file.read()
        rows.append((name, len(data), len(gzip.compress(data, 9))))
    return rows


def first_frame_times(site, loads=5):
    times = []
    for _ in range(loads):
        browser = Chromium()
        try:
            browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
            browser.navigate(site.url)
            times.append(browser.wait_for("window.tamqFirstFrameMs", 120, "the first frame"))
        finally:
            browser.close()
    return times


# The keys that start the busy run, and what the page's game state shows after each.
BUSY_RUN_KEYS = (("F1", "state.easy"), ("F2", "state.random"), ("Space", "state.running"))


def start_busy_run(press):
    for key, effect in BUSY_RUN_KEYS:
        press(key, effect)
    time.sleep(SETTLE_SECONDS)


def browser_fps(site):
    browser = Chromium()
    try:
        browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES)
        browser.navigate(site.url)
        browser.wait_for("window.tamqFrames > 10", 120, "the game running")
        start_busy_run(lambda key, effect: browser.key_action(key, effect, f"{key} taken"))
        first, started = browser.evaluate("window.tamqFrames"), time.monotonic()
        time.sleep(COUNTED_SECONDS)
        last, ended = browser.evaluate("window.tamqFrames"), time.monotonic()
        return (last - first) / (ended - started)
    finally:
        browser.close()


def desktop_fps(game, frames_library, root):
    with tempfile.TemporaryDirectory() as scratch:
        display_file = os.path.join(scratch, "display")
        with open(display_file, "w") as out:
            # Xvfb picks a free display and writes its number to standard output.
            xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-screen", "0", "1280x720x24",
                                     "-nolisten", "tcp"], stdout=out, stderr=subprocess.DEVNULL)
        game_process = None
        try:
            display = ":" + wait_until(lambda: open(display_file).read().strip(), 30, "Xvfb")
            log = os.path.join(scratch, "frames")
            env = dict(os.environ, DISPLAY=display, LD_PRELOAD=frames_library, TAMQ_FRAME_LOG=log)
            env.pop("SDL_VIDEODRIVER", None)
            game_process = subprocess.Popen([game], cwd=root, env=env, stdout=subprocess.DEVNULL,
                                            stderr=subprocess.DEVNULL)
            xdo = dict(os.environ, DISPLAY=display)
            window = subprocess.run(["xdotool", "search", "--sync", "--name", "^TAMQ 4 Pelrok$"],
                                    env=xdo, capture_output=True, text=True, timeout=60).stdout.split()[0]
            subprocess.run(["xdotool", "windowfocus", "--sync", window], env=xdo, timeout=30)

            # The desktop game tells nothing of its state to another process: the keys
            # go at a pace the unloaded game keeps, with the one-second gap between them.
            def press(key, effect):
                name = {"Space": "space"}.get(key, key)
                subprocess.run(["xdotool", "keydown", name], env=xdo, check=True)
                time.sleep(0.4)
                subprocess.run(["xdotool", "keyup", name], env=xdo, check=True)
                time.sleep(1.2)

            def reading():
                with open(log) as file:
                    frames, seconds = file.read().split()
                return int(frames), float(seconds)

            start_busy_run(press)
            first = reading()
            time.sleep(COUNTED_SECONDS)
            last = reading()
            return (last[0] - first[0]) / (last[1] - first[1])
        finally:
            if game_process is not None:
                game_process.terminate()
                game_process.wait(30)
            xvfb.terminate()
            xvfb.wait(30)


def main(site_folder, game, frames_library, root):
    print("| file | bytes | gzipped |")
    print("|---|---|---|")
    sizes = download_sizes(site_folder)
    for name, raw, packed in sizes:
        print(f"| `{name}` | {raw:,} | {packed:,} |")
    print(f"| all | {sum(r for _, r, _ in sizes):,} | {sum(p for _, _, p in sizes):,} |")
    print()
    site = Site(site_folder)
    try:
        times = first_frame_times(site)
        chromium = browser_fps(site)
    finally:
        site.close()
    desktop = desktop_fps(game, frames_library, root)
    print("| figure | value |")
    print("|---|---|")
    print(f"| navigation to first frame, median of {len(times)} loads | {statistics.median(times):.0f} ms "
          f"({min(times):.0f} .. {max(times):.0f}) |")
    print(f"| busy run, headless Chromium (SwiftShader) | {chromium:.1f} frames/s |")
    print(f"| busy run, desktop build (llvmpipe, Xvfb) | {desktop:.1f} frames/s |")
    print(f"| Chromium / desktop | {chromium / desktop:.2f} |")
    load = open("/proc/loadavg").read().split()[:3]
    print(f"\nload average during the run: {' '.join(load)}")


if __name__ == "__main__":
    main(*sys.argv[1:5])
