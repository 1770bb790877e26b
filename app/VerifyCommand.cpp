#include "VerifyCommand.h"

#include "io/FileReader.h"
#include "io/RunRecord.h"
#include "sim/RecordVerifier.h"
#include "sim/SimContent.h"

#include <filesystem>
#include <vector>

int VerifyCommand::run(const std::string& path, std::FILE* out) {
    std::string bytes;
    std::string fault;
    std::error_code error;
    // A record larger than any run holds is not taken into memory.
    const auto size = std::filesystem::file_size(path, error);
    if (!error && size > RunRecord::kMaxFileBytes) {
        fault = "larger than any run record";
    } else {
        FileReader::read(path, bytes, fault);
    }
    if (!fault.empty()) {
        VerifyResult unreadable;
        unreadable.reason = "unreadable: " + path + ": " + fault;
        std::fprintf(out, "%s\n", unreadable.json().c_str());
        return 2;
    }
    // Faults of the content are reported on standard error; the record then differs from it.
    SimContent content;
    content.load();
    const VerifyResult result = verifyRecord(std::vector<std::uint8_t>(bytes.begin(), bytes.end()), content);
    std::fprintf(out, "%s\n", result.json().c_str());
    return result.valid ? 0 : 1;
}
