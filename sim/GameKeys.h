#pragma once

// The keys the rules read every tick. ESC is not among them: it reaches the window
// as a message and pauses the main loop instead.
enum class GameKey { Space, F1, F2, Left, Right, Up, Down };
inline constexpr GameKey kGameKeys[] = {GameKey::Space, GameKey::F1,    GameKey::F2,  GameKey::Left,
                                        GameKey::Right, GameKey::Up,    GameKey::Down};
// Every table kept per game key (a record's key bits, held times) is this long.
inline constexpr int kGameKeyCount = static_cast<int>(sizeof kGameKeys / sizeof kGameKeys[0]);

// Answers whether a key counts as down for the coming update: held right now, or pressed
// since the platform was last asked about it (a tap shorter than a frame). The platform
// layer's question to the keyboard, asked by the shell once per key before each update.
using KeyQuery = bool (*)(GameKey key);
