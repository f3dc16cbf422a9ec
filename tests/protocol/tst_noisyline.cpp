// SPDX-License-Identifier: GPL-3.0-or-later
// The receive buffer on a line that damages what it carries: random streams of frames of every
// kind, cut short inside, separated by garbage, read in random chunks with random pauses.
// The oracle is the list of frames the line left intact: each of them must come out exactly
// once, in order, and nothing else; and no field of the store may ever hold a value that no
// intact frame carried.
#include "decoder.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QHash>
#include <QSet>
#include <QtTest>

#include <random>

namespace {

// What a transmitter sends, as the line carries it.
struct SentFrame
{
    QByteArray bytes;
    bool cut = false;
    int start = 0; // where it begins in the stream
};

class Rng
{
public:
    explicit Rng(quint32 seed)
        : m_engine(seed)
    {}
    int in(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_engine) < p; }
    char byte() { return char(in(0, 255)); }

private:
    std::mt19937 m_engine;
};

enum { kChannel, kLink, kAux, kParameter };

// A frame of the given family as a transmitter sends it: settings inside their ranges, live
// values where servos and batteries are, and zeros in the bytes no field uses.
QByteArray makeFrame(Rng &rng, int family)
{
    QByteArray f;
    const auto word = [&f](int at, int value) {
        f[at] = char(value >> 8);
        f[at + 1] = char(value & 0xFF);
    };
    if (family == kChannel || family == kLink) {
        f = QByteArray(kLiveFrameLength, '\0');
        f[0] = char(kFrameMarker);
        f[1] = char(family == kChannel ? kChannelKind : kLinkStatusKind);
        if (family == kChannel) {
            for (int i = 0; i < 8; ++i)
                word(2 + 2 * i, rng.in(200, 1800));
            word(18, rng.in(0, 1700));
        } else {
            f[2] = char(rng.in(0, 100));
            word(4, rng.in(0, 600));
        }
        return f;
    }
    if (family == kAux) {
        f = QByteArray(kAuxFrameLength, '\0');
        for (int i = 0; i < f.size(); ++i)
            f[i] = rng.byte(); // bytes 0, 1 and 7 carry nothing
        f[2] = char(kAuxMarker);
        for (int i = 3; i <= 6; ++i)
            f[i] = char(rng.in(0, 5));
        return f;
    }
    const ParameterKind *kinds = parameterKindsBegin();
    const ParameterKind &kind = kinds[rng.in(0, int(parameterKindsEnd() - kinds) - 1)];
    f = QByteArray(kParameterFrameLength, '\0');
    f[0] = char(kFrameMarker);
    f[2] = char(kind.kind);
    f[11] = char(kFrameMarker);
    for (const PayloadSlot &slot : kind.payload) {
        if (!slot.member)
            break;
        const RangeRule *rule = findRangeRule(slot.member);
        const int value = rule ? rng.in(rule->low, rule->high) : rng.in(0, 0xFFFF);
        if (slot.word)
            word(slot.byte, value);
        else
            f[slot.byte] = char(value + slot.offset);
    }
    return f;
}

// The shapes a read chunk can have that make it one frame by itself.
bool frameShaped(const QByteArray &c)
{
    const auto b = [&c](int i) { return quint8(c.at(i)); };
    switch (c.size()) {
    case 20:
        return b(0) == 0xFE && (b(1) == 0x18 || b(1) == 0x19);
    case 8:
        return b(2) == 0xAA;
    case 12:
        return b(0) == 0xFE && b(11) == 0xFE;
    default:
        return false;
    }
}

struct Damage
{
    int frames;
    double cut;     // a run of bytes inside the frame is lost
    double garbage; // random bytes before the frame
    int maxChunk;
    double pause; // a pause longer than the hold time before a read
};

struct Line
{
    QByteArray stream;
    QVector<SentFrame> frames;
    struct Read
    {
        int from;
        int length;
        qint64 atMs;
    };
    QVector<Read> reads;
};

Line makeLine(Rng &rng, const Damage &d)
{
    Line line;
    // Live frames stream all the time; settings frames come in answer to a read.
    const auto pickFamily = [&rng] {
        const int pick = rng.in(0, 9);
        return pick < 4 ? kChannel : pick < 5 ? kLink : pick < 6 ? kAux : kParameter;
    };
    int nextFamily = pickFamily();
    bool damaged = false;
    for (int i = 0; i < d.frames; ++i) {
        // Damage comes one event at a time: right after a cut frame the line carries the
        // next frame whole. A cut frame directly followed by noise or by another cut frame
        // can leave bytes that are a well-marked whole frame by any reading.
        const bool mayDamage = !damaged;
        damaged = false;
        if (mayDamage && rng.chance(d.garbage)) {
            const int n = rng.in(1, 11);
            for (int j = 0; j < n; ++j)
                line.stream += rng.byte();
        }
        const int family = nextFamily;
        nextFamily = pickFamily();
        SentFrame f;
        f.bytes = makeFrame(rng, family);
        // The line loses a run of payload bytes: the frame keeps its marker and kind bytes
        // in front and its last byte. A frame that lost those is no longer one of its family
        // by any reading; what is left of it is noise, and noise may look like anything.
        // Nor is a frame right before an AUX frame cut: an AUX frame's first two bytes carry
        // nothing, so a loss next to them cannot be placed.
        if (mayDamage && nextFamily != kAux && rng.chance(d.cut)) {
            const int from =
                rng.in(family == kChannel || family == kLink ? 2 : 3, f.bytes.size() - 2);
            const int length = rng.in(1, f.bytes.size() - 1 - from);
            f.bytes.remove(from, length);
            f.cut = true;
            damaged = true;
        }
        f.start = line.stream.size();
        line.stream += f.bytes;
        line.frames.append(f);
    }

    // Where each intact frame lies, to let a chunk be exactly one of them.
    QHash<int, int> intactAt;
    for (const SentFrame &f : qAsConst(line.frames)) {
        if (!f.cut)
            intactAt.insert(f.start, f.bytes.size());
    }
    qint64 now = 0;
    for (int pos = 0; pos < line.stream.size();) {
        int n = qMin(rng.in(1, d.maxChunk), int(line.stream.size()) - pos);
        // A chunk shaped like a frame is a frame, by the contract with the transmitter; a line
        // that delivers a piece of a frame in that shape cannot be read right by anyone.
        while (frameShaped(line.stream.mid(pos, n)) && intactAt.value(pos) != n)
            ++n;
        n = qMin(n, int(line.stream.size()) - pos);
        now += rng.chance(d.pause) ? rng.in(FrameAssembler::kHoldMs + 1, 400) : rng.in(0, 5);
        line.reads.append({pos, n, now});
        pos += n;
    }
    return line;
}

// The frames that reach the reader whole: not cut, and not spread over more than the hold
// time, after which the reader no longer waits for the rest.
QVector<QByteArray> intactFrames(const Line &line)
{
    QVector<qint64> arrival(line.stream.size());
    for (const Line::Read &r : line.reads) {
        for (int i = r.from; i < r.from + r.length; ++i)
            arrival[i] = r.atMs;
    }
    QVector<QByteArray> intact;
    for (const SentFrame &f : line.frames) {
        const int last = f.start + f.bytes.size() - 1;
        if (!f.cut && arrival[last] - arrival[f.start] <= FrameAssembler::kHoldMs)
            intact.append(f.bytes);
    }
    return intact;
}

// The values each field is set to by the given frames, found by decoding each of them on its
// own over two different stores: a field the frame sets ends equal in both.
QVector<QSet<qint32>> carriedValues(const QVector<QByteArray> &frames)
{
    QVector<QSet<qint32>> allowed(intFieldCount());
    const ParamStore start;
    for (int i = 0; i < intFieldCount(); ++i)
        allowed[i].insert(start.*intFieldsBegin()[i].member);
    ParamStore low, high;
    for (const QByteArray &f : frames) {
        for (int i = 0; i < intFieldCount(); ++i) {
            low.*intFieldsBegin()[i].member = -1000000;
            high.*intFieldsBegin()[i].member = 1000000;
        }
        DecodedFrame d;
        if (!decodeWholeChunk(f, low, &d) || !decodeWholeChunk(f, high, &d))
            qFatal("generated frame is not a frame");
        for (int i = 0; i < intFieldCount(); ++i) {
            const IntField m = intFieldsBegin()[i].member;
            if (low.*m == high.*m)
                allowed[i].insert(low.*m);
        }
    }
    return allowed;
}

} // namespace

class TestNoisyLine : public QObject
{
    Q_OBJECT

private slots:
    void everyIntactFrameOnceAndNothingInvented_data();
    void everyIntactFrameOnceAndNothingInvented();
};

void TestNoisyLine::everyIntactFrameOnceAndNothingInvented_data()
{
    QTest::addColumn<quint32>("seed");
    QTest::addColumn<int>("frames");
    QTest::addColumn<double>("cut");
    QTest::addColumn<double>("garbage");
    QTest::addColumn<int>("maxChunk");
    QTest::addColumn<double>("pause");
    QTest::newRow("split and merged") << 11u << 25000 << 0.0 << 0.0 << 64 << 0.0;
    QTest::newRow("cut frames") << 12u << 25000 << 0.08 << 0.0 << 48 << 0.0;
    QTest::newRow("garbage between frames") << 13u << 25000 << 0.0 << 0.08 << 48 << 0.0;
    QTest::newRow("everything, with pauses") << 14u << 25000 << 0.05 << 0.05 << 64 << 0.01;
    QTest::newRow("small reads") << 15u << 10000 << 0.05 << 0.05 << 6 << 0.005;
}

void TestNoisyLine::everyIntactFrameOnceAndNothingInvented()
{
    QFETCH(quint32, seed);
    QFETCH(int, frames);
    QFETCH(double, cut);
    QFETCH(double, garbage);
    QFETCH(int, maxChunk);
    QFETCH(double, pause);

    // KORVA_NOISY_LINE_SEED shifts every seed, to try the same damage on other lines.
    Rng rng(seed + quint32(qEnvironmentVariableIntValue("KORVA_NOISY_LINE_SEED")));
    const Line line = makeLine(rng, {frames, cut, garbage, maxChunk, pause});
    const QVector<QByteArray> intact = intactFrames(line);
    const QVector<QSet<qint32>> allowed = carriedValues(intact);

    FrameAssembler assembler;
    ParamStore store;
    QVector<QByteArray> decoded;
    const auto onFrame = [&decoded](const DecodedFrame &f) { decoded.append(f.bytes); };
    QStringList invented;
    qint64 lastMs = 0;
    for (const Line::Read &r : line.reads) {
        // The window settles waiting bytes on a timer when no read comes.
        const qint64 wait = assembler.msUntilExpiry(lastMs);
        if (wait >= 0 && lastMs + wait < r.atMs)
            assembler.expire(lastMs + wait, store, onFrame);
        assembler.feed(line.stream.mid(r.from, r.length), r.atMs, store, onFrame);
        QVERIFY2(assembler.held().size() < kLiveFrameLength, assembler.held().toHex().constData());
        lastMs = r.atMs;
        for (int i = 0; i < intFieldCount() && invented.size() < 5; ++i) {
            const IntFieldInfo &field = intFieldsBegin()[i];
            if (!allowed[i].contains(store.*field.member))
                invented << QStringLiteral("%1 = %2 after the read at byte %3")
                                .arg(QLatin1String(field.name))
                                .arg(store.*field.member)
                                .arg(r.from);
        }
    }
    assembler.expire(lastMs + FrameAssembler::kHoldMs + 1, store, onFrame);

    // Decoded and intact frames side by side, in order.
    int lost = 0, extra = 0, i = 0, j = 0;
    QString firstDifference;
    const auto note = [&](const char *what, const QByteArray &frame) {
        if (!firstDifference.isEmpty())
            return;
        firstDifference = QString::fromLatin1(what) + QLatin1Char(' ') +
                          QString::fromLatin1(frame.toHex(' ')) +
                          QStringLiteral(" near byte %1 of the line, which carried:")
                              .arg(line.stream.indexOf(frame));
        for (const SentFrame &f : line.frames) {
            if (qAbs(f.start - line.stream.indexOf(frame)) <= 40)
                firstDifference += QStringLiteral("\n  at %1%2: %3")
                                       .arg(f.start)
                                       .arg(f.cut ? QStringLiteral(" (cut)") : QString())
                                       .arg(QString::fromLatin1(f.bytes.toHex(' ')));
        }
    };
    while (i < intact.size() || j < decoded.size()) {
        if (i < intact.size() && j < decoded.size() && intact[i] == decoded[j]) {
            ++i, ++j;
        } else if (j < decoded.size() && !intact.mid(i, 3).contains(decoded[j])) {
            note("decoded", decoded[j]);
            ++extra, ++j;
        } else {
            note("lost", intact[i]);
            ++lost, ++i;
        }
    }
    const int cutCount = int(std::count_if(line.frames.begin(), line.frames.end(),
                                           [](const SentFrame &f) { return f.cut; }));
    qInfo("frames %d, cut %d, intact %d, decoded %d, lost %d, invented %d (%d bytes in %d reads)",
          frames, cutCount, int(intact.size()), int(decoded.size()), lost, extra,
          int(line.stream.size()), int(line.reads.size()));
    QVERIFY2(firstDifference.isEmpty(), qPrintable(firstDifference));
    QVERIFY2(invented.isEmpty(), qPrintable(invented.join(QLatin1String("; "))));
}

QTEST_APPLESS_MAIN(TestNoisyLine)
#include "tst_noisyline.moc"
