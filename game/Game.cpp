#include "game/Game.h"

#include <GL/gl.h>

Game::Game() = default;
Game::~Game() = default;
bool Game::init() { return true; }
void Game::resize(int width, int height) { glViewport(0, 0, width, height); }
void Game::update(float) {}
void Game::render() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }
void Game::releaseTextures() {}
