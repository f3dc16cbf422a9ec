// SPDX-License-Identifier: GPL-3.0-or-later
// The port list read on another thread while the window is built is the list the system
// gives, as is a list read there and then; the port offered first, and the names shown.

#include "portscan.h"

#include <QSerialPort>
#include <QtTest>

namespace {

// "ttyS0 ttyXR0+usb": ports under /dev; "+usb" where the system knows a USB vendor id.
QVector<PortChoice> choices(const QString &ports)
{
    QVector<PortChoice> out;
    for (const QString &port : ports.split(QLatin1Char(' '), Qt::SkipEmptyParts))
        out.append({"/dev/" + port.section('+', 0, 0), port.endsWith(QLatin1String("+usb"))});
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
    QTest::addColumn<QString>("ports"); // then the remembered one, after "|"
    QTest::addColumn<int>("first");
    QTest::newRow("none") << "" << -1;
    QTest::newRow("own ports only") << "ttyS0 ttyS4" << 0;
    QTest::newRow("USB adapter") << "ttyS0 ttyS4 ttyUSB0" << 2;
    QTest::newRow("ACM modem") << "ttyS0 ttyACM0" << 1;
    QTest::newRow("USB vendor id") << "ttyS0 rfcomm0 ttyXR0+usb" << 2;
    QTest::newRow("another before own") << "ttyS0 rfcomm0" << 1;
    QTest::newRow("first of equals") << "ttyUSB1 ttyUSB0" << 0;
    QTest::newRow("remembered over USB") << "ttyS0 ttyUSB0 ttyS4|/dev/ttyS4" << 2;
    QTest::newRow("remembered by name") << "ttyS0 ttyUSB0 ttyS4|ttyS4" << 2;
    QTest::newRow("remembered not listed") << "ttyS0 ttyUSB1|/dev/ttyUSB9" << 1;
}

void tst_PortScan::firstChoiceIsRememberedThenUsbThenOwn()
{
    QFETCH(QString, ports);
    QFETCH(int, first);
    const QString remembered = ports.section(QLatin1Char('|'), 1);
    QCOMPARE(firstPortChoice(choices(ports.section(QLatin1Char('|'), 0, 0)), remembered), first);
}

void tst_PortScan::shortNameAndPathNameOnePort_data()
{
    // As typed, the whole path, as the box shows it.
    QTest::addColumn<QStringList>("forms");
    QTest::newRow("name") << QStringList{"ttyUSB0", "/dev/ttyUSB0", "ttyUSB0"};
    QTest::newRow("pseudo-terminal") << QStringList{"/dev/pts/1", "/dev/pts/1", "pts/1"};
    QTest::newRow("under /dev") << QStringList{"pts/1", "/dev/pts/1", "pts/1"};
    QTest::newRow("elsewhere") << QStringList{"/tmp/k/ttyK", "/tmp/k/ttyK", "/tmp/k/ttyK"};
    QTest::newRow("relative") << QStringList{"./ttyK", "./ttyK", "./ttyK"};
    QTest::newRow("empty") << QStringList{"", "", ""};
}

void tst_PortScan::shortNameAndPathNameOnePort()
{
#ifdef Q_OS_WIN
    QSKIP("Device paths of a Unix system");
#endif
    QFETCH(QStringList, forms);
    QCOMPARE(portLocation(forms[0]), forms[1]);
    QCOMPARE(shortPortName(forms[1]), forms[2]);
    // The serial port itself resolves the name to the same device.
    QCOMPARE(QSerialPort(forms[0]).portName(), QSerialPort(forms[1]).portName());
}

QTEST_GUILESS_MAIN(tst_PortScan)
#include "tst_portscan.moc"
