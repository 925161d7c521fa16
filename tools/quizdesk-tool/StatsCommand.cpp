// quizdesk-tool stats [DIR] --reports FOLDER | --db DB: the item analysis of an exam
// from the students' reports, with the test in DIR for each question's mark
// and type.

#include "ReportsInput.h"
#include "StatsOutput.h"
#include "Subcommands.h"
#include "ToolSupport.h"

namespace qdtool {

int runStats(const QStringList& args)
{
    CommandLine cl(
        args, tr("Item analysis of an exam: the test in DIR, the students' reports in FOLDER.\n"
                 "\n"
                 "Per question: sat (students asked it), facility (mean points / mark, %), sd\n"
                 "(of its points), discrimination (100 x the correlation of its points with the\n"
                 "rest of the test: the student's total points less this question's, over the\n"
                 "students who sat it), efficiency (100 x that covariance over the largest the\n"
                 "same values allow, both sorted alike), flags (efficiency<15%, discrimination<0,\n"
                 "facility>95%, facility<5%) and, for choice questions, how often each option\n"
                 "(its number in the test file) was chosen.\n"
                 "For the test: students, mean, median, sd and sem of the percentages, Cronbach's\n"
                 "alpha (KR-20 for 0/1 questions) over the questions every student sat, the\n"
                 "grades.\n"
                 "Variances and standard deviations divide by n - 1. A question a student was\n"
                 "not asked is missing for that student, not zero. Undefined values (too few\n"
                 "students, no spread) show as \"-\" (null in JSON, empty in CSV).\n"
                 "Reports cut short (no totals) are not counted; files that are not reports\n"
                 "are named on stderr and skipped. A report that does not fit the test in DIR\n"
                 "(another test, a question or option the test does not have, points over a\n"
                 "question's mark) is refused with its name and the reason, and nothing is\n"
                 "counted (exit 1), unless --rescore scores every report against the test first.\n"
                 "One attempt per student is counted (--attempt, default the latest finished);\n"
                 "students with several reports are listed as repeated. A sitting closed with no\n"
                 "question answered is listed as not sat and enters no figure.\n"
                 "\n"
                 "--json keys: students, mean, median, sd, alpha, sem, grades {grade: count},\n"
                 "questions [{question, sat, facility, sd, discrimination, efficiency, flags,\n"
                 "options {option: times} or null}], attempt, notSat [names], repeated\n"
                 "[{student, reports, counted}]. mean, median, sd and sem are in percent of\n"
                 "the maximum (as the reports), facility, discrimination and efficiency in\n"
                 "percent, a question's sd in points, alpha a fraction; JSON keeps four\n"
                 "decimals. --csv: one line per question."));
    addReportsOptions(cl.parser(), ReportsUse::Analysis);
    const QCommandLineOption csvOption(QStringLiteral("csv"), tr("The question table as CSV."));
    const QCommandLineOption jsonOption(QStringLiteral("json"), tr("Everything as JSON."));
    cl.parser().addOption(csvOption);
    cl.parser().addOption(jsonOption);
    if (auto done = cl.parse(1)) {
        return *done;
    }
    if (cl.parser().isSet(csvOption) && cl.parser().isSet(jsonOption)) {
        return cl.usageError(tr("--csv and --json exclude each other"));
    }
    int exit = kExitOk;
    const auto exam = loadExamReports(cl, ReportsUse::Analysis, &exit);
    if (!exam) {
        return exit;
    }
    const qd::TestStats stats = qd::analyseReports(*exam->model, exam->selection.countedReports());
    const ListedApart apart = listedApart(exam->selection, attemptRule(cl.parser()));
    if (cl.parser().isSet(jsonOption)) {
        writeOut(statsJson(stats, apart));
    } else if (cl.parser().isSet(csvOption)) {
        writeOut(statsCsv(stats));
    } else {
        writeOut(statsTable(stats, apart));
    }
    return kExitOk;
}

} // namespace qdtool
