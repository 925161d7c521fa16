#include "run/RunStart.h"

#include "definition/TestRandom.h"
#include "run/Selection.h"

#include <algorithm>

namespace qd {

Status prepareRun(TestModel& model, RunState& st, uint32_t seed)
{
    st.wrongQuestions.clear();
    st.wrongQuestions.reserve(std::size_t(std::max(model.questionCount, 0)));
    st.askingOrder.assign(std::size_t(std::max(model.questionCount, 0)), 0);

    TestRandom random;
    random.seed(seed);
    if (Status s = drawQuestions(model, random, st.askingOrder)) {
        return s;
    }
    return shuffleOptions(model, random);
}

std::vector<int> questionsAsked(const TestModel& model, const RunState& st)
{
    const std::size_t n = std::min(st.askingOrder.size(), std::size_t(std::max(model.askCount, 0)));
    return std::vector<int>(st.askingOrder.begin(), st.askingOrder.begin() + std::ptrdiff_t(n));
}

} // namespace qd
