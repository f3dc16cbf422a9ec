// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QSerialPort>
#include <QString>

// Why a port did not open, in terms a pilot can act on. The "Note" box keeps its short text;
// these go into its details.

struct OpenFailure
{
    QSerialPort::SerialPortError error = QSerialPort::NoError;
    QString reason;      // what the system said, as the serial port reports it
    QString path;        // the device the name stands for; empty when no port was chosen
    bool denied = false; // the system refused us the device itself, not another program's lock
    QString group;       // group owning the device, if it exists
    QString user;
    bool inGroup = false;        // this process already has the device's group
    bool inGroupAtLogin = false; // the group list gives it, but only from the next login
};

// Looks at the port and the device after a failed open: the error, the owning group and
// what this user has.
OpenFailure describeOpenFailure(const QSerialPort &port);

// The system's reason, a blank line, then what to do about it.
QString openFailureDetails(const OpenFailure &failure);

// The "Note" box with "Cannot open the serial port!" and the details under it.
void showOpenFailure(const OpenFailure &failure);
