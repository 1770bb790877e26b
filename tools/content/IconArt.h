#pragma once

#include "Canvas.h"

// The game's application icon, composed from its own textures: the truck on a stretch of
// road between grass verges, its hazard-striped bar swung across it, on a rounded square.
class IconArt {
public:
    // A size x size picture, transparent outside the rounded square.
    static Canvas icon(int size);
};
