// SPDX-License-Identifier: GPL-3.0-or-later
// How long READ, WRITE and RESET take against korva-sim, next to the waits the transmitter
// needs: the button guard, the answer time after "RR", and the pause after each frame.
//
//   bench_operations SIM RUNS
//
// Prints, per operation, the median wall time of RUNS clicks and the sum of its waits; those
// run without the check after WRITE and RESET, whose waits are the transmitter's answer.
// Then the same for WRITE with the check, as the pilot gets it.

#include "mainwindow.h"
#include "resources.h"
#include "simwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>

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
    // A clean line leaves the check nothing to complain of; should it complain all the same,
    // its box is closed at once rather than left waiting for a click, and the run fails.
    int unconfirmed = 0;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&unconfirmed] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (box && box->isVisible()) {
                std::fprintf(stderr, "bench_operations: %s: %s\n", qPrintable(box->windowTitle()),
                             qPrintable(box->text()));
                ++unconfirmed;
                box->reject();
            }
        }
    });
    boxWatch.start(50);
    window.setCheckAfterWriting(false);
    runFor(300);

    const double readFloor = kButtonGuardMs + kReadAnswerMs;
    const double writeFloor = kButtonGuardMs + kFramesPerWrite * kFrameWaitMs;
    // The transmitter's time to store the set, then a READ that ends with the whole answer.
    const double checkedWriteFloor = writeFloor + kCheckSettleMs + kButtonGuardMs;
    const double read = medianClickMs(button("toolButton_Read"), runs);
    const double write = medianClickMs(button("toolButton_Send"), runs);
    const double reset = medianClickMs(button("toolButton_Reset"), runs);
    window.setCheckAfterWriting(true);
    const double checkedWrite = medianClickMs(button("toolButton_Send"), runs);
    std::printf("read_ms %.1f  # floor %.0f ms\nread_floor_ms %.0f\n", read, readFloor, readFloor);
    std::printf("write_ms %.1f  # floor %.0f ms\nwrite_floor_ms %.0f\n", write, writeFloor,
                writeFloor);
    std::printf("reset_ms %.1f  # floor %.0f ms\nreset_floor_ms %.0f\n", reset, writeFloor,
                writeFloor);
    std::printf("checked_write_ms %.1f  # floor %.0f ms\nchecked_write_floor_ms %.0f\n",
                checkedWrite, checkedWriteFloor, checkedWriteFloor);
    std::fflush(stdout);

    button("openButton")->click();
    sim.terminate();
    sim.waitForFinished(3000);
    return unconfirmed == 0 ? 0 : 1;
}
