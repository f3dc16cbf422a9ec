// SPDX-License-Identifier: GPL-3.0-or-later
#include "drselect.h"
#include "factory.h"
#include "fieldtable.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QtTest>

#include <limits>

namespace {

struct FactoryValue
{
    const char *name;
    IntField member;
    qint32 value;
};

#define KT_F(f, v)                                                                                 \
    {                                                                                              \
#f, &ParamStore::f, v                                                                      \
    }

// What the reset writes, typed in from the factory tables. applyFactoryFramesSGAndRates:
const QVector<FactoryValue> kFactory1 = {
    KT_F(rev1, 0),          KT_F(rev2, 0),          KT_F(rev3, 1),          KT_F(rev4, 0),
    KT_F(rev5, 0),          KT_F(rev6, 0),          KT_F(rev7, 0),          KT_F(rev8, 0),
    KT_F(sub1, 0),          KT_F(sub2, 0),          KT_F(sub3, 0),          KT_F(sub4, 0),
    KT_F(sub5, 0),          KT_F(sub6, 0),          KT_F(sub7, 0),          KT_F(sub8, 0),
    KT_F(Lepa1, 96),        KT_F(Lepa2, 96),        KT_F(Lepa3, 96),        KT_F(Lepa4, 96),
    KT_F(Lepa5, 96),        KT_F(Lepa6, 96),        KT_F(Lepa7, 96),        KT_F(Lepa8, 96),
    KT_F(Repa1, 96),        KT_F(Repa2, 96),        KT_F(Repa3, 96),        KT_F(Repa4, 96),
    KT_F(Repa5, 96),        KT_F(Repa6, 96),        KT_F(Repa7, 96),        KT_F(Repa8, 96),
    KT_F(FS1, 50),          KT_F(FS2, 50),          KT_F(FS3, 0),           KT_F(FS4, 50),
    KT_F(FS5, 50),          KT_F(FS6, 50),          KT_F(FS7, 50),          KT_F(FS8, 50),
    KT_F(delay1, 100),      KT_F(delay2, 100),      KT_F(delay3, 100),      KT_F(delay4, 100),
    KT_F(delay5, 100),      KT_F(delay6, 100),      KT_F(delay7, 100),      KT_F(delay8, 100),
    KT_F(DR_MIX, 0),        KT_F(DR_CH, 0),         KT_F(DR_SW2, 0),        KT_F(DR_UP1, 100),
    KT_F(DR_UP_CH1, 100),   KT_F(DR_UP_CH2, 100),   KT_F(DR_UP_CH3, 100),   KT_F(DR_UP_CH4, 100),
    KT_F(DR_DOWN1, 100),    KT_F(DR_DOWN_CH1, 100), KT_F(DR_DOWN_CH2, 100), KT_F(DR_DOWN_CH3, 100),
    KT_F(DR_DOWN_CH4, 100), KT_F(AttiM, 4),         KT_F(Atti1, 14),        KT_F(Atti2, 29),
    KT_F(Atti3, 44),        KT_F(Atti4, 56),        KT_F(Atti5, 69),        KT_F(Atti6, 88),
    KT_F(EleMix, 0),        KT_F(Elev01, 100),      KT_F(Elev02, 100),      KT_F(Elev03, 100),
    KT_F(Elev04, -100),     KT_F(Elev05, 100),      KT_F(Elev06, 100),      KT_F(RuMix, 0),
    KT_F(Ru1, 50),          KT_F(Ru2, -50),         KT_F(Ru3, 50),          KT_F(Ru4, 50),
    KT_F(AUX5, 1),          KT_F(AUX6, 3),          KT_F(AUX7, 0),          KT_F(AUX8, 2),
    KT_F(Volt_x10, 37),     KT_F(Mode, 2),          KT_F(PRM01_Mix, 0),     KT_F(PRM01_Master, 0),
    KT_F(PRM01_Slave, 3),   KT_F(PRM01_Data1, 0),   KT_F(PRM01_Data2, 0),   KT_F(PRM01_Data3, 0),
    KT_F(PRM02_Mix, 0),     KT_F(PRM02_Master, 1),  KT_F(PRM02_Slave, 5),   KT_F(PRM02_Data1, 0),
    KT_F(PRM02_Data2, 0),   KT_F(PRM02_Data3, 0),
};

// applyFactoryFrameHExceptRates:
const QVector<FactoryValue> kFactory2 = {
    KT_F(PRM03_Mix, 0),      KT_F(PRM03_Master, 0),    KT_F(PRM03_Slave, 3),
    KT_F(PRM03_Data1, 0),    KT_F(PRM03_Data2, 0),     KT_F(PRM03_Data3, 0),
    KT_F(PRM04_Mix, 0),      KT_F(PRM04_Master, 1),    KT_F(PRM04_Slave, 5),
    KT_F(PRM04_Data1, 0),    KT_F(PRM04_Data2, 0),     KT_F(PRM04_Data3, 0),
    KT_F(Spare1_x10, 110),   KT_F(Spare2, -100),       KT_F(THCURE_MIX, 0),
    KT_F(THCURE_Spare, 0),   KT_F(THCURE_Data01, 0),   KT_F(THCURE_Data02, 16),
    KT_F(THCURE_Data03, 33), KT_F(THCURE_Data04, 50),  KT_F(THCURE_Data05, 67),
    KT_F(THCURE_Data06, 84), KT_F(THCURE_Data07, 100), KT_F(DR_POSI, 0),
    KT_F(DR_EXPUP_CH1, 0),   KT_F(DR_EXPUP_CH2, 0),    KT_F(DR_EXPUP_CH3, 0),
    KT_F(DR_EXPUP_CH4, 0),   KT_F(DR_EXPDOWN_CH1, 0),  KT_F(DR_EXPDOWN_CH2, 0),
    KT_F(DR_EXPDOWN_CH3, 0), KT_F(DR_EXPDOWN_CH4, 0),  KT_F(DR_EXP, 0),
};

#undef KT_F

// Neither reset function writes these.
const QStringList kNeverReset = {
    QStringLiteral("DR_RATE"),  QStringLiteral("Vertion"),  QStringLiteral("Servo1"),
    QStringLiteral("Servo2"),   QStringLiteral("Servo3"),   QStringLiteral("Servo4"),
    QStringLiteral("Servo5"),   QStringLiteral("Servo6"),   QStringLiteral("Servo7"),
    QStringLiteral("Servo8"),   QStringLiteral("TX_Volt"),  QStringLiteral("RSSI"),
    QStringLiteral("EXT_Volt"), QStringLiteral("ReadFlag"),
};

constexpr qint32 kScramble = 4321;
constexpr double kScrambledVolt = 43.21;

// Values that tell every D/R table entry apart: UP rates 11..14, DOWN rates 21..24, UP
// exponentials 31..34, DOWN exponentials 41..44; the mirrors hold 1..4 until re-selected.
ParamStore drStore(int channel, int position)
{
    ParamStore s;
    s.DR_UP_CH1 = 11, s.DR_UP_CH2 = 12, s.DR_UP_CH3 = 13, s.DR_UP_CH4 = 14;
    s.DR_DOWN_CH1 = 21, s.DR_DOWN_CH2 = 22, s.DR_DOWN_CH3 = 23, s.DR_DOWN_CH4 = 24;
    s.DR_EXPUP_CH1 = 31, s.DR_EXPUP_CH2 = 32, s.DR_EXPUP_CH3 = 33, s.DR_EXPUP_CH4 = 34;
    s.DR_EXPDOWN_CH1 = 41, s.DR_EXPDOWN_CH2 = 42, s.DR_EXPDOWN_CH3 = 43, s.DR_EXPDOWN_CH4 = 44;
    s.DR_UP1 = 1, s.DR_DOWN1 = 2, s.DR_RATE = 3, s.DR_EXP = 4;
    s.DR_CH = channel;
    s.DR_POSI = position;
    return s;
}

// "DR_UP1=80,DR_RATE=80" applied to a store.
ParamStore withChanges(ParamStore s, const QString &changes)
{
    if (changes.isEmpty())
        return s;
    for (const QString &c : changes.split(QLatin1Char(','))) {
        const QStringList kv = c.split(QLatin1Char('='));
        const IntFieldInfo *f = findIntField(kv.at(0).toLatin1().constData());
        if (!f)
            qFatal("unknown field in test data: %s", qPrintable(kv.at(0)));
        s.*f->member = kv.at(1).toInt();
    }
    return s;
}

enum class DrEdit { Up1, Down1, Rate, Exp };

} // namespace

Q_DECLARE_METATYPE(DrEdit)

class TestFactory : public QObject
{
    Q_OBJECT

private slots:
    void factoryValue_data();
    void factoryValue();
    void framesSGAndRatesWriteOnlyTheirFields();
    void frameHExceptRatesWritesOnlyItsFields();
    void resetLeavesRateMirrorVersionAndLiveValuesAlone();
    void factoryValuesAreStartValuesExceptModeAndVolt();
    void factoryValuesPassTheRangeCheck();

    void selectDualRateEntryCopiesTheSelectedEntries_data();
    void selectDualRateEntryCopiesTheSelectedEntries();
    void noChannelSelectedKeepsTheMirrors_data();
    void noChannelSelectedKeepsTheMirrors();
    void channelIndex4SurvivesRangeCheckAndSelectsNothing();
    void mirrorEditWritesThrough_data();
    void mirrorEditWritesThrough();
    void switchingPositionMovesRateAndExpOnly();
};

void TestFactory::factoryValue_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("which");
    for (const FactoryValue &f : kFactory1)
        QTest::addRow("frames S, G and rates %s", f.name) << QByteArray(f.name) << f.value << 1;
    for (const FactoryValue &f : kFactory2)
        QTest::addRow("frame H except rates %s", f.name) << QByteArray(f.name) << f.value << 2;
}

void TestFactory::factoryValue()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(int, which);
    const IntFieldInfo *info = findIntField(field.constData());
    QVERIFY(info);

    ParamStore store = filledStore(kScramble, kScrambledVolt);
    if (which == 1)
        applyFactoryFramesSGAndRates(store);
    else
        applyFactoryFrameHExceptRates(store);
    QCOMPARE(store.*info->member, value);
}

void TestFactory::framesSGAndRatesWriteOnlyTheirFields()
{
    ParamStore store = filledStore(kScramble, kScrambledVolt);
    applyFactoryFramesSGAndRates(store);
    ParamStore wanted = filledStore(kScramble, kScrambledVolt);
    for (const FactoryValue &f : kFactory1)
        wanted.*f.member = f.value;
    wanted.Volt = 3.7;
    QCOMPARE(differingFields(store, wanted), QStringList());
    QCOMPARE(store.Volt, 3.7);
}

void TestFactory::frameHExceptRatesWritesOnlyItsFields()
{
    ParamStore store = filledStore(kScramble, kScrambledVolt);
    applyFactoryFrameHExceptRates(store);
    ParamStore wanted = filledStore(kScramble, kScrambledVolt);
    for (const FactoryValue &f : kFactory2)
        wanted.*f.member = f.value;
    QCOMPARE(differingFields(store, wanted), QStringList());
    QCOMPARE(store.Volt, kScrambledVolt);
}

void TestFactory::resetLeavesRateMirrorVersionAndLiveValuesAlone()
{
    ParamStore store = filledStore(kScramble, kScrambledVolt);
    applyFactoryValues(store);
    QStringList untouched;
    for (const ExpectedField &f : expectedFields()) {
        if (store.*f.member == kScramble)
            untouched << QLatin1String(f.name);
    }
    QStringList never = kNeverReset;
    never.sort();
    untouched.sort();
    QCOMPARE(untouched, never);
    QCOMPARE(store.Mode, 2);
    QCOMPARE(store.Volt, 3.7);
}

void TestFactory::factoryValuesAreStartValuesExceptModeAndVolt()
{
    ParamStore store;
    applyFactoryValues(store);
    QCOMPARE(differingFields(store, ParamStore()),
             (QStringList{QStringLiteral("Mode"), QStringLiteral("Volt")}));
}

void TestFactory::factoryValuesPassTheRangeCheck()
{
    ParamStore store;
    applyFactoryValues(store);
    const ParamStore before = store;
    replaceOutOfRangeValues(store);
    QCOMPARE(differingFields(store, before), QStringList());
}

void TestFactory::selectDualRateEntryCopiesTheSelectedEntries_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("mirrors"); // DR_UP1, DR_DOWN1, DR_RATE, DR_EXP
    QTest::newRow("CH1 UP") << 0 << 0 << "11 21 11 31";
    QTest::newRow("CH2 UP") << 1 << 0 << "12 22 12 32";
    QTest::newRow("CH3 UP") << 2 << 0 << "13 23 13 33";
    QTest::newRow("CH4 UP") << 3 << 0 << "14 24 14 34";
    QTest::newRow("CH1 DOWN") << 0 << 1 << "11 21 21 41";
    QTest::newRow("CH2 DOWN") << 1 << 1 << "12 22 22 42";
    QTest::newRow("CH3 DOWN") << 2 << 1 << "13 23 23 43";
    QTest::newRow("CH4 DOWN") << 3 << 1 << "14 24 24 44";
    // Any position other than 0 is DOWN.
    QTest::newRow("CH2 position 4") << 1 << 4 << "12 22 22 42";
    QTest::newRow("CH3 position -1") << 2 << -1 << "13 23 23 43";
}

void TestFactory::selectDualRateEntryCopiesTheSelectedEntries()
{
    QFETCH(int, channel);
    QFETCH(int, position);
    QFETCH(QString, mirrors);
    const QStringList m = mirrors.split(QLatin1Char(' '));

    ParamStore store = drStore(channel, position);
    selectDualRateEntry(store);

    ParamStore wanted = drStore(channel, position);
    wanted.DR_UP1 = m.at(0).toInt();
    wanted.DR_DOWN1 = m.at(1).toInt();
    wanted.DR_RATE = m.at(2).toInt();
    wanted.DR_EXP = m.at(3).toInt();
    QCOMPARE(differingFields(store, wanted), QStringList());
}

void TestFactory::noChannelSelectedKeepsTheMirrors_data()
{
    QTest::addColumn<int>("channel");
    QTest::newRow("-1") << -1;
    QTest::newRow("4") << 4;
    QTest::newRow("5") << 5;
    QTest::newRow("int min") << std::numeric_limits<int>::min();
}

void TestFactory::noChannelSelectedKeepsTheMirrors()
{
    QFETCH(int, channel);
    for (int position : {0, 1}) {
        ParamStore store = drStore(channel, position);
        selectDualRateEntry(store);
        QCOMPARE(differingFields(store, drStore(channel, position)), QStringList());
    }
}

void TestFactory::channelIndex4SurvivesRangeCheckAndSelectsNothing()
{
    ParamStore store = drStore(4, 0);
    replaceOutOfRangeValues(store);
    QCOMPARE(store.DR_CH, 4);
    const ParamStore checked = store;
    selectDualRateEntry(store);
    QCOMPARE(differingFields(store, checked), QStringList());
}

void TestFactory::mirrorEditWritesThrough_data()
{
    QTest::addColumn<int>("channel");
    QTest::addColumn<int>("position");
    QTest::addColumn<DrEdit>("edit");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("changes");

    QTest::newRow("CH2 UP, D/R up set to 80")
        << 1 << 0 << DrEdit::Up1 << 80 << "DR_UP_CH2=80,DR_UP1=80,DR_DOWN1=22,DR_RATE=80,DR_EXP=32";
    QTest::newRow("CH1 DOWN, rate set to 60")
        << 0 << 1 << DrEdit::Rate << 60
        << "DR_DOWN_CH1=60,DR_DOWN1=60,DR_UP1=11,DR_RATE=60,DR_EXP=41";
    QTest::newRow("CH4 UP, exponential set to -40")
        << 3 << 0 << DrEdit::Exp << -40
        << "DR_EXPUP_CH4=-40,DR_EXP=-40,DR_UP1=14,DR_DOWN1=24,DR_RATE=14";
    QTest::newRow("CH3 position 4, D/R down set to 66")
        << 2 << 4 << DrEdit::Down1 << 66
        << "DR_DOWN_CH3=66,DR_DOWN1=66,DR_UP1=13,DR_RATE=66,DR_EXP=43";
    QTest::newRow("CH3 DOWN, exponential set to -7")
        << 2 << 1 << DrEdit::Exp << -7
        << "DR_EXPDOWN_CH3=-7,DR_EXP=-7,DR_UP1=13,DR_DOWN1=23,DR_RATE=23";
    QTest::newRow("CH4 DOWN, D/R up set to 5")
        << 3 << 1 << DrEdit::Up1 << 5 << "DR_UP_CH4=5,DR_UP1=5,DR_DOWN1=24,DR_RATE=24,DR_EXP=44";
    QTest::newRow("CH2 UP, rate set to 77")
        << 1 << 0 << DrEdit::Rate << 77
        << "DR_UP_CH2=77,DR_UP1=77,DR_DOWN1=22,DR_RATE=77,DR_EXP=32";
    QTest::newRow("CH1 UP, D/R down set to 45")
        << 0 << 0 << DrEdit::Down1 << 45
        << "DR_DOWN_CH1=45,DR_DOWN1=45,DR_UP1=11,DR_RATE=11,DR_EXP=31";
    // No channel selected: only the edited mirror changes.
    QTest::newRow("CH -1, D/R up set to 70") << -1 << 0 << DrEdit::Up1 << 70 << "DR_UP1=70";
    QTest::newRow("CH -1, exponential set to 5") << -1 << 1 << DrEdit::Exp << 5 << "DR_EXP=5";
    QTest::newRow("CH 4, rate set to 55") << 4 << 1 << DrEdit::Rate << 55 << "DR_RATE=55";
    QTest::newRow("CH 4, D/R down set to 33") << 4 << 0 << DrEdit::Down1 << 33 << "DR_DOWN1=33";
    QTest::newRow("CH 5, exponential set to 9") << 5 << 0 << DrEdit::Exp << 9 << "DR_EXP=9";
}

void TestFactory::mirrorEditWritesThrough()
{
    QFETCH(int, channel);
    QFETCH(int, position);
    QFETCH(DrEdit, edit);
    QFETCH(int, value);
    QFETCH(QString, changes);

    ParamStore store = drStore(channel, position);
    switch (edit) {
    case DrEdit::Up1:
        drEditUp1(store, value);
        break;
    case DrEdit::Down1:
        drEditDown1(store, value);
        break;
    case DrEdit::Rate:
        drEditRate(store, value);
        break;
    case DrEdit::Exp:
        drEditExp(store, value);
        break;
    }
    QCOMPARE(differingFields(store, withChanges(drStore(channel, position), changes)),
             QStringList());
}

void TestFactory::switchingPositionMovesRateAndExpOnly()
{
    ParamStore store = drStore(1, 0);
    selectDualRateEntry(store);
    QCOMPARE(store.DR_RATE, 12);
    QCOMPARE(store.DR_EXP, 32);

    const ParamStore up = store;
    store.DR_POSI = 1;
    selectDualRateEntry(store);
    ParamStore wanted = up;
    wanted.DR_POSI = 1;
    wanted.DR_RATE = 22;
    wanted.DR_EXP = 42;
    QCOMPARE(differingFields(store, wanted), QStringList());
}

QTEST_APPLESS_MAIN(TestFactory)
#include "tst_factory.moc"
