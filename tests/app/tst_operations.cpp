// SPDX-License-Identifier: GPL-3.0-or-later
// READ, WRITE and RESET on the wire, with the pacing the transmitter relies on, and the
// decoder's answers to what the transmitter sends.
#include "windowfixture.h"

#include "factory.h"
#include "frames.h"
#include "testdata.h"
#include "transmitterlink.h"
#include "transmittermodel.h"

#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>

#include <functional>

namespace {

const QByteArray kFactoryS = factoryFrame('S');
const QByteArray kFactoryG = factoryFrame('G');
const QByteArray kFactoryH = factoryFrame('H');

// The notes are about boxes: the program's icon (none in the tests) in place of a standard
// icon, and one OK button that is not the default.
const QStringList kNoteBox{QStringLiteral("picture|OK|no default")};

QByteArray hexBytes(const char *hex)
{
    return QByteArray::fromHex(hex);
}

// Runs the action once the line has carried n bytes, inside whatever event loop runs then.
void onceReceived(PtyPair &pty, int n, const std::function<void()> &action)
{
    auto *poll = new QTimer(&pty);
    QObject::connect(poll, &QTimer::timeout, &pty, [&pty, poll, n, action] {
        if (pty.received().size() < n)
            return;
        poll->stop();
        action();
    });
    poll->start(5);
}

} // namespace

class TestOperations : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initTestResources(); }

    void refusedWhilePortClosed_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::newRow("READ") << "toolButton_Read";
        QTest::newRow("WRITE") << "toolButton_Send";
        QTest::newRow("RESET") << "toolButton_Reset";
    }

    void refusedWhilePortClosed()
    {
        QFETCH(QString, buttonName);
        WindowFixture f;
        ParamData.sub1 = 42;
        ParamData.Mode = 3;
        const ParamStore before = ParamData;
        QAbstractButton *b = f.button(buttonName.toLatin1().constData());
        QElapsedTimer t;
        t.start();
        // The click runs the whole operation in nested event loops: look at the button from
        // inside them.
        bool enabledDuringGuard = true;
        QTimer::singleShot(0, f.window.get(), [b] { b->click(); });
        QTimer::singleShot(100, f.window.get(), [&] { enabledDuringGuard = b->isEnabled(); });
        // The button is held back for the guard time, then the refusal shows.
        QTRY_VERIFY_WITH_TIMEOUT(!f.watcher.messages().isEmpty(), 2000);
        QVERIFY(t.elapsed() >= 190);
        QCOMPARE(f.watcher.messages(),
                 QStringList{QStringLiteral("Note|Please open the serial port!")});
        QCOMPARE(f.watcher.kinds(), kNoteBox);
        QVERIFY(!enabledDuringGuard);
        QVERIFY(b->isEnabled());
        QTest::qWait(100);
        QVERIFY(f.pty.received().isEmpty());
        QVERIFY(ParamData == before);
    }

    void readSendsRrAfterGuardAndWaitsHalfASecond()
    {
        WindowFixture f;
        QVERIFY(f.open());
        const qint64 clickAt = f.pty.elapsedMs();
        bool returned = false;
        qint64 returnedAt = 0;
        QTimer::singleShot(0, f.window.get(), [&] {
            f.button("toolButton_Read")->click();
            returned = true;
            returnedAt = f.pty.elapsedMs();
        });
        bool enabledDuringGuard = true;
        QTimer::singleShot(100, f.window.get(),
                           [&] { enabledDuringGuard = f.button("toolButton_Read")->isEnabled(); });
        QVERIFY(f.pty.waitForBytes(2, 2000));
        QVERIFY(!enabledDuringGuard);
        QCOMPARE(f.pty.received(), QByteArray("RR"));
        const qint64 rrAt = f.pty.timeOfByte(0);
        QVERIFY2(rrAt - clickAt >= 190 && rrAt - clickAt < 450,
                 qPrintable(QString::number(rrAt - clickAt)));
        QVERIFY(f.button("toolButton_Read")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(returned, 2000);
        QVERIFY(returnedAt - clickAt >= 690);
    }

    // The pilot hears what an answer lacked once it has stopped coming, and what the range
    // check replaced; the frames that came stay shown.
    void readTellsWhatItsAnswerLacked_data()
    {
        QTest::addColumn<int>("lost"); // a kind byte, or -1: every frame
        QTest::addColumn<int>("sub3");
        QTest::addColumn<QStringList>("told");
        QTest::newRow("whole") << 0 << 5 << QStringList();
        QTest::newRow("sub-trims lost")
            << 0x55 << 5 << QStringList{"READ incomplete: 1 of 19", "settings of Channels"};
        QTest::newRow("none") << -1 << 5
                              << QStringList{"did not answer", "Channels, Parameters, Attitude"};
        QTest::newRow("out of range")
            << 0 << 120 << QStringList{"Channels: Sub-trim CH3: received 120, kept 0"};
    }

    void readTellsWhatItsAnswerLacked()
    {
        QFETCH(int, lost);
        QFETCH(int, sub3);
        QFETCH(QStringList, told);
        WindowFixture f;
        QVERIFY(f.open());
        const ParamStore held =
            withValues(ParamStore(), {{&ParamStore::Atti3, 77}, {&ParamStore::sub3, sub3}});
        onceReceived(f.pty, 2, [&] {
            for (const QByteArray &frame : encodeSettingsAnswer(held)) {
                if (lost >= 0 && quint8(frame.at(2)) != lost)
                    f.pty.send(frame);
            }
        });
        f.button("toolButton_Read")->click();
        const auto shown = [&f] {
            const auto *notice = f.w<QLabel>("checkNotice");
            return notice && notice->isVisible() ? notice->text() : QString();
        };
        QTest::qWait(1300); // a second after the answer stopped
        QCOMPARE(shown().isEmpty(), told.isEmpty());
        for (const QString &part : told)
            QVERIFY2(shown().contains(part), qPrintable(shown()));
        QCOMPARE(ParamData.Atti3, lost < 0 ? 44 : 77);
    }

    void readRepeatsDuringItsOwnWait()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.button("toolButton_Read")->click();
        QVERIFY(f.pty.waitForBytes(2, 2000));
        f.button("toolButton_Read")->click();
        QVERIFY(f.pty.waitForBytes(4, 2000));
        QCOMPARE(f.pty.received(), QByteArray("RRRR"));
    }

    void writeSendsThreeFramesPacedThenWww()
    {
        WindowFixture f;
        QVERIFY(f.open());
        applyFactoryValues(ParamData);
        ParamData.sub1 = -100;
        const qint64 clickAt = f.pty.elapsedMs();
        bool enabledDuringGuard = true, enabledWhileSending = true;
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        QTimer::singleShot(100, f.window.get(),
                           [&] { enabledDuringGuard = f.button("toolButton_Send")->isEnabled(); });
        QTimer::singleShot(600, f.window.get(),
                           [&] { enabledWhileSending = f.button("toolButton_Send")->isEnabled(); });
        QVERIFY(f.pty.waitForBytes(246, 5000));
        QVERIFY(!enabledDuringGuard);
        QVERIFY(!enabledWhileSending); // a second click would be ignored: it looks so
        QTest::qWait(100);
        const QByteArray wire = f.pty.received();
        QCOMPARE(wire.size(), 246);
        QByteArray expectedS = kFactoryS;
        expectedS.replace(9, 2, "14");
        QCOMPARE(wire.mid(0, 81), expectedS);
        QCOMPARE(wire.mid(81, 81), kFactoryG);
        QCOMPARE(wire.mid(162, 81), kFactoryH);
        QCOMPARE(wire.mid(243), QByteArray("WWW"));
        const qint64 s = f.pty.timeOfByte(0), g = f.pty.timeOfByte(81), h = f.pty.timeOfByte(162),
                     www = f.pty.timeOfByte(243);
        QVERIFY2(s - clickAt >= 190, qPrintable(QString::number(s - clickAt)));
        QVERIFY2(g - s >= 790 && g - s < 1100, qPrintable(QString::number(g - s)));
        QVERIFY2(h - g >= 790 && h - g < 1100, qPrintable(QString::number(h - g)));
        QVERIFY2(www - h >= 790 && www - h < 1100, qPrintable(QString::number(www - h)));
        // Sending the same store again gives the same bytes.
        QCOMPARE(SendBuf1.toLatin1(), expectedS);
    }

    void resetSendsFactoryFramesAndKeepsUnsentFields()
    {
        WindowFixture f;
        QVERIFY(f.open());
        ParamData.sub4 = 55;
        ParamData.Mode = 4;
        ParamData.THCURE_Data03 = 90;
        ParamData.DR_RATE = 77;
        ParamData.Vertion = 321;
        f.button("toolButton_Reset")->click();
        QVERIFY(f.pty.waitForBytes(246, 1000));
        QCOMPARE(f.pty.received(), kFactoryS + kFactoryG + kFactoryH + "WWW");
        QCOMPARE(ParamData.Mode, 2);
        QCOMPARE(ParamData.Volt, 3.7);
        QCOMPARE(ParamData.Vertion, 321);
    }

    void overlappingOperationsAreIgnoredWhileSending_data()
    {
        QTest::addColumn<QString>("second");
        QTest::newRow("WRITE") << "toolButton_Send";
        QTest::newRow("RESET") << "toolButton_Reset";
        QTest::newRow("READ") << "toolButton_Read";
        QTest::newRow("SAVE") << "toolButton_Save";
        QTest::newRow("LOAD") << "toolButton_Load";
    }

    void overlappingOperationsAreIgnoredWhileSending()
    {
        QFETCH(QString, second);
        WindowFixture f;
        QVERIFY(f.open());
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        // Nested inside the WRITE's waits: click the second operation mid-sequence.
        QTimer::singleShot(500, f.window.get(),
                           [&] { f.button(second.toLatin1().constData())->click(); });
        QTimer::singleShot(1300, f.window.get(),
                           [&] { f.button(second.toLatin1().constData())->click(); });
        QVERIFY(f.pty.waitForBytes(246, 5000));
        QTest::qWait(1200);
        const QByteArray wire = f.pty.received();
        QCOMPARE(wire.size(), 246);
        QCOMPARE(wire.at(0), 'S');
        QCOMPARE(wire.at(81), 'G');
        QCOMPARE(wire.at(162), 'H');
        QVERIFY(f.watcher.dialogCaptions().isEmpty());
    }

    void closingThePortMidWriteEndsTheSequenceQuietly()
    {
        WindowFixture f;
        QVERIFY(f.open());
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        QTimer::singleShot(500, f.window.get(), [&] { f.button("openButton")->click(); });
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &m) {
                if (type == QtWarningMsg && m.contains(QLatin1String("not open")))
                    warnings << m;
            });
        QTest::qWait(3000);
        qInstallMessageHandler(previous);
        QCOMPARE(warnings, QStringList()); // nothing was written to the closed port
        const QByteArray wire = f.pty.received();
        QCOMPARE(wire.size(), 81 + 3);
        QCOMPARE(wire.at(0), 'S');
        QCOMPARE(wire.mid(81), QByteArray("DIS"));
        QCOMPARE(f.button("openButton")->text(), QStringLiteral("OPEN"));
    }

    void interruptedOperationSaysNothingOnTheNextConnection_data()
    {
        QTest::addColumn<QString>("buttonName");
        QTest::addColumn<bool>("deviceLost"); // else CLOSE is clicked; then the same port reopens
        QTest::newRow("WRITE, closed") << "toolButton_Send" << false;
        QTest::newRow("RESET, closed") << "toolButton_Reset" << false;
        QTest::newRow("SAVE, closed") << "toolButton_Save" << false;
        QTest::newRow("WRITE, device lost") << "toolButton_Send" << true;
        QTest::newRow("SAVE, device lost") << "toolButton_Save" << true;
    }

    void interruptedOperationSaysNothingOnTheNextConnection()
    {
        QFETCH(QString, buttonName);
        QFETCH(bool, deviceLost);
        WindowFixture f;
        PtyPair other;
        PtyPair &next = deviceLost ? other : f.pty;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("saved.txt"));
        f.watcher.queueFile(path);
        QVERIFY(f.open());
        applyFactoryValues(ParamData);
        QTimer::singleShot(0, f.window.get(),
                           [&] { f.button(buttonName.toLatin1().constData())->click(); });
        // After the S frame, long before the G frame.
        onceReceived(f.pty, 81, [&] {
            if (deviceLost)
                f.pty.closeMaster();
            else
                f.button("openButton")->click();
        });
        // Once closed: READ is not held back, then reopen and WRITE a changed set at once.
        qint64 writeAt = 0;
        QTimer reopen;
        connect(&reopen, &QTimer::timeout, f.window.get(), [&] {
            if (f.button("openButton")->text() != QLatin1String("OPEN"))
                return;
            reopen.stop();
            f.button("toolButton_Read")->click();
            f.w<QComboBox>("portNameBox")->setEditText(next.slavePath());
            f.button("openButton")->click();
            ParamData.sub1 = -100;
            writeAt = next.elapsedMs();
            f.button("toolButton_Send")->click();
        });
        reopen.start(10);
        f.pty.collect(4500);
        other.collect(1);
        QCOMPARE(f.watcher.messages(), QStringList{"Note|Please open the serial port!"});
        QCOMPARE(f.watcher.kinds(), kNoteBox);
        if (buttonName == QLatin1String("toolButton_Save"))
            QCOMPARE(readBytes(path), kFactoryS + kFactoryG + kFactoryH);
        QByteArray newS = kFactoryS;
        newS.replace(9, 2, "14");
        const QByteArray before = deviceLost ? QByteArray() : kFactoryS + "DIS";
        QCOMPARE(next.received(), before + "OK" + newS + kFactoryG + kFactoryH + "WWW");
        const qint64 s = next.timeOfByte(before.size() + 2);
        QVERIFY2(s - writeAt >= 190 && s - writeAt < 450, qPrintable(QString::number(s - writeAt)));
    }

    // The WRITE on the reopened line starts while the SAVE still waits after its S frame, and
    // builds its frames into the same buffers: the file keeps what the SAVE built.
    void saveFilesItsOwnFramesWhenAWriteStartsInItsWait()
    {
        WindowFixture f;
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("saved.txt"));
        f.watcher.queueFile(path);
        QVERIFY(f.open());
        applyFactoryValues(ParamData);
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Save")->click(); });
        onceReceived(f.pty, 81, [&] {
            f.button("openButton")->click();
            QCOMPARE(f.button("openButton")->text(), QStringLiteral("OPEN"));
            f.button("openButton")->click();
            ParamData.sub1 = -100;
            f.button("toolButton_Send")->click();
        });
        f.pty.collect(4500);
        QCOMPARE(readBytes(path), kFactoryS + kFactoryG + kFactoryH);
        QByteArray newS = kFactoryS;
        newS.replace(9, 2, "14");
        QVERIFY(f.pty.received().endsWith(QByteArray(newS + kFactoryG + kFactoryH + "WWW")));
    }

    void closingMidWriteSendsTheWholeSetOrNoWww_data()
    {
        QTest::addColumn<bool>("byWindow");
        QTest::newRow("window closed: the whole set goes out first") << true;
        QTest::newRow("application quit: stops at once, no WWW") << false;
    }

    void closingMidWriteSendsTheWholeSetOrNoWww()
    {
        QFETCH(bool, byWindow);
        WindowFixture f;
        QVERIFY(f.open());
        applyFactoryValues(ParamData);
        const qint64 clickAt = f.pty.elapsedMs();
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        onceReceived(f.pty, 81, [&] {
            if (byWindow)
                f.window->close();
            else
                QCoreApplication::quit();
        });
        bool liveMeanwhile = false;
        QTimer::singleShot(1200, f.window.get(), [] { ParamData.Servo1 = 1500; });
        QTimer::singleShot(1500, f.window.get(), [&] {
            liveMeanwhile = f.window->isVisible() &&
                            f.w<QLineEdit>("lineEdit")->text() == QLatin1String("1500");
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        watchdog.start(8000);
        // The real path: the window closes, the event loop ends, then the window goes.
        QCOMPARE(QCoreApplication::exec(), 0);
        const qint64 exitedAt = f.pty.elapsedMs();
        f.window.reset();
        f.pty.collect(300);
        if (!byWindow) {
            QCOMPARE(f.pty.received(), kFactoryS);
            QVERIFY2(exitedAt - clickAt < 1200, qPrintable(QString::number(exitedAt - clickAt)));
            return;
        }
        QCOMPARE(f.pty.received(), kFactoryS + kFactoryG + kFactoryH + "WWW");
        QVERIFY(liveMeanwhile);
        const qint64 h = f.pty.timeOfByte(162), www = f.pty.timeOfByte(243);
        QVERIFY2(www - h >= 790, qPrintable(QString::number(www - h)));
        QVERIFY2(exitedAt - www < 500, qPrintable(QString::number(exitedAt - www)));
    }

    void closeWaitingForAWriteIsDoneWhenTheDeviceGoes()
    {
        WindowFixture f;
        QVERIFY(f.open());
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        // The close waits for the WRITE; the device then goes away, which ends the WRITE:
        // the window closes then, not at some later WRITE.
        onceReceived(f.pty, 81, [&] {
            f.window->close();
            QTimer::singleShot(200, f.window.get(), [&] { f.pty.closeMaster(); });
        });
        QTimer watchdog;
        watchdog.setSingleShot(true);
        connect(&watchdog, &QTimer::timeout, qApp, [] { QCoreApplication::exit(1); });
        watchdog.start(1500);
        QCOMPARE(QCoreApplication::exec(), 0);
        QVERIFY(!f.window->isVisible());
    }

    void settingsChunkIsCheckedAndReselectedBeforeItsAnswer_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<int>("expected");
        // Spare2 arrives as 100, outside its range.
        QTest::newRow("range check")
            << hexBytes("FE00AB0000006EC8000000FE") << QByteArray("Spare2") << -100;
        // DR_UP_CH1 = 60; DR_UP1 mirrors channel 1.
        QTest::newRow("D/R mirror")
            << hexBytes("FE00A53C64646464646464FE") << QByteArray("DR_UP1") << 60;
    }

    void settingsChunkIsCheckedAndReselectedBeforeItsAnswer()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, field);
        QFETCH(int, expected);
        WindowFixture f;
        QVERIFY(f.open());
        // Let the refresh settle the widgets, then stop it: it must not do the decoder's work.
        QTest::qWait(250);
        f.window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        f.pty.send(frame);
        QVERIFY(f.pty.waitForBytes(3, 2000));
        QCOMPARE(ParamData.*findIntField(field.constData())->member, expected);
    }

    // Each settings frame is shown at once. Were the D/R boxes still showing the entry from
    // before the first frame, the second frame's refresh would write that back over it.
    void dualRateFramesInQuickSuccessionAreWrittenAsReceived()
    {
        WindowFixture f;
        LinkPacing fast;
        fast.percent = 10;
        f.window->findChild<TransmitterLink *>()->setPacing(fast);
        QVERIFY(f.open());
        QTest::qWait(250);
        f.window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        const QByteArray first = hexBytes("FE00A537646464646464"
                                          "64FE"); // DR_UP_CH1 55
        const QByteArray second = hexBytes("FE00A546646464646464"
                                           "64FE"); // 70
        f.pty.send(first);
        QTest::qWait(10); // two chunks, and no periodic refresh between them
        f.pty.send(second);
        QTRY_COMPARE(ParamData.DR_UP_CH1, 70);
        QTest::qWait(50);
        f.pty.clearReceived();
        f.button("toolButton_Send")->click();
        QVERIFY(f.pty.waitForBytes(246, 3000));
        QCOMPARE(f.pty.received().mid(162 + 1, 2), QByteArray("56")); // 70 + 16
    }

    void everyChunkIsAnsweredWithWww_data()
    {
        QTest::addColumn<QByteArray>("chunk");
        QTest::newRow("channel") << hexBytes("FE1803E803E803E803E803E803E803E803E804D2");
        QTest::newRow("garbage") << hexBytes("0102030405");
        QTest::newRow("two frames in one")
            << hexBytes("FE1803E803E803E803E803E803E803E803E804D2FE00557864827878787878FE");
        QTest::newRow("parameter without end marker") << hexBytes("FE00557864827878787878"
                                                                  "00");
    }

    void everyChunkIsAnsweredWithWww()
    {
        QFETCH(QByteArray, chunk);
        WindowFixture f;
        QVERIFY(f.open());
        f.pty.send(chunk);
        QVERIFY(f.pty.waitForBytes(3, 2000));
        QTest::qWait(150);
        QCOMPARE(f.pty.received(), QByteArray("WWW"));
    }

    void channelFrameReachesMonitor()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.pty.send(hexBytes("FE18"
                            "0000"
                            "03E7"
                            "03E9"
                            "07D0"
                            "03E8"
                            "03E8"
                            "03E8"
                            "0001"
                            "04D2"));
        QTRY_COMPARE_WITH_TIMEOUT(f.w<QLineEdit>("lineEdit_8")->text(), QStringLiteral("1"), 2000);
        QCOMPARE(f.w<QLineEdit>("lineEdit")->text(), QStringLiteral("0"));
        QCOMPARE(ParamData.TX_Volt, 1234);
        QTRY_COMPARE(f.w<QLineEdit>("lineEdit_TX")->text(), QStringLiteral("12.3 V"));
        QCOMPARE(f.w<QProgressBar>("progressBar_10")->value(), 1010);
        QCOMPARE(f.w<QProgressBar>("progressBar_20")->value(), 11);
        QCOMPARE(f.w<QProgressBar>("progressBar_31")->value(), 999);
        QCOMPARE(f.w<QProgressBar>("progressBar_41")->value(), 0);
    }

    void frameSplitByTheDriverIsReassembled()
    {
        WindowFixture f;
        QVERIFY(f.open());
        const QByteArray frame = hexBytes("FE00557864827878787878FE");
        f.pty.send(frame.left(5));
        QVERIFY(f.pty.waitForBytes(3, 2000));
        f.pty.send(frame.mid(5));
        QVERIFY(f.pty.waitForBytes(6, 2000));
        QCOMPARE(ParamData.sub2, -20);
        QCOMPARE(ParamData.sub3, 10);
        QCOMPARE(f.pty.received(), QByteArray("WWWWWW"));
    }

    void frameWaitingForAReadThatNeverComesIsTakenAfterTheHoldTime()
    {
        WindowFixture f;
        QVERIFY(f.open());
        // A channel frame, then one byte FE. From its byte 15 on, the channel frame reads
        // FE 18 ..., the start of another channel frame after a cut; which one the line
        // carried, only the next read can tell, so the channel frame waits for it. None comes;
        // after the hold time the channel frame is taken.
        f.pty.send(hexBytes("FE1803E803E803E803E803E803E803FE18400200"
                            "FE"));
        QVERIFY(f.pty.waitForBytes(3, 2000));
        QElapsedTimer t;
        t.start();
        QTRY_COMPARE_WITH_TIMEOUT(ParamData.Servo7, 0x03FE, 1000);
        QVERIFY2(t.elapsed() <= FrameAssembler::kHoldMs + 100,
                 qPrintable(QString::number(t.elapsed())));
        QCOMPARE(ParamData.Servo8, 0x1840);
        QCOMPARE(ParamData.TX_Volt, 0x0200);
        QCOMPARE(ParamData.ReadFlag, 0);               // no reverse frame was taken
        QCOMPARE(f.pty.received(), QByteArray("WWW")); // one chunk, one answer
    }

    void parameterFrameShowsAtOnce()
    {
        WindowFixture f;
        QVERIFY(f.open());
        // The refresh would catch up within 100 ms anyway; stop it to see the immediate one.
        f.window->findChild<QTimer *>()->stop();
        QTest::qWait(150);
        f.pty.send(hexBytes("FE00557864827878787878FE"));
        QTRY_COMPARE_WITH_TIMEOUT(f.w<QSpinBox>("spinBox_sub3")->value(), 10, 2000);
        QCOMPARE(f.w<QSpinBox>("spinBox_sub2")->value(), -20);
    }

    void rssiAboveHundredShowsStrongestLevel_data()
    {
        QTest::addColumn<int>("rssi");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "null";
        QTest::newRow("40") << 40 << "-60dBm";
        QTest::newRow("95") << 95 << "-05dBm";
        QTest::newRow("100") << 100 << "-00dBm";
        QTest::newRow("105") << 105 << "-00dBm";
        QTest::newRow("255") << 255 << "-00dBm";
    }

    void rssiAboveHundredShowsStrongestLevel()
    {
        QFETCH(int, rssi);
        QFETCH(QString, text);
        WindowFixture f;
        QVERIFY(f.open());
        f.pty.send(hexBytes("FE19") + QByteArray(1, char(rssi)) +
                   hexBytes("00007A0000000000000000000000000000"));
        QTRY_COMPARE_WITH_TIMEOUT(f.w<QLineEdit>("lineEdit_EXT")->text(), QStringLiteral("12.2 V"),
                                  2000);
        QCOMPARE(f.w<QLineEdit>("lineEdit_RSSI")->text(), text);
    }
};

QTEST_MAIN(TestOperations)
#include "tst_operations.moc"
