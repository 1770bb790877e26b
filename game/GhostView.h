#pragma once

#include "game/ScenePose.h"
#include "render/Sprite.h"
#include "render/Text.h"

class Camera;
class Ghost;
class Mesh;
class Simulation;
class Texture;

// How a raced ghost looks: its truck and bar drawn faded under the player's own, placed
// between its last two ticks as the player's are, and the player's lead over it ("+120",
// "-45") beside the score. It draws what the Ghost holds and decides nothing.
class GhostView {
public:
    // How much of the ghost shows over what lies under it.
    static constexpr float kOpacity = 0.4f;

    struct Assets {
        Mesh* quad;
        const Texture* truck;
        const Texture* wall;
        const Texture* font;
        Camera* world;
        Camera* screen;
    };
    void init(const Assets& assets);

    // After each tick of the player's run.
    void follow(const Ghost& ghost, const Simulation& player);
    // Places the sprites fraction of the way from the ghost's last tick but one to its last.
    void present(float fraction);
    // Draw the ghost's truck and bar with the road scene, and the lead with the HUD, while
    // it rides beside a run that is on; nothing otherwise.
    void draw();
    void drawLead();
    void hide() { shown_ = false; }

    bool shown() const { return shown_; }
    int lead() const { return lead_; }
    const Text& leadText() const { return leadText_; }
    const Sprite& truck() const { return truck_; }

private:
    ScenePose previous_;
    ScenePose current_;
    bool shown_ = false;
    bool truckShown_ = false;
    int lead_ = 0;
    bool leadWritten_ = false;
    Sprite truck_;
    Sprite bar_;
    Text leadText_;
};
