#include "definition/TestRandom.h"

namespace qd {

uint64_t TestRandom::advance(uint64_t s, uint64_t steps)
{
    // (a, c) describes s -> a*s + c. Compose the one-step map by squaring.
    uint64_t accA = 1, accC = 0;
    uint64_t curA = kMultiplier, curC = kIncrement;
    while (steps != 0) {
        if (steps & 1) {
            accA = accA * curA;
            accC = accC * curA + curC;
        }
        curC = curC * curA + curC;
        curA = curA * curA;
        steps >>= 1;
    }
    return accA * s + accC;
}

} // namespace qd
