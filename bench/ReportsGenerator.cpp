#include "ReportsGenerator.h"

#include "definition/Cp1251.h"
#include "results/ReportReader.h"
#include "results/ReportRows.h"

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <random>
#include <vector>

namespace qdbench {

std::string generatedReport(const qd::TestModel& model, int student)
{
    std::mt19937 rng(uint32_t(student) * 2654435761u + 1u);
    const double ability = std::uniform_real_distribution<double>(0.2, 0.95)(rng);

    char date[64];
    std::snprintf(date, sizeof date, "%2d.%2d.%d   ", 7, 12, 2026);
    std::string out = qd::toCp1251("Дата: ") + date + qd::toCp1251("Час: 10. 5. 9\n");
    out += qd::toCp1251("Найменування дисципліни: ") + model.subjectName;
    out += qd::toCp1251("\nНазва тесту: ") + model.testName + "\r\n(/srv/exam)";
    out += qd::toCp1251("\nПрізвище та ім'я: Студент ") + std::to_string(student);
    out += qd::toCp1251("\nКритерії оцінювання: Задовільно >= 60%, Добре >= 75%, Відмінно >= 90%.");
    out += qd::toCp1251("\n\nРезультати тестування:\n№ питання  Кількість балів  Відповідь\n");

    std::vector<int> order(std::size_t(model.questionCount));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), rng);
    order.resize(std::size_t(std::min(model.askCount, model.questionCount)));
    std::uniform_real_distribution<double> u(0.0, 1.0);
    double score = 0.0;
    int32_t max = 0;
    for (int i : order) {
        const qd::Question& q = model.questions[std::size_t(i)];
        const bool right = u(rng) < ability;
        const double points = right ? q.mark : std::floor(u(rng) * q.mark * 2.0) / 4.0;
        std::string answer;
        if (q.isChoice() && q.optionCount > 0) {
            char pick[16];
            std::snprintf(pick, sizeof pick, "%2d,",
                          right ? q.correctAnswers[0] : int(u(rng) * q.optionCount) + 1);
            answer = pick;
        } else if (q.type == qd::QuestionType::TypedText) {
            answer = right ? q.expectedText : "x";
        } else {
            answer = "1,2,3,";
        }
        out += qd::formatReportRow(i + 1, points, answer);
        score += points;
        max += q.mark;
    }
    const int percent = max > 0 ? int(100.0 * score / max + 0.5) : 0;
    const char* grade = percent >= 90   ? "Відмінно"
                        : percent >= 75 ? "Добре"
                        : percent >= 60 ? "Задовільно"
                                        : "Незадовільно";
    out += qd::formatClosingRows(score, max, percent, 1800, qd::toCp1251(grade));
    return out;
}

} // namespace qdbench
