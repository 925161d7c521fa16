// quizdesk-examd: the exam server and its commands on the journal. This file
// only dispatches: a command is a file here and one row in the table below.
//
// Exit codes: 0 done, 1 a failure (or nothing to show), 2 bad usage.

#include "Commands.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

namespace {

struct Command
{
    const char* name;
    // What follows "quizdesk-examd NAME " in the usage, a line each; the
    // usage aligns the later lines under the first.
    std::initializer_list<const char*> synopsis;
    int (*run)(const qd::server::CommandLine& args, QCoreApplication& app);
};

// Add a command here: its name, its synopsis and its entry point.
const Command kCommands[] = {
    {"serve",
     {"[--listen ADDR] [--port P] [--roster FILE] [--db DB]",
      "[--http ADDR:PORT | --no-http] [--name NAME] [--deny FILE]",
      "[--from \"YYYY-MM-DD HH:MM\"] [--until \"YYYY-MM-DD HH:MM\"]",
      "[--allow CIDR]... [--retakes N] [--test DIR]...", "[--board-token-file FILE]",
      "[--connections-per-address N] [--buffer-limit MIB] [--idle-timeout S]"},
     qd::server::runServe},
    {"status", {"[--watch] [--db DB]"}, qd::server::runStatus},
    {"export",
     {"[--format csv|csv-1251|xlsx] [--matrix] [-o FILE] [--db DB]", "[--test DIR]..."},
     qd::server::runExport},
    {"report", {"NAME [--all] [--db DB]"}, qd::server::runReport},
    {"release", {"NAME [--move] [--db DB]"}, qd::server::runRelease},
    {"stop", {"NAME [--db DB]"}, qd::server::runStop},
    {"incidents", {"[--db DB]"}, qd::server::runIncidents},
    {"verify", {"[--db DB] [--test DIR]..."}, qd::server::runVerify},
    {"import-reports", {"FOLDER [--test DIR]... [--db DB]"}, qd::server::runImportReports},
};

} // namespace

QString qd::server::usageText()
{
    // "usage:" in the reader's language; the commands and options as typed,
    // each command's lines aligned under its first.
    const QString head = tr("usage:") + QLatin1Char(' ');
    const QString indent(head.size(), QLatin1Char(' '));
    QString text;
    for (const Command& c : kCommands) {
        const QString first = (text.isEmpty() ? head : indent) + QLatin1String("quizdesk-examd ") +
                              QLatin1String(c.name) + QLatin1Char(' ');
        const QString more(first.size(), QLatin1Char(' '));
        for (const char* line : c.synopsis) {
            text += (line == *c.synopsis.begin() ? first : more) + QLatin1String(line) +
                    QLatin1Char('\n');
        }
    }
    text += indent + QLatin1String("quizdesk-examd --help | --version\n");
    text += tr("DB: a SQLite file (default %1) or postgresql://USER@HOST[:PORT]/DB")
                .arg(QLatin1String(kDefaultJournal)) +
            QLatin1Char('\n');
    return text;
}

int main(int argc, char** argv)
{
    if (argc == 2 && std::string_view(argv[1]) == "--version") {
        std::printf("quizdesk-examd %s\n", QUIZDESK_VERSION);
        return qd::server::kExitOk;
    }
    // --help anywhere, also after a command ("serve --help"), is a request
    // for the usage, not a mistake.
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            qd::l10n::useSystemLanguage(QStringLiteral("quizdesk-examd"));
            std::fputs(qd::server::usageText().toUtf8().constData(), stdout);
            return qd::server::kExitOk;
        }
    }
    // A file-size limit fails a write (reported, the export's temporary
    // file removed) instead of ending the program.
    std::signal(SIGXFSZ, SIG_IGN);
    QCoreApplication app(argc, argv);
    qd::l10n::keepDecimalPoint();
    qd::l10n::useSystemLanguage(QStringLiteral("quizdesk-examd"));
    qd::server::CommandLine args;
    if (const auto error = args.parse(argc, argv)) {
        return qd::server::usage(error->text());
    }
    const std::string command = args.command();
    for (const Command& c : kCommands) {
        if (command == c.name) {
            return c.run(args, app);
        }
    }
    return qd::server::usage(
        command.empty() ? QString()
                        : qd::server::tr("unknown command %1").arg(qd::server::qs(command)));
}
