// SPDX-License-Identifier: GPL-3.0-or-later
#include "ptypair.h"

#include <QSocketNotifier>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (master < 0)
        return;
    if (grantpt(master) != 0 || unlockpt(master) != 0) {
        ::close(master);
        return;
    }
    adopt(master);
    m_slavePath = QString::fromLocal8Bit(ptsname(master));
    m_slaveKeeper = ::open(ptsname(master), O_RDWR | O_NOCTTY | O_NONBLOCK);
    // Raw both ways, so the line discipline neither echoes nor translates anything.
    termios tio{};
    if (m_slaveKeeper >= 0 && tcgetattr(m_slaveKeeper, &tio) == 0) {
        cfmakeraw(&tio);
        tcsetattr(m_slaveKeeper, TCSANOW, &tio);
    }
    m_notifier = new QSocketNotifier(master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, [this] { drain(); });
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
}

void PtyPair::hangUp()
{
    closeMaster();
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    m_slaveKeeper = -1;
}

void PtyPair::closeMaster()
{
    if (fd() < 0)
        return;
    drain();
    delete m_notifier;
    m_notifier = nullptr;
    closeFd();
}
