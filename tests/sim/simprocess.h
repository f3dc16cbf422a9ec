// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"
#include "rawlink.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

// A korva-sim process started for one test, with its pseudo-terminal path.
class SimProcess
{
public:
    ~SimProcess();

    // Starts the program and reads the slave path from its first line of output.
    bool start(const QStringList &arguments = {}, int timeoutMs = 5000);
    // Starts it with a state file that holds `settings`, in a folder that lasts as long as
    // this object.
    bool startHolding(const ParamStore &settings, const QStringList &arguments = {});
    QString statePath() const { return m_stateDir.filePath(QStringLiteral("transmitter.txt")); }
    QString slavePath() const { return m_slavePath; }
    QProcess &process() { return m_process; }

    // Sends the signal and waits for the exit. False when it did not exit in time.
    bool terminate(int signal, int timeoutMs = 5000);

private:
    QTemporaryDir m_stateDir;
    QProcess m_process;
    QString m_slavePath;
};

// The program's end of the serial line, opened raw on the simulator's slave path. Every
// byte the simulator writes is collected with the time it arrived.
class SimLink : public RawLink
{
public:
    bool open(const QString &path);
    void close() { closeFd(); }

    // Sends the pieces as separate writes, `gapMs` apart.
    void sendPieces(const QVector<QByteArray> &pieces, int gapMs);
};

// Cuts a stream written without faults into its frames, by their markers and lengths.
// Returns false at the first byte that starts no frame, or a frame cut short at the end.
bool splitCleanStream(const QByteArray &stream, QVector<QByteArray> *frames);

// A list of differences as one line for a failure message.
inline QString describe(const QStringList &differences)
{
    return differences.join(QLatin1String(", "));
}
