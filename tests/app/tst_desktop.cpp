// SPDX-License-Identifier: GPL-3.0-or-later
// The window on a pilot's desktop: why a port did not open, what it remembers from one run to
// the next, how it shows that an operation holds the line, and that closing it does not lose
// changed settings.
#include "windowfixture.h"

#include "desktopscale.h"
#include "factory.h"
#include "frames.h"
#include "openfailure.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSettings>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdarg>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>

// Tests run as root, whom no device refuses. Defined here, this open64 stands in for the C
// library's inside the serial-port library too, and refuses one path as the system refuses
// a user outside the device's group.
static char deniedPath[512];
extern "C" int open64(const char *path, int flags, ...)
{
    mode_t mode = 0;
    if (flags & (O_CREAT | O_TMPFILE)) {
        va_list args;
        va_start(args, flags);
        mode = va_arg(args, mode_t);
        va_end(args);
    }
    if (deniedPath[0] != '\0' && std::strcmp(path, deniedPath) == 0) {
        errno = EACCES;
        return -1;
    }
    using Real = int (*)(const char *, int, ...);
    static const auto real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "open64"));
    return real(path, flags, mode);
}

namespace {

const char *const kActionButtons[] = {"toolButton_Read", "toolButton_Load", "toolButton_Send",
                                      "toolButton_Save", "toolButton_Reset"};

QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// The enabled action buttons, by name, and whether the window shows the busy cursor.
struct Look
{
    QStringList enabled;
    bool busy = false;
};

Look lookAt(const WindowFixture &f)
{
    Look look;
    for (const char *name : kActionButtons) {
        if (f.button(name)->isEnabled())
            look.enabled.append(QLatin1String(name));
    }
    look.busy = f.window->cursor().shape() == Qt::BusyCursor;
    return look;
}

QStringList allButtonsBut(const QString &name)
{
    QStringList names;
    for (const char *button : kActionButtons) {
        if (name != QLatin1String(button))
            names.append(QLatin1String(button));
    }
    return names;
}

QStringList allButtons()
{
    return allButtonsBut(QString());
}

// The answers a message box offered, in any order: their placement is the platform's.
QStringList offered(const QString &offer)
{
    QStringList answers = offer.split(QLatin1Char('|'));
    answers.sort();
    return answers;
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initTestResources();
        QStandardPaths::setTestModeEnabled(true);
        // A closed test window must not end the test's own event loops.
        QApplication::setQuitOnLastWindowClosed(false);
    }

    void cleanup() { deniedPath[0] = '\0'; }

    // The resource text as xrdb leaves it on the root window; only Xft.dpi turns scaling on.
    void xftDpiIsFoundAmongTheResources_data()
    {
        QTest::addColumn<QByteArray>("resources");
        QTest::addColumn<int>("dpi");
        QTest::newRow("150 %") << QByteArray("Xft.antialias:\t1\nXft.dpi:\t144\n") << 144;
        QTest::newRow("fractional, last line") << QByteArray("*.foo: 1\nXft.dpi: 120.5") << 121;
        QTest::newRow("other Xft keys only")
            << QByteArray("Xft.dpiscale:\t2\nXft.hinting: 1\n") << 0;
    }

    void xftDpiIsFoundAmongTheResources()
    {
        QFETCH(QByteArray, resources);
        QFETCH(int, dpi);
        QCOMPARE(xftDpiFromResources(resources), dpi);
    }

    void detailsGiveTheReasonThenWhatToDo_data()
    {
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("denied");
        QTest::addColumn<int>("membership"); // 0 none, 1 from the next login, 2 now
        QTest::addColumn<QString>("advice");
        QTest::addColumn<QString>("notAdvice");
        const int notFound = QSerialPort::DeviceNotFoundError;
        const int permission = QSerialPort::PermissionError;
        QTest::newRow("no port chosen") << notFound << "" << false << 0 << "No port is chosen"
                                        << "usermod";
        QTest::newRow("nothing plugged in")
            << notFound << "/dev/ttyUSB0" << false << 0 << "Nothing is connected as /dev/ttyUSB0"
            << "usermod";
        QTest::newRow("outside the group")
            << permission << "/dev/ttyUSB0" << true << 0
            << "belongs to the group \"dialout\". Add yourself to that group, then log out and "
               "in again:\n    sudo usermod -aG dialout pilot"
            << "Another program";
        QTest::newRow("added, not logged in again")
            << permission << "/dev/ttyUSB0" << true << 1 << "log out and in again"
            << "usermod";
        QTest::newRow("in the group, refused anyway")
            << permission << "/dev/ttyUSB0" << true << 2 << "ls -l /dev/ttyUSB0"
            << "usermod";
        QTest::newRow("locked by another program")
            << permission << "/dev/ttyUSB0" << false << 0 << "Another program is using"
            << "usermod";
        QTest::newRow("not a serial port")
            << int(QSerialPort::UnsupportedOperationError) << "/tmp/notes.txt" << false << 0
            << "/tmp/notes.txt is not a serial port"
            << "usermod";
        QTest::newRow("anything else")
            << int(QSerialPort::OpenError) << "/dev/ttyACM0" << false << 0 << "Check the cable"
            << "usermod";
    }

    void detailsGiveTheReasonThenWhatToDo()
    {
        QFETCH(int, error);
        QFETCH(QString, path);
        QFETCH(bool, denied);
        QFETCH(int, membership);
        QFETCH(QString, advice);
        QFETCH(QString, notAdvice);
        OpenFailure failure;
        failure.error = QSerialPort::SerialPortError(error);
        failure.reason = QStringLiteral("The system's words");
        failure.path = path;
        failure.denied = denied;
        failure.group = QStringLiteral("dialout");
        failure.user = QStringLiteral("pilot");
        failure.inGroupAtLogin = membership >= 1;
        failure.inGroup = membership == 2;
        const QString details = openFailureDetails(failure);
        QVERIFY2(details.startsWith(QLatin1String("The system's words\n\n")), qPrintable(details));
        QVERIFY2(details.contains(advice), qPrintable(details));
        QVERIFY2(!details.contains(notAdvice), qPrintable(details));
    }

    void failedOpenSaysWhy_data()
    {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<QString>("reason");
        QTest::addColumn<QString>("advice");
        QTest::newRow("no such device") << "missing"
                                        << "No such file or directory"
                                        << "Nothing is connected as /dev/ttyKORVA-none";
        QTest::newRow("permission denied") << "denied"
                                           << "Permission denied"
                                           << "belongs to the group \"%1\"";
        QTest::newRow("in use") << "locked"
                                << "lock"
                                << "Another program is using";
    }

    void failedOpenSaysWhy()
    {
        QFETCH(QString, situation);
        QFETCH(QString, reason);
        QFETCH(QString, advice);
        WindowFixture f;
        QString port = f.pty.slavePath();
        QSerialPort holder(port);
        if (situation == QLatin1String("missing"))
            port = QStringLiteral("/dev/ttyKORVA-none");
        else if (situation == QLatin1String("denied"))
            qstrncpy(deniedPath, QFile::encodeName(port).constData(), sizeof deniedPath);
        else
            QVERIFY(holder.open(QIODevice::ReadWrite));
        if (advice.contains(QLatin1String("%1")))
            advice = advice.arg(QFileInfo(port).group());
        f.window->addPort(port);
        f.button("openButton")->click();
        QCOMPARE(f.watcher.messages(), QStringList{"Note|Cannot open the serial port!"});
        QCOMPARE(f.watcher.kinds(), QStringList{"information|OK|no default"});
        QCOMPARE(f.watcher.details().size(), 1);
        const QString details = f.watcher.details().first();
        QVERIFY2(details.section(QLatin1Char('\n'), 0, 0).contains(reason, Qt::CaseInsensitive),
                 qPrintable(details));
        QVERIFY2(details.contains(advice), qPrintable(details));
        QCOMPARE(f.button("openButton")->text(), QStringLiteral("OPEN"));
        QVERIFY(f.w<QComboBox>("portNameBox")->isEnabled());
        QVERIFY(f.pty.received().isEmpty());
    }

    void buttonsShowWhichClicksAreIgnored_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<int>("bytes"); // what the operation puts on the line
        QTest::newRow("WRITE") << "toolButton_Send" << 246;
        QTest::newRow("RESET") << "toolButton_Reset" << 246;
        QTest::newRow("SAVE") << "toolButton_Save" << 243;
    }

    void buttonsShowWhichClicksAreIgnored()
    {
        QFETCH(QString, buttonName);
        QFETCH(int, bytes);
        WindowFixture f;
        QTemporaryDir dir;
        f.watcher.queueFile(dir.filePath(QStringLiteral("saved.txt")));
        QVERIFY(f.open());
        QCOMPARE(lookAt(f).enabled, allButtons());
        Look inGuard, sending;
        QTimer::singleShot(0, f.window.get(),
                           [&] { f.button(buttonName.toLatin1().constData())->click(); });
        QTimer::singleShot(100, f.window.get(), [&] { inGuard = lookAt(f); });
        QTimer::singleShot(1200, f.window.get(), [&] { sending = lookAt(f); });
        QVERIFY(f.pty.waitForBytes(bytes, 5000));
        // Until the operation is done every button ignores its click, the clicked one too, and
        // is shown so.
        QCOMPARE(inGuard.enabled, QStringList());
        QVERIFY(inGuard.busy);
        QCOMPARE(sending.enabled, QStringList());
        QVERIFY(sending.busy);
        QTRY_COMPARE_WITH_TIMEOUT(lookAt(f).enabled, allButtons(), 2000);
        QTRY_VERIFY(!lookAt(f).busy);
    }

    void readShowsItIsWorkingAndIgnoresNothing()
    {
        WindowFixture f;
        QVERIFY(f.open());
        Look inGuard, waiting;
        bool returned = false;
        QTimer::singleShot(0, f.window.get(), [&] {
            f.button("toolButton_Read")->click();
            returned = true;
        });
        QTimer::singleShot(100, f.window.get(), [&] { inGuard = lookAt(f); });
        QTimer::singleShot(450, f.window.get(), [&] { waiting = lookAt(f); });
        QTRY_VERIFY_WITH_TIMEOUT(returned, 3000);
        QCOMPARE(inGuard.enabled, allButtonsBut(QStringLiteral("toolButton_Read")));
        QVERIFY(inGuard.busy);
        QCOMPARE(waiting.enabled, allButtons());
        QVERIFY(waiting.busy);
        QVERIFY(!lookAt(f).busy);
        QCOMPARE(f.pty.received(), QByteArray("RR"));
    }

    void closingPortMidWriteFreesTheButtons()
    {
        WindowFixture f;
        QVERIFY(f.open());
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        Look afterClose;
        QTimer::singleShot(500, f.window.get(), [&] {
            f.button("openButton")->click();
            afterClose = lookAt(f);
        });
        QTest::qWait(700);
        // The WRITE's remaining waits still run, but nothing it would block is blocked.
        QCOMPARE(afterClose.enabled, allButtons());
        QTRY_VERIFY_WITH_TIMEOUT(!lookAt(f).busy, 3000);
    }

    void closingWithoutChangesDoesNotAsk()
    {
        WindowFixture f;
        QVERIFY(f.open());
        // Live values change all the time; they are not settings.
        f.pty.send(hexBytes("FE1803E803E903EA03EB03EC03ED03EE03EF0101"));
        QTRY_COMPARE(ParamData.Servo2, 0x3E9);
        QVERIFY(!f.window->settingsChanged());
        QVERIFY(f.window->close());
        QVERIFY(!f.window->isVisible());
        QCOMPARE(f.watcher.messages(), QStringList());
    }

    void closingWithChangesAsksOnce_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<bool>("writes");
        QTest::newRow("write first") << "Write first" << true << true;
        QTest::newRow("close anyway") << "Close anyway" << true << false;
        QTest::newRow("cancel") << "Cancel" << false << false;
    }

    void closingWithChangesAsksOnce()
    {
        QFETCH(QString, answer);
        QFETCH(bool, closes);
        QFETCH(bool, writes);
        WindowFixture f;
        QVERIFY(f.open());
        f.w<QSpinBox>("spinBox_sub1")->setValue(-100);
        QVERIFY(f.window->settingsChanged());
        f.watcher.queueAnswer(answer);
        f.window->close();
        QCOMPARE(f.watcher.offers().size(), 1);
        QCOMPARE(offered(f.watcher.offers().first()),
                 offered(QStringLiteral("Cancel|Close anyway|Write first")));
        if (writes) {
            QVERIFY(f.pty.waitForBytes(246, 5000));
            const QByteArray wire = f.pty.received();
            QCOMPARE(wire.mid(9, 2), QByteArray("14")); // sub1 = -100
            QCOMPARE(wire.mid(243), QByteArray("WWW"));
            QTRY_VERIFY_WITH_TIMEOUT(!f.window->isVisible(), 2000);
        }
        QTest::qWait(300);
        QCOMPARE(f.window->isVisible(), !closes);
        QCOMPARE(f.watcher.messages().size(), 1);
        if (!writes)
            QVERIFY(f.pty.received().isEmpty());
        QCOMPARE(f.window->settingsChanged(), !writes);
    }

    void closingWithChangesAndThePortClosedOffersNoWrite()
    {
        WindowFixture f;
        f.w<QSpinBox>("spinBox_FS2")->setValue(20);
        f.watcher.queueAnswer(QStringLiteral("Close anyway"));
        f.window->close();
        QCOMPARE(f.watcher.offers().size(), 1);
        QCOMPARE(offered(f.watcher.offers().first()),
                 offered(QStringLiteral("Cancel|Close anyway")));
        QVERIFY(!f.window->isVisible());
    }

    void closingDuringWriteWaitsThenClosesWithoutAsking()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.w<QSpinBox>("spinBox_sub1")->setValue(30);
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        QTimer::singleShot(500, f.window.get(), [&] { f.window->close(); });
        QVERIFY(f.pty.waitForBytes(246, 5000));
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->isVisible(), 2000);
        QCOMPARE(f.watcher.messages(), QStringList());
    }

    void operationsMatchTheWindowWithWhatTheyTouched_data()
    {
        QTest::addColumn<QString>("operation");
        QTest::newRow("WRITE") << "toolButton_Send";
        QTest::newRow("RESET") << "toolButton_Reset";
        QTest::newRow("SAVE") << "toolButton_Save";
        QTest::newRow("LOAD") << "toolButton_Load";
        QTest::newRow("READ's answer") << "answer";
    }

    void operationsMatchTheWindowWithWhatTheyTouched()
    {
        QFETCH(QString, operation);
        WindowFixture f;
        QVERIFY(f.open());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("params.txt"));
        ParamStore onDisk;
        onDisk.sub1 = -50;
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(buildParameterFile(onDisk));
        file.close();
        f.watcher.queueFile(path);

        f.w<QSpinBox>("spinBox_sub1")->setValue(70);
        QVERIFY(f.window->settingsChanged());
        if (operation == QLatin1String("answer"))
            f.pty.send(hexBytes("FE00557864827878787878FE")); // sub1..sub8
        else
            f.button(operation.toLatin1().constData())->click();
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->settingsChanged(), 5000);
        // Editing again is a change again.
        f.w<QSpinBox>("spinBox_sub1")->setValue(f.w<QSpinBox>("spinBox_sub1")->value() + 1);
        QVERIFY(f.window->settingsChanged());
    }

    void settingsFrameAnswersOnlyForItsOwnFields()
    {
        WindowFixture f;
        QVERIFY(f.open());
        auto *lepa1 = f.w<QSpinBox>("spinBox_Lepa1");
        const int before = lepa1->value();
        lepa1->setValue(before - 10);
        f.w<QSpinBox>("spinBox_sub2")->setValue(33);
        f.pty.send(hexBytes("FE00557864827878787878FE")); // sub1..sub8, sub2 = -20
        QTRY_COMPARE(ParamData.sub2, -20);
        QVERIFY(f.window->settingsChanged()); // the end point was not in that answer
        lepa1->setValue(before);
        QVERIFY(!f.window->settingsChanged());
    }

    void aPortThatOpenedIsOfferedNextTime_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("remembered");
        QTest::newRow("a device link that opened") << "link" << true;
        QTest::newRow("a pseudo-terminal") << "pty" << false;
        QTest::newRow("a port that did not open") << "missing" << false;
    }

    void aPortThatOpenedIsOfferedNextTime()
    {
        QFETCH(QString, kind);
        QFETCH(bool, remembered);
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("korva-config.conf")), QSettings::IniFormat);
        QString port;
        {
            WindowFixture f;
            f.window->useSettings(&settings);
            port = f.pty.slavePath();
            if (kind == QLatin1String("link")) {
                port = dir.filePath(QStringLiteral("ttyKORVA"));
                QVERIFY(QFile::link(f.pty.slavePath(), port));
            } else if (kind == QLatin1String("missing")) {
                port = QStringLiteral("/dev/ttyKORVA-none");
            }
            f.window->addPort(port);
            f.button("openButton")->click();
            QCOMPARE(f.button("openButton")->text() == QLatin1String("CLOSE"),
                     kind != QLatin1String("missing"));
            QCOMPARE(settings.value(QStringLiteral("serial/port")).toString(),
                     remembered ? port : QString());

            // The next run, while the device is still there.
            MainWindow next;
            next.useSettings(&settings);
            auto *ports = next.findChild<QComboBox *>(QStringLiteral("portNameBox"));
            QCOMPARE(ports->currentText() == port, remembered);
        }
        // The run after that, with the device gone: nothing stale is offered.
        MainWindow later;
        later.useSettings(&settings);
        auto *ports = later.findChild<QComboBox *>(QStringLiteral("portNameBox"));
        QCOMPARE(ports->findText(port), -1);
    }

    void windowComesBackWhereItWas()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("korva-config.conf")), QSettings::IniFormat);
        const QPoint place(37, 23);
        {
            MainWindow first;
            first.useSettings(&settings);
            first.move(place);
            first.show();
            QVERIFY(QTest::qWaitForWindowExposed(&first));
            QVERIFY(first.close());
        }
        MainWindow next;
        next.useSettings(&settings);
        next.show();
        QVERIFY(QTest::qWaitForWindowExposed(&next));
        // Its frame's corner, as the first one left it: not drifting by the frame each run.
        QTRY_COMPARE(next.pos(), place);
    }
};

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
