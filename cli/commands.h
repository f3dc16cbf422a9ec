// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

class Interruption;

// What korva-cli's exit status says.
enum ExitCode {
    kExitSuccess = 0,
    kExitDiffer = 1, // diff: the two files differ
    kExitUsage = 2,  // bad usage, or a file that is not a parameter file or cannot be written
    kExitLink = 3,   // the port, a timeout, an incomplete answer, an interruption
    kExitVerify = 4, // the settings read back after a write are not those sent
};

// Runs korva-cli with its arguments, the program name first; returns the exit status.
// Results go to standard output, one line per error to standard error.
int runCommandLine(const QStringList &arguments, Interruption &interruption);
