#pragma once

#include "Canvas.h"
#include "MeshData.h"

// The game's meshes: the unit quad of the sprites, the grass background quad and the
// enemy cars drawn in vertex colours over the white-pixel texture.
class MeshArt {
public:
    static MeshData quad();
    // The unit quad again, its texture coordinates repeating the grass tile across the
    // 200 x 800 world units the background covers.
    static MeshData quadBackground();
    // A car seen from above inside the unit box, front towards y = 0 (cars drive down
    // the screen), body in the given colour.
    static MeshData car(Colour body);

    static Colour blue() { return Colour{0.16f, 0.42f, 0.95f}; }
    static Colour yellow() { return Colour{1.0f, 0.80f, 0.10f}; }
    static Colour red() { return Colour{0.90f, 0.13f, 0.12f}; }
    static Colour green() { return Colour{0.16f, 0.72f, 0.28f}; }
};
