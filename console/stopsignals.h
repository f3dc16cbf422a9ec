// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <functional>

class QObject;

// Ctrl-C and SIGTERM, turned into a call on the event loop: a console program that is stopped
// still says "DIS" to the transmitter, saves its state and never leaves a file half written.
// The signal handler only writes a byte to a pipe; the action runs from a socket notifier
// owned by context. Returns false, with errno set, if the handlers cannot be installed.
bool callOnStopSignals(QObject *context, std::function<void()> action);
