// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "rawlink.h"

#include <QObject>
#include <QString>

class QSocketNotifier;

// A pseudo-terminal pair. The test holds the master side and plays the transmitter; the
// program under test opens slavePath() as its serial port. Everything the program writes is
// collected with the time it arrived, while the event loop runs.
class PtyPair : public QObject, public RawLink
{
    Q_OBJECT

public:
    PtyPair();
    ~PtyPair() override;

    bool isValid() const { return fd() >= 0; }
    QString slavePath() const { return m_slavePath; }
    // A descriptor of the slave side, for looking at the line settings the program applied.
    int slaveFd() const { return m_slaveKeeper; }

    // Closes the master side: to the program, the device is gone.
    void closeMaster();
    // Closes the master side and the slave kept here, as when the process playing the
    // transmitter ends: the program's slave is hung up and reads end of file.
    void hangUp();

private:
    int m_slaveKeeper = -1; // keeps the pair alive while the program has the port closed
    QString m_slavePath;
    QSocketNotifier *m_notifier = nullptr;
};
