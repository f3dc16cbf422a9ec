// SPDX-License-Identifier: GPL-3.0-or-later
// What the 100 ms panel refresh costs: one pass over every panel and the live monitor, with a
// steady store (setters that change nothing), with a store that changes every pass (each
// change runs an edit handler), and with changes and the painting of the visible page that
// follows them. Also the peak memory of the whole window.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_refresh

#include "mainwindow.h"
#include "paramstore.h"
#include "resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTabWidget>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kPasses = 2000;

enum class Pass { Steady, Changing, Painted };

double microsecondsPerPass(MainWindow &window, Pass pass)
{
    auto *tabs = window.findChild<QTabWidget *>();
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kPasses; ++i) {
        if (pass != Pass::Steady) {
            ParamData.Servo1 = 500 + i % 1000;
            ParamData.sub1 = i % 100;
            ParamData.Lepa3 = i % 120;
            ParamData.THCURE_Data04 = i % 100;
            ParamData.AUX6 = i % 5;
        }
        QMetaObject::invokeMethod(&window, "ui_Display");
        if (pass == Pass::Painted)
            tabs->currentWidget()->grab();
    }
    return double(t.nsecsElapsed()) / 1000.0 / kPasses;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    korvaInitResources();
    MainWindow window;
    window.findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly)->stop();
    window.show();
    QCoreApplication::processEvents();

    microsecondsPerPass(window, Pass::Painted); // warm up
    const double steady = microsecondsPerPass(window, Pass::Steady);
    const double changing = microsecondsPerPass(window, Pass::Changing);
    const double painted = microsecondsPerPass(window, Pass::Painted);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("refresh_steady_us %.1f  # a pass over a steady store\n", steady);
    std::printf("refresh_changes_us %.1f  # a pass with 5 fields changed\n", changing);
    std::printf("refresh_painted_us %.1f  # the same, and the visible page painted\n", painted);
    std::printf("peak_rss_kib %ld\n", usage.ru_maxrss);
    return 0;
}
