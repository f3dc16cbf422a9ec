// SPDX-License-Identifier: GPL-3.0-or-later
// What the receive buffer makes of a line that damages what it carries, read as a USB serial
// adapter hands it over: per kind of damage, the intact frames lost for each damaged frame, the
// frames that came out although no intact frame was so, and how often a field of the store
// took a value that no intact frame carried. The same seeds every run, so that two builds are
// judged on the same streams.
#include "linegen.h"

#include <cstdio>

namespace {

struct Row
{
    const char *key;
    const char *label;
    int frames;
    double loss, garbage, flip, answer;
};

// Live frames stream throughout; answers to reads come now and then.
const Row kRows[] = {
    {"clean", "clean line", 1000000, 0, 0, 0, 0.002},
    {"loss", "1 % of frames lose 1..4 bytes anywhere", 200000, 0.01, 0, 0, 0.02},
    {"garbage", "garbage before 1 % of frames", 200000, 0, 0.01, 0, 0.02},
    {"flip", "one bit turned in 0.5 % of frames", 200000, 0, 0, 0.005, 0.02},
    {"cable", "a bad cable: 0.05 % of bytes lost, garbage before 0.2 % of frames", 200000, 0.004,
     0.002, 0, 0.02},
    {"all", "all of them, 5 % of frames each", 200000, 0.05, 0.05, 0.05, 0.02},
};

} // namespace

int main()
{
    quint32 seed = 20261209;
    for (const Row &row : kRows) {
        linegen::Rng rng(seed++);
        linegen::Damage d;
        d.frames = row.frames;
        d.loss = row.loss;
        d.garbage = row.garbage;
        d.flip = row.flip;
        d.answer = row.answer;
        const linegen::Verdict v = linegen::judge(linegen::makeUsbLine(rng, d), false);
        std::printf("damage_%s_damaged %d  # %s: frames damaged, of %d\n", row.key, v.damaged,
                    row.label, row.frames);
        std::printf("damage_%s_lost %d  # intact frames lost\n", row.key, v.lost);
        std::printf("damage_%s_invented %d  # frames taken that were not sent intact\n", row.key,
                    v.invented);
        std::printf("damage_%s_invented_values %d  # times a field took a value no intact "
                    "frame carried\n",
                    row.key, v.inventedValues);
    }
    return 0;
}
