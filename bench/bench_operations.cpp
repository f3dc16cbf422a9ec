// SPDX-License-Identifier: GPL-3.0-or-later
// How long READ, WRITE and RESET take against korva-sim, next to the waits the transmitter
// needs: the button guard, the answer time after "RR", and the pause after each frame.
//
//   bench_operations SIM RUNS
//
// Prints, per operation, the median wall time of RUNS clicks and the sum of its waits.

#include "mainwindow.h"
#include "resources.h"
#include "simwindow.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr int kFramesPerWrite = 3; // S, G and H

// A click runs the whole operation, its waits included, before it returns.
double medianClickMs(QAbstractButton *button, int runs)
{
    std::vector<double> ms;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        button->click();
        ms.push_back(t.nsecsElapsed() / 1e6);
        runFor(100); // the last frames of an answer
    }
    std::sort(ms.begin(), ms.end());
    return ms[ms.size() / 2];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_operations SIM RUNS\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[2]));
    QApplication app(argc, argv);
    korvaInitResources();

    QProcess sim;
    const QString port = startSimulator(sim, argv[1], QStringList(), "bench_operations");
    if (port.isEmpty())
        return 1;
    MainWindow window;
    window.addPort(port);
    window.show();
    if (!openPort(window, "bench_operations"))
        return 1;
    const auto button = [&window](const char *name) { return windowButton(window, name); };
    runFor(300);

    const double readFloor = kButtonGuardMs + kReadAnswerMs;
    const double writeFloor = kButtonGuardMs + kFramesPerWrite * kFrameWaitMs;
    const double read = medianClickMs(button("toolButton_Read"), runs);
    const double write = medianClickMs(button("toolButton_Send"), runs);
    const double reset = medianClickMs(button("toolButton_Reset"), runs);
    std::printf("read_ms %.1f  # floor %.0f ms\nread_floor_ms %.0f\n", read, readFloor, readFloor);
    std::printf("write_ms %.1f  # floor %.0f ms\nwrite_floor_ms %.0f\n", write, writeFloor,
                writeFloor);
    std::printf("reset_ms %.1f  # floor %.0f ms\nreset_floor_ms %.0f\n", reset, writeFloor,
                writeFloor);
    std::fflush(stdout);

    button("openButton")->click();
    sim.terminate();
    sim.waitForFinished(3000);
    return 0;
}
