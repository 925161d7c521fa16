#pragma once

// The commands of quizdesk-examd, one file each. Each reads its options
// from the one command line and returns the process exit code.

#include "CommandLine.h"

class QCoreApplication;

namespace qd::server {

int runServe(const CommandLine& args, QCoreApplication& app);
int runStatus(const CommandLine& args, QCoreApplication& app);
int runExport(const CommandLine& args, QCoreApplication& app);
int runReport(const CommandLine& args, QCoreApplication& app);
int runRelease(const CommandLine& args, QCoreApplication& app);
int runStop(const CommandLine& args, QCoreApplication& app);
int runIncidents(const CommandLine& args, QCoreApplication& app);
int runVerify(const CommandLine& args, QCoreApplication& app);
int runImportReports(const CommandLine& args, QCoreApplication& app);

} // namespace qd::server
