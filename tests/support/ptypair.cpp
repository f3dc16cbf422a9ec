#include "ptypair.h"

#include <QSocketNotifier>
#include <QTest>

#include <cerrno>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    m_clock.start();
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_master < 0)
        return;
    if (grantpt(m_master) != 0 || unlockpt(m_master) != 0) {
        ::close(m_master);
        m_master = -1;
        return;
    }
    m_slavePath = QString::fromLocal8Bit(ptsname(m_master));
    m_slaveKeeper = ::open(ptsname(m_master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    // Raw both ways, so the line discipline neither echoes nor translates anything.
    termios tio{};
    if (m_slaveKeeper >= 0 && tcgetattr(m_slaveKeeper, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slaveKeeper, TCSANOW, &tio);
    }
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &PtyPair::drain);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

void PtyPair::send(const QByteArray &bytes)
{
    if (m_master < 0)
        return;
    const char *p = bytes.constData();
    qint64 left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(m_master, p, size_t(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN) {
            QTest::qWait(1);
            continue;
        }
        if (n <= 0)
            return;
        p += n;
        left -= n;
    }
}

void PtyPair::closeMaster()
{
    if (m_master < 0)
        return;
    drain();
    delete m_notifier;
    m_notifier = nullptr;
    ::close(m_master);
    m_master = -1;
}

void PtyPair::drain()
{
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buf, sizeof buf);
        if (n > 0) {
            m_chunks.append({m_clock.elapsed(), QByteArray(buf, int(n))});
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // EAGAIN: nothing more now. EIO: no one holds the slave open right now.
        return;
    }
}

QByteArray PtyPair::received() const
{
    QByteArray all;
    for (const Chunk &c : m_chunks)
        all += c.bytes;
    return all;
}

qint64 PtyPair::timeOfByte(int index) const
{
    for (const Chunk &c : m_chunks) {
        if (index < c.bytes.size())
            return c.atMs;
        index -= c.bytes.size();
    }
    return -1;
}

bool PtyPair::waitForBytes(int n, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (received().size() < n && t.elapsed() < timeoutMs) {
        QTest::qWait(5);
        drain();
    }
    return received().size() >= n;
}
