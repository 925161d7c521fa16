#pragma once

#include <cstdint>

namespace qd {

// The test random source. Its sequence is fixed bit for bit: scrambled test
// files decode only with exactly these draws, and the question and answer
// orders of a run must be reproducible from the seed.
//
// The state is a 64-bit linear congruential generator; a seed fills only the
// low word (one step of the 32-bit generator with the same low multiplier).
class TestRandom
{
public:
    static constexpr uint64_t kMultiplier = 0x0000015A00004E35ULL;
    static constexpr uint64_t kIncrement = 1;

    void seed(uint32_t x) { m_state = uint32_t(x * 0x015A4E35u + 1u); }

    // Advances the state and returns its bits 32..62.
    uint32_t draw31()
    {
        m_state = m_state * kMultiplier + kIncrement;
        return uint32_t(m_state >> 32) & 0x7FFFFFFFu;
    }

    // 0 .. n-1; n = 0 returns 0 without drawing (rnd(1) still draws).
    int32_t rnd(int32_t n)
    {
        if (n <= 0) {
            return 0;
        }
        return int32_t(draw31() % uint32_t(n));
    }

    uint64_t state() const { return m_state; }
    void setState(uint64_t s) { m_state = s; }

    // The state after `steps` further draws, without drawing: the affine map
    // s -> a*s + c composed with itself (square and multiply). The decoder
    // uses it to run several independent stretches of the sequence at once.
    static uint64_t advance(uint64_t s, uint64_t steps);

private:
    uint64_t m_state = 0;
};

} // namespace qd
