#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QVector>

class QSocketNotifier;

// A pseudo-terminal pair. The test holds the master side and plays the transmitter; the
// program under test opens slavePath() as its serial port. Everything the program writes
// is collected with the time it arrived, while the event loop runs.
class PtyPair : public QObject
{
    Q_OBJECT

public:
    struct Chunk
    {
        qint64 atMs; // since the pair was created
        QByteArray bytes;
    };

    PtyPair();
    ~PtyPair() override;

    bool isValid() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }

    // Sends bytes to the program, as one write.
    void send(const QByteArray &bytes);
    // Closes the master side: to the program, the device is gone.
    void closeMaster();

    QByteArray received() const;
    const QVector<Chunk> &chunks() const { return m_chunks; }
    void clearReceived() { m_chunks.clear(); }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    // Offset (ms since creation) of the byte at `index` of received(), or -1.
    qint64 timeOfByte(int index) const;

    // Runs the event loop until received() holds at least n bytes or the timeout passes.
    bool waitForBytes(int n, int timeoutMs);

private:
    void drain();

    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the pair alive while the program has the port closed
    QString m_slavePath;
    QSocketNotifier *m_notifier = nullptr;
    QElapsedTimer m_clock;
    QVector<Chunk> m_chunks;
};
