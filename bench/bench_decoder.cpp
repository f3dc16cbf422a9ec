// How fast the receive buffer takes a long stream of mixed frames apart, and how much it holds.

#include "decoder.h"
#include "paramstore.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QVector>

#include <cstdio>

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

void report(const char *what, qint64 bytes, const Result &r)
{
    std::printf("%-28s %8.1f MB/s %10.0f frames/s  %lld frames  peak held %d bytes\n", what,
                bytes / r.seconds / 1e6, r.frames / r.seconds, static_cast<long long>(r.frames),
                r.peakHeld);
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

    std::printf("%d frames, %lld bytes\n", kFrames, static_cast<long long>(bytes));

    report("one frame per chunk", bytes, run(frames));

    for (int maxChunk : {8, 64, 512}) {
        QVector<QByteArray> chunks;
        for (int pos = 0; pos < stream.size();) {
            const int n = 1 + int(rng.bounded(quint32(maxChunk)));
            chunks.append(stream.mid(pos, n));
            pos += n;
        }
        char label[64];
        std::snprintf(label, sizeof label, "random chunks of 1..%d", maxChunk);
        const Result r = run(chunks);
        report(label, bytes, r);
        if (r.frames != kFrames)
            std::printf("  expected %d frames\n", kFrames);
    }
    return 0;
}
