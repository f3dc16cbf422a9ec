// SPDX-License-Identifier: GPL-3.0-or-later
#include "factory.h"
#include "fieldtable.h"
#include "frames.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <initializer_list>
#include <limits>

namespace {

enum class Enc { Dec, Hex, Digits3 };

// Where a field sits in its frame and how it is written, typed in from the frame layouts.
struct LayoutField
{
    const char *name;
    IntField member;
    char frame; // 'S', 'G' or 'H'
    int pos;    // within the frame
    Enc enc;
    int k;
};

struct NamedMember
{
    const char *name;
    IntField member;
};

#define KT_M(f)                                                                                    \
    NamedMember                                                                                    \
    {                                                                                              \
#f, &ParamStore::f                                                                         \
    }

int widthOf(Enc enc)
{
    return enc == Enc::Dec ? 1 : enc == Enc::Hex ? 2 : 3;
}

// Fields that follow one another from `first` on, each with the same encoding.
void run(QVector<LayoutField> &out, char frame, int first, Enc enc, int k,
         std::initializer_list<NamedMember> members)
{
    int pos = first;
    for (const NamedMember &m : members) {
        out.append({m.name, m.member, frame, pos, enc, k});
        pos += widthOf(enc);
    }
}

const QVector<LayoutField> &layout()
{
    static const QVector<LayoutField> fields = [] {
        QVector<LayoutField> l;
        const Enc D = Enc::Dec, X = Enc::Hex;
        run(l, 'S', 1, D, 0,
            {KT_M(rev1), KT_M(rev2), KT_M(rev3), KT_M(rev4), KT_M(rev5), KT_M(rev6), KT_M(rev7),
             KT_M(rev8)});
        run(l, 'S', 9, X, 120,
            {KT_M(sub1), KT_M(sub2), KT_M(sub3), KT_M(sub4), KT_M(sub5), KT_M(sub6), KT_M(sub7),
             KT_M(sub8)});
        run(l, 'S', 25, X, 16,
            {KT_M(Lepa1), KT_M(Lepa2), KT_M(Lepa3), KT_M(Lepa4), KT_M(Lepa5), KT_M(Lepa6),
             KT_M(Lepa7), KT_M(Lepa8)});
        run(l, 'S', 41, X, 16,
            {KT_M(Repa1), KT_M(Repa2), KT_M(Repa3), KT_M(Repa4), KT_M(Repa5), KT_M(Repa6),
             KT_M(Repa7), KT_M(Repa8)});
        run(l, 'S', 57, X, 16,
            {KT_M(FS1), KT_M(FS2), KT_M(FS3), KT_M(FS4), KT_M(FS5), KT_M(FS6), KT_M(FS7),
             KT_M(FS8)});
        run(l, 'S', 73, D, 0, {KT_M(AUX5), KT_M(AUX6), KT_M(AUX7), KT_M(AUX8)});
        run(l, 'S', 77, X, 16, {KT_M(Volt_x10)});
        run(l, 'S', 79, D, 0, {KT_M(Mode)});

        run(l, 'G', 1, D, 0, {KT_M(AttiM)});
        run(l, 'G', 2, X, 16,
            {KT_M(Atti1), KT_M(Atti2), KT_M(Atti3), KT_M(Atti4), KT_M(Atti5), KT_M(Atti6)});
        run(l, 'G', 14, D, 0, {KT_M(EleMix)});
        run(l, 'G', 15, X, 120,
            {KT_M(Elev01), KT_M(Elev05), KT_M(Elev02), KT_M(Elev06), KT_M(Elev03), KT_M(Elev04)});
        run(l, 'G', 27, D, 0, {KT_M(RuMix)});
        run(l, 'G', 28, X, 116, {KT_M(Ru1), KT_M(Ru2), KT_M(Ru3), KT_M(Ru4)});
        run(l, 'G', 37, X, 16,
            {KT_M(delay1), KT_M(delay2), KT_M(delay3), KT_M(delay4), KT_M(delay5), KT_M(delay6),
             KT_M(delay7), KT_M(delay8)});
        run(l, 'G', 53, D, 0, {KT_M(DR_MIX), KT_M(DR_CH)});
        run(l, 'G', 55, X, 16, {KT_M(DR_UP1), KT_M(DR_DOWN1)});
        run(l, 'G', 59, X, 116,
            {KT_M(PRM01_Data2), KT_M(PRM02_Data2), KT_M(PRM01_Data3), KT_M(PRM02_Data3),
             KT_M(PRM01_Data1), KT_M(PRM02_Data1)});
        run(l, 'G', 71, D, 0,
            {KT_M(PRM01_Master), KT_M(PRM02_Master), KT_M(PRM01_Slave), KT_M(PRM02_Slave),
             KT_M(PRM01_Mix), KT_M(PRM02_Mix)});

        run(l, 'H', 1, X, 16, {KT_M(DR_UP_CH1), KT_M(DR_UP_CH2), KT_M(DR_UP_CH3), KT_M(DR_UP_CH4)});
        run(l, 'H', 9, X, 16,
            {KT_M(DR_DOWN_CH1), KT_M(DR_DOWN_CH2), KT_M(DR_DOWN_CH3), KT_M(DR_DOWN_CH4)});
        run(l, 'H', 17, D, 0, {KT_M(PRM03_Mix), KT_M(PRM03_Master), KT_M(PRM03_Slave)});
        run(l, 'H', 20, X, 116, {KT_M(PRM03_Data1), KT_M(PRM03_Data2), KT_M(PRM03_Data3)});
        run(l, 'H', 26, D, 0, {KT_M(PRM04_Mix), KT_M(PRM04_Master), KT_M(PRM04_Slave)});
        run(l, 'H', 29, X, 116, {KT_M(PRM04_Data1), KT_M(PRM04_Data2), KT_M(PRM04_Data3)});
        run(l, 'H', 35, D, 0, {KT_M(THCURE_MIX)});
        run(l, 'H', 36, D, 0, {KT_M(THCURE_Spare)});
        run(l, 'H', 37, X, 16,
            {KT_M(THCURE_Data01), KT_M(THCURE_Data02), KT_M(THCURE_Data03), KT_M(THCURE_Data04),
             KT_M(THCURE_Data05), KT_M(THCURE_Data06), KT_M(THCURE_Data07)});
        run(l, 'H', 51, D, 0, {KT_M(DR_POSI)});
        run(l, 'H', 52, X, 116,
            {KT_M(DR_EXPUP_CH1), KT_M(DR_EXPUP_CH2), KT_M(DR_EXPUP_CH3), KT_M(DR_EXPUP_CH4)});
        run(l, 'H', 60, X, 116,
            {KT_M(DR_EXPDOWN_CH1), KT_M(DR_EXPDOWN_CH2), KT_M(DR_EXPDOWN_CH3),
             KT_M(DR_EXPDOWN_CH4)});
        run(l, 'H', 68, Enc::Digits3, 0, {KT_M(Spare1_x10)});
        run(l, 'H', 71, X, 120, {KT_M(Spare2)});
        run(l, 'H', 73, D, 0, {KT_M(DR_SW2)});
        return l;
    }();
    return fields;
}

#undef KT_M

const LayoutField &layoutOf(const QByteArray &name)
{
    for (const LayoutField &f : layout()) {
        if (name == f.name)
            return f;
    }
    qFatal("%s is in no frame", name.constData());
}

const FrameLayout &frameLayout(char frame)
{
    return frame == 'S' ? kFrameS : frame == 'G' ? kFrameG : kFrameH;
}

int fileOffset(char frame)
{
    return frame == 'S' ? 0 : frame == 'G' ? 81 : 162;
}

// The values a slot can carry, within the field's valid range.
QPair<int, int> carriedRange(const LayoutField &f)
{
    const ExpectedField *e = expectedField(f.member);
    switch (f.enc) {
    case Enc::Dec:
        return {qMax(e->low, 0), qMin(e->high, 9)};
    case Enc::Hex:
        return {qMax(e->low, 16 - f.k), qMin(e->high, 255 - f.k)};
    case Enc::Digits3:
        return {qMax(e->low, 0), qMin(e->high, 999)};
    }
    return {0, 0};
}

QString encoded(const LayoutField &f, int value)
{
    switch (f.enc) {
    case Enc::Dec:
        return QString::number(value);
    case Enc::Hex:
        return QString::number(value + f.k, 16).toUpper();
    case Enc::Digits3:
        return QStringLiteral("%1").arg(value, 3, 10, QLatin1Char('0'));
    }
    return QString();
}

const QString kTemplateS = QStringLiteral(
    "S00100000787878787878787870707070707070707070707070707070424210424242424213027E2Y");
const QString kTemplateG = QStringLiteral(
    "G41E2D3C4855680DCDCDCDCDC1409632A696674747474747474740074746474647464640135006D2Z");
const QString kTemplateH = QStringLiteral(
    "H0000000000000000000000000000000000000000000000000000000000000000000000000000000X");

QString readDataFile(const char *name)
{
    QFile file(QStringLiteral(KORVA_TEST_DATA_DIR "/") + QLatin1String(name));
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open test data %s", name);
    return QString::fromLatin1(file.readAll());
}

// The three frames as the write operation would leave them in freshly started buffers.
QStringList buildAll(const ParamStore &store)
{
    QString s = kFrameS.tmpl, g = kFrameG.tmpl, h = kFrameH.tmpl;
    buildFrameInto(kFrameS, store, s);
    buildFrameInto(kFrameG, store, g);
    buildFrameInto(kFrameH, store, h);
    return {s, g, h};
}

QString fileText(const ParamStore &store)
{
    return buildAll(store).join(QString());
}

// The values held in custom_params.txt, typed in when the file was encoded by hand.
ParamStore customStore()
{
    ParamStore s;
    s.rev1 = 1, s.rev2 = 0, s.rev3 = 0, s.rev4 = 1, s.rev5 = 0, s.rev6 = 1, s.rev7 = 0;
    s.rev8 = 1;
    s.sub1 = -100, s.sub2 = 100, s.sub3 = -10, s.sub4 = 10, s.sub5 = 0, s.sub6 = 1, s.sub7 = -1;
    s.sub8 = 55;
    s.Lepa1 = 0, s.Lepa2 = 120, s.Lepa3 = 96, s.Lepa4 = 1, s.Lepa5 = 2, s.Lepa6 = 3;
    s.Lepa7 = 4, s.Lepa8 = 5;
    s.Repa1 = 120, s.Repa2 = 0, s.Repa3 = 60, s.Repa4 = 61, s.Repa5 = 62, s.Repa6 = 63;
    s.Repa7 = 64, s.Repa8 = 65;
    s.FS1 = 0, s.FS2 = 100, s.FS3 = 50, s.FS4 = 25, s.FS5 = 75, s.FS6 = 10, s.FS7 = 90;
    s.FS8 = 99;
    s.AUX5 = 5, s.AUX6 = 4, s.AUX7 = 3, s.AUX8 = 0;
    s.Volt_x10 = 42, s.Volt = 4.2, s.Mode = 3;

    s.AttiM = 2;
    s.Atti1 = 0, s.Atti2 = 100, s.Atti3 = 10, s.Atti4 = 20, s.Atti5 = 30, s.Atti6 = 40;
    s.EleMix = 1;
    s.Elev01 = -100, s.Elev02 = 50, s.Elev03 = 0, s.Elev04 = 100, s.Elev05 = -50;
    s.Elev06 = 25;
    s.RuMix = 1, s.Ru1 = -100, s.Ru2 = 100, s.Ru3 = 0, s.Ru4 = -1;
    s.delay1 = 0, s.delay2 = 10, s.delay3 = 20, s.delay4 = 30, s.delay5 = 40, s.delay6 = 50;
    s.delay7 = 60, s.delay8 = 100;
    s.DR_MIX = 1, s.DR_CH = 2, s.DR_UP1 = 80, s.DR_DOWN1 = 70;
    s.PRM01_Data1 = 11, s.PRM01_Data2 = 12, s.PRM01_Data3 = 13;
    s.PRM02_Data1 = -21, s.PRM02_Data2 = -22, s.PRM02_Data3 = -23;
    s.PRM01_Master = 7, s.PRM02_Master = 6, s.PRM01_Slave = 2, s.PRM02_Slave = 4;
    s.PRM01_Mix = 2, s.PRM02_Mix = 1;

    s.DR_UP_CH1 = 100, s.DR_UP_CH2 = 90, s.DR_UP_CH3 = 80, s.DR_UP_CH4 = 0;
    s.DR_DOWN_CH1 = 0, s.DR_DOWN_CH2 = 50, s.DR_DOWN_CH3 = 70, s.DR_DOWN_CH4 = 100;
    s.PRM03_Mix = 1, s.PRM03_Master = 5, s.PRM03_Slave = 0;
    s.PRM03_Data1 = -100, s.PRM03_Data2 = 0, s.PRM03_Data3 = 100;
    s.PRM04_Mix = 2, s.PRM04_Master = 9, s.PRM04_Slave = 8;
    s.PRM04_Data1 = 1, s.PRM04_Data2 = -1, s.PRM04_Data3 = 50;
    s.THCURE_MIX = 3, s.THCURE_Spare = 4;
    s.THCURE_Data01 = 5, s.THCURE_Data02 = 15, s.THCURE_Data03 = 30, s.THCURE_Data04 = 45;
    s.THCURE_Data05 = 60, s.THCURE_Data06 = 80, s.THCURE_Data07 = 95;
    s.DR_POSI = 1;
    s.DR_EXPUP_CH1 = -100, s.DR_EXPUP_CH2 = -50, s.DR_EXPUP_CH3 = 0, s.DR_EXPUP_CH4 = 100;
    s.DR_EXPDOWN_CH1 = 10, s.DR_EXPDOWN_CH2 = 20, s.DR_EXPDOWN_CH3 = -30;
    s.DR_EXPDOWN_CH4 = -40;
    s.Spare1_x10 = 57, s.Spare2 = -37, s.DR_SW2 = 2;
    return s;
}

// `base` with the fields of the named frames taken from `from`.
ParamStore withFramesFrom(ParamStore base, const ParamStore &from, const QString &frames)
{
    for (const LayoutField &f : layout()) {
        if (frames.contains(QLatin1Char(f.frame)))
            base.*f.member = from.*f.member;
    }
    if (frames.contains(QLatin1Char('S')))
        base.Volt = from.Volt_x10 / 10.0;
    return base;
}

} // namespace

class TestFrames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void templatesAndLetters();
    void factoryValuesGiveTheGoldenFrames();
    void secondBuildIsIdentical();
    void handEncodedFileBuildsByteForByte();
    void buildKeepsTheTail();
    void fixedCharactersAlwaysWritten();
    void fieldEncodingAtBothEnds_data();
    void fieldEncodingAtBothEnds();
    void valuesASlotCannotCarryAreClamped_data();
    void valuesASlotCannotCarryAreClamped();

    void saveThenLoadGivesBackEveryCarriedField_data();
    void saveThenLoadGivesBackEveryCarriedField();
    void loadOfHandEncodedFile();
    void loadTakesOnlyFramesWithTheirLetters_data();
    void loadTakesOnlyFramesWithTheirLetters();
    void damagedFieldText_data();
    void damagedFieldText();
    void factoryFileLoadsFactoryValues();
};

void TestFrames::initTestCase()
{
    // The layout typed in above must cover each frame's built part without gaps or overlaps:
    // letter at 0, fields, the fixed "6" at G 36.
    for (char frame : {'S', 'G', 'H'}) {
        QVector<int> used(frameLayout(frame).builtLength, 0);
        used[0] = 1;
        if (frame == 'G')
            used[36] = 1;
        for (const LayoutField &f : layout()) {
            if (f.frame != frame)
                continue;
            for (int i = 0; i < widthOf(f.enc); ++i)
                used[f.pos + i] += 1;
        }
        QCOMPARE(used, QVector<int>(used.size(), 1));
    }
    // Every field the frames carry has a range to test against.
    for (const LayoutField &f : layout())
        QVERIFY2(expectedField(f.member) && expectedField(f.member)->ranged, f.name);
}

void TestFrames::templatesAndLetters()
{
    QCOMPARE(QString::fromLatin1(kFrameS.tmpl), kTemplateS);
    QCOMPARE(QString::fromLatin1(kFrameG.tmpl), kTemplateG);
    QCOMPARE(QString::fromLatin1(kFrameH.tmpl), kTemplateH);
    QCOMPARE(kFrameS.builtLength, 80);
    QCOMPARE(kFrameG.builtLength, 77);
    QCOMPARE(kFrameH.builtLength, 74);
    QCOMPARE(kFrameS.fileOffset, 0);
    QCOMPARE(kFrameG.fileOffset, 81);
    QCOMPARE(kFrameH.fileOffset, 162);
    QCOMPARE(kFrameLength, 81);
    QCOMPARE(kParameterFileLength, 243);
}

void TestFrames::factoryValuesGiveTheGoldenFrames()
{
    const QStringList golden = readDataFile("factory_frames.txt").split(QLatin1Char('\n'));
    QCOMPARE(golden.size(), 4); // three lines and the empty rest after the last line end
    QCOMPARE(golden.at(3), QString());

    ParamStore store;
    applyFactoryValues(store);
    const QStringList frames = buildAll(store);
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(frames.at(i).size(), 81);
        QCOMPARE(frames.at(i), golden.at(i));
        QCOMPARE(frames.at(i).toLatin1().size(), 81);
    }
}

void TestFrames::secondBuildIsIdentical()
{
    ParamStore store;
    applyFactoryValues(store);
    QString s = kFrameS.tmpl, g = kFrameG.tmpl, h = kFrameH.tmpl;
    buildFrameInto(kFrameS, store, s);
    buildFrameInto(kFrameG, store, g);
    buildFrameInto(kFrameH, store, h);
    const QStringList first{s, g, h};
    buildFrameInto(kFrameS, store, s);
    buildFrameInto(kFrameG, store, g);
    buildFrameInto(kFrameH, store, h);
    QCOMPARE((QStringList{s, g, h}), first);
}

void TestFrames::handEncodedFileBuildsByteForByte()
{
    const QString file = readDataFile("custom_params.txt");
    QCOMPARE(file.size(), 243);
    QCOMPARE(fileText(customStore()), file);
}

void TestFrames::buildKeepsTheTail()
{
    // Only the built part is replaced, whatever the rest of the buffer holds.
    const ParamStore store = customStore();
    for (const FrameLayout *l : {&kFrameS, &kFrameG, &kFrameH}) {
        const int n = l->builtLength;
        QString buffer = QString::fromLatin1(l->tmpl).left(n) + QString(81 - n, QLatin1Char('q'));
        buildFrameInto(*l, store, buffer);
        QCOMPARE(buffer.size(), 81);
        QCOMPARE(buffer.mid(n), QString(81 - n, QLatin1Char('q')));
        QCOMPARE(buffer.left(n), buildFrameText(*l, store));
    }
    const QStringList frames = buildAll(store);
    QCOMPARE(frames.at(0).mid(80), QStringLiteral("Y"));
    QCOMPARE(frames.at(1).mid(77), QStringLiteral("6D2Z"));
    QCOMPARE(frames.at(2).mid(74), QStringLiteral("000000X"));
}

void TestFrames::fixedCharactersAlwaysWritten()
{
    for (const ParamStore &store : {ParamStore(), customStore(), filledStore(0, 0.0)}) {
        const QStringList frames = buildAll(store);
        QCOMPARE(frames.at(0).at(0).toLatin1(), 'S');
        QCOMPARE(frames.at(1).at(0).toLatin1(), 'G');
        QCOMPARE(frames.at(1).at(36).toLatin1(), '6');
        QCOMPARE(frames.at(1).mid(77, 3), QStringLiteral("6D2"));
        QCOMPARE(frames.at(2).at(0).toLatin1(), 'H');
        QCOMPARE(frames.at(2).right(7), QStringLiteral("000000X"));
    }
}

void TestFrames::fieldEncodingAtBothEnds_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    for (const LayoutField &f : layout()) {
        const QPair<int, int> r = carriedRange(f);
        QTest::addRow("%s %d", f.name, r.first)
            << QByteArray(f.name) << r.first << encoded(f, r.first);
        QTest::addRow("%s %d", f.name, r.second)
            << QByteArray(f.name) << r.second << encoded(f, r.second);
    }
    // Written out by hand.
    QTest::newRow("sub1 -100") << QByteArray("sub1") << -100 << QStringLiteral("14");
    QTest::newRow("sub1 100") << QByteArray("sub1") << 100 << QStringLiteral("DC");
    QTest::newRow("sub8 -1") << QByteArray("sub8") << -1 << QStringLiteral("77");
    QTest::newRow("Ru2 -50") << QByteArray("Ru2") << -50 << QStringLiteral("42");
    QTest::newRow("Ru3 100") << QByteArray("Ru3") << 100 << QStringLiteral("D8");
    QTest::newRow("Elev04 -100") << QByteArray("Elev04") << -100 << QStringLiteral("14");
    QTest::newRow("Spare2 -100") << QByteArray("Spare2") << -100 << QStringLiteral("14");
    QTest::newRow("Spare2 0") << QByteArray("Spare2") << 0 << QStringLiteral("78");
    QTest::newRow("Lepa1 120") << QByteArray("Lepa1") << 120 << QStringLiteral("88");
    QTest::newRow("Lepa1 0") << QByteArray("Lepa1") << 0 << QStringLiteral("10");
    QTest::newRow("delay8 100") << QByteArray("delay8") << 100 << QStringLiteral("74");
    QTest::newRow("Volt_x10 239") << QByteArray("Volt_x10") << 239 << QStringLiteral("FF");
    QTest::newRow("Volt_x10 37") << QByteArray("Volt_x10") << 37 << QStringLiteral("35");
    QTest::newRow("DR_EXPDOWN_CH4 -100")
        << QByteArray("DR_EXPDOWN_CH4") << -100 << QStringLiteral("10");
    QTest::newRow("PRM04_Data3 100") << QByteArray("PRM04_Data3") << 100 << QStringLiteral("D8");
    QTest::newRow("Spare1_x10 110") << QByteArray("Spare1_x10") << 110 << QStringLiteral("110");
    QTest::newRow("Spare1_x10 5") << QByteArray("Spare1_x10") << 5 << QStringLiteral("005");
    QTest::newRow("Spare1_x10 999") << QByteArray("Spare1_x10") << 999 << QStringLiteral("999");
    QTest::newRow("PRM02_Master 9") << QByteArray("PRM02_Master") << 9 << QStringLiteral("9");
}

void TestFrames::fieldEncodingAtBothEnds()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(QString, text);
    const LayoutField &f = layoutOf(field);
    const FrameLayout &frame = frameLayout(f.frame);
    const int width = widthOf(f.enc);

    // Start from a store whose value differs, so the slot's change is visible.
    ParamStore base = customStore();
    if (base.*f.member == value)
        base.*f.member =
            carriedRange(f).first == value ? carriedRange(f).second : carriedRange(f).first;
    const QString before = buildFrameText(frame, base);

    ParamStore store = base;
    store.*f.member = value;
    const QString after = buildFrameText(frame, store);

    QCOMPARE(after.size(), frame.builtLength);
    QCOMPARE(after.mid(f.pos, width), text);
    // Nothing else in the frame moved.
    QString restored = after;
    restored.replace(f.pos, width, before.mid(f.pos, width));
    QCOMPARE(restored, before);
}

void TestFrames::valuesASlotCannotCarryAreClamped_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("text");
    // A combo box without a selection reports -1.
    QTest::newRow("rev1 -1") << QByteArray("rev1") << -1 << QStringLiteral("0");
    QTest::newRow("AttiM -1") << QByteArray("AttiM") << -1 << QStringLiteral("0");
    QTest::newRow("DR_CH -1") << QByteArray("DR_CH") << -1 << QStringLiteral("0");
    QTest::newRow("PRM03_Mix -1") << QByteArray("PRM03_Mix") << -1 << QStringLiteral("0");
    QTest::newRow("DR_SW2 -1") << QByteArray("DR_SW2") << -1 << QStringLiteral("0");
    // Master and slave indexes of 10 pass the range check but need two digits.
    QTest::newRow("PRM01_Master 10") << QByteArray("PRM01_Master") << 10 << QStringLiteral("9");
    QTest::newRow("PRM02_Slave 10") << QByteArray("PRM02_Slave") << 10 << QStringLiteral("9");
    QTest::newRow("PRM04_Master 10") << QByteArray("PRM04_Master") << 10 << QStringLiteral("9");
    QTest::newRow("Mode 12345") << QByteArray("Mode") << 12345 << QStringLiteral("9");
    QTest::newRow("Volt_x10 240") << QByteArray("Volt_x10") << 240 << QStringLiteral("FF");
    QTest::newRow("Volt_x10 500") << QByteArray("Volt_x10") << 500 << QStringLiteral("FF");
    QTest::newRow("Volt_x10 -17") << QByteArray("Volt_x10") << -17 << QStringLiteral("10");
    QTest::newRow("sub1 -121") << QByteArray("sub1") << -121 << QStringLiteral("10");
    QTest::newRow("sub1 200") << QByteArray("sub1") << 200 << QStringLiteral("FF");
    QTest::newRow("Ru4 -1000") << QByteArray("Ru4") << -1000 << QStringLiteral("10");
    QTest::newRow("Spare2 1") << QByteArray("Spare2") << 1 << QStringLiteral("79");
    QTest::newRow("Spare1_x10 1000") << QByteArray("Spare1_x10") << 1000 << QStringLiteral("999");
    QTest::newRow("Spare1_x10 -5") << QByteArray("Spare1_x10") << -5 << QStringLiteral("000");
    QTest::newRow("THCURE_Data07 int max")
        << QByteArray("THCURE_Data07") << std::numeric_limits<int>::max() << QStringLiteral("FF");
    QTest::newRow("DR_EXPUP_CH1 int min")
        << QByteArray("DR_EXPUP_CH1") << std::numeric_limits<int>::min() << QStringLiteral("10");
}

void TestFrames::valuesASlotCannotCarryAreClamped()
{
    QFETCH(QByteArray, field);
    QFETCH(int, value);
    QFETCH(QString, text);
    const LayoutField &f = layoutOf(field);
    const FrameLayout &frame = frameLayout(f.frame);

    ParamStore store;
    store.*f.member = value;
    QString buffer = QString::fromLatin1(frame.tmpl);
    const QString tail = buffer.mid(frame.builtLength);
    buildFrameInto(frame, store, buffer);

    QCOMPARE(buffer.size(), 81);
    QCOMPARE(buffer.mid(frame.builtLength), tail);
    QCOMPARE(buffer.mid(f.pos, widthOf(f.enc)), text);
    // The frame reads back as a frame: its letters are where a load looks for them.
    QCOMPARE(buffer.at(0).toLatin1(), frame.letter);
    QCOMPARE(buffer.at(80).toLatin1(), frame.endLetter);
}

void TestFrames::saveThenLoadGivesBackEveryCarriedField_data()
{
    QTest::addColumn<quint32>("seed");
    for (quint32 seed = 1; seed <= 8; ++seed)
        QTest::addRow("seed %u", seed) << seed;
}

void TestFrames::saveThenLoadGivesBackEveryCarriedField()
{
    QFETCH(quint32, seed);
    QRandomGenerator rng(seed);
    for (int round = 0; round < 250; ++round) {
        ParamStore saved = filledStore(-5555, -5.5);
        for (const LayoutField &f : layout()) {
            const QPair<int, int> r = carriedRange(f);
            saved.*f.member = r.first + int(rng.bounded(quint32(r.second - r.first + 1)));
        }
        const QString text = fileText(saved);
        QCOMPARE(text.size(), 243);

        ParamStore loaded = filledStore(-7777, -7.5);
        const ParameterTextResult result = parseParameterText(text, loaded);
        QVERIFY(result.sFrame && result.gFrame && result.hFrame);
        QCOMPARE(result.length, 243);

        const ParamStore wanted = withFramesFrom(filledStore(-7777, -7.5), saved, "SGH");
        const QStringList diff = differingFields(loaded, wanted);
        if (!diff.isEmpty())
            QFAIL(qPrintable(QStringLiteral("round %1: %2 in %3")
                                 .arg(round)
                                 .arg(diff.join(QLatin1Char(',')), text)));
    }
}

void TestFrames::loadOfHandEncodedFile()
{
    ParamStore loaded;
    const ParameterTextResult result =
        parseParameterText(readDataFile("custom_params.txt"), loaded);
    QVERIFY(result.sFrame && result.gFrame && result.hFrame);
    // Fields in no frame keep their start values; Volt follows Volt_x10.
    const ParamStore wanted = withFramesFrom(ParamStore(), customStore(), "SGH");
    QCOMPARE(differingFields(loaded, wanted), QStringList());
    QCOMPARE(loaded.Volt, 4.2);
    QCOMPARE(loaded.DR_RATE, 100);
    QCOMPARE(loaded.DR_EXP, 0);
}

void TestFrames::loadTakesOnlyFramesWithTheirLetters_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("taken");
    const QString file = readDataFile("custom_params.txt");
    const auto damaged = [&file](int at, char c) {
        QString t = file;
        t[at] = QLatin1Char(c);
        return t;
    };
    QTest::newRow("complete") << file << "SGH";
    QTest::newRow("empty") << QString() << "";
    QTest::newRow("S frame only") << file.left(81) << "";
    QTest::newRow("161 characters") << file.left(161) << "";
    QTest::newRow("S and G frames") << file.left(162) << "SG";
    QTest::newRow("one short of complete") << file.left(242) << "SG";
    QTest::newRow("200 characters") << file.left(200) << "SG";
    QTest::newRow("line end after it") << file + QLatin1Char('\n') << "SGH";
    QTest::newRow("CR LF after it") << file + QStringLiteral("\r\n") << "SGH";
    QTest::newRow("S letter damaged") << damaged(0, 's') << "GH";
    QTest::newRow("Y letter damaged") << damaged(80, 'X') << "GH";
    QTest::newRow("G letter damaged") << damaged(81, 'H') << "SH";
    QTest::newRow("Z letter damaged") << damaged(161, '2') << "SH";
    QTest::newRow("H letter damaged") << damaged(162, 'h') << "SG";
    QTest::newRow("X letter damaged") << damaged(242, 'Y') << "SG";
    QTest::newRow("S letter damaged, 162 characters") << damaged(0, '0').left(162) << "G";
    QTest::newRow("only the H frame in place")
        << QString(162, QLatin1Char(' ')) + file.mid(162) << "H";
    QTest::newRow("one frame per line") << file.left(81) + QLatin1Char('\n') + file.mid(81, 81) +
                                               QLatin1Char('\n') + file.mid(162) + QLatin1Char('\n')
                                        << "S";
}

void TestFrames::loadTakesOnlyFramesWithTheirLetters()
{
    QFETCH(QString, text);
    QFETCH(QString, taken);

    ParamStore store;
    const ParameterTextResult result = parseParameterText(text, store);
    QCOMPARE(result.length, text.size());
    QCOMPARE(result.sFrame, taken.contains(QLatin1Char('S')));
    QCOMPARE(result.gFrame, taken.contains(QLatin1Char('G')));
    QCOMPARE(result.hFrame, taken.contains(QLatin1Char('H')));
    const ParamStore wanted = withFramesFrom(ParamStore(), customStore(), taken);
    QCOMPARE(differingFields(store, wanted), QStringList());
    QCOMPARE(store.Volt, wanted.Volt);
}

void TestFrames::damagedFieldText_data()
{
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("loaded");
    QTest::addColumn<int>("checked"); // after the range check
    QTest::newRow("sub1 not hex") << QByteArray("sub1") << QStringLiteral("GZ") << -120 << 0;
    QTest::newRow("sub1 half hex") << QByteArray("sub1") << QStringLiteral("7Q") << -120 << 0;
    QTest::newRow("sub1 lower case") << QByteArray("sub1") << QStringLiteral("dc") << 100 << 100;
    QTest::newRow("Lepa1 not hex") << QByteArray("Lepa1") << QStringLiteral("??") << -16 << 96;
    QTest::newRow("Ru2 not hex") << QByteArray("Ru2") << QStringLiteral("..") << -116 << -50;
    QTest::newRow("Spare2 not hex") << QByteArray("Spare2") << QStringLiteral("x1") << -120 << -100;
    QTest::newRow("rev1 hex digit") << QByteArray("rev1") << QStringLiteral("A") << 10 << 0;
    QTest::newRow("rev3 not hex") << QByteArray("rev3") << QStringLiteral("Z") << 0 << 0;
    QTest::newRow("Mode hex digit") << QByteArray("Mode") << QStringLiteral("B") << 11 << 1;
    QTest::newRow("AUX6 hex digit") << QByteArray("AUX6") << QStringLiteral("f") << 15 << 3;
    QTest::newRow("PRM01_Master hex digit")
        << QByteArray("PRM01_Master") << QStringLiteral("A") << 10 << 10;
    QTest::newRow("PRM02_Slave hex digit")
        << QByteArray("PRM02_Slave") << QStringLiteral("F") << 15 << 5;
    QTest::newRow("DR_CH hex digit") << QByteArray("DR_CH") << QStringLiteral("C") << 12 << 0;
    QTest::newRow("Spare1_x10 hex digits")
        << QByteArray("Spare1_x10") << QStringLiteral("1A0") << 200 << 200;
    QTest::newRow("Spare1_x10 high hex digits")
        << QByteArray("Spare1_x10") << QStringLiteral("FFF") << 1665 << 110;
    QTest::newRow("Spare1_x10 not digits")
        << QByteArray("Spare1_x10") << QStringLiteral("Z?Z") << 0 << 0;
}

void TestFrames::damagedFieldText()
{
    QFETCH(QByteArray, field);
    QFETCH(QString, text);
    QFETCH(int, loaded);
    QFETCH(int, checked);
    const LayoutField &f = layoutOf(field);
    QCOMPARE(text.size(), widthOf(f.enc));

    QString file = readDataFile("custom_params.txt");
    file.replace(fileOffset(f.frame) + f.pos, text.size(), text);

    ParamStore store;
    const ParameterTextResult result = parseParameterText(file, store);
    QVERIFY(result.sFrame && result.gFrame && result.hFrame);
    QCOMPARE(store.*f.member, loaded);
    // Only that field differs from a clean load.
    ParamStore wanted = withFramesFrom(ParamStore(), customStore(), "SGH");
    wanted.*f.member = loaded;
    QCOMPARE(differingFields(store, wanted), QStringList());

    replaceOutOfRangeValues(store);
    QCOMPARE(store.*f.member, checked);
}

void TestFrames::factoryFileLoadsFactoryValues()
{
    // The golden frames back to back are the file a save of the factory values writes.
    const QString file = readDataFile("factory_frames.txt").remove(QLatin1Char('\n'));
    QCOMPARE(file.size(), 243);

    ParamStore factory;
    applyFactoryValues(factory);

    QCOMPARE(buildParameterFile(factory), file.toLatin1());

    ParamStore loaded = customStore();
    parseParameterText(file, loaded);
    QCOMPARE(differingFields(loaded, withFramesFrom(customStore(), factory, "SGH")), QStringList());
    QCOMPARE(loaded.Volt, 3.7);
    QCOMPARE(loaded.Mode, 2);

    // The voltage text "ZZ" loads as -16: Volt_x10 goes back to 37, and Volt follows it.
    QString damaged = file;
    damaged.replace(77, 2, QStringLiteral("ZZ"));
    parseParameterText(damaged, loaded);
    QCOMPARE(loaded.Volt_x10, -16);
    QCOMPARE(loaded.Volt, -1.6);
    replaceOutOfRangeValues(loaded);
    QCOMPARE(loaded.Volt_x10, 37);
    QCOMPARE(loaded.Volt, 3.7);
}

QTEST_APPLESS_MAIN(TestFrames)
#include "tst_frames.moc"
