#include "run/RunStart.h"

#include "definition/Cp1251.h"
#include "definition/TestRandom.h"
#include "run/Selection.h"

#include <QStringDecoder>

#include <algorithm>

namespace qd {

namespace {

// The working directory as the test name's second line holds it.
constexpr std::size_t kDirBytes = 128;

bool isUtf8(std::string_view bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    // The decoding runs when its result is taken, not before.
    const QString text = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
    return !decoder.hasError();
}

// A name that is not UTF-8 comes from elsewhere, most likely a Windows
// machine, and is kept byte for byte rather than turned into question marks.
std::string directoryText(const std::filesystem::path& dir)
{
    const std::string& bytes = dir.native();
    std::string text = isUtf8(bytes) ? toCp1251(bytes) : bytes;
    text.resize(std::min(text.size(), kDirBytes));
    return text;
}

} // namespace

Status prepareRun(TestModel& model, RunState& st, uint32_t seed)
{
    st.wrongQuestions.clear();
    st.wrongQuestions.reserve(std::size_t(std::max(model.questionCount, 0)));
    st.askingOrder.assign(std::size_t(std::max(model.questionCount, 0)), 0);

    st.seed = seed;
    TestRandom random;
    random.seed(seed);
    if (Status s = drawQuestions(model, random, st.askingOrder); !s.ok()) {
        return s;
    }
    return shuffleOptions(model, random);
}

std::vector<int> questionsAsked(const TestModel& model, const RunState& st)
{
    const std::size_t n = std::min(st.askingOrder.size(), std::size_t(std::max(model.askCount, 0)));
    return std::vector<int>(st.askingOrder.begin(), st.askingOrder.begin() + std::ptrdiff_t(n));
}

std::string testTitleOf(std::string_view testName, const std::filesystem::path& dir)
{
    std::string title(testName);
    title += "\r\n(" + directoryText(dir) + ")";
    return title;
}

} // namespace qd
