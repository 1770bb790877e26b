#include "CommandLine.h"

CommandLine CommandLine::parse(const std::vector<std::string>& arguments) {
    CommandLine line;
    auto fail = [&line](const std::string& error) {
        line.action = Action::Fail;
        line.error = error;
        return line;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            line.action = Action::ShowHelp;
        } else if (argument == "--version") {
            // Help wins over version, whatever their order.
            if (line.action != Action::ShowHelp) {
                line.action = Action::ShowVersion;
            }
        } else if (argument == "--fullscreen") {
            line.fullscreen = true;
        } else if (argument == "--mute") {
            line.mute = true;
        } else if (argument == "--data") {
            if (i + 1 == arguments.size() || arguments[i + 1].empty()) {
                return fail("--data needs a folder");
            }
            line.dataFolder = arguments[++i];
        } else if (argument.rfind("--data=", 0) == 0) {
            line.dataFolder = argument.substr(7);
            if (line.dataFolder.empty()) {
                return fail("--data needs a folder");
            }
        } else {
            return fail("unknown option '" + argument + "'");
        }
    }
    return line;
}

std::string CommandLine::usage() {
    return "Usage: tamq [options]\n"
           "  --data DIR     read the game's content from DIR/data (or from DIR if it is the\n"
           "                 data folder itself) instead of looking for it\n"
           "  --fullscreen   play fullscreen\n"
           "  --mute         play without sound\n"
           "  --version      print the version and exit\n"
           "  --help         print this help and exit\n"
           "Without --data the content is data/ in the working directory, else the copy\n"
           "installed with the game.\n";
}
