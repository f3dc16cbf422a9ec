// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder.h"
#include "linksequence.h"
#include "paramstore.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <QVector>

#include <functional>

class QEventLoop;

// Ctrl-C: the command in progress stops at its next wait and still closes the port properly.
class Interruption : public QObject
{
    Q_OBJECT

public:
    void request()
    {
        m_requested = true;
        emit requested();
    }
    bool isRequested() const { return m_requested; }

signals:
    void requested();

private:
    bool m_requested = false;
};

// korva-cli's end of the serial line. It receives exactly as the window does (the shared
// receive buffer, the D/R mirrors and the range check after every chunk, "WWW" for every
// chunk) and sends by walking the shared operation sequences, waiting in local event loops.
class TransmitterLink : public QObject
{
    Q_OBJECT

public:
    // What a read brought back.
    struct Answer
    {
        ParamStore settings;
        QVector<int> missing; // ReadFlags of the settings frames that never arrived
        int requests = 0;     // how many times "RR" went out
    };

    using FrameHandler = std::function<void(const DecodedFrame &frame, qint64 atMs)>;

    explicit TransmitterLink(Interruption &interruption, QObject *parent = nullptr);
    ~TransmitterLink() override;

    // Opens the port at 115200 8N1 and greets the transmitter. False with the reason.
    bool open(const QString &port, QString *error);
    // Says goodbye and closes; what was written goes out first.
    void close();

    // Walks a WRITE or RESET sequence, building the frames from `settings` (which a RESET
    // overwrites with the factory values). False when it was cut short; the closing "WWW"
    // never follows a set cut short. `framesSent` collects the letters of the frames sent.
    bool send(const LinkSequence &sequence, ParamStore &settings, QString *framesSent);
    // Walks the READ sequence, giving each request timeoutMs for the whole answer and asking
    // again up to `retries` times. Settings frames from earlier requests still count.
    Answer readSettings(int timeoutMs, int retries);
    // Waits, taking whatever arrives. False when cut short.
    bool pause(int ms);
    // Runs until `done` says so or the wait is cut short; false when cut short.
    bool runUntil(const std::function<bool()> &done);

    // Called for every frame taken from the line, after it has been stored.
    void setFrameHandler(const FrameHandler &handler) { m_onFrame = handler; }
    // What the line has brought so far.
    const ParamStore &received() const { return m_received; }

    bool interrupted() const { return m_interruption.isRequested(); }
    // Why the link failed (the port went away, a write failed), or empty.
    QString failure() const { return m_failure; }

private:
    bool wait(int ms, const std::function<bool()> &done);
    bool usable() const { return !interrupted() && m_failure.isEmpty(); }
    void write(const QByteArray &bytes);
    void readAvailable();
    void take(const DecodedFrame &frame);
    void afterFrames(bool took);
    void scheduleSettling();
    void settle();
    void stopWaiting();

    Interruption &m_interruption;
    QSerialPort m_port;
    FrameAssembler m_assembler;
    QElapsedTimer m_clock;
    QTimer m_settleTimer;
    ParamStore m_received;
    QVector<int> m_seenFlags;
    QEventLoop *m_loop = nullptr;
    std::function<bool()> m_done;
    FrameHandler m_onFrame;
    QString m_failure;
};
