// SPDX-License-Identifier: GPL-3.0-or-later
// SAVE and LOAD through the real dialogs: the 243-byte file, the parser's tolerance of short
// and damaged files, and that a failing disk or a special file never costs the user a file.
#include "../app/windowfixture.h"

#include "factory.h"
#include "frames.h"
#include "testdata.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace {

const QByteArray kFactoryFile = factoryFrames();

// A file that cannot be read or written is reported in a critical box with its one OK button,
// which Enter presses.
const QStringList kErrorBox{QStringLiteral("critical|OK|default OK")};

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(writeBytes(path, bytes));
}

QStringList debugLines;
void captureDebug(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtDebugMsg)
        debugLines.append(msg);
}

// Runs a top-bar operation to its end, as a click would.
void run(WindowFixture &f, const char *button)
{
    bool done = false;
    QTimer::singleShot(0, f.window.get(), [&] {
        f.button(button)->click();
        done = true;
    });
    QTRY_VERIFY_WITH_TIMEOUT(done, 10000);
}

} // namespace

class TestParamFile : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        initTestResources();
        QVERIFY(m_dir.isValid());
    }

    void saveWritesTheThreeFramesAndPacesLikeWrite()
    {
        WindowFixture f;
        applyFactoryValues(ParamData);
        const QString path = m_dir.filePath(QStringLiteral("factory.txt"));
        f.watcher.queueFile(path);
        QElapsedTimer t;
        t.start();
        debugLines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
        run(f, "toolButton_Save");
        qInstallMessageHandler(previous);
        QVERIFY(t.elapsed() >= 2550);
        QCOMPARE(readBytes(path), kFactoryFile);
        QCOMPARE(f.watcher.dialogCaptions(), QStringList{QStringLiteral("SAVE")});
        QCOMPARE(f.watcher.dialogFilters().value(0),
                 QStringLiteral("file (*.txt *.dat);;allfile (*.*) @file (*.txt *.dat)"));
        QCOMPARE(f.watcher.dialogDirectories().value(0), QDir::currentPath());
        QVERIFY(debugLines.contains(QLatin1Char('"') + path + QLatin1Char('"')));
        QVERIFY(f.watcher.messages().isEmpty());
    }

    void saveAlsoSendsTheFramesWhenOpen()
    {
        WindowFixture f;
        QVERIFY(f.open());
        applyFactoryValues(ParamData);
        f.watcher.queueFile(m_dir.filePath(QStringLiteral("sent.txt")));
        run(f, "toolButton_Save");
        QVERIFY(f.pty.waitForBytes(243, 1000));
        QTest::qWait(100);
        QCOMPARE(f.pty.received(), kFactoryFile); // no "WWW" after a save
    }

    void saveBegunWhileClosedSaysNothingOnAPortOpenedMeanwhile()
    {
        WindowFixture f;
        applyFactoryValues(ParamData);
        const QString path = m_dir.filePath(QStringLiteral("closed.txt"));
        f.watcher.queueFile(path);
        QTimer::singleShot(600, f.window.get(), [&] { f.button("openButton")->click(); });
        run(f, "toolButton_Save");
        f.pty.collect(300);
        QCOMPARE(f.pty.received(), QByteArray("OK"));
        QCOMPARE(readBytes(path), kFactoryFile);
    }

    void loadTakesBackEveryFieldTheFramesCarry()
    {
        WindowFixture f;
        using P = ParamStore;
        const ParamStore saved = withValues(ParamStore(), {{&P::sub3, -77},
                                                           {&P::Elev05, 33},
                                                           {&P::PRM02_Data1, -12},
                                                           {&P::DR_UP_CH2, 44},
                                                           {&P::DR_EXPDOWN_CH2, -9},
                                                           {&P::DR_CH, 1},
                                                           {&P::DR_POSI, 1},
                                                           {&P::Volt_x10, 42},
                                                           {&P::THCURE_Data05, 99},
                                                           {&P::Spare1_x10, 5}});
        const QByteArray text = buildParameterFile(saved);
        const QString path = m_dir.filePath(QStringLiteral("custom.dat"));
        writeFile(path, text);

        f.window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        f.watcher.queueFile(path);
        debugLines.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureDebug);
        run(f, "toolButton_Load");
        qInstallMessageHandler(previous);

        QCOMPARE(f.watcher.dialogCaptions(), QStringList{QStringLiteral("Open file")});
        QCOMPARE(f.watcher.dialogFilters().value(0),
                 QStringLiteral("All file (*.*);;file (*.txt *.dat) @All file (*.*)"));
        QCOMPARE(ParamData.sub3, -77);
        QCOMPARE(ParamData.Elev05, 33);
        QCOMPARE(ParamData.PRM02_Data1, -12);
        QCOMPARE(ParamData.THCURE_Data05, 99);
        QCOMPARE(ParamData.Spare1_x10, 5);
        QCOMPARE(ParamData.Volt, 4.2);
        // The mirrors follow the loaded tables for the loaded selection.
        QCOMPARE(ParamData.DR_UP1, 44);
        QCOMPARE(ParamData.DR_EXP, -9);
        QCOMPARE(debugLines,
                 (QStringList{"Blength00:243", "Blength01:243", "Blength02:243", "Blength03:243"}));
        QCOMPARE(FileText, QString::fromLatin1(text));
    }

    void loadToleratesShortAndDamagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("sTaken");
        QTest::addColumn<bool>("gTaken");
        QTest::addColumn<bool>("hTaken");
        const QByteArray custom = customFile();
        QTest::newRow("whole") << custom << true << true << true;
        QTest::newRow("line end after it") << custom + "\r\n" << true << true << true;
        QTest::newRow("S frame only") << custom.left(81) << false << false << false;
        QTest::newRow("162 characters") << custom.left(162) << true << true << false;
        QTest::newRow("242 characters") << custom.left(242) << true << true << false;
        QByteArray damaged = custom;
        damaged[0] = 'Q';
        QTest::newRow("damaged first letter") << damaged << false << true << true;
        QByteArray noZ = custom;
        noZ[161] = 'z';
        QTest::newRow("damaged G end letter") << noZ << true << false << true;
        QTest::newRow("empty") << QByteArray() << false << false << false;
    }

    void loadToleratesShortAndDamagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, sTaken);
        QFETCH(bool, gTaken);
        QFETCH(bool, hTaken);
        WindowFixture f;
        f.window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        const QString path = m_dir.filePath(QStringLiteral("partial.txt"));
        writeFile(path, content);
        f.watcher.queueFile(path);
        run(f, "toolButton_Load");
        QVERIFY(f.watcher.messages().isEmpty());
        QCOMPARE(ParamData.sub1, sTaken ? -55 : 0);
        QCOMPARE(ParamData.Atti3, gTaken ? 77 : 44);
        QCOMPARE(ParamData.THCURE_Data02, hTaken ? 66 : 16);
    }

    // A file with no frame between its letters is refused in the error box and changes
    // nothing; one taken in part, or with values replaced, is followed by a notice.
    void loadTellsWhatWasWrong_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("refused");
        QTest::addColumn<QStringList>("told");
        const QByteArray passwd = QByteArray("root:x:0:0:root:/root:/bin/bash\n").repeated(9);
        QTest::newRow("text file")
            << passwd << true << QStringList{"288 bytes", "S frame: 'r' at byte 0", "'X' belong"};
        QTest::newRow("short") << QByteArray("hi\n") << true
                               << QStringList{"3 bytes", "G frame: the file ends before byte 161"};
        const QByteArray custom = customFile();
        QByteArray letters = custom;
        for (int at : {80, 81, 161, 162, 242, 0})
            letters[at] = '\x01';
        QTest::newRow("no letters")
            << letters << true << QStringList{"243 bytes", "0x01 at byte 161, where 'G'"};
        QTest::newRow("damaged first letter") << letters.left(80) + custom.mid(80) << false
                                              << QStringList{"the S frame(s)", "0x01 at byte 0"};
        QTest::newRow("162 characters")
            << custom.left(162) << false << QStringList{"the H frame(s)", "before byte 242"};
        QTest::newRow("S frame only")
            << custom.left(81) << false << QStringList{"S, G, H frame(s)", "file holds 81 bytes"};
        QTest::newRow("empty") << QByteArray() << false << QStringList{"the file is empty"};
        QByteArray outOfRange = custom;
        outOfRange.replace(9, 2, "xy").replace(25, 2, "FF"); // -120, and 255 - 16
        QTest::newRow("values out of range")
            << outOfRange << false
            << QStringList{"Channels: Sub-trim CH1: received -120, kept 0",
                           "End point L CH1: received 239, kept 96"};
    }

    void loadTellsWhatWasWrong()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, refused);
        QFETCH(QStringList, told);
        WindowFixture f;
        f.window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        ParamData.sub2 = 500; // out of range, and kept by a refused file
        const ParamStore before = ParamData;
        const QString path = m_dir.filePath(QStringLiteral("told.txt"));
        writeFile(path, content);
        f.watcher.queueFile(path);
        run(f, "toolButton_Load");
        const QLabel *notice = f.w<QLabel>("checkNotice");
        const QString text = refused                         ? f.watcher.messages().value(0)
                             : notice && notice->isVisible() ? notice->text()
                                                             : QString();
        QCOMPARE(f.watcher.kinds(), refused ? kErrorBox : QStringList());
        QCOMPARE(text.startsWith(QLatin1String("ERROR|Not a parameter file")), refused);
        for (const QString &part : told)
            QVERIFY2(text.contains(part), qPrintable(text));
        QCOMPARE(ParamData == before, refused);
    }

    void nonHexadecimalFieldIsReplacedByTheRangeCheck()
    {
        WindowFixture f;
        QByteArray content = customFile();
        content[9] = 'x';
        content[10] = 'y';
        const QString path = m_dir.filePath(QStringLiteral("nonhex.txt"));
        writeFile(path, content);
        ParamData.sub1 = 50;
        f.watcher.queueFile(path);
        run(f, "toolButton_Load");
        QCOMPARE(ParamData.sub1, 0); // read as -120, out of range
        QCOMPARE(ParamData.Atti3, 77);
    }

    void strayVoltageInAFileIsSavedAsItsFallback()
    {
        WindowFixture f;
        // An earlier read showed 4.2 V, so the box has to change to show the fallback.
        ParamData.Volt_x10 = 42;
        ParamData.Volt = 4.2;
        QMetaObject::invokeMethod(f.window.get(), "ui_Display");
        QByteArray content = customFile();
        content.replace(77, 2, "0F"); // reads as -1 tenth
        const QString path = m_dir.filePath(QStringLiteral("strayvolt.txt"));
        writeFile(path, content);
        f.watcher.queueFile(path);
        run(f, "toolButton_Load");
        QMetaObject::invokeMethod(f.window.get(), "ui_Display");
        QCOMPARE(ParamData.Volt_x10, 37);
        QCOMPARE(f.w<QDoubleSpinBox>("doubleSpinBox_Volt")->value(), 3.7);

        f.watcher.queueFile(path);
        run(f, "toolButton_Save");
        QCOMPARE(readBytes(path).mid(77, 2), QByteArray("35"));
    }

    void cancelledLoadStillChecksTheStore()
    {
        WindowFixture f;
        // Without the refresh, which would first bound the value through the spin box.
        f.window->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
        ParamData.sub1 = 500;
        ParamData.DR_UP_CH1 = 60;
        f.watcher.queueFile(QString()); // cancel
        run(f, "toolButton_Load");
        QCOMPARE(ParamData.sub1, 0);
        QCOMPARE(ParamData.DR_UP1, 60);
        QVERIFY(f.window->findChild<QObject *>()); // still alive
    }

    void cancelledSaveWritesNothing()
    {
        WindowFixture f;
        QVERIFY(f.open());
        const auto before = QDir(m_dir.path()).entryList(QDir::Files);
        f.watcher.queueFile(QString());
        run(f, "toolButton_Save");
        QCOMPARE(QDir(m_dir.path()).entryList(QDir::Files), before);
        QTest::qWait(100);
        QVERIFY(f.pty.received().isEmpty());
    }

    void saveIntoMissingFolderReportsErrorAndSendsNothing()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.watcher.queueFile(m_dir.filePath(QStringLiteral("no/such/folder/x.txt")));
        run(f, "toolButton_Save");
        QCOMPARE(f.watcher.messages(),
                 QStringList{QStringLiteral("ERROR|Cannot read the specified file!")});
        QCOMPARE(f.watcher.kinds(), kErrorBox);
        QTest::qWait(100);
        QVERIFY(f.pty.received().isEmpty());
    }

    void failedWriteKeepsThePreviousFile()
    {
        WindowFixture f;
        const QString path = m_dir.filePath(QStringLiteral("precious.txt"));
        const QByteArray old = customFile();
        writeFile(path, old);

        // Let the disk "fill up" after 100 bytes of any new file.
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit tight = saved;
        tight.rlim_cur = 100;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &tight), 0);
        f.watcher.queueFile(path);
        run(f, "toolButton_Save");
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QCOMPARE(f.watcher.messages(),
                 QStringList{QStringLiteral("ERROR|Cannot read the specified file!")});
        QCOMPARE(f.watcher.kinds(), kErrorBox);
        QCOMPARE(readBytes(path), old);
        QCOMPARE(QDir(m_dir.path()).entryList({QStringLiteral("precious.txt*")}, QDir::Files),
                 QStringList{QStringLiteral("precious.txt")});
    }

    void specialFilesAreRefused_data()
    {
        QTest::addColumn<QString>("button");
        QTest::newRow("load") << "toolButton_Load";
        QTest::newRow("save") << "toolButton_Save";
    }

    void specialFilesAreRefused()
    {
        QFETCH(QString, button);
        WindowFixture f;
        const QString fifo = m_dir.filePath(QStringLiteral("pipe-") + button);
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        ParamData.sub2 = 33;
        f.watcher.queueFile(fifo);
        run(f, button.toLatin1().constData());
        QCOMPARE(f.watcher.messages(),
                 QStringList{QStringLiteral("ERROR|Cannot read the specified file!")});
        QCOMPARE(f.watcher.kinds(), kErrorBox);
        QVERIFY(QFileInfo(fifo).exists() && !QFileInfo(fifo).isFile()); // still a FIFO
        QCOMPARE(ParamData.sub2, 33);
    }

    void hugeFileIsReadOnlyAsFarAsNeeded()
    {
        WindowFixture f;
        const QString path = m_dir.filePath(QStringLiteral("huge.txt"));
        writeFile(path, customFile());
        // Sparse: costs no disk, but reading it whole would need 4 GiB of memory.
        QVERIFY(QFile::resize(path, qint64(4) << 30));
        f.watcher.queueFile(path);
        QElapsedTimer t;
        t.start();
        run(f, "toolButton_Load");
        QVERIFY(t.elapsed() < 3000);
        QCOMPARE(ParamData.THCURE_Data02, 66);
        QVERIFY(FileText.size() <= 4096);
        QFile::remove(path);
    }

private:
    // A parameter file with a few values that differ from the start values in each frame.
    static QByteArray customFile()
    {
        using P = ParamStore;
        return buildParameterFile(
            withValues(ParamStore(), {{&P::sub1, -55}, {&P::Atti3, 77}, {&P::THCURE_Data02, 66}}));
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestParamFile)
#include "tst_paramfile.moc"
