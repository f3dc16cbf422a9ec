// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QRandomGenerator>
#include <QtGlobal>

// A new seed for a property test every run, or the one the environment variable names, to
// replay a failure; seeds take all 32 bits, so they are read back whole, not as an int.
inline quint32 freshOrReplayedSeed(const char *variable)
{
    bool given = false;
    const quint32 seed = qEnvironmentVariable(variable).toUInt(&given);
    return given ? seed : QRandomGenerator::global()->generate();
}
