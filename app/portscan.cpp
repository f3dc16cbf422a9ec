// SPDX-License-Identifier: GPL-3.0-or-later
#include "portscan.h"

#include <QFileInfo>

#include <future>

namespace {

std::future<QList<QSerialPortInfo>> pendingScan;

#ifdef Q_OS_WIN
const char kDeviceFolder[] = "\\\\.\\";
#else
const char kDeviceFolder[] = "/dev/";
#endif

// Lower ranks are offered first.
int portRank(const PortChoice &port, const QString &remembered)
{
    if (!remembered.isEmpty() && port.location == portLocation(remembered))
        return 0;
    const QString name = QFileInfo(port.location).fileName();
    if (port.usbVendor || name.startsWith(QLatin1String("ttyUSB")) ||
        name.startsWith(QLatin1String("ttyACM")))
        return 1;
    return name.startsWith(QLatin1String("ttyS")) ? 3 : 2;
}

} // namespace

void startPortScan()
{
    if (!pendingScan.valid())
        pendingScan = std::async(std::launch::async, &QSerialPortInfo::availablePorts);
}

QList<QSerialPortInfo> takePortScan()
{
    if (pendingScan.valid())
        return pendingScan.get();
    return QSerialPortInfo::availablePorts();
}

int firstPortChoice(const QVector<PortChoice> &ports, const QString &remembered)
{
    int best = -1;
    int bestRank = 0;
    for (int i = 0; i < ports.size(); ++i) {
        const int rank = portRank(ports.at(i), remembered);
        if (best < 0 || rank < bestRank) {
            best = i;
            bestRank = rank;
        }
    }
    return best;
}

QString portLocation(const QString &name)
{
#ifdef Q_OS_WIN
    if (name.isEmpty() || name.startsWith(QLatin1String(kDeviceFolder)))
        return name;
#else
    if (name.isEmpty() || name.startsWith(QLatin1Char('/')) ||
        name.startsWith(QLatin1String("./")) || name.startsWith(QLatin1String("../")))
        return name;
#endif
    return QLatin1String(kDeviceFolder) + name;
}

QString shortPortName(const QString &location)
{
    const QLatin1String folder(kDeviceFolder);
    return location.startsWith(folder) && location.size() > folder.size()
               ? location.mid(folder.size())
               : location;
}
