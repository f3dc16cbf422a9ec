// SPDX-License-Identifier: GPL-3.0-or-later
#include "transmitterlink.h"

#include "drselect.h"
#include "factory.h"
#include "rangecheck.h"

#include <QEventLoop>
#include <QLoggingCategory>

Q_LOGGING_CATEGORY(lcLink, "korva.cli.link", QtWarningMsg)

namespace {

// Bound for each step of handing queued bytes to the driver before the port closes.
constexpr int kDrainMs = 500;

QString openFailure(const QSerialPort &port, const QString &name)
{
    QString text = QLatin1String("cannot open ") + name + QLatin1String(": ") + port.errorString();
    if (port.error() == QSerialPort::PermissionError) {
        // Qt reports a port another program holds the lock of as a permission problem too.
        text += port.errorString().contains(QLatin1String("lock"), Qt::CaseInsensitive)
                    ? QLatin1String(" (another program has it open)")
                    : QLatin1String(" (add yourself to the dialout group)");
    }
    return text;
}

} // namespace

TransmitterLink::TransmitterLink(Interruption &interruption, QObject *parent)
    : QObject(parent)
    , m_interruption(interruption)
{
    m_settleTimer.setSingleShot(true);
    m_settleTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_settleTimer, &QTimer::timeout, this, &TransmitterLink::settle);
    connect(&m_port, &QSerialPort::readyRead, this, &TransmitterLink::readAvailable);
    connect(&m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e == QSerialPort::ResourceError || e == QSerialPort::WriteError) {
            if (m_failure.isEmpty())
                m_failure = m_port.portName() + QLatin1String(": ") + m_port.errorString();
            stopWaiting();
        }
    });
    connect(&m_interruption, &Interruption::requested, this, &TransmitterLink::stopWaiting);
    m_clock.start();
}

TransmitterLink::~TransmitterLink()
{
    close();
}

bool TransmitterLink::open(const QString &port, QString *error)
{
    m_port.setPortName(port);
    m_port.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    m_port.setDataBits(QSerialPort::Data8);
    m_port.setParity(QSerialPort::NoParity);
    m_port.setStopBits(QSerialPort::OneStop);
    m_port.setFlowControl(QSerialPort::NoFlowControl);
    if (!m_port.open(QIODevice::ReadWrite)) {
        *error = openFailure(m_port, port);
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
    m_clock.restart();
    write(kGreetingToken);
    return true;
}

void TransmitterLink::close()
{
    if (!m_port.isOpen())
        return;
    if (m_failure.isEmpty()) {
        write(kGoodbyeToken);
        while (m_port.bytesToWrite() > 0 && m_port.waitForBytesWritten(kDrainMs)) {
        }
    }
    m_port.close();
    m_settleTimer.stop();
    m_assembler.finish(m_received, [this](const DecodedFrame &frame) { take(frame); });
}

void TransmitterLink::write(const QByteArray &bytes)
{
    if (!m_port.isOpen())
        return;
    qCDebug(lcLink) << "tx" << bytes;
    if (m_port.write(bytes) != bytes.size() && m_failure.isEmpty())
        m_failure = m_port.portName() + QLatin1String(": ") + m_port.errorString();
    // Out now rather than when the event loop next runs, so the pauses are measured from
    // the bytes leaving.
    m_port.flush();
}

bool TransmitterLink::send(const LinkSequence &sequence, ParamStore &settings, QString *framesSent)
{
    for (const LinkStep &step : sequence) {
        if (!usable())
            return false;
        switch (step.kind) {
        case LinkStep::Guard:
            break;
        case LinkStep::FactoryValues:
            applyFactoryValues(settings);
            break;
        case LinkStep::Frame: {
            QString buffer = QString::fromLatin1(step.frame->tmpl);
            buildFrameInto(*step.frame, settings, buffer);
            write(buffer.toLatin1());
            *framesSent += QLatin1Char(step.frame->letter);
            break;
        }
        case LinkStep::Send:
        case LinkStep::Request:
            write(step.token);
            break;
        }
        if (step.pauseMs > 0 && !pause(step.pauseMs))
            return false;
    }
    return usable();
}

TransmitterLink::Answer TransmitterLink::readSettings(int timeoutMs, int retries)
{
    const auto complete = [this] { return m_seenFlags.size() == kSettingsFrameKinds; };
    Answer answer;
    for (int attempt = 0; attempt <= retries && !complete() && usable(); ++attempt) {
        for (const LinkStep &step : kReadSequence) {
            if (step.kind == LinkStep::Guard) {
                pause(step.pauseMs);
            } else if (step.kind == LinkStep::Request && usable()) {
                // The window gives the answer a fixed time; here it ends when the answer is
                // whole, or after the timeout.
                // Only what answers this read counts, from the first request on.
                if (answer.requests == 0) {
                    m_received = ParamStore();
                    m_seenFlags.clear();
                }
                write(step.token);
                ++answer.requests;
                wait(timeoutMs, complete);
            }
        }
    }
    answer.settings = m_received;
    for (int flag = 1; flag <= kSettingsFrameKinds; ++flag) {
        if (!m_seenFlags.contains(flag))
            answer.missing.append(flag);
    }
    return answer;
}

bool TransmitterLink::pause(int ms)
{
    return wait(ms, nullptr);
}

bool TransmitterLink::runUntil(const std::function<bool()> &done)
{
    return wait(-1, done);
}

bool TransmitterLink::wait(int ms, const std::function<bool()> &done)
{
    if (!usable())
        return false;
    if (done && done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    if (ms >= 0)
        timer.start(ms);
    m_loop = &loop;
    m_done = done;
    loop.exec();
    m_loop = nullptr;
    m_done = nullptr;
    return usable();
}

void TransmitterLink::stopWaiting()
{
    if (m_loop)
        m_loop->quit();
}

void TransmitterLink::readAvailable()
{
    const QByteArray chunk = m_port.readAll();
    if (chunk.isEmpty())
        return;
    bool took = false;
    m_assembler.feed(chunk, m_clock.elapsed(), m_received, [this, &took](const DecodedFrame &f) {
        took = true;
        take(f);
    });
    // Every chunk, whole frame or not, is answered; the window does the same.
    afterFrames(true);
    write(kAckToken);
    scheduleSettling();
    if (took && m_done && m_done())
        stopWaiting();
}

void TransmitterLink::take(const DecodedFrame &frame)
{
    if (frame.readFlag != 0 && !m_seenFlags.contains(frame.readFlag))
        m_seenFlags.append(frame.readFlag);
    if (m_onFrame)
        m_onFrame(frame, m_clock.elapsed());
}

void TransmitterLink::afterFrames(bool took)
{
    if (!took)
        return;
    selectDualRateEntry(m_received);
    replaceOutOfRangeValues(m_received);
}

void TransmitterLink::scheduleSettling()
{
    const qint64 wait = m_assembler.msUntilExpiry(m_clock.elapsed());
    if (wait < 0)
        m_settleTimer.stop();
    else
        m_settleTimer.start(int(wait));
}

void TransmitterLink::settle()
{
    // The last frame of a burst may have waited for a read that did not come.
    bool took = false;
    m_assembler.expire(m_clock.elapsed(), m_received, [this, &took](const DecodedFrame &f) {
        took = true;
        take(f);
    });
    afterFrames(took);
    scheduleSettling();
    if (took && m_done && m_done())
        stopWaiting();
}
