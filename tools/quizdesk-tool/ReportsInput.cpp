#include "ReportsInput.h"

#include "journal/JournalReports.h"
#include "results/ItemAnalysis.h"

#include <QFile>

namespace qdtool {

namespace {

const QString kReports = QStringLiteral("reports");
const QString kDb = QStringLiteral("db");
const QString kAttempt = QStringLiteral("attempt");
const QString kRescore = QStringLiteral("rescore");

QString utf8(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

void addReportsOptions(QCommandLineParser& parser, ReportsUse use)
{
    addLoadOptions(parser);
    parser.addOption(QCommandLineOption(
        kReports, tr("The folder of the students' report files (and its subfolders)."),
        QStringLiteral("FOLDER")));
    parser.addOption(QCommandLineOption(
        kDb,
        tr("The exam server's journal: a SQLite file or "
           "postgresql://USER@HOST[:PORT]/DB (its finished sittings' reports, with "
           "the server's figures where it scored them)."),
        QStringLiteral("DB")));
    if (use == ReportsUse::Analysis) {
        parser.addOption(
            QCommandLineOption(kAttempt,
                               tr("Which report of a student with several is counted: latest "
                                  "(default), best or first."),
                               QStringLiteral("latest|best|first")));
        parser.addOption(
            QCommandLineOption(kRescore, tr("Score every report against the test in DIR first (a "
                                            "report made with another key is then counted).")));
    }
}

qd::AttemptRule attemptRule(const QCommandLineParser& parser)
{
    return qd::attemptRuleNamed(parser.value(kAttempt).toStdString())
        .value_or(qd::AttemptRule::Latest);
}

QString reportsFolder(const QCommandLineParser& parser)
{
    return parser.value(kReports);
}

std::optional<ExamReports> loadExamReports(const CommandLine& cl, ReportsUse use, int* exit,
                                           int* refused)
{
    const QCommandLineParser& parser = cl.parser();
    const auto read = readLoadOptions(parser);
    if (!read.ok()) {
        *exit = cl.usageError(QString::fromStdString(read.fault().message));
        return std::nullopt;
    }
    const LoadOptions& options = read.value();
    if (parser.isSet(kDb) == parser.isSet(kReports)) {
        *exit = cl.usageError(tr("one of --reports FOLDER or --db DB is required"));
        return std::nullopt;
    }
    qd::SelectionOptions selection;
    if (use == ReportsUse::Analysis) {
        if (parser.isSet(kAttempt)) {
            const auto rule = qd::attemptRuleNamed(parser.value(kAttempt).toStdString());
            if (!rule) {
                *exit = cl.usageError(tr("--attempt takes latest, best or first"));
                return std::nullopt;
            }
            selection.rule = *rule;
        }
        selection.rescore = parser.isSet(kRescore);
    }

    ExamReports out;
    CharWidthSource charWidth(options.charW);
    out.model = loadOrReport(options, charWidth);
    if (!out.model) {
        *exit = kExitFault;
        return std::nullopt;
    }

    std::unique_ptr<qd::ReportSource> source;
    if (parser.isSet(kDb)) {
        auto journal =
            qd::journal::openJournalReports(QFile::encodeName(parser.value(kDb)).toStdString());
        if (!journal.ok()) {
            printError(utf8(journal.fault().message));
            *exit = kExitFault;
            return std::nullopt;
        }
        source = std::move(journal.value());
    } else {
        source = std::make_unique<qd::ReportFolder>(
            QFile::encodeName(parser.value(kReports)).toStdString());
    }
    auto all = source->reports();
    if (!all.ok()) {
        printError(utf8(all.fault().message));
        *exit = kExitFault;
        return std::nullopt;
    }
    auto& reports = all.value();

    if (use == ReportsUse::Rescore) {
        int count = 0;
        for (qd::SourcedReport& s : reports) {
            const QString name = utf8(s.name);
            if (!s.report.ok()) {
                printError(QStringLiteral("%1: skipped: %2")
                               .arg(name, QString::fromStdString(s.report.fault().utf8())));
                continue;
            }
            if (auto misfit = qd::reportMisfit(*out.model, s.report.value())) {
                printError(tr("%1: refused: %2").arg(name, utf8(*misfit)));
                ++count;
                continue;
            }
            out.reports.push_back(std::move(s));
        }
        if (refused) {
            *refused = count;
        }
        return out;
    }

    out.selection = qd::selectReports(*out.model, std::move(reports), selection);
    const qd::ReportSelection& sel = out.selection;
    for (const qd::Refusal& r : sel.unreadable) {
        printError(tr("%1: skipped: %2").arg(utf8(r.name), utf8(r.why)));
    }
    for (const qd::NamedReport& r : sel.unfinished) {
        printError(tr("%1: unfinished (the report stops before its totals): not "
                      "counted")
                       .arg(utf8(r.name)));
    }
    if (!sel.refused.empty()) {
        for (const qd::Refusal& r : sel.refused) {
            printError(tr("%1: refused: %2").arg(utf8(r.name), utf8(r.why)));
        }
        printError(tr("%1 report(s) do not fit the test in %2: nothing is counted%3")
                       .arg(sel.refused.size())
                       .arg(options.dir)
                       .arg(selection.rescore ? QString()
                                              : tr(" (--rescore scores them against it first)")));
        *exit = kExitFault;
        return std::nullopt;
    }
    return out;
}

} // namespace qdtool
