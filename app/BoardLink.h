#pragma once

#include "HttpClient.h"
#include "game/BoardRow.h"
#include "game/PlayerFile.h"
#include "io/RunRecord.h"
#include "sim/RunState.h"

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

// The game's side of the online board, the same on every platform: it keeps a token in
// hand for the board shown so that the next run can be ranked, reads the top of that
// board, sends a ranked run's record with the player's name and key, and fetches the
// board's best run to be watched. All of it goes through the HttpClient and is driven by
// update, once a frame, with the time: nothing here ever waits. An unreachable board is
// said once on standard error and asked again later, less and less often; the game plays
// on offline meanwhile. Every line it writes starts with "board: ".
class BoardLink {
public:
    // How long each kind of request may take.
    static constexpr int kReadTimeoutMilliseconds = 5000;
    static constexpr int kSubmitTimeoutMilliseconds = 15000;
    static constexpr int kRecordTimeoutMilliseconds = 10000;
    // The board takes a run until 2 h 15 min after its token was issued, counted when the
    // run arrives, and a run may last 2 h (RunRecord::kMaxPlaySeconds): a token starts a
    // run only while it is younger than this, leaving 5 min for the name and the retries.
    // From when it was asked for, as the board issues it later.
    static constexpr std::uint32_t kTokenLifeMilliseconds = 10u * 60 * 1000;
    // A fresh one is asked this long after the one held, which serves until it comes.
    static constexpr std::uint32_t kTokenRenewMilliseconds = 8u * 60 * 1000;
    // A board read is kept this long before the shown board is read again.
    static constexpr std::uint32_t kBoardKeptMilliseconds = 60000;
    // An unreachable board is asked again after 30 s, then twice as long each time, up to 5 min.
    static constexpr std::uint32_t kFirstRetryMilliseconds = 30000;
    static constexpr std::uint32_t kLongestRetryMilliseconds = 300000;
    // A submission without an answer is sent again this often, after this long (or what
    // the board's Retry-After says).
    static constexpr int kSubmitRetries = 5;
    static constexpr std::uint32_t kSubmitRetryMilliseconds = 10000;
    // Entries read of a board: a run that beats the last of them would enter it.
    static constexpr int kBoardDepth = 100;
    static constexpr int kTopRows = 5;

    // The player file gives the key and the player's own scores, and is told new ones.
    BoardLink(HttpClient& http, PlayerFile& player);

    // The board's address (http:// or https://); empty for no board at all, and then
    // nothing is ever sent. An address of another kind is said once and ignored.
    void setUrl(const std::string& url);
    bool enabled() const { return !url_.empty(); }

    // Once a frame: the answers that came, and the requests now due for the board shown:
    // its token, and its top rows while they are on screen (showingTop: the title and
    // game-over screens, not during a run).
    void update(Mode mode, Difficulty difficulty, bool showingTop, std::uint32_t now);

    // The seed of the token held for a board, when one is held and fresh enough.
    bool seedFor(Mode mode, Difficulty difficulty, std::uint32_t now, std::uint32_t& seed) const;
    // A run has started: when it is the run a held token was for, the token is handed
    // over (used up; the next update asks for a new one) and the run is ranked. Empty for
    // a local run.
    std::string takeToken(Mode mode, Difficulty difficulty, std::uint32_t seed, std::uint32_t now);

    // Whether a ranked run that ended with score would enter the board (or the board
    // cannot be read to tell) or beats the player's own entry on it: then it is worth a name.
    bool qualifies(Mode mode, Difficulty difficulty, int score) const;
    // Sends a ranked run under its token and the name; the status follows its fate.
    void submit(const std::string& token, const RunRecord& record, const std::string& name, std::uint32_t now);

    // "SENDING", "RETRYING", "RANK 12", "EXPIRED"...: the last submission's fate, empty
    // for none. clearStatus empties it (a run started) until the next change.
    const std::string& status() const { return status_; }
    void clearStatus() { status_.clear(); }

    // The first rows of a board as last read; empty when it has not been read or the board
    // cannot be reached.
    std::vector<BoardRow> top(Mode mode, Difficulty difficulty) const;

    // Fetches the record of the board's best run of that mode and difficulty; says why not
    // (one line) when there is none to fetch. Asked again while a fetch is on, it drops it.
    void fetchBestRun(Mode mode, Difficulty difficulty);
    // The fetched record and its caption ("1 ACE 3437"), once it came; false otherwise.
    bool takeBestRun(RunRecord& record, std::string& caption);

    // The board's number of the last run it accepted, once, with its board; false when no
    // run was accepted since the last call (or its answer carried no number).
    bool takeAcceptedRun(long long& runId, Mode& mode, Difficulty& difficulty);

    // Whether the board is taken as unreachable now.
    bool offline() const { return offline_; }

private:
    struct Token {
        bool held = false;
        std::uint32_t seed = 0;
        std::string text;
        // When it was asked for.
        std::uint32_t askedAt = 0;
    };
    struct Entry {
        BoardRow row;
        long long runId = 0;
    };
    struct Board {
        bool read = false;
        std::uint32_t readAt = 0;
        std::vector<Entry> entries;
    };
    struct Submission {
        int request = 0;
        std::string body;
        Mode mode = Mode::Normal;
        Difficulty difficulty = Difficulty::Hard;
        int score = 0;
        int retries = 0;
        bool waiting = false;
        std::uint32_t sendAt = 0;
    };

    static int slot(Mode mode, Difficulty difficulty);
    void sendDue(Mode mode, Difficulty difficulty, bool showingTop, std::uint32_t now);
    void sendSubmission();
    void answered(const HttpAnswer& answer, std::uint32_t now);
    void answeredToken(const HttpAnswer& answer, std::uint32_t now);
    void answeredBoard(const HttpAnswer& answer, std::uint32_t now);
    void answeredSubmission(const HttpAnswer& answer, std::uint32_t now);
    void answeredRecord(const HttpAnswer& answer);
    // A start or a read had no answer (or a useless one): the board is unreachable.
    void unreachable(const std::string& why, std::uint32_t now);
    void reachable();
    // Handles an answer of a start or a read that brought nothing (none, 5xx, 429): true then.
    bool troubled(const HttpAnswer& answer, std::uint32_t now);
    // The board asked for calm (429): nothing more until its Retry-After has passed.
    void calm(const HttpAnswer& answer, std::uint32_t now);
    void say(const std::string& line) const;

    HttpClient& http_;
    PlayerFile& player_;
    std::string url_;

    Token tokens_[4];
    int tokenRequest_ = 0;
    int tokenSlot_ = 0;
    std::uint32_t tokenAskedAt_ = 0;
    Board boards_[4];
    int boardRequest_ = 0;
    int boardSlot_ = 0;

    bool offline_ = false;
    std::uint32_t retryAt_ = 0;
    std::uint32_t retryDelay_ = 0;

    // The runs to send, the first on its way.
    std::deque<Submission> submissions_;
    std::string status_;

    long long acceptedRun_ = 0;
    Mode acceptedMode_ = Mode::Normal;
    Difficulty acceptedDifficulty_ = Difficulty::Hard;

    int recordRequest_ = 0;
    std::string recordCaption_;
    bool recordReady_ = false;
    RunRecord record_;
};
