#pragma once

#include "game/GameKeys.h"

// PLACEHOLDER: the whole game object is being written; this is its interface to the shell.
class Game {
public:
    Game();
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    void setKeyQuery(KeyQuery query) { keyQuery_ = query; }
    bool init();
    void resize(int width, int height);
    void update(float dt);
    void render();
    void releaseTextures();

private:
    KeyQuery keyQuery_ = nullptr;
};
