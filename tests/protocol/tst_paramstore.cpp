// SPDX-License-Identifier: GPL-3.0-or-later
#include "fieldtable.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QtTest>

#include <limits>

namespace {

constexpr qint32 kIntMin = std::numeric_limits<qint32>::min();
constexpr qint32 kIntMax = std::numeric_limits<qint32>::max();

const ExpectedField &fieldNamed(const QByteArray &name)
{
    for (const ExpectedField &f : expectedFields()) {
        if (name == f.name)
            return f;
    }
    qFatal("no expected row for field %s", name.constData());
}

} // namespace

class TestParamStore : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void everyFieldIsInTheNameTable();
    void unknownNameIsNotFound();
    void startValues_data();
    void startValues();
    void voltStartsAtZeroWhileTheFramesCarry37();
    void storesDifferWhenAnyFieldDiffers_data();
    void storesDifferWhenAnyFieldDiffers();

    void rangeCheckAtBothEnds_data();
    void rangeCheckAtBothEnds();
    void rangeCheckReplacesStrayValues();
    void fieldsWithoutRangeAreLeftAlone_data();
    void fieldsWithoutRangeAreLeftAlone();
    void wholeStoreOutOfRangeAtOnce_data();
    void wholeStoreOutOfRangeAtOnce();
    void voltRangeCheck_data();
    void voltRangeCheck();
    void voltFallsBackWithItsTenths_data();
    void voltFallsBackWithItsTenths();

private:
    ParamStore m_globalAtStart;
};

void TestParamStore::initTestCase()
{
    // Nothing in this test touches the global store; keep what it held before main() ran.
    m_globalAtStart = ParamData;
}

void TestParamStore::everyFieldIsInTheNameTable()
{
    QCOMPARE(intFieldCount(), expectedFields().size());
    QCOMPARE(int(intFieldsEnd() - intFieldsBegin()), expectedFields().size());
    for (const ExpectedField &f : expectedFields()) {
        const IntFieldInfo *info = findIntField(f.name);
        QVERIFY2(info, f.name);
        QVERIFY2(info->member == f.member, f.name);
        QCOMPARE(intFieldName(f.member), f.name);
    }
    for (const IntFieldInfo *info = intFieldsBegin(); info != intFieldsEnd(); ++info)
        QVERIFY2(expectedField(info->member), info->name);
}

void TestParamStore::unknownNameIsNotFound()
{
    QVERIFY(!findIntField("Volt"));
    QVERIFY(!findIntField("sub9"));
    QVERIFY(!findIntField(""));
    QVERIFY(!findIntField("SUB1"));
}

void TestParamStore::startValues_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("start");
    for (const ExpectedField &f : expectedFields())
        QTest::newRow(f.name) << QByteArray(f.name) << f.start;
}

void TestParamStore::startValues()
{
    QFETCH(QByteArray, field);
    QFETCH(int, start);
    const IntField member = fieldNamed(field).member;
    QCOMPARE(ParamStore().*member, start);
    QCOMPARE(m_globalAtStart.*member, start);
}

void TestParamStore::voltStartsAtZeroWhileTheFramesCarry37()
{
    QCOMPARE(ParamStore().Volt, 0.0);
    QCOMPARE(m_globalAtStart.Volt, 0.0);
    QCOMPARE(m_globalAtStart.Volt_x10, 37);
    QCOMPARE(m_globalAtStart.Spare1_x10, 110);
}

void TestParamStore::storesDifferWhenAnyFieldDiffers_data()
{
    QTest::addColumn<QByteArray>("field");
    for (const ExpectedField &f : expectedFields())
        QTest::newRow(f.name) << QByteArray(f.name);
    QTest::newRow("Volt") << QByteArray("Volt");
}

void TestParamStore::storesDifferWhenAnyFieldDiffers()
{
    QFETCH(QByteArray, field);
    const ParamStore a;
    ParamStore b;
    QVERIFY(a == b);
    if (field == "Volt")
        b.Volt = 3.7;
    else
        b.*fieldNamed(field).member += 1;
    QVERIFY(a != b);
    QVERIFY(!(a == b));
}

void TestParamStore::rangeCheckAtBothEnds_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    for (const ExpectedField &f : expectedFields()) {
        if (!f.ranged)
            continue;
        const QByteArray n(f.name);
        QTest::addRow("%s at low", f.name) << n << f.low << f.low;
        QTest::addRow("%s at high", f.name) << n << f.high << f.high;
        QTest::addRow("%s one below", f.name) << n << f.low - 1 << f.replacement;
        QTest::addRow("%s one above", f.name) << n << f.high + 1 << f.replacement;
        QTest::addRow("%s int min", f.name) << n << kIntMin << f.replacement;
        QTest::addRow("%s int max", f.name) << n << kIntMax << f.replacement;
    }
}

void TestParamStore::rangeCheckAtBothEnds()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(int, expected);
    const IntField member = fieldNamed(field).member;

    ParamStore store;
    store.*member = value;
    replaceOutOfRangeValues(store);

    QCOMPARE(store.*member, expected);
    // Every other field started in range and must not have been touched.
    ParamStore wanted;
    wanted.*member = expected;
    if (member == &ParamStore::Volt_x10 && value != expected)
        wanted.Volt = expected / 10.0; // a replaced Volt_x10 takes Volt with it
    QCOMPARE(differingFields(store, wanted), QStringList());
}

void TestParamStore::rangeCheckReplacesStrayValues()
{
    ParamStore store;
    store.sub1 = -101;
    store.Lepa1 = 121;
    store.rev3 = 2;
    store.FS3 = 200;
    store.Spare2 = 1;
    store.Volt = 50.5;
    store.DR_CH = 4; // a valid index, although it selects no D/R channel

    replaceOutOfRangeValues(store);

    QCOMPARE(store.sub1, 0);
    QCOMPARE(store.Lepa1, 96);
    QCOMPARE(store.rev3, 1);
    QCOMPARE(store.FS3, 0);
    QCOMPARE(store.Spare2, -100);
    QCOMPARE(store.Volt, 3.7); // from Volt_x10, which held its start value 37
    QCOMPARE(store.DR_CH, 4);
}

void TestParamStore::fieldsWithoutRangeAreLeftAlone_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    for (const ExpectedField &f : expectedFields()) {
        if (f.ranged)
            continue;
        const QByteArray n(f.name);
        QTest::addRow("%s int min", f.name) << n << kIntMin;
        QTest::addRow("%s -1", f.name) << n << -1;
        QTest::addRow("%s 65535", f.name) << n << 65535;
        QTest::addRow("%s int max", f.name) << n << kIntMax;
    }
}

void TestParamStore::fieldsWithoutRangeAreLeftAlone()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    const IntField member = fieldNamed(field).member;

    ParamStore store;
    store.*member = value;
    replaceOutOfRangeValues(store);
    QCOMPARE(store.*member, value);
}

void TestParamStore::wholeStoreOutOfRangeAtOnce_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("int min") << kIntMin;
    QTest::newRow("-101") << -101;
    QTest::newRow("1001") << 1001;
    QTest::newRow("int max") << kIntMax;
}

void TestParamStore::wholeStoreOutOfRangeAtOnce()
{
    QFETCH(int, value);
    ParamStore store = filledStore(value, 1e9);
    replaceOutOfRangeValues(store);
    for (const ExpectedField &f : expectedFields())
        QCOMPARE(store.*f.member, f.ranged ? f.replacement : value);
    QCOMPARE(store.Volt, 3.7);
}

void TestParamStore::voltRangeCheck_data()
{
    QTest::addColumn<double>("volt");
    QTest::addColumn<double>("expected");
    QTest::newRow("0.0") << 0.0 << 0.0;
    QTest::newRow("3.7") << 3.7 << 3.7;
    QTest::newRow("50.0") << 50.0 << 50.0;
    QTest::newRow("50.5") << 50.5 << 3.7;
    QTest::newRow("just above 50") << 50.000001 << 3.7;
    QTest::newRow("-0.1") << -0.1 << 3.7;
    QTest::newRow("NaN") << qQNaN() << 3.7;
    QTest::newRow("+inf") << qInf() << 3.7;
    QTest::newRow("-inf") << -qInf() << 3.7;
}

void TestParamStore::voltRangeCheck()
{
    QFETCH(double, volt);
    QFETCH(double, expected);
    ParamStore store;
    store.Volt = volt;
    replaceOutOfRangeValues(store);
    QCOMPARE(store.Volt, expected);
    // A stray Volt takes the voltage the frames carry, which stays as it was.
    QCOMPARE(store.Volt_x10, 37);
}

void TestParamStore::voltFallsBackWithItsTenths_data()
{
    QTest::addColumn<int>("tenths");
    QTest::addColumn<double>("volt");
    QTest::addColumn<int>("checkedTenths");
    QTest::addColumn<double>("checkedVolt");
    // As the decoder and the file parser leave them: Volt is Volt_x10 / 10.
    QTest::newRow("frame 600") << 600 << 60.0 << 37 << 3.7;
    QTest::newRow("frame 501") << 501 << 50.1 << 37 << 3.7;
    QTest::newRow("frame 65535") << 65535 << 6553.5 << 37 << 3.7;
    QTest::newRow("file field 0F") << -1 << -0.1 << 37 << 3.7;
    QTest::newRow("frame 500 stays") << 500 << 50.0 << 500 << 50.0;
    QTest::newRow("frame 0 stays") << 0 << 0.0 << 0 << 0.0;
    // Only one form stray: the other one decides.
    QTest::newRow("tenths stray, Volt in range") << 600 << 5.0 << 37 << 3.7;
    QTest::newRow("Volt stray, tenths 42") << 42 << 60.0 << 42 << 4.2;
    QTest::newRow("Volt NaN, tenths 239") << 239 << qQNaN() << 239 << 23.9;
}

void TestParamStore::voltFallsBackWithItsTenths()
{
    QFETCH(int, tenths);
    QFETCH(double, volt);
    QFETCH(int, checkedTenths);
    QFETCH(double, checkedVolt);
    ParamStore store;
    store.Volt_x10 = tenths;
    store.Volt = volt;
    replaceOutOfRangeValues(store);
    QCOMPARE(store.Volt_x10, checkedTenths);
    QCOMPARE(store.Volt, checkedVolt);
}

QTEST_APPLESS_MAIN(TestParamStore)
#include "tst_paramstore.moc"
