// The program's entry point on Linux and other SDL desktops.

#include "GameSession.h"

int main(int argc, char** argv) { return GameSession::run(std::vector<std::string>(argv + 1, argv + argc)); }
