#pragma once

#include "Backoff.h"
#include "BoardCache.h"
#include "HttpClient.h"
#include "PlaceRead.h"
#include "PlayerFile.h"
#include "RunFetch.h"
#include "SubmissionQueue.h"
#include "TokenCache.h"
#include "io/RunRecord.h"
#include "sim/RunState.h"
#include "vocab/BoardRow.h"
#include "vocab/Season.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The game's side of the online board, the same on every platform: it keeps a token in
// hand for the board shown so that the next run can be ranked, reads that board's tables
// (all time, and the season browsed) and the player's place on them, sends a ranked run's
// record with the player's name and key, and fetches a board run to be watched, re-played
// before it is handed over. On the day's road its tokens are the day's. All
// of it goes through the one HttpClient and is driven by update, once a frame, with the
// time: nothing here ever waits. An unreachable board is
// said once on standard error and asked again later, less and less often; the game plays
// on offline meanwhile. Every line it writes starts with "board: ".
// It owns the pieces (tokens, board reads, places, submissions, backoff, run fetch) and routes
// the client's answers to them.
class BoardLink {
public:
    // How long each kind of request may take.
    static constexpr int kReadTimeoutMilliseconds = 5000;
    static constexpr int kSubmitTimeoutMilliseconds = 15000;
    static constexpr int kRecordTimeoutMilliseconds = 10000;
    static constexpr std::uint32_t kTokenLifeMilliseconds = TokenCache::kLifeMilliseconds;
    static constexpr std::uint32_t kTokenRenewMilliseconds = TokenCache::kRenewMilliseconds;
    static constexpr std::uint32_t kBoardKeptMilliseconds = BoardCache::kKeptMilliseconds;
    static constexpr std::uint32_t kFirstRetryMilliseconds = Backoff::kFirstRetryMilliseconds;
    static constexpr std::uint32_t kLongestRetryMilliseconds = Backoff::kLongestRetryMilliseconds;
    static constexpr int kSubmitRetries = SubmissionQueue::kRetries;
    static constexpr std::uint32_t kSubmitRetryMilliseconds = SubmissionQueue::kRetryMilliseconds;

    // The player file gives the key and the player's own scores, and is told new ones.
    BoardLink(HttpClient& http, PlayerFile& player);

    // The board's address (http:// or https://); empty for no board at all, and then
    // nothing is ever sent. An address of another kind is said once and ignored.
    void setUrl(const std::string& url);
    bool enabled() const { return !url_.empty(); }

    // Once a frame: the answers that came, and the requests now due for the board shown:
    // its token, and while its tables are on screen (showingTop: the title and game-over
    // screens, not during a run) its all-time table and the season's, each older than
    // kBoardKeptMilliseconds (or forgotten), the all-time one first, then the player's
    // place on the season's (once the player's id is known: it is asked of their latest run).
    void update(Mode mode, Difficulty difficulty, Season season, bool showingTop, std::uint32_t now);

    // The day's road: the tokens asked for, held and handed over are the day's (its seed the
    // same for everyone on that board today), and every run ended is worth a name.
    void setDaily(bool daily) { daily_ = daily; }
    bool daily() const { return daily_; }
    // The day of the last daily token of a board ("2026-12-08") and when its next road
    // begins, in ms since 1970; empty and 0 before one came.
    const std::string& day(Mode mode, Difficulty difficulty) const;
    long long dayEndsAt(Mode mode, Difficulty difficulty) const;

    // The player's place on a table as last read: not read before, or offline.
    const PlaceRead::Place& place(Mode mode, Difficulty difficulty, Season season) const;

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
    const std::string& status() const { return submissions_.status(); }
    void clearStatus() { submissions_.clearStatus(); }

    // The first rows of a board of all time as last read; empty when it has not been read
    // or the board cannot be reached.
    std::vector<BoardRow> top(Mode mode, Difficulty difficulty) const;
    // A season's table of a board as last read, and whether it was; empty before.
    const std::vector<BoardRow>& rows(Mode mode, Difficulty difficulty, Season season) const;
    bool read(Mode mode, Difficulty difficulty, Season season) const;

    // Fetches a run to be watched by its number, its summary then its record; a fetch on
    // before is dropped. A number that is no run's is said at once.
    void fetchRun(const std::string& runId);
    // Fetches the board's best run of that mode and difficulty, the first of its all-time
    // table; says why not (one line) when there is none. Asked again while a fetch is on,
    // it drops it.
    void fetchBestRun(Mode mode, Difficulty difficulty);
    bool fetching() const { return runs_.fetching(); }
    // The fetched run, once both answers came: true, with record set when its re-play on
    // content ends on the board's score, with fault set (one line) otherwise; false before.
    bool takeRun(const SimContent& content, RunRecord& record, RunSummary& summary, std::string& fault) {
        return runs_.take(content, record, summary, fault);
    }

    // The board's number of the last run it accepted, once, with its board; false when no
    // run was accepted since the last call (or its answer carried no number).
    bool takeAcceptedRun(long long& runId, Mode& mode, Difficulty& difficulty);

    // Whether the board is taken as unreachable now.
    bool offline() const { return backoff_.offline(); }

private:
    void sendDue(int shown, Season season, bool showingTop, std::uint32_t now);
    // The place read (or the player's id asked) now due, when nothing else is asked.
    void sendPlace(int shown, Season season, std::uint32_t now);
    int tokenSlot(int board) const { return daily_ ? TokenCache::dailySlot(board) : board; }
    void sendSubmission();
    void answered(const HttpAnswer& answer, std::uint32_t now);
    // A start or a read answered: take keeps what it brought, false when it is not what
    // was asked (what: "a start is no token").
    void answeredRead(const HttpAnswer& answer, const std::function<bool()>& take, const char* what,
                      std::uint32_t now);
    void answeredSubmission(const HttpAnswer& answer, std::uint32_t now);
    // A start or a read had no answer (or a useless one): the board is unreachable.
    void unreachable(const std::string& why, std::uint32_t now);
    void reachable();
    // Handles an answer of a start or a read that brought nothing (none, 5xx, 429): true then.
    bool troubled(const HttpAnswer& answer, std::uint32_t now);
    void say(const std::string& line) const;

    HttpClient& http_;
    PlayerFile& player_;
    std::string url_;

    TokenCache tokens_;
    BoardCache boards_;
    Backoff backoff_;
    SubmissionQueue submissions_;
    RunFetch runs_;
    PlaceRead places_;
    bool daily_ = false;

    long long acceptedRun_ = 0;
    Mode acceptedMode_ = Mode::Normal;
    Difficulty acceptedDifficulty_ = Difficulty::Hard;
};
