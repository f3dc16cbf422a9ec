// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSerialPortInfo>

// The serial ports, as QSerialPortInfo::availablePorts() lists them. Listing them reads
// thousands of files under /sys; startPortScan() begins a listing on another thread, and the
// next takePortScan() returns what it found. Without a listing begun, takePortScan() lists
// the ports there and then.
void startPortScan();
QList<QSerialPortInfo> takePortScan();
