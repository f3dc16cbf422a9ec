// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// What the benchmarks that run the window against korva-sim share: the simulator started and
// its port offered to the window, the port opened, and the event loop run for a while.

#include "frames.h"
#include "paramstore.h"

#include <QAbstractButton>
#include <QFile>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <QWidget>

#include <cstdio>

// Runs the event loop for a while; QTest::qWait would poll and cost CPU of its own.
inline void runFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Starts korva-sim and returns the port it offers; empty, with a word from `bench`, when it
// did not start.
inline QString startSimulator(QProcess &sim, const char *program, const QStringList &arguments,
                              const char *bench)
{
    sim.start(QString::fromLocal8Bit(program), arguments);
    if (!sim.waitForStarted() || !sim.waitForReadyRead(5000) || !sim.canReadLine()) {
        std::fprintf(stderr, "%s: korva-sim did not start\n", bench);
        return QString();
    }
    return QString::fromLocal8Bit(sim.readLine().trimmed());
}

inline QAbstractButton *windowButton(const QWidget &window, const char *name)
{
    return window.findChild<QAbstractButton *>(QLatin1String(name));
}

// Clicks OPEN; false, with a word from `bench`, when the port did not open.
inline bool openPort(const QWidget &window, const char *bench)
{
    QAbstractButton *open = windowButton(window, "openButton");
    open->click();
    if (open->text() == QLatin1String("CLOSE"))
        return true;
    std::fprintf(stderr, "%s: the port did not open\n", bench);
    return false;
}

// A simulator state file holding `settings`; false when it cannot be written.
inline bool writeStateFile(const QString &path, const ParamStore &settings)
{
    QFile file(path);
    const QByteArray bytes = buildParameterFile(settings);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
