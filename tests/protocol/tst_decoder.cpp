// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder.h"
#include "fieldtable.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QRandomGenerator>
#include <QtTest>

namespace {

// One payload field of a parameter frame: where it sits and what is subtracted from it.
struct ExpectedSlot
{
    const char *name;
    IntField member;
    int byte;
    int offset;
    bool word;
};

struct ExpectedKind
{
    int kind;
    int readFlag;
    QVector<ExpectedSlot> fields;
};

#define KT_B(f, byte, offset)                                                                      \
    {                                                                                              \
#f, &ParamStore::f, byte, offset, false                                                    \
    }
#define KT_W(f, byte)                                                                              \
    {                                                                                              \
#f, &ParamStore::f, byte, 0, true                                                          \
    }

// The parameter frame kinds as the transmitter sends them, typed in from the frame tables.
const QVector<ExpectedKind> &expectedKinds()
{
    static const QVector<ExpectedKind> kinds = {
        {0x44,
         1,
         {KT_B(rev1, 3, 0), KT_B(rev2, 4, 0), KT_B(rev3, 5, 0), KT_B(rev4, 6, 0), KT_B(rev5, 7, 0),
          KT_B(rev6, 8, 0), KT_B(rev7, 9, 0), KT_B(rev8, 10, 0)}},
        {0x55,
         2,
         {KT_B(sub1, 3, 120), KT_B(sub2, 4, 120), KT_B(sub3, 5, 120), KT_B(sub4, 6, 120),
          KT_B(sub5, 7, 120), KT_B(sub6, 8, 120), KT_B(sub7, 9, 120), KT_B(sub8, 10, 120)}},
        {0x66,
         3,
         {KT_B(Lepa1, 3, 0), KT_B(Lepa2, 4, 0), KT_B(Lepa3, 5, 0), KT_B(Lepa4, 6, 0),
          KT_B(Lepa5, 7, 0), KT_B(Lepa6, 8, 0), KT_B(Lepa7, 9, 0), KT_B(Lepa8, 10, 0)}},
        {0x77,
         4,
         {KT_B(Repa1, 3, 0), KT_B(Repa2, 4, 0), KT_B(Repa3, 5, 0), KT_B(Repa4, 6, 0),
          KT_B(Repa5, 7, 0), KT_B(Repa6, 8, 0), KT_B(Repa7, 9, 0), KT_B(Repa8, 10, 0)}},
        {0x88,
         5,
         {KT_B(FS1, 3, 0), KT_B(FS2, 4, 0), KT_B(FS3, 5, 0), KT_B(FS4, 6, 0), KT_B(FS5, 7, 0),
          KT_B(FS6, 8, 0), KT_B(FS7, 9, 0), KT_B(FS8, 10, 0)}},
        {0x99, 6, {KT_W(Volt_x10, 3), KT_W(Mode, 5), KT_W(Vertion, 7)}},
        {0xA1,
         8,
         {KT_B(AttiM, 3, 0), KT_B(Atti1, 4, 0), KT_B(Atti2, 5, 0), KT_B(Atti3, 6, 0),
          KT_B(Atti4, 7, 0), KT_B(Atti5, 8, 0), KT_B(Atti6, 9, 0)}},
        {0xA2,
         9,
         {KT_B(EleMix, 3, 0), KT_B(Elev01, 4, 120), KT_B(Elev05, 5, 120), KT_B(Elev02, 6, 120),
          KT_B(Elev06, 7, 120), KT_B(Elev03, 8, 120), KT_B(Elev04, 9, 120)}},
        {0xA3,
         10,
         {KT_B(RuMix, 3, 0), KT_B(Ru1, 4, 100), KT_B(Ru2, 5, 100), KT_B(Ru3, 6, 100),
          KT_B(Ru4, 7, 100), KT_B(DR_MIX, 8, 0)}},
        {0xA4,
         11,
         {KT_B(delay1, 3, 0), KT_B(delay2, 4, 0), KT_B(delay3, 5, 0), KT_B(delay4, 6, 0),
          KT_B(delay5, 7, 0), KT_B(delay6, 8, 0), KT_B(delay7, 9, 0), KT_B(delay8, 10, 0)}},
        {0xA5,
         12,
         {KT_B(DR_UP_CH1, 3, 0), KT_B(DR_UP_CH2, 4, 0), KT_B(DR_UP_CH3, 5, 0),
          KT_B(DR_UP_CH4, 6, 0), KT_B(DR_DOWN_CH1, 7, 0), KT_B(DR_DOWN_CH2, 8, 0),
          KT_B(DR_DOWN_CH3, 9, 0), KT_B(DR_DOWN_CH4, 10, 0)}},
        {0xA6,
         13,
         {KT_B(PRM01_Data2, 3, 100), KT_B(PRM02_Data2, 4, 100), KT_B(PRM01_Data3, 5, 100),
          KT_B(PRM02_Data3, 6, 100), KT_B(PRM01_Data1, 7, 100), KT_B(PRM02_Data1, 8, 100),
          KT_B(PRM01_Master, 9, 0), KT_B(PRM02_Master, 10, 0)}},
        {0xA7,
         14,
         {KT_B(PRM01_Slave, 3, 0), KT_B(PRM02_Slave, 4, 0), KT_B(PRM01_Mix, 5, 0),
          KT_B(PRM02_Mix, 6, 0)}},
        {0xA8,
         15,
         {KT_B(PRM03_Mix, 3, 0), KT_B(PRM03_Master, 4, 0), KT_B(PRM03_Slave, 5, 0),
          KT_B(PRM03_Data1, 6, 100), KT_B(PRM03_Data2, 7, 100), KT_B(PRM03_Data3, 8, 100),
          KT_B(PRM04_Mix, 9, 0), KT_B(PRM04_Master, 10, 0)}},
        {0xA9,
         16,
         {KT_B(PRM04_Slave, 3, 0), KT_B(PRM04_Data1, 4, 100), KT_B(PRM04_Data2, 5, 100),
          KT_B(PRM04_Data3, 6, 100), KT_B(THCURE_MIX, 7, 0), KT_B(THCURE_Spare, 8, 0),
          KT_B(THCURE_Data01, 9, 0), KT_B(THCURE_Data02, 10, 0)}},
        {0xAA,
         17,
         {KT_B(THCURE_Data03, 3, 0), KT_B(THCURE_Data04, 4, 0), KT_B(THCURE_Data05, 5, 0),
          KT_B(THCURE_Data06, 6, 0), KT_B(THCURE_Data07, 7, 0)}},
        {0xAB,
         18,
         {KT_B(DR_SW2, 3, 0), KT_B(DR_POSI, 4, 0), KT_W(Spare1_x10, 5), KT_B(Spare2, 7, 100)}},
        {0xAC,
         19,
         {KT_B(DR_EXPUP_CH1, 3, 100), KT_B(DR_EXPUP_CH2, 4, 100), KT_B(DR_EXPUP_CH3, 5, 100),
          KT_B(DR_EXPUP_CH4, 6, 100), KT_B(DR_EXPDOWN_CH1, 7, 100), KT_B(DR_EXPDOWN_CH2, 8, 100),
          KT_B(DR_EXPDOWN_CH3, 9, 100), KT_B(DR_EXPDOWN_CH4, 10, 100)}},
    };
    return kinds;
}

#undef KT_B
#undef KT_W

const ExpectedKind &expectedKind(int kind)
{
    for (const ExpectedKind &k : expectedKinds()) {
        if (k.kind == kind)
            return k;
    }
    qFatal("kind %02x is not in the table", kind);
}

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// FE, byte 1, kind, the eight payload bytes, FE.
QByteArray parameterFrame(int kind, const QByteArray &payload, char byte1 = 0)
{
    Q_ASSERT(payload.size() == 8);
    QByteArray f;
    f += char(kFrameMarker);
    f += byte1;
    f += char(kind);
    f += payload;
    f += char(kFrameMarker);
    return f;
}

QByteArray payloadFrom(int first)
{
    QByteArray p;
    for (int i = 0; i < 8; ++i)
        p += char(first + i);
    return p;
}

// The store a parameter frame should leave behind, worked out from the table above.
ParamStore expectedAfterParameterFrame(ParamStore store, const QByteArray &frame)
{
    const ExpectedKind &k = expectedKind(quint8(frame.at(2)));
    for (const ExpectedSlot &s : k.fields) {
        const int hi = quint8(frame.at(s.byte));
        store.*s.member = s.word ? hi * 256 + quint8(frame.at(s.byte + 1)) : hi - s.offset;
    }
    store.ReadFlag = k.readFlag;
    if (k.kind == 0x99)
        store.Volt = store.Volt_x10 / 10.0;
    return store;
}

QString tagOf(const DecodedFrame &f)
{
    switch (f.family) {
    case FrameFamily::Channel:
        return QStringLiteral("channel %1/%2").arg(f.kind, 2, 16).arg(f.readFlag);
    case FrameFamily::LinkStatus:
        return QStringLiteral("link %1/%2").arg(f.kind, 2, 16).arg(f.readFlag);
    case FrameFamily::Aux:
        return QStringLiteral("aux/%1").arg(f.readFlag);
    case FrameFamily::Parameter:
        return QStringLiteral("param %1/%2").arg(f.kind, 2, 16, QLatin1Char('0')).arg(f.readFlag);
    }
    return QString();
}

// Sample frames for the receive buffer. Their payloads hold neither 0xFE nor 0xAA, so no
// piece of one can pass for the start of another.
const QByteArray kChannel = hex("FE1805DC04B007D003E805140640"
                                "02BC0320017C");
const QByteArray kLink = hex("FE19B4"
                             "00007B"
                             "0000000000000000000000000000");
const QByteArray kAux = hex("0000AA02040103"
                            "00");
const QByteArray kSub = hex("FE0055786E827878787878FE");

QString tagOfSample(const QByteArray &frame)
{
    if (frame.size() == 8)
        return QStringLiteral("aux/7");
    if (frame.size() == 20)
        return quint8(frame.at(1)) == 0x18 ? QStringLiteral("channel 18/0")
                                           : QStringLiteral("link 19/0");
    const ExpectedKind &k = expectedKind(quint8(frame.at(2)));
    return QStringLiteral("param %1/%2").arg(k.kind, 2, 16, QLatin1Char('0')).arg(k.readFlag);
}

// The store after a sequence of frames, each decoded on its own.
ParamStore storeAfter(const QVector<QByteArray> &frames)
{
    ParamStore s;
    DecodedFrame d;
    for (const QByteArray &f : frames) {
        if (!decodeWholeChunk(f, s, &d))
            qFatal("sample frame not recognised");
    }
    return s;
}

// Feeds chunks into a receive buffer and records what comes out.
struct Receiver
{
    FrameAssembler assembler;
    ParamStore store;
    QStringList frames;
    int maxHeld = 0;

    void feed(const QByteArray &chunk, qint64 nowMs)
    {
        assembler.feed(chunk, nowMs, store, [this](const DecodedFrame &f) { frames << tagOf(f); });
        maxHeld = qMax(maxHeld, assembler.held().size());
    }
};

} // namespace

class TestDecoder : public QObject
{
    Q_OBJECT

private slots:
    // Whole chunks.
    void bigEndianWordAtReadsUnsigned_data();
    void bigEndianWordAtReadsUnsigned();
    void channelFrameSetsServosAndVoltage_data();
    void channelFrameSetsServosAndVoltage();
    void linkStatusFrameSetsRssiAndExternalVoltage();
    void auxFrameSetsTheAuxSources_data();
    void auxFrameSetsTheAuxSources();
    void subTrimExampleFrame();
    void spareFieldsExampleFrame();
    void settingsVoltageFrame_data();
    void settingsVoltageFrame();
    void kindTableHasEighteenKinds();
    void parameterKindFillsItsFields_data();
    void parameterKindFillsItsFields();
    void unknownKindChangesNothing_data();
    void unknownKindChangesNothing();
    void chunkThatIsNoFrameChangesNothing_data();
    void chunkThatIsNoFrameChangesNothing();

    // The receive buffer.
    void wholeFrameIsDecodedOnce_data();
    void wholeFrameIsDecodedOnce();
    void splitFrameIsReassembled_data();
    void splitFrameIsReassembled();
    void frameFedByteByByteIsReassembled_data();
    void frameFedByteByByteIsReassembled();
    void mergedFramesAreSplit_data();
    void mergedFramesAreSplit();
    void garbageBetweenFramesIsDropped_data();
    void garbageBetweenFramesIsDropped();
    void garbageInItsOwnChunkIsDropped();
    void stalePartialIsDroppedBeforeWholeFrame_data();
    void stalePartialIsDroppedBeforeWholeFrame();
    void partialIsKeptForTheHoldTime_data();
    void partialIsKeptForTheHoldTime();
    void holdTimeRunsFromTheFirstByte();
    void wholeFrameDropsUnfinishedPartial();
    void wholeFrameChunkWinsOverContinuation();
    void unknownKindLookingLikeALiveFrameStartIsReportedAndKept();
    void wholeFrameAfterCutOffFrame_data();
    void wholeFrameAfterCutOffFrame();
    void auxShapedRestOfAHeldFrameContinuesIt();
    void frameBegunByTheLastByteOfAReadAfterACutLiveFrame();
    void liveLookingChunkWithKnownKindIsAParameterFrame();
    void unknownKindAsWholeChunkIsReported();
    void badEndMarkerIsNotAFrame();
    void randomlySplitStreamGivesEveryFrameInOrder_data();
    void randomlySplitStreamGivesEveryFrameInOrder();
    void heldBytesNeverExceedOneFrame();
    void liveFramesWithMarkersInsideSurviveAnyChunking_data();
    void liveFramesWithMarkersInsideSurviveAnyChunking();
};

void TestDecoder::bigEndianWordAtReadsUnsigned_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("expected");
    QTest::newRow("FF FF") << hex("FFFF") << 0 << 65535;
    QTest::newRow("last index reads a zero after it") << hex("FFFF") << 1 << 0xFF * 256;
    QTest::newRow("last index of a longer array") << hex("0102037F") << 3 << 0x7F * 256;
    QTest::newRow("past the end") << hex("FFFF") << 2 << 0;
    QTest::newRow("far past the end") << hex("FFFF") << 100 << 0;
    QTest::newRow("empty") << QByteArray() << 0 << 0;
    QTest::newRow("1000") << hex("03E8") << 0 << 1000;
    QTest::newRow("1234 in the middle") << hex("0004D200") << 1 << 1234;
    QTest::newRow("high bit is not a sign") << hex("8000") << 0 << 32768;
    QTest::newRow("low byte above 127") << hex("0080") << 0 << 128;
    QTest::newRow("zero") << hex("0000") << 0 << 0;
}

void TestDecoder::bigEndianWordAtReadsUnsigned()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, position);
    QFETCH(int, expected);
    QCOMPARE(bigEndianWordAt(bytes, position), expected);
}

void TestDecoder::channelFrameSetsServosAndVoltage_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QVector<int>>("servos");
    QTest::addColumn<int>("txVolt");
    QTest::newRow("centre, 12.34 V")
        << hex("FE1803E803E803E803E803E803E803E803E804D2")
        << QVector<int>{1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000} << 1234;
    QTest::newRow("each channel its own")
        << hex("FE18101112131415161718191A1B1C1D1E1F2021")
        << QVector<int>{0x1011, 0x1213, 0x1415, 0x1617, 0x1819, 0x1A1B, 0x1C1D, 0x1E1F} << 0x2021;
    QTest::newRow("all ones") << hex("FE18FFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFFF")
                              << QVector<int>{65535, 65535, 65535, 65535,
                                              65535, 65535, 65535, 65535}
                              << 65535;
}

void TestDecoder::channelFrameSetsServosAndVoltage()
{
    QFETCH(QByteArray, frame);
    QFETCH(QVector<int>, servos);
    QFETCH(int, txVolt);

    ParamStore store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(frame, store, &decoded));
    QCOMPARE(decoded.family, FrameFamily::Channel);
    QCOMPARE(decoded.kind, 0x18);
    QCOMPARE(decoded.readFlag, 0);

    ParamStore wanted;
    wanted.Servo1 = servos[0];
    wanted.Servo2 = servos[1];
    wanted.Servo3 = servos[2];
    wanted.Servo4 = servos[3];
    wanted.Servo5 = servos[4];
    wanted.Servo6 = servos[5];
    wanted.Servo7 = servos[6];
    wanted.Servo8 = servos[7];
    wanted.TX_Volt = txVolt;
    QCOMPARE(differingFields(store, wanted), QStringList());
}

void TestDecoder::linkStatusFrameSetsRssiAndExternalVoltage()
{
    // Byte 3 and bytes 6..19 are not looked at.
    const QByteArray frame = hex("FE19B4EE007B"
                                 "0102030405060708090A0B0C0D0E");
    ParamStore store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(frame, store, &decoded));
    QCOMPARE(decoded.family, FrameFamily::LinkStatus);
    QCOMPARE(decoded.kind, 0x19);

    ParamStore wanted;
    wanted.RSSI = 180;
    wanted.EXT_Volt = 123;
    QCOMPARE(differingFields(store, wanted), QStringList());

    QVERIFY(decodeWholeChunk(hex("FE19FF00FFFF0000000000000000000000000000"), store, &decoded));
    QCOMPARE(store.RSSI, 255);
    QCOMPARE(store.EXT_Volt, 65535);
}

void TestDecoder::auxFrameSetsTheAuxSources_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QVector<int>>("aux");
    QTest::newRow("factory sources") << hex("0000AA0103000200") << QVector<int>{1, 3, 0, 2};
    // Bytes 0, 1 and 7 are not looked at; the sources are unsigned bytes.
    QTest::newRow("other sources") << hex("FE18AA050403FF99") << QVector<int>{5, 4, 3, 255};
}

void TestDecoder::auxFrameSetsTheAuxSources()
{
    QFETCH(QByteArray, frame);
    QFETCH(QVector<int>, aux);

    ParamStore store = filledStore(77, 7.7);
    const ParamStore before = store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(frame, store, &decoded));
    QCOMPARE(decoded.family, FrameFamily::Aux);
    QCOMPARE(decoded.readFlag, 7);

    ParamStore wanted = before;
    wanted.AUX5 = aux[0];
    wanted.AUX6 = aux[1];
    wanted.AUX7 = aux[2];
    wanted.AUX8 = aux[3];
    wanted.ReadFlag = 7;
    QCOMPARE(differingFields(store, wanted), QStringList());
}

void TestDecoder::subTrimExampleFrame()
{
    ParamStore store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(hex("FE0055786E827878787878FE"), store, &decoded));
    QCOMPARE(decoded.family, FrameFamily::Parameter);
    QCOMPARE(decoded.kind, 0x55);
    QCOMPARE(decoded.readFlag, 2);

    ParamStore wanted;
    wanted.sub2 = -10;
    wanted.sub3 = 10;
    wanted.ReadFlag = 2;
    QCOMPARE(differingFields(store, wanted), QStringList());
}

void TestDecoder::spareFieldsExampleFrame()
{
    ParamStore store = filledStore(3, 3.0);
    const ParamStore before = store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(hex("FE00AB0000006EC8000000FE"), store, &decoded));
    QCOMPARE(decoded.readFlag, 18);
    QCOMPARE(store.Spare1_x10, 110);
    QCOMPARE(store.Spare2, 100); // stored as received ...
    QCOMPARE(store.DR_SW2, 0);
    QCOMPARE(store.DR_POSI, 0);

    ParamStore wanted = before;
    wanted.Spare1_x10 = 110;
    wanted.Spare2 = 100;
    wanted.DR_SW2 = 0;
    wanted.DR_POSI = 0;
    wanted.ReadFlag = 18;
    QCOMPARE(differingFields(store, wanted), QStringList());

    replaceOutOfRangeValues(store);
    QCOMPARE(store.Spare2, -100); // ... and put back in range straight after
    QCOMPARE(store.Spare1_x10, 110);
}

void TestDecoder::settingsVoltageFrame_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("voltX10");
    QTest::addColumn<double>("volt");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("version");
    QTest::newRow("3.7 V, version 258") << hex("FE0099"
                                               "0025"
                                               "0002"
                                               "0102"
                                               "0000FE")
                                        << 37 << 3.7 << 2 << 258;
    QTest::newRow("50.0 V") << hex("FE0099"
                                   "01F4"
                                   "0000"
                                   "0000"
                                   "0000FE")
                            << 500 << 50.0 << 0 << 0;
    QTest::newRow("all ones") << hex("FE0099"
                                     "FFFF"
                                     "FFFF"
                                     "FFFF"
                                     "FFFFFE")
                              << 65535 << 6553.5 << 65535 << 65535;
}

void TestDecoder::settingsVoltageFrame()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, voltX10);
    QFETCH(double, volt);
    QFETCH(int, mode);
    QFETCH(int, version);

    ParamStore store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(frame, store, &decoded));
    QCOMPARE(decoded.readFlag, 6);
    QCOMPARE(store.Volt_x10, voltX10);
    QCOMPARE(store.Volt, volt);
    QCOMPARE(store.Mode, mode);
    QCOMPARE(store.Vertion, version);
}

void TestDecoder::kindTableHasEighteenKinds()
{
    QCOMPARE(int(parameterKindsEnd() - parameterKindsBegin()), 18);
    for (int kind = 0; kind < 256; ++kind) {
        bool listed = false;
        for (const ExpectedKind &k : expectedKinds())
            listed = listed || k.kind == kind;
        const ParameterKind *found = findParameterKind(kind);
        QVERIFY2(bool(found) == listed, qPrintable(QString::number(kind, 16)));
        if (found)
            QCOMPARE(found->readFlag, expectedKind(kind).readFlag);
    }
}

void TestDecoder::parameterKindFillsItsFields_data()
{
    QTest::addColumn<QByteArray>("frame");
    // Each payload pattern gives every field a value distinct from its neighbours' and from
    // the start values, and the all-zero and all-ones patterns reach both ends of a byte.
    const QVector<QPair<const char *, QByteArray>> payloads = {
        {"ascending", payloadFrom(0xF0)},  {"low", payloadFrom(0x01)},
        {"zeros", QByteArray(8, '\0')},    {"ones", QByteArray(8, char(0xFF))},
        {"around 128", payloadFrom(0x7C)},
    };
    for (const ExpectedKind &k : expectedKinds()) {
        for (const auto &p : payloads)
            QTest::addRow("%02X %s", k.kind, p.first) << parameterFrame(k.kind, p.second);
    }
    // Byte 1 is not looked at.
    QTest::newRow("55 byte 1 set") << parameterFrame(0x55, payloadFrom(0x40), char(0x18));
    QTest::newRow("A6 byte 1 set") << parameterFrame(0xA6, payloadFrom(0x40), char(0xFE));
}

void TestDecoder::parameterKindFillsItsFields()
{
    QFETCH(QByteArray, frame);

    // Start from a store in which every field holds a value no frame produces here.
    ParamStore store = filledStore(-7777, -7.5);
    const ParamStore wanted = expectedAfterParameterFrame(store, frame);

    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(frame, store, &decoded));
    QCOMPARE(decoded.family, FrameFamily::Parameter);
    QCOMPARE(decoded.kind, int(quint8(frame.at(2))));
    QCOMPARE(decoded.readFlag, wanted.ReadFlag);
    QCOMPARE(differingFields(store, wanted), QStringList());
    QCOMPARE(store.Volt, wanted.Volt);
}

void TestDecoder::unknownKindChangesNothing_data()
{
    QTest::addColumn<int>("kind");
    for (int kind = 0; kind < 256; ++kind) {
        bool listed = false;
        for (const ExpectedKind &k : expectedKinds())
            listed = listed || k.kind == kind;
        if (!listed)
            QTest::addRow("%02X", kind) << kind;
    }
}

void TestDecoder::unknownKindChangesNothing()
{
    QFETCH(int, kind);
    ParamStore store;
    DecodedFrame decoded;
    QVERIFY(decodeWholeChunk(parameterFrame(kind, payloadFrom(0x30)), store, &decoded));
    QCOMPARE(decoded.family, FrameFamily::Parameter);
    QCOMPARE(decoded.kind, kind);
    QCOMPARE(decoded.readFlag, 0);
    QCOMPARE(differingFields(store, ParamStore()), QStringList());
}

void TestDecoder::chunkThatIsNoFrameChangesNothing_data()
{
    QTest::addColumn<QByteArray>("chunk");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("one byte") << hex("FE");
    QTest::newRow("channel frame without marker")
        << hex("001803E803E803E803E803E803E803E803E804D2");
    QTest::newRow("live frame kind 17") << hex("FE1703E803E803E803E803E803E803E803E804D2");
    QTest::newRow("live frame kind 1A") << hex("FE1A03E803E803E803E803E803E803E803E804D2");
    QTest::newRow("live frame kind FE") << hex("FEFE03E803E803E803E803E803E803E803E804D2");
    QTest::newRow("aux frame without marker") << hex("0000AB0103000200");
    QTest::newRow("aux marker at byte 3") << hex("000000AA03000200");
    QTest::newRow("parameter frame, byte 11 is 00") << hex("FE0055786E82787878787800");
    QTest::newRow("parameter frame, byte 0 is 00") << hex("000055786E827878787878FE");
    QTest::newRow("channel frame then parameter frame")
        << hex("FE1803E803E803E803E803E803E803E803E804D2"
               "FE0055786E827878787878FE");
    QTest::newRow("two parameter frames") << hex("FE0055786E827878787878FE"
                                                 "FE0055786E827878787878FE");
    QTest::newRow("two aux frames") << hex("0000AA0103000200"
                                           "0000AA0103000200");
    QTest::newRow("aux frame one short") << hex("0000AA01030002");
    QTest::newRow("aux frame one long") << hex("0000AA010300020000");
    QTest::newRow("parameter frame one short") << hex("FE0055786E8278787878FE");
    QTest::newRow("parameter frame one long") << hex("FE0055786E827878787878FEFE");
    QTest::newRow("channel frame one short") << hex("FE1803E803E803E803E803E803E803E803E804");
    QTest::newRow("channel frame one long") << hex("FE1803E803E803E803E803E803E803E803E804D200");
}

void TestDecoder::chunkThatIsNoFrameChangesNothing()
{
    QFETCH(QByteArray, chunk);
    ParamStore store = filledStore(12, 1.2);
    const ParamStore before = store;
    DecodedFrame decoded;
    QVERIFY(!decodeWholeChunk(chunk, store, &decoded));
    QCOMPARE(differingFields(store, before), QStringList());
}

// ---------------------------------------------------------------------------------------------
// The receive buffer

void TestDecoder::wholeFrameIsDecodedOnce_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("channel") << kChannel;
    QTest::newRow("link status") << kLink;
    QTest::newRow("aux") << kAux;
    QTest::newRow("aux starting with FE") << hex("FE00AA0501000300");
    for (const ExpectedKind &k : expectedKinds())
        QTest::addRow("parameter %02X", k.kind) << parameterFrame(k.kind, payloadFrom(0x30));
}

void TestDecoder::wholeFrameIsDecodedOnce()
{
    QFETCH(QByteArray, frame);
    Receiver r;
    r.feed(frame, 0);
    QCOMPARE(r.frames, QStringList{tagOfSample(frame)});
    QCOMPARE(differingFields(r.store, storeAfter({frame})), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::splitFrameIsReassembled_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("at");
    QVector<QPair<QByteArray, QByteArray>> frames = {
        {"channel", kChannel}, {"link status", kLink}, {"aux", kAux}};
    for (const ExpectedKind &k : expectedKinds()) {
        frames.append({QByteArray("parameter ") + QByteArray::number(k.kind, 16),
                       parameterFrame(k.kind, payloadFrom(0x30))});
    }
    for (const auto &f : frames) {
        for (int at = 1; at < f.second.size(); ++at) {
            // Eight bytes with AA at byte 2 are an AUX frame when they arrive by themselves
            // (wholeFrameAfterCutOffFrame): the throttle-curve kind split there is one.
            if (f.second.size() == kParameterFrameLength && at == kAuxFrameLength &&
                quint8(f.second.at(2)) == kAuxMarker)
                continue;
            QTest::addRow("%s at %d", f.first.constData(), at) << f.second << at;
        }
    }
}

void TestDecoder::splitFrameIsReassembled()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, at);
    Receiver r;
    r.feed(frame.left(at), 1000);
    QVERIFY(r.frames.isEmpty());
    QCOMPARE(r.assembler.held(), frame.left(at));
    r.feed(frame.mid(at), 1000 + FrameAssembler::kHoldMs / 2);
    QCOMPARE(r.frames, QStringList{tagOfSample(frame)});
    QCOMPARE(differingFields(r.store, storeAfter({frame})), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::frameFedByteByByteIsReassembled_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::newRow("channel") << kChannel;
    QTest::newRow("link status") << kLink;
    QTest::newRow("aux") << kAux;
    QTest::newRow("sub-trim") << kSub;
    QTest::newRow("voltage") << parameterFrame(0x99, payloadFrom(0x01));
}

void TestDecoder::frameFedByteByByteIsReassembled()
{
    QFETCH(QByteArray, frame);
    Receiver r;
    for (int i = 0; i < frame.size(); ++i) {
        r.feed(frame.mid(i, 1), i);
        if (i + 1 < frame.size()) {
            QVERIFY(r.frames.isEmpty());
            QCOMPARE(r.assembler.held(), frame.left(i + 1));
        }
    }
    QCOMPARE(r.frames, QStringList{tagOfSample(frame)});
    QCOMPARE(differingFields(r.store, storeAfter({frame})), QStringList());
    QCOMPARE(r.maxHeld, frame.size() - 1);
}

void TestDecoder::mergedFramesAreSplit_data()
{
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    const QVector<QPair<const char *, QByteArray>> frames = {
        {"channel", kChannel}, {"link status", kLink}, {"aux", kAux}, {"sub-trim", kSub}};
    for (const auto &a : frames) {
        for (const auto &b : frames)
            QTest::addRow("%s + %s", a.first, b.first) << a.second << b.second;
    }
    QTest::newRow("elevon + mix 1/2")
        << parameterFrame(0xA2, payloadFrom(0x60)) << parameterFrame(0xA6, payloadFrom(0x50));
}

void TestDecoder::mergedFramesAreSplit()
{
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QByteArray chunk = first;
    chunk += second;

    Receiver r;
    r.feed(chunk, 0);
    QCOMPARE(r.frames, (QStringList{tagOfSample(first), tagOfSample(second)}));
    QCOMPARE(differingFields(r.store, storeAfter({first, second})), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::garbageBetweenFramesIsDropped_data()
{
    QTest::addColumn<QByteArray>("garbage");
    QTest::newRow("one zero") << hex("00");
    QTest::newRow("lone marker") << hex("FE");
    QTest::newRow("three markers") << hex("FEFEFE");
    QTest::newRow("acknowledgement") << QByteArray("WWW");
    QTest::newRow("noise") << hex("123456789ABCDEF011");
    QTest::newRow("aux with the wrong marker") << hex("0000AB01");
    QTest::newRow("cut-off parameter frame") << hex("FE005578");
    QTest::newRow("parameter frame, bad end") << hex("FE0055786E82787878787800");
    QTest::newRow("unknown kind") << parameterFrame(0x45, payloadFrom(0x30));
    // AA two bytes in, but sources no AUX frame can carry: the middle of some other frame.
    QTest::newRow("aux marker without aux sources") << hex("1234AA3C3C3C3C00");
}

void TestDecoder::garbageBetweenFramesIsDropped()
{
    QFETCH(QByteArray, garbage);
    QByteArray chunk;
    chunk += garbage;
    chunk += kChannel;
    chunk += garbage;
    chunk += kSub;
    chunk += garbage;
    chunk += kAux;
    chunk += garbage;
    chunk += kLink;

    Receiver r;
    r.feed(chunk, 0);
    QCOMPARE(r.frames, (QStringList{tagOfSample(kChannel), tagOfSample(kSub), tagOfSample(kAux),
                                    tagOfSample(kLink)}));
    QCOMPARE(differingFields(r.store, storeAfter({kChannel, kSub, kAux, kLink})), QStringList());
    QVERIFY(r.maxHeld < kLiveFrameLength);
}

void TestDecoder::garbageInItsOwnChunkIsDropped()
{
    Receiver r;
    r.feed(hex("FE"), 0);
    r.feed(kChannel, 5);
    r.feed(QByteArray("WWW"), 10);
    r.feed(kSub, 15);
    r.feed(hex("123456"), 20);
    r.feed(kAux, 25);
    QCOMPARE(r.frames, (QStringList{tagOfSample(kChannel), tagOfSample(kSub), tagOfSample(kAux)}));
    QCOMPARE(differingFields(r.store, storeAfter({kChannel, kSub, kAux})), QStringList());
}

void TestDecoder::stalePartialIsDroppedBeforeWholeFrame_data()
{
    QTest::addColumn<QByteArray>("partial");
    QTest::addColumn<QByteArray>("whole");
    QTest::newRow("channel start, then sub-trim") << kChannel.left(5) << kSub;
    QTest::newRow("channel start, then channel") << kChannel.left(19) << kChannel;
    QTest::newRow("sub-trim start, then link status") << kSub.left(11) << kLink;
    QTest::newRow("aux start, then aux") << kAux.left(7) << kAux;
    QTest::newRow("lone marker, then aux") << hex("FE") << kAux;
}

void TestDecoder::stalePartialIsDroppedBeforeWholeFrame()
{
    QFETCH(QByteArray, partial);
    QFETCH(QByteArray, whole);
    Receiver r;
    r.feed(partial, 0);
    QCOMPARE(r.assembler.held(), partial);
    r.feed(whole, FrameAssembler::kHoldMs + 1);
    QCOMPARE(r.frames, QStringList{tagOfSample(whole)});
    QCOMPARE(differingFields(r.store, storeAfter({whole})), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::partialIsKeptForTheHoldTime_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<int>("at");
    QTest::addColumn<qint64>("laterMs");
    QTest::addColumn<bool>("completes");
    const qint64 hold = FrameAssembler::kHoldMs;
    QTest::newRow("channel, on time") << kChannel << 7 << hold << true;
    QTest::newRow("channel, late") << kChannel << 7 << hold + 1 << false;
    QTest::newRow("sub-trim, on time") << kSub << 3 << hold << true;
    QTest::newRow("sub-trim, late") << kSub << 3 << hold + 1 << false;
    QTest::newRow("aux, late") << kAux << 4 << hold + 50 << false;
}

void TestDecoder::partialIsKeptForTheHoldTime()
{
    QFETCH(QByteArray, frame);
    QFETCH(int, at);
    QFETCH(qint64, laterMs);
    QFETCH(bool, completes);
    Receiver r;
    r.feed(frame.left(at), 500);
    r.feed(frame.mid(at), 500 + laterMs);
    if (completes) {
        QCOMPARE(r.frames, QStringList{tagOfSample(frame)});
        QCOMPARE(differingFields(r.store, storeAfter({frame})), QStringList());
    } else {
        // The rest of the frame on its own is not a frame.
        QCOMPARE(r.frames, QStringList());
        QCOMPARE(differingFields(r.store, ParamStore()), QStringList());
    }
    // Whatever happened, the next frame goes through.
    r.frames.clear();
    r.feed(kLink, 2000);
    QCOMPARE(r.frames, QStringList{tagOfSample(kLink)});
}

void TestDecoder::holdTimeRunsFromTheFirstByte()
{
    const qint64 hold = FrameAssembler::kHoldMs;
    Receiver r;
    r.feed(kChannel.left(5), 0);
    r.feed(kChannel.mid(5, 5), hold - 10);
    QCOMPARE(r.assembler.held(), kChannel.left(10));
    r.feed(kChannel.mid(10), hold + 10);
    QCOMPARE(r.frames, QStringList());
    QCOMPARE(differingFields(r.store, ParamStore()), QStringList());
}

void TestDecoder::wholeFrameDropsUnfinishedPartial()
{
    Receiver r;
    r.feed(kChannel.left(5), 0);
    r.feed(kSub, 10);
    QCOMPARE(r.frames, QStringList{tagOfSample(kSub)});
    QCOMPARE(r.assembler.held(), QByteArray());
    // The rest of the channel frame no longer has a start to join.
    r.feed(kChannel.mid(5), 20);
    QCOMPARE(r.frames, QStringList{tagOfSample(kSub)});
    QCOMPARE(differingFields(r.store, storeAfter({kSub})), QStringList());
}

void TestDecoder::wholeFrameChunkWinsOverContinuation()
{
    // Bytes 8..19 of this channel frame read FE .. 55 .. FE: a sub-trim frame on their own.
    // Arriving as a chunk of their own they are that frame: the chunk is accounted for whole,
    // and the eight bytes before it were a frame cut short.
    const QByteArray channel = hex("FE18"
                                   "05DC04B007D0"
                                   "FE01"
                                   "55"
                                   "0301020304050607"
                                   "FE");
    QCOMPARE(channel.size(), 20);
    Receiver r;
    r.feed(channel.left(8), 0);
    r.feed(channel.mid(8), 10);
    QCOMPARE(r.frames, QStringList{QStringLiteral("param 55/2")});
    QCOMPARE(differingFields(r.store, storeAfter({channel.mid(8)})), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::unknownKindLookingLikeALiveFrameStartIsReportedAndKept()
{
    // Byte 11 (low byte of channel 5) is FE, so the first twelve bytes are a parameter frame
    // of unknown kind 05 by themselves. That changes nothing; the bytes are kept in case the
    // rest of a live frame follows.
    const QByteArray channel = hex("FE1805DC04B007D003E805FE064002BC0320017C");
    Receiver r;
    r.feed(channel.left(12), 0);
    QCOMPARE(r.frames, QStringList{QStringLiteral("param 05/0")});
    QCOMPARE(differingFields(r.store, ParamStore()), QStringList());
    QCOMPARE(r.assembler.held(), channel.left(12));
    r.feed(channel.mid(12), 5);
    QCOMPARE(r.frames, (QStringList{QStringLiteral("param 05/0"), QStringLiteral("channel 18/0")}));
    QCOMPARE(r.store.Servo5, 0x05FE);
    QCOMPARE(r.store.Servo1, 1500);
    QCOMPARE(r.store.TX_Volt, 380);
}

void TestDecoder::wholeFrameAfterCutOffFrame_data()
{
    QTest::addColumn<QByteArray>("cutOff");
    QTest::addColumn<QByteArray>("whole");
    QTest::addColumn<QString>("reported");
    const QByteArray centred = hex("FE1803E803E803E803E803E803E803E803E804D2");
    const QByteArray subTrim = hex("FE00557864827878787878FE");
    const QByteArray aux = hex("0000AA0103000200");
    const QString subTag = QStringLiteral("param 55/2");
    QTest::newRow("8 channel bytes, sub-trim") << kChannel.left(8) << subTrim << subTag;
    QTest::newRow("10 channel bytes, sub-trim") << kChannel.left(10) << subTrim << subTag;
    QTest::newRow("19 channel bytes, sub-trim") << kChannel.left(19) << subTrim << subTag;
    QTest::newRow("14 channel bytes, AUX") << kChannel.left(14) << aux << QStringLiteral("aux/7");
    QTest::newRow("6 channel bytes, channel")
        << kChannel.left(6) << centred << QStringLiteral("channel 18/0");
    QTest::newRow("nothing held, AUX with other sources")
        << QByteArray() << hex("FE18AA050403FF99") << QStringLiteral("aux/7");
    QTest::newRow("unknown kind starting like a channel frame, then a channel frame")
        << hex("FE18450000000000000000FE") << centred << QStringLiteral("channel 18/0");
}

void TestDecoder::wholeFrameAfterCutOffFrame()
{
    QFETCH(QByteArray, cutOff);
    QFETCH(QByteArray, whole);
    QFETCH(QString, reported);
    Receiver r;
    r.feed(cutOff, 0);
    const QStringList before = r.frames;
    const ParamStore held = r.store;
    // Well within the hold time: the bytes before could still have been joined.
    r.feed(whole, FrameAssembler::kHoldMs / 2);
    QCOMPARE(r.frames.mid(before.size()), QStringList{reported});
    // Exactly what the whole frame carries, nothing made of the cut-off bytes.
    ParamStore expected = held;
    DecodedFrame d;
    QVERIFY(decodeWholeChunk(whole, expected, &d));
    QCOMPARE(differingFields(r.store, expected), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::auxShapedRestOfAHeldFrameContinuesIt()
{
    // The last eight bytes of this link-status frame have AA at their byte 2 and sources no
    // transmitter sends: with the frame's start held, they are its rest, not an AUX frame.
    const QByteArray link = hex("FE19B400007B0000000000000000AA3C3C3C3C00");
    Receiver r;
    r.feed(link.left(12), 0);
    r.feed(link.mid(12), 5);
    QCOMPARE(r.frames, QStringList{QStringLiteral("link 19/0")});
    QCOMPARE(differingFields(r.store, storeAfter({link})), QStringList());
}

// A channel frame that lost a byte reads as whole with the next frame's FE as its last byte; a
// read that ends on that FE must not decide so before the next byte shows the frame it begins.
void TestDecoder::frameBegunByTheLastByteOfAReadAfterACutLiveFrame()
{
    const QByteArray cut = hex("FE1805AA055B0269017C069B01E4044501300E");
    const QByteArray next = hex("FE1805DA058602F8060903FD01130264025E0365");
    Receiver r;
    r.feed(cut.left(10), 0);
    r.feed(cut.mid(10) + next.left(1), 2); // not one frame's length: no whole chunk
    r.feed(next.mid(1), 5);
    QCOMPARE(differingFields(r.store, storeAfter({next})), QStringList());
}

void TestDecoder::liveLookingChunkWithKnownKindIsAParameterFrame()
{
    // Byte 1 of a parameter frame is not looked at, even when it is a live frame's kind.
    const QByteArray frame = hex("FE1855786E827878787878FE");
    Receiver r;
    r.feed(frame, 0);
    QCOMPARE(r.frames, QStringList{QStringLiteral("param 55/2")});
    QCOMPARE(r.store.sub2, -10);
    QCOMPARE(r.store.sub3, 10);
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::unknownKindAsWholeChunkIsReported()
{
    Receiver r;
    r.feed(parameterFrame(0x45, payloadFrom(0x30)), 0);
    QCOMPARE(r.frames, QStringList{QStringLiteral("param 45/0")});
    QCOMPARE(differingFields(r.store, ParamStore()), QStringList());
}

void TestDecoder::badEndMarkerIsNotAFrame()
{
    Receiver r;
    r.feed(hex("FE0055786E82787878787800"), 0);
    QCOMPARE(r.frames, QStringList());
    QCOMPARE(differingFields(r.store, ParamStore()), QStringList());
    r.feed(kSub, 10);
    QCOMPARE(r.frames, QStringList{tagOfSample(kSub)});
}

void TestDecoder::randomlySplitStreamGivesEveryFrameInOrder_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("maxChunk");
    QTest::newRow("small chunks") << 1u << 5;
    QTest::newRow("frame-sized chunks") << 2u << 24;
    QTest::newRow("large chunks") << 3u << 100;
    QTest::newRow("mixed") << 4u << 45;
}

void TestDecoder::randomlySplitStreamGivesEveryFrameInOrder()
{
    QFETCH(quint32, seed);
    QFETCH(int, maxChunk);
    QRandomGenerator rng(seed);

    // Payload bytes avoid FE and AA, which could make a piece of one frame pass for another.
    const auto payloadByte = [&rng]() {
        for (;;) {
            const char c = char(rng.bounded(256));
            if (quint8(c) != kFrameMarker && quint8(c) != kAuxMarker)
                return c;
        }
    };
    QVector<int> kinds;
    for (const ExpectedKind &k : expectedKinds())
        kinds << k.kind;

    QVector<QByteArray> frames;
    QByteArray stream;
    QStringList expected;
    for (int i = 0; i < 2000; ++i) {
        QByteArray f;
        switch (rng.bounded(4)) {
        case 0:
        case 1:
            f = hex(rng.bounded(2) ? "FE18" : "FE19");
            for (int j = 0; j < 18; ++j)
                f += payloadByte();
            break;
        case 2:
            f = hex("0000AA");
            for (int j = 0; j < 4; ++j)
                f += char(rng.bounded(6)); // the four channel sources
            f += payloadByte();
            break;
        default: {
            QByteArray p;
            for (int j = 0; j < 8; ++j)
                p += payloadByte();
            f = parameterFrame(kinds[rng.bounded(kinds.size())], p);
            break;
        }
        }
        frames << f;
        expected << tagOfSample(f);
        stream += f;
    }

    Receiver r;
    qint64 now = 0;
    for (int pos = 0; pos < stream.size();) {
        const int n = 1 + rng.bounded(maxChunk);
        r.feed(stream.mid(pos, n), now);
        QVERIFY(r.assembler.held().size() < kLiveFrameLength);
        pos += n;
        now += 1;
    }
    QCOMPARE(r.frames.size(), expected.size());
    QCOMPARE(r.frames, expected);
    QCOMPARE(differingFields(r.store, storeAfter(frames)), QStringList());
    QCOMPARE(r.assembler.held(), QByteArray());
}

void TestDecoder::heldBytesNeverExceedOneFrame()
{
    QRandomGenerator rng(20240611);
    Receiver r;
    qint64 now = 0;
    for (int i = 0; i < 20000; ++i) {
        QByteArray chunk;
        const int n = 1 + rng.bounded(30);
        for (int j = 0; j < n; ++j) {
            // Markers and kind bytes often, so that partial frames keep starting.
            static const char likely[] = {char(0xFE), char(0x18), char(0x19),
                                          char(0xAA), char(0x55), char(0x00)};
            chunk += rng.bounded(2) ? likely[rng.bounded(6)] : char(rng.bounded(256));
        }
        r.feed(chunk, now);
        QVERIFY2(r.assembler.held().size() <= kLiveFrameLength - 1,
                 qPrintable(r.assembler.held().toHex()));
        now += rng.bounded(30);
    }
    QVERIFY(r.maxHeld <= 19);
}

void TestDecoder::liveFramesWithMarkersInsideSurviveAnyChunking_data()
{
    // 7.66 V is 0x02FE, so every channel frame of a 2S pack there ends in FE; a servo at 1022
    // is 0x03FE. A USB adapter hands over whatever arrived, cut anywhere.
    QTest::addColumn<QList<int>>("cuts");
    QTest::addColumn<bool>("more");
    QTest::newRow("then a whole frame") << QList<int>{5, 40} << true;
    QTest::newRow("then nothing") << QList<int>{5} << false;
}

void TestDecoder::liveFramesWithMarkersInsideSurviveAnyChunking()
{
    QFETCH(QList<int>, cuts);
    QFETCH(bool, more);
    const QVector<QByteArray> sent = {kChannel,
                                      hex("FE1804250594"
                                          "00EA03FE03C2040D054601F802FE"),
                                      kChannel};
    const int frames = more ? 3 : 2;
    QByteArray line;
    for (int i = 0; i < frames; ++i)
        line += sent[i];
    Receiver r;
    int from = 0;
    qint64 now = 0;
    for (int cut : cuts + QList<int>{int(line.size())}) {
        r.feed(line.mid(from, cut - from), now += 1);
        from = cut;
    }
    r.assembler.expire(now + FrameAssembler::kHoldMs + 1, r.store,
                       [&r](const DecodedFrame &f) { r.frames << tagOf(f); });
    QCOMPARE(r.frames.count(QStringLiteral("channel 18/0")), frames);
    QCOMPARE(differingFields(r.store, storeAfter(sent.mid(0, frames))), QStringList());
}

QTEST_APPLESS_MAIN(TestDecoder)
#include "tst_decoder.moc"
