#include "ReportsInput.h"

#include "results/ItemAnalysis.h"

#include <QFile>

namespace qdtool {

namespace {

const QString kReports = QStringLiteral("reports");
const QString kDb = QStringLiteral("db");

} // namespace

std::vector<const qd::ParsedReport*> ExamReports::finished() const
{
    std::vector<const qd::ParsedReport*> out;
    for (std::size_t i = 0; i < reports.size(); ++i) {
        if (report(i).finished) {
            out.push_back(&report(i));
        }
    }
    return out;
}

void addReportsOptions(QCommandLineParser& parser)
{
    addLoadOptions(parser);
    parser.addOption(QCommandLineOption(
        kReports, QStringLiteral("The folder of the students' report files (and its subfolders)."),
        QStringLiteral("FOLDER")));
    parser.addOption(QCommandLineOption(
        kDb, QStringLiteral("The exam server's journal (not available yet: use --reports)."),
        QStringLiteral("FILE")));
}

QString reportsFolder(const QCommandLineParser& parser)
{
    return parser.value(kReports);
}

std::optional<ExamReports> loadExamReports(const CommandLine& cl, int* exit)
{
    const QCommandLineParser& parser = cl.parser();
    QString error;
    const auto options = readLoadOptions(parser, &error);
    if (!options) {
        *exit = cl.usageError(error);
        return std::nullopt;
    }
    if (parser.isSet(kDb)) {
        // The journal is the exam server's; until it exists there is
        // nothing to read it with.
        *exit =
            cl.usageError(QStringLiteral("--db: the exam server's journal is not supported yet; "
                                         "use --reports FOLDER"));
        return std::nullopt;
    }
    if (!parser.isSet(kReports)) {
        *exit = cl.usageError(QStringLiteral("--reports FOLDER is required"));
        return std::nullopt;
    }

    ExamReports out;
    CharWidthSource charWidth(options->charW);
    out.model = loadOrReport(*options, charWidth);
    if (!out.model) {
        *exit = kExitFault;
        return std::nullopt;
    }

    qd::ReportFolder folder(QFile::encodeName(parser.value(kReports)).toStdString());
    auto all = folder.reports();
    if (auto* fault = std::get_if<qd::Fault>(&all)) {
        printError(QString::fromStdString(fault->message));
        *exit = kExitFault;
        return std::nullopt;
    }
    for (qd::SourcedReport& s : std::get<std::vector<qd::SourcedReport>>(all)) {
        const QString name = QString::fromStdString(s.name);
        if (auto* fault = std::get_if<qd::Fault>(&s.report)) {
            printError(QStringLiteral("%1: skipped: %2").arg(name, fromTestText(fault->message)));
            continue;
        }
        if (auto misfit = qd::reportMisfit(*out.model, std::get<qd::ParsedReport>(s.report))) {
            printError(
                QStringLiteral("%1: skipped: %2").arg(name, QString::fromStdString(*misfit)));
            continue;
        }
        out.reports.push_back(std::move(s));
    }
    return out;
}

} // namespace qdtool
