#include "Launch.h"

#include "ContentFolder.h"

#include <cstdio>

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
        break;
    }
    std::error_code failure;
    const std::filesystem::path workingDirectory = std::filesystem::current_path(failure);
    ContentFolder content;
    if (!content.enter(ContentFolder::candidates(options.dataFolder, workingDirectory, executableFolder,
                                                 TAMQ_INSTALLED_CONTENT))) {
        std::fprintf(stderr, "%s\n", content.error.c_str());
        showError(content.error.c_str());
        exitCode = 1;
        return false;
    }
    return true;
}
