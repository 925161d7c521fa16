#pragma once

// What the commands of quizdesk-examd share: the command line, the usage
// rule, the defaults, the server's own lines, opening the journal and
// writing the output.

#include "ServerText.h"

#include "definition/Fault.h"
#include "journal/SqlJournal.h"

#include <QCommandLineParser>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qd::server {

enum Exit : int {
    kExitOk = 0,
    kExitFault = 1, // a failure, or nothing to show
    kExitUsage = 2, // the command line is at fault
};

// Where the server and the commands look when not told.
inline constexpr const char* kDefaultJournal = "quizdesk-exam.sqlite";
inline constexpr const char* kDefaultRoster = "students.dbf";
inline constexpr const char* kDefaultBoard = "127.0.0.1:8023";
inline constexpr quint16 kDefaultBoardPort = 8023;

// The usage in the reader's language, every command's synopsis from
// main.cpp's table.
QString usageText();

// Prints "quizdesk-examd: WHY" (unless empty) and the usage on stderr;
// returns kExitUsage.
int usage(const QString& why);

QString qs(const std::string& text);

// A line of the server's own, with "quizdesk-examd: " in front: its log on
// stdout, its faults on stderr.
void say(std::FILE* to, const QString& text);
// A fault of a lower layer: its message as it is.
void sayFault(const std::string& message);

// Every option of every command, read by QCommandLineParser. The first
// argument that is not an option names the command, the others are its
// arguments. Option names are given without their dashes.
class CommandLine
{
public:
    // What is wrong with the line, in the program's own words (read after
    // the reader's language is chosen); nothing when it parses.
    struct Error
    {
        enum class Kind { UnknownOption, MissingValue } kind;
        std::string option; // as typed, with its dashes
        QString text() const;
    };
    std::optional<Error> parse(int argc, char** argv);

    std::string command() const;
    std::vector<std::string> positional() const;

    bool has(const char* name) const;
    // The last value given, or the fallback.
    std::string value(const char* name, const std::string& fallback = {}) const;
    std::vector<std::string> values(const char* name) const;
    // The folders given with --test, in their order.
    std::vector<std::filesystem::path> testDirs() const;

private:
    QCommandLineParser m_parser;
};

// The commands read a journal that a server made: a SQLite file that is not
// there is a mistake (another folder), not an empty exam, unless `create`.
// nullptr after printing why.
std::unique_ptr<qd::journal::SqlJournal>
openJournal(const CommandLine& args, const std::string& server, bool create = false);

// The value of a reading, or false after printing its fault.
template <typename T> bool take(Result<T>&& v, T& out)
{
    if (!v.ok()) {
        sayFault(v.fault().utf8());
        return false;
    }
    out = std::move(v.value());
    return true;
}

// Writes the bytes to stdout (path empty or "-") or whole to the file; false
// after printing why.
bool writeAll(const std::string& bytes, const std::string& path);

} // namespace qd::server
