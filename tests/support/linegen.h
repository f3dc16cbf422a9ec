// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A line as a USB serial adapter delivers it: a transmitter streams live frames and answers
// reads with bursts of settings frames; the line may lose runs of bytes anywhere, put garbage
// between frames and flip bits; the adapter hands over whatever arrived every 1..16 ms, at
// most 64 bytes at a time. What the line left intact is known, so that a receive buffer can be
// judged against it: header only, so that tests and benchmarks share one generator.
#include "decoder.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QHash>
#include <QSet>
#include <QVector>

#include <algorithm>
#include <random>

namespace linegen {

class Rng
{
public:
    explicit Rng(quint32 seed)
        : m_engine(seed)
    {}
    int in(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_engine); }
    bool chance(double p) { return std::uniform_real_distribution<double>(0, 1)(m_engine) < p; }
    char byte() { return char(in(0, 255)); }
    // A marker byte one time in eight, so that payloads hold every marker in every position.
    char markerOr(int value)
    {
        static const quint8 markers[] = {kFrameMarker, kChannelKind, kLinkStatusKind, kAuxMarker};
        return in(0, 7) == 0 ? char(markers[in(0, 3)]) : char(value);
    }

private:
    std::mt19937 m_engine;
};

struct Damage
{
    int frames = 0;
    double loss = 0;    // a run of 1..4 bytes is lost anywhere in a frame, markers included
    double garbage = 0; // 1..11 random bytes come before a frame
    double flip = 0;    // one bit of one byte of a frame is turned
    double answer = 0;  // a read answer (AUX and 18 parameter frames) starts here
};

struct SentFrame
{
    QByteArray bytes;
    bool damaged = false;
    bool garbageBefore = false;
    int start = 0;
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

// A frame as a transmitter sends it: values anywhere in their ranges, markers wherever a value
// may take them, and zero in the bytes that no field uses.
inline QByteArray makeFrame(Rng &rng, FrameFamily family, const ParameterKind *kind = nullptr)
{
    QByteArray f;
    const auto word = [&f](int at, int value) {
        f[at] = char(value >> 8);
        f[at + 1] = char(value & 0xFF);
    };
    // A word up to `high` whose low byte is a marker when that fits.
    const auto liveWord = [&](int at, int high) {
        const int low = quint8(rng.markerOr(rng.in(0, 255)));
        const int value = rng.in(0, high >> 8) * 256 + low;
        word(at, value <= high ? value : rng.in(0, high));
    };
    switch (family) {
    case FrameFamily::Channel:
        f = QByteArray(kLiveFrameLength, '\0');
        f[0] = char(kFrameMarker);
        f[1] = char(kChannelKind);
        for (int i = 0; i < 8; ++i)
            liveWord(2 + 2 * i, 2000);
        // 7.66 V, 0x02FE, often: a 2S pack there ends every channel frame in FE.
        rng.chance(0.3) ? word(18, 0x02FE) : liveWord(18, 1700);
        return f;
    case FrameFamily::LinkStatus:
        f = QByteArray(kLiveFrameLength, '\0');
        f[0] = char(kFrameMarker);
        f[1] = char(kLinkStatusKind);
        f[2] = char(std::min(100, int(quint8(rng.markerOr(rng.in(0, 100)))))); // -100..0 dBm
        liveWord(4, 600);
        return f;
    case FrameFamily::Aux:
        f = QByteArray(kAuxFrameLength, '\0');
        f[2] = char(kAuxMarker);
        for (int i = 3; i <= 6; ++i)
            f[i] = char(rng.in(0, 5));
        return f;
    case FrameFamily::Parameter:
        break;
    }
    f = QByteArray(kParameterFrameLength, '\0');
    f[0] = char(kFrameMarker);
    f[2] = char(kind->kind);
    f[11] = char(kFrameMarker);
    for (const PayloadSlot &slot : kind->payload) {
        if (!slot.member)
            break;
        const RangeRule *rule = findRangeRule(slot.member);
        const int low = rule ? rule->low : 0, high = rule ? rule->high : 0xFFFF;
        int value = rng.in(low, high);
        // A marker where the range lets the byte be one.
        const int marked = quint8(rng.markerOr(value + slot.offset)) - slot.offset;
        if (!slot.word && marked >= low && marked <= high)
            value = marked;
        if (slot.word)
            word(slot.byte, value);
        else
            f[slot.byte] = char(value + slot.offset);
    }
    return f;
}

// The shapes a read can have that make it one frame by itself, whatever came before.
inline bool frameShaped(const QByteArray &c)
{
    const auto b = [&c](int i) { return quint8(c.at(i)); };
    switch (c.size()) {
    case kLiveFrameLength:
        return b(0) == kFrameMarker && (b(1) == kChannelKind || b(1) == kLinkStatusKind);
    case kAuxFrameLength:
        return b(2) == kAuxMarker;
    case kParameterFrameLength:
        return b(0) == kFrameMarker && b(11) == kFrameMarker;
    default:
        return false;
    }
}

// Cuts the line into reads of 1..maxChunk bytes, each `nextGap()` ms after the one before. A
// read shaped like a frame is that frame, by the contract with the transmitter: a line that
// delivers a piece of a frame in that shape cannot be read right by anyone, so such a read
// grows until it is no longer one, or is exactly an intact frame.
template<typename Gap> void chunk(Rng &rng, Line &line, int maxChunk, Gap nextGap)
{
    QHash<int, int> intactAt;
    for (const SentFrame &f : qAsConst(line.frames)) {
        if (!f.damaged)
            intactAt.insert(f.start, f.bytes.size());
    }
    qint64 now = 0;
    for (int pos = 0; pos < line.stream.size();) {
        int n = std::min(rng.in(1, maxChunk), int(line.stream.size()) - pos);
        while (pos + n < line.stream.size() && frameShaped(line.stream.mid(pos, n)) &&
               intactAt.value(pos) != n)
            ++n;
        now += nextGap();
        line.reads.append({pos, n, now});
        pos += n;
    }
}

// Live frames all the time, and now and then a read answer: the AUX frame and the 18 kinds in
// any order, with live frames among them, in the reads of a USB adapter.
inline Line makeUsbLine(Rng &rng, const Damage &d)
{
    Line line;
    QVector<QByteArray> answer;
    for (int i = 0; i < d.frames; ++i) {
        if (answer.isEmpty() && rng.chance(d.answer)) {
            answer.append(makeFrame(rng, FrameFamily::Aux));
            for (const ParameterKind *k = parameterKindsBegin(); k != parameterKindsEnd(); ++k)
                answer.append(makeFrame(rng, FrameFamily::Parameter, k));
            std::shuffle(answer.begin(), answer.end(), std::mt19937(quint32(rng.in(0, 1 << 30))));
        }
        SentFrame f;
        if (!answer.isEmpty() && rng.chance(0.7)) {
            f.bytes = answer.takeLast();
        } else {
            f.bytes =
                makeFrame(rng, rng.chance(0.8) ? FrameFamily::Channel : FrameFamily::LinkStatus);
        }
        if (rng.chance(d.garbage)) {
            for (int n = rng.in(1, 11); n > 0; --n)
                line.stream += rng.byte();
            f.garbageBefore = true;
        }
        if (rng.chance(d.loss)) {
            const int from = rng.in(0, f.bytes.size() - 1);
            f.bytes.remove(from, std::min(rng.in(1, 4), int(f.bytes.size()) - from));
            f.damaged = true;
        }
        if (!f.bytes.isEmpty() && rng.chance(d.flip)) {
            const int at = rng.in(0, f.bytes.size() - 1);
            f.bytes[at] = char(f.bytes.at(at) ^ (1 << rng.in(0, 7)));
            f.damaged = true;
        }
        f.start = line.stream.size();
        line.stream += f.bytes;
        line.frames.append(f);
    }

    chunk(rng, line, 64, [&rng] { return rng.in(1, 16); });
    return line;
}

// The frames that reach the reader whole: not damaged, and not spread over more than the hold
// time, after which the reader no longer waits for the rest.
template<typename L> QVector<int> intactFrameIndices(const L &line)
{
    QVector<qint64> arrival(line.stream.size());
    for (const auto &r : line.reads) {
        for (int i = r.from; i < r.from + r.length; ++i)
            arrival[i] = r.atMs;
    }
    QVector<int> intact;
    for (int k = 0; k < line.frames.size(); ++k) {
        const auto &f = line.frames[k];
        const int last = f.start + f.bytes.size() - 1;
        if (!f.damaged && arrival[last] - arrival[f.start] <= FrameAssembler::kHoldMs)
            intact.append(k);
    }
    return intact;
}

// The values each field is set to by the given frames, found by decoding each of them on its
// own over two different stores: a field the frame sets ends equal in both.
inline QVector<QSet<qint32>> carriedValues(const QVector<QByteArray> &frames)
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

// What a receive buffer made of a line, against what the line left intact.
struct Verdict
{
    int intact = 0;
    int damaged = 0;
    int lost = 0;           // intact frames that did not come out
    int invented = 0;       // frames that came out but were not sent intact
    int inventedValues = 0; // times a field took a value that no intact frame carried
    int maxHeld = 0;        // the most bytes the buffer held after a read
    // Of those lost or invented, the ones more than `radius` frames away from any damage:
    // damage may cost its neighbours, never a frame far from it.
    int lostFar = 0;
    int inventedFar = 0;
    QString firstFar;
    QString first;      // the first frame lost or invented, with the line around it
    QString firstValue; // the first value no intact frame carried
};

// With `reportsCount`, a parameter frame of no known kind that comes out counts as invented;
// otherwise it is left aside, as it changes nothing.
template<typename L> Verdict judge(const L &line, bool reportsCount, int radius = 1)
{
    // How far ahead the verdict looks for the sent and the decoded frames to agree again:
    // damage after damage may cost a run of frames, and the verdict must find its way back.
    constexpr int kResync = 64;
    Verdict v;
    v.damaged = int(std::count_if(line.frames.begin(), line.frames.end(),
                                  [](const auto &f) { return f.damaged; }));
    const QVector<int> intactAt = intactFrameIndices(line);
    QVector<QByteArray> intact;
    for (int k : intactAt)
        intact.append(line.frames[k].bytes);
    const int frameCount = int(line.frames.size());
    const auto nearDamage = [&line, radius, frameCount](int k) {
        for (int j = std::max(0, k - radius); j <= std::min(frameCount - 1, k + radius); ++j) {
            if (line.frames[j].damaged || line.frames[j].garbageBefore)
                return true;
        }
        return false;
    };
    // The frame whose bytes hold the stream offset.
    const auto frameAt = [&line](int offset) {
        const auto after = std::upper_bound(line.frames.begin(), line.frames.end(), offset,
                                            [](int at, const auto &f) { return at < f.start; });
        return std::max(0, int(after - line.frames.begin()) - 1);
    };
    // The bytes of the line each decoded frame came out of: those held, and the read.
    QVector<QPair<int, int>> decodedFrom;
    QPair<int, int> lineSpan(0, 0);
    const QVector<QSet<qint32>> allowed = carriedValues(intact);
    v.intact = intact.size();
    FrameAssembler assembler;
    ParamStore store;
    QVector<QByteArray> decoded;
    const auto onFrame = [&decoded, &decodedFrom, &lineSpan, reportsCount](const DecodedFrame &f) {
        if (reportsCount || f.family != FrameFamily::Parameter || f.readFlag != 0) {
            decoded.append(f.bytes);
            decodedFrom.append(lineSpan);
        }
    };
    qint64 lastMs = 0;
    QVector<bool> wasMadeUp(intFieldCount());
    for (const auto &r : line.reads) {
        // The window settles waiting bytes on a timer when no read comes.
        const qint64 wait = assembler.msUntilExpiry(lastMs);
        lineSpan.first = r.from - int(assembler.held().size());
        if (wait >= 0 && lastMs + wait < r.atMs)
            assembler.expire(lastMs + wait, store, onFrame);
        lineSpan.second = r.from + r.length - 1;
        assembler.feed(line.stream.mid(r.from, r.length), r.atMs, store, onFrame);
        lastMs = r.atMs;
        v.maxHeld = std::max(v.maxHeld, int(assembler.held().size()));
        for (int i = 0; i < intFieldCount(); ++i) {
            const IntFieldInfo &field = intFieldsBegin()[i];
            const bool madeUp = !allowed[i].contains(store.*field.member);
            if (madeUp && !wasMadeUp[i] && v.inventedValues++ == 0)
                v.firstValue = QStringLiteral("%1 = %2 after the read at byte %3")
                                   .arg(QLatin1String(field.name))
                                   .arg(store.*field.member)
                                   .arg(r.from);
            wasMadeUp[i] = madeUp;
        }
    }
    assembler.expire(lastMs + FrameAssembler::kHoldMs + 1, store, onFrame);

    // What came out wrong, with the frames and reads around where the line carried it.
    const auto describe = [&](const char *what, const QByteArray &frame, int at) {
        QString text = QStringLiteral("%1 %2 near byte %3 of the line, which carried:")
                           .arg(QLatin1String(what), QString::fromLatin1(frame.toHex(' ')))
                           .arg(at);
        for (const auto &f : line.frames) {
            if (std::abs(f.start - at) <= 40 * radius)
                text += QStringLiteral("\n  at %1%2: %3")
                            .arg(f.start)
                            .arg(f.damaged         ? QStringLiteral(" (damaged)")
                                 : f.garbageBefore ? QStringLiteral(" (after garbage)")
                                                   : QString())
                            .arg(QString::fromLatin1(f.bytes.toHex(' ')));
        }
        text += QStringLiteral("\n  reads ending at");
        for (const auto &r : line.reads) {
            if (std::abs(r.from + r.length - at) <= 40 * radius)
                text += QStringLiteral(" %1 (+%2 ms)").arg(r.from + r.length).arg(r.atMs);
        }
        return text;
    };
    const auto note = [&](const char *what, const QByteArray &frame) {
        if (v.first.isEmpty())
            v.first = describe(what, frame, int(line.stream.indexOf(frame)));
    };
    const auto far = [&](const char *what, int k, const QByteArray &frame) {
        if (v.firstFar.isEmpty())
            v.firstFar = describe(what, frame, line.frames[k].start) +
                         QStringLiteral("\n  (frame %1, far from damage)").arg(k);
    };
    const auto madeUp = [&](int j) {
        note("decoded", decoded[j]);
        const int from = frameAt(decodedFrom[j].first);
        const int to = frameAt(decodedFrom[j].second);
        bool near = false;
        for (int k = from; k <= to && !near; ++k)
            near = nearDamage(k);
        if (!near) {
            far("decoded", from, decoded[j]);
            ++v.inventedFar;
        }
        ++v.invented;
    };
    const auto missing = [&](int i) {
        note("lost", intact[i]);
        if (!nearDamage(intactAt[i])) {
            far("lost", intactAt[i], intact[i]);
            ++v.lostFar;
        }
        ++v.lost;
    };
    const int sent = int(intact.size());
    const int taken = int(decoded.size());
    for (int i = 0, j = 0; i < sent || j < taken;) {
        if (i < sent && j < taken && intact[i] == decoded[j]) {
            ++i, ++j;
            continue;
        }
        // The nearest place where the two lists agree again, fewest frames skipped first: a
        // made-up frame that happens to equal one sent later must not cost the frames between.
        int nextI = sent, nextJ = taken;
        for (int skipped = 1; skipped <= 2 * kResync && nextI == sent; ++skipped) {
            for (int a = 0; a <= skipped; ++a) {
                const int ii = i + a, jj = j + skipped - a;
                if (ii < sent && jj < taken && intact[ii] == decoded[jj]) {
                    nextI = ii, nextJ = jj;
                    break;
                }
            }
        }
        for (; i < nextI; ++i)
            missing(i);
        for (; j < nextJ; ++j)
            madeUp(j);
    }
    return v;
}

} // namespace linegen
