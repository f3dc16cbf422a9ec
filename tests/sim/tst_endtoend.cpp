// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include "frames.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "paramstore.h"
#include "resources.h"
#include "testdata.h"
#include "transmitterlink.h"
#include "transmittermodel.h"

#include <QAbstractButton>
#include <QFile>
#include <QSpinBox>
#include <QTest>

#include <QTimer>

#include <csignal>
#include <memory>

namespace {

// READ sends "RR" after 200 ms; the answer then takes a few dozen milliseconds.
constexpr int kReadTimeoutMs = 5000;
// WRITE: 200 ms, then three frames 800 ms apart, then "WWW".
constexpr int kWriteTimeoutMs = 6000;

// Settings away from the factory values in every frame, the selections and mix switches
// among them; like the common changes, each one a value its widget can show.
ParamStore transmitterSettings()
{
    using P = ParamStore;
    return changedFactorySettings({{&P::Repa7, 80},
                                   {&P::AUX6, 4},
                                   {&P::Mode, 3},
                                   {&P::AttiM, 2},
                                   {&P::Atti3, 50},
                                   {&P::EleMix, 1},
                                   {&P::DR_DOWN_CH3, 85},
                                   {&P::DR_EXPUP_CH1, 15},
                                   {&P::PRM01_Master, 2},
                                   {&P::PRM02_Data3, -20},
                                   {&P::PRM04_Slave, 6},
                                   {&P::THCURE_MIX, 1}});
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readWriteReadThroughTheSimulator_data();
    void readWriteReadThroughTheSimulator();
    void everyReadOnASplitMergedNoisyLineGivesTheWholeSet();
    void readsOnALineThatLosesBytesStoreOnlyWhatTheTransmitterHolds();
};

namespace {

// A simulator holding `settings` in a state file, and a window with its port open.
struct Bench
{
    bool start(const QStringList &faults, const ParamStore &settings)
    {
        if (!sim.startHolding(settings, faults))
            return false;
        ParamData = ParamStore{};
        window = std::make_unique<MainWindow>();
        // These judge what the reads bring, not their pace: a tenth of every wait.
        LinkPacing fast;
        fast.percent = 10;
        window->findChild<TransmitterLink *>()->setPacing(fast);
        window->addPort(sim.slavePath());
        window->show();
        button("openButton")->click();
        return button("openButton")->text() == QLatin1String("CLOSE");
    }
    QAbstractButton *button(const char *name) const
    {
        return window->findChild<QAbstractButton *>(QLatin1String(name));
    }
    // One READ: the click returns when the operation has given the answer its time; a
    // frame or two may still be on its way then.
    void read(int settleMs)
    {
        button("toolButton_Read")->click();
        QTest::qWait(settleMs);
    }

    SimProcess sim;
    ModalWatcher watcher;
    std::unique_ptr<MainWindow> window;
};

// The settings fields that differ from both what the store held before and what the
// transmitter holds: values nobody sent.
QStringList invented(const ParamStore &before, const ParamStore &transmitter)
{
    QStringList found;
    for (const QString &d : reportedDifferences(transmitter, ParamData)) {
        const QString name = d.section(QLatin1Char(':'), 0, 0);
        const IntFieldInfo *field = findIntField(name.toLatin1().constData());
        if (field && ParamData.*field->member != before.*field->member)
            found << d;
    }
    return found;
}

} // namespace

void tst_EndToEnd::everyReadOnASplitMergedNoisyLineGivesTheWholeSet()
{
    constexpr int kReads = 50;
    const ParamStore expected = transmitterSettings();
    Bench bench;
    QVERIFY(bench.start({QStringLiteral("--split"), QStringLiteral("--merge"),
                         QStringLiteral("--noise"), QStringLiteral("--seed"), QStringLiteral("7")},
                        expected));
    const ParamStore blank;
    QVERIFY(!reportedDifferences(expected, blank).isEmpty());
    for (int i = 0; i < kReads; ++i) {
        // Forget the settings, so that each READ has to bring all of them.
        for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f)
            ParamData.*f->member = blank.*f->member;
        bench.read(0);
        QTRY_VERIFY2_WITH_TIMEOUT(reportedDifferences(expected, ParamData).isEmpty(),
                                  qPrintable(QStringLiteral("read %1: ").arg(i + 1) +
                                             describe(reportedDifferences(expected, ParamData))),
                                  kReadTimeoutMs);
    }
    QVERIFY2(bench.watcher.messages().isEmpty(),
             qPrintable(bench.watcher.messages().join(QLatin1Char('\n'))));
}

void tst_EndToEnd::readsOnALineThatLosesBytesStoreOnlyWhatTheTransmitterHolds()
{
    constexpr int kMostReads = 12;
    const ParamStore expected = transmitterSettings();
    Bench bench;
    QVERIFY(
        bench.start({QStringLiteral("--cut"), QStringLiteral("--split"), QStringLiteral("--merge"),
                     QStringLiteral("--noise"), QStringLiteral("--seed"), QStringLiteral("5")},
                    expected));
    const ParamStore before = ParamData;
    int reads = 0;
    int incomplete = 0;
    while (reads < kMostReads && !reportedDifferences(expected, ParamData).isEmpty()) {
        bench.read(300);
        ++reads;
        // Whatever arrived damaged is dropped; what arrived whole is the transmitter's.
        QVERIFY2(invented(before, expected).isEmpty(),
                 qPrintable(describe(invented(before, expected))));
        if (!reportedDifferences(expected, ParamData).isEmpty())
            ++incomplete;
    }
    qInfo("%d reads, %d of them left settings missing", reads, incomplete);
    QVERIFY2(reportedDifferences(expected, ParamData).isEmpty(),
             qPrintable(describe(reportedDifferences(expected, ParamData))));
}

void tst_EndToEnd::initTestCase()
{
    korvaInitResources();
    QVERIFY2(QFile::exists(QStringLiteral(KORVA_SIM_PATH)), KORVA_SIM_PATH);
}

void tst_EndToEnd::readWriteReadThroughTheSimulator_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("clean line") << QStringList{};
    QTest::newRow("split, merged and noisy line")
        << QStringList{QStringLiteral("--split"), QStringLiteral("--merge"),
                       QStringLiteral("--noise"), QStringLiteral("--seed"), QStringLiteral("3")};
}

void tst_EndToEnd::readWriteReadThroughTheSimulator()
{
    QFETCH(QStringList, faults);

    const ParamStore expected = transmitterSettings();
    SimProcess sim;
    QVERIFY(sim.startHolding(expected, faults));
    const QString state = sim.statePath();

    ParamData = ParamStore{};
    ModalWatcher watcher;
    auto window = std::make_unique<MainWindow>();
    window->addPort(sim.slavePath());
    window->show();
    const auto button = [&window](const char *name) {
        return window->findChild<QAbstractButton *>(QLatin1String(name));
    };
    QVERIFY(button("openButton") && button("toolButton_Read") && button("toolButton_Send"));

    button("openButton")->click();
    QCOMPARE(button("openButton")->text(), QStringLiteral("CLOSE"));
    // The live stream reaches the store: the servos leave their resting value.
    QTRY_VERIFY_WITH_TIMEOUT(ParamData.TX_Volt >= kTxVoltLow && ParamData.RSSI >= kRssiLow, 2000);

    button("toolButton_Read")->click();
    QTRY_VERIFY2_WITH_TIMEOUT(reportedDifferences(expected, ParamData).isEmpty(),
                              qPrintable(describe(reportedDifferences(expected, ParamData))),
                              kReadTimeoutMs);

    // An edit through the widget, as the user makes it.
    auto *sub3 = window->findChild<QSpinBox *>(QStringLiteral("spinBox_sub3"));
    QVERIFY(sub3);
    constexpr int kNewSub3 = -37;
    sub3->setValue(kNewSub3);
    QCOMPARE(ParamData.sub3, kNewSub3);
    ParamStore written = expected;
    written.sub3 = kNewSub3;

    button("toolButton_Send")->click();
    // The transmitter has taken the new settings over and saved them.
    QTRY_VERIFY_WITH_TIMEOUT(
        [&] {
            QFile file(state);
            return file.open(QIODevice::ReadOnly) &&
                   reportedDifferences(written, settingsFromText(file.readAll(), expected))
                       .isEmpty();
        }(),
        kWriteTimeoutMs);

    // Forget everything here, and read it all back.
    ParamData = ParamStore{};
    QTRY_COMPARE_WITH_TIMEOUT(sub3->value(), 0, 1000);
    button("toolButton_Read")->click();
    QTRY_VERIFY2_WITH_TIMEOUT(reportedDifferences(written, ParamData).isEmpty(),
                              qPrintable(describe(reportedDifferences(written, ParamData))),
                              kReadTimeoutMs);
    QCOMPARE(sub3->value(), kNewSub3);

    button("openButton")->click();
    QCOMPARE(button("openButton")->text(), QStringLiteral("OPEN"));
    QVERIFY2(watcher.messages().isEmpty(), qPrintable(watcher.messages().join(QLatin1Char('\n'))));
    QVERIFY(sim.terminate(SIGTERM));
    QCOMPARE(sim.process().exitCode(), 0);
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"
