#pragma once

// The keys the rules poll every frame. ESC is not among them: it reaches the window
// as a message and pauses the main loop instead.
enum class GameKey { Space, F1, F2, Left, Right, Up, Down };

// Answers whether a key is held right now. The platform layer supplies it; tests
// supply their own.
using KeyQuery = bool (*)(GameKey key);
