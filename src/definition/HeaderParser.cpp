#include "definition/HeaderParser.h"

#include "definition/TextRoutines.h"

#include <string_view>

namespace qd {

namespace {

// Item 1 or 2: the bytes between the next ":" from p and the next "#"
// behind it; p moves to that "#".
bool readText(std::string_view buf, int& p, std::string& out)
{
    const int behindColon = findBehind(buf, p, ":", int(buf.size()) - 1);
    if (behindColon < 0) {
        return false;
    }
    const int behindHash = findBehind(buf, behindColon - 1, "#", int(buf.size()) - 1);
    if (behindHash < 0) {
        return false;
    }
    const int hash = behindHash - 1;
    out = cString(buf.substr(std::size_t(behindColon), std::size_t(hash - behindColon)));
    p = hash;
    return true;
}

// An integer item: the value behind the next ":" from p; p moves behind
// that colon. Without a colon the setting stays as it is (0) and p stays.
int32_t readItem(std::string_view buf, int& p, int32_t& out)
{
    const int behindColon = copyInt(buf, p, ":", int(buf.size()) - 1, out);
    if (behindColon >= 0) {
        p = behindColon;
    }
    return behindColon;
}

enum class After { Nothing, SectionList, NarrowScreen };

struct IntItem
{
    int32_t TestModel::*field;
    int32_t lo;
    int32_t hi;
    int32_t TestModel::*atLeast; // another setting this one may not be below
    int32_t TestModel::*atMost;  // another setting this one may not exceed
    const char* message;
    After after;
};

// Items 3 to 20 in header order, each with its range and its message.
const IntItem kItems[] = {
    {&TestModel::questionCount, 1, kMaxQuestions, nullptr, nullptr,
     "Общее количество вопросов в тесте должно быть от 1 до 5000!", After::Nothing},
    {&TestModel::sectionCount, 1, kMaxQuestions, nullptr, &TestModel::questionCount,
     "Количество разделов в тесте задано не верно!", After::SectionList},
    {&TestModel::askCount, 1, kMaxQuestions, nullptr, &TestModel::questionCount,
     "Количество задаваемых вопросов в тесте задано не верно!", After::Nothing},
    {&TestModel::fontSize, 10, 28, nullptr, nullptr, "Размер шрифта задан не верно!",
     After::Nothing},
    {&TestModel::fontBold, 0, 1, nullptr, nullptr, "Признак жирности шрифта задан не верно!",
     After::NarrowScreen},
    {&TestModel::questionSeconds, 1, 1000, nullptr, nullptr,
     "Время отводимое на один вопрос задано не верно!", After::Nothing},
    {&TestModel::testMinutes, 1, 600, nullptr, nullptr,
     "Время отводимое на весь тест задано не верно!", After::Nothing},
    {&TestModel::satisfactoryPercent, 5, 100, nullptr, nullptr,
     "% баллов  для оценки 'удовл' задан не верно!", After::Nothing},
    {&TestModel::goodPercent, 5, 100, &TestModel::satisfactoryPercent, nullptr,
     "% баллов  для оценки 'хорошо' задан не верно!", After::Nothing},
    {&TestModel::excellentPercent, 5, 100, &TestModel::goodPercent, nullptr,
     "% баллов  для оценки 'отл' задан не верно!", After::Nothing},
    {&TestModel::gradeByTime, 0, 1, nullptr, nullptr,
     "Признак выставления отметки по времени задан не верно!", After::Nothing},
    {&TestModel::excellentSeconds, 5, 10000, nullptr, nullptr,
     "Время для оценки 'отл' задано не верно!", After::Nothing},
    {&TestModel::goodSeconds, 5, 10000, &TestModel::excellentSeconds, nullptr,
     "Время для оценки 'хор' задано не верно!", After::Nothing},
    {&TestModel::satisfactorySeconds, 5, 10000, &TestModel::goodSeconds, nullptr,
     "Время для оценки 'удовл' задано не верно!", After::Nothing},
    {&TestModel::randomSectionOrder, 0, 1, nullptr, nullptr,
     "Признак случайного выбора разделов задан не верно!", After::Nothing},
    {&TestModel::randomQuestionOrder, 0, 1, nullptr, nullptr,
     "Признак случайного задания вопросов внутри раздела задан не верно!", After::Nothing},
    {&TestModel::randomOptionOrder, 0, 1, nullptr, nullptr,
     "Признак случайного распределения ответов задан не верно!", After::Nothing},
};

bool inRange(const TestModel& m, const IntItem& item)
{
    const int32_t v = m.*item.field;
    return v >= item.lo && v <= item.hi && (!item.atLeast || v >= m.*item.atLeast) &&
           (!item.atMost || v <= m.*item.atMost);
}

// Item 5: the numbers of the first questions of the sections. The first is
// read like every integer item, then the whole list again; its commas must
// stand within 4 bytes per section of the colon.
Status readSectionList(TestModel& m, std::string_view buf, int& p)
{
    m.sectionStarts.assign(std::size_t(m.sectionCount), 0);
    const int behindColon = readItem(buf, p, m.sectionStarts[0]);
    int count = 0;
    if (behindColon >= 0) {
        count = readNumbers(buf.substr(std::size_t(behindColon)), 4 * m.sectionCount,
                            m.sectionCount, m.sectionStarts.data());
    }
    if (count != m.sectionCount || m.sectionStarts.front() != 1 ||
        m.sectionStarts.back() > m.questionCount) {
        return fault("Номера первых вопросов в разделах заданы не верно!");
    }
    for (int s = 1; s < m.sectionCount; ++s) {
        if (m.sectionStarts[std::size_t(s)] <= m.sectionStarts[std::size_t(s) - 1]) {
            return fault("Номера первых вопросов в разделах должны возрастать!");
        }
    }
    return {};
}

// On a narrow window the test font is 4 pixels smaller, its line step 0.8
// of that (truncated) and never bold.
void applyScreenWidth(TestModel& m, int windowWidth)
{
    if (windowWidth >= kNarrowWindow) {
        m.lineHeight = m.fontSize;
        return;
    }
    m.fontSize -= 4;
    m.lineHeight = m.fontSize * 4 / 5;
    m.fontBold = 0;
}

} // namespace

Status parseHeader(TestModel& m, int windowWidth)
{
    const std::string_view buf = m.answersText;
    int p = 0;
    if (!readText(buf, p, m.subjectName)) {
        return fault("Наименование дисциплины задано не верно!");
    }
    if (!readText(buf, p, m.testName)) {
        return fault("Название теста задано не верно!");
    }
    for (const IntItem& item : kItems) {
        readItem(buf, p, m.*item.field);
        if (!inRange(m, item)) {
            return fault(item.message);
        }
        if (item.after == After::SectionList) {
            if (Status s = readSectionList(m, buf, p); !s.ok()) {
                return s;
            }
        } else if (item.after == After::NarrowScreen) {
            applyScreenWidth(m, windowWidth);
        }
    }
    return {};
}

Status parseExtraSettings(TestModel& m)
{
    const std::string_view buf = m.answersText;
    const int last = int(buf.size()) - 1;
    int p = m.answersEnd;
    int32_t layout = 0;
    const int behindLayout = copyInt(buf, p, ":", last, layout);
    if (behindLayout >= 0) {
        // Checked as read, before it is narrowed to its 16-bit field.
        if (layout < 0 || layout > 2) {
            return fault("Раскладка клавиатуры задана не верно!");
        }
        m.keyboardLayout = int16_t(layout);
        p = behindLayout;
    }
    const int behindDir = findBehind(buf, p, ":", last);
    if (behindDir >= 0) {
        return copyLineWithoutBlanks(m.reportDir, buf.substr(std::size_t(behindDir)));
    }
    return {};
}

} // namespace qd
