#pragma once

// What every subcommand of quizdesk-tool shares: exit codes, UTF-8 output,
// command-line parsing with the usage rule, and loading a test the way the
// program's start-up does (window size, charWidth) with its fault printed as
// the program would show it.

#include "definition/Fault.h"
#include "definition/TestLoader.h"
#include "l10n/Translation.h"

#include <QByteArray>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

class QGuiApplication;

namespace qdtool {

// The tool's own texts in the reader's language (translations/): help,
// usage and the tool's messages. The program's fault messages, the files it
// writes and the CSV and JSON it prints stay as they are.
QD_TRANSLATABLE(qdtool)

enum Exit : int {
    kExitOk = 0,
    kExitFault = 1, // the test (or a file) is at fault
    kExitUsage = 2, // the command line is
};

// Output is UTF-8 whatever the locale; texts of a test are code page 1251.
void writeOut(const QByteArray& utf8);
void writeErr(const QByteArray& utf8);
QString fromTestText(std::string_view cp1251);

// A command-line argument as text, without losing a byte: UTF-8 is decoded,
// and every byte that is not part of valid UTF-8 (a folder named in code
// page 1251, say) becomes the lone surrogate U+DC80 + (byte - 0x80), which
// valid UTF-8 never yields. pathOf turns such a text back into the bytes.
QString argumentText(const char* arg);
std::filesystem::path pathOf(const QString& argument);

// A fault as the program shows it: its text, then a line break unless the
// text already ends with one. On stderr.
void printFault(const qd::Fault& fault);

// A message of the tool itself on stderr, with "quizdesk-tool: " in front.
void printError(const QString& message);

// Writes the file at `path` whole (qd::writeWholeFile): true, or false
// after printing why. Nothing is left half written.
bool writeFile(const QString& path, std::string_view bytes);

// Qt's own debug, info and warning messages (for instance about the
// offscreen platform's runtime directory) are dropped: stderr carries the
// program's faults and the tool's messages only. Critical ones still show.
void keepQtQuiet();

// A subcommand's command line: the parser, and the usage rule.
class CommandLine
{
public:
    // args[0] is "quizdesk-tool <subcommand>", the rest its arguments.
    CommandLine(const QStringList& args, const QString& description);

    QCommandLineParser& parser() { return m_parser; }
    const QCommandLineParser& parser() const { return m_parser; }

    // Returns an exit code when the caller is done: kExitOk after --help,
    // kExitUsage on an unknown option or more than maxPositional arguments.
    // nullopt: go on.
    std::optional<int> parse(int maxPositional);

    // Prints the message and the usage on stderr; returns kExitUsage.
    int usageError(const QString& message) const;

private:
    QString help() const;

    QStringList m_args;
    QCommandLineParser m_parser;
};

// A whole decimal number in lo..hi; nullopt for anything else.
std::optional<qint64> parseNumber(const QString& text, qint64 lo, qint64 hi);

// The run's draws seeded from S instead of the clock: --seed S with S in
// 0..4294967295 (dump and run). Empty when the option is not given; a
// fault (a usage error, UTF-8) on a bad value.
qd::Result<std::optional<uint32_t>> readSeedOption(const QCommandLineParser& parser,
                                                   const QCommandLineOption& option);

// The load of the program's start-up: which directory, the window it would
// have, and charWidth (measured from the test font unless given).
struct LoadOptions
{
    QString dir = QStringLiteral(".");
    qd::WindowGeometry window; // 1024 x 768 at (0, 0)
    std::optional<int> charW;
};

// Adds [DIR], --width, --height and --char-w to a parser.
void addLoadOptions(QCommandLineParser& parser);

// Reads them back after parsing; a fault (a usage error, UTF-8) on a bad
// value.
qd::Result<LoadOptions> readLoadOptions(const QCommandLineParser& parser);

// charWidth for the loader: the constant when one was given, otherwise the
// test font's advance. Measuring needs a QGuiApplication; one is made on the
// first measurement only (offscreen unless QT_QPA_PLATFORM says otherwise)
// and lives as long as this object, unless the process already has one.
class CharWidthSource
{
public:
    explicit CharWidthSource(std::optional<int> fixed);
    ~CharWidthSource();
    CharWidthSource(const CharWidthSource&) = delete;
    CharWidthSource& operator=(const CharWidthSource&) = delete;

    int operator()(int fontSize, bool bold);

private:
    std::optional<int> m_fixed;
    int m_argc = 1;
    char* m_argv[2];
    std::unique_ptr<QGuiApplication> m_app;
};

// Loads the test; on a fault prints it as the program would and returns null.
std::unique_ptr<qd::TestModel> loadOrReport(const LoadOptions& options, CharWidthSource& charWidth);

} // namespace qdtool
