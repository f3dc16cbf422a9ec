// SPDX-License-Identifier: GPL-3.0-or-later
#include "rawlink.h"

#include <QTest>

#include <cerrno>
#include <unistd.h>

void RawLink::send(const QByteArray &bytes)
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

void RawLink::drain()
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
        // EAGAIN: nothing more now. EIO: nobody holds the other side open right now.
        return;
    }
}

void RawLink::collect(int ms)
{
    QElapsedTimer timer;
    timer.start();
    do {
        drain();
        QTest::qWait(1);
    } while (timer.elapsed() < ms);
    drain();
}

bool RawLink::waitForBytes(int n, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (received().size() < n && timer.elapsed() < timeoutMs)
        collect(1);
    return received().size() >= n;
}

QByteArray RawLink::received() const
{
    QByteArray all;
    for (const Chunk &c : m_chunks)
        all += c.bytes;
    return all;
}

qint64 RawLink::timeOfByte(int index) const
{
    for (const Chunk &c : m_chunks) {
        if (index < c.bytes.size())
            return c.atMs;
        index -= c.bytes.size();
    }
    return -1;
}

void RawLink::closeFd()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}
