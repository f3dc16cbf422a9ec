// What the 100 ms panel refresh costs: one pass over every panel and the live monitor, with a
// steady store (setters that change nothing) and with a store that changes every pass (each
// change runs an edit handler). Also the peak memory of the whole window.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_refresh

#include "mainwindow.h"
#include "paramstore.h"
#include "resources.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <cstdio>
#include <sys/resource.h>

namespace {

constexpr int kPasses = 2000;

double microsecondsPerPass(MainWindow &window, bool changing)
{
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < kPasses; ++i) {
        if (changing) {
            ParamData.Servo1 = 500 + i % 1000;
            ParamData.sub1 = i % 100;
            ParamData.Lepa3 = i % 120;
            ParamData.THCURE_Data04 = i % 100;
            ParamData.AUX6 = i % 5;
        }
        QMetaObject::invokeMethod(&window, "ui_Display");
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

    microsecondsPerPass(window, false); // warm up
    const double steady = microsecondsPerPass(window, false);
    const double changing = microsecondsPerPass(window, true);

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("refresh pass, steady store     %8.1f us  (%.2f %% of the 100 ms period)\n", steady,
                steady / 1000.0);
    std::printf("refresh pass, 5 fields change  %8.1f us  (%.2f %% of the 100 ms period)\n",
                changing, changing / 1000.0);
    std::printf("peak resident memory           %8ld KiB\n", usage.ru_maxrss);
    return 0;
}
