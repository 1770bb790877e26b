// The touch controls of the browser build, for phones and tablets. A thumb put down
// anywhere on the picture (outside the buttons) becomes the centre of a stick: sliding it
// away steers the truck that way, lifting it lets go. Putting a thumb down while no run is
// on starts one; during a run a stray touch never throws the run away, and while the game
// is paused only the pause button resumes it, so a phone picked up again waits for its
// player. Buttons stand for F1 (EASY/HARD), F2 (NORMAL/RANDOM), ESC (pause), R (watch
// the best run) and, with an online board, T (watch the board's best run) and D or C (the
// day's road, or a challenge of the run watched or highlighted).
//
// The page only keeps what the fingers do. Once a frame the game takes it (takeFrame, from
// the C++ side, app/TouchControls.cpp) as one more controller, so a touch goes the way a
// key or a pad button goes. A press shorter than a frame still counts for that frame.
//
// The controls show on a device whose main pointer is a finger, or after the first touch;
// a key press hides them again, as a keyboard is there.
'use strict';
(function () {
  // What takeFrame answers, bit by bit.
  const START = 1;   // a run starts (SPACE)
  const MODE = 2;    // EASY/HARD (F1)
  const PATTERN = 4; // NORMAL/RANDOM (F2)
  const PAUSE = 8;   // pause or resume (ESC)
  const WATCH = 16;  // watch the best run (R)
  const BOARD = 32;  // watch the board's best run (T)
  const COMPETE = 64; // the day's road (D), or challenge the watched or highlighted run (C)
  // The board's table, while no run is on: a row up, a row down, this week or all time.
  const ROW_UP = 256;
  const ROW_DOWN = 512;
  const SEASON = 1024;

  // How far, in CSS pixels, a thumb slides from where it landed for a full turn of the stick.
  const STICK_REACH = 56;

  const root = document.documentElement;
  const stage = document.getElementById('stage');
  const layer = document.getElementById('touch');
  const ring = document.getElementById('stick');
  const knob = document.getElementById('knob');
  const pauseButton = document.getElementById('touch-pause');
  const buttons = [
    [document.getElementById('touch-mode'), MODE],
    [document.getElementById('touch-pattern'), PATTERN],
    [pauseButton, PAUSE],
    [document.getElementById('touch-watch'), WATCH],
    [document.getElementById('touch-board'), BOARD],
    [document.getElementById('touch-compete'), COMPETE],
    [document.getElementById('touch-row-up'), ROW_UP],
    [document.getElementById('touch-row-down'), ROW_DOWN],
    [document.getElementById('touch-season'), SEASON],
  ];

  let held = 0;      // buttons under a finger now
  let pressed = 0;   // buttons pressed since the last frame, released or not
  let landed = false; // a thumb came down on the picture since the last frame
  let stick = null;  // the steering finger: {id, x0, y0, x, y}
  const onButton = new Map(); // finger -> the bit of the button it holds

  function show(on) {
    root.classList.toggle('touch-on', on);
  }
  if (window.matchMedia && window.matchMedia('(pointer: coarse)').matches) {
    show(true);
  }
  window.addEventListener('keydown', function () { show(false); }, true);

  function place(element, x, y) {
    element.style.transform = 'translate(' + x + 'px, ' + y + 'px) translate(-50%, -50%)';
  }

  function drawStick() {
    ring.hidden = knob.hidden = stick === null;
    if (stick === null) {
      return;
    }
    const [x, y] = stickOffset();
    place(ring, stick.x0, stick.y0);
    place(knob, stick.x0 + x * STICK_REACH, stick.y0 + y * STICK_REACH);
  }

  // The stick's lean, each axis from -1 to 1, y down as on the screen; never past its rim.
  function stickOffset() {
    if (stick === null) {
      return [0, 0];
    }
    const dx = (stick.x - stick.x0) / STICK_REACH;
    const dy = (stick.y - stick.y0) / STICK_REACH;
    const length = Math.hypot(dx, dy);
    return length > 1 ? [dx / length, dy / length] : [dx, dy];
  }

  function buttonBit(target) {
    for (const [element, bit] of buttons) {
      if (element.contains(target)) {
        return bit;
      }
    }
    return 0;
  }

  function refreshHeld() {
    held = 0;
    for (const bit of onButton.values()) {
      held |= bit;
    }
  }

  // Pointer events carry touches, pens and, once the controls are shown, the mouse alike.
  function down(event) {
    show(true);
    event.preventDefault();
    const bit = buttonBit(event.target);
    if (bit !== 0) {
      onButton.set(event.pointerId, bit);
      pressed |= bit;
      refreshHeld();
    } else {
      landed = true;
      if (stick === null) {
        stick = {id: event.pointerId, x0: event.clientX, y0: event.clientY, x: event.clientX, y: event.clientY};
      }
    }
    if (layer.setPointerCapture) {
      try {
        layer.setPointerCapture(event.pointerId);
      } catch (error) {
        // A pointer already gone cannot be captured; its up event follows anyway.
      }
    }
    drawStick();
  }
  layer.addEventListener('pointerdown', down);
  // The first touch on a device that looked like a desktop shows the controls and acts.
  document.addEventListener('pointerdown', function (event) {
    if (event.pointerType === 'touch' && !root.classList.contains('touch-on') && stage.contains(event.target)) {
      down(event);
    }
  }, true);
  layer.addEventListener('pointermove', function (event) {
    if (stick !== null && event.pointerId === stick.id) {
      event.preventDefault();
      stick.x = event.clientX;
      stick.y = event.clientY;
      drawStick();
    }
  });
  function release(event) {
    if (stick !== null && event.pointerId === stick.id) {
      stick = null;
      drawStick();
    }
    if (onButton.delete(event.pointerId)) {
      refreshHeld();
    }
  }
  for (const type of ['pointerup', 'pointercancel', 'lostpointercapture']) {
    layer.addEventListener(type, release);
  }

  // Browsers let a page's sound start only from a gesture, and on a touch screen that is
  // the end of a touch: the sound library resumes its audio context on a touch's start,
  // which a browser refuses, and never asks again. So the page keeps the contexts made on
  // it and resumes them as a touch ends.
  const contexts = [];
  const NativeContext = window.AudioContext || window.webkitAudioContext;
  if (NativeContext) {
    window.AudioContext = class extends NativeContext {
      constructor(...options) {
        super(...options);
        contexts.push(this);
      }
    };
  }
  function resumeSound() {
    for (const context of contexts) {
      if (context.state === 'suspended') {
        context.resume().catch(function () {});
      }
    }
  }
  document.addEventListener('touchend', resumeSound, true);
  document.addEventListener('pointerup', resumeSound, true);

  // No scrolling, zooming, text selection or callout under a finger, whatever the browser
  // makes of touch-action (older Safari ignores it for pinches and double taps).
  const keep = {passive: false};
  for (const type of ['touchstart', 'touchmove', 'gesturestart', 'gesturechange', 'dblclick']) {
    document.addEventListener(type, function (event) {
      if (event.touches === undefined || event.touches.length > 1 || layer.contains(event.target)) {
        event.preventDefault();
      }
    }, keep);
  }
  document.addEventListener('selectstart', function (event) { event.preventDefault(); });
  document.addEventListener('contextmenu', function (event) { event.preventDefault(); });

  // The game's side. takeFrame, once a frame before anything reads it: runOn, whether a
  // run is going on; paused, whether the game is paused; board, whether the game has an
  // online board. frameBits, stickX and stickY then answer that frame as often as asked.
  let frame = {bits: 0, x: 0, y: 0};
  let shownPaused = null;
  window.tamqTouch = {
    takeFrame: function (runOn, paused, board) {
      let bits = held | pressed;
      pressed = 0;
      if (landed) {
        bits |= runOn || paused ? 0 : START;
        landed = false;
      }
      const [x, y] = stickOffset();
      frame = {bits: bits, x: x, y: y};
      if (paused !== shownPaused) {
        shownPaused = paused;
        pauseButton.textContent = paused ? '\u25B6' : '\u275A\u275A';
        pauseButton.setAttribute('aria-label', paused ? 'Resume' : 'Pause');
      }
      root.classList.toggle('touch-idle', !runOn);
      root.classList.toggle('touch-board', board);
    },
    frameBits: function () { return frame.bits; },
    stickX: function () { return frame.x; },
    stickY: function () { return frame.y; },
  };
})();
