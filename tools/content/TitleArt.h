#pragma once

#include "Canvas.h"

// The title picture: the game's name in big outlined lettering with a road motif,
// transparent around it, 800 x 400 so it is drawn one texel per screen pixel.
class TitleArt {
public:
    static Canvas title();
};
