// SPDX-License-Identifier: GPL-3.0-or-later
#include "simulator.h"

#include "frames.h"

#include <QFile>
#include <QSaveFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSim, "korva.sim", QtWarningMsg)

namespace {

QString systemError(const char *what)
{
    return QString::fromLatin1(what) + QLatin1String(": ") +
           QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

Simulator::Simulator(const Options &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
    , m_shaper(options.faults, options.seed)
{
    for (TokenKind kind : options.ignoredFrames)
        m_model.ignoreFrames(kind);
    m_tickTimer.setTimerType(Qt::PreciseTimer);
    m_tickTimer.setInterval(kTickMs);
    connect(&m_tickTimer, &QTimer::timeout, this, &Simulator::tick);
    m_pumpTimer.setTimerType(Qt::PreciseTimer);
    m_pumpTimer.setSingleShot(true);
    connect(&m_pumpTimer, &QTimer::timeout, this, &Simulator::pump);
    m_mergeTimer.setTimerType(Qt::PreciseTimer);
    m_mergeTimer.setSingleShot(true);
    m_mergeTimer.setInterval(kMergeHoldMs);
    connect(&m_mergeTimer, &QTimer::timeout, this, &Simulator::flushMergeGroup);
    m_clock.start();
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::start(QString *error)
{
    if (!loadState(error))
        return false;

    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0) {
        *error = systemError("posix_openpt");
        return false;
    }
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        *error = systemError("grantpt/unlockpt");
        stop();
        return false;
    }
    const char *name = ptsname(m_master);
    if (!name) {
        *error = systemError("ptsname");
        stop();
        return false;
    }
    m_slavePath = QString::fromLocal8Bit(name);

    // Holding the slave open ourselves keeps the master readable while no program has the
    // port open; otherwise every read would fail with EIO and the notifier would spin.
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_slaveKeeper < 0) {
        *error = systemError("open slave");
        stop();
        return false;
    }
    // Raw from the start: an echoing line discipline would send our frames back to us
    // before the program has set up the port.
    termios tio{};
    if (tcgetattr(m_slaveKeeper, &tio) != 0) {
        *error = systemError("tcgetattr");
        stop();
        return false;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    if (tcsetattr(m_slaveKeeper, TCSANOW, &tio) != 0) {
        *error = systemError("tcsetattr");
        stop();
        return false;
    }

    m_readNotifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &Simulator::readInput);
    m_tickTimer.start();
    return true;
}

void Simulator::stop()
{
    if (m_master < 0 && m_slaveKeeper < 0)
        return;
    m_tickTimer.stop();
    m_pumpTimer.stop();
    m_mergeTimer.stop();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    saveState();
    if (m_master >= 0)
        ::close(m_master);
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_master = -1;
    m_slaveKeeper = -1;
}

void Simulator::readInput()
{
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n > 0) {
            const qint64 discardedBefore = m_tokenizer.discarded();
            const QVector<Token> tokens = m_tokenizer.feed(QByteArray(buffer, int(n)));
            if (m_tokenizer.discarded() != discardedBefore)
                qCInfo(lcSim, "discarded %lld byte(s)", m_tokenizer.discarded() - discardedBefore);
            for (const Token &token : tokens)
                react(token);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
            qCWarning(lcSim, "%s", qPrintable(systemError("read")));
            m_readNotifier->setEnabled(false);
        }
        return;
    }
}

void Simulator::react(const Token &token)
{
    if (token.kind == TokenKind::FrameS || token.kind == TokenKind::FrameG ||
        token.kind == TokenKind::FrameH)
        qCInfo(lcSim, "rx %s %s", tokenKindName(token.kind), token.text.constData());
    else
        qCInfo(lcSim, "rx %s", tokenKindName(token.kind));

    const ParamStore before = m_model.settings();
    switch (m_model.handle(token)) {
    case TransmitterModel::Reaction::None:
    case TransmitterModel::Reaction::StartStream:
    case TransmitterModel::Reaction::StopStream:
        break;
    case TransmitterModel::Reaction::SendSettings:
        for (const QByteArray &frame : encodeSettingsAnswer(m_model.settings()))
            enqueueFrame(frame);
        break;
    case TransmitterModel::Reaction::SettingsTaken:
        for (const QString &change : reportedDifferences(before, m_model.settings()))
            qCInfo(lcSim, "set %s", qPrintable(change));
        saveState();
        break;
    }
}

void Simulator::tick()
{
    if (!m_model.streaming())
        return;
    enqueueFrame(channelFrame(m_tick));
    if (m_tick % kLinkStatusEveryTicks == 0)
        enqueueFrame(linkStatusFrame(m_tick));
    ++m_tick;
}

void Simulator::enqueueFrame(const QByteArray &frame)
{
    m_frames.enqueue(frame);
    pump();
}

// Writes whatever is due, one unit of output at a time, and sets a timer for the rest.
void Simulator::pump()
{
    for (;;) {
        if (m_writes.isEmpty()) {
            if (m_frames.isEmpty())
                break;
            for (const LinkShaper::Write &write : m_shaper.push(m_frames.dequeue()))
                m_writes.enqueue(write);
            // The hold time runs from the first frame of a merge group.
            if (!m_shaper.holding())
                m_mergeTimer.stop();
            else if (!m_mergeTimer.isActive())
                m_mergeTimer.start();
            continue;
        }
        const LinkShaper::Write &next = m_writes.head();
        const qint64 due = m_lastWriteMs + (next.startsUnit ? kUnitGapMs : next.pauseBeforeMs);
        const qint64 now = m_clock.elapsed();
        if (now < due) {
            if (!m_pumpTimer.isActive())
                m_pumpTimer.start(int(due - now));
            return;
        }
        writeToMaster(next.bytes);
        m_lastWriteMs = now;
        m_writes.dequeue();
    }
}

void Simulator::flushMergeGroup()
{
    for (const LinkShaper::Write &write : m_shaper.flush())
        m_writes.enqueue(write);
    pump();
}

void Simulator::writeToMaster(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            // Nobody is reading and the terminal's buffer is full: like a transmitter on an
            // unplugged cable, the rest goes nowhere.
            qCInfo(lcSim, "dropped %lld byte(s)", left);
            return;
        }
        p += n;
        left -= n;
    }
}

bool Simulator::loadState(QString *error)
{
    if (m_options.statePath.isEmpty() || !QFile::exists(m_options.statePath))
        return true;
    QFile file(m_options.statePath);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = m_options.statePath + QLatin1String(": ") + file.errorString();
        return false;
    }
    m_model.setSettings(settingsFromText(file.readAll(), m_model.settings()));
    return true;
}

void Simulator::saveState()
{
    if (m_options.statePath.isEmpty())
        return;
    // Written to a temporary file and renamed, so a reader never sees half a file.
    QSaveFile file(m_options.statePath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(buildParameterFile(m_model.settings())) < 0 || !file.commit())
        qCWarning(lcSim, "cannot save %s: %s", qPrintable(m_options.statePath),
                  qPrintable(file.errorString()));
}
