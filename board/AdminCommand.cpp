#include "AdminCommand.h"

#include "board/PlayerIdentity.h"

#include <pwd.h>
#include <unistd.h>

#include <charconv>
#include <cstdio>
#include <iomanip>
#include <ostream>

namespace {

// The shortest key hash prefix taken: shorter ones would name a player by accident.
constexpr std::size_t kMinPrefix = 8;
// Digits of the key hash shown where a player is named.
constexpr std::size_t kShownPrefix = 16;

bool hexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// Whole points, truncated toward zero, as the game's HUD shows a score.
long long points(double score) {
    return static_cast<long long>(score);
}

std::string loginName(const std::function<std::string(const char*)>& env) {
    std::string user = env("USER");
    if (!user.empty()) {
        return user;
    }
    if (const passwd* account = getpwuid(geteuid())) {
        return account->pw_name;
    }
    return "uid " + std::to_string(geteuid());
}

}  // namespace

std::string AdminCommand::usage() {
    return "usage: tamq-board admin [--database CONNINFO] COMMAND ARGUMENTS [--by OPERATOR] [--reason TEXT]\n"
           "  hide RUNID              takes a run off the board; it stays stored\n"
           "  restore RUNID           puts a hidden run back\n"
           "  ban PLAYER              takes a player's runs off the board and refuses their submissions\n"
           "  unban PLAYER            lifts the ban; their runs count again\n"
           "  rename RUNID NAME       changes the name a run shows (--force for a banned word)\n"
           "  runs PLAYER             a player's runs: id, board, score, date, state, name\n"
           "  audit [--limit N]       the latest changes, newest first (20)\n"
           "PLAYER is run:RUNID (whoever sent that run) or at least 8 hex digits of the key hash `runs` shows.\n"
           "Changes need --reason; --by defaults to $USER. Settings as the service's: --database\n"
           "(TAMQ_BOARD_DATABASE), --banned-words (TAMQ_BOARD_BANNED_WORDS).\n"
           "Exit status: 0 done, 1 no such run or player (or refused), 2 a wrong command line.\n";
}

int AdminCommand::run(const std::vector<std::string>& arguments, const std::function<std::string(const char*)>& env,
                      std::ostream& out, std::ostream& err) {
    for (const std::string& argument : arguments) {
        if (argument == "--help" || argument == "-h") {
            out << usage();
            return kDone;
        }
    }
    try {
        readArguments(arguments, env);
        if (!config_.bannedWordsFile.empty()) {
            std::string fault;
            if (!bannedWords_.load(config_.bannedWordsFile, fault)) {
                throw Refused{kRefused, fault};
            }
        }
        store_.init(config_.database, "", 1);
        try {
            store_.migrate();
            dispatch(out);
        } catch (const Refused&) {
            throw;
        } catch (const std::exception& error) {
            throw Refused{kRefused, std::string("cannot use the database: ") + error.what()};
        }
    } catch (const Refused& refused) {
        // libpq's messages run over lines; the operator gets one.
        std::string reason;
        for (char c : refused.reason) {
            bool space = c == '\n' || c == '\t';
            if (!space || (!reason.empty() && reason.back() != ' ')) {
                reason += space ? ' ' : c;
            }
        }
        while (!reason.empty() && reason.back() == ' ') {
            reason.pop_back();
        }
        err << "tamq-board admin: " << reason << "\n";
        if (refused.status == kUsage) {
            err << usage();
        }
        return refused.status;
    }
    return kDone;
}

void AdminCommand::readArguments(const std::vector<std::string>& arguments,
                                 const std::function<std::string(const char*)>& env) {
    note_.by = loginName(env);
    std::vector<std::string> settings;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& word = arguments[i];
        if (word == "--force") {
            force_ = true;
            continue;
        }
        if (word.rfind("--", 0) != 0) {
            words_.push_back(word);
            continue;
        }
        std::string name = word;
        std::string value;
        std::size_t equals = word.find('=');
        if (equals != std::string::npos) {
            name = word.substr(0, equals);
            value = word.substr(equals + 1);
        } else if (i + 1 < arguments.size()) {
            value = arguments[++i];
        } else {
            throw Refused{kUsage, name + " needs a value"};
        }
        if (name == "--by") {
            note_.by = value;
        } else if (name == "--reason") {
            note_.reason = value;
        } else if (name == "--limit") {
            auto [last, error] = std::from_chars(value.data(), value.data() + value.size(), auditLimit_);
            if (error != std::errc() || last != value.data() + value.size() || auditLimit_ < 1 ||
                auditLimit_ > 10000) {
                throw Refused{kUsage, "--limit is 1 to 10000"};
            }
        } else {
            settings.push_back(name);
            settings.push_back(value);
        }
    }
    std::string fault;
    if (!config_.parse(settings, env, fault, false)) {
        throw Refused{kUsage, fault};
    }
    if (words_.empty()) {
        throw Refused{kUsage, "no command"};
    }
    if (note_.by.empty()) {
        throw Refused{kUsage, "--by names the operator"};
    }
}

void AdminCommand::expectWords(std::size_t count) const {
    if (words_.size() != count + 1) {
        throw Refused{kUsage, words_[0] + " takes " + std::to_string(count) + " argument" + (count == 1 ? "" : "s")};
    }
    bool writes = words_[0] != "runs" && words_[0] != "audit";
    if (writes && note_.reason.empty()) {
        throw Refused{kUsage, words_[0] + " needs --reason TEXT, kept in the audit"};
    }
}

int64_t AdminCommand::runId(const std::string& word) const {
    int64_t id = 0;
    auto [last, error] = std::from_chars(word.data(), word.data() + word.size(), id);
    if (word.empty() || error != std::errc() || last != word.data() + word.size() || id <= 0) {
        throw Refused{kUsage, "\"" + word + "\" is not a run id (a positive whole number)"};
    }
    return id;
}

int64_t AdminCommand::player(const std::string& word) {
    if (word.rfind("run:", 0) == 0) {
        int64_t run = runId(word.substr(4));
        std::optional<int64_t> found = store_.playerOfRun(run);
        if (!found) {
            throw Refused{kRefused, "no run " + std::to_string(run)};
        }
        return *found;
    }
    std::string prefix;
    for (char c : word) {
        prefix += static_cast<char>(c >= 'A' && c <= 'F' ? c - 'A' + 'a' : c);
    }
    bool hex = prefix.size() >= kMinPrefix && prefix.size() <= 64;
    for (char c : prefix) {
        hex = hex && hexDigit(c);
    }
    if (!hex) {
        throw Refused{kUsage, "\"" + word + "\" names no player: give run:RUNID or " + std::to_string(kMinPrefix) +
                                  " or more hex digits of the key hash"};
    }
    std::vector<int64_t> found = store_.playersByPrefix(prefix);
    if (found.empty()) {
        throw Refused{kRefused, "no player's key hash starts with " + prefix};
    }
    if (found.size() > 1) {
        throw Refused{kRefused, prefix + " starts the key hash of more than one player; give more digits"};
    }
    return found[0];
}

void AdminCommand::write(std::ostream& out, BoardStore::Change change, const std::string& done,
                         const std::string& already, const std::string& missing) {
    switch (change) {
    case BoardStore::Change::Done:
        out << done << "\n";
        break;
    case BoardStore::Change::Unchanged:
        out << already << "; nothing changed\n";
        break;
    case BoardStore::Change::NotFound:
        throw Refused{kRefused, missing};
    }
}

void AdminCommand::dispatch(std::ostream& out) {
    const std::string& command = words_[0];
    if (command == "hide" || command == "restore") {
        expectWords(1);
        int64_t run = runId(words_[1]);
        bool hide = command == "hide";
        std::string label = "run " + std::to_string(run);
        write(out, store_.setHidden(run, hide, note_), (hide ? "hid " : "restored ") + label,
              label + (hide ? " is hidden already" : " is not hidden"), "no run " + std::to_string(run));
    } else if (command == "ban" || command == "unban") {
        expectWords(1);
        int64_t id = player(words_[1]);
        bool ban = command == "ban";
        std::string label = "player " + words_[1];
        write(out, store_.setBanned(id, ban, note_), (ban ? "banned " : "unbanned ") + label,
              label + (ban ? " is banned already" : " is not banned"), "no " + label);
    } else if (command == "rename") {
        expectWords(2);
        int64_t run = runId(words_[1]);
        const std::string& name = words_[2];
        if (!PlayerIdentity::validName(name)) {
            throw Refused{kUsage, "\"" + name + "\": a name is 3 to 12 of A-Z, 0-9, space, - and _"};
        }
        std::string word = bannedWords_.found(name);
        if (!word.empty() && !force_) {
            throw Refused{kRefused, "\"" + name + "\" holds the banned word \"" + word + "\" (--force to use it)"};
        }
        std::string before;
        std::string label = "run " + std::to_string(run);
        BoardStore::Change change = store_.rename(run, name, note_, before);
        write(out, change, "renamed " + label + " from \"" + before + "\" to \"" + name + "\"",
              label + " is named \"" + name + "\" already", "no run " + std::to_string(run));
    } else if (command == "runs") {
        expectWords(1);
        listRuns(out, player(words_[1]));
    } else if (command == "audit") {
        expectWords(0);
        listAudit(out);
    } else {
        throw Refused{kUsage, "unknown command " + command};
    }
}

void AdminCommand::listRuns(std::ostream& out, int64_t playerId) {
    std::optional<PlayerRuns> list = store_.playerRuns(playerId);
    if (!list) {
        throw Refused{kRefused, "no player " + words_[1]};
    }
    out << "player " << list->keyHash << (list->banned ? " banned" : "") << "\n";
    out << std::left << std::setw(10) << "RUN" << std::setw(14) << "BOARD" << std::setw(12) << "SCORE"
        << std::setw(22) << "DATE" << std::setw(8) << "STATE"
        << "NAME\n";
    for (const PlayerRun& run : list->runs) {
        // shown: the player's best on its board; stored: a run it does not show.
        const char* state = run.hidden ? "hidden" : run.onBoard ? "shown" : "stored";
        out << std::setw(10) << run.runId << std::setw(14) << (run.mode + "/" + run.difficulty) << std::setw(12)
            << points(run.score) << std::setw(22) << run.date << std::setw(8) << state << run.name << "\n";
    }
}

void AdminCommand::listAudit(std::ostream& out) {
    for (const AuditEntry& entry : store_.recentAudit(auditLimit_)) {
        std::string target = entry.runId ? "run " + std::to_string(entry.runId) + " of " : "";
        target += "player " + entry.keyHash.substr(0, kShownPrefix);
        out << entry.id << "  " << entry.at << "  " << entry.by << "  " << entry.action << "  " << target << "  \""
            << entry.before << "\" -> \"" << entry.after << "\"  " << entry.reason << "\n";
    }
}
