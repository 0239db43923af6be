// Runs a parsed command line of the Linux program: help, version, saving and
// showing the stored options, and the conversion of every named file on a
// pool of threads.
#pragma once
#include "command_line.h"
#include "tervano_version.h"

constexpr const char* kVersionText = "tervano " TERVANO_VERSION;

#ifndef _WIN32
// Messages go to stderr (one line per failed file; a progress line when
// stderr is a terminal and there are several files, unless command.quiet),
// --help, --version and --show-options to stdout. Returns the exit status:
// 0 when every file was converted (and the options saved, if asked), 1
// otherwise; the other files are converted all the same.
[[nodiscard]] int RunCommandLine(const CommandLine& command);
#endif
