#pragma once

#include "board/BannedWords.h"
#include "board/BoardConfig.h"
#include "board/BoardStore.h"

#include <cstdint>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

// `tamq-board admin ...`: the operators' changes to a board's database (hide and restore a
// run, ban and unban a player, rename a run) and what they look at first (a player's runs,
// the audit of earlier changes). Every change is written with its audit row in one
// transaction. Takes the service's --database / TAMQ_BOARD_DATABASE and --banned-words.
class AdminCommand {
public:
    // Exit statuses: done, the run or player does not exist (or the change was refused),
    // the command line is wrong.
    static constexpr int kDone = 0;
    static constexpr int kRefused = 1;
    static constexpr int kUsage = 2;

    // Runs the words after "admin"; answers on out, one line on err when it fails. env
    // answers a variable's value or "" when it is not set.
    int run(const std::vector<std::string>& arguments, const std::function<std::string(const char*)>& env,
            std::ostream& out, std::ostream& err);
    static std::string usage();

private:
    struct Refused {
        int status;
        std::string reason;
    };

    // Splits arguments into the command's words and its options; the rest go to BoardConfig.
    void readArguments(const std::vector<std::string>& arguments, const std::function<std::string(const char*)>& env);
    void dispatch(std::ostream& out);
    // The player a command-line word names: run:RUNID, or a prefix of the key hash's hex.
    int64_t player(const std::string& word);
    int64_t runId(const std::string& word) const;
    // The positional words after the command, exactly count of them.
    void expectWords(std::size_t count) const;
    void write(std::ostream& out, BoardStore::Change change, const std::string& done, const std::string& already,
               const std::string& missing);
    void listRuns(std::ostream& out, int64_t playerId);
    void listAudit(std::ostream& out);

    BoardConfig config_;
    BoardStore store_;
    BannedWords bannedWords_;
    std::vector<std::string> words_;
    AuditNote note_;
    bool force_ = false;
    int auditLimit_ = 20;
};
