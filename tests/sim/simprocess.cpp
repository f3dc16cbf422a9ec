#include "simprocess.h"

#include "decoder.h"

#include <QTest>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

SimProcess::~SimProcess()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

bool SimProcess::start(const QStringList &arguments, int timeoutMs)
{
    m_process.setProgram(QStringLiteral(KORVA_SIM_PATH));
    m_process.setArguments(arguments);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.start();
    if (!m_process.waitForStarted(timeoutMs))
        return false;
    QElapsedTimer timer;
    timer.start();
    while (!m_process.canReadLine() && timer.elapsed() < timeoutMs) {
        if (!m_process.waitForReadyRead(100) && m_process.state() == QProcess::NotRunning)
            return false;
    }
    if (!m_process.canReadLine())
        return false;
    m_slavePath = QString::fromLocal8Bit(m_process.readLine().trimmed());
    return !m_slavePath.isEmpty();
}

bool SimProcess::terminate(int signal, int timeoutMs)
{
    ::kill(pid_t(m_process.processId()), signal);
    return m_process.waitForFinished(timeoutMs);
}

SimLink::~SimLink()
{
    close();
}

bool SimLink::open(const QString &path)
{
    m_fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    termios tio{};
    if (tcgetattr(m_fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    return tcsetattr(m_fd, TCSANOW, &tio) == 0;
}

void SimLink::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void SimLink::send(const QByteArray &bytes)
{
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (m_fd >= 0 && left > 0) {
        const ssize_t n = ::write(m_fd, p, size_t(left));
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) {
            QTest::qWait(1);
            continue;
        }
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

void SimLink::sendPieces(const QVector<QByteArray> &pieces, int gapMs)
{
    for (const QByteArray &piece : pieces) {
        send(piece);
        collect(gapMs);
    }
}

void SimLink::drain()
{
    char buffer[4096];
    while (m_fd >= 0) {
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_chunks.append({m_clock.elapsed(), QByteArray(buffer, int(n))});
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return;
    }
}

void SimLink::collect(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        drain();
        QTest::qWait(1);
    } while (timer.elapsed() < ms);
    drain();
}

bool SimLink::collectUntil(int n, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (received().size() < n && timer.elapsed() < timeoutMs)
        collect(1);
    return received().size() >= n;
}

QByteArray SimLink::received() const
{
    QByteArray all;
    for (const Chunk &chunk : m_chunks)
        all += chunk.bytes;
    return all;
}

bool splitCleanStream(const QByteArray &stream, QVector<QByteArray> *frames)
{
    const auto at = [&stream](int i) { return quint8(stream.at(i)); };
    int pos = 0;
    while (pos < stream.size()) {
        const int left = stream.size() - pos;
        int length = 0;
        if (left >= 2 && at(pos) == kFrameMarker &&
            (at(pos + 1) == kChannelKind || at(pos + 1) == kLinkStatusKind))
            length = kLiveFrameLength;
        else if (left >= 3 && at(pos) == kFrameMarker && findParameterKind(at(pos + 2)))
            length = kParameterFrameLength;
        else if (left >= 3 && at(pos + 2) == kAuxMarker)
            length = kAuxFrameLength;
        if (length == 0 || left < length)
            return false;
        if (length == kParameterFrameLength && at(pos + length - 1) != kFrameMarker)
            return false;
        frames->append(stream.mid(pos, length));
        pos += length;
    }
    return true;
}
