#include "game/NameEntry.h"

#include <cctype>

namespace {

constexpr GameKey kArrows[] = {GameKey::Up, GameKey::Down, GameKey::Left, GameKey::Right};

}  // namespace

void NameEntry::start(const std::string& initial, const GameInput& held) {
    slots_.assign(kSlots, ' ');
    int length = 0;
    for (char c : initial) {
        const char upper = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (length < kSlots && PlayerName::allowed(upper)) {
            slots_[static_cast<std::size_t>(length++)] = upper;
        }
    }
    // A remembered name may start with blanks that were dropped; it is typed on at its end.
    const std::string trimmed = name();
    slots_.assign(kSlots, ' ');
    slots_.replace(0, trimmed.size(), trimmed);
    cursor_ = static_cast<int>(trimmed.size()) < kSlots ? static_cast<int>(trimmed.size()) : kSlots - 1;
    active_ = true;
    refused_ = false;
    previous_ = held;
    ignored_ = held;
    for (int& ticks : heldTicks_) {
        ticks = -1;
    }
}

bool NameEntry::frame(const GameInput& input, int ticks) {
    if (!active_ || ticks <= 0) {
        return false;
    }
    for (GameKey key : kGameKeys) {
        if (!input.isDown(key)) {
            ignored_.hold(key, false);
        }
    }
    const auto down = [&](GameKey key) { return input.isDown(key) && !ignored_.isDown(key); };
    const bool confirming = down(GameKey::Space) && !previous_.isDown(GameKey::Space);
    previous_ = input;

    if (confirming) {
        if (static_cast<int>(name().size()) >= kShortest) {
            active_ = false;
            return true;
        }
        refused_ = true;
    }
    for (GameKey key : kArrows) {
        int& held = heldTicks_[static_cast<int>(key)];
        if (!down(key)) {
            held = -1;
            continue;
        }
        if (held < 0) {
            press(key);
            held = 0;
            continue;
        }
        const int before = held;
        held += ticks;
        // The repeats due by now, of which this frame acts once.
        const auto repeatsBy = [](int t) { return t < kRepeatAfter ? 0 : 1 + (t - kRepeatAfter) / kRepeatEvery; };
        if (repeatsBy(held) > repeatsBy(before)) {
            press(key);
        }
    }
    return false;
}

void NameEntry::press(GameKey key) {
    switch (key) {
    case GameKey::Up:
        turn(1);
        break;
    case GameKey::Down:
        turn(-1);
        break;
    case GameKey::Left:
        cursor_ = cursor_ > 0 ? cursor_ - 1 : 0;
        break;
    case GameKey::Right:
        cursor_ = cursor_ < kSlots - 1 ? cursor_ + 1 : kSlots - 1;
        break;
    default:
        break;
    }
}

void NameEntry::turn(int step) {
    char& slot = slots_[static_cast<std::size_t>(cursor_)];
    constexpr int count = PlayerName::kAlphabetSize;
    slot = PlayerName::kAlphabet[(PlayerName::indexOf(slot) + step + count) % count];
    refused_ = false;
}

std::string NameEntry::name() const { return PlayerName::trimmed(slots_); }
