#pragma once

// The keys the rules read every tick. ESC is not among them: it reaches the window
// as a message and pauses the main loop instead.
enum class GameKey { Space, F1, F2, Left, Right, Up, Down };

// Answers whether a key is held right now: the platform layer's question to the keyboard,
// asked by the shell to fill the game's input before each frame.
using KeyQuery = bool (*)(GameKey key);
