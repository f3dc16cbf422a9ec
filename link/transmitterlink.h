// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder.h"
#include "linksequence.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSerialPort>
#include <QTimer>
#include <QVector>

#include <functional>

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

// The program's end of the serial line, shared by the window and korva-cli. It owns the port
// and the receive buffer, answers every chunk with "WWW", walks the operation sequences at
// their pace, lets one operation at a time hold the line, and keeps what it received apart
// from the settings being edited. Every wait runs a local event loop, so the caller stays live.
//
// A link lasts from one open or close to the next. It also ends when the device goes away,
// on an interruption, and when the application quits under a wait. An operation of a link that
// ended sends nothing more, anywhere: its waits return false at once.
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
        // Values the range check put back into range, as the answer still holds them
        QVector<RangeReplacement> replaced;
    };

    // The parts of a WRITE, RESET or SAVE that only the caller knows.
    struct SendSteps
    {
        // Before anything is sent, for the step's time; false ends the operation. Without it
        // the link just waits.
        std::function<bool(int ms)> guard;
        std::function<void()> factoryValues;
        // The frame's text, built from the settings as they are at this step.
        std::function<QByteArray(const FrameLayout &)> frame;
    };

    struct Sent
    {
        bool whole = false; // every step ran on the operation's own link
        QString frames;     // letters of the frames that went out
    };

    // What reading a set back after a write found.
    struct Check
    {
        enum Outcome {
            Confirmed, // the transmitter holds every setting as it was sent
            Mismatch,  // two answers agree that it holds some otherwise
            NoAnswer,  // no whole answer came, even when asked again, or the whole ones
                       // were too damaged to tell (answer.missing is then empty)
            Ended,     // the link ended first; the set went out, and nothing is known
        };
        Outcome outcome = Ended;
        QVector<IntField> mismatched;
        ParamStore held; // after Mismatch: what was sent, with the mismatched fields as held
        Answer answer;   // the last answer
    };

    explicit TransmitterLink(QObject *parent = nullptr);
    // Closes the port without a word to the transmitter; what was written still goes out.
    ~TransmitterLink() override;

    void setPacing(const LinkPacing &pacing) { m_pacing = pacing; }
    const LinkPacing &pacing() const { return m_pacing; }
    // An interruption ends the link, and every later wait returns false at once.
    void watch(Interruption &interruption);
    bool interrupted() const { return m_interrupted; }

    // Opens the port at 115200 8N1 and greets the transmitter; a new link begins. False when
    // it did not open: port() tells why.
    bool open(const QString &portName);
    // Ends the link, says goodbye, and closes once what was written has gone out.
    void close();
    bool isOpen() const { return m_port.isOpen(); }
    const QSerialPort &port() const { return m_port; }
    // Why the device went away, or empty.
    QString failure() const { return m_failure; }
    // Milliseconds since the port last opened.
    qint64 elapsedMs() const { return m_clock.elapsed(); }

    // The current link: it changes whenever a link ends.
    quint64 generation() const { return m_generation; }
    // Ends the current link without touching the port.
    void end();

    // Waits, taking whatever arrives. False when the link ended meanwhile.
    bool pause(int ms) { return wait(ms, nullptr); }
    // Runs until `done` says so or the link ends; false when the link ended.
    bool runUntil(const std::function<bool()> &done) { return wait(-1, done); }

    // One operation at a time holds the line. 0 while another one holds it on this link.
    quint64 beginOperation();
    // True when the operation still held the line.
    bool endOperation(quint64 operation);
    // An operation holds the line on the current link.
    bool lineHeld() const { return m_holder != 0 && m_holder == m_generation; }
    // A check reads the set back: what arrives meanwhile answers the check.
    bool checking() const { return m_checking; }

    // Walks a WRITE, RESET or SAVE sequence for the operation. Once its link has ended a frame
    // is still built, but sent no more, and a closing token never follows a set cut short.
    Sent send(quint64 operation, const LinkSequence &sequence, const SendSteps &steps);
    // Sends a request token; the settings frames from here on make up a new answer.
    void request(const char *token);
    // Walks the READ sequence for the operation, giving each request the pacing's timeout for
    // the whole answer and asking again up to its retries. Frames from earlier requests of
    // this read still count.
    Answer readSettings(quint64 operation);
    // What has answered the last request so far: the settings frames still missing and the
    // values the range check replaced. `requests` stays 0.
    Answer answerSoFar() const;
    // After a set went out: lets the transmitter settle, then reads it back until the answers
    // tell whether it holds what was sent.
    Check check(quint64 operation, const ParamStore &settings);

    // Takes what the port has: frames, then the chunk's "WWW". The port's readyRead calls it.
    void readAvailable();

    // What the line has brought so far, each chunk's frames with the D/R mirrors re-derived
    // and the range check applied.
    const ParamStore &received() const { return m_received; }

signals:
    // A frame was taken from the line and stored in received().
    void frameTaken(const DecodedFrame &frame);
    // The frames of a chunk were all taken; its "WWW" follows.
    void framesTaken();
    // Every settings frame kind arrived since the last request.
    void answerComplete(const ParamStore &settings);
    void ended();
    // The device went away and the port is closed: failure() says why.
    void lost();
    // An operation took the line or left it, or the link ended under it.
    void lineChanged();

private:
    bool wait(int ms, const std::function<bool()> &done);
    bool owns(quint64 operation) const
    {
        return operation != 0 && operation == m_holder && lineHeld();
    }
    void write(const QByteArray &bytes);
    void drain();
    void drop(const QString &why);
    void take(const DecodedFrame &frame);
    void afterFrames();
    void scheduleSettling();
    void settle(bool portClosed);
    void releaseWaits(bool onlyDone);
    bool answerWhole() const { return m_answerFlags.size() == kSettingsFrameKinds; }
    bool awaitAnswer(int timeoutMs);
    void waitForQuietLine();

    struct Waiter;

    QSerialPort m_port;
    FrameAssembler m_assembler;
    QElapsedTimer m_clock;
    QTimer m_settleTimer;
    ParamStore m_received;
    LinkPacing m_pacing;
    quint64 m_generation = 1;
    quint64 m_holder = 0; // link of the operation holding the line, or 0
    QVector<Waiter *> m_waits;
    QVector<int> m_answerFlags;
    QVector<RangeReplacement> m_replaced; // since the last request
    bool m_collecting = false;            // a request awaits its whole answer
    qint64 m_lastSettingsFrameMs = -1;
    bool m_checking = false;
    bool m_interrupted = false;
    QString m_failure;
};
