#pragma once

#include "vocab/PlayerName.h"
#include "sim/GameInput.h"

#include <string>

// The arcade way of typing a name with a joystick: twelve slots, UP and DOWN turn the
// character under the cursor, LEFT and RIGHT move the cursor, SPACE confirms. Driven frame
// by frame with the frame's keys and its ticks; a key acts when it goes down and, for the
// arrows, again while it stays held, at most once a frame: a frame however long (a tap
// latched for it, a stalled machine) is one press, and the held time counts only from
// the frames after the one the key went down in. Keys already held when the entry starts count only once let
// go, so the steering of a run that just ended neither moves the cursor nor confirms.
// Knows nothing of drawing: NameEntryScreen shows it.
class NameEntry {
public:
    // A slot for each character of the longest name; a slot turns through the name's
    // alphabet (PlayerName::kAlphabet) in its order.
    static constexpr int kSlots = PlayerName::kLongest;
    static constexpr int kShortest = PlayerName::kShortest;
    // A held arrow repeats after this many ticks (0.35 s at 240 a second), then every
    // kRepeatEvery ticks (0.12 s).
    static constexpr int kRepeatAfter = 84;
    static constexpr int kRepeatEvery = 29;

    // Fills the slots from initial (letters turned to capitals, characters outside the
    // set left out, cut to twelve), the cursor after its last character; held are the
    // keys down right now.
    void start(const std::string& initial, const GameInput& held = {});
    // One frame's keys, held for its ticks. True on the frame the name is confirmed; the
    // entry is then done.
    bool frame(const GameInput& input, int ticks);

    bool active() const { return active_; }
    // The twelve slots, blanks included.
    const std::string& slots() const { return slots_; }
    int cursor() const { return cursor_; }
    // The slots with the blanks at both ends dropped.
    std::string name() const;
    // SPACE was pressed with too short a name, and nothing changed since.
    bool refused() const { return refused_; }

private:
    void press(GameKey key);
    void turn(int step);

    std::string slots_ = std::string(kSlots, ' ');
    int cursor_ = 0;
    bool active_ = false;
    bool refused_ = false;
    GameInput previous_;
    // Keys down at the start, ignored until released.
    GameInput ignored_;
    // Ticks each arrow has been held after its press's frame, indexed by GameKey; -1 when up.
    int heldTicks_[kGameKeyCount] = {};
};
