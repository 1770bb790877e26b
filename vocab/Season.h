#pragma once

// Which table of a board the game reads and shows: all time, the current week's (weeks
// start Monday 00:00 UTC), or today's road's (days start 00:00 UTC on the board's clock).
enum class Season { All, Week, Day };

// How many there are, for the tables kept per board.
inline constexpr int kSeasonCount = 3;
