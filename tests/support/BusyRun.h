#pragma once

class Game;

// The game in its busiest steady state, shared by the allocation test and the frame
// benchmarks: a run past its recovery, so the bar is tested every frame, with all 30 car
// slots parked on the road clear of the bar's reach. The scripted entries then wait at the
// head of the queue for a free slot.
class BusyRun {
public:
    // Restarts the game's run and puts it into that state.
    static void start(Game& game);
    // The car slots in use.
    static int activeCars(Game& game);
};
