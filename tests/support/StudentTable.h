#pragma once

#include "definition/Cp1251.h"
#include "exam/StudentList.h"

#include <chrono>
#include <string>
#include <vector>

namespace qdtest {

// A students.dbf holding `names` (UTF-8), as quizdesk-tool roster writes it.
inline std::string studentTable(const std::vector<std::string>& names)
{
    std::vector<std::string> inCodePage;
    for (const std::string& name : names) {
        inCodePage.push_back(qd::toCp1251(name));
    }
    using namespace std::chrono;
    return qd::StudentList::makeTable(inCodePage, year_month_day{year{2026}, month{12}, day{7}});
}

} // namespace qdtest
