// SPDX-License-Identifier: GPL-3.0-or-later
// `tervane640 --fetch`: one fetch without a window, for timers, servers and many loggers.
#pragma once

class QCommandLineParser;

// Adds the fetch options to the program's command line.
void DescribeFetchOptions(QCommandLineParser& parser);
// True when the arguments ask for a fetch (decided before any application object exists).
bool AsksForFetch(int argc, char** argv);
// Runs the fetch under a QCoreApplication it makes; the exit code: 0 all due is here, 1 some files kept or
// failed, 2 nothing could be done.
int RunFetchCommand(int argc, char** argv);
