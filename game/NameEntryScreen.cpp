#include "game/NameEntryScreen.h"

#include "game/NameEntry.h"

#include <string>

namespace {

constexpr float kDepth = -35.0f;
// The middle of the road.
constexpr float kCentre = 640.0f;
constexpr unsigned kSlotSize = 48;
constexpr float kSlotsY = 350.0f;
constexpr float kUnderlineDrop = 8.0f;

Text::Options centred(const char* text, float y, unsigned size, float grey) {
    const float width = static_cast<float>(std::char_traits<char>::length(text) * size);
    return {.x = kCentre - width / 2.0f, .y = y, .z = kDepth, .size = size, .red = grey, .green = grey, .blue = grey};
}

// The panel behind it all, and the width of its frame.
constexpr float kPanelWidth = 620.0f;
constexpr float kPanelHeight = 290.0f;
constexpr float kPanelY = 362.0f;
constexpr float kFrame = 3.0f;

// A unit square in one colour, drawn as a sprite scaled to its size.
void makeSquare(Mesh& mesh, float grey) {
    const float corners[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    for (const auto& corner : corners) {
        mesh.appendPosition(corner[0], corner[1], 0);
        mesh.appendUv(corner[0], corner[1]);
        mesh.appendColour(grey, grey, grey);
    }
    mesh.appendTriangle(0, 2, 1);
    mesh.appendTriangle(1, 2, 3);
    mesh.updateCounts();
    mesh.upload();
}

void placePanel(Sprite& sprite, Mesh& mesh, const Texture* plain, Camera* camera, float margin) {
    sprite.place(kCentre, kPanelY, kDepth, &mesh, plain, camera);
    sprite.setSize(kPanelWidth + 2 * margin, kPanelHeight + 2 * margin, 1);
    sprite.setPivot(0.5f, 0.5f);
}

constexpr const char* kHeading = "ENTER YOUR NAME";
constexpr const char* kKeys = "UP DOWN LETTER  SPACE OK";
constexpr const char* kRefused = "3 LETTERS AT LEAST";

}  // namespace

void NameEntryScreen::init(const Texture* font, const Texture* plain, Camera* screenCamera) {
    makeSquare(frameMesh_, 0.7f);
    makeSquare(panelMesh_, 0.08f);
    placePanel(frame_, frameMesh_, plain, screenCamera, kFrame);
    placePanel(panel_, panelMesh_, plain, screenCamera, 0.0f);
    auto at = [&](Text::Options place) {
        place.font = font;
        place.camera = screenCamera;
        return place;
    };
    const std::string blanks(NameEntry::kSlots, ' ');
    const std::string lines(NameEntry::kSlots, '_');
    heading_.init(kHeading, at(centred(kHeading, 450, 32, 1.0f)));
    // The lines sit a little under the letters so the cursor's is not read as part of one.
    underline_.init(lines.c_str(), at(centred(lines.c_str(), kSlotsY - kUnderlineDrop, kSlotSize, 0.35f)));
    slots_.init(blanks.c_str(), at(centred(blanks.c_str(), kSlotsY, kSlotSize, 1.0f)));
    cursor_.init(blanks.c_str(), at(centred(blanks.c_str(), kSlotsY - kUnderlineDrop, kSlotSize, 1.0f)));
    keys_.init(kKeys, at(centred(kKeys, 280, 20, 0.8f)));
    refusedText_.init(kRefused, at(centred(kRefused, 250, 20, 1.0f)));
    initialised_ = true;
}

void NameEntryScreen::show(const NameEntry& entry) {
    if (!initialised_) {
        return;
    }
    slots_.setString(entry.slots().c_str());
    std::string mark(static_cast<std::size_t>(entry.cursor()), ' ');
    mark += '_';
    cursor_.setString(mark.c_str());
    refused_ = entry.refused();
}

void NameEntryScreen::draw() {
    frame_.draw();
    panel_.draw();
    heading_.draw();
    underline_.draw();
    cursor_.draw();
    slots_.draw();
    keys_.draw();
    if (refused_) {
        refusedText_.draw();
    }
}
