#pragma once

#include "io/RunRecord.h"
#include "sim/RecordVerifier.h"
#include "sim/SimContent.h"

#include <cstdint>
#include <string>

// What a record says about itself before it is re-played: the run it claims to be.
struct RecordClaim {
    uint32_t seed = 0;
    std::string mode;
    std::string difficulty;
    uint64_t contentHash = 0;
    uint32_t ticks = 0;
    // Ticks over the record's tick rate.
    double playSeconds = 0;
};

// The board's one door to the rules: the content the service plays with, reading a
// record's claims, and re-playing it with the same call as `tamq --verify`.
class RunVerifier {
public:
    // Loads the rules' content from the data folder. False with fault naming the folder
    // (the file's own fault has been reported).
    bool load(const std::string& dataFolder, std::string& fault);
    uint64_t contentHash() const { return contentHash_; }
    const SimContent& content() const { return content_; }

    // Reads a submitted record once, with the run it claims to be; the record read is
    // what replay takes. False with reason ("malformed: ...") when the bytes are no record.
    static bool read(const std::string& bytes, RunRecord& record, RecordClaim& claim, std::string& reason);
    // Safe to call from several threads at once.
    VerifyResult replay(const RunRecord& record) const;

private:
    SimContent content_;
    uint64_t contentHash_ = 0;
};
