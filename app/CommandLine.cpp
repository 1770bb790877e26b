#include "CommandLine.h"

namespace {

// Where an option that takes a value keeps it, or null for any other argument.
std::string* valueOf(CommandLine& line, const std::string& argument) {
    const std::string name = argument.substr(0, argument.find('='));
    if (name == "--data") {
        return &line.dataFolder;
    }
    if (name == "--replay") {
        return &line.replayFile;
    }
    if (name == "--verify") {
        return &line.verifyFile;
    }
    if (name == "--board") {
        return &line.boardUrl;
    }
    if (name == "--board-ca") {
        return &line.boardCertificateAuthority;
    }
    if (name == "--watch") {
        return &line.watchRun;
    }
    return nullptr;
}

}  // namespace

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
            // Help wins over version, whatever their order, and so does a verification.
            if (line.action == Action::Play) {
                line.action = Action::ShowVersion;
            }
        } else if (argument == "--fullscreen") {
            line.fullscreen = true;
        } else if (argument == "--mute") {
            line.mute = true;
        } else if (argument == "--frame-stats") {
            line.frameStats = true;
        } else if (std::string* value = valueOf(line, argument)) {
            // "--option VALUE" or "--option=VALUE".
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            value->clear();
            const bool given = equals != std::string::npos || i + 1 < arguments.size();
            if (equals != std::string::npos) {
                *value = argument.substr(equals + 1);
            } else if (i + 1 < arguments.size()) {
                *value = arguments[++i];
            }
            if (name == "--board") {
                // An empty address is a choice: no board at all.
                if (!given) {
                    return fail("--board needs an address (\"\" for none)");
                }
                line.boardGiven = true;
                continue;
            }
            if (value->empty()) {
                return fail(name + (name == "--data"       ? " needs a folder"
                                    : name == "--board-ca" ? " needs a certificate file"
                                    : name == "--watch"    ? " needs a run's number from the board"
                                                           : " needs a record file"));
            }
            if (name == "--verify" && line.action != Action::ShowHelp) {
                line.action = Action::Verify;
            }
        } else {
            return fail("unknown option '" + argument + "'");
        }
    }
    return line;
}

std::vector<std::string> CommandLine::pageArguments(bool asked, const std::string& board,
                                                    const std::string& buildBoard, std::string& note) {
    note.clear();
    if (!asked) {
        return {};
    }
    if (!buildBoard.empty() && !board.empty() && board != buildBoard) {
        note = "board: this page plays on its own board (" + buildBoard + "); its address can only turn it off";
        return {};
    }
    return {"--board", board};
}

std::vector<std::string> CommandLine::pageWatchArguments(const std::string& run, const std::vector<std::string>& given,
                                                         const std::string& buildBoard, std::string& note) {
    note.clear();
    const CommandLine line = parse(given);
    const std::string board = line.boardGiven ? line.boardUrl : buildBoard;
    if (board.empty()) {
        note = "board: ?watch= needs a board (?board=URL); playing without it";
        return {};
    }
    return {"--watch", run};
}

std::string CommandLine::usage() {
    return "Usage: tamq [options]\n"
           "  --data DIR     read the game's content from DIR/data (or from DIR if it is the\n"
           "                 data folder itself) instead of looking for it\n"
           "  --board URL    the online board to compete on (https://; http:// only for one\n"
           "                 on this machine), instead of the one the game was built with;\n"
           "                 --board \"\" for none\n"
           "  --board-ca FILE  also trust the certificate authority in FILE (PEM) for the\n"
           "                 board's HTTPS\n"
           "  --watch RUNID  watch the board's run RUNID (from its page), then play; needs a\n"
           "                 board\n"
           "  --frame-stats  print at exit how many frames were shown, the longest in\n"
           "                 milliseconds and how many took over 50 ms\n"
           "  --fullscreen   play fullscreen\n"
           "  --mute         play without sound\n"
           "  --replay FILE  watch the run recorded in FILE, then play; any game key ends it\n"
           "  --verify FILE  re-play the run recorded in FILE without a window and print one\n"
           "                 line of JSON saying whether it is valid; exit 0 valid, 1 invalid,\n"
           "                 2 unreadable\n"
           "  --version      print the version and exit\n"
           "  --help         print this help and exit\n"
           "Without --data the content is data/ in the working directory, else the copy\n"
           "installed with the game.\n";
}
