// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QVector>

// One end of a serial line as a raw, non-blocking file descriptor. Everything read from it
// is kept with the time it arrived, for tests where timing is behaviour.
class RawLink
{
public:
    struct Chunk
    {
        qint64 atMs; // since the link was created
        QByteArray bytes;
    };

    RawLink() { m_clock.start(); }
    virtual ~RawLink() { closeFd(); }
    RawLink(const RawLink &) = delete;
    RawLink &operator=(const RawLink &) = delete;

    int fd() const { return m_fd; }

    // Writes all bytes, as one write where the line takes them at once.
    void send(const QByteArray &bytes);
    // Reads whatever is there now.
    void drain();
    // Keeps reading for this long, with the event loop running.
    void collect(int ms);
    // Reads until at least n bytes have arrived since the last clear, or the time is up.
    bool waitForBytes(int n, int timeoutMs);

    QByteArray received() const;
    const QVector<Chunk> &chunks() const { return m_chunks; }
    void clearReceived() { m_chunks.clear(); }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    // When the byte at `index` of received() arrived (ms since creation), or -1.
    qint64 timeOfByte(int index) const;

protected:
    void adopt(int fd) { m_fd = fd; }
    void closeFd();

private:
    int m_fd = -1;
    QElapsedTimer m_clock;
    QVector<Chunk> m_chunks;
};
