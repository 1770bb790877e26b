// Loading the traffic file: the shipped one and a generated one of ten thousand entries.

#include "BenchContext.h"

#include "vocab/ContentPaths.h"
#include "sim/PatternFile.h"
#include "support/TestFiles.h"

#include <benchmark/benchmark.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

std::string generatedPatternFile() {
    static std::string path;
    if (!path.empty()) {
        return path;
    }
    // 5,000 scripted cars and 1,000 patterns of five: 10,000 car objects in all.
    std::ostringstream out;
    out << "{\n  \"cars\": [\n";
    for (int i = 0; i < 5000; ++i) {
        out << "    {\"x\": " << (i % 23) - 11 << ".5, \"speed\": " << 6 + i % 5
            << ", \"time\": " << 2 + i * 0.75 << "}" << (i + 1 < 5000 ? ",\n" : "\n");
    }
    out << "  ],\n  \"patterns\": [\n";
    for (int p = 0; p < 1000; ++p) {
        out << "    [";
        for (int c = 0; c < 5; ++c) {
            out << "{\"x\": " << (p + c * 7) % 21 - 10 << ", \"speed\": " << 7 + c
                << ".25, \"time\": " << c * 1.5 << "}" << (c < 4 ? ", " : "");
        }
        out << "]" << (p + 1 < 1000 ? ",\n" : "\n");
    }
    out << "  ]\n}\n";
    path = TestFiles::write("cars10000.json", out.str());
    return path;
}

void loadPatterns(benchmark::State& state, const std::string& path, std::size_t expectedCars) {
    std::vector<CarSpawn> queue;
    std::vector<CarPattern> patterns;
    for (auto _ : state) {
        PatternFile::load(path, 0.0f, queue, patterns);
        benchmark::DoNotOptimize(queue.data());
    }
    if (expectedCars != 0 && queue.size() != expectedCars) {
        state.SkipWithError("the generated file did not load whole");
    }
}
BENCHMARK_CAPTURE(loadPatterns, shipped, std::string(ContentPaths::kTraffic), std::size_t{0})
    ->Name("PatternFile::load/shipped")->Unit(benchmark::kMicrosecond)->Apply(addSpreadStatistics);

void loadGeneratedPatterns(benchmark::State& state) {
    loadPatterns(state, generatedPatternFile(), 5000);
}
BENCHMARK(loadGeneratedPatterns)->Name("PatternFile::load/10000_entries")
    ->Unit(benchmark::kMillisecond)->Apply(addSpreadStatistics);

}  // namespace
