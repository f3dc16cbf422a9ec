// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QSerialPortInfo>
#include <QString>
#include <QVector>

// The serial ports, as QSerialPortInfo::availablePorts() lists them. Listing them reads
// thousands of files under /sys; startPortScan() begins a listing on another thread, and the
// next takePortScan() returns what it found. Without a listing begun, takePortScan() lists
// the ports there and then.
void startPortScan();
QList<QSerialPortInfo> takePortScan();

// A port as the port box offers it: its whole path, and whether it is a USB device.
struct PortChoice
{
    QString location;
    bool usbVendor = false; // the system knows a USB vendor id for it
};

// The port to offer first, as an index into `ports`, or -1 when there are none: the
// remembered one, else a USB serial adapter, else any other port before the computer's own
// ttyS ports, which are always listed and seldom have anything behind them. Ties go to the
// one listed first.
int firstPortChoice(const QVector<PortChoice> &ports, const QString &remembered);

// The whole path of a port given by name, as the serial port resolves it: "ttyUSB0" and
// "/dev/ttyUSB0" are the same device.
QString portLocation(const QString &name);
// What tells a port apart from the others in the box: "ttyUSB0", "pts/1"; a path outside the
// device folder stays whole.
QString shortPortName(const QString &location);
