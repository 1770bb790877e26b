#pragma once

#include <string>
#include <vector>

// The options the game understands, parsed once at start-up into plain flags. The entry
// points act on help, version and errors; the shell reads the rest.
class CommandLine {
public:
    // What start-up does after parsing.
    enum class Action { Play, ShowHelp, ShowVersion, Verify, Fail };

    // The arguments after the program's name.
    static CommandLine parse(const std::vector<std::string>& arguments);
    // The usage text, several lines, ending with a newline.
    static std::string usage();
    // The arguments a web page's address gives the game: ?board=URL, where asked tells an
    // empty address (no board) from none. A build with a board of its own lets a link turn
    // it off, never send the player's name and key elsewhere: such an address is left out
    // and note says so in one line.
    static std::vector<std::string> pageArguments(bool asked, const std::string& board,
                                                  const std::string& buildBoard, std::string& note);

    // The arguments ?watch=RUNID adds to those of the page's other parameters: --watch RUNID
    // when a board is named there or built in; without one, none, and note says so.
    static std::vector<std::string> pageWatchArguments(const std::string& run, const std::vector<std::string>& given,
                                                       const std::string& buildBoard, std::string& note);

    Action action = Action::Play;
    // Where --data pointed; empty when the option was not given.
    std::string dataFolder;
    // A record to watch before play (--replay), or to verify headless (--verify); empty when not given.
    std::string replayFile;
    std::string verifyFile;
    // The online board's address (--board); boardGiven tells an empty one (no board) from
    // none given (the build's default). A certificate authority also trusted for it (--board-ca).
    std::string boardUrl;
    bool boardGiven = false;
    std::string boardCertificateAuthority;
    // A board run to watch first (--watch RUNID, the number the board's page links to).
    std::string watchRun;
    bool fullscreen = false;
    bool mute = false;
    // Print how long the loop's iterations took, at exit.
    bool frameStats = false;
    // What was wrong with the arguments, one line, when action is Fail.
    std::string error;
};
