#include "BusyRun.h"

#include "game/Game.h"

void BusyRun::start(Game& game) {
    game.restart();
    // One long step carries the run through its recovery, so every later frame tests the bar.
    game.update(2.1f);
    // Columns clear of the bar: it reaches 6.5 from the truck at (0, 0), a car 1.2 to its sides.
    const float columns[] = {-21.0f, -17.5f, -14.0f, -10.5f, 10.5f, 14.0f, 17.5f, 21.0f};
    const float rows[] = {-10.0f, -5.0f, 0.0f, 5.0f};  // 32 places for the 30 slots
    for (int slot = 0; slot < Game::kCarSlots; ++slot) {
        EnemyCar& car = game.simulation().carSlot(slot);
        car.x = columns[slot % 8];
        car.y = rows[slot / 8];
        car.speed = 0.0f;
        car.active = true;
    }
}

int BusyRun::activeCars(Game& game) {
    int active = 0;
    for (int slot = 0; slot < Game::kCarSlots; ++slot) {
        active += game.simulation().carSlot(slot).active ? 1 : 0;
    }
    return active;
}
