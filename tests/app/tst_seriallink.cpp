// SPDX-License-Identifier: GPL-3.0-or-later
// The serial link as the transmitter sees it: exact bytes on open and close, the window's
// state, a device that disappears, and the port list.
#include "windowfixture.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QSignalSpy>
#include <QTabWidget>
#include <QToolButton>

#include <dlfcn.h>
#include <termios.h>

// A pseudo-terminal forces 8 data bits and no parity whatever it is asked for, so those two
// are checked on every setting the program asked the driver for. Defined here, this takes
// the place of the C library's tcsetattr for the serial-port library too.
static QVector<termios> requestedLines;
extern "C" int tcsetattr(int fd, int action, const termios *tio)
{
    using Real = int (*)(int, int, const termios *);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "tcsetattr"));
    requestedLines.append(*tio);
    return real(fd, action, tio);
}

class TestSerialLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initTestResources();
        QVERIFY(PtyPair().isValid());
    }

    void startsClosedOnServoPageWithGivenPortSelected()
    {
        WindowFixture f;
        QCOMPARE(f.window->windowTitle(), QStringLiteral("KORVA&TELUN-V4.2"));
        QCOMPARE(f.w<QTabWidget>("tabWidget")->currentIndex(), 0);
        QCOMPARE(f.button("openButton")->text(), QStringLiteral("OPEN"));
        auto *ports = f.w<QComboBox>("portNameBox");
        QVERIFY(ports->isEnabled());
        QVERIFY(ports->isEditable());
        QCOMPARE(ports->currentData().toString(), f.pty.slavePath());
        QCOMPARE(ports->currentText(), f.pty.slavePath().mid(int(qstrlen("/dev/"))));
        QCOMPARE(ports->itemData(ports->currentIndex(), Qt::ToolTipRole), ports->currentData());
        QTest::qWait(300);
        QVERIFY(f.pty.received().isEmpty()); // nothing is said before the user opens
    }

    void openSendsExactlyOkAndTurnsLedGreen()
    {
        WindowFixture f;
        const QImage red = f.w<QToolButton>("toolButton_led")->icon().pixmap(40, 40).toImage();
        f.button("openButton")->click();
        QVERIFY(f.pty.waitForBytes(2, 2000));
        QTest::qWait(100);
        QCOMPARE(f.pty.received(), QByteArray("OK"));
        QCOMPARE(f.button("openButton")->text(), QStringLiteral("CLOSE"));
        QVERIFY(!f.w<QComboBox>("portNameBox")->isEnabled());
        const QImage led = f.w<QToolButton>("toolButton_led")->icon().pixmap(40, 40).toImage();
        QVERIFY(led != red);
        const QColor centre = led.pixelColor(20, 20);
        QVERIFY2(centre.green() > centre.red(), "the LED should be green while open");
    }

    void closeSendsExactlyDisAndCentresBars()
    {
        WindowFixture f;
        QVERIFY(f.open());
        ParamData.Servo1 = 1800;
        ParamData.Servo5 = 200;
        ParamData.TX_Volt = 745;
        ParamData.RSSI = 40;
        QTest::qWait(250); // let the refresh show them
        QCOMPARE(f.w<QProgressBar>("progressBar_11")->value(), 200);
        QCOMPARE(f.w<QLineEdit>("lineEdit_TX")->text(), QStringLiteral(" 7.4V"));

        f.button("openButton")->click();
        // Bars are back before the event loop runs again.
        QCOMPARE(f.w<QProgressBar>("progressBar_11")->value(), 1000);
        QCOMPARE(f.w<QProgressBar>("progressBar_50")->value(), 10);
        QCOMPARE(f.w<QLineEdit>("lineEdit")->text(), QStringLiteral("1000"));
        QCOMPARE(f.button("openButton")->text(), QStringLiteral("OPEN"));
        QVERIFY(f.w<QComboBox>("portNameBox")->isEnabled());
        QVERIFY(f.pty.waitForBytes(3, 2000));
        QTest::qWait(100);
        QCOMPARE(f.pty.received(), QByteArray("DIS"));
        // The link read-outs are back at their start texts, as the bars are at centre.
        QCOMPARE(f.w<QLineEdit>("lineEdit_TX")->text(), QStringLiteral(" 0.0V"));
        QCOMPARE(f.w<QLineEdit>("lineEdit_RSSI")->text(), QStringLiteral("null"));
        // A port that the system does not list survives the refresh after the close.
        QVERIFY(f.w<QComboBox>("portNameBox")->findData(f.pty.slavePath()) >= 0);
    }

    void destroyingOpenWindowSendsNothing()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.window.reset();
        QTest::qWait(200);
        QVERIFY(f.pty.received().isEmpty());
    }

    void bytesStillQueuedReachTheLineWhenTheWindowGoes()
    {
        WindowFixture f;
        f.button("openButton")->click(); // "OK" waits in the port's queue for the event loop
        f.window.reset();
        QVERIFY(f.pty.waitForBytes(2, 1000));
        QCOMPARE(f.pty.received(), QByteArray("OK"));
    }

    void openFailureShowsNoteAndStaysClosed()
    {
        WindowFixture f;
        f.window->addPort(QStringLiteral("/nonexistent/ttyKORVA"));
        f.button("openButton")->click();
        QTRY_COMPARE(f.watcher.messages(),
                     QStringList{QStringLiteral("Note|Cannot open the serial port!")});
        // Without a program icon to show, the box keeps its information icon.
        QCOMPARE(f.watcher.kinds(), QStringList{QStringLiteral("information|OK|no default")});
        QCOMPARE(f.button("openButton")->text(), QStringLiteral("OPEN"));
        QVERIFY(f.w<QComboBox>("portNameBox")->isEnabled());
    }

    void lostDeviceReturnsToClosedState()
    {
        WindowFixture f;
        QVERIFY(f.open());
        ParamData.Servo2 = 1500;
        f.pty.closeMaster();
        QTRY_COMPARE_WITH_TIMEOUT(f.button("openButton")->text(), QStringLiteral("OPEN"), 3000);
        QVERIFY(f.w<QComboBox>("portNameBox")->isEnabled());
        QCOMPARE(f.w<QProgressBar>("progressBar_21")->value(), 1000);
        QCOMPARE(ParamData.Servo2, 1000);
        QVERIFY(f.watcher.messages().isEmpty());
    }

    void hangUpEndsLinkWithinASecond_data()
    {
        QTest::addColumn<bool>("slaveKept");
        QTest::newRow("read error") << true;
        QTest::newRow("end of file") << false;
    }

    void hangUpEndsLinkWithinASecond()
    {
        QFETCH(bool, slaveKept);
        WindowFixture f;
        QVERIFY(f.open());
        ParamData.TX_Volt = 745;
        ParamData.EXT_Volt = 1234;
        ParamData.RSSI = 40;
        QTRY_COMPARE(f.w<QLineEdit>("lineEdit_RSSI")->text(), QStringLiteral("-60dBm"));
        if (slaveKept)
            f.pty.closeMaster();
        else
            f.pty.hangUp();
        QTRY_COMPARE_WITH_TIMEOUT(f.button("openButton")->text(), QStringLiteral("OPEN"), 1000);
        const QImage led = f.w<QToolButton>("toolButton_led")->icon().pixmap(40, 40).toImage();
        const QColor centre = led.pixelColor(20, 20);
        QVERIFY2(centre.red() > centre.green(), "the LED should be red once the link ended");
        QCOMPARE(f.w<QLineEdit>("lineEdit_TX")->text(), QStringLiteral(" 0.0V"));
        QCOMPARE(f.w<QLineEdit>("lineEdit_EXT")->text(), QStringLiteral(" 0.0V"));
        QCOMPARE(f.w<QLineEdit>("lineEdit_RSSI")->text(), QStringLiteral("null"));
        const QLabel *notice = f.w<QLabel>("checkNotice");
        QVERIFY(notice && notice->isVisible());
        QVERIFY(notice->text().contains(QLatin1String("went away")));
    }

    // Closed, heard and silent each look their own and say so; only frames keep it green.
    void ledTellsHeardFromOpen()
    {
        WindowFixture f;
        auto *led = f.w<QToolButton>("toolButton_led");
        const auto look = [led]() -> QString {
            const QColor c = led->icon().pixmap(40, 40).toImage().pixelColor(20, 20);
            const QString colour = c.green() > 2 * c.red()   ? "green"
                                   : c.red() > 2 * c.green() ? "red"
                                                             : "dim";
            return colour + QLatin1Char('|') + led->toolTip();
        };
        QVERIFY(look().startsWith("red|Port closed"));
        QVERIFY(f.open());
        QElapsedTimer clock;
        for (clock.start(); clock.elapsed() < 1800; QTest::qWait(200)) { // past the LED's second
            QVERIFY(look().startsWith("green|Transmitter heard"));
            f.pty.send(QByteArray::fromHex("FE1803E803E903EA03EB03EC03ED03EE03EF0101"));
        }
        clock.restart();
        QTRY_VERIFY_WITH_TIMEOUT(look().startsWith("dim|Port open, but nothing heard"), 1500);
        QVERIFY(clock.elapsed() >= 700); // a second after the last frame, 200 ms ago
    }

    void typedPortIsOpenedAndKept()
    {
        WindowFixture f;
        PtyPair other;
        auto *ports = f.w<QComboBox>("portNameBox");
        ports->setEditText(other.slavePath());
        f.button("openButton")->click();
        QVERIFY(other.waitForBytes(2, 2000));
        QCOMPARE(other.received(), QByteArray("OK"));
        QVERIFY(f.pty.received().isEmpty());
        f.button("openButton")->click();
        QVERIFY(other.waitForBytes(5, 2000));
        QVERIFY(ports->findData(other.slavePath()) >= 0);
    }

    void waitMsKeepsEventLoopRunning_data()
    {
        QTest::addColumn<int>("ms");
        QTest::newRow("zero") << 0;
        QTest::newRow("200") << 200;
        QTest::newRow("800") << 800;
    }

    void waitMsKeepsEventLoopRunning()
    {
        QFETCH(int, ms);
        bool fired = false;
        QTimer::singleShot(0, [&fired] { fired = true; });
        QElapsedTimer t;
        t.start();
        waitMs(ms);
        QVERIFY(fired);
        QVERIFY(t.elapsed() >= ms - 5);
        QVERIFY(t.elapsed() < ms + 150);
    }

    void waitMsDoesNotHoldUpTheApplicationQuitting()
    {
        qint64 waited = -1;
        QTimer::singleShot(0, qApp, [&waited] {
            QElapsedTimer t;
            t.start();
            QTimer::singleShot(50, qApp, [] { QCoreApplication::exit(0); });
            waitMs(400);
            waitMs(300); // no event loop runs any more: nothing to wait for
            waited = t.elapsed();
        });
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY2(waited >= 45 && waited < 400, qPrintable(QString::number(waited)));
    }

    void openAppliesTheLineSettings_data()
    {
        QTest::addColumn<int>("flags"); // 0 input modes, 1 control modes, 2 speeds in and out
        QTest::addColumn<uint>("mask");
        QTest::addColumn<uint>("expected");
        QTest::addColumn<bool>("asked"); // what was asked for, not what the line shows
        QTest::newRow("115200 baud") << 2 << 0u << uint(B115200) << false;
        QTest::newRow("8 data bits") << 1 << uint(CSIZE) << uint(CS8) << true;
        QTest::newRow("no parity") << 1 << uint(PARENB) << 0u << true;
        QTest::newRow("one stop bit") << 1 << uint(CSTOPB) << 0u << false;
        QTest::newRow("no RTS/CTS") << 1 << uint(CRTSCTS) << 0u << false;
        QTest::newRow("no XON/XOFF") << 0 << uint(IXON | IXOFF) << 0u << false;
    }

    void openAppliesTheLineSettings()
    {
        QFETCH(int, flags);
        QFETCH(uint, mask);
        QFETCH(uint, expected);
        QFETCH(bool, asked);
        WindowFixture f;
        // Start from the opposite of every setting, so that none is right by chance.
        termios tio{};
        QCOMPARE(tcgetattr(f.pty.slaveFd(), &tio), 0);
        cfsetspeed(&tio, B9600);
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | PARODD | CSTOPB | CRTSCTS;
        tio.c_iflag |= IXON | IXOFF;
        QCOMPARE(tcsetattr(f.pty.slaveFd(), TCSANOW, &tio), 0);
        requestedLines.clear();
        QVERIFY(f.open());
        QCOMPARE(tcgetattr(f.pty.slaveFd(), &tio), 0);
        const QVector<termios> seen = asked ? requestedLines : QVector<termios>{tio};
        QVERIFY(!seen.isEmpty());
        for (const termios &line : qAsConst(seen)) {
            if (flags == 2) {
                QCOMPARE(uint(cfgetispeed(&line)), expected);
                QCOMPARE(uint(cfgetospeed(&line)), expected);
            } else {
                QCOMPARE((flags == 0 ? line.c_iflag : line.c_cflag) & mask, expected);
            }
        }
    }

    void closeKeepsTheChosenPortSelected_data()
    {
        QTest::addColumn<bool>("typed");
        QTest::newRow("picked from the list") << false;
        QTest::newRow("typed") << true;
    }

    void closeKeepsTheChosenPortSelected()
    {
        QFETCH(bool, typed);
        WindowFixture f;
        PtyPair other;
        auto *ports = f.w<QComboBox>("portNameBox");
        if (typed) {
            ports->setEditText(other.slavePath());
        } else {
            f.window->addPort(other.slavePath());
            ports->setCurrentIndex(ports->findData(f.pty.slavePath()));
        }
        PtyPair &chosen = typed ? other : f.pty;
        PtyPair &unused = typed ? f.pty : other;
        f.button("openButton")->click();
        f.button("openButton")->click();
        QCOMPARE(ports->currentData().toString(), chosen.slavePath());
        f.button("openButton")->click(); // the same device again
        QVERIFY(chosen.waitForBytes(7, 2000));
        QCOMPARE(chosen.received(), QByteArray("OKDISOK"));
        QVERIFY(unused.received().isEmpty());
    }
};

QTEST_MAIN(TestSerialLink)
#include "tst_seriallink.moc"
