// One libFuzzer program per file reader: TAMQ_FUZZ_TARGET names which.
#include "LoaderFuzzTargets.h"

#include "tests/support/HeadlessGl.h"

#include <cstdio>
#include <cstdlib>

namespace {

LoaderFuzzTargets::Entry entryOrDie() {
    LoaderFuzzTargets::Entry entry = LoaderFuzzTargets::find(TAMQ_FUZZ_TARGET);
    if (entry == nullptr) {
        std::fprintf(stderr, "unknown fuzz target %s\n", TAMQ_FUZZ_TARGET);
        std::abort();
    }
    return entry;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (LoaderFuzzTargets::needsGl(TAMQ_FUZZ_TARGET) && !HeadlessGl::instance().ok()) {
        std::fprintf(stderr, "no OpenGL context: %s\n", HeadlessGl::instance().error());
        std::abort();
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const LoaderFuzzTargets::Entry entry = entryOrDie();
    return entry(data, size);
}
