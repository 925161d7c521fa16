#include "definition/Scrambler.h"

#include <cstring>

namespace qd {

namespace {

constexpr unsigned char kMagic[4] = {0x76, 0x5E, 0xDF, 0x01};

inline uint8_t rotr8(uint8_t v, unsigned r) { return uint8_t((v >> r) | (v << (8 - r))); }
inline uint8_t rotl8(uint8_t v, unsigned r) { return uint8_t((v << r) | (v >> (8 - r))); }

inline uint32_t out31(uint64_t s) { return uint32_t(s >> 32) & 0x7FFFFFFFu; }

struct Unscramble
{
    static uint8_t apply(uint8_t b, unsigned r1, unsigned r2) { return rotr8(uint8_t(b - r2), r1); }
};
struct Scramble
{
    static uint8_t apply(uint8_t b, unsigned r1, unsigned r2) { return uint8_t(rotl8(b, r1) + r2); }
};

// Every byte takes two consecutive draws: r1 = rnd(7)+1, r2 = rnd(255)+1.
// The draws form one serial chain of 64-bit multiplies, so the body is cut
// into kLanes stretches whose start states are found by jumping the
// generator ahead; the stretches then run interleaved. Returns the state
// after the last draw.
template <typename Op>
uint64_t transformBody(uint8_t* p, std::size_t n, uint64_t s)
{
    constexpr uint64_t a = TestRandom::kMultiplier;
    constexpr int kLanes = 8;
    const std::size_t seg = n / kLanes;
    uint64_t st[kLanes];
    for (int j = 0; j < kLanes; ++j) {
        st[j] = TestRandom::advance(s, 2 * seg * uint64_t(j));
    }
    if (seg != 0) {
        for (std::size_t i = 0; i < seg; ++i) {
            for (int j = 0; j < kLanes; ++j) {
                const uint64_t t1 = st[j] * a + 1;
                const uint64_t t2 = t1 * a + 1;
                st[j] = t2;
                const unsigned r1 = out31(t1) % 7u + 1u;
                const unsigned r2 = out31(t2) % 255u + 1u;
                uint8_t& b = p[std::size_t(j) * seg + i];
                b = Op::apply(b, r1, r2);
            }
        }
        s = st[kLanes - 1];
    }
    for (std::size_t i = seg * kLanes; i < n; ++i) {
        const uint64_t t1 = s * a + 1;
        const uint64_t t2 = t1 * a + 1;
        s = t2;
        p[i] = Op::apply(p[i], out31(t1) % 7u + 1u, out31(t2) % 255u + 1u);
    }
    return s;
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

void decoding(std::string& buf, FileKind kind, TestRandom& rng)
{
    if (!isScrambled(buf)) {
        return;
    }
    if (buf.size() < kScrambleHeader) {
        buf.resize(4);
        return;
    }
    const uint16_t seed = uint16_t((unsigned char)buf[4] | ((unsigned char)buf[5] << 8));
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
    decoding(buf, kind, rng);
    return isScrambled(buf) ? buf.substr(4) : buf;
}

} // namespace qd
