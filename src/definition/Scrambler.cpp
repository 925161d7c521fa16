#include "definition/Scrambler.h"

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
#define QD_SCRAMBLER_AVX2 1

// The draws form one serial chain of 64-bit multiplies, which caps a plain
// loop far below what the disk delivers. Here eight consecutive bytes are
// done at once: each of eight lanes holds the generator's state before its
// byte (found by jumping ahead) and steps 16 draws per round. The moduli by
// 7 and 255 of a 31-bit value are exact multiply-and-shift divisions.
#define QD_AVX2 __attribute__((target("avx2")))

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

// Four 64-bit lanes times a 64-bit constant, modulo 2^64, from 32-bit
// multiplies: lo*lo + ((hi*lo + lo*hi) << 32).
QD_AVX2 inline __m256i mul64(__m256i s, __m256i cLo, __m256i cHi)
{
    const __m256i lo = _mm256_mul_epu32(s, cLo);
    const __m256i cross =
        _mm256_add_epi64(_mm256_mul_epu32(_mm256_srli_epi64(s, 32), cLo), _mm256_mul_epu32(s, cHi));
    return _mm256_add_epi64(lo, _mm256_slli_epi64(cross, 32));
}

struct Affine4
{
    __m256i lo, hi, c;
    QD_AVX2 explicit Affine4(const Jump& j)
        : lo(_mm256_set1_epi64x(int64_t(j.a & 0xFFFFFFFFu))),
          hi(_mm256_set1_epi64x(int64_t(j.a >> 32))),
          c(_mm256_set1_epi64x(int64_t(j.c)))
    {
    }
    QD_AVX2 __m256i operator()(__m256i s) const { return _mm256_add_epi64(mul64(s, lo, hi), c); }
};

// out31(t) % d + 1 for d = 7 and 255: q = (x * m) >> k is exactly x / d for
// every x below 2^31 (checked over all of them).
template <int64_t D, int64_t M, int K> QD_AVX2 inline __m256i draw(__m256i t)
{
    const __m256i x = _mm256_and_si256(_mm256_srli_epi64(t, 32), _mm256_set1_epi64x(0x7FFFFFFF));
    const __m256i q = _mm256_srli_epi64(_mm256_mul_epu32(x, _mm256_set1_epi64x(M)), K);
    const __m256i qTimesD = D == 7 ? _mm256_sub_epi64(_mm256_slli_epi64(q, 3), q)
                                   : _mm256_sub_epi64(_mm256_slli_epi64(q, 8), q);
    return _mm256_add_epi64(_mm256_sub_epi64(x, qTimesD), _mm256_set1_epi64x(1));
}

// The byte operation on bytes held in 64-bit lanes (result in the low byte).
QD_AVX2 inline __m256i apply4(Unscramble, __m256i b, __m256i r1, __m256i r2)
{
    const __m256i v = _mm256_and_si256(_mm256_sub_epi64(b, r2), _mm256_set1_epi64x(0xFF));
    return _mm256_or_si256(_mm256_srlv_epi64(v, r1),
                           _mm256_sllv_epi64(v, _mm256_sub_epi64(_mm256_set1_epi64x(8), r1)));
}
QD_AVX2 inline __m256i apply4(Scramble, __m256i b, __m256i r1, __m256i r2)
{
    const __m256i v =
        _mm256_or_si256(_mm256_sllv_epi64(b, r1),
                        _mm256_srlv_epi64(b, _mm256_sub_epi64(_mm256_set1_epi64x(8), r1)));
    return _mm256_add_epi64(v, r2);
}

// Bytes 8k .. 8k+7 of p; returns the state after the last draw of the
// whole blocks (the caller finishes the tail).
template <typename Op> QD_AVX2 uint64_t transformAvx2(uint8_t* p, std::size_t blocks, uint64_t s)
{
    // Lanes of `even` hold the states before bytes 0, 2, 4, 6 of a block,
    // lanes of `odd` those before bytes 1, 3, 5, 7.
    alignas(32) uint64_t e[4], o[4];
    for (int k = 0; k < 4; ++k) {
        e[k] = TestRandom::advance(s, uint64_t(4 * k));
        o[k] = TestRandom::advance(s, uint64_t(4 * k + 2));
    }
    __m256i even = _mm256_load_si256(reinterpret_cast<const __m256i*>(e));
    __m256i odd = _mm256_load_si256(reinterpret_cast<const __m256i*>(o));
    const Affine4 first(Jump(1)), second(Jump(2)), round(Jump(16));
    const __m128i split = _mm_setr_epi8(0, 2, 4, 6, 1, 3, 5, 7, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i lowBytes =
        _mm256_setr_epi8(0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, //
                         0, 4, 8, 12, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1);
    const __m256i byteMask = _mm256_set1_epi64x(0xFF);
    for (std::size_t k = 0; k < blocks; ++k) {
        uint8_t* q = p + 8 * k;
        const __m128i in =
            _mm_shuffle_epi8(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(q)), split);
        const __m256i bEven = _mm256_cvtepu8_epi64(in);
        const __m256i bOdd = _mm256_cvtepu8_epi64(_mm_srli_si128(in, 4));
        const __m256i rEven = apply4(Op{}, bEven, draw<7, 2454267027, 34>(first(even)),
                                     draw<255, 2155905153, 39>(second(even)));
        const __m256i rOdd = apply4(Op{}, bOdd, draw<7, 2454267027, 34>(first(odd)),
                                    draw<255, 2155905153, 39>(second(odd)));
        even = round(even);
        odd = round(odd);
        // Dwords even0, odd0, even1, odd1 | even2, odd2, even3, odd3: the
        // low byte of each, in order, is the block.
        const __m256i both =
            _mm256_or_si256(_mm256_and_si256(rEven, byteMask),
                            _mm256_slli_epi64(_mm256_and_si256(rOdd, byteMask), 32));
        const __m256i packed = _mm256_shuffle_epi8(both, lowBytes);
        const __m128i out =
            _mm_unpacklo_epi32(_mm256_castsi256_si128(packed), _mm256_extracti128_si256(packed, 1));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(q), out);
    }
    return TestRandom::advance(s, 16 * uint64_t(blocks));
}
#endif

template <typename Op> uint64_t transformBody(uint8_t* p, std::size_t n, uint64_t s)
{
#ifdef QD_SCRAMBLER_AVX2
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && n >= 8) {
        const std::size_t blocks = n / 8;
        s = transformAvx2<Op>(p, blocks, s);
        p += 8 * blocks;
        n -= 8 * blocks;
    }
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

void unscramble(std::string& buf, FileKind kind, TestRandom& rng)
{
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
    rng.setState(transformBody<Unscramble>(body, buf.size() - kScrambleHeader, rng.state()));
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
                            out.size() - kScrambleHeader, rng.state());
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
