#pragma once

#include "Canvas.h"

// The game's textures, painted in code. Each picture is given top row first; the
// image writers turn it into the file's own row order.
class TextureArt {
public:
    // 16 x 16 cells of 64 pixels: white anti-aliased DejaVu Sans Bold glyphs on black,
    // character c in column c % 16 and row c / 16 from the top, centred in its cell.
    static Canvas font();
    static constexpr int kFontCell = 64;
    // Asphalt across the whole road width (u = 0 left edge, 1 right edge) and one
    // 10-unit quad along it: kerbs, solid edge lines and three lanes with dashes that
    // stay evenly spaced when every other quad is mirrored.
    static Canvas road();
    // A grass tile for 10 x 10 world units.
    static Canvas grass();
    // The player's truck from above, nose up, on an asphalt-coloured surround.
    static Canvas truck();
    // The player's bar: a yellow and black hazard-striped beam with steel ends.
    static Canvas wall();
    static Canvas whitePixel();
    // A 16 x 16 pixel-art heart on a transparent background.
    static Canvas heart();

    static Colour asphalt() { return Colour{0.27f, 0.28f, 0.30f}; }
};
