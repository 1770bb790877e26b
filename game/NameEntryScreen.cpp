#include "game/NameEntryScreen.h"

#include "game/NameEntry.h"

#include <string>

namespace {

constexpr float kDepth = -35.0f;
// The middle of the road.
constexpr float kCentre = 640.0f;
constexpr unsigned kSlotSize = 48;
constexpr float kSlotsY = 350.0f;

Text::Options centred(const char* text, float y, unsigned size, float grey) {
    const float width = static_cast<float>(std::char_traits<char>::length(text) * size);
    return {.x = kCentre - width / 2.0f, .y = y, .z = kDepth, .size = size, .red = grey, .green = grey, .blue = grey};
}

constexpr const char* kHeading = "ENTER YOUR NAME";
constexpr const char* kKeys = "UP DOWN LETTER  SPACE OK";
constexpr const char* kRefused = "3 LETTERS AT LEAST";

}  // namespace

void NameEntryScreen::init(const Texture* font, Camera* screenCamera) {
    auto at = [&](Text::Options place) {
        place.font = font;
        place.camera = screenCamera;
        return place;
    };
    const std::string blanks(NameEntry::kSlots, ' ');
    const std::string lines(NameEntry::kSlots, '_');
    heading_.init(kHeading, at(centred(kHeading, 450, 32, 1.0f)));
    underline_.init(lines.c_str(), at(centred(lines.c_str(), kSlotsY, kSlotSize, 0.35f)));
    slots_.init(blanks.c_str(), at(centred(blanks.c_str(), kSlotsY, kSlotSize, 1.0f)));
    cursor_.init(blanks.c_str(), at(centred(blanks.c_str(), kSlotsY, kSlotSize, 1.0f)));
    keys_.init(kKeys, at(centred(kKeys, 280, 20, 0.8f)));
    refusedText_.init(kRefused, at(centred(kRefused, 250, 20, 1.0f)));
}

void NameEntryScreen::show(const NameEntry& entry) {
    slots_.setString(entry.slots().c_str());
    std::string mark(static_cast<std::size_t>(entry.cursor()), ' ');
    mark += '_';
    cursor_.setString(mark.c_str());
    refused_ = entry.refused();
}

void NameEntryScreen::draw() {
    heading_.draw();
    underline_.draw();
    cursor_.draw();
    slots_.draw();
    keys_.draw();
    if (refused_) {
        refusedText_.draw();
    }
}
