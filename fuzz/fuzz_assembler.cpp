// SPDX-License-Identifier: GPL-3.0-or-later
// The receive buffer as the port drives it: arbitrary bytes cut at arbitrary places, arriving
// at arbitrary times, with the window's settling timer firing between reads and the port now
// and then closing and opening again.
//
// Input: a sequence of (control byte, chunk bytes). The low six bits of the control byte give
// the chunk length (0..63), the top two bits how far the clock moves before it arrives (0, 60,
// 120 or 180 ms, so held partial frames both survive and go stale). An empty chunk after the
// longest pause closes the port.
//
// What must hold, whatever the bytes:
// - the buffer never holds more than 19 bytes of an unfinished frame, a frame that waits for
//   the next read is a whole frame, and nothing is left waiting beyond the hold time;
// - every frame taken is a frame of its family, with its length and marker bytes, its kind
//   byte and ReadFlag as the family has them;
// - every frame taken lies in the bytes that arrived, after the frames taken before it (only
//   the 12 bytes of a parameter frame of unknown kind may be read again as part of a live
//   frame), and all its bytes arrived within the hold time;
// - a read that is by itself exactly one frame is taken as that frame;
// - once the port closes nothing waits, and every store field holds a value a frame can carry.

#include "decoder.h"
#include "paramstore.h"

#include <QByteArray>
#include <QVector>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &detail = QByteArray())
{
    std::fprintf(stderr, "fuzz_assembler: %s %s\n", what, detail.toHex(' ').constData());
    std::abort();
}

// Every value a frame can put into the store lies between these: a byte less 120 at the
// bottom, an unsigned word at the top. The start values lie between them as well.
constexpr qint32 kLowest = -120;
constexpr qint32 kHighest = 65535;
constexpr int kClosePause = 3;

quint8 at(const QByteArray &b, int i)
{
    return quint8(b.at(i));
}

void checkShape(const DecodedFrame &f)
{
    const QByteArray &b = f.bytes;
    switch (f.family) {
    case FrameFamily::Channel:
    case FrameFamily::LinkStatus: {
        const quint8 kind = f.family == FrameFamily::Channel ? kChannelKind : kLinkStatusKind;
        if (b.size() != kLiveFrameLength || at(b, 0) != kFrameMarker || at(b, 1) != kind)
            fail("live frame without its length or markers", b);
        if (f.kind != kind || f.readFlag != 0)
            fail("live frame with a wrong kind or ReadFlag", b);
        break;
    }
    case FrameFamily::Aux:
        if (b.size() != kAuxFrameLength || at(b, 2) != kAuxMarker)
            fail("AUX frame without its length or marker", b);
        if (f.readFlag != kAuxReadFlag)
            fail("AUX frame with a wrong ReadFlag", b);
        break;
    case FrameFamily::Parameter: {
        if (b.size() != kParameterFrameLength || at(b, 0) != kFrameMarker ||
            at(b, kParameterFrameLength - 1) != kFrameMarker)
            fail("parameter frame without its length or markers", b);
        const ParameterKind *kind = findParameterKind(at(b, 2));
        if (f.kind != at(b, 2) || f.readFlag != (kind ? kind->readFlag : 0))
            fail("parameter frame with a wrong kind or ReadFlag", b);
        break;
    }
    }
}

// The bytes since the port opened, each with the time it arrived, and how far the frames taken
// so far have used them up.
struct Line
{
    QByteArray bytes;
    QVector<qint64> times;
    int usedUpTo = 0;

    void take(const DecodedFrame &f)
    {
        for (int from = usedUpTo;;) {
            const int start = bytes.indexOf(f.bytes, from);
            if (start < 0)
                fail("frame taken that did not arrive in this order", f.bytes);
            const int last = start + f.bytes.size() - 1;
            if (times.at(last) - times.at(start) <= FrameAssembler::kHoldMs) {
                const bool mayBeReadAgain = f.family == FrameFamily::Parameter && f.readFlag == 0;
                usedUpTo = mayBeReadAgain ? start : last + 1;
                return;
            }
            from = start + 1;
        }
    }
};

void checkBuffer(const FrameAssembler &assembler, qint64 now)
{
    if (assembler.held().size() > kLiveFrameLength - 1)
        fail("held more than an unfinished frame", assembler.held());
    // The window's timer is set to settle what waits; nothing that arrived by now may be left
    // waiting beyond the hold time from now.
    if (assembler.msUntilExpiry(now) > FrameAssembler::kHoldMs + 1)
        fail("bytes are left waiting longer than the hold time", assembler.held());
    const QByteArray waiting = assembler.pending() + assembler.held();
    if (waiting.size() > FrameAssembler::kMaxUndecided)
        fail("more waits than two frames' worth", waiting);
}

// A read that is by itself one frame, and that no rule lets the bytes before it claim: an AUX
// frame whose sources no transmitter sends may be the rest of a frame held from before.
bool wholeFrameChunk(const QByteArray &c)
{
    switch (c.size()) {
    case kLiveFrameLength:
        return at(c, 0) == kFrameMarker &&
               (at(c, 1) == kChannelKind || at(c, 1) == kLinkStatusKind);
    case kParameterFrameLength:
        return at(c, 0) == kFrameMarker && at(c, kParameterFrameLength - 1) == kFrameMarker;
    case kAuxFrameLength:
        return at(c, 2) == kAuxMarker &&
               std::all_of(c.begin() + 3, c.begin() + 7, [](char s) { return quint8(s) <= 5; });
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FrameAssembler assembler;
    ParamStore store;
    Line line;
    QByteArray lastTaken;
    const auto onFrame = [&](const DecodedFrame &f) {
        checkShape(f);
        line.take(f);
        lastTaken = f.bytes;
    };

    qint64 now = 0;
    size_t i = 0;
    while (i < size) {
        const uint8_t control = data[i++];
        const size_t length = std::min<size_t>(control & 0x3F, size - i);
        const int pause = control >> 6;
        const qint64 then = now + pause * 60;
        // The window's timer settles what waited too long when no read comes.
        const qint64 wait = assembler.msUntilExpiry(now);
        if (wait >= 0 && now + wait < then) {
            assembler.expire(now + wait, store, onFrame);
            checkBuffer(assembler, now + wait);
        }
        now = then;
        if (length == 0 && pause == kClosePause) {
            assembler.finish(store, onFrame);
            if (!assembler.held().isEmpty() || !assembler.pending().isEmpty() ||
                assembler.msUntilExpiry(now) != -1)
                fail("bytes still wait after the port closed", assembler.held());
            line = Line();
            continue;
        }
        const QByteArray chunk(reinterpret_cast<const char *>(data + i), int(length));
        i += length;
        line.bytes += chunk;
        line.times.insert(line.times.size(), chunk.size(), now);
        lastTaken.clear();
        assembler.feed(chunk, now, store, onFrame);
        checkBuffer(assembler, now);
        if (wholeFrameChunk(chunk) && lastTaken != chunk)
            fail("a read that is one whole frame was not taken as that frame", chunk);
    }
    assembler.finish(store, onFrame);

    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
        const qint32 v = store.*f->member;
        if (v < kLowest || v > kHighest)
            fail(f->name);
    }
    if (!(store.Volt >= 0.0 && store.Volt <= kHighest / 10.0))
        fail("Volt");
    return 0;
}
