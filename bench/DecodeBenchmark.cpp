// The decoder of scrambled test files against the floor of any byte-wise
// decoder: a plain table lookup per byte, run in turn with it on the same
// bytes (the generated maximal test's questions file, several megabytes).
//
//   quizdesk_decode_bench [ROUNDS]
//
// Prints the median speed of both over paired rounds (processor time, so
// that a busy machine weighs on both alike), the ratio, and the speed of
// each decoding loop this processor runs. Fails when the decoder is slower
// than half the table lookup.

#include "MaxTestGenerator.h"

#include "definition/Scrambler.h"
#include "definition/TestRandom.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

namespace {

constexpr double kAim = 0.5;

double cpuSeconds()
{
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A table the compiler cannot fold away: a permutation of the bytes.
std::array<unsigned char, 256> lookupTable()
{
    std::array<unsigned char, 256> t{};
    for (int b = 0; b < 256; ++b) {
        t[std::size_t(b)] = static_cast<unsigned char>(b * 167 + 13);
    }
    return t;
}

// Keeps the compiler from dropping work whose result is never read.
void keep(const std::string& s)
{
    asm volatile("" : : "r"(s.data()) : "memory");
}

double decodeSeconds(const std::string& scrambled, qd::ScrambleKernel kernel)
{
    std::string buf = scrambled;
    qd::TestRandom rng;
    const double start = cpuSeconds();
    qd::unscramble(buf, qd::FileKind::Questions, rng, kernel);
    const double s = cpuSeconds() - start;
    keep(buf);
    return s;
}

double lookupSeconds(const std::string& scrambled, const std::array<unsigned char, 256>& table)
{
    std::string buf = scrambled;
    const double start = cpuSeconds();
    for (char& c : buf) {
        c = char(table[static_cast<unsigned char>(c)]);
    }
    const double s = cpuSeconds() - start;
    keep(buf);
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 31;
    const std::string scrambled = qdbench::generateMaxTest().voprosi;
    const double mb = double(scrambled.size()) / 1e6;
    const auto table = lookupTable();

    // Paired: each round runs both, so that a change of load between them
    // weighs on one round only, and the median drops it.
    std::vector<double> decode;
    std::vector<double> lookup;
    std::vector<double> ratio;
    for (int r = 0; r < rounds; ++r) {
        decode.push_back(decodeSeconds(scrambled, qd::ScrambleKernel::Avx512));
        lookup.push_back(lookupSeconds(scrambled, table));
        ratio.push_back(lookup.back() / decode.back());
    }
    std::printf("bytes: %zu (the generated maximal test's questions file)\n", scrambled.size());
    std::printf("table lookup per byte (baseline): %.0f MB/s\n", mb / median(lookup));
    std::printf("decoding: %.0f MB/s\n", mb / median(decode));
    const double r = median(ratio);
    std::printf("decoding / table lookup: %.2f (median of %d paired rounds; aim: %.2f or more)\n",
                r, rounds, kAim);
    const struct
    {
        qd::ScrambleKernel kernel;
        const char* name;
    } kernels[] = {{qd::ScrambleKernel::Plain, "plain loop"},
                   {qd::ScrambleKernel::Avx2, "AVX2"},
                   {qd::ScrambleKernel::Avx512, "AVX-512"}};
    for (const auto& k : kernels) {
        if (!qd::kernelSupported(k.kernel)) {
            std::printf("  %s: not on this processor\n", k.name);
            continue;
        }
        std::vector<double> t;
        for (int i = 0; i < std::min(rounds, 9); ++i) {
            t.push_back(decodeSeconds(scrambled, k.kernel));
        }
        std::printf("  %s: %.0f MB/s\n", k.name, mb / median(t));
    }
    return r >= kAim ? 0 : 1;
}
