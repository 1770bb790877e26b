#include "Launch.h"

#include "ContentFolder.h"
#include "io/RunRecord.h"

#include <cstdio>

// Every record carries the version; a record keeps no longer one.
static_assert(sizeof TAMQ_VERSION - 1 <= RunRecord::kMaxVersionLength, "the game's version is too long for its records");

const char* Launch::version() { return TAMQ_VERSION; }

bool Launch::prepare(const std::vector<std::string>& arguments, const std::filesystem::path& executableFolder,
                     void (*showError)(const char* text)) {
    options = CommandLine::parse(arguments);
    switch (options.action) {
    case CommandLine::Action::ShowHelp:
        std::fputs(CommandLine::usage().c_str(), stdout);
        exitCode = 0;
        return false;
    case CommandLine::Action::ShowVersion:
        std::printf("TAMQ 4 Pelrok %s\n", TAMQ_VERSION);
        exitCode = 0;
        return false;
    case CommandLine::Action::Fail:
        std::fprintf(stderr, "tamq: %s\n%s", options.error.c_str(), CommandLine::usage().c_str());
        exitCode = 2;
        return false;
    case CommandLine::Action::Play:
    case CommandLine::Action::Verify:
        break;
    }
    // Without --board, the board the game was built with, if any.
    if (!options.boardGiven) {
        options.boardUrl = TAMQ_BOARD_URL;
    }
    if (!options.watchRun.empty() && options.boardUrl.empty()) {
        std::fprintf(stderr, "tamq: --watch needs a board (--board URL)\n%s", CommandLine::usage().c_str());
        exitCode = 2;
        return false;
    }
    std::error_code failure;
    const std::filesystem::path workingDirectory = std::filesystem::current_path(failure);
    // The files are named from where the player stands, not from the content folder.
    for (std::string* file : {&options.replayFile, &options.verifyFile, &options.boardCertificateAuthority}) {
        if (!file->empty()) {
            *file = (workingDirectory / std::filesystem::path(*file)).lexically_normal().string();
        }
    }
    ContentFolder content;
    if (!content.enter(ContentFolder::candidates(options.dataFolder, workingDirectory, executableFolder,
                                                 TAMQ_INSTALLED_CONTENT))) {
        std::fprintf(stderr, "%s\n", content.error.c_str());
        // A verification runs without a window, often with no one to close a message box.
        if (options.action == CommandLine::Action::Verify) {
            exitCode = 2;
            return false;
        }
        showError(content.error.c_str());
        exitCode = 1;
        return false;
    }
    return true;
}
