#include "vocab/BoardRow.h"

#include "vocab/PlayerName.h"

std::string BoardRow::nameLine() const { return std::to_string(rank) + " " + PlayerName::drawable(name); }
