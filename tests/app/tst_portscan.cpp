// SPDX-License-Identifier: GPL-3.0-or-later
// The port list read on another thread while the window is built is the list the system
// gives, as is a list read there and then; the port offered first, and the names shown.

#include "portscan.h"

#include <QSerialPort>
#include <QtTest>

namespace {

// "/dev/ttyXR0+usb": a port whose USB vendor id the system knows.
QVector<PortChoice> choices(const QStringList &ports)
{
    QVector<PortChoice> out;
    for (const QString &port : ports)
        out.append({port.section(QLatin1Char('+'), 0, 0), port.endsWith(QLatin1String("+usb"))});
    return out;
}

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
    void firstChoiceIsRememberedThenUsbThenOwn_data();
    void firstChoiceIsRememberedThenUsbThenOwn();
    void shortNameAndPathNameOnePort_data();
    void shortNameAndPathNameOnePort();
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

void tst_PortScan::firstChoiceIsRememberedThenUsbThenOwn_data()
{
    QTest::addColumn<QStringList>("ports");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<int>("first");
    const QString s0 = QStringLiteral("/dev/ttyS0");
    const QString s4 = QStringLiteral("/dev/ttyS4");
    QTest::newRow("none") << QStringList() << QString() << -1;
    QTest::newRow("own ports only") << QStringList{s0, s4} << QString() << 0;
    QTest::newRow("USB adapter") << QStringList{s0, s4, "/dev/ttyUSB0"} << QString() << 2;
    QTest::newRow("ACM modem") << QStringList{s0, "/dev/ttyACM0"} << QString() << 1;
    QTest::newRow("USB vendor id")
        << QStringList{s0, "/dev/rfcomm0", "/dev/ttyXR0+usb"} << QString() << 2;
    QTest::newRow("another before own") << QStringList{s0, "/dev/rfcomm0"} << QString() << 1;
    QTest::newRow("first of equals")
        << QStringList{"/dev/ttyUSB1", "/dev/ttyUSB0"} << QString() << 0;
    QTest::newRow("remembered over USB") << QStringList{s0, "/dev/ttyUSB0", s4} << s4 << 2;
    QTest::newRow("remembered by name") << QStringList{s0, "/dev/ttyUSB0", s4} << "ttyS4" << 2;
    QTest::newRow("remembered not listed")
        << QStringList{s0, "/dev/ttyUSB1"} << "/dev/ttyUSB9" << 1;
}

void tst_PortScan::firstChoiceIsRememberedThenUsbThenOwn()
{
    QFETCH(QStringList, ports);
    QFETCH(QString, remembered);
    QFETCH(int, first);
    QCOMPARE(firstPortChoice(choices(ports), remembered), first);
}

void tst_PortScan::shortNameAndPathNameOnePort_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("shown");
    QTest::newRow("name") << "ttyUSB0"
                          << "/dev/ttyUSB0"
                          << "ttyUSB0";
    QTest::newRow("path") << "/dev/ttyUSB0"
                          << "/dev/ttyUSB0"
                          << "ttyUSB0";
    QTest::newRow("pseudo-terminal") << "/dev/pts/1"
                                     << "/dev/pts/1"
                                     << "pts/1";
    QTest::newRow("under the device folder") << "pts/1"
                                             << "/dev/pts/1"
                                             << "pts/1";
    QTest::newRow("elsewhere") << "/tmp/korva/ttyKORVA"
                               << "/tmp/korva/ttyKORVA"
                               << "/tmp/korva/ttyKORVA";
    QTest::newRow("relative") << "./ttyKORVA"
                              << "./ttyKORVA"
                              << "./ttyKORVA";
    QTest::newRow("empty") << ""
                           << ""
                           << "";
}

void tst_PortScan::shortNameAndPathNameOnePort()
{
#ifdef Q_OS_WIN
    QSKIP("Device paths of a Unix system");
#endif
    QFETCH(QString, name);
    QFETCH(QString, location);
    QFETCH(QString, shown);
    QCOMPARE(portLocation(name), location);
    QCOMPARE(shortPortName(location), shown);
    // The serial port itself resolves the name to the same device.
    QCOMPARE(QSerialPort(name).portName(), QSerialPort(location).portName());
}

QTEST_GUILESS_MAIN(tst_PortScan)
#include "tst_portscan.moc"
