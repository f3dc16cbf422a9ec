// SPDX-License-Identifier: GPL-3.0-or-later
// The S, G and H frame builders on arbitrary store contents, into buffers that already hold
// arbitrary earlier frames.
//
// Input: four bytes per integer field of the store in table order (missing bytes are zero),
// then eight for the alarm voltage; what is left is text the three buffers start with.
//
// What must hold: every frame keeps its 81 characters, its start and end letters and its tail;
// between the letters it carries digits and upper-case hexadecimal only; and parsing what was
// built gives back every field its slot can carry, and for any other value the nearest one it
// can.

#include "frames.h"
#include "paramstore.h"

#include <QString>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz_frames: %s %s\n", what, qPrintable(detail));
    std::abort();
}

const FrameLayout *const kLayouts[] = {&kFrameS, &kFrameG, &kFrameH};

// The value a slot carries for `v`: what fits its digits, and the nearest that does otherwise.
qint64 carried(const FrameSlot &slot, qint32 v)
{
    switch (slot.encoding) {
    case SlotEncoding::Dec:
        return std::clamp<qint64>(v, 0, 9);
    case SlotEncoding::Hex:
        return std::clamp<qint64>(qint64(v) + slot.k, 16, 255) - slot.k;
    case SlotEncoding::Digits3:
        return std::clamp<qint64>(v, 0, 999);
    case SlotEncoding::Fixed:
        break;
    }
    return v;
}

bool isBodyChar(QChar c)
{
    return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) ||
           (c >= QLatin1Char('A') && c <= QLatin1Char('F'));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    ParamStore store;
    size_t i = 0;
    const auto take = [&](void *to, size_t n) {
        std::memset(to, 0, n);
        const size_t k = std::min(n, size - i);
        std::memcpy(to, data + i, k);
        i += k;
    };
    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
        qint32 v;
        take(&v, sizeof v);
        store.*f->member = v;
    }
    take(&store.Volt, sizeof store.Volt);
    const QString earlier =
        QString::fromLatin1(reinterpret_cast<const char *>(data + i), int(size - i));

    QString file;
    for (const FrameLayout *layout : kLayouts) {
        // The buffer lives on between builds: it may hold anything a build left, or less.
        QString buffer = QString::fromLatin1(layout->tmpl);
        buffer.replace(0, std::min<int>(earlier.size(), layout->builtLength),
                       earlier.left(layout->builtLength));
        const QString tail = buffer.mid(layout->builtLength);
        buildFrameInto(*layout, store, buffer);
        if (buffer.size() != kFrameLength)
            fail("frame is not 81 characters", buffer);
        if (buffer.at(0) != QLatin1Char(layout->letter) ||
            buffer.at(kFrameLength - 1) != QLatin1Char(layout->endLetter))
            fail("frame letters missing", buffer);
        if (buffer.mid(layout->builtLength) != tail)
            fail("frame lost its tail", buffer);
        for (int c = 1; c < layout->builtLength; ++c) {
            if (!isBodyChar(buffer.at(c)))
                fail("frame carries a character that is no digit", buffer);
        }
        if (buildFrameText(*layout, store) != buffer.left(layout->builtLength))
            fail("a build into a used buffer differs from a fresh one", buffer);
        file += QString::fromLatin1(layout->tmpl);
        file.replace(layout->fileOffset, kFrameLength, buffer);
    }

    ParamStore parsed;
    const ParameterTextResult result = parseParameterText(file, parsed);
    if (!result.sFrame || !result.gFrame || !result.hFrame)
        fail("built frames do not parse", file);
    for (const FrameLayout *layout : kLayouts) {
        for (int s = 0; s < layout->slotCount; ++s) {
            const FrameSlot &slot = layout->fields[s];
            if (!slot.member)
                continue;
            if (parsed.*slot.member != carried(slot, store.*slot.member))
                fail(intFieldName(slot.member), file);
        }
    }
    return 0;
}
