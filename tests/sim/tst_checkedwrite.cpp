// SPDX-License-Identifier: GPL-3.0-or-later
// The window's check after WRITE against the simulated transmitter, and the history of every
// set the window saw.
#include "simprocess.h"

#include "frames.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "readback.h"
#include "resources.h"
#include "settingsreport.h"
#include "testdata.h"
#include "transmitterlink.h"
#include "transmittermodel.h"

#include <QAbstractButton>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Bench
{
    bool start(const QStringList &faults, const QString &history)
    {
        if (!sim.startHolding(heldByTransmitter(ParamStore()), faults))
            return false;
        ParamData = ParamStore{};
        window = std::make_unique<MainWindow>();
        window->useHistory(history);
        // The simulator takes frames at any pace; half of every wait leaves its answers, which
        // come at its own pace, time enough on a busy machine.
        LinkPacing fast;
        fast.percent = 50;
        window->findChild<TransmitterLink *>()->setPacing(fast);
        window->addPort(sim.slavePath());
        window->show();
        click("openButton");
        return button("openButton")->text() == QLatin1String("CLOSE");
    }
    QAbstractButton *button(const char *name) const
    {
        return window->findChild<QAbstractButton *>(QLatin1String(name));
    }
    void click(const char *name) const { button(name)->click(); }
    ParamStore transmitter() const
    {
        return settingsFromText(readBytes(sim.statePath()), ParamStore());
    }

    SimProcess sim;
    ModalWatcher watcher;
    std::unique_ptr<MainWindow> window;
};

// The history's files, oldest first, each as "what happened" and its bytes.
QVector<QPair<QString, QByteArray>> history(const QString &folder)
{
    QVector<QPair<QString, QByteArray>> kept;
    for (const QString &name : SetHistory(folder).files())
        kept.append({name.section(QLatin1Char(' '), 2).chopped(4),
                     readBytes(folder + QLatin1Char('/') + name)});
    return kept;
}

} // namespace

class tst_CheckedWrite : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { korvaInitResources(); }

    void ignoredFrameIsReportedAndWrittenAgain()
    {
        QTemporaryDir dir;
        Bench bench;
        QVERIFY(bench.start({QStringLiteral("--ignore"), QStringLiteral("G")}, dir.path()));
        ParamData = changedFactorySettings();
        const ParamStore held = bench.transmitter();
        QStringList expected; // the G frame's settings the transmitter keeps otherwise
        for (IntField f : mismatchedFields(asSent(ParamData), held)) {
            for (int i = 0; i < kFrameG.slotCount; ++i) {
                if (kFrameG.fields[i].member == f)
                    expected << settingLabel(f);
            }
        }
        QVERIFY(expected.size() >= 3);
        bench.watcher.queueAnswer(QStringLiteral("Write again"));
        bench.watcher.queueAnswer(QStringLiteral("Keep mine"));
        bench.click("toolButton_Send");
        QTRY_COMPARE_WITH_TIMEOUT(bench.watcher.messages().size(), 2, 8000);
        for (const QString &message : bench.watcher.messages()) {
            const QStringList lines = message.split(QLatin1Char('\n')).mid(2);
            QStringList named;
            for (const QString &line : lines)
                named << line.section(QLatin1String(": sent "), 0, 0);
            QCOMPARE(named, expected);
        }
        QTRY_VERIFY(bench.button("toolButton_Send")->isEnabled());
        QStringList kept;
        for (const auto &file : history(dir.path()))
            kept << file.first;
        QCOMPARE(kept, QStringList({"written, not confirmed", "transmitter after write",
                                    "written, not confirmed", "transmitter after write"}));
    }

    void historyKeepsEverySetTheWindowSaw()
    {
        QTemporaryDir dir;
        QTemporaryDir files;
        Bench bench;
        QVERIFY(bench.start({}, dir.path()));
        bench.click("toolButton_Read");
        QTRY_COMPARE_WITH_TIMEOUT(SetHistory(dir.path()).files().size(), 1, 3000);
        ParamData.sub3 = -40;
        bench.click("toolButton_Send");
        bench.click("toolButton_Reset");
        const QString path = files.filePath(QStringLiteral("mine.txt"));
        ParamStore onDisk;
        onDisk.Mode = 3;
        QVERIFY(writeBytes(path, buildParameterFile(onDisk)));
        bench.watcher.queueFile(path);
        bench.click("toolButton_Load");
        QCOMPARE(bench.watcher.messages(), QStringList());

        const auto kept = history(dir.path());
        QStringList what;
        for (const auto &file : kept)
            what << file.first;
        QCOMPARE(what, QStringList({"read", "written, checked", "reset, checked", "loaded"}));
        const ParamStore factory = heldByTransmitter(ParamStore());
        QCOMPARE(reportedDifferences(factory, settingsFromText(kept.at(0).second, ParamStore())),
                 QStringList());
        QCOMPARE(settingsFromText(kept.at(1).second, ParamStore()).sub3, -40);
        QCOMPARE(kept.at(2).second, factoryFrames());
        QCOMPARE(kept.at(3).second, buildParameterFile(onDisk));
    }

    void historyThatCannotBeWrittenDisturbsNothing()
    {
        QTemporaryDir dir;
        const QString blocker = dir.filePath(QStringLiteral("a file"));
        QVERIFY(writeBytes(blocker, "x"));
        static QStringList warnings;
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType type, const QMessageLogContext &, const QString &message) {
                if (type == QtWarningMsg && message.contains(QLatin1String("history")))
                    warnings << message;
            });
        Bench bench;
        QVERIFY(bench.start({}, blocker + QLatin1String("/history")));
        ParamData = changedFactorySettings();
        QElapsedTimer t;
        t.start();
        bench.click("toolButton_Send");
        bench.click("toolButton_Read");
        qInstallMessageHandler(previous);
        QCOMPARE(bench.watcher.messages(), QStringList());
        QCOMPARE(reportedDifferences(changedFactorySettings(), bench.transmitter()), QStringList());
        QCOMPARE(warnings.size(), 1);
        auto *notice = bench.window->findChild<QWidget *>(QStringLiteral("checkNotice"));
        QVERIFY(notice && notice->isVisible());
    }
};

QTEST_MAIN(tst_CheckedWrite)
#include "tst_checkedwrite.moc"
