#pragma once

#include <string>

// The collider shared by the enemy cars and the player's bar.
class ColliderArt {
public:
    // The car body's outline in 0..1 box units: eight edges around the body with its
    // corners cut, so a bar that only grazes a rounded corner does not count.
    static std::string quadCollider();
};
