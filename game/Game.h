#pragma once

#include "game/BestScoreLabel.h"
#include "vocab/BoardRow.h"
#include "game/OnlineTopList.h"
#include "game/GameAssets.h"
#include "game/GhostView.h"
#include "game/Hud.h"
#include "game/NameEntry.h"
#include "game/NameEntryScreen.h"
#include "game/ScenePose.h"
#include "math/Camera.h"
#include "render/Road.h"
#include "render/Sprite.h"
#include "sim/GameEvents.h"
#include "sim/GameInput.h"
#include "sim/Ghost.h"
#include "sim/RecordPlayer.h"
#include "sim/RunRecorder.h"
#include "sim/Simulation.h"
#include "sim/TickClock.h"

#include <cstdint>
#include <string>
#include <vector>

// The whole game as the player sees it: the rules (a Simulation advanced in fixed ticks)
// presented with their assets: the road scene (the truck and its turning bar, the 30
// enemy cars, the grass and the road), the HUD, the shaders and the best scores. Built
// before the window exists, loaded by init once OpenGL is up, then driven by update and
// render each frame. It never moves after construction: its drawables point into it.
class Game {
public:
    static constexpr int kCarSlots = Simulation::kCarSlots;

    Game();
    ~Game();
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // The keys the next ticks see: filled by the shell from the platform once per frame
    // that runs a tick, or by a test. init releases them all.
    GameInput& input() { return input_; }

    // Loads every asset and shows the title screen. False when a mesh cannot be loaded,
    // since drawing it would be garbage; other faulty files are reported and played around.
    bool init();
    // The window's client size changed; the picture stretches, the projections stay.
    void resize(int width, int height);
    // Runs the ticks that dt seconds of real time call for, with the keys of input().
    void update(float dt) { runTicks(ticksFor(dt)); }
    // The two halves of update, for the shell, which reads the keys only when a tick is due:
    // takes a frame's real seconds into the tick clock and returns the ticks now due; then
    // runs that many and sets the scene between the last two for drawing.
    int ticksFor(float seconds) { return tickClock_.advance(seconds); }
    void runTicks(int count);
    void render();
    // Starts a run: places the truck, the bar and the car slots, rereads the traffic file.
    void restart();
    void releaseTextures();

    // What the ticks of the last update did, for the shell's sound.
    const GameEvents& events() const { return events_; }
    // How fast the road moved in the last tick, in world units per second.
    float scrollSpeed() const { return simulation_.scrollSpeed(); }
    // The bests shown on the title screen and at game over. A run that beats its own is
    // taken in at game over, with a NewBest event for the shell to store the scores.
    BestScoreLabel& bestScores() { return bestScores_; }
    const BestScoreLabel& bestScores() const { return bestScores_; }

    // The record of the run being played, complete once it has ended: kept by the shell
    // when the run beat a best.
    RunRecorder& recorder() { return recorder_; }
    const RunRecorder& recorder() const { return recorder_; }

    // Shows a recorded run as it was played, with "REPLAY" on screen, instead of the title
    // screen, which waits meanwhile as it stood. Any game key ends the watching, and so does
    // the end of the run, three seconds after its game over; the keys must then be let go
    // before they act on the title screen. False with fault set, and nothing shown, for a
    // record made at another tick rate or on other content.
    bool watch(const RunRecord& record, std::string& fault);
    void stopWatching();
    bool watching() const { return player_.playing(); }
    // A line shown with "REPLAY" while a run is watched (the board entry's name and score);
    // empty for none. watch() keeps it; stopWatching() clears it.
    void setReplayCaption(const std::string& line);
    // The record being watched; null when none is.
    const RunRecord* watchedRecord() const { return watching() ? &watched_ : nullptr; }

    // A recorded run to race: from the next run the player starts on its road (its seed,
    // mode and difficulty) it rides beside the truck, faded, stepped tick by tick with the
    // player's run, and the HUD shows the player's lead over it. It never touches the rules.
    // False with fault set for a record made on other content.
    bool race(const RunRecord& record, std::string& fault);
    // The ghost leaves the road at once, not at the next tick.
    void stopRacing() {
        ghost_.drop();
        ghostView_.hide();
    }
    const Ghost& ghost() const { return ghost_; }
    const GhostView& ghostView() const { return ghostView_; }
    // Sets the mode and difficulty the next run starts with, as F2 and F1 would, outside a
    // run only (a challenge is on the road of the run it challenges).
    void choose(Mode mode, Difficulty difficulty);

    // The online board, as the shell hands it over. The top rows of the shown mode and
    // difficulty, drawn on the title screen and at game over; an empty list draws nothing
    // (offline, or no board).
    void showBoardTop(const std::vector<BoardRow>& rows);
    // One short line under the board ("RANK 12", "SENDING", "OFFLINE", "REFUSED"...);
    // empty hides it. Cleared by the start of a run.
    void showBoardStatus(const std::string& line);
    // While the board is browsed: its heading, the highlighted shown row (-1 for none) and
    // the player's own rows among those shown.
    void showBoardMarks(const std::string& heading, int highlighted, const std::vector<bool>& own);
    // The player's place under the table and the road chosen over it (OnlineTopList).
    void showBoardLines(const std::string& place, const std::string& road) {
        topList_.showPlace(place);
        topList_.showRoad(road);
    }
    // Asks the player for a name the arcade way, over the game-over screen: 12 slots, UP
    // and DOWN turn the character under the cursor through A-Z 0-9 space - _, LEFT and
    // RIGHT move the cursor, SPACE confirms once the name (spaces at its ends dropped) has 3
    // to 12 characters. Starts from initial (the name remembered from last time). The rules
    // see no keys meanwhile, and the keys that confirmed must be let go before they act.
    // A run being watched ends first.
    void askName(const std::string& initial);
    bool askingName() const { return nameEntry_.active(); }
    // The name confirmed since the last call, once; empty otherwise.
    std::string takeEnteredName();
    const OnlineTopList& topList() const { return topList_; }
    const NameEntry& nameEntry() const { return nameEntry_; }
    const NameEntryScreen& nameEntryScreen() const { return nameEntryScreen_; }
    const Text& replayText() const { return replayText_; }
    const Text& replayCaptionText() const { return replayCaptionText_; }

    // The rules being shown: the watched run's, or the game's own.
    const Simulation& shown() const { return watching() ? player_.simulation() : simulation_; }

    // The rules, for the shell (seeds, records) and the tests.
    Simulation& simulation() { return simulation_; }
    const Simulation& simulation() const { return simulation_; }

    // Read by the tests, the soak and the benchmarks.
    bool running() const { return simulation_.run().running; }
    bool gameOver() const { return simulation_.run().gameOver; }
    int lives() const { return simulation_.run().lives; }
    Mode mode() const { return simulation_.run().mode; }
    Difficulty difficulty() const { return simulation_.run().difficulty; }
    float runClock() const { return simulation_.run().runClock; }
    float recoveryTime() const { return simulation_.run().recoveryTime; }
    float toggleTimer() const { return simulation_.run().toggleTimer; }
    float scroll() const { return simulation_.run().scroll; }
    float distance() const { return simulation_.run().distance; }
    float score() const { return simulation_.run().score; }
    float multiplier() const { return simulation_.run().multiplier; }
    const std::vector<CarSpawn>& spawnQueue() const { return simulation_.spawnQueue(); }
    const std::vector<CarPattern>& patterns() const { return simulation_.patterns(); }
    const ShaderProgram& basicShader() const { return assets_.shader(ShaderId::Basic); }
    const ShaderProgram& gameOverShader() const { return assets_.shader(ShaderId::GameOver); }
    const Hud& hud() const { return hud_; }

    // The drawables as the last update placed them, open so benchmarks can vary a scene.
    Sprite& truck() { return truck_; }
    Sprite& bar() { return bar_; }
    Sprite& background() { return background_; }
    Sprite& carBody(int index) { return carBodies_[index]; }
    Camera& worldCamera() { return worldCamera_; }

private:
    // Follows one tick's events: texts, bests, the next seed.
    void followTick();
    // Places the drawables between the last two ticks and shows the HUD and the shader.
    void present();
    void useShading(Shading shading);
    // One tick of the watched run, or its end.
    void watchTick();
    // Draws the next run's seed, outside the rules.
    void drawNextSeed();

    GameInput input_;
    GameAssets assets_;
    Hud hud_;
    Camera worldCamera_;
    Camera screenCamera_;
    Simulation simulation_;
    TickClock tickClock_{Simulation::kTickRate};
    ScenePose previous_;
    ScenePose current_;
    Sprite truck_;
    Sprite bar_;
    Sprite background_;
    Road road_;
    Sprite carBodies_[kCarSlots];
    bool carVisible_[kCarSlots] = {};
    float drawnScroll_ = 0.0f;
    Shading usedShading_ = Shading::GameOver;
    GameEvents events_;
    BestScoreLabel bestScores_;
    RunRecorder recorder_;
    // The watched run: the game's own copy of its record, which the player reads.
    RunRecord watched_;
    RecordPlayer player_;
    int ticksAfterWatchedEnd_ = 0;
    // Keys that ended a watching act on the title screen only once let go.
    bool keysToRelease_ = false;
    Text replayText_;
    Text replayCaptionText_;
    std::string replayCaption_;
    // The caption's text exists once init has run; a caption set before is shown then.
    bool replayCaptionShown_ = false;
    OnlineTopList topList_;
    NameEntry nameEntry_;
    NameEntryScreen nameEntryScreen_;
    std::string enteredName_;
    Ghost ghost_;
    GhostView ghostView_;
};
