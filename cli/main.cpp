// SPDX-License-Identifier: GPL-3.0-or-later
// korva-cli: backs up, restores, inspects and compares transmitter settings from the command
// line, through the same protocol library as the window.

#include "commands.h"
#include "stopsignals.h"
#include "transmitterlink.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));

    // Ctrl-C ends a command at its next wait, so that the port still hears "DIS" and no file
    // is left half written.
    Interruption interruption;
    if (!callOnStopSignals(&interruption, [&interruption] { interruption.request(); })) {
        std::perror("korva-cli: signal handling");
        return kExitLink;
    }
    return runCommandLine(QCoreApplication::arguments(), interruption);
}
