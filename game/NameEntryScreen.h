#pragma once

#include "render/Mesh.h"
#include "render/Sprite.h"
#include "render/Text.h"

class Camera;
class NameEntry;
class Texture;

// A NameEntry as the player sees it, in the middle of the road over the game-over screen:
// "ENTER YOUR NAME", the twelve slots big with a line under each and the one under the
// cursor lit, the keys to use, and why SPACE did nothing when it did nothing, on a dark
// panel framed in light grey: the frozen truck and its bar stand in the middle of the road.
// The game-over shader turns every colour to sepia, so the cursor stands out by brightness,
// not hue.
class NameEntryScreen {
public:
    // plain is a texture of one opaque white texel, tinted by the panel's colours.
    void init(const Texture* font, const Texture* plain, Camera* screenCamera);
    // Takes in the entry's slots and cursor; called after every change. Nothing before init.
    void show(const NameEntry& entry);
    void draw();

    const Text& headingText() const { return heading_; }
    const Text& slotsText() const { return slots_; }
    const Text& cursorText() const { return cursor_; }
    const Text& keysText() const { return keys_; }
    const Text& refusedText() const { return refusedText_; }
    const Sprite& panel() const { return frame_; }

private:
    Text heading_;
    Text underline_;
    Text slots_;
    Text cursor_;
    Text keys_;
    Text refusedText_;
    bool refused_ = false;
    bool initialised_ = false;
    Mesh frameMesh_;
    Mesh panelMesh_;
    Sprite frame_;
    Sprite panel_;
};
