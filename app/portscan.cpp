// SPDX-License-Identifier: GPL-3.0-or-later
#include "portscan.h"

#include <future>

namespace {

std::future<QList<QSerialPortInfo>> pendingScan;

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
