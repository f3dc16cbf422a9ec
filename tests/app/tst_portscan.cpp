// SPDX-License-Identifier: GPL-3.0-or-later
// The port list read on another thread while the window is built is the list the system
// gives, as is a list read there and then.

#include "portscan.h"

#include <QtTest>

namespace {

QStringList names(const QList<QSerialPortInfo> &ports)
{
    QStringList out;
    for (const QSerialPortInfo &info : ports)
        out << info.systemLocation();
    return out;
}

} // namespace

class tst_PortScan : public QObject
{
    Q_OBJECT

private slots:
    void listsWhatTheSystemLists_data();
    void listsWhatTheSystemLists();
};

void tst_PortScan::listsWhatTheSystemLists_data()
{
    QTest::addColumn<bool>("begun");
    QTest::newRow("read on another thread") << true;
    QTest::newRow("read there and then") << false;
}

void tst_PortScan::listsWhatTheSystemLists()
{
    QFETCH(bool, begun);
    if (begun)
        startPortScan();
    QCOMPARE(names(takePortScan()), names(QSerialPortInfo::availablePorts()));
}

QTEST_GUILESS_MAIN(tst_PortScan)
#include "tst_portscan.moc"
