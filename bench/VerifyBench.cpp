// Verifying a run record headless: the longest golden run (a NORMAL EASY survival of over
// three and a half minutes) re-played with every state hash compared. The counters give
// simulated seconds per wall second and what a three-minute run takes at that speed.

#include "io/FileReader.h"
#include "io/RunRecord.h"
#include "sim/RecordVerifier.h"
#include "sim/SimContent.h"
#include "sim/Simulation.h"

#include <benchmark/benchmark.h>

#include <string>
#include <vector>

namespace {

void verifyLongRun(benchmark::State& state) {
    std::string bytes, fault;
    RunRecord record;
    SimContent content;
    if (!FileReader::read("tests/data/golden/normal-easy-dodge.rec", bytes, fault) ||
        !RunRecord::fromBytes(bytes, record, fault) || !content.load()) {
        state.SkipWithError(("no golden record: " + fault).c_str());
        return;
    }
    const std::vector<std::uint8_t> file(bytes.begin(), bytes.end());
    for (auto _ : state) {
        const VerifyResult result = verifyRecord(file, content);
        if (!result.valid) {
            state.SkipWithError(result.reason.c_str());
            return;
        }
    }
    const double simulated = static_cast<double>(record.ticks) / Simulation::kTickRate;
    state.counters["simulated_s_per_s"] =
        benchmark::Counter(simulated * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    // The seconds one three-minute run takes: 180 simulated seconds over the rate.
    state.counters["three_minute_run"] = benchmark::Counter(
        simulated / 180.0 * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(verifyLongRun)->Name("verifyRecord/217s_EASY_run")->Unit(benchmark::kMillisecond);

}  // namespace
