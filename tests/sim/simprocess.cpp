// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include "decoder.h"
#include "frames.h"
#include "testdata.h"

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

bool SimProcess::startHolding(const ParamStore &settings, const QStringList &arguments)
{
    return writeBytes(statePath(), buildParameterFile(settings)) &&
           start(arguments + QStringList{QStringLiteral("--state"), statePath()});
}

bool SimProcess::terminate(int signal, int timeoutMs)
{
    ::kill(pid_t(m_process.processId()), signal);
    return m_process.waitForFinished(timeoutMs);
}

bool SimLink::open(const QString &path)
{
    closeFd();
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return false;
    adopt(fd);
    termios tio{};
    if (tcgetattr(fd, &tio) != 0)
        return false;
    cfmakeraw(&tio);
    return tcsetattr(fd, TCSANOW, &tio) == 0;
}

void SimLink::sendPieces(const QVector<QByteArray> &pieces, int gapMs)
{
    for (const QByteArray &piece : pieces) {
        send(piece);
        collect(gapMs);
    }
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
