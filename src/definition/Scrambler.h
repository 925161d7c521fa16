#pragma once

#include "definition/TestRandom.h"

#include <cstdint>
#include <string>

namespace qd {

enum class FileKind { Questions, Answers };

// A scrambled test file: the magic number 76 5E DF 01, a 16-bit seed, then
// the plain text from its third character on, each byte scrambled.
constexpr uint32_t kScrambleMagic = 0x01DF5E76;
constexpr std::size_t kScrambleHeader = 6;

// The two characters every plain text of a kind begins with; a scrambled
// file stores its seed in their place.
const char* leadingChars(FileKind kind);

bool isScrambled(const std::string& buf);

// Unscrambles `buf` in place if it starts with the magic number (the magic
// stays, the seed bytes become the kind's leading characters); a plain text
// is left as it is. Leaves `rng` where the last draw left it. A file that
// holds the magic but no seed decodes as an empty scrambled text.
void unscramble(std::string& buf, FileKind kind, TestRandom& rng);

// The loops that can decode: the plain one of the file format, and vector
// loops that do several bytes at once where the processor has them (AVX2,
// AVX-512), each byte for byte the plain loop. unscramble takes the fastest
// the processor runs; the tests and the benchmark run each supported one.
// A loop the processor lacks is never run: the fastest it has stands in.
enum class ScrambleKernel { Plain, Avx2, Avx512 };
bool kernelSupported(ScrambleKernel kernel);
void unscramble(std::string& buf, FileKind kind, TestRandom& rng, ScrambleKernel kernel);

// The inverse of unscramble: turns a plain text (which must begin with the
// kind's leading characters) into a scrambled file with the given seed.
std::string scramble(const std::string& plain, FileKind kind, uint16_t seed);

// The plain text of a scrambled file: the decoded buffer without the magic.
std::string unscramble(const std::string& scrambled, FileKind kind);

} // namespace qd
