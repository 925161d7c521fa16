#pragma once

#include "run/Clock.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace qd {

// The layout of a results report, row by row, in one place: the writer
// (ReportFile, and a rescored copy) formats its rows with these, and the
// reader (readReport) expects the same fixed texts between the fields.
// Every text is code page 1251.
//
//  1      "Дата: %2d.%2d.%d   Час: %2d.%2d.%2d" LF
//  2      "Найменування дисципліни: " subject LF
//  3, 4   "Назва тесту: " test name CR LF "(" directory ")" LF
//  5      "Прізвище та ім'я: " student LF
//  6      "Критерії оцінювання: Задовільно >= %2d%, Добре ..., Відмінно ... ." LF
//         (by time: "<=" and "c" in place of ">=" and "%")
//  7-9    LF "Результати тестування:" LF "№ питання  Кількість балів  Відповідь" LF
//  11...  per scored question "  %4d          %.2f       " answer LF
//  last 3 "Всього балів: %.2f з %d можливих" LF
//         " або %d відсотків за час %d хвилин %d секунд." LF
//         "Оцінка: " grade LF
//  and, for a run with accommodations only, "Пристосування: " settings LF

// The fixed texts between the fields, converted once.
struct ReportTexts
{
    std::string date;      // "Дата: "
    std::string time;      // "   Час: "
    std::string subject;   // "Найменування дисципліни: "
    std::string test;      // LF "Назва тесту: "
    std::string name;      // LF "Прізвище та ім'я: "
    std::string criteria;  // LF "Критерії оцінювання: Задовільно "
    std::string good;      // ", Добре "
    std::string excellent; // ", Відмінно "
    std::string results;   // "." LF LF "Результати тестування:" LF
    std::string heading; // "№ питання  Кількість балів  Відповідь" LF
    // A question row: before the number, between number and points, before
    // the answer.
    std::string rowLead;
    std::string beforePoints;
    std::string beforeAnswer;
    std::string total;          // "Всього балів: "
    std::string of;             // " з "
    std::string possible;       // " можливих" LF " "
    std::string percent;        // "або "
    std::string percentEnd;     // " відсотків за час "
    std::string minutes;        // " хвилин "
    std::string seconds;        // " секунд." LF
    std::string grade;          // "Оцінка: "
    std::string accommodations; // "Пристосування: "
};

const ReportTexts& reportTexts();

// The grading criteria as row 6 states them.
struct ReportCriteria
{
    bool byTime = false;
    int32_t thresholds[3] = {0, 0, 0}; // Задовільно, Добре, Відмінно
};

// Rows 1 to 10, the header, up to and including the column heading.
// `testName` is the extended one (with its directory line).
std::string formatReportHeader(const LocalTime& date, std::string_view subjectName,
                               std::string_view testName, std::string_view studentName,
                               const ReportCriteria& criteria);

// One entry of a chosen-options answer column: "%2d,".
std::string formatChoiceNumber(int32_t number);

// A question row as the report holds it, with its LF: ReportFile writes
// it with this, and a rescored copy is written with it too.
std::string formatReportRow(int32_t question, double points, std::string_view answer);

// The line after the grade of a run with accommodations ("time=2; quiet"):
// empty for none, so that a plain run's report keeps its bytes.
std::string formatAccommodationRow(std::string_view settings);

// The three closing rows, shared the same way.
std::string formatClosingRows(double score, int32_t maxScore, int32_t percent, uint32_t seconds,
                              std::string_view grade);

} // namespace qd
