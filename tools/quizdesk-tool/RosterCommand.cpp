// quizdesk-tool roster NAMES.txt [-o students.dbf]: makes the student table
// the client's name box and the exam server's roster read, from a text file
// of names, one a line. The table replaces the output atomically: the exam
// server, reading the roster again whenever it changes, never sees half of
// one.

#include "Subcommands.h"
#include "ToolSupport.h"

#include "exam/StudentList.h"
#include "results/ReportSource.h"

#include <QDate>

#include <filesystem>
#include <map>

namespace qdtool {

namespace {

const QString kOutput = QStringLiteral("output");

// A names file is a class list; anything near this size is not one.
constexpr std::size_t kMostNamesBytes = 16u << 20;

} // namespace

int runRoster(const QStringList& args)
{
    CommandLine cl(args,
                   tr("Writes the student table students.dbf from a file of names, one a line\n"
                      "(UTF-8, or code page 1251 when the file is not valid UTF-8; blank lines\n"
                      "are skipped, blanks around a name dropped)."));
    QCommandLineParser& parser = cl.parser();
    parser.addPositionalArgument(QStringLiteral("NAMES"), tr("The text file of names."));
    parser.addOption(QCommandLineOption(QStringList{QStringLiteral("o"), kOutput},
                                        tr("Write the table to OUT (default: students.dbf here)."),
                                        QStringLiteral("OUT")));
    if (auto done = cl.parse(1)) {
        return *done;
    }
    if (parser.positionalArguments().isEmpty()) {
        return cl.usageError(tr("which file of names?"));
    }
    const QString namesFile = parser.positionalArguments().constFirst();
    const QString out = parser.isSet(kOutput) ? parser.value(kOutput)
                                              : QString::fromLatin1(qd::StudentList::kFileName);

    // Writing the table over the names would lose the class list; refused
    // as rescore --write refuses to write over its reports.
    std::error_code ec;
    if (std::filesystem::exists(pathOf(out), ec) &&
        std::filesystem::equivalent(pathOf(out), pathOf(namesFile), ec)) {
        printError(tr("%1: not written: it is the file of names").arg(out));
        return kExitFault;
    }
    const auto text = qd::readFileBounded(pathOf(namesFile), kMostNamesBytes);
    if (!text.ok()) {
        printError(tr("cannot read \"%1\": %2")
                       .arg(namesFile, QString::fromStdString(text.fault().message)));
        return kExitFault;
    }
    const auto read = qd::StudentList::namesFromText(text.value());
    if (!read.ok()) {
        printError(tr("%1: %2").arg(namesFile, QString::fromStdString(read.fault().message)));
        return kExitFault;
    }
    const std::vector<std::string>& names = read.value();
    // Two students of one name cannot both sit: the server takes a name
    // once. Said, not refused: the examiner may mean two lines to differ.
    std::map<std::string, int> seen;
    for (const std::string& n : names) {
        if (++seen[n] == 2) {
            writeErr(tr("quizdesk-tool: warning: %1: the name \"%2\" is there more "
                        "than once\n")
                         .arg(namesFile, fromTestText(n))
                         .toUtf8());
        }
    }
    const QDate today = QDate::currentDate();
    const std::chrono::year_month_day updated{std::chrono::year(today.year()),
                                              std::chrono::month(unsigned(today.month())),
                                              std::chrono::day(unsigned(today.day()))};
    if (qd::Status s =
            qd::StudentList::save(pathOf(out), qd::StudentList::makeTable(names, updated));
        !s.ok()) {
        printError(QString::fromStdString(s.fault().message));
        return kExitFault;
    }
    writeOut(tr("%1: %2 students\n").arg(out).arg(names.size()).toUtf8());
    return kExitOk;
}

} // namespace qdtool
