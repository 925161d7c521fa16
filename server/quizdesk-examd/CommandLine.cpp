#include "CommandLine.h"

#include "definition/WholeFile.h"

#include <QStringList>

#include <algorithm>
#include <iterator>

namespace qd::server {

namespace {

// Options that take a value, and those that do not. Every command accepts
// every one of them; a command reads those it needs.
const char* const kValueOptions[] = {"listen",
                                     "port",
                                     "roster",
                                     "db",
                                     "http",
                                     "deny",
                                     "from",
                                     "until",
                                     "allow",
                                     "retakes",
                                     "format",
                                     "o",
                                     "name",
                                     "test",
                                     "board-token-file",
                                     "connections-per-address",
                                     "buffer-limit",
                                     "idle-timeout"};
const char* const kFlags[] = {"no-http", "watch", "matrix", "all", "move"};

// The arguments are read byte for byte (as Latin-1, the one decoding that
// gives every byte back): a path or a name passes on as it was typed,
// whatever its encoding.
std::string bytesOf(const QString& argument)
{
    return argument.toLatin1().toStdString();
}

std::string optionText(const QString& name)
{
    return (name.size() == 1 ? "-" : "--") + bytesOf(name);
}

} // namespace

QString qs(const std::string& text)
{
    return QString::fromStdString(text);
}

void say(std::FILE* to, const QString& text)
{
    const QByteArray line = "quizdesk-examd: " + text.toUtf8() + '\n';
    std::fwrite(line.constData(), 1, std::size_t(line.size()), to);
}

void sayFault(const std::string& message)
{
    say(stderr, qs(message));
}

int usage(const QString& why)
{
    if (!why.isEmpty()) {
        say(stderr, why);
    }
    std::fputs(usageText().toUtf8().constData(), stderr);
    return kExitUsage;
}

QString CommandLine::Error::text() const
{
    return kind == Kind::MissingValue ? tr("%1 needs a value").arg(qs(option))
                                      : tr("unknown option %1").arg(qs(option));
}

std::optional<CommandLine::Error> CommandLine::parse(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << QString::fromLatin1(argv[i]);
    }
    for (const char* name : kValueOptions) {
        m_parser.addOption(QCommandLineOption(QString::fromLatin1(name), {}, QStringLiteral("V")));
    }
    for (const char* name : kFlags) {
        m_parser.addOption(QCommandLineOption(QString::fromLatin1(name)));
    }
    if (m_parser.parse(arguments)) {
        return std::nullopt;
    }
    // The parser names what it refuses in its own words: the line is read
    // again, as the program has always read it, so that the message names
    // the option as it was typed ("-o", "--port=", a flag given a value).
    const auto known = [](const auto& names, const std::string& option) {
        return std::any_of(std::begin(names), std::end(names), [&](const char* n) {
            return optionText(QString::fromLatin1(n)) == option;
        });
    };
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg.size() <= 1 || arg[0] != '-') {
            continue;
        }
        bool inlineValue = false;
        if (const auto eq = arg.find('='); eq != std::string::npos && arg.rfind("--", 0) == 0) {
            arg = arg.substr(0, eq);
            inlineValue = true;
        }
        if (known(kFlags, arg) && !inlineValue) {
            continue;
        }
        if (!known(kValueOptions, arg)) {
            return Error{Error::Kind::UnknownOption, arg};
        }
        if (!inlineValue && ++i >= argc) {
            return Error{Error::Kind::MissingValue, arg};
        }
    }
    return Error{Error::Kind::UnknownOption, bytesOf(m_parser.errorText())};
}

std::string CommandLine::command() const
{
    const QStringList p = m_parser.positionalArguments();
    return p.isEmpty() ? std::string() : bytesOf(p.constFirst());
}

std::vector<std::string> CommandLine::positional() const
{
    std::vector<std::string> out;
    const QStringList p = m_parser.positionalArguments();
    for (qsizetype i = 1; i < p.size(); ++i) {
        out.push_back(bytesOf(p.at(i)));
    }
    return out;
}

bool CommandLine::has(const char* name) const
{
    return m_parser.isSet(QString::fromLatin1(name));
}

std::string CommandLine::value(const char* name, const std::string& fallback) const
{
    return has(name) ? bytesOf(m_parser.value(QString::fromLatin1(name))) : fallback;
}

std::vector<std::string> CommandLine::values(const char* name) const
{
    std::vector<std::string> out;
    for (const QString& v : m_parser.values(QString::fromLatin1(name))) {
        out.push_back(bytesOf(v));
    }
    return out;
}

std::vector<std::filesystem::path> CommandLine::testDirs() const
{
    const std::vector<std::string> dirs = values("test");
    return {dirs.begin(), dirs.end()};
}

std::unique_ptr<qd::journal::SqlJournal> openJournal(const CommandLine& args,
                                                     const std::string& server, bool create)
{
    const std::string journal = args.value("db", kDefaultJournal);
    if (!create && journal.rfind("postgres", 0) != 0 && !std::filesystem::exists(journal)) {
        say(stderr, tr("no journal %1 here (--db names it)").arg(qs(journal)));
        return nullptr;
    }
    std::unique_ptr<qd::journal::SqlJournal> opened;
    if (!take(qd::journal::SqlJournal::open(journal, server), opened)) {
        return nullptr;
    }
    return opened;
}

bool writeAll(const std::string& bytes, const std::string& path)
{
    if (path.empty() || path == "-") {
        return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size() &&
               std::fflush(stdout) == 0;
    }
    // Written whole or not at all: an interrupted export never leaves half
    // a file under the name given.
    if (Status s = writeWholeFile(path, bytes); !s.ok()) {
        say(stderr, tr("cannot write %1: %2").arg(qs(path), qs(s.fault().message)));
        return false;
    }
    return true;
}

} // namespace qd::server
