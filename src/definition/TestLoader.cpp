#include "definition/TestLoader.h"

#include "definition/HeaderParser.h"
#include "definition/QuestionParser.h"
#include "definition/Scrambler.h"
#include "definition/TestRandom.h"
#include "definition/TextRoutines.h"

#include <algorithm>
#include <fstream>
#include <limits>
#include <optional>
#include <system_error>

namespace qd {

namespace {

bool sameNameIgnoringCase(const std::string& a, const std::string& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        return lower(x) == lower(y);
    });
}

// The test's files come from examiners working on systems whose file names
// ignore letter case: "VOPROSI.TXT" is the same file as "voprosi.txt". The
// exact name wins; otherwise the first match in name order.
std::optional<std::filesystem::path> findFile(const std::filesystem::path& dir,
                                              const std::string& name)
{
    std::error_code ec;
    const std::filesystem::path exact = dir / name;
    if (std::filesystem::is_regular_file(exact, ec)) {
        return exact;
    }
    std::optional<std::filesystem::path> found;
    for (std::filesystem::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::filesystem::path& p = it->path();
        if (sameNameIgnoringCase(p.filename().string(), name) && it->is_regular_file(ec) &&
            (!found || p.filename() < found->filename())) {
            found = p;
        }
    }
    return found;
}

std::optional<std::string> readWhole(const std::filesystem::path& dir, const std::string& name)
{
    const std::optional<std::filesystem::path> path = findFile(dir, name);
    if (!path) {
        return std::nullopt;
    }
    std::ifstream in(*path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::string bytes;
    in.seekg(0, std::ios::end);
    const std::streamoff size = in.tellg();
    in.seekg(0, std::ios::beg);
    if (size > 0) {
        bytes.resize(std::size_t(size));
        in.read(bytes.data(), size);
        bytes.resize(std::size_t(in.gcount()));
    }
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace

LoadResult loadTestBytes(std::string voprosi, std::string otveti, const WindowGeometry& window,
                         const CharWidthFn& charWidth)
{
    auto m = std::make_unique<TestModel>();
    // The file seeds the generator; start-up seeds it again before drawing.
    TestRandom rng;
    unscramble(voprosi, FileKind::Questions, rng);
    m->questionsText = expandTabs(voprosi);
    voprosi = std::string();
    unscramble(otveti, FileKind::Answers, rng);
    m->answersText = std::move(otveti);

    if (Status s = parseHeader(*m, window.width); !s.ok()) {
        return s.fault();
    }
    // Measured after the header: a narrow window changes the font.
    m->charWidth = charWidth(m->fontSize, m->fontBold != 0);
    const int64_t bottom = int64_t(window.top) + window.height;
    const int windowBottom = int(std::clamp<int64_t>(bottom, std::numeric_limits<int32_t>::min(),
                                                     std::numeric_limits<int32_t>::max()));
    if (Status s = parseQuestions(*m, windowBottom); !s.ok()) {
        return s.fault();
    }
    if (Status s = parseExtraSettings(*m); !s.ok()) {
        return s.fault();
    }
    return m;
}

LoadResult loadTestDir(const std::filesystem::path& dir, const WindowGeometry& window,
                       const CharWidthFn& charWidth)
{
    // The questions file is read before the answers file is looked for, so
    // a directory without either reports the questions file.
    std::optional<std::string> voprosi = readWhole(dir, "voprosi.txt");
    if (!voprosi) {
        return fault("В текущей директории нет файла VOPROSI.TXT!");
    }
    std::optional<std::string> otveti = readWhole(dir, "otveti.txt");
    if (!otveti) {
        return fault("В текущей директории нет файла OTVETI.TXT!");
    }
    return loadTestBytes(std::move(*voprosi), std::move(*otveti), window, charWidth);
}

} // namespace qd
