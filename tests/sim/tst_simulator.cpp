// SPDX-License-Identifier: GPL-3.0-or-later
#include "simprocess.h"

#include "commandtokenizer.h"
#include "decoder.h"
#include "frames.h"
#include "linkshaper.h"
#include "rangecheck.h"
#include "testdata.h"
#include "transmittermodel.h"

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <bitset>
#include <cerrno>
#include <csignal>
#include <random>
#include <unistd.h>

Q_DECLARE_METATYPE(TokenKind)
Q_DECLARE_METATYPE(ParamStore)

namespace {

// Long enough for a frame in flight to arrive, short enough to keep the tests quick.
constexpr int kSettleMs = 100;
// The whole read answer goes out within this time, even with every fault switched on.
constexpr int kAnswerMs = 600;

using Chunks = QVector<QByteArray>;

// In-range settings drawn at random, as the S, G and H frames can carry them.
ParamStore randomSettings(quint32 seed)
{
    return heldByTransmitter(randomInRange(seed, factorySettings()));
}

// The S, G and H frames that carry the settings, as the configuration program sends them.
QByteArray frameText(const FrameLayout &layout, const ParamStore &settings)
{
    QString buffer = QString::fromLatin1(layout.tmpl);
    buildFrameInto(layout, settings, buffer);
    return buffer.toLatin1();
}

QByteArray writeSequence(const ParamStore &settings)
{
    return buildParameterFile(settings) + "WWW";
}

// Settings that differ from the factory values in every frame, the spares among them.
ParamStore changedSettings()
{
    using P = ParamStore;
    return changedFactorySettings(
        {{&P::AUX6, 5}, {&P::Mode, 3}, {&P::Spare1_x10, 123}, {&P::DR_SW2, 2}});
}

struct Decoded
{
    ParamStore store;
    QVector<DecodedFrame> frames;
    int chunksEndingInsideAFrame = 0;
    int count(FrameFamily family) const
    {
        return int(std::count_if(frames.begin(), frames.end(),
                                 [family](const DecodedFrame &f) { return f.family == family; }));
    }
    int settingsFrames() const
    {
        return int(std::count_if(frames.begin(), frames.end(),
                                 [](const DecodedFrame &f) { return f.readFlag != 0; }));
    }
};

// Runs chunks through the reassembling decoder the window uses, with their arrival times.
Decoded assemble(const QVector<SimLink::Chunk> &chunks,
                 QVector<ParamStore> *channelStates = nullptr)
{
    Decoded d;
    FrameAssembler assembler;
    for (const SimLink::Chunk &chunk : chunks) {
        assembler.feed(chunk.bytes, chunk.atMs, d.store, [&](const DecodedFrame &frame) {
            d.frames.append(frame);
            if (channelStates && frame.family == FrameFamily::Channel)
                channelStates->append(d.store);
        });
        if (!assembler.held().isEmpty())
            ++d.chunksEndingInsideAFrame;
    }
    return d;
}

ParamStore decodeChannelFrame(const QByteArray &frame)
{
    ParamStore s;
    DecodedFrame decoded;
    decodeWholeChunk(frame, s, &decoded);
    return s;
}

bool sameServos(const ParamStore &a, const ParamStore &b)
{
    return a.Servo1 == b.Servo1 && a.Servo2 == b.Servo2 && a.Servo3 == b.Servo3 &&
           a.Servo4 == b.Servo4 && a.Servo5 == b.Servo5 && a.Servo6 == b.Servo6 &&
           a.Servo7 == b.Servo7 && a.Servo8 == b.Servo8 && a.TX_Volt == b.TX_Volt;
}

// A stream as the transmitter sends it: live frames with a settings answer after every
// twelve ticks, random settings drawn from the seed, or the factory settings for seed 0.
QVector<QByteArray> transmitterFrames(quint32 settingsSeed)
{
    QVector<QByteArray> frames;
    for (int round = 0; round < 20; ++round) {
        for (int tick = 0; tick < 12; ++tick)
            frames.append(channelFrame(round * 12 + tick));
        frames.append(linkStatusFrame(round));
        frames += encodeSettingsAnswer(
            settingsSeed == 0 ? factorySettings() : randomSettings(settingsSeed + quint32(round)));
    }
    return frames;
}

// Cases of line faults, each with three seeds: the columns split, merge, noise and seed, and
// a row "<faults>, seed <n>" for each seed and entry. An entry switches on the faults it
// names; "all" switches on split, merge and noise.
void addFaultRows(const QVector<const char *> &entries)
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<bool>("merge");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<quint32>("seed");
    for (quint32 seed : {1u, 17u, 4242u}) {
        for (const char *entry : entries) {
            const QByteArray e(entry);
            const bool all = e == "all";
            QTest::addRow("%s, seed %u", entry, seed)
                << (all || e.contains("split")) << (all || e.contains("merge"))
                << (all || e.contains("noise")) << seed;
        }
    }
}

struct FaultCase
{
    bool split;
    bool merge;
    bool noise;
    quint32 seed;
};

FaultCase fetchFaultCase()
{
    QFETCH(bool, split);
    QFETCH(bool, merge);
    QFETCH(bool, noise);
    QFETCH(quint32, seed);
    return {split, merge, noise, seed};
}

// Collects the answer to the read just sent: the whole set of settings frames, carrying
// `expected`.
void expectSettingsAnswer(SimLink &link, const ParamStore &expected)
{
    link.collect(kAnswerMs);
    const Decoded decoded = assemble(link.chunks());
    QCOMPARE(decoded.settingsFrames(), 19);
    const QStringList differences = reportedDifferences(expected, decoded.store);
    QVERIFY2(differences.isEmpty(), qPrintable(describe(differences)));
}

// Says OK, and waits up to a second for the first `count` bytes of the live stream.
bool greet(SimLink &link, int count)
{
    link.send("OK");
    return link.waitForBytes(count, 1000);
}

// The first `count` bytes a simulator started with `arguments` sends once greeted; fewer
// when it does not start or stays silent.
QByteArray greetedStream(const QStringList &arguments, int count)
{
    SimProcess sim;
    if (!sim.start(arguments))
        return QByteArray();
    SimLink link;
    if (!link.open(sim.slavePath()))
        return QByteArray();
    link.send("OK");
    link.waitForBytes(count, 5000);
    return link.received().left(count);
}

using Unit = QVector<LinkShaper::Write>;

QVector<Unit> shapeUnits(LinkShaper::Faults faults, quint32 seed, const QVector<QByteArray> &frames)
{
    LinkShaper shaper(faults, seed);
    QVector<Unit> units;
    auto take = [&units](const QVector<LinkShaper::Write> &writes) {
        for (const LinkShaper::Write &write : writes) {
            if (write.startsUnit)
                units.append(Unit());
            units.last().append(write);
        }
    };
    for (const QByteArray &frame : frames)
        take(shaper.push(frame));
    take(shaper.flush());
    return units;
}

// Every piece of a unit with its pause, one line each, for comparing whole units.
QByteArray unitText(const Unit &unit)
{
    QByteArray text;
    for (const LinkShaper::Write &write : unit)
        text +=
            (write.startsUnit ? QByteArray("u") : "p" + QByteArray::number(write.pauseBeforeMs)) +
            ':' + write.bytes.toHex() + '\n';
    return text;
}

QByteArray unitBytes(const Unit &unit)
{
    QByteArray bytes;
    for (const LinkShaper::Write &write : unit)
        bytes += write.bytes;
    return bytes;
}

bool isFrameLength(int n)
{
    return n == kAuxFrameLength || n == kParameterFrameLength || n == kLiveFrameLength;
}

// What the window's reader takes for a whole frame when a read brings exactly these bytes.
bool frameShaped(const QByteArray &b)
{
    const auto at = [&b](int i) { return quint8(b.at(i)); };
    return (b.size() == kLiveFrameLength && at(0) == kFrameMarker &&
            (at(1) == kChannelKind || at(1) == kLinkStatusKind)) ||
           (b.size() == kAuxFrameLength && at(2) == kAuxMarker) ||
           (b.size() == kParameterFrameLength && at(0) == kFrameMarker && at(11) == kFrameMarker);
}

// True when `arrived` is `frame` with one run of one or more bytes taken out after byte 0.
bool lostOneRunAfterFirstByte(const QByteArray &frame, const QByteArray &arrived)
{
    const int n = arrived.size();
    if (n == 0 || n >= frame.size())
        return false;
    int head = 0;
    while (head < n && arrived[head] == frame[head])
        ++head;
    int tail = 0;
    while (tail < n && arrived[n - 1 - tail] == frame[frame.size() - 1 - tail])
        ++tail;
    return head >= 1 && head + tail >= n;
}

} // namespace

class tst_Simulator : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // The transmitter model, without a process.
    void tokensAreFoundInAnyPieces_data();
    void tokensAreFoundInAnyPieces();
    void everySettingOfTheFramesIsReported();
    void settingsAnswerDecodesToTheSettings_data();
    void settingsAnswerDecodesToTheSettings();
    void writtenFramesTakeEffectAtTheAck_data();
    void writtenFramesTakeEffectAtTheAck();
    void gFrameRatesDoNotOverrideTheTables();
    void liveValuesStayPlausibleAndMoveSmoothly();
    void shapedOutputDecodesToTheSameFrames_data();
    void shapedOutputDecodesToTheSameFrames();
    void cutFramesLoseOneRunAfterTheirFirstByte_data();
    void cutFramesLoseOneRunAfterTheirFirstByte();
    void flippedFramesDifferInSingleBits_data();
    void flippedFramesDifferInSingleBits();
    void faultsWithoutCutKeepTheirBytes_data();
    void faultsWithoutCutKeepTheirBytes();

    // The program on its pseudo-terminal.
    void nothingStreamsBeforeOk();
    void okStartsTheLiveStream();
    void disStopsTheLiveStream();
    void readIsAnsweredWithNineteenSettingsFrames_data();
    void readIsAnsweredWithNineteenSettingsFrames();
    void writtenSettingsComeBackOnRead_data();
    void writtenSettingsComeBackOnRead();
    void framesWithoutAckAreNotTakenOver();
    void stateFileSurvivesARestart();
    void exitsCleanly_data();
    void exitsCleanly();
    void faultyStreamsStillDecodeCompletely_data();
    void faultyStreamsStillDecodeCompletely();
    void sameSeedGivesTheSameBytes();
    void cutLineKeepsToItsSeed();
    void ignoredFrameKindLeavesItsSettingsAlone_data();
    void ignoredFrameKindLeavesItsSettingsAlone();
};

void tst_Simulator::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(KORVA_SIM_PATH)), KORVA_SIM_PATH);
}

void tst_Simulator::tokensAreFoundInAnyPieces_data()
{
    const QByteArray s = frameText(kFrameS, changedSettings());
    const QByteArray g = frameText(kFrameG, changedSettings());
    const QByteArray h = frameText(kFrameH, changedSettings());

    QTest::addColumn<Chunks>("chunks");
    QTest::addColumn<QList<TokenKind>>("expected");

    QTest::newRow("OK whole") << Chunks{"OK"} << QList<TokenKind>{TokenKind::Ok};
    QTest::newRow("OK in two") << Chunks{"O", "K"} << QList<TokenKind>{TokenKind::Ok};
    QTest::newRow("DIS byte by byte") << Chunks{"D", "I", "S"} << QList<TokenKind>{TokenKind::Dis};
    QTest::newRow("RR and WWW in one write")
        << Chunks{"RRWWW"} << QList<TokenKind>{TokenKind::ReadRequest, TokenKind::Ack};
    QTest::newRow("WWW split after one")
        << Chunks{"W", "WW", "RR"} << QList<TokenKind>{TokenKind::Ack, TokenKind::ReadRequest};
    QTest::newRow("S frame in three pieces")
        << Chunks{s.left(10), s.mid(10, 60), s.mid(70)} << QList<TokenKind>{TokenKind::FrameS};
    QTest::newRow("G frame split before its end letter")
        << Chunks{g.left(80), g.mid(80)} << QList<TokenKind>{TokenKind::FrameG};
    QTest::newRow("H frame with WWW in the same write")
        << Chunks{h + "WWW"} << QList<TokenKind>{TokenKind::FrameH, TokenKind::Ack};
    QTest::newRow("a whole write sequence at once")
        << Chunks{s + g + h + "WWWRR"}
        << QList<TokenKind>{TokenKind::FrameS, TokenKind::FrameG, TokenKind::FrameH, TokenKind::Ack,
                            TokenKind::ReadRequest};
    QTest::newRow("garbage before and between")
        << Chunks{QByteArray("\x00\xff", 2) + "xO", "K?", "zDIS"}
        << QList<TokenKind>{TokenKind::Ok, TokenKind::Dis};
    QTest::newRow("frame cut short, then OK")
        << Chunks{s.left(30), "OK"} << QList<TokenKind>{TokenKind::Ok};
    QTest::newRow("frame with the wrong end letter is dropped")
        << Chunks{s.left(80) + "Z", "RR"} << QList<TokenKind>{TokenKind::ReadRequest};
    QTest::newRow("frame starting right after a broken one")
        << Chunks{h.left(40), g} << QList<TokenKind>{TokenKind::FrameG};
    QTest::newRow("D of a hexadecimal run is not DIS")
        << Chunks{"DDDIS"} << QList<TokenKind>{TokenKind::Dis};
}

void tst_Simulator::tokensAreFoundInAnyPieces()
{
    QFETCH(Chunks, chunks);
    QFETCH(QList<TokenKind>, expected);

    CommandTokenizer tokenizer;
    QList<TokenKind> found;
    QVector<Token> frames;
    for (const QByteArray &chunk : chunks) {
        for (const Token &token : tokenizer.feed(chunk)) {
            found.append(token.kind);
            if (token.kind == TokenKind::FrameS || token.kind == TokenKind::FrameG ||
                token.kind == TokenKind::FrameH)
                frames.append(token);
        }
    }
    QCOMPARE(found, expected);
    for (const Token &frame : frames)
        QCOMPARE(frame.text.size(), kFrameLength);
    QVERIFY(tokenizer.held().isEmpty());
}

// A read must bring back everything a write sends, apart from the D/R selection and its
// mirrors, which the transmitter does not report.
void tst_Simulator::everySettingOfTheFramesIsReported()
{
    QVector<IntField> reported;
    for (const ReportedField &field : reportedFields())
        reported.append(field.member);
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        for (int i = 0; i < layout->slotCount; ++i) {
            const IntField member = layout->fields[i].member;
            if (!member || member == &ParamStore::DR_CH || member == &ParamStore::DR_UP1 ||
                member == &ParamStore::DR_DOWN1)
                continue;
            QVERIFY2(reported.contains(member), intFieldName(member));
        }
    }
    QVERIFY(reported.contains(&ParamStore::Vertion));

    // And a change of any of them shows as a difference.
    for (const ReportedField &field : reportedFields()) {
        ParamStore changed;
        changed.*field.member += 1;
        const QStringList differences = reportedDifferences(ParamStore{}, changed);
        QCOMPARE(differences.size(), 1);
        QVERIFY(differences.first().startsWith(QLatin1String(field.name) + QLatin1Char(':')));
    }
}

void tst_Simulator::settingsAnswerDecodesToTheSettings_data()
{
    QTest::addColumn<ParamStore>("settings");

    QTest::newRow("factory") << factorySettings();
    QTest::newRow("changed") << changedSettings();
    for (quint32 seed : {1u, 2u, 3u, 99u})
        QTest::addRow("random %u", seed) << randomSettings(seed);

    // Every ranged field at each end of its range, where the byte encoding is tightest.
    ParamStore low = factorySettings();
    ParamStore high = factorySettings();
    for (const RangeRule *rule = rangeRulesBegin(); rule != rangeRulesEnd(); ++rule) {
        low.*rule->member = rule->low;
        high.*rule->member = rule->high;
    }
    QTest::newRow("all low") << low;
    QTest::newRow("all high") << high;
}

void tst_Simulator::settingsAnswerDecodesToTheSettings()
{
    QFETCH(ParamStore, settings);

    const QVector<QByteArray> answer = encodeSettingsAnswer(settings);
    QCOMPARE(answer.size(), 19);
    ParamStore decoded;
    QVector<int> readFlags;
    for (const QByteArray &frame : answer) {
        DecodedFrame d;
        QVERIFY(decodeWholeChunk(frame, decoded, &d));
        readFlags.append(d.readFlag);
    }
    std::sort(readFlags.begin(), readFlags.end());
    for (int i = 0; i < readFlags.size(); ++i)
        QCOMPARE(readFlags[i], i + 1);
    const QStringList differences = reportedDifferences(settings, decoded);
    QVERIFY2(differences.isEmpty(), qPrintable(describe(differences)));
    QCOMPARE(decoded.Volt, settings.Volt_x10 / 10.0);
}

void tst_Simulator::writtenFramesTakeEffectAtTheAck_data()
{
    QTest::addColumn<ParamStore>("written");
    QTest::newRow("changed") << changedSettings();
    for (quint32 seed : {5u, 6u, 7u})
        QTest::addRow("random %u", seed) << randomSettings(seed);
}

void tst_Simulator::writtenFramesTakeEffectAtTheAck()
{
    QFETCH(ParamStore, written);

    TransmitterModel model;
    const ParamStore before = model.settings();
    CommandTokenizer tokenizer;
    const QByteArray sequence = writeSequence(written);
    const QVector<Token> tokens = tokenizer.feed(sequence);
    QCOMPARE(tokens.size(), 4);

    for (int i = 0; i < 3; ++i)
        QCOMPARE(model.handle(tokens[i]), TransmitterModel::Reaction::None);
    QVERIFY(model.hasPending());
    QVERIFY2(reportedDifferences(before, model.settings()).isEmpty(), "taken over too early");

    QCOMPARE(model.handle(tokens[3]), TransmitterModel::Reaction::SettingsTaken);
    QVERIFY(!model.hasPending());
    const QStringList differences = reportedDifferences(written, model.settings());
    QVERIFY2(differences.isEmpty(), qPrintable(describe(differences)));
    QCOMPARE(model.settings().Vertion, kFirmwareVersion);

    // A further acknowledgement with nothing new changes nothing.
    QCOMPARE(model.handle(tokens[3]), TransmitterModel::Reaction::None);
}

void tst_Simulator::gFrameRatesDoNotOverrideTheTables()
{
    TransmitterModel model;
    ParamStore edited = model.settings();
    edited.DR_CH = 1;
    edited.DR_UP1 = 33;
    edited.DR_DOWN1 = 44;

    CommandTokenizer tokenizer;
    for (const Token &token : tokenizer.feed(frameText(kFrameG, edited) + "WWW"))
        model.handle(token);
    // Only the H frame's tables count; the G frame's copy of one entry does not.
    QCOMPARE(model.settings().DR_UP_CH2, 100);
    QCOMPARE(model.settings().DR_DOWN_CH2, 100);

    edited.DR_UP_CH2 = 33;
    edited.DR_DOWN_CH2 = 44;
    for (const Token &token : tokenizer.feed(frameText(kFrameH, edited) + "WWW"))
        model.handle(token);
    QCOMPARE(model.settings().DR_UP_CH2, 33);
    QCOMPARE(model.settings().DR_DOWN_CH2, 44);
    // The mirrors follow the selected table entry.
    QCOMPARE(model.settings().DR_UP1, 33);
    QCOMPARE(model.settings().DR_DOWN1, 44);
}

void tst_Simulator::liveValuesStayPlausibleAndMoveSmoothly()
{
    constexpr int kTicks = 3000; // a minute of stream
    constexpr int kMaxServoStep = 30;
    ParamStore previous = decodeChannelFrame(channelFrame(0));
    int minServo1 = previous.Servo1;
    int maxServo1 = previous.Servo1;
    for (int tick = 0; tick < kTicks; ++tick) {
        const QByteArray frame = channelFrame(tick);
        QCOMPARE(frame.size(), kLiveFrameLength);
        const ParamStore s = decodeChannelFrame(frame);
        const int servos[] = {s.Servo1, s.Servo2, s.Servo3, s.Servo4,
                              s.Servo5, s.Servo6, s.Servo7, s.Servo8};
        const int before[] = {previous.Servo1, previous.Servo2, previous.Servo3, previous.Servo4,
                              previous.Servo5, previous.Servo6, previous.Servo7, previous.Servo8};
        for (int i = 0; i < 8; ++i) {
            QVERIFY(servos[i] >= kServoCentre - kServoSwing);
            QVERIFY(servos[i] <= kServoCentre + kServoSwing);
            QVERIFY2(qAbs(servos[i] - before[i]) <= kMaxServoStep,
                     qPrintable(QString::number(tick)));
        }
        QVERIFY(s.TX_Volt >= kTxVoltLow && s.TX_Volt <= kTxVoltHigh);
        minServo1 = qMin(minServo1, s.Servo1);
        maxServo1 = qMax(maxServo1, s.Servo1);
        previous = s;

        ParamStore link;
        DecodedFrame decoded;
        QVERIFY(decodeWholeChunk(linkStatusFrame(tick), link, &decoded));
        QCOMPARE(decoded.family, FrameFamily::LinkStatus);
        QVERIFY(link.RSSI >= kRssiLow && link.RSSI <= kRssiHigh);
        QVERIFY(link.EXT_Volt >= kExtVoltLow && link.EXT_Volt <= kExtVoltHigh);
    }
    // The sticks really move.
    QVERIFY(maxServo1 - minServo1 > kServoSwing);
}

void tst_Simulator::shapedOutputDecodesToTheSameFrames_data()
{
    addFaultRows({"split", "merge", "noise", "all"});
}

// Whatever the faults, and however the reader's driver then joins the pieces, the reader
// gets exactly the frames that went in, in order.
void tst_Simulator::shapedOutputDecodesToTheSameFrames()
{
    const auto [split, merge, noise, seed] = fetchFaultCase();

    LinkShaper shaper({split, merge, noise}, seed);
    const QVector<QByteArray> frames = transmitterFrames(seed);
    QVector<LinkShaper::Write> writes;
    for (const QByteArray &frame : frames)
        writes += shaper.push(frame);
    writes += shaper.flush();
    QVERIFY(!shaper.holding());

    QByteArray sent;
    QByteArray framed;
    int units = 0;
    for (const LinkShaper::Write &write : writes) {
        sent += write.bytes;
        units += write.startsUnit ? 1 : 0;
        QVERIFY(write.pauseBeforeMs >= 0 && write.pauseBeforeMs <= LinkShaper::kMaxPieceGapMs);
    }
    for (const QByteArray &frame : frames)
        framed += frame;
    QCOMPARE(sent.size() > framed.size(), noise);
    if (!noise)
        QCOMPARE(sent, framed);
    QCOMPARE(writes.size() > units, split);
    if (merge)
        QVERIFY(units <= frames.size() / LinkShaper::kMinMerged + 1);
    else
        QCOMPARE(units, frames.size());

    // Join neighbouring writes at random, as a reader that falls behind would see them.
    std::mt19937 rng(seed);
    for (int pass = 0; pass < 5; ++pass) {
        QVector<SimLink::Chunk> chunks;
        for (const LinkShaper::Write &write : writes) {
            if (!chunks.isEmpty() && pass > 0 && rng() % 3 == 0)
                chunks.last().bytes += write.bytes;
            else
                chunks.append({qint64(chunks.size()), write.bytes});
        }
        const Decoded decoded = assemble(chunks);
        QCOMPARE(decoded.frames.size(), frames.size());
        for (int i = 0; i < frames.size(); ++i) {
            ParamStore expected;
            DecodedFrame e;
            decodeWholeChunk(frames[i], expected, &e);
            QCOMPARE(decoded.frames[i].family, e.family);
            QCOMPARE(decoded.frames[i].kind, e.kind);
        }
        QVERIFY(decoded.store == assemble({{0, framed}}).store);
    }
}

void tst_Simulator::cutFramesLoseOneRunAfterTheirFirstByte_data()
{
    addFaultRows({"cut", "cut and split", "cut, split and noise", "cut and merge", "all"});
}

void tst_Simulator::cutFramesLoseOneRunAfterTheirFirstByte()
{
    const auto [split, merge, noise, seed] = fetchFaultCase();

    const QVector<QByteArray> frames = transmitterFrames(seed);
    const QVector<Unit> intact = shapeUnits({split, merge, noise, false}, seed, frames);
    const QVector<Unit> cut = shapeUnits({split, merge, noise, true}, seed, frames);
    // Losses never change how frames are grouped, so the units pair up one to one.
    QCOMPARE(cut.size(), intact.size());
    int damaged = 0;
    int damagedSettings = 0;
    int lostEndMarker = 0;
    for (int u = 0; u < cut.size(); ++u) {
        const QByteArray sent = unitBytes(intact[u]);
        const QByteArray wire = unitBytes(cut[u]);
        if (wire == sent) {
            // Pieces and pauses too, as if --cut had not been given.
            QCOMPARE(unitText(cut[u]), unitText(intact[u]));
            continue;
        }
        ++damaged;
        QVERIFY(wire.size() < sent.size());
        if (merge)
            continue; // only a unit of one frame says which frame lost the run
        const QByteArray &frame = frames[u];
        const int noiseLength = sent.size() - frame.size();
        QCOMPARE(wire.left(noiseLength), sent.left(noiseLength));
        const QByteArray arrived = wire.mid(noiseLength);
        QVERIFY2(lostOneRunAfterFirstByte(frame, arrived), arrived.toHex().constData());
        QVERIFY(!isFrameLength(arrived.size()));
        damagedSettings += frame.size() < kLiveFrameLength ? 1 : 0;
        if (frame.size() == kParameterFrameLength && quint8(arrived.back()) != kFrameMarker)
            ++lostEndMarker;
        int at = 0;
        for (const LinkShaper::Write &piece : cut[u]) {
            QVERIFY2(!frameShaped(piece.bytes), piece.bytes.toHex().constData());
            // Without noise in it, a piece is not even a frame's length.
            if (at >= noiseLength)
                QVERIFY(!isFrameLength(piece.bytes.size()));
            at += piece.bytes.size();
        }
    }
    const int expected = frames.size() / LinkShaper::kCutOneIn;
    QVERIFY2(damaged >= expected / 2 && damaged <= expected * 2,
             qPrintable(QString::number(damaged)));
    if (!merge) {
        QVERIFY(damagedSettings > 0 && damagedSettings < damaged);
        QVERIFY(lostEndMarker > 0);
    }
}

void tst_Simulator::flippedFramesDifferInSingleBits_data()
{
    addFaultRows({"flip", "flip and split", "flip and merge", "all"});
}

// A flip keeps a unit's length and turns at most one bit per frame.
void tst_Simulator::flippedFramesDifferInSingleBits()
{
    const auto [split, merge, noise, seed] = fetchFaultCase();
    const QVector<QByteArray> frames = transmitterFrames(seed);
    const QVector<Unit> intact = shapeUnits({split, merge, noise, false}, seed, frames);
    const QVector<Unit> flipped = shapeUnits({split, merge, noise, false, true}, seed, frames);
    QCOMPARE(flipped.size(), intact.size());
    int bits = 0;
    for (int u = 0; u < intact.size(); ++u) {
        const QByteArray sent = unitBytes(intact[u]);
        const QByteArray wire = unitBytes(flipped[u]);
        QCOMPARE(wire.size(), sent.size());
        int unitBits = 0;
        for (int i = 0; i < sent.size(); ++i)
            unitBits += std::bitset<8>(quint8(sent[i] ^ wire[i])).count();
        QVERIFY2(unitBits <= (merge ? LinkShaper::kMaxMerged : 1),
                 qPrintable(QString::number(seed)));
        bits += unitBits;
    }
    const int expected = frames.size() / LinkShaper::kFlipOneIn;
    QVERIFY2(bits >= expected / 2 && bits <= expected * 2, qPrintable(QString::number(bits)));
}

void tst_Simulator::faultsWithoutCutKeepTheirBytes_data()
{
    QTest::addColumn<bool>("split");
    QTest::addColumn<bool>("merge");
    QTest::addColumn<bool>("noise");
    QTest::addColumn<QByteArray>("digest");

    // Written by the shaper as it was before it could lose bytes.
    QTest::newRow("split") << true << false << false
                           << QByteArray("8a0c05fef6ea6815d186101306255e7d65fc2be0");
    QTest::newRow("merge") << false << true << false
                           << QByteArray("a6b5db03ebdbc6793a78e02eaabdc78242327ec3");
    QTest::newRow("noise") << false << false << true
                           << QByteArray("36aa8cc1a8660b63712b98d5c0cf78a3a35e8924");
    QTest::newRow("all") << true << true << true
                         << QByteArray("4faddd833a4b2bbfcce8385313574a357e936b95");
}

void tst_Simulator::faultsWithoutCutKeepTheirBytes()
{
    QFETCH(bool, split);
    QFETCH(bool, merge);
    QFETCH(bool, noise);
    QFETCH(QByteArray, digest);

    QByteArray text;
    for (const Unit &unit : shapeUnits({split, merge, noise, false}, 2024, transmitterFrames(0)))
        text += unitText(unit);
    QCOMPARE(QCryptographicHash::hash(text, QCryptographicHash::Sha1).toHex(), digest);
}

void tst_Simulator::nothingStreamsBeforeOk()
{
    SimProcess sim;
    QVERIFY(sim.start());
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    link.collect(300);
    QCOMPARE(link.received().size(), 0);
}

void tst_Simulator::okStartsTheLiveStream()
{
    constexpr int kWatchMs = 1000;
    SimProcess sim;
    QVERIFY(sim.start());
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    QVERIFY(greet(link, 1));
    link.clearReceived();
    link.collect(kWatchMs);

    QVector<QByteArray> frames;
    const QByteArray stream = link.received();
    QVERIFY(!stream.isEmpty());
    // The stream may end inside a frame; everything before must be whole frames.
    QByteArray whole = stream;
    while (!whole.isEmpty() && !splitCleanStream(whole, &frames)) {
        frames.clear();
        whole.chop(1);
    }
    QVERIFY2(stream.size() - whole.size() < kLiveFrameLength, "stream does not split into frames");

    int channel = 0;
    int status = 0;
    for (const QByteArray &frame : frames) {
        QCOMPARE(frame.size(), kLiveFrameLength);
        QCOMPARE(quint8(frame.at(0)), kFrameMarker);
        ParamStore s;
        DecodedFrame d;
        QVERIFY(decodeWholeChunk(frame, s, &d));
        if (d.family == FrameFamily::Channel) {
            ++channel;
            QVERIFY(s.Servo3 >= kServoCentre - kServoSwing &&
                    s.Servo3 <= kServoCentre + kServoSwing);
            QVERIFY(s.TX_Volt >= kTxVoltLow && s.TX_Volt <= kTxVoltHigh);
        } else {
            QCOMPARE(d.family, FrameFamily::LinkStatus);
            ++status;
            QVERIFY(s.RSSI >= kRssiLow && s.RSSI <= kRssiHigh);
            QVERIFY(s.EXT_Volt >= kExtVoltLow && s.EXT_Volt <= kExtVoltHigh);
        }
    }
    // 50 channel frames and about four link-status frames a second; timers may slip a bit.
    QVERIFY2(channel >= 40 && channel <= 55, qPrintable(QString::number(channel)));
    QVERIFY2(status >= 3 && status <= 6, qPrintable(QString::number(status)));
}

void tst_Simulator::disStopsTheLiveStream()
{
    SimProcess sim;
    QVERIFY(sim.start());
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    QVERIFY(greet(link, 100));
    link.send("DIS");
    link.collect(kSettleMs);
    link.clearReceived();
    link.collect(300);
    QCOMPARE(link.received().size(), 0);

    // And it starts again on the next greeting.
    QVERIFY(greet(link, kLiveFrameLength));
}

void tst_Simulator::readIsAnsweredWithNineteenSettingsFrames_data()
{
    QTest::addColumn<bool>("streaming");
    QTest::newRow("idle") << false;
    QTest::newRow("while streaming") << true;
}

void tst_Simulator::readIsAnsweredWithNineteenSettingsFrames()
{
    QFETCH(bool, streaming);

    const ParamStore expected = changedSettings();
    SimProcess sim;
    QVERIFY(sim.startHolding(expected));
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    if (streaming) {
        QVERIFY(greet(link, 1));
    }
    link.send("RR");
    link.collect(kAnswerMs);

    const Decoded decoded = assemble(link.chunks());
    QCOMPARE(decoded.settingsFrames(), 19);
    QCOMPARE(decoded.count(FrameFamily::Aux), 1);
    QCOMPARE(decoded.count(FrameFamily::Parameter), 18);
    const QStringList differences = reportedDifferences(expected, decoded.store);
    QVERIFY2(differences.isEmpty(), qPrintable(describe(differences)));

    if (!streaming) {
        // Nothing else on the line, and each frame whole.
        QVector<QByteArray> frames;
        QVERIFY(splitCleanStream(link.received(), &frames));
        QCOMPARE(frames.size(), 19);
        QCOMPARE(frames.first().size(), kAuxFrameLength);
    }
}

void tst_Simulator::writtenSettingsComeBackOnRead_data()
{
    QTest::addColumn<int>("pieceLength"); // 0: each token in one write
    QTest::addColumn<bool>("oneWrite");   // the whole sequence and RR at once

    QTest::newRow("one write per token") << 0 << false;
    QTest::newRow("everything in one write") << 0 << true;
    QTest::newRow("pieces of 7 bytes") << 7 << false;
    QTest::newRow("pieces of 1 byte") << 1 << false;
}

void tst_Simulator::writtenSettingsComeBackOnRead()
{
    QFETCH(int, pieceLength);
    QFETCH(bool, oneWrite);

    const ParamStore written = randomSettings(2024);
    SimProcess sim;
    QVERIFY(sim.start());
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    link.send("OK");

    const QByteArray tokens[] = {frameText(kFrameS, written), frameText(kFrameG, written),
                                 frameText(kFrameH, written), "WWW", "RR"};
    if (oneWrite) {
        QByteArray all;
        for (const QByteArray &token : tokens)
            all += token;
        link.clearReceived();
        link.send(all);
    } else {
        for (const QByteArray &token : tokens) {
            if (token == "RR")
                link.clearReceived();
            QVector<QByteArray> pieces;
            const int step = pieceLength > 0 ? pieceLength : token.size();
            for (int at = 0; at < token.size(); at += step)
                pieces.append(token.mid(at, step));
            link.sendPieces(pieces, 2);
        }
    }
    expectSettingsAnswer(link, written);
}

void tst_Simulator::framesWithoutAckAreNotTakenOver()
{
    SimProcess sim;
    QVERIFY(sim.start());
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    const QByteArray sequence = writeSequence(changedSettings());
    link.send(sequence.left(sequence.size() - 3) + "RR");
    expectSettingsAnswer(link, factorySettings());
}

void tst_Simulator::stateFileSurvivesARestart()
{
    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state.txt"));
    const ParamStore written = randomSettings(77);
    {
        SimProcess sim;
        QVERIFY(sim.start({QStringLiteral("--state"), state}));
        SimLink link;
        QVERIFY(link.open(sim.slavePath()));
        link.send(writeSequence(written));
        link.collect(kSettleMs);
        // Saved as soon as the settings are taken over, not only at exit.
        QFile file(state);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), buildParameterFile(written));
        QVERIFY(sim.terminate(SIGTERM));
    }
    QFile file(state);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.size(), qint64(kParameterFileLength));
    QCOMPARE(file.readAll(), buildParameterFile(written));

    SimProcess again;
    QVERIFY(again.start({QStringLiteral("--state"), state}));
    SimLink link;
    QVERIFY(link.open(again.slavePath()));
    link.send("RR");
    expectSettingsAnswer(link, written);
}

void tst_Simulator::exitsCleanly_data()
{
    QTest::addColumn<int>("signal"); // 0: close standard input instead
    QTest::newRow("SIGTERM") << int(SIGTERM);
    QTest::newRow("SIGINT") << int(SIGINT);
    QTest::newRow("standard input closed") << 0;
}

void tst_Simulator::exitsCleanly()
{
    QFETCH(int, signal);

    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("state.txt"));
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--state"), state, QStringLiteral("--exit-on-stdin-close")}));
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    QVERIFY(greet(link, 100));

    if (signal != 0) {
        QVERIFY(sim.terminate(signal));
    } else {
        sim.process().closeWriteChannel();
        QVERIFY(sim.process().waitForFinished(5000));
    }
    QCOMPARE(sim.process().exitStatus(), QProcess::NormalExit);
    QCOMPARE(sim.process().exitCode(), 0);
    QVERIFY(QFile::exists(state));

    // The far end is gone: after what was still buffered, reads report a hang-up.
    link.collect(kSettleMs);
    char byte;
    const ssize_t n = ::read(link.fd(), &byte, 1);
    QVERIFY2(n == 0 || (n < 0 && errno == EIO), qPrintable(QString::number(n)));
}

void tst_Simulator::faultyStreamsStillDecodeCompletely_data()
{
    QTest::addColumn<QStringList>("faults");
    QTest::newRow("split") << QStringList{QStringLiteral("--split")};
    QTest::newRow("merge") << QStringList{QStringLiteral("--merge")};
    QTest::newRow("noise") << QStringList{QStringLiteral("--noise")};
    QTest::newRow("split, merge and noise") << QStringList{
        QStringLiteral("--split"), QStringLiteral("--merge"), QStringLiteral("--noise")};
}

void tst_Simulator::faultyStreamsStillDecodeCompletely()
{
    QFETCH(QStringList, faults);

    SimProcess sim;
    QVERIFY(sim.start(faults + QStringList{QStringLiteral("--seed"), QStringLiteral("11")}));
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    link.send("OK");
    link.collect(500);
    link.send("RR");
    link.collect(kAnswerMs);
    link.send("DIS");
    link.collect(kSettleMs * 2);

    QVector<ParamStore> channelStates;
    const Decoded decoded = assemble(link.chunks(), &channelStates);
    QCOMPARE(decoded.settingsFrames(), 19);
    QCOMPARE(decoded.count(FrameFamily::Aux), 1);
    const QStringList differences = reportedDifferences(factorySettings(), decoded.store);
    QVERIFY2(differences.isEmpty(), qPrintable(describe(differences)));

    // Every channel frame arrives, in order, none lost, none made up.
    QVERIFY(channelStates.size() > 25);
    for (int tick = 0; tick < channelStates.size(); ++tick)
        QVERIFY2(sameServos(channelStates[tick], decodeChannelFrame(channelFrame(tick))),
                 qPrintable(QStringLiteral("tick %1").arg(tick)));
    const int ticks = channelStates.size();
    QCOMPARE(decoded.count(FrameFamily::LinkStatus),
             (ticks + kLinkStatusEveryTicks - 1) / kLinkStatusEveryTicks);

    // And the faults were really there.
    const int frameBytes = ticks * kLiveFrameLength +
                           decoded.count(FrameFamily::LinkStatus) * kLiveFrameLength +
                           kAuxFrameLength + 18 * kParameterFrameLength;
    const int units = ticks + decoded.count(FrameFamily::LinkStatus) + 19;
    if (faults.contains(QStringLiteral("--noise")))
        QVERIFY(link.received().size() > frameBytes);
    else
        QCOMPARE(link.received().size(), frameBytes);
    // How reads group the pieces depends on timing, but in a second of stream some read
    // ends inside a frame.
    if (faults.contains(QStringLiteral("--split")))
        QVERIFY(decoded.chunksEndingInsideAFrame > 0);
    if (faults == QStringList{QStringLiteral("--merge")}) {
        QVERIFY(link.chunks().size() <= units / 2 + 1);
    }
}

void tst_Simulator::sameSeedGivesTheSameBytes()
{
    constexpr int kBytes = 2000;
    const QStringList faults{QStringLiteral("--split"), QStringLiteral("--merge"),
                             QStringLiteral("--noise")};
    const auto run = [&faults](const char *seed) {
        return greetedStream(faults + QStringList{QStringLiteral("--seed"), QLatin1String(seed)},
                             kBytes);
    };
    const QByteArray first = run("5");
    const QByteArray second = run("5");
    const QByteArray other = run("6");
    QCOMPARE(first.size(), kBytes);
    QCOMPARE(second, first);
    QVERIFY(other != first);
}

// Grouping and splitting follow the timers, but what is lost, like the noise, follows only
// the seed and the frames.
void tst_Simulator::cutLineKeepsToItsSeed()
{
    constexpr int kBytes = 2000;
    const auto run = [](const QStringList &arguments) { return greetedStream(arguments, kBytes); };
    const QStringList faults{QStringLiteral("--split"), QStringLiteral("--merge"),
                             QStringLiteral("--noise"), QStringLiteral("--seed"),
                             QStringLiteral("5")};
    const QByteArray first = run(faults + QStringList{QStringLiteral("--cut")});
    QCOMPARE(first.size(), kBytes);
    QCOMPARE(run(faults + QStringList{QStringLiteral("--cut")}), first);
    // And the option reaches the shaper at all.
    QVERIFY(run(faults) != first);
}

void tst_Simulator::ignoredFrameKindLeavesItsSettingsAlone_data()
{
    QTest::addColumn<QString>("letter");
    for (const char *letter : {"S", "G", "H"})
        QTest::newRow(letter) << QString::fromLatin1(letter);
}

// A write whose frame of one kind is lost: the settings of the other two frames change, those
// of the lost one keep their old values.
void tst_Simulator::ignoredFrameKindLeavesItsSettingsAlone()
{
    QFETCH(QString, letter);
    const FrameLayout &ignored = letter == QLatin1String("S")   ? kFrameS
                                 : letter == QLatin1String("G") ? kFrameG
                                                                : kFrameH;
    SimProcess sim;
    QVERIFY(sim.start({QStringLiteral("--ignore"), letter}));
    SimLink link;
    QVERIFY(link.open(sim.slavePath()));
    const ParamStore written = changedSettings();
    link.send(writeSequence(written));
    link.collect(kSettleMs);
    link.clearReceived();
    link.send("RR");
    link.collect(kAnswerMs);

    const Decoded decoded = assemble(link.chunks());
    QCOMPARE(decoded.settingsFrames(), 19);
    const ParamStore factory = factorySettings();
    int keptOld = 0;
    for (const ReportedField &field : reportedFields()) {
        bool inIgnored = false;
        for (int i = 0; i < ignored.slotCount; ++i)
            inIgnored = inIgnored || ignored.fields[i].member == field.member;
        const ParamStore &expected = inIgnored ? factory : written;
        QVERIFY2(decoded.store.*field.member == expected.*field.member, field.name);
        keptOld += inIgnored && written.*field.member != factory.*field.member;
    }
    // The written set changes something in every frame, so the lost frame shows.
    QVERIFY(keptOld > 0);
}

QTEST_GUILESS_MAIN(tst_Simulator)
#include "tst_simulator.moc"
