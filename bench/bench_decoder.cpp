// SPDX-License-Identifier: GPL-3.0-or-later
// How fast the receive buffer takes a long stream of mixed frames apart, and how much it holds:
// a clean stream in chunks of several sizes, and a realistic one, split, merged, cut short and
// with noise between frames, read with pauses.

#include "decoder.h"
#include "paramstore.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QVector>

#include "rangecheck.h"

#include <cstdio>
#include <random>

namespace {

constexpr int kFrames = 300000;

QByteArray makeFrame(QRandomGenerator &rng)
{
    // Payload bytes avoid the markers so that every frame can be counted back.
    const auto payloadByte = [&rng]() {
        for (;;) {
            const quint8 c = quint8(rng.bounded(256));
            if (c != kFrameMarker && c != kAuxMarker)
                return char(c);
        }
    };
    QByteArray f;
    switch (rng.bounded(4)) {
    case 0:
    case 1: // live frames arrive far more often than anything else
        f += char(kFrameMarker);
        f += char(rng.bounded(2) ? kChannelKind : kLinkStatusKind);
        for (int i = 0; i < kLiveFrameLength - 2; ++i)
            f += payloadByte();
        break;
    case 2:
        f += char(0);
        f += char(0);
        f += char(kAuxMarker);
        for (int i = 0; i < 4; ++i)
            f += char(rng.bounded(6)); // the four channel sources
        f += payloadByte();
        break;
    default: {
        const int kinds = int(parameterKindsEnd() - parameterKindsBegin());
        const quint8 kind = parameterKindsBegin()[rng.bounded(kinds)].kind;
        f += char(kFrameMarker);
        f += char(0);
        f += char(kind);
        for (int i = 0; i < 8; ++i)
            f += payloadByte();
        f += char(kFrameMarker);
        break;
    }
    }
    return f;
}

// A frame as a transmitter sends it: live values where servos and batteries are, settings
// inside their ranges.
QByteArray makeRealisticFrame(std::mt19937 &rng)
{
    const auto in = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    QByteArray f;
    const auto word = [&f](int at, int value) {
        f[at] = char(value >> 8);
        f[at + 1] = char(value & 0xFF);
    };
    const int pick = in(0, 9); // live frames stream all the time, settings answer a read
    if (pick < 6) {
        f = QByteArray(kLiveFrameLength, '\0');
        f[0] = char(kFrameMarker);
        f[1] = char(pick < 5 ? kChannelKind : kLinkStatusKind);
        if (pick < 5) {
            for (int i = 0; i < 8; ++i)
                word(2 + 2 * i, in(500, 1500));
            word(18, in(700, 800));
        } else {
            f[2] = char(in(30, 70));
            word(4, in(100, 130));
        }
    } else if (pick < 7) {
        f = QByteArray(kAuxFrameLength, '\0');
        f[2] = char(kAuxMarker);
        for (int i = 3; i <= 6; ++i)
            f[i] = char(in(0, 5));
    } else {
        const int kinds = int(parameterKindsEnd() - parameterKindsBegin());
        const ParameterKind &kind = parameterKindsBegin()[in(0, kinds - 1)];
        f = QByteArray(kParameterFrameLength, '\0');
        f[0] = char(kFrameMarker);
        f[2] = char(kind.kind);
        f[11] = char(kFrameMarker);
        for (const PayloadSlot &slot : kind.payload) {
            if (!slot.member)
                break;
            const RangeRule *rule = findRangeRule(slot.member);
            const int value = rule ? in(rule->low, rule->high) : in(0, 0xFFFF);
            if (slot.word)
                word(slot.byte, value);
            else
                f[slot.byte] = char(value + slot.offset);
        }
    }
    return f;
}

struct Read
{
    QByteArray chunk;
    qint64 atMs;
};

// The line's damage, one event at a time: a frame now and then loses a run of bytes inside,
// or garbage comes before it; reads take 1 to 64 bytes, and now and then the line pauses.
QVector<Read> makeRealisticLine(int frames, std::mt19937 &rng, qint64 *bytes)
{
    const auto in = [&rng](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(rng);
    };
    QByteArray stream;
    bool damaged = false;
    for (int i = 0; i < frames; ++i) {
        const bool mayDamage = !damaged;
        damaged = false;
        if (mayDamage && in(0, 99) < 3) {
            for (int n = in(1, 5); n > 0; --n)
                stream += char(in(0, 255));
            damaged = true;
        }
        QByteArray f = makeRealisticFrame(rng);
        if (mayDamage && in(0, 99) < 3) {
            const int from = in(3, f.size() - 2);
            f.remove(from, in(1, f.size() - 1 - from));
            damaged = true;
        }
        stream += f;
    }
    QVector<Read> reads;
    qint64 now = 0;
    for (int pos = 0; pos < stream.size();) {
        const int n = qMin(in(1, 64), int(stream.size()) - pos);
        now += in(0, 99) == 0 ? in(int(FrameAssembler::kHoldMs) + 1, 300) : in(0, 5);
        reads.append({stream.mid(pos, n), now});
        pos += n;
    }
    *bytes = stream.size();
    return reads;
}

struct Result
{
    double seconds = 0;
    qint64 frames = 0;
    int peakHeld = 0;
};

Result run(const QVector<QByteArray> &chunks)
{
    FrameAssembler assembler;
    ParamStore store;
    Result r;
    const auto count = [&r](const DecodedFrame &) { ++r.frames; };
    QElapsedTimer timer;
    timer.start();
    qint64 now = 0;
    for (const QByteArray &chunk : chunks) {
        assembler.feed(chunk, now++, store, count);
        r.peakHeld = qMax(r.peakHeld, assembler.held().size());
    }
    r.seconds = timer.nsecsElapsed() / 1e9;
    return r;
}

Result runTimed(const QVector<Read> &reads)
{
    FrameAssembler assembler;
    ParamStore store;
    Result r;
    const auto count = [&r](const DecodedFrame &) { ++r.frames; };
    QElapsedTimer timer;
    timer.start();
    qint64 last = 0;
    for (const Read &read : reads) {
        // As the window does: bytes whose wait ran out are settled before the next read.
        const qint64 wait = assembler.msUntilExpiry(last);
        if (wait >= 0 && last + wait < read.atMs)
            assembler.expire(last + wait, store, count);
        assembler.feed(read.chunk, read.atMs, store, count);
        r.peakHeld = qMax(r.peakHeld, assembler.held().size());
        last = read.atMs;
    }
    assembler.finish(store, count);
    r.seconds = timer.nsecsElapsed() / 1e9;
    return r;
}

void report(const char *key, const char *what, qint64 bytes, const Result &r)
{
    std::printf("%s %.0f  # frames/s, %s: %.1f MB/s, %lld frames, peak held %d bytes\n", key,
                r.frames / r.seconds, what, bytes / r.seconds / 1e6,
                static_cast<long long>(r.frames), r.peakHeld);
}

} // namespace

int main()
{
    QRandomGenerator rng(42);
    QVector<QByteArray> frames;
    qint64 bytes = 0;
    frames.reserve(kFrames);
    for (int i = 0; i < kFrames; ++i) {
        frames.append(makeFrame(rng));
        bytes += frames.last().size();
    }
    QByteArray stream;
    stream.reserve(int(bytes));
    for (const QByteArray &f : frames)
        stream += f;

    std::printf("# %d frames, %lld bytes\n", kFrames, static_cast<long long>(bytes));

    report("decoder_whole_frames", "one frame per chunk", bytes, run(frames));

    for (int maxChunk : {8, 64, 512}) {
        QVector<QByteArray> chunks;
        for (int pos = 0; pos < stream.size();) {
            const int n = 1 + int(rng.bounded(quint32(maxChunk)));
            chunks.append(stream.mid(pos, n));
            pos += n;
        }
        char key[64];
        char label[64];
        std::snprintf(key, sizeof key, "decoder_chunks_%d", maxChunk);
        std::snprintf(label, sizeof label, "clean stream in chunks of 1..%d", maxChunk);
        const Result r = run(chunks);
        report(key, label, bytes, r);
        if (r.frames != kFrames)
            std::printf("# expected %d frames\n", kFrames);
    }

    // The most likely reading of each 64-byte read together with the 19 bytes before it: what
    // reading the line by that objective costs per frame.
    QElapsedTimer timer;
    timer.start();
    long long checksum = 0;
    for (int pos = 0; pos < stream.size(); pos += 64)
        checksum += segmentation::bestScore(stream.mid(qMax(0, pos - 19), 83), true);
    const double seconds = timer.nsecsElapsed() / 1e9;
    std::printf("decoder_best_reading_64 %.0f  # frames/s, best reading of 64-byte reads: %.1f "
                "MB/s (score sum %lld)\n",
                kFrames / seconds, bytes / seconds / 1e6, checksum);

    std::mt19937 lineRng(7);
    qint64 lineBytes = 0;
    const QVector<Read> line = makeRealisticLine(kFrames, lineRng, &lineBytes);
    report("decoder_realistic", "split, merged, cut, noisy stream with pauses", lineBytes,
           runTimed(line));
    return 0;
}
