// SPDX-License-Identifier: GPL-3.0-or-later
#include "transmitterlink.h"

#include "drselect.h"
#include "rangecheck.h"
#include "readback.h"

#include <QEventLoop>
#include <QLoggingCategory>
#include <QScopeGuard>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
#include <QThread>
#include <algorithm>
#include <sys/ioctl.h>
#include <termios.h>
#endif

Q_LOGGING_CATEGORY(lcLink, "korva.link", QtWarningMsg)

namespace {

// Bound for each step of handing queued bytes to the driver before the port closes.
constexpr int kDrainMs = 500;
// A transmitter sends its answer back to back: once its frames have stopped for this long
// the answer is over. One still incomplete lost frames on the line, and waiting longer brings
// nothing; one asked again may still be coming after the set is whole, and its tail belongs
// to the read, not to whatever follows it.
constexpr int kAnswerEndedMs = 500;

} // namespace

struct TransmitterLink::Waiter
{
    QEventLoop *loop;
    std::function<bool()> done;
    bool released = false; // ended by the link rather than by its time
};

TransmitterLink::TransmitterLink(QObject *parent)
    : QObject(parent)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_settleTimer, &QTimer::timeout, this, [this] { settle(false); });
    connect(&m_port, &QSerialPort::readyRead, this, &TransmitterLink::readAvailable);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        // Unplugged, or the other end of a pseudo-terminal closed: every write would vanish.
        // A hung-up tty reads as end of file (a read error to the port) over and over without
        // ever becoming a resource error, so a read error ends the link too, or the read
        // notifier would fire without pause.
        const bool gone = e == QSerialPort::ResourceError || e == QSerialPort::WriteError ||
                          e == QSerialPort::ReadError;
        if (gone && m_port.isOpen())
            drop(m_port.portName() + QLatin1String(": ") + m_port.errorString());
    });
    m_clock.start();
}

TransmitterLink::~TransmitterLink()
{
    // Nobody is told anything any more; the bytes already written, such as a closing "WWW",
    // still go out.
    blockSignals(true);
    m_port.blockSignals(true);
    drain();
    m_port.close();
}

void TransmitterLink::watch(Interruption &interruption)
{
    connect(&interruption, &Interruption::requested, this, [this] {
        m_interrupted = true;
        end();
    });
}

bool TransmitterLink::open(const QString &portName)
{
    m_port.setPortName(portName);
    m_port.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        qCDebug(lcLink) << "open failed:" << portName << m_port.errorString();
        return false;
    }
    // Restoring the old line settings on close would change the baud rate under bytes still
    // leaving the driver.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    m_port.setSettingsRestoredOnClose(false);
    QT_WARNING_POP
#endif
    // Whatever the driver still holds was sent to an earlier session, perhaps before a write
    // changed the settings: it must not pass for an answer to this one.
    m_port.clear(QSerialPort::Input);
    m_assembler.clear();
    m_received = ParamStore();
    m_answerFlags.clear();
    m_collecting = false;
    m_failure.clear();
    m_lastSettingsFrameMs = -1;
    m_clock.restart();
    end();
    write(kGreetingToken);
    return true;
}

void TransmitterLink::close()
{
    end();
    if (!m_port.isOpen())
        return;
    write(kGoodbyeToken);
    drain();
    m_port.close();
    // A frame that was waiting only for the next read arrived whole.
    settle(true);
}

void TransmitterLink::drop(const QString &why)
{
    qCDebug(lcLink) << "port lost:" << why;
    m_failure = why;
    end();
    m_port.close();
    settle(true);
    emit lost();
}

void TransmitterLink::end()
{
    ++m_generation;
    m_collecting = false;
    releaseWaits(false);
    emit lineChanged();
    emit ended();
}

void TransmitterLink::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return;
    qCDebug(lcLink) << "tx" << bytes;
    m_port.write(bytes);
    // Out now rather than when the event loop next runs, so that the pauses are measured
    // from the bytes leaving.
    m_port.flush();
}

void TransmitterLink::drain()
{
    if (!m_port.isOpen())
        return;
    m_port.flush();
    while (m_port.bytesToWrite() > 0 && m_port.waitForBytesWritten(kDrainMs)) {
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
    // Qt 6 puts back the line settings the device had before it opened, at once and without
    // a way to keep it from doing so: let the driver send what it holds at 115200 first.
    QElapsedTimer waited;
    waited.start();
    int queued = 0;
    while (::ioctl(int(m_port.handle()), TIOCOUTQ, &queued) == 0 && queued > 0 &&
           waited.elapsed() < kDrainMs)
        QThread::msleep(1);
#endif
}

bool TransmitterLink::wait(int ms, const std::function<bool()> &done)
{
    if (m_interrupted)
        return false;
    if (done && done())
        return true;
    const quint64 generation = m_generation;
    QEventLoop loop;
    Waiter waiter{&loop, done};
    bool timedOut = false;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, [&] {
        timedOut = true;
        loop.quit();
    });
    if (ms >= 0)
        timer.start(ms);
    m_waits.append(&waiter);
    loop.exec();
    m_waits.removeOne(&waiter);
    if (generation != m_generation)
        return false;
    if (!timedOut && !waiter.released) {
        // The application is quitting: what is left of the operation could only go out
        // unpaced, and a set cut short must not be followed by its "WWW". It ends here.
        end();
        return false;
    }
    return true;
}

void TransmitterLink::releaseWaits(bool onlyDone)
{
    for (Waiter *waiter : qAsConst(m_waits)) {
        if (onlyDone && !(waiter->done && waiter->done()))
            continue;
        waiter->released = true;
        waiter->loop->quit();
    }
}

quint64 TransmitterLink::beginOperation()
{
    if (lineHeld())
        return 0;
    m_holder = m_generation;
    emit lineChanged();
    return m_holder;
}

bool TransmitterLink::endOperation(quint64 operation)
{
    // An operation whose link ended may come back after a newer one took the line.
    if (operation == 0 || m_holder != operation)
        return false;
    m_holder = 0;
    emit lineChanged();
    return true;
}

TransmitterLink::Sent TransmitterLink::send(quint64 operation, const LinkSequence &sequence,
                                            const SendSteps &steps)
{
    Sent sent;
    for (const LinkStep &step : sequence) {
        const int pauseMs = m_pacing.of(step.pauseMs);
        switch (step.kind) {
        case LinkStep::Guard:
            if (steps.guard ? !steps.guard(pauseMs) : !pause(pauseMs))
                return sent;
            break;
        case LinkStep::FactoryValues:
            steps.factoryValues();
            break;
        case LinkStep::Frame: {
            const QByteArray frame = steps.frame(*step.frame);
            if (!owns(operation))
                break;
            write(frame);
            sent.frames += QLatin1Char(step.frame->letter);
            pause(pauseMs);
            break;
        }
        case LinkStep::Send:
        case LinkStep::Request:
            // The transmitter commits what it holds at "WWW": never after a set cut short.
            if (!owns(operation))
                return sent;
            write(step.token);
            if (pauseMs > 0)
                pause(pauseMs);
            break;
        }
    }
    sent.whole = owns(operation);
    return sent;
}

void TransmitterLink::request(const char *token)
{
    m_answerFlags.clear();
    m_replaced.clear();
    m_collecting = true;
    write(token);
}

TransmitterLink::Answer TransmitterLink::readSettings(quint64 operation)
{
    Answer answer;
    bool lasted = true;
    for (int attempt = 0; attempt <= m_pacing.retries && lasted; ++attempt) {
        if (answer.requests > 0 && answerWhole())
            break;
        for (const LinkStep &step : kReadSequence) {
            if (step.kind == LinkStep::Guard) {
                lasted = pause(m_pacing.of(step.pauseMs));
            } else if (step.kind == LinkStep::Request) {
                lasted = owns(operation);
                if (!lasted)
                    break;
                // Only what answers this read counts, from its first request on.
                if (answer.requests == 0) {
                    m_received = ParamStore();
                    request(step.token);
                } else {
                    m_collecting = true;
                    write(step.token);
                }
                ++answer.requests;
                lasted = awaitAnswer(m_pacing.of(m_pacing.answerTimeoutMs));
            }
            if (!lasted)
                break;
        }
    }
    if (lasted && answer.requests > 1 && answerWhole())
        waitForQuietLine();
    m_collecting = false;
    const int requests = answer.requests;
    answer = answerSoFar();
    answer.requests = requests;
    if (requests == 0) {
        answer.missing.clear();
        for (int flag = 1; flag <= kSettingsFrameKinds; ++flag)
            answer.missing.append(flag);
    }
    return answer;
}

TransmitterLink::Answer TransmitterLink::answerSoFar() const
{
    Answer answer;
    answer.settings = m_received;
    // A later frame may have brought the field again, in range this time.
    for (const RangeReplacement &r : qAsConst(m_replaced)) {
        if (m_received.*r.member == r.stored)
            answer.replaced.append(r);
    }
    for (int flag = 1; flag <= kSettingsFrameKinds; ++flag) {
        if (!m_answerFlags.contains(flag))
            answer.missing.append(flag);
    }
    return answer;
}

bool TransmitterLink::awaitAnswer(int timeoutMs)
{
    // The window gives an answer a fixed time; here it ends when the answer is whole, when
    // it has stopped coming, or after the timeout.
    const qint64 askedAt = m_clock.elapsed();
    const int endedMs = m_pacing.of(kAnswerEndedMs);
    for (;;) {
        const qint64 now = m_clock.elapsed();
        qint64 until = askedAt + timeoutMs;
        if (m_lastSettingsFrameMs >= askedAt)
            until = qMin(until, m_lastSettingsFrameMs + endedMs);
        if (now >= until)
            return true;
        if (!wait(int(qMin<qint64>(until - now, endedMs)), [this] { return answerWhole(); }))
            return false;
        if (answerWhole())
            return true;
    }
}

void TransmitterLink::waitForQuietLine()
{
    QElapsedTimer waited;
    waited.start();
    const int quietMs = m_pacing.of(kAnswerEndedMs);
    const int mostMs = m_pacing.of(m_pacing.answerTimeoutMs);
    for (;;) {
        const qint64 left = m_lastSettingsFrameMs + quietMs - m_clock.elapsed();
        if (left <= 0 || waited.elapsed() >= mostMs || !pause(int(left)))
            return;
    }
}

TransmitterLink::Check TransmitterLink::check(quint64 operation, const ParamStore &settings)
{
    Check result;
    m_checking = true;
    const auto done = qScopeGuard([this] { m_checking = false; });
    if (!pause(m_pacing.of(m_pacing.settleMs)) || !owns(operation))
        return result;
    ReadBackCheck judge(asSent(settings));
    int incomplete = 0;
    for (;;) {
        result.answer = readSettings(operation);
        if (!owns(operation))
            return result;
        // A transmitter that answered in part is there, and the line lost the rest: one more
        // read before the pilot is told that the set may not have arrived.
        if (!result.answer.missing.isEmpty()) {
            if (result.answer.missing.size() == kSettingsFrameKinds || ++incomplete > 1) {
                result.outcome = Check::NoAnswer;
                return result;
            }
            continue;
        }
        switch (judge.take(asReceived(result.answer.settings, result.answer.replaced))) {
        case ReadBackCheck::Confirmed:
            result.outcome = Check::Confirmed;
            return result;
        case ReadBackCheck::Mismatch:
            result.outcome = Check::Mismatch;
            result.mismatched = judge.mismatched();
            result.held = judge.held();
            return result;
        case ReadBackCheck::Unsure:
            // Whole answers, each damaged somewhere else: not a sign the set was refused.
            result.outcome = Check::NoAnswer;
            return result;
        case ReadBackCheck::ReadAgain:
            break;
        }
    }
}

void TransmitterLink::readAvailable()
{
    const QByteArray chunk = m_port.readAll();
    if (chunk.isEmpty())
        return;
    m_assembler.feed(chunk, m_clock.elapsed(), m_received,
                     [this](const DecodedFrame &frame) { take(frame); });
    // Every chunk, whole frame or not, is answered.
    afterFrames();
    write(kAckToken);
    scheduleSettling();
}

void TransmitterLink::take(const DecodedFrame &frame)
{
    if (frame.readFlag != 0) {
        m_lastSettingsFrameMs = m_clock.elapsed();
        if (m_collecting && !m_answerFlags.contains(frame.readFlag))
            m_answerFlags.append(frame.readFlag);
    }
    emit frameTaken(frame);
}

void TransmitterLink::afterFrames()
{
    selectDualRateEntry(m_received);
    const QVector<RangeReplacement> replaced = replaceOutOfRangeValues(m_received);
    for (const RangeReplacement &r : replaced) {
        const auto same = [&r](const RangeReplacement &earlier) {
            return earlier.member == r.member;
        };
        m_replaced.erase(std::remove_if(m_replaced.begin(), m_replaced.end(), same),
                         m_replaced.end());
        m_replaced.append(r);
    }
    emit framesTaken();
    if (m_collecting && answerWhole()) {
        m_collecting = false;
        emit answerComplete(m_received);
    }
    releaseWaits(true);
}

void TransmitterLink::scheduleSettling()
{
    const qint64 wait = m_assembler.msUntilExpiry(m_clock.elapsed());
    if (wait < 0)
        m_settleTimer.stop();
    else
        m_settleTimer.start(int(wait));
}

void TransmitterLink::settle(bool portClosed)
{
    // The last frame of a burst may have waited for a read that did not come.
    m_settleTimer.stop();
    bool took = false;
    const auto onFrame = [this, &took](const DecodedFrame &frame) {
        took = true;
        take(frame);
    };
    if (portClosed)
        m_assembler.finish(m_received, onFrame);
    else
        m_assembler.expire(m_clock.elapsed(), m_received, onFrame);
    if (took)
        afterFrames();
    if (!portClosed)
        scheduleSettling();
}
