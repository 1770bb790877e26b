#pragma once

#include "sim/GameKeys.h"

#include <cstdint>
#include <initializer_list>

// The game keys held in one tick: the only way input reaches the rules. The shell fills
// it from the platform once per frame that runs a tick, for all of that frame's ticks;
// tests, the soak and the benchmarks fill it by hand or from an InputScript. A plain
// value, so a tick's keys can be stored and compared.
class GameInput {
public:
    GameInput() = default;
    GameInput(std::initializer_list<GameKey> keys) {
        for (GameKey key : keys) {
            hold(key);
        }
    }

    bool isDown(GameKey key) const { return (held_ & bit(key)) != 0; }
    void hold(GameKey key, bool down = true) {
        held_ = static_cast<std::uint8_t>(down ? held_ | bit(key) : held_ & ~bit(key));
    }
    void releaseAll() { held_ = 0; }
    // Asks the platform about every game key; a null query holds none.
    void poll(KeyQuery isKeyDown) {
        releaseAll();
        for (GameKey key : {GameKey::Space, GameKey::F1, GameKey::F2, GameKey::Left, GameKey::Right,
                            GameKey::Up, GameKey::Down}) {
            hold(key, isKeyDown != nullptr && isKeyDown(key));
        }
    }

    // The keys as one byte, bit n for GameKey n: how a run record stores them.
    std::uint8_t bits() const { return held_; }
    static GameInput fromBits(std::uint8_t bits) {
        GameInput input;
        input.held_ = bits;
        return input;
    }

    bool operator==(const GameInput& other) const { return held_ == other.held_; }
    bool operator!=(const GameInput& other) const { return held_ != other.held_; }

private:
    static std::uint8_t bit(GameKey key) { return static_cast<std::uint8_t>(1u << static_cast<unsigned>(key)); }

    std::uint8_t held_ = 0;
};
