// libFuzzer target: arbitrary bytes as the two test files (see FuzzInput.h)
// through the whole load of start-up, at a few window sizes and character
// widths. ASan and UBSan catch what goes wrong inside; a model the loader
// accepts must also hold the invariants the run relies on.

#include "FuzzInput.h"
#include "ModelInvariants.h"
#include "SessionDriver.h"

#include "definition/TestLoader.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    qdfuzz::FuzzInput in = qdfuzz::splitInput(data, size);
    const int charW = in.charW;
    qd::LoadResult result = qd::loadTestBytes(std::move(in.voprosi), std::move(in.otveti),
                                              in.window, [charW](int, bool) { return charW; });
    auto* model = std::get_if<std::unique_ptr<qd::TestModel>>(&result);
    if (!model) {
        return 0; // a fault: the expected outcome of most inputs
    }
    if (const char* broken = qdfuzz::brokenInvariant(**model)) {
        std::fprintf(stderr, "loaded model breaks an invariant: %s\n", broken);
        std::abort();
    }
    qdfuzz::playSession(**model, in.actions);
    return 0;
}
