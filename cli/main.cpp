// SPDX-License-Identifier: GPL-3.0-or-later
// korva-cli: backs up, restores, inspects and compares transmitter settings from the command
// line, through the same protocol library as the window.

#include "commands.h"
#include "transmitterlink.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    // Nothing but a write is safe here; the event loop does the rest.
    [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

bool installSignalPipe()
{
    if (::pipe(signalPipe) != 0)
        return false;
    for (int fd : signalPipe) {
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
        ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    return sigaction(SIGINT, &action, nullptr) == 0 && sigaction(SIGTERM, &action, nullptr) == 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));

    // Ctrl-C ends a command at its next wait, so that the port still hears "DIS" and no file
    // is left half written.
    if (!installSignalPipe()) {
        std::perror("korva-cli: signal handling");
        return kExitLink;
    }
    Interruption interruption;
    QSocketNotifier signalNotifier(signalPipe[0], QSocketNotifier::Read);
    QObject::connect(&signalNotifier, &QSocketNotifier::activated, &interruption, [&] {
        char drained[16];
        while (::read(signalPipe[0], drained, sizeof drained) > 0) {
        }
        interruption.request();
    });
    return runCommandLine(QCoreApplication::arguments(), interruption);
}
