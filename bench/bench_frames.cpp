// SPDX-License-Identifier: GPL-3.0-or-later
// Cost of building and parsing the three outbound frames, and of the range check.

#include "factory.h"
#include "frames.h"
#include "paramstore.h"
#include "rangecheck.h"

#include <QElapsedTimer>

#include <cstdio>

namespace {

constexpr qint64 kRunNs = 700 * 1000 * 1000;

// Runs `step` in batches until about kRunNs have passed; returns calls per second.
template<typename Step> double perSecond(Step step)
{
    QElapsedTimer timer;
    timer.start();
    qint64 calls = 0;
    while (timer.nsecsElapsed() < kRunNs) {
        for (int i = 0; i < 1000; ++i)
            step(i);
        calls += 1000;
    }
    return calls / (timer.nsecsElapsed() / 1e9);
}

} // namespace

int main()
{
    ParamStore store;
    applyFactoryValues(store);

    QString s = QString::fromLatin1(kFrameS.tmpl);
    QString g = QString::fromLatin1(kFrameG.tmpl);
    QString h = QString::fromLatin1(kFrameH.tmpl);
    qint64 sink = 0;

    const double builds = perSecond([&](int i) {
        store.sub1 = i % 201 - 100; // keep the builder from seeing the same store every time
        buildFrameInto(kFrameS, store, s);
        buildFrameInto(kFrameG, store, g);
        buildFrameInto(kFrameH, store, h);
        sink += s.size() + g.size() + h.size();
    });
    std::printf("frames_build %.0f  # S, G and H frames built, sets/s\n", builds);

    QString file = s;
    file += g;
    file += h;
    ParamStore loaded;
    const double parses = perSecond([&](int) {
        const ParameterTextResult r = parseParameterText(file, loaded);
        sink += r.length + loaded.sub1;
    });
    std::printf("file_parse %.0f  # 243-character parameter texts parsed, files/s\n", parses);

    const double both = perSecond([&](int i) {
        store.Lepa3 = i % 121;
        buildFrameInto(kFrameS, store, s);
        buildFrameInto(kFrameG, store, g);
        buildFrameInto(kFrameH, store, h);
        QString text = s;
        text += g;
        text += h;
        sink += parseParameterText(text, loaded).length + loaded.Lepa3;
    });
    std::printf("build_and_parse %.0f  # built and parsed back, round trips/s\n", both);

    ParamStore checked;
    const double checks = perSecond([&](int i) {
        checked.sub1 = i % 300 - 150; // out of range two times in three
        checked.Volt = (i % 70) * 1.0;
        replaceOutOfRangeValues(checked);
        sink += checked.sub1;
    });
    std::printf("range_check %.0f  # replaceOutOfRangeValues, checks/s\n", checks);

    return sink == 42 ? 1 : 0; // keeps the work from being optimised away
}
