#include "simprocess.h"

#include "frames.h"
#include "mainwindow.h"
#include "modalwatcher.h"
#include "paramstore.h"
#include "resources.h"
#include "transmittermodel.h"

#include <QAbstractButton>
#include <QFile>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <memory>

namespace {

// READ sends "RR" after 200 ms; the answer then takes a few dozen milliseconds.
constexpr int kReadTimeoutMs = 5000;
// WRITE: 200 ms, then three frames 800 ms apart, then "WWW".
constexpr int kWriteTimeoutMs = 6000;

// Settings away from the factory values in every frame, each one a value its widget can
// show: the window's refresh would otherwise bound it and write the bound back.
ParamStore transmitterSettings()
{
    ParamStore s = factorySettings();
    s.rev5 = 1;
    s.sub3 = 25;
    s.Lepa2 = 110;
    s.Repa7 = 80;
    s.FS8 = 20;
    s.delay4 = 60;
    s.AUX6 = 4;
    s.Volt_x10 = 42;
    s.Mode = 3;
    s.AttiM = 2;
    s.Atti3 = 50;
    s.EleMix = 1;
    s.Elev05 = -40;
    s.Ru3 = -75;
    s.DR_UP_CH2 = 70;
    s.DR_DOWN_CH3 = 85;
    s.DR_EXPUP_CH1 = 15;
    s.DR_EXPDOWN_CH4 = -30;
    s.PRM01_Master = 2;
    s.PRM02_Data3 = -20;
    s.PRM03_Data2 = 45;
    s.PRM04_Slave = 6;
    s.THCURE_MIX = 1;
    s.THCURE_Data05 = 80;
    return settingsFromText(settingsText(s), factorySettings());
}

} // namespace

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void readWriteReadThroughTheSimulator_data();
    void readWriteReadThroughTheSimulator();
};

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

    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("transmitter.txt"));
    const ParamStore expected = transmitterSettings();
    {
        QFile file(state);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(settingsText(expected)), qint64(kParameterFileLength));
    }
    SimProcess sim;
    QVERIFY(sim.start(faults + QStringList{QStringLiteral("--state"), state}));

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
