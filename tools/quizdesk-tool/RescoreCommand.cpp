// quizdesk-tool rescore [DIR] --reports FOLDER | --db DB [--write OUT]: every stored
// answer scored again with the test in DIR (typically with a corrected
// otveti.txt) by the engine's own scoring, and the students whose points,
// percentage or grade change listed; --write keeps corrected copies.

#include "ReportsInput.h"
#include "StatsOutput.h"
#include "Subcommands.h"
#include "ToolSupport.h"

#include "definition/Cp1251Format.h"
#include "definition/WholeFile.h"
#include "results/Rescore.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace qdtool {

namespace {

namespace fs = std::filesystem;

// Writes a corrected report whole; the folders on the way are made.
qd::Status writeReport(const fs::path& path, const std::string& bytes)
{
    std::error_code ec;
    fs::create_directories(path.parent_path(), ec);
    if (ec) {
        return qd::Fault{ec.message()};
    }
    return qd::writeWholeFile(path, bytes);
}

} // namespace

int runRescore(const QStringList& args)
{
    CommandLine cl(args,
                   tr("Scores every answer of the reports in FOLDER again with the test in DIR\n"
                      "(typically with a corrected otveti.txt), through the same scoring as the\n"
                      "program, and lists the students whose points, percentage or grade change:\n"
                      "  NAME (FILE): points OLD → NEW, percent OLD → NEW, grade OLD → NEW\n"
                      "then how many of the reports changed. --write OUT writes corrected copies\n"
                      "of all the reports into OUT under the same names; the originals are never\n"
                      "overwritten. The questions and options must be those of the exam: only\n"
                      "keys and marks may differ. An ordering or a matching answered with the\n"
                      "mouse is rescored from what its report line shows (the line keeps no gap\n"
                      "between filled places and no row whose group expected nothing). When the\n"
                      "test time ran out, the marks of the questions left unasked come from the\n"
                      "test when it asks every question, else from the report's maximum.\n"
                      "With --db the reports are those of the journal's finished sittings.\n"
                      "Exit 1 when a report could not be rescored or is of another test."));
    addReportsOptions(cl.parser(), ReportsUse::Rescore);
    const QCommandLineOption writeOption(
        QStringLiteral("write"), tr("Write corrected copies of the reports into folder OUT."),
        QStringLiteral("OUT"));
    cl.parser().addOption(writeOption);
    if (auto done = cl.parse(1)) {
        return *done;
    }
    std::optional<fs::path> out;
    const fs::path folder = QFile::encodeName(reportsFolder(cl.parser())).toStdString();
    if (cl.parser().isSet(writeOption)) {
        out = fs::path(QFile::encodeName(cl.parser().value(writeOption)).toStdString());
        std::error_code ec1, ec2;
        if (fs::weakly_canonical(*out, ec1) == fs::weakly_canonical(folder, ec2)) {
            return cl.usageError(tr("--write must name another folder than --reports: "
                                    "the original reports are never overwritten"));
        }
    }
    int exit = kExitOk;
    int failed = 0;
    const auto exam = loadExamReports(cl, ReportsUse::Rescore, &exit, &failed);
    if (!exam) {
        return exit;
    }

    QByteArray listing;
    int changed = 0;
    for (std::size_t i = 0; i < exam->reports.size(); ++i) {
        const qd::ParsedReport& report = exam->report(i);
        const QString name = QString::fromStdString(exam->reports[i].name);
        auto result = qd::rescoreReport(*exam->model, report);
        if (!result.ok()) {
            printError(tr("%1: cannot be rescored: %2")
                           .arg(name, QString::fromStdString(result.fault().utf8())));
            ++failed;
            continue;
        }
        const qd::RescoredReport& r = result.value();
        if (qd::rescoreChanges(report, r)) {
            ++changed;
            QString line = QStringLiteral("%1 (%2): ").arg(fromTestText(report.studentName), name);
            if (report.finished) {
                line += QStringLiteral("points %1 → %2, percent %3 → %4, grade %5 → %6")
                            .arg(QString::fromStdString(report.scoreText),
                                 QString::fromStdString(r.scoreText))
                            .arg(report.percent)
                            .arg(r.percent)
                            .arg(gradeName(report.grade), gradeName(r.grade));
            } else {
                double before = 0.0;
                for (const qd::ReportRow& row : report.rows) {
                    before += row.points;
                }
                line += QStringLiteral("unfinished, points so far %1 → %2")
                            .arg(QString::fromStdString(qd::twoDecimals(before)),
                                 QString::fromStdString(r.scoreText));
            }
            listing += line.toUtf8() + '\n';
        }
        if (out) {
            const fs::path source = folder / exam->reports[i].name;
            const fs::path target = *out / exam->reports[i].name;
            std::error_code ec;
            if (fs::exists(target, ec) && fs::equivalent(target, source, ec)) {
                printError(tr("%1: not written: it is the original").arg(name));
                ++failed;
                continue;
            }
            if (qd::Status s = writeReport(target, qd::correctedReport(report, r)); !s.ok()) {
                printError(tr("%1: cannot write %2: %3")
                               .arg(name, QFile::decodeName(target.c_str()),
                                    QString::fromStdString(s.fault().message)));
                ++failed;
            }
        }
    }
    listing += tr("%1 of %2 reports change\n").arg(changed).arg(exam->reports.size()).toUtf8();
    writeOut(listing);
    return failed ? kExitFault : kExitOk;
}

} // namespace qdtool
