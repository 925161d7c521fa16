#include "run/Selection.h"

#include "definition/AnswerLayout.h"
#include "definition/TextRoutines.h"

#include <numeric>

namespace qd {

Status drawSample(int32_t* arr, int n, int nv, TestRandom& random)
{
    if (nv > n) {
        return fault("nv > n in intermix()!\n");
    }
    std::vector<int32_t> aw(arr, arr + std::max(n, 0));
    for (int i = 0; i < nv; ++i) {
        const int k = random.rnd(n - i);
        arr[i] = aw[std::size_t(k)];
        aw.erase(aw.begin() + k);
    }
    return {};
}

Status drawQuestions(const TestModel& model, TestRandom& random, std::vector<int32_t>& askingOrder)
{
    const int sectionCount = model.sectionCount;
    const std::size_t sections = std::size_t(std::max(sectionCount, 0));
    std::vector<int32_t> kqr0(sections);
    std::vector<int32_t> kqr(sections);
    int sum = 0;
    for (int s = 0; s < sectionCount; ++s) {
        const std::size_t u = std::size_t(s);
        kqr0[u] = s + 1 < sectionCount ? model.sectionStarts[u + 1] - model.sectionStarts[u]
                                       : model.questionCount - model.sectionStarts[u] + 1;
        // The proportional share, rounded half up in floating point: never
        // negative, and this exact sum decides the questions drawn.
        // NOLINTNEXTLINE(bugprone-incorrect-roundings)
        kqr[u] = int32_t(double(kqr0[u]) * model.askCount / model.questionCount + 0.5);
        if (kqr[u] < 1) {
            kqr[u] = 1;
        }
        sum += kqr[u];
    }
    int left = model.askCount - sum;
    for (int s = 0; s < sectionCount && left > 0; ++s) {
        const std::size_t u = std::size_t(s);
        if (kqr[u] < kqr0[u]) {
            ++kqr[u];
            --left;
        }
    }

    std::vector<int32_t> rand_nr(sections);
    std::iota(rand_nr.begin(), rand_nr.end(), 0);
    if (model.randomSectionOrder == 1) {
        if (Status f = drawSample(rand_nr.data(), sectionCount, sectionCount, random); !f.ok()) {
            return f;
        }
    }

    askingOrder.clear();
    std::vector<int32_t> pool;
    for (int32_t s : rand_nr) {
        const std::size_t u = std::size_t(s);
        pool.resize(std::size_t(kqr0[u]));
        std::iota(pool.begin(), pool.end(), model.sectionStarts[u] - 1);
        if (model.randomQuestionOrder == 1) {
            if (Status f = drawSample(pool.data(), kqr0[u], kqr[u], random); !f.ok()) {
                return f;
            }
        }
        askingOrder.insert(askingOrder.end(), pool.begin(),
                           pool.begin() + std::min<std::ptrdiff_t>(kqr[u], kqr0[u]));
    }
    return {};
}

namespace {

Result<std::vector<int32_t>> shuffled(int n, TestRandom& random)
{
    std::vector<int32_t> perm(std::size_t(std::max(n, 0)));
    std::iota(perm.begin(), perm.end(), 0);
    if (Status f = drawSample(perm.data(), n, n, random); !f.ok()) {
        return f.fault();
    }
    return perm;
}

} // namespace

Status shuffleOptions(TestModel& model, TestRandom& random)
{
    if (model.randomOptionOrder != 1) {
        return {};
    }
    for (Question& q : model.questions) {
        if (q.type == QuestionType::TypedText || q.picture == PictureMode::PictureOnly) {
            continue;
        }
        if (q.pickedFromList()) {
            const Result<std::vector<int32_t>> shuffledOrder = shuffled(q.optionCount, random);
            if (!shuffledOrder.ok()) {
                return shuffledOrder.fault();
            }
            const std::vector<int32_t>& perm = shuffledOrder.value();
            rearrangeSlots(q.optionCount, q.options.data(), perm.data(), model.charWidth,
                           model.lineHeight);
            std::copy(perm.begin(), perm.end(), q.displayOrder.begin());
            for (int j = 0; j < q.correctCount; ++j) {
                int32_t& r = q.correctAnswers[std::size_t(j)];
                r = indexOf(perm.data(), r - 1, q.optionCount) + 1;
            }
        } else if (q.isMatching()) {
            for (Column& c : q.columns) {
                const Result<std::vector<int32_t>> shuffledOrder = shuffled(c.rowCount(), random);
                if (!shuffledOrder.ok()) {
                    return shuffledOrder.fault();
                }
                const std::vector<int32_t>& perm = shuffledOrder.value();
                rearrangeSlots(c.rowCount(), c.cells.data(), perm.data(), model.charWidth,
                               model.lineHeight);
                c.displayOrder = perm;
            }
        }
    }
    return {};
}

void rearrangeSlots(int count, AnswerSlot* slots, const int32_t* perm, int charWidth,
                    int lineHeight)
{
    std::vector<AnswerSlot> ans_w(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const AnswerSlot& src = slots[perm[i]];
        AnswerSlot& w = ans_w[std::size_t(i)];
        w.text = src.text;
        w.startColumn = src.startColumn;
        w.endColumn = src.endColumn;
        w.startRow =
            i == 0 ? slots[0].startRow
                   : slots[i].startRow + ans_w[std::size_t(i - 1)].endRow - slots[i - 1].endRow;
        w.endRow = src.endRow + w.startRow - src.startRow;
        rect(w, charWidth, lineHeight);
    }
    std::move(ans_w.begin(), ans_w.end(), slots);
}

Status toFileNumbers(int32_t* values, int count, int n, const int32_t* perm)
{
    for (int i = 0; i < count; ++i) {
        const int32_t v = values[i];
        if (v < 0 || v >= n) {
            return fault("Не правильное обращение к функции RestoreNumb()!");
        }
        values[i] = perm[v] + 1;
    }
    return {};
}

} // namespace qd
