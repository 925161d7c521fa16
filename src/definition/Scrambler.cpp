#include "definition/Scrambler.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <immintrin.h>
#endif

namespace qd {

namespace {

constexpr unsigned char kMagic[4] = {0x76, 0x5E, 0xDF, 0x01};
constexpr uint64_t kA = TestRandom::kMultiplier;

inline uint8_t rotr8(uint8_t v, unsigned r)
{
    return uint8_t((v >> r) | (v << (8 - r)));
}
inline uint8_t rotl8(uint8_t v, unsigned r)
{
    return uint8_t((v << r) | (v >> (8 - r)));
}

inline uint32_t out31(uint64_t s)
{
    return uint32_t(s >> 32) & 0x7FFFFFFFu;
}

struct Unscramble
{
    static uint8_t apply(uint8_t b, unsigned r1, unsigned r2) { return rotr8(uint8_t(b - r2), r1); }
};
struct Scramble
{
    static uint8_t apply(uint8_t b, unsigned r1, unsigned r2) { return uint8_t(rotl8(b, r1) + r2); }
};

// Every byte takes two consecutive draws: r1 = rnd(7)+1, r2 = rnd(255)+1.
// The plain loop; returns the state after the last draw.
template <typename Op> uint64_t transformSerial(uint8_t* p, std::size_t n, uint64_t s)
{
    for (std::size_t i = 0; i < n; ++i) {
        const uint64_t t1 = s * kA + 1;
        const uint64_t t2 = t1 * kA + 1;
        s = t2;
        p[i] = Op::apply(p[i], out31(t1) % 7u + 1u, out31(t2) % 255u + 1u);
    }
    return s;
}

#if defined(__x86_64__) || defined(__i386__)
#define QD_SCRAMBLER_SIMD 1

// The draws form one serial chain of 64-bit multiplies, which caps a plain
// loop far below what the disk delivers. The vector loops below cut the
// chain into lanes: each lane holds the generator's state before one draw
// (found by jumping ahead) and every round moves all lanes on by as many
// draws as the round decodes. The moduli by 7 and 255 of a 31-bit draw are
// exact multiply-and-shift divisions: q = (x * M) >> K is x / D for every x
// below 2^31 (checked over all of them).
#define QD_AVX2 __attribute__((target("avx2")))
#define QD_AVX512 __attribute__((target("avx512f,avx512dq,avx512bw")))

constexpr uint32_t kDiv7 = 2454267027u;
constexpr int kShift7 = 34;
constexpr uint32_t kDiv255 = 2155905153u;
constexpr int kShift255 = 39;

// The affine map s -> a*s + c of `steps` draws.
struct Jump
{
    uint64_t a;
    uint64_t c;
    explicit Jump(uint64_t steps)
        : a(TestRandom::advance(1, steps) - TestRandom::advance(0, steps)),
          c(TestRandom::advance(0, steps))
    {
    }
};

// --- AVX2: eight lanes of 32-bit words, the states split in a low and a
// high word (AVX2 has no 64-bit multiply, but a 32-bit one for all eight).

struct Lanes8
{
    __m256i lo;
    __m256i hi;
};

struct Jump8
{
    __m256i aLo, aHi, cLo64, cHi;
    QD_AVX2 explicit Jump8(const Jump& j)
        : aLo(_mm256_set1_epi32(int32_t(uint32_t(j.a)))),
          aHi(_mm256_set1_epi32(int32_t(uint32_t(j.a >> 32)))),
          cLo64(_mm256_set1_epi64x(int64_t(uint32_t(j.c)))),
          cHi(_mm256_set1_epi32(int32_t(uint32_t(j.c >> 32))))
    {
    }
};

QD_AVX2 inline Lanes8 lanesAt(uint64_t s, uint64_t firstStep)
{
    alignas(32) uint32_t lo[8];
    alignas(32) uint32_t hi[8];
    for (int k = 0; k < 8; ++k) {
        const uint64_t t = TestRandom::advance(s, firstStep + 2 * uint64_t(k));
        lo[k] = uint32_t(t);
        hi[k] = uint32_t(t >> 32);
    }
    return {_mm256_load_si256(reinterpret_cast<const __m256i*>(lo)),
            _mm256_load_si256(reinterpret_cast<const __m256i*>(hi))};
}

// s -> a*s + c modulo 2^64 in words: the low word's full product with the
// low multiplier gives the new low word and the carry into the high word.
QD_AVX2 inline Lanes8 step(const Lanes8& s, const Jump8& j)
{
    const __m256i even = _mm256_add_epi64(_mm256_mul_epu32(s.lo, j.aLo), j.cLo64);
    const __m256i odd =
        _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(s.lo, 32), j.aLo), j.cLo64);
    const __m256i carry = _mm256_blend_epi32(_mm256_srli_epi64(even, 32), odd, 0xAA);
    return {_mm256_blend_epi32(even, _mm256_slli_epi64(odd, 32), 0xAA),
            _mm256_add_epi32(
                _mm256_add_epi32(_mm256_mullo_epi32(s.hi, j.aLo), _mm256_mullo_epi32(s.lo, j.aHi)),
                _mm256_add_epi32(carry, j.cHi))};
}

// rnd(D) + 1 of the draws whose states' high words are `hi`.
template <uint32_t D, uint32_t M, int K> QD_AVX2 inline __m256i draw8(__m256i hi)
{
    const __m256i x = _mm256_and_si256(hi, _mm256_set1_epi32(0x7FFFFFFF));
    const __m256i m = _mm256_set1_epi32(int32_t(M));
    const __m256i qEven = _mm256_srli_epi64(_mm256_mul_epu32(x, m), K);
    const __m256i qOdd = _mm256_srli_epi64(_mm256_mul_epu32(_mm256_srli_epi64(x, 32), m), K);
    const __m256i q = _mm256_blend_epi32(qEven, _mm256_slli_epi64(qOdd, 32), 0xAA);
    const __m256i qTimesD = D == 7 ? _mm256_sub_epi32(_mm256_slli_epi32(q, 3), q)
                                   : _mm256_sub_epi32(_mm256_slli_epi32(q, 8), q);
    return _mm256_add_epi32(_mm256_sub_epi32(x, qTimesD), _mm256_set1_epi32(1));
}

// The byte operation on bytes held in 32-bit lanes (result in the low byte).
QD_AVX2 inline __m256i apply8(Unscramble, __m256i b, __m256i r1, __m256i r2)
{
    const __m256i v = _mm256_and_si256(_mm256_sub_epi32(b, r2), _mm256_set1_epi32(0xFF));
    return _mm256_or_si256(_mm256_srlv_epi32(v, r1),
                           _mm256_sllv_epi32(v, _mm256_sub_epi32(_mm256_set1_epi32(8), r1)));
}
QD_AVX2 inline __m256i apply8(Scramble, __m256i b, __m256i r1, __m256i r2)
{
    const __m256i v = _mm256_or_si256(
        _mm256_sllv_epi32(b, r1), _mm256_srlv_epi32(b, _mm256_sub_epi32(_mm256_set1_epi32(8), r1)));
    return _mm256_add_epi32(v, r2);
}

// Bytes 8k .. 8k+7 of p, eight at once; returns the state after the last
// draw of the whole blocks (the caller finishes the tail).
template <typename Op> QD_AVX2 uint64_t transformAvx2(uint8_t* p, std::size_t blocks, uint64_t s)
{
    // Byte j of a block takes draws 2j+1 (r1) and 2j+2 (r2) after s.
    Lanes8 first = lanesAt(s, 1);
    Lanes8 second = lanesAt(s, 2);
    const Jump8 round(Jump(16));
    // The low byte of each dword, dwords 0-3 of each half.
    const __m256i lowBytes =
        _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, //
                         0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    for (std::size_t k = 0; k < blocks; ++k) {
        uint8_t* q = p + 8 * k;
        const __m256i b =
            _mm256_cvtepu8_epi32(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
        const __m256i r = apply8(Op{}, b, draw8<7, kDiv7, kShift7>(first.hi),
                                 draw8<255, kDiv255, kShift255>(second.hi));
        first = step(first, round);
        second = step(second, round);
        const __m256i packed = _mm256_shuffle_epi8(r, lowBytes);
        const __m128i out =
            _mm_unpacklo_epi32(_mm256_castsi256_si128(packed), _mm256_extracti128_si256(packed, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q), out);
    }
    return TestRandom::advance(s, 16 * uint64_t(blocks));
}

// --- AVX-512: eight whole 64-bit states per register and a 64-bit
// multiply; two blocks of eight bytes a round.

// GCC 12's own AVX-512 intrinsics start from an undefined register, which
// its uninitialised-use warning takes for a fault of the caller.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

template <uint32_t D, uint32_t M, int K> QD_AVX512 inline __m512i draw64(__m512i s)
{
    const __m512i x = _mm512_and_si512(_mm512_srli_epi64(s, 32), _mm512_set1_epi64(0x7FFFFFFF));
    const __m512i q = _mm512_srli_epi64(_mm512_mul_epu32(x, _mm512_set1_epi64(M)), K);
    const __m512i qTimesD = D == 7 ? _mm512_sub_epi64(_mm512_slli_epi64(q, 3), q)
                                   : _mm512_sub_epi64(_mm512_slli_epi64(q, 8), q);
    return _mm512_add_epi64(_mm512_sub_epi64(x, qTimesD), _mm512_set1_epi64(1));
}

QD_AVX512 inline __m512i apply64(Unscramble, __m512i b, __m512i r1, __m512i r2)
{
    const __m512i v = _mm512_and_si512(_mm512_sub_epi64(b, r2), _mm512_set1_epi64(0xFF));
    return _mm512_or_si512(_mm512_srlv_epi64(v, r1),
                           _mm512_sllv_epi64(v, _mm512_sub_epi64(_mm512_set1_epi64(8), r1)));
}
QD_AVX512 inline __m512i apply64(Scramble, __m512i b, __m512i r1, __m512i r2)
{
    const __m512i v = _mm512_or_si512(
        _mm512_sllv_epi64(b, r1), _mm512_srlv_epi64(b, _mm512_sub_epi64(_mm512_set1_epi64(8), r1)));
    return _mm512_add_epi64(v, r2);
}

QD_AVX512 inline __m512i statesAt(uint64_t s, uint64_t firstStep)
{
    alignas(64) uint64_t t[8];
    for (int k = 0; k < 8; ++k) {
        t[k] = TestRandom::advance(s, firstStep + 2 * uint64_t(k));
    }
    return _mm512_load_si512(t);
}

// Bytes 16k .. 16k+15 of p; returns the state after the last draw of the
// whole pairs of blocks (the caller finishes the tail).
template <typename Op> QD_AVX512 uint64_t transformAvx512(uint8_t* p, std::size_t pairs, uint64_t s)
{
    __m512i first = statesAt(s, 1);
    __m512i second = statesAt(s, 2);
    __m512i firstNext = statesAt(s, 17);
    __m512i secondNext = statesAt(s, 18);
    const Jump j(32);
    const __m512i a = _mm512_set1_epi64(int64_t(j.a));
    const __m512i c = _mm512_set1_epi64(int64_t(j.c));
    for (std::size_t k = 0; k < pairs; ++k) {
        uint8_t* q = p + 16 * k;
        const __m512i b =
            _mm512_cvtepu8_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)));
        const __m512i bNext =
            _mm512_cvtepu8_epi64(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q + 8)));
        const __m512i r = apply64(Op{}, b, draw64<7, kDiv7, kShift7>(first),
                                  draw64<255, kDiv255, kShift255>(second));
        const __m512i rNext = apply64(Op{}, bNext, draw64<7, kDiv7, kShift7>(firstNext),
                                      draw64<255, kDiv255, kShift255>(secondNext));
        first = _mm512_add_epi64(_mm512_mullo_epi64(first, a), c);
        second = _mm512_add_epi64(_mm512_mullo_epi64(second, a), c);
        firstNext = _mm512_add_epi64(_mm512_mullo_epi64(firstNext, a), c);
        secondNext = _mm512_add_epi64(_mm512_mullo_epi64(secondNext, a), c);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q), _mm512_cvtepi64_epi8(r));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q + 8), _mm512_cvtepi64_epi8(rNext));
    }
    return TestRandom::advance(s, 32 * uint64_t(pairs));
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif

ScrambleKernel fastestKernel()
{
#ifdef QD_SCRAMBLER_SIMD
    static const ScrambleKernel fastest = [] {
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq") &&
            __builtin_cpu_supports("avx512bw")) {
            return ScrambleKernel::Avx512;
        }
        return __builtin_cpu_supports("avx2") ? ScrambleKernel::Avx2 : ScrambleKernel::Plain;
    }();
    return fastest;
#else
    return ScrambleKernel::Plain;
#endif
}

template <typename Op>
uint64_t transformBody(uint8_t* p, std::size_t n, uint64_t s, ScrambleKernel kernel)
{
#ifdef QD_SCRAMBLER_SIMD
    if (kernel == ScrambleKernel::Avx512 && n >= 16) {
        const std::size_t pairs = n / 16;
        s = transformAvx512<Op>(p, pairs, s);
        p += 16 * pairs;
        n -= 16 * pairs;
    }
    if (kernel != ScrambleKernel::Plain && n >= 8) {
        const std::size_t blocks = n / 8;
        s = transformAvx2<Op>(p, blocks, s);
        p += 8 * blocks;
        n -= 8 * blocks;
    }
#else
    (void)kernel;
#endif
    return transformSerial<Op>(p, n, s);
}

// Seeds the generator from the file's seed and makes the questions file's
// extra discarded draw.
TestRandom startChain(uint16_t seed, FileKind kind)
{
    TestRandom rng;
    rng.seed(seed);
    if (kind == FileKind::Questions) {
        rng.rnd(255);
    }
    return rng;
}

} // namespace

const char* leadingChars(FileKind kind)
{
    return kind == FileKind::Questions ? "1)" : "\xCD\xE0";
}

bool isScrambled(const std::string& buf)
{
    return buf.size() >= 4 && std::memcmp(buf.data(), kMagic, 4) == 0;
}

bool kernelSupported(ScrambleKernel kernel)
{
    return kernel <= fastestKernel();
}

void unscramble(std::string& buf, FileKind kind, TestRandom& rng)
{
    unscramble(buf, kind, rng, fastestKernel());
}

void unscramble(std::string& buf, FileKind kind, TestRandom& rng, ScrambleKernel kernel)
{
    kernel = std::min(kernel, fastestKernel());
    if (!isScrambled(buf)) {
        return;
    }
    if (buf.size() < kScrambleHeader) {
        buf.resize(4);
        return;
    }
    const uint16_t seed =
        uint16_t(static_cast<unsigned char>(buf[4]) | (static_cast<unsigned char>(buf[5]) << 8));
    rng = startChain(seed, kind);
    std::memcpy(buf.data() + 4, leadingChars(kind), 2);
    auto* body = reinterpret_cast<uint8_t*>(buf.data()) + kScrambleHeader;
    rng.setState(
        transformBody<Unscramble>(body, buf.size() - kScrambleHeader, rng.state(), kernel));
}

std::string scramble(const std::string& plain, FileKind kind, uint16_t seed)
{
    std::string out;
    out.reserve(plain.size() + 4);
    out.append(reinterpret_cast<const char*>(kMagic), 4);
    out.push_back(char(seed & 0xFF));
    out.push_back(char(seed >> 8));
    out.append(plain, plain.size() < 2 ? plain.size() : 2, std::string::npos);
    TestRandom rng = startChain(seed, kind);
    transformBody<Scramble>(reinterpret_cast<uint8_t*>(out.data()) + kScrambleHeader,
                            out.size() - kScrambleHeader, rng.state(), fastestKernel());
    return out;
}

std::string unscramble(const std::string& scrambled, FileKind kind)
{
    std::string buf = scrambled;
    TestRandom rng;
    unscramble(buf, kind, rng);
    return isScrambled(buf) ? buf.substr(4) : buf;
}

} // namespace qd
