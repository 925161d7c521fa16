#include "run/RunStart.h"

#include "app/TestRandom.h"
#include "run/Selection.h"

#include <algorithm>

namespace qd {

Status prepareRun(TestModel& model, RunState& st, uint32_t seed)
{
    st.nrighta.clear();
    st.nrighta.reserve(std::size_t(std::max(model.nq_total, 0)));
    st.i_r.assign(std::size_t(std::max(model.nq_total, 0)), 0);

    TestRandom random;
    random.seed(seed);
    if (Status s = drawQuestions(model, random, st.i_r)) {
        return s;
    }
    return shuffleOptions(model, random);
}

std::vector<int> questionsAsked(const TestModel& model, const RunState& st)
{
    const std::size_t n = std::min(st.i_r.size(), std::size_t(std::max(model.nq_ask, 0)));
    return std::vector<int>(st.i_r.begin(), st.i_r.begin() + std::ptrdiff_t(n));
}

} // namespace qd
