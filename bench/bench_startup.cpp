// SPDX-License-Identifier: GPL-3.0-or-later
// One start of the program, up to the main window shown with the event loop running, or of a
// bare QMainWindow of the same size for comparison. The process start is timed by whoever
// launches it (scripts/bench): this prints the moment the event loop first runs, on the
// same monotonic clock, and the peak resident memory then; then the moment the window is
// settled: about to wait for events with every widget on it polished (the pages not shown
// are polished when the event loop is about to wait).
//
//   bench_startup window|bare
//
// The "window" start does what main() does, in the same order; keep the two alike.

#include "mainwindow.h"
#include "resources.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCommandLineParser>
#include <QEvent>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <memory>
#include <sys/resource.h>

namespace {

constexpr int kWidth = 1100; // the form's window size
constexpr int kHeight = 680;

long long monotonicNs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

bool everyWidgetPolished(const QWidget *window)
{
    const auto widgets = window->findChildren<QWidget *>();
    return std::all_of(widgets.begin(), widgets.end(),
                       [](const QWidget *w) { return w->testAttribute(Qt::WA_WState_Polished); });
}

// Shown means painted: the window's first paint event starts a repaint of the whole tree,
// and a call posted from inside it runs once that repaint is over.
class FirstPaint : public QObject
{
public:
    explicit FirstPaint(QWidget *window)
        : m_window(window)
    {}

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            QTimer::singleShot(0, this, &FirstPaint::reportShown);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    void reportShown()
    {
        const long long shownNs = monotonicNs();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("shown_ns %lld\npeak_rss_kib %ld\n", shownNs, usage.ru_maxrss);
        std::fflush(stdout);
        // Whatever the window does when idle happens as the event loop is about to wait.
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                &FirstPaint::checkSettled);
    }

    void checkSettled()
    {
        if (!everyWidgetPolished(m_window))
            return;
        std::printf("settled_ns %lld\n", monotonicNs());
        disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
        QCoreApplication::quit();
    }

    QWidget *m_window;
    bool m_seen = false;
};

} // namespace

int main(int argc, char *argv[])
{
    const bool bare = argc > 1 && std::strcmp(argv[1], "bare") == 0;
    if (argc < 2 || (!bare && std::strcmp(argv[1], "window") != 0)) {
        std::fprintf(stderr, "usage: bench_startup window|bare\n");
        return 2;
    }

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korva.config"));

    // What the program remembers between runs, read from a folder of the bench's own so that
    // every start reads the same.
    QTemporaryDir config;
    QSettings settings(config.filePath(QStringLiteral("korva-config.conf")),
                       QSettings::NativeFormat);
    std::unique_ptr<QMainWindow> window;
    if (bare) {
        window = std::make_unique<QMainWindow>();
        window->resize(kWidth, kHeight);
    } else {
        korvaInitResources();
        QCommandLineParser parser;
        parser.addHelpOption();
        parser.addVersionOption();
        parser.addPositionalArgument(QStringLiteral("port"), QString(), QStringLiteral("[port]"));
        parser.process(QStringList{QCoreApplication::arguments().first()});
        auto korva = std::make_unique<MainWindow>();
        korva->useSettings(&settings);
        window = std::move(korva);
    }
    window->show();

    FirstPaint firstPaint(window.get());
    window->installEventFilter(&firstPaint);
    return app.exec();
}
