#include "definition/QuestionParser.h"

#include "definition/AnswerLayout.h"
#include "definition/Cp1251.h"
#include "definition/TextRoutines.h"

#include <algorithm>
#include <limits>
#include <map>
#include <numeric>
#include <string>
#include <string_view>

namespace qd {

namespace {

constexpr int kLongestAnswerText = 199; // type 5, between its slashes

int32_t saturate(int64_t v)
{
    return int32_t(std::clamp<int64_t>(v, std::numeric_limits<int32_t>::min(),
                                       std::numeric_limits<int32_t>::max()));
}

// Offset of the first `c` in buf[from .. to), or -1.
int findIn(std::string_view buf, int from, int to, char c)
{
    if (from < 0 || from >= to) {
        return -1;
    }
    const std::size_t at = buf.substr(0, std::size_t(to)).find(c, std::size_t(from));
    return at == std::string_view::npos ? -1 : int(at);
}

// The list between the two slashes of an answer entry: [open, close) holds
// its bytes, close is the offset of the closing slash.
struct Slashes
{
    int open;
    int close;
};

// Parses the questions one by one. pV, pO and pB only ever move forward,
// so the whole load is one pass over each text.
class QuestionReader
{
public:
    QuestionReader(TestModel& model, int bottom)
        : m(model),
          V(model.questionsText),
          O(model.answersText),
          windowBottom(bottom)
    {
    }

    Status run()
    {
        m.questions.assign(std::size_t(m.questionCount), Question{});
        for (int n = 1; n <= m.questionCount; ++n) {
            if (Status s = question(m.questions[std::size_t(n) - 1], n); !s.ok()) {
                return s;
            }
        }
        m.answersEnd = pO;
        return {};
    }

private:
    Status question(Question& q, int n);
    Status questionText(Question& q, int n, const std::string& K, int& s, int& L);
    Status answerEntry(Question& q, int n, const std::string& K);
    Status options(Question& q, int n, std::string_view body);
    Status correctAnswers(Question& q, int n);
    Result<Slashes> findSlashes(int n);
    void singleChoice(Question& q);
    Status choiceList(Question& q, int n, const Slashes& sl);
    Status groups(Question& q, int n, const Slashes& sl);
    Status typedText(Question& q, int n, const Slashes& sl);
    Status typedKeys(Question& q, int n, const Slashes& sl);

    int searchForward(const std::string& key);
    int lastO() const { return int(O.size()) - 1; }

    TestModel& m;
    std::string_view V;
    std::string_view O;
    int windowBottom;
    int pV = 0;
    int pO = 0;
    int pB = 0;
    std::map<std::string, int> missingFrom; // key -> offset it is known missing from
    bool severalAccepted = false;           // the current entry is of type 7
};

Status QuestionReader::question(Question& q, int n)
{
    const std::string K = std::to_string(n) + ")";
    int s = 0;
    int L = 0;
    if (Status st = questionText(q, n, K, s, L); !st.ok()) {
        return st;
    }
    if (Status st = answerEntry(q, n, K); !st.ok()) {
        return st;
    }
    if (q.type == QuestionType::TypedText) {
        // No options: the answer area starts at the window's bottom edge.
        q.options.assign(1, AnswerSlot{});
        q.options[0].top = windowBottom;
    } else if (Status st = options(q, n, V.substr(std::size_t(s), std::size_t(L))); !st.ok()) {
        return st;
    }
    if (q.picture != PictureMode::PictureOnly && q.isMatching()) {
        if (Status st = sortIntoColumns(q, n); !st.ok()) {
            return st;
        }
    }
    if (Status st = correctAnswers(q, n); !st.ok()) {
        return st;
    }
    if (n == m.questionCount && q.mark == 0) {
        return fault("Отсутствует количество баллов для %d вопроса!\n", n);
    }
    if (q.picture != PictureMode::PictureOnly && q.isChoice()) {
        for (int i = 0; i < q.correctCount; ++i) {
            if (q.correctAnswers[std::size_t(i)] < 1 ||
                q.correctAnswers[std::size_t(i)] > q.optionCount) {
                return fault("Для вопроса %d ответ задан не верно!", n);
            }
        }
    }
    if (q.pickedFromList()) {
        std::iota(q.displayOrder.begin(), q.displayOrder.begin() + q.optionCount, 0);
    } else {
        for (Column& c : q.columns) {
            std::iota(c.displayOrder.begin(), c.displayOrder.end(), 0);
        }
    }
    return {};
}

// The text of question n: from its number mark K to the next "#". s is the
// offset behind K, L the length up to the "#".
Status QuestionReader::questionText(Question& q, int n, const std::string& K, int& s, int& L)
{
    const int h = findIn(V, pV, int(V.size()), '#');
    if (h < 0) {
        return fault("Вопрос %d не заканчивается знаком '#'!", n);
    }
    const int at = findWithin(V.substr(std::size_t(pV)), K, h - pV);
    if (at < 0) {
        return fault(
            "Неправильная нумерация вопроса %d\n или вопрос %d не заканчивается знаком '#' !", n,
            n - 1);
    }
    const int k = pV + at;
    if (std::size_t(h) + 1 < V.size() && V[std::size_t(h) + 1] == '&') {
        q.picture = PictureMode::WithOptions;
    }
    s = k + int(K.size());
    // Blanks around the mark shift the first line; the walk back stops at
    // the end of the previous question (or the start of the text).
    int before = 0;
    while (k - before > pV && V[std::size_t(k - before) - 1] == ' ') {
        ++before;
    }
    int after = 0;
    while (s + after < h && V[std::size_t(s + after)] == ' ') {
        ++after;
    }
    q.indent = saturate((int64_t(K.size()) + before + after - 1) * m.charWidth);
    L = h - s;
    pV = h + 1;
    if (L > kMaxTextLength) {
        return fault("Вопрос %d слишком длинный!\n", n);
    }
    const std::string_view body = V.substr(std::size_t(s), std::size_t(L));
    const std::size_t lt = body.find('<');
    q.stemLength = lt == std::string_view::npos ? L : int(lt);
    q.text = cString(body.substr(0, std::size_t(q.stemLength)));
    return {};
}

// The entry of question n in the answers text: its mark and type.
Status QuestionReader::answerEntry(Question& q, int n, const std::string& K)
{
    int32_t typeInFile = typeNumber(q.type);
    const int behindK = copyInt(O, pO, K, lastO(), typeInFile);
    severalAccepted = typeInFile == kTypedAlternativesNumber;
    q.type = severalAccepted ? QuestionType::TypedText : QuestionType(typeInFile);
    if (behindK < 0) {
        return fault("Ошибочная нумерация %d ответа!\n", n);
    }
    pO = behindK;
    const int markAt = behindK - int(K.size());
    if (n > 1 && isBlank(O, pB, markAt - 1)) {
        return fault("Отсутствует количество баллов для %d вопроса!\n", n - 1);
    }
    return {};
}

// The options of a question: every "<" with the next ">" behind it.
Status QuestionReader::options(Question& q, int n, std::string_view body)
{
    const auto opening = std::count(body.begin(), body.end(), '<');
    if (opening != std::count(body.begin(), body.end(), '>')) {
        return fault("В вопросе %d разное количество знаков '<' и '>'!", n);
    }
    q.options.reserve(std::size_t(std::min<std::ptrdiff_t>(opening, kMaxAnswers)));
    std::size_t pos = 0;
    while (true) {
        const std::size_t lt = body.find('<', pos);
        if (lt == std::string_view::npos) {
            if (q.picture != PictureMode::None && q.options.empty()) {
                q.picture = PictureMode::PictureOnly; // a picture holds the options: typed answer
                break;
            }
            if (q.options.size() < 2) {
                return fault("В вопросе %d не правильно расставлены знаки '<'!", n);
            }
            break;
        }
        const std::size_t gt = body.find('>', lt);
        if (gt == std::string_view::npos) {
            return fault("В вопросе %d не правильно расставлены знаки '>'!", n);
        }
        if (q.options.size() == std::size_t(kMaxAnswers)) {
            return fault("В вопросе %d количество ответов > %d!", n, kMaxAnswers);
        }
        q.options.emplace_back();
        q.options.back().text = cString(body.substr(lt, gt - lt + 1));
        pos = gt + 1;
    }
    q.optionCount = int(q.options.size());
    placeOptions(q, body.data(), int(body.size()), m.charWidth, m.lineHeight);
    return {};
}

Result<Slashes> QuestionReader::findSlashes(int n)
{
    const int open = findBehind(O, pO, "/", lastO());
    if (open >= 0) {
        pO = open;
        const int close = findBehind(O, pO, "/", lastO());
        if (close >= 0) {
            return Slashes{open, close - 1};
        }
    }
    return fault("Для вопроса %d варианты ответов не разделены / /!", n);
}

Status QuestionReader::correctAnswers(Question& q, int n)
{
    if (q.type == QuestionType::SingleChoice) {
        singleChoice(q);
        return {};
    }
    if (typeNumber(q.type) < 2 || typeNumber(q.type) > 6) {
        return fault("Тип вопроса %d задан не верно!", n);
    }
    const Result<Slashes> found = findSlashes(n);
    if (!found.ok()) {
        return found.fault();
    }
    const Slashes& sl = found.value();
    Status st;
    if (q.type == QuestionType::MultipleChoice || q.type == QuestionType::Ordering) {
        st = choiceList(q, n, sl);
    } else if (q.type == QuestionType::TypedText) {
        st = typedText(q, n, sl);
    } else if (q.type == QuestionType::MatchingColumns && q.picture == PictureMode::PictureOnly) {
        st = typedKeys(q, n, sl);
    } else {
        st = groups(q, n, sl);
    }
    if (!st.ok()) {
        return st;
    }
    // The points follow the closing slash.
    q.mark = readInt(O.substr(std::size_t(sl.close) + 1));
    pO = pB = sl.close + 1;
    return {};
}

// Type 1: "n) 1 k p". The option is read behind the type's own digits, the
// points behind the option's. A search that finds nothing leaves the
// positions where they were (and the points 0).
void QuestionReader::singleChoice(Question& q)
{
    const int behindType = searchForward(std::to_string(typeNumber(q.type)));
    if (behindType >= 0) {
        q.correctAnswers[0] = readInt(O.substr(std::size_t(behindType)));
        pO = behindType;
    }
    q.correctCount = 1;
    const int behindOption = searchForward(std::to_string(q.correctAnswers[0]));
    if (behindOption >= 0) {
        q.mark = readInt(O.substr(std::size_t(behindOption)));
        pO = pB = behindOption;
    }
}

// The offset behind the next `key` from pO, or -1. A search that failed
// from some offset fails from every later one, so it is not repeated: the
// keys that can be missing are few ("0" for an option that is no number,
// the saturated values), and without this every such entry of a long file
// would scan the rest of it again.
int QuestionReader::searchForward(const std::string& key)
{
    const auto missing = missingFrom.find(key);
    if (missing != missingFrom.end() && pO >= missing->second) {
        return -1;
    }
    const int behind = findBehind(O, pO, key, lastO());
    if (behind < 0) {
        missingFrom[key] = pO;
    }
    return behind;
}

// Types 2 and 3: the correct options (in order, for type 3).
Status QuestionReader::choiceList(Question& q, int n, const Slashes& sl)
{
    const int count = readNumbers(O.substr(std::size_t(sl.open)), sl.close - sl.open, kMaxAnswers,
                                  q.correctAnswers.data());
    if (count == -1) {
        return fault("Переполнение массива rans в вопросе %d!", n);
    }
    if (count == -2 || !allDifferent(q.correctAnswers.data(), count)) {
        return fault("Ответы для вопроса %d оформлены не правильно!", n);
    }
    q.correctCount = count;
    if (q.type == QuestionType::MultipleChoice && q.picture != PictureMode::PictureOnly &&
        (q.correctCount < 1 || q.correctCount > q.optionCount)) {
        return fault("Для вопроса %d ответы заданы не верно!", n);
    }
    return {};
}

// Types 4 and 6: one group per row of the first column, separated by ";",
// each a label, ":" and its numbers.
Status QuestionReader::groups(Question& q, int n, const Slashes& sl)
{
    std::vector<int> ends; // offset of each group's end (its ";" or the slash)
    for (int i = sl.open; i < sl.close; ++i) {
        if (O[std::size_t(i)] == ';') {
            ends.push_back(i);
            if (int(ends.size()) == kMaxGroups) {
                return fault("nj > MAXNANS-1 в вопросе %d!", n);
            }
        }
    }
    ends.push_back(sl.close);
    const int G = int(ends.size());
    if (q.picture != PictureMode::PictureOnly && G != q.columns[0].rowCount()) {
        return fault(
            "В вопросе %d количество групп правильных ответов не равно количеству строк в первом "
            "столбце!",
            n);
    }
    q.correctCount = G;
    q.groups.assign(std::size_t(G), Group{});
    pO = sl.open;
    for (int g = 1; g <= G; ++g) {
        Group& grp = q.groups[std::size_t(g) - 1];
        const int end = ends[std::size_t(g) - 1];
        const int colon = findIn(O, pO, end, ':');
        if (colon < 0) {
            return fault("В ответе на вопрос %d в групе %d нет ':'!", n, g);
        }
        grp.label = O[std::size_t(colon) - 1];
        pO = colon + 1;
        const int count =
            readNumbers(O.substr(std::size_t(pO)), end - pO, kMaxGroupNumbers, grp.numbers.data());
        if (count == -1) {
            return fault("Переполнение массива numbers в вопросе %d!", n);
        }
        if ((count == -2 && q.picture == PictureMode::PictureOnly) ||
            (q.type == QuestionType::Matching && !allDifferent(grp.numbers.data(), count))) {
            return fault("Ответы для вопроса %d оформлены не правильно!", n);
        }
        grp.numberCount = std::max(count, 0);
        if (q.picture == PictureMode::PictureOnly || grp.numberCount == 0) {
            continue;
        }
        if (q.type == QuestionType::Matching && grp.numberCount > q.columns[1].rowCount()) {
            return fault("Кол-во правильных ответов > кол-ва строк 2-го столбца в вопросе %d!", n);
        }
        if (q.type == QuestionType::MatchingColumns && grp.numberCount != q.columnCount - 1) {
            return fault(
                "Кол-во правильных ответов для %d группы != кол-ву столбцов-1 в вопросе %d!", g, n);
        }
        for (int k = 0; k < grp.numberCount; ++k) {
            const int32_t x = grp.numbers[std::size_t(k)];
            const bool ok = q.type == QuestionType::Matching
                                ? x >= 1 && x <= q.columns[1].rowCount()
                                : x >= 0 && x <= q.columns[std::size_t(k) + 1].rowCount();
            if (!ok) {
                return fault(
                    "В вопросе %d номера правильных ответов для %d группы заданы не верно!", n, g);
            }
        }
    }
    return {};
}

// Type 5: the expected text, blanks removed, lower case.
Status QuestionReader::typedText(Question& q, int n, const Slashes& sl)
{
    const int len = sl.close - sl.open;
    if (len > kLongestAnswerText) {
        return fault("В вопросе %d слишком длинный ответ!", n);
    }
    const std::string key(cString(O.substr(std::size_t(sl.open), std::size_t(len))));
    if (!severalAccepted) {
        q.expectedText = key;
        if (Status st = removeBlanks(q.expectedText); !st.ok()) {
            return st;
        }
        lowerCp1251(q.expectedText);
        return {};
    }
    // Type 7: each spelling between the bars is kept as a type-5 key is.
    std::size_t from = 0;
    while (true) {
        const std::size_t bar = key.find(kAcceptedSeparator, from);
        std::string one =
            key.substr(from, bar == std::string::npos ? std::string::npos : bar - from);
        if (Status st = removeBlanks(one); !st.ok()) {
            return st;
        }
        lowerCp1251(one);
        q.acceptedTexts.push_back(std::move(one));
        if (bar == std::string::npos) {
            break;
        }
        from = bar + 1;
    }
    q.expectedText = q.acceptedTexts.front();
    return {};
}

// Type 6 answered by typing: keys of one length separated by ";", blanks
// ignored. A key is a counted run of bytes (a NUL byte is one of them).
Status QuestionReader::typedKeys(Question& q, int n, const Slashes& sl)
{
    std::string key;
    std::size_t length = 0;
    for (int i = sl.open; i < sl.close; ++i) {
        const char c = O[std::size_t(i)];
        if (c == ' ') {
            continue;
        }
        if (c == ';') {
            if (q.acceptedStrings.empty()) {
                length = key.size();
            } else if (key.size() != length) {
                return fault("Не правильные ответы в вопросе %d!", n);
            }
            q.acceptedStrings.push_back(std::move(key));
            key.clear();
            if (int(q.acceptedStrings.size()) == kMaxTypedKeys) {
                return fault("nj > MAXNANS-1 в вопросе %d!", n);
            }
            continue;
        }
        if (key.size() == std::size_t(kMaxTypedKeyLength)) {
            return fault("kj > MAXCOL-1 в вопросе %d!", n);
        }
        key.push_back(c);
    }
    if (q.acceptedStrings.empty()) {
        length = key.size();
    } else if (key.size() != length) {
        return fault("Не правильные ответы в вопросе %d!", n);
    }
    q.acceptedStrings.push_back(std::move(key));
    q.columnCount = int(length);
    q.correctCount = int(q.acceptedStrings.size());
    return {};
}

} // namespace

Status parseQuestions(TestModel& m, int windowBottom)
{
    return QuestionReader(m, windowBottom).run();
}

int indexOfExtreme(const int32_t* values, int count, bool largest, int nused, const int32_t* used)
{
    if (nused >= count) {
        return -1;
    }
    std::vector<bool> taken(std::size_t(std::max(count, 0)), false);
    for (int u = 0; u < nused; ++u) {
        if (used[u] >= 0 && used[u] < count) {
            taken[std::size_t(used[u])] = true;
        }
    }
    int best = -1;
    for (int i = 0; i < count; ++i) {
        if (taken[std::size_t(i)]) {
            continue;
        }
        if (best < 0 || (largest ? values[i] > values[best] : values[i] < values[best])) {
            best = i;
        }
    }
    return best;
}

Status sortIntoColumns(Question& q, int n)
{
    const int count = q.optionCount;
    std::array<int32_t, kMaxAnswers> left{};
    std::array<int32_t, kMaxAnswers> used{};
    std::array<bool, kMaxAnswers> assigned{};
    for (int i = 0; i < count; ++i) {
        left[std::size_t(i)] = q.options[std::size_t(i)].startColumn;
    }
    std::vector<std::vector<int>> columns;
    int nused = 0;
    while (nused < count) {
        // The leftmost unplaced option opens a column; every unplaced option
        // that starts left of the column's right edge joins it and may widen
        // it. The opening option always joins, even when its ">" stands left
        // of its "<" (an option over lines ended by a bare LF, whose width
        // the layout does not measure): otherwise nothing would ever be
        // placed and the loop would not end.
        const int first = indexOfExtreme(left.data(), count, false, nused, used.data());
        int32_t edge = q.options[std::size_t(first)].endColumn;
        std::vector<int>& members = columns.emplace_back();
        for (int i = 0; i < count; ++i) {
            const AnswerSlot& a = q.options[std::size_t(i)];
            if (assigned[std::size_t(i)] || (i != first && a.startColumn >= edge)) {
                continue;
            }
            assigned[std::size_t(i)] = true;
            used[std::size_t(nused++)] = i;
            members.push_back(i);
            edge = std::max(edge, a.endColumn);
        }
    }
    const int c = int(columns.size());
    if ((q.type == QuestionType::Matching && c != 2) ||
        (q.type == QuestionType::MatchingColumns && (c < 2 || c > kMaxColumns))) {
        return fault("Вопрос %d неправильно разбит на колонки!", n);
    }
    q.columnCount = c;
    q.columns.assign(std::size_t(c), Column{});
    for (int k = 0; k < c; ++k) {
        Column& col = q.columns[std::size_t(k)];
        const std::vector<int>& members = columns[std::size_t(k)];
        col.cells.reserve(members.size());
        for (int i : members) {
            col.cells.push_back(q.options[std::size_t(i)]);
        }
        col.displayOrder.assign(members.size(), 0);
    }
    return {};
}

} // namespace qd
