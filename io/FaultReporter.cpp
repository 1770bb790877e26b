#include "FaultReporter.h"

#include <cstdio>

void FaultReporter::report(const std::string& path, const std::string& fault) {
    std::fprintf(stderr, "%s: %s\n", path.c_str(), fault.c_str());
}

void FaultReporter::report(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }
