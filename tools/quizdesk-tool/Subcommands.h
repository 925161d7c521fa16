#pragma once

// The subcommands of quizdesk-tool. Each takes its own arguments, args[0]
// being the subcommand's name, and returns the process exit code.

#include <QStringList>

namespace qdtool {

int runCheck(const QStringList& args);
int runDump(const QStringList& args);
int runScramble(const QStringList& args);
int runUnscramble(const QStringList& args);
int runRun(const QStringList& args);
int runStats(const QStringList& args);
int runRescore(const QStringList& args);
int runResults(const QStringList& args);
int runRoster(const QStringList& args);
int runImport(const QStringList& args);
int runExport(const QStringList& args);
int runPreview(const QStringList& args);

} // namespace qdtool
