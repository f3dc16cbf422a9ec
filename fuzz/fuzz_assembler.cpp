// Arbitrary bytes cut at arbitrary places and fed to the receive buffer at arbitrary times.
//
// Input: a sequence of (control byte, chunk bytes). The low six bits of the control byte give
// the chunk length (0..63), the top two bits how far the clock moves before it arrives
// (0, 60, 120 or 180 ms, so held partial frames both survive and go stale).

#include "decoder.h"
#include "paramstore.h"

#include <QByteArray>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, long value)
{
    std::fprintf(stderr, "fuzz_assembler: %s (%ld)\n", what, value);
    std::abort();
}

// Every value a frame can put into the store lies between these: a byte less 120 at the
// bottom, an unsigned word at the top. The start values lie between them as well.
constexpr qint32 kLowest = -120;
constexpr qint32 kHighest = 65535;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    FrameAssembler assembler;
    ParamStore store;
    qint64 now = 0;
    size_t i = 0;
    while (i < size) {
        const uint8_t control = data[i++];
        const size_t length = std::min<size_t>(control & 0x3F, size - i);
        now += (control >> 6) * 60;
        const QByteArray chunk(reinterpret_cast<const char *>(data + i), int(length));
        i += length;

        assembler.feed(chunk, now, store, [](const DecodedFrame &f) {
            if (f.readFlag < 0 || f.readFlag > 19)
                fail("read flag out of 0..19", f.readFlag);
            if (f.kind < 0 || f.kind > 255)
                fail("kind is not a byte", f.kind);
        });

        if (assembler.held().size() > kLiveFrameLength - 1)
            fail("held more than one frame", assembler.held().size());
    }
    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
        const qint32 v = store.*f->member;
        if (v < kLowest || v > kHighest)
            fail(f->name, v);
    }
    if (!(store.Volt >= 0.0 && store.Volt <= kHighest / 10.0))
        fail("Volt", long(store.Volt));
    return 0;
}
