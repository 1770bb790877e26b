#pragma once

// Which table of a board the game reads and shows: all time, or the current week's (weeks
// start Monday 00:00 UTC).
enum class Season { All, Week };
