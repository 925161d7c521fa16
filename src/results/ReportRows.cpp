#include "results/ReportRows.h"

#include "definition/Cp1251.h"
#include "definition/Cp1251Format.h"

#include <cstdio>

namespace qd {

namespace {

ReportTexts makeTexts()
{
    ReportTexts t;
    t.date = toCp1251("Дата: ");
    t.time = toCp1251("   Час: ");
    t.subject = toCp1251("Найменування дисципліни: ");
    t.test = toCp1251("\nНазва тесту: ");
    t.name = toCp1251("\nПрізвище та ім'я: ");
    t.criteria = toCp1251("\nКритерії оцінювання: Задовільно ");
    t.good = toCp1251(", Добре ");
    t.excellent = toCp1251(", Відмінно ");
    t.results = toCp1251(".\n\nРезультати тестування:\n");
    t.heading = toCp1251("№ питання  Кількість балів  Відповідь\n");
    t.rowLead = "  ";
    t.beforePoints = "          ";
    t.beforeAnswer = "       ";
    t.total = toCp1251("Всього балів: ");
    t.of = toCp1251(" з ");
    t.possible = toCp1251(" можливих\n ");
    t.percent = toCp1251("або ");
    t.percentEnd = toCp1251(" відсотків за час ");
    t.minutes = toCp1251(" хвилин ");
    t.seconds = toCp1251(" секунд.\n");
    t.grade = toCp1251("Оцінка: ");
    t.accommodations = toCp1251("Пристосування: ");
    return t;
}

} // namespace

const ReportTexts& reportTexts()
{
    static const ReportTexts t = makeTexts();
    return t;
}

std::string formatReportHeader(const LocalTime& d, std::string_view subjectName,
                               std::string_view testName, std::string_view studentName,
                               const ReportCriteria& criteria)
{
    const ReportTexts& t = reportTexts();
    std::string out = t.date + formatCp1251("%2d.%2d.%d", d.day, d.month, d.year) + t.time +
                      formatCp1251("%2d.%2d.%2d\n", d.hour, d.minute, d.second);
    out += t.subject;
    out.append(subjectName);
    out += t.test;
    out.append(testName);
    out += t.name;
    out.append(studentName);
    const char before = criteria.byTime ? '<' : '>';
    const char after = criteria.byTime ? 'c' : '%';
    const std::string* between[3] = {&t.criteria, &t.good, &t.excellent};
    for (int i = 0; i < 3; ++i) {
        out += *between[i];
        out += before;
        out += formatCp1251("= %2d", criteria.thresholds[i]);
        out += after;
    }
    out += t.results;
    out += t.heading;
    return out;
}

std::string formatChoiceNumber(int32_t number)
{
    return formatCp1251("%2d,", number);
}

std::string formatReportRow(int32_t question, double points, std::string_view answer)
{
    const ReportTexts& t = reportTexts();
    std::string row = t.rowLead + formatCp1251("%4d", question) + t.beforePoints +
                      twoDecimals(points) + t.beforeAnswer;
    row.append(answer);
    row += '\n';
    return row;
}

std::string formatClosingRows(double score, int32_t maxScore, int32_t percent, uint32_t seconds,
                              std::string_view grade)
{
    const ReportTexts& t = reportTexts();
    std::string rows = t.total + twoDecimals(score) + t.of + formatCp1251("%d", maxScore) +
                       t.possible + t.percent + formatCp1251("%d", percent) + t.percentEnd +
                       formatCp1251("%d", int(seconds / 60)) + t.minutes +
                       formatCp1251("%d", int(seconds % 60)) + t.seconds + t.grade;
    rows.append(grade);
    rows += '\n';
    return rows;
}

std::string formatAccommodationRow(std::string_view settings)
{
    if (settings.empty()) {
        return {};
    }
    std::string row = reportTexts().accommodations;
    row.append(settings);
    row += '\n';
    return row;
}

} // namespace qd
