// SPDX-License-Identifier: GPL-3.0-or-later
// What the window costs while it runs: the share of one core it uses and its peak resident
// memory, over a stretch of wall time.
//
//   bench_live stream  SIM SECONDS [PAGE]   the port open on korva-sim (the program at SIM),
//                                           which streams 50 channel frames a second
//   bench_live idle    SECONDS [PAGE]       the port closed
//   bench_live bare    SECONDS              a bare QMainWindow of the same size, for comparison
//
// PAGE is the title of the page shown while measuring (SERVO unless given): what a page costs
// depends on what it draws.
//
// It prints "cpu_percent" and "peak_rss_kib". Run it on a real display (Xvfb will do) or with
// QT_QPA_PLATFORM=offscreen.

#include "mainwindow.h"
#include "paramstore.h"
#include "resources.h"
#include "simwindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTabWidget>
#include <QTest>

#include <cstdio>
#include <cstring>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int kWidth = 1100;
constexpr int kHeight = 680;
constexpr int kSettleMs = 1000; // start-up and the first frames are not what is measured

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

long peakRssKib()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

int usage()
{
    std::fprintf(stderr, "usage: bench_live stream SIM SECONDS [PAGE] | idle SECONDS [PAGE] | "
                         "bare SECONDS\n");
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        return usage();
    const QByteArray mode = argv[1];
    const bool stream = mode == "stream";
    if (stream ? argc < 4 : (mode != "idle" && mode != "bare"))
        return usage();
    const int seconds = std::atoi(argv[stream ? 3 : 2]);
    const int pageArg = stream ? 4 : 3;
    const QString page = argc > pageArg ? QString::fromLocal8Bit(argv[pageArg]) : QString();

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
    QApplication app(argc, argv);
    korvaInitResources();

    QProcess sim;
    std::unique_ptr<QMainWindow> window;
    if (mode == "bare") {
        window = std::make_unique<QMainWindow>();
        window->resize(kWidth, kHeight);
    } else {
        auto korva = std::make_unique<MainWindow>();
        if (stream) {
            const QString port = startSimulator(sim, argv[2], QStringList(), "bench_live");
            if (port.isEmpty())
                return 1;
            korva->addPort(port);
        }
        if (!page.isEmpty()) {
            auto *tabs = korva->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
            int index = tabs->count() - 1;
            while (index >= 0 && tabs->tabText(index) != page)
                --index;
            if (index < 0) {
                std::fprintf(stderr, "bench_live: no page %s\n", argv[pageArg]);
                return 2;
            }
            tabs->setCurrentIndex(index);
        }
        window = std::move(korva);
    }
    window->show();
    if (!QTest::qWaitForWindowExposed(window.get())) {
        std::fprintf(stderr, "bench_live: the window was never shown\n");
        return 1;
    }
    if (stream && !openPort(*window, "bench_live"))
        return 1;
    runFor(kSettleMs);

    // Nothing of the bench's own runs while it measures: it only waits.
    const double cpuBefore = cpuSeconds();
    QElapsedTimer wall;
    wall.start();
    runFor(seconds * 1000);
    const double cpu = cpuSeconds() - cpuBefore;
    const double elapsed = wall.nsecsElapsed() / 1e9;

    std::printf("cpu_percent %.3f\npeak_rss_kib %ld\n", 100.0 * cpu / elapsed, peakRssKib());
    // The stream really reached the window: the transmitter voltage is one the simulator sends.
    if (stream && ParamData.TX_Volt == 0) {
        std::fprintf(stderr, "bench_live: no channel frame was decoded\n");
        return 1;
    }
    std::fflush(stdout);
    window.reset();
    if (stream) {
        sim.terminate();
        sim.waitForFinished(3000);
    }
    return 0;
}
