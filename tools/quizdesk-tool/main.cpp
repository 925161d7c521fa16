// quizdesk-tool: the examiner's companion to QuizDesk. It loads a test
// exactly as the program's start-up does (check, dump), turns test files
// between their plain and scrambled forms (scramble, unscramble), plays a
// student's session (run), makes the table of students for examination
// mode (roster), shows the test as the student's window draws it (preview)
// and, after the exam, analyses the students' reports (stats,
// rescore, results), from the lab's files or the exam server's journal.

#include "Subcommands.h"
#include "ToolSupport.h"

#include <QString>

#include <csignal>
#include <iterator>

namespace {

struct Subcommand
{
    const char* name;
    const char* synopsis;
    int (*run)(const QStringList& args);
};

// Add a subcommand here: its name, its one-line synopsis and its entry point.
const Subcommand kSubcommands[] = {
    {"check", "check [DIR] [--width W] [--height H] [--char-w N]", qdtool::runCheck},
    {"dump", "dump [DIR] [--seed S] [--width W] [--height H] [--char-w N]", qdtool::runDump},
    {"scramble", "scramble FILE --seed S [-o OUT] [--kind questions|answers]", qdtool::runScramble},
    {"unscramble", "unscramble FILE [-o OUT] [--kind questions|answers]", qdtool::runUnscramble},
    {"run",
     "run [DIR] --script FILE [--seed S] [--now \"YYYY-MM-DD HH:MM:SS\"] [--port P] [--width W] "
     "[--height H] [--char-w N]",
     qdtool::runRun},
    {"stats",
     "stats [DIR] --reports FOLDER | --db DB [--attempt latest|best|first] [--rescore] "
     "[--csv | --json]",
     qdtool::runStats},
    {"rescore", "rescore [DIR] --reports FOLDER | --db DB [--write OUT]", qdtool::runRescore},
    {"results",
     "results [DIR] --reports FOLDER | --db DB [--attempt latest|best|first] [--rescore] "
     "--html OUT.html",
     qdtool::runResults},
    {"roster", "roster NAMES [-o OUT]", qdtool::runRoster},
    {"import", "import FILE [--format gift|moodle-xml|aiken] [-o DIR] [--scramble] [--strict]",
     qdtool::runImport},
    {"export", "export [DIR] --format gift|moodle-xml [-o FILE]", qdtool::runExport},
    {"preview", "preview [DIR] [-o FOLDER] [--seed S] [--width W] [--height H]",
     qdtool::runPreview},
};

QByteArray usage()
{
    QString text = qdtool::tr("usage: quizdesk-tool COMMAND [ARGS]\n\ncommands:\n");
    for (const Subcommand& s : kSubcommands) {
        text += QLatin1String("  ") + QLatin1String(s.synopsis) + QLatin1Char('\n');
    }
    text += qdtool::tr(
        "\n'quizdesk-tool COMMAND --help' describes a command; --version says the version.\n"
        "Exit codes: 0 success, 1 the test or a file is at fault, 2 bad usage.\n");
    return text.toUtf8();
}

} // namespace

int main(int argc, char** argv)
{
    // A file-size limit fails a write (reported) instead of ending the tool.
    std::signal(SIGXFSZ, SIG_IGN);
    qdtool::keepQtQuiet();
    qd::l10n::useSystemLanguage(QStringLiteral("quizdesk-tool"));
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << qdtool::argumentText(argv[i]); // paths keep their bytes
    }
    if (args.isEmpty()) {
        qdtool::writeErr(usage());
        return qdtool::kExitUsage;
    }
    const QString command = args.constFirst();
    if (command == QLatin1String("--help") || command == QLatin1String("-h") ||
        command == QLatin1String("help")) {
        qdtool::writeOut(usage());
        return qdtool::kExitOk;
    }
    if (command == QLatin1String("--version")) {
        qdtool::writeOut("quizdesk-tool " QUIZDESK_VERSION "\n");
        return qdtool::kExitOk;
    }
    for (const Subcommand& s : kSubcommands) {
        if (command == QLatin1String(s.name)) {
            // QCommandLineParser takes the first entry as the program's name.
            args.first() = QStringLiteral("quizdesk-tool ") + command;
            return s.run(args);
        }
    }
    qdtool::printError(qdtool::tr("unknown command \"%1\"").arg(command));
    qdtool::writeErr(usage());
    return qdtool::kExitUsage;
}
