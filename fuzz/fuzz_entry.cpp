// The libFuzzer entry of one target, chosen at build time by ORVEL_FUZZ_TARGET. Any finding of a
// run is printed and ends the process as a crash, so that libFuzzer keeps the input.
#include "harness/picture_harness.h"

#include <cstdio>
#include <cstdlib>

namespace {

const orvel::fuzz::Target& ThisTarget() {
    static const orvel::fuzz::Target* target = orvel::fuzz::FindTarget(ORVEL_FUZZ_TARGET);
    if (target == nullptr) {
        std::fprintf(stderr, "no fuzz target named %s\n", ORVEL_FUZZ_TARGET);
        std::abort();
    }
    return *target;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const orvel::fuzz::Findings findings = ThisTarget().run({data, size});
    if (!findings.empty()) {
        for (const std::string& finding : findings) {
            std::fprintf(stderr, "orvel fuzz finding: %s\n", finding.c_str());
        }
        std::abort();
    }
    return 0;
}
