#include "game/GhostView.h"

#include "render/GlEntryPoints.h"
#include "sim/Ghost.h"
#include "sim/Simulation.h"

#include <cstdio>

namespace {

// Beside the score's column, in its size and turn: green while the player leads.
constexpr Text::Options kLeadPlace{.x = 390, .y = 35, .z = -35, .size = 60, .red = 0, .green = 0.6f, .blue = 0,
                                   .rotation = 90};

}  // namespace

void GhostView::init(const Assets& assets) {
    // At the player's truck's and bar's depths (z -2 and -1); drawn after the road, under them.
    truck_.place(0, 0, -2, assets.quad, assets.truck, assets.world);
    truck_.setSize(2.55f, 7, 1);
    truck_.setPivot(0.5f, 0.5f);
    bar_.place(0, 0, -1, assets.quad, assets.wall, assets.world);
    bar_.setSize(Simulation::kBarWidth, Simulation::kBarLength, 1);
    bar_.setPivot(0.5f, 0.5f);
    Text::Options place = kLeadPlace;
    place.font = assets.font;
    place.camera = assets.screen;
    leadText_.init("+0", place);
}

void GhostView::follow(const Ghost& ghost, const Simulation& player) {
    const bool wasShown = shown_;
    shown_ = ghost.riding() && player.run().running && !player.run().gameOver;
    if (!ghost.riding()) {
        return;
    }
    previous_ = current_;
    current_ = ScenePose::of(ghost.simulation());
    if (!wasShown || player.events().has(GameEvent::Started)) {
        previous_ = current_;
    }
    // A ghost whose run has ended leaves the road; its score still counts in the lead.
    truckShown_ = !ghost.simulation().run().gameOver;
    const int lead = ghost.lead(player);
    if (lead != lead_ || !leadWritten_) {
        lead_ = lead;
        leadWritten_ = true;
        char line[16];
        std::snprintf(line, sizeof line, "%+d", lead);
        leadText_.setString(line);
        if (lead < 0) {
            leadText_.setColour(0.8f, 0.05f, 0.05f);
        } else {
            leadText_.setColour(0.0f, 0.6f, 0.0f);
        }
    }
}

void GhostView::present(float fraction) {
    if (!shown_) {
        return;
    }
    const ScenePose pose = ScenePose::between(previous_, current_, fraction);
    truck_.x = pose.truckX;
    truck_.y = pose.truckY;
    bar_.x = pose.barX;
    bar_.y = pose.barY;
    bar_.setRotation(pose.barRotation);
}

void GhostView::draw() {
    if (!shown_) {
        return;
    }
    if (truckShown_) {
        // Faded, and never hiding what is drawn after it.
        const bool fades = gl.glBlendColor != nullptr;
        if (fades) {
            gl.glBlendColor(0.0f, 0.0f, 0.0f, kOpacity);
            glBlendFunc(GL_CONSTANT_ALPHA, GL_ONE_MINUS_CONSTANT_ALPHA);
        }
        glDepthMask(GL_FALSE);
        truck_.draw();
        bar_.draw();
        glDepthMask(GL_TRUE);
        if (fades) {
            glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        }
    }
}

void GhostView::drawLead() {
    if (shown_) {
        leadText_.draw();
    }
}
