// SPDX-License-Identifier: GPL-3.0-or-later
// Arbitrary text loaded as a parameter file, then saved again.
//
// Whatever the text holds, after the range check the three frames must come out 81
// characters long with their letters and tails, and loading them must give back a store that
// builds exactly the same frames.

#include "drselect.h"
#include "frames.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char *what, const QString &detail = QString())
{
    std::fprintf(stderr, "fuzz_paramfile: %s %s\n", what, qPrintable(detail));
    std::abort();
}

QString build(const FrameLayout &layout, const ParamStore &store)
{
    QString buffer = QString::fromLatin1(layout.tmpl);
    const QString tail = buffer.mid(layout.builtLength);
    buildFrameInto(layout, store, buffer);
    if (buffer.size() != kFrameLength)
        fail("frame is not 81 characters", buffer);
    if (buffer.mid(layout.builtLength) != tail)
        fail("frame lost its tail", buffer);
    if (buffer.at(0) != QLatin1Char(layout.letter) ||
        buffer.at(80) != QLatin1Char(layout.endLetter))
        fail("frame letters missing", buffer);
    return buffer;
}

QString buildFile(const ParamStore &store)
{
    QString file = build(kFrameS, store);
    file += build(kFrameG, store);
    file += build(kFrameH, store);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The first byte picks how the file's bytes become text, as different systems read it.
    if (size == 0)
        return 0;
    const char *bytes = reinterpret_cast<const char *>(data + 1);
    const int length = int(size - 1);
    const QString text =
        data[0] & 1 ? QString::fromUtf8(bytes, length) : QString::fromLatin1(bytes, length);

    ParamStore store;
    parseParameterText(text, store);
    selectDualRateEntry(store);
    replaceOutOfRangeValues(store);

    const QString file = buildFile(store);

    ParamStore reloaded;
    const ParameterTextResult result = parseParameterText(file, reloaded);
    if (!result.sFrame || !result.gFrame || !result.hFrame)
        fail("saved file does not load", file);
    if (buildFile(reloaded) != file)
        fail("save, load, save changed the file", file);
    return 0;
}
