"""Plays the browser build on an emulated phone or tablet, and with a game controller, in
headless Chromium through the DevTools protocol.

    touch_test.py SITE SHOTS

1. With a mouse and keyboard the touch controls stay hidden.
2. On a touch device (touch emulation, mobile metrics, real touch events): a thumb put down
   and lifted at once starts a run; a thumb held and slid left, then right, moves the truck
   that way; the pause button pauses (the picture stands still over many frames) and
   resumes; the EASY/HARD button gives the EASY hearts.
3. The page never moves under a finger: after swipes, a pinch, a double tap and long
   presses, the page is not scrolled, not zoomed and has nothing selected.
4. The picture keeps 16:9, as large as the screen allows, on a phone in portrait and in
   landscape.
5. A standard-mapping controller given to the page through the Gamepad API: A starts a run
   and the left stick steers.

Every wait polls for what it waits for; the time each took is printed.
"""

import json
import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from devtools import COUNT_FRAMES, Chromium, Site, wait_until  # noqa: E402
from checks import check, verdict  # noqa: E402
from browser_test import AUDIO_LOG, AUDIO_STATES, Crop  # noqa: E402
from pictures import Picture, differing_pixels  # noqa: E402


# A controller with the standard mapping, connected when the test says so: the page sees
# it through navigator.getGamepads and the gamepadconnected event, as it sees a real one.
FAKE_PAD = """
(() => {
  const buttons = Array.from({length: 17}, () => ({pressed: false, touched: false, value: 0}));
  const pad = {id: 'Test pad (STANDARD GAMEPAD)', index: 0, connected: true, mapping: 'standard',
               timestamp: 1, axes: [0, 0, 0, 0], buttons: buttons};
  let pads = [];
  navigator.getGamepads = () => pads;
  const touch = () => { pad.timestamp = performance.now(); };
  window.tamqPad = {
    connect() {
      pads = [pad];
      const event = new Event('gamepadconnected');
      event.gamepad = pad;
      window.dispatchEvent(event);
    },
    button(index, down) {
      buttons[index] = {pressed: down, touched: down, value: down ? 1 : 0};
      touch();
    },
    axis(index, value) { pad.axes[index] = value; touch(); },
  };
})();
"""

# The start prompt at the bottom of the title screen, and the road the truck drives on,
# in a 1280 x 720 picture (the page fills a 1280 x 720 viewport with it).
PROMPT = (420, 645, 520, 40)
# The mode text over the grass, top left.
MODE_TEXT = (30, 55, 250, 45)
ROAD = (300, 200, 680, 200)
# Where a thumb steers from: low on the left, clear of the road and the buttons.
THUMB = (200, 600)


class Phone:
    """The page in Chromium with touch emulation: real touch events, as a finger makes."""

    def __init__(self, browser, shots):
        self.browser = browser
        self.shots = shots
        self.count = 0

    def emulate(self, width, height, scale=1, landscape=True):
        self.browser.call("Emulation.setTouchEmulationEnabled", enabled=True, maxTouchPoints=5)
        self.browser.call("Emulation.setDeviceMetricsOverride", width=width, height=height,
                          deviceScaleFactor=scale, mobile=True,
                          screenOrientation={"type": "landscapePrimary" if landscape else "portraitPrimary",
                                             "angle": 90 if landscape else 0})

    def touch(self, kind, points):
        self.browser.call("Input.dispatchTouchEvent", type=kind,
                          touchPoints=[{"x": x, "y": y, "id": i} for i, (x, y) in points])

    def tap(self, x, y):
        self.touch("touchStart", [(0, (x, y))])
        self.touch("touchEnd", [])

    def centre_of(self, element):
        return json.loads(self.browser.evaluate(
            f"(() => {{ const r = document.getElementById('{element}').getBoundingClientRect();"
            " return JSON.stringify([r.left + r.width / 2, r.top + r.height / 2]); })()"))

    def shot(self, name):
        self.count += 1
        return Picture(self.browser.screenshot(os.path.join(self.shots, f"touch-{self.count:02}-{name}.png")))

    def frames(self):
        return self.browser.evaluate("window.tamqFrames")

    def wait_frames(self, count):
        start = self.frames()
        self.browser.wait_for(f"window.tamqFrames >= {start + count}", 60, f"{count} frames")

    def wait_key_ready(self):
        """Waits out the game's one-second gap between key actions, which runs on game time:
        the game itself says when it will take the next."""
        self.browser.wait_state("state.keyReady", 60, "the game ready for a key action")

    def wait_picture(self, name, condition, timeout=30):
        """Screenshots until one meets condition; that picture and the seconds it took."""
        start = time.monotonic()
        last = [None]

        def attempt():
            last[0] = self.shot(name)
            return condition(last[0])

        try:
            wait_until(attempt, timeout, name)
        except TimeoutError:
            check(False, f"timed out after {timeout} s waiting for {name}")
        return last[0], time.monotonic() - start


def prompt_gone(picture):
    return picture.darkest(*PROMPT) > 0.15


def run_over(browser):
    """No run is going on: the page shows how to start one."""
    return browser.evaluate("document.documentElement.classList.contains('touch-idle')")


PAUSE_FACE = "document.getElementById('touch-pause').textContent"


def controls_shown(browser):
    return browser.evaluate("getComputedStyle(document.getElementById('touch')).display !== 'none'")


def desktop_has_no_controls(browser, site):
    browser.call("Page.addScriptToEvaluateOnNewDocument", source=COUNT_FRAMES + AUDIO_LOG)
    browser.navigate(site.url)
    browser.wait_for("window.tamqFrames > 5", 120, "the game running")
    check(not controls_shown(browser), "touch controls shown with a mouse and keyboard")


def touch_session(phone, site, timings):
    browser = phone.browser
    # A tablet in landscape at the game's own size, so the pictures measure like the desktop's.
    phone.emulate(1280, 720)
    browser.navigate(site.url)
    browser.wait_for("window.tamqFrames > 5 && document.getElementById('panel').hidden", 120, "the game running")
    check(controls_shown(browser), "no touch controls on a touch device")
    title = phone.shot("title")
    check(not prompt_gone(title), "no start prompt on the title screen")
    audio = browser.evaluate(AUDIO_STATES)
    check(audio == '["suspended"]', f"sound before the first touch: {audio}")

    # EASY/HARD on the title screen picks EASY, so that the run lasts through the checks.
    phone.wait_key_ready()
    started = time.monotonic()
    phone.tap(*phone.centre_of("touch-mode"))
    phone.wait_picture("easy-chosen", lambda picture: differing_pixels(
        Crop(title, *MODE_TEXT), Crop(picture, *MODE_TEXT)) > 300)
    timings["EASY/HARD button"] = time.monotonic() - started
    # A touch is the gesture browsers wait for before they let a page make sound.
    audio = browser.wait_for(f"{AUDIO_STATES} !== '[\"suspended\"]' && {AUDIO_STATES}", 10, "the sound")
    check(audio == '["running"]', f"sound after the first touch: {audio}")

    # A tap shorter than a frame: the thumb is down and up before the game looks.
    phone.wait_key_ready()
    phone.tap(640, 560)
    run, timings["tap to run"] = phone.wait_picture("run", prompt_gone)
    check(run.mean(625, 330, 30, 60) > 0.5, "no truck in the middle of the road after the tap")
    for x in (80, 140, 200):
        check(run.is_red(x, 150), f"no EASY heart at x {x}")
    check(not run_over(browser), "the touch hint still shows during a run")

    # The pause button, early in the run, while nothing can have ended it: the picture
    # stands still for many frames; a thumb on the picture leaves the pause alone; the
    # pause button resumes.
    pause = phone.centre_of("touch-pause")
    started = time.monotonic()
    phone.tap(*pause)
    browser.wait_for(f"{PAUSE_FACE} === '\u25B6'", 30, "the pause")
    paused = phone.shot("paused")
    phone.wait_frames(10)
    check(differing_pixels(paused, phone.shot("paused-later")) == 0, "the picture moves while paused")
    timings["pause button, to paused and checked"] = time.monotonic() - started
    phone.tap(640, 560)
    phone.wait_frames(5)
    check(differing_pixels(paused, phone.shot("paused-touched")) == 0, "a thumb on the picture resumed the game")
    started = time.monotonic()
    phone.tap(*pause)
    browser.wait_for(f"{PAUSE_FACE} === '\u275A\u275A'", 30, "the game resumed")
    phone.wait_picture("resumed", lambda picture: differing_pixels(paused, picture) > 1000)
    timings["pause button resumes"] = time.monotonic() - started

    # A thumb held down and slid: left, then right.
    centre = run.cab_centre(*ROAD)
    for direction, reach in (("left", -90), ("right", 90)):
        phone.touch("touchStart", [(0, THUMB)])
        phone.touch("touchMove", [(0, (THUMB[0] + reach // 3, THUMB[1]))])
        phone.touch("touchMove", [(0, (THUMB[0] + reach, THUMB[1]))])

        def moved(picture, before=centre, sign=-1 if reach < 0 else 1):
            cab = picture.cab_centre(*ROAD)
            return cab is not None and before is not None and sign * (cab - before) > 20

        picture, timings[f"held touch steers {direction}"] = phone.wait_picture(f"steer-{direction}", moved)
        phone.touch("touchEnd", [])
        after = picture.cab_centre(*ROAD)
        check(moved(picture), f"a thumb slid {direction} did not move the truck {direction} "
                              f"(cab at x {centre} -> {after})")
        centre = phone.shot(f"let-go-{direction}").cab_centre(*ROAD)
    # Let go, the truck stays: two pictures a few frames apart show it at the same x. Slow
    # frames each cover more game time, so the bar turns further between the two: the cab
    # is placed by its sides, which the bar seldom hides, not by its mean.
    # A car passing over the cab hides its sides too, so a pair that disagrees is taken
    # again, three times at most: a truck that drifts disagrees every time.
    for _ in range(3):
        phone.wait_frames(3)
        resting = phone.shot("resting").cab_middle(*ROAD)
        phone.wait_frames(5)
        rested = phone.shot("rested").cab_middle(*ROAD)
        if None in (resting, rested) or abs(rested - resting) < 5:
            break
    check(None in (resting, rested) or abs(rested - resting) < 5,
          f"the truck moves with no thumb down (cab at x {resting} -> {rested})")


# What would show that the page moved: scroll offsets, the visual viewport's zoom and
# offset, and a selection.
PAGE_PLACE = """JSON.stringify([window.scrollX, window.scrollY, visualViewport.scale,
  Math.round(visualViewport.offsetLeft), Math.round(visualViewport.offsetTop),
  document.scrollingElement.scrollTop, String(getSelection())])"""


def slide(phone, starts, ends, steps=10):
    """Fingers put down at starts, slid to ends in steps, lifted: a swipe or a pinch."""
    phone.touch("touchStart", list(enumerate(starts)))
    for step in range(1, steps + 1):
        phone.touch("touchMove", [(i, (a[0] + (b[0] - a[0]) * step // steps, a[1] + (b[1] - a[1]) * step // steps))
                                  for i, (a, b) in enumerate(zip(starts, ends))])
    phone.touch("touchEnd", [])


def press(phone, x, y, seconds):
    phone.touch("touchStart", [(0, (x, y))])
    time.sleep(seconds)
    phone.touch("touchEnd", [])


def page_stays(phone):
    """Swipes, a pinch, a double tap and long presses, as fingers make them: every one of
    them scrolls or zooms a page that lets it (a pinch zooms such a page five times)."""
    browser = phone.browser
    before = browser.evaluate(PAGE_PLACE)
    check(json.loads(before) == [0, 0, 1, 0, 0, 0, ""], f"the page is not at rest to begin with: {before}")
    started = time.monotonic()
    pattern = phone.centre_of("touch-pattern")
    gestures = [
        ("a swipe up", lambda: slide(phone, [(640, 600)], [(640, 200)])),
        ("a swipe left", lambda: slide(phone, [(1000, 300)], [(600, 300)])),
        ("a pinch", lambda: slide(phone, [(600, 360), (680, 360)], [(400, 300), (880, 420)])),
        ("a double tap", lambda: (phone.tap(640, 100), phone.tap(640, 100))),
        ("a long press", lambda: press(phone, 640, 100, 1.2)),
        ("a long press on a button", lambda: press(phone, *pattern, 1.2)),
    ]
    for name, gesture in gestures:
        gesture()
        # Scrolling and zooming settle over a few frames.
        phone.wait_frames(3)
        place = browser.evaluate(PAGE_PLACE)
        check(place == before, f"the page moved after {name}: {place}")
    return time.monotonic() - started


# The canvas's drawing buffer and its box on the page, rounded: [width, height, shown
# width, height, left, top].
CANVAS_BOX = ("(() => { const c = document.getElementById('canvas'); const r = c.getBoundingClientRect();"
              " return JSON.stringify([c.width, c.height, r.width, r.height, r.left, r.top].map(Math.round)); })()")


def keeps_16_by_9(phone):
    browser = phone.browser
    for name, width, height, landscape in (("portrait", 390, 844, False), ("landscape", 844, 390, True)):
        phone.emulate(width, height, scale=2, landscape=landscape)

        def fitted():
            box = json.loads(browser.evaluate(CANVAS_BOX))
            _, _, shown_width, shown_height, left, top = box
            wide = min(width, height * 16 / 9)
            # As wide as 16:9 allows, centred, and drawn at the size it is shown.
            return (abs(shown_width - wide) <= 1 and abs(shown_height - wide * 9 / 16) <= 1
                    and abs(left - (width - shown_width) / 2) <= 1 and abs(top - (height - shown_height) / 2) <= 1
                    and abs(box[0] - shown_width) <= 1 and abs(box[1] - shown_height) <= 1) and box

        try:
            box = wait_until(fitted, 10, f"the canvas fitted to a {name} phone")
            print(f"{name} {width} x {height}: canvas buffer {box[0]} x {box[1]}, shown {box[2]} x {box[3]} "
                  f"at ({box[4]}, {box[5]})")
        except TimeoutError:
            check(False, f"on a {name} phone ({width} x {height}) the canvas is {browser.evaluate(CANVAS_BOX)}")
        check(browser.evaluate("visualViewport.scale") == 1, f"a {name} phone shows the page zoomed")
        phone.shot(name)


def gamepad_session(browser, site, shots, timings):
    browser.call("Emulation.setTouchEmulationEnabled", enabled=False)
    browser.call("Emulation.setDeviceMetricsOverride", width=1280, height=720, deviceScaleFactor=1, mobile=False)
    browser.call("Page.addScriptToEvaluateOnNewDocument", source=FAKE_PAD)
    browser.navigate(site.url)
    browser.wait_for("window.tamqFrames > 5 && document.getElementById('panel').hidden", 120, "the game running")
    pad = Phone(browser, shots)
    browser.evaluate("tamqPad.connect()")
    pad.wait_key_ready()
    # A, held on the title screen until the run starts.
    browser.evaluate("tamqPad.button(0, true)")
    run, timings["pad A to run"] = pad.wait_picture("pad-run", prompt_gone)
    browser.evaluate("tamqPad.button(0, false)")
    centre = run.cab_centre(*ROAD)
    for direction, value in (("left", -1), ("right", 1)):
        browser.evaluate(f"tamqPad.axis(0, {value})")

        def moved(picture, before=centre, sign=value):
            cab = picture.cab_centre(*ROAD)
            return cab is not None and before is not None and sign * (cab - before) > 20

        picture, timings[f"pad stick steers {direction}"] = pad.wait_picture(f"pad-{direction}", moved)
        browser.evaluate("tamqPad.axis(0, 0)")
        centre = picture.cab_centre(*ROAD)


def main(site_folder, shots):
    os.makedirs(shots, exist_ok=True)
    site = Site(site_folder)
    browser = Chromium()
    timings = {}
    started = time.monotonic()
    try:
        desktop_has_no_controls(browser, site)
        phone = Phone(browser, shots)
        touch_session(phone, site, timings)
        timings["page stays through six gestures"] = page_stays(phone)
        keeps_16_by_9(phone)
        timings["touch tests in all"] = time.monotonic() - started
        gamepad_session(browser, site, shots, timings)
    finally:
        browser.close()
        site.close()
    for name, seconds in timings.items():
        print(f"{name}: {seconds:.2f} s")
    return verdict("touch or controller", "touch and controller tests passed", shots, browser.problems)


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:3]))
