// SPDX-License-Identifier: GPL-3.0-or-later
// The window against korva-sim on a split, merged and noisy line for a stretch of time: the
// live stream runs throughout while READ and WRITE cycles follow one another.
//
//   bench_soak SIM [SECONDS] [--check]
//
// Counts the channel frames the simulator sent and the window took (every channel frame the
// simulator sends is known by its tick, so a lost, repeated or invented one shows), the READs
// that brought back exactly the simulator's settings, the WRITEs the simulator took over
// whole, and the window's resident memory after the first cycle and at the end. Runs at least
// SECONDS (60 when not given) and at least 50 READs and 10 WRITEs. With --check it exits 1
// unless every READ and WRITE was right and no channel frame was lost or invented.

#include "frames.h"
#include "mainwindow.h"
#include "paramstore.h"
#include "resources.h"
#include "simwindow.h"
#include "transmittermodel.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

namespace {

constexpr int kMinReads = 50;
constexpr int kMinWrites = 10;
constexpr int kCyclesPerWrite = 6; // five READs, then a WRITE
constexpr int kAnswerTimeoutMs = 5000;
constexpr int kCheckEveryMs = 20;

// Runs the event loop until `done` holds or the time is up; true when it held.
template<typename Done> bool waitUntil(Done done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        runFor(kCheckEveryMs);
    }
    return true;
}

long residentKib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    }
    return -1;
}

// The channel frames taken by the window, matched to the ticks the simulator sent them at.
struct FrameTally
{
    QHash<QByteArray, QVector<qint64>> ticksOf; // every frame the run can see, by its bytes
    qint64 lastTick = -1;
    qint64 taken = 0;
    qint64 outOfOrder = 0; // repeated, or earlier than one already taken
    qint64 unknown = 0;    // no channel frame the simulator sends

    void prepare(qint64 ticks)
    {
        ticksOf.reserve(int(ticks));
        for (qint64 t = 0; t < ticks; ++t)
            ticksOf[channelFrame(t)].append(t);
    }
    void take(const QByteArray &frame)
    {
        const auto it = ticksOf.constFind(frame);
        if (it == ticksOf.constEnd()) {
            ++unknown;
            return;
        }
        for (qint64 t : *it) {
            if (t > lastTick) {
                lastTick = t;
                ++taken;
                return;
            }
        }
        ++outOfOrder;
    }
    qint64 lost() const { return lastTick + 1 - taken; }
};

FrameTally tally;

// The window reports every frame it takes in the korva.frames category.
void onMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (context.category && std::strcmp(context.category, "korva.frames") == 0) {
        const QByteArray frame = QByteArray::fromHex(message.toLatin1());
        if (frame.size() == kLiveFrameLength && quint8(frame.at(1)) == kChannelKind)
            tally.take(frame);
        return;
    }
    if (type != QtDebugMsg) // "ReadFlag:%d" for every settings frame is expected
        std::fprintf(stderr, "%s\n", qPrintable(message));
}

// Settings for the n-th WRITE: every channel's sub-trim, delay and throttle curve point moved,
// each to a value its widget can show, so that the window's refresh leaves it as it is.
ParamStore settingsToWrite(const ParamStore &current, int n)
{
    static const IntField kSub[] = {&ParamStore::sub1, &ParamStore::sub2, &ParamStore::sub3,
                                    &ParamStore::sub4, &ParamStore::sub5, &ParamStore::sub6,
                                    &ParamStore::sub7, &ParamStore::sub8};
    static const IntField kDelay[] = {&ParamStore::delay1, &ParamStore::delay2, &ParamStore::delay3,
                                      &ParamStore::delay4, &ParamStore::delay5, &ParamStore::delay6,
                                      &ParamStore::delay7, &ParamStore::delay8};
    static const IntField kCurve[] = {&ParamStore::THCURE_Data01, &ParamStore::THCURE_Data02,
                                      &ParamStore::THCURE_Data03, &ParamStore::THCURE_Data04,
                                      &ParamStore::THCURE_Data05, &ParamStore::THCURE_Data06,
                                      &ParamStore::THCURE_Data07};
    ParamStore s = current;
    for (int k = 0; k < 8; ++k) {
        s.*kSub[k] = (n * 37 + k * 11) % 201 - 100;
        s.*kDelay[k] = (n * 13 + k * 7) % 101;
    }
    for (int k = 0; k < 7; ++k)
        s.*kCurve[k] = (n * 17 + k * 5) % 101;
    return settingsFromText(buildParameterFile(s), factorySettings());
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_soak SIM [SECONDS] [--check]\n");
        return 2;
    }
    int seconds = 60;
    bool check = false;
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--check") == 0)
            check = true;
        else
            seconds = std::atoi(argv[i]);
    }

    QApplication app(argc, argv);
    korvaInitResources();
    qInstallMessageHandler(onMessage);
    QLoggingCategory::setFilterRules(QStringLiteral("korva.frames.debug=true"));
    // Room for every tick of the run, and a margin for slow starts; made before memory is
    // first measured.
    tally.prepare((qint64(seconds) + 120) * 1000 / kTickMs + kMinWrites * 4000 / kTickMs);

    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("transmitter.txt"));
    ParamStore expected = settingsToWrite(factorySettings(), 0);
    if (!writeStateFile(state, expected))
        return 1;
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString port = startSimulator(sim, argv[1],
                                        {QStringLiteral("--split"), QStringLiteral("--merge"),
                                         QStringLiteral("--noise"), QStringLiteral("--seed"),
                                         QStringLiteral("11"), QStringLiteral("--state"), state},
                                        "bench_soak");
    if (port.isEmpty())
        return 1;

    ParamData = ParamStore{};
    MainWindow window;
    // The soak judges each WRITE by the simulator's own state; bench_check measures the
    // window's check, whose box would wait here for a click nobody makes.
    window.setCheckAfterWriting(false);
    window.addPort(port);
    window.show();
    if (!openPort(window, "bench_soak"))
        return 1;
    const auto button = [&window](const char *name) { return windowButton(window, name); };

    int reads = 0, readsRight = 0, writes = 0, writesTaken = 0;
    long startKib = -1;
    QElapsedTimer elapsed;
    elapsed.start();
    for (int cycle = 0;
         elapsed.elapsed() < seconds * 1000LL || reads < kMinReads || writes < kMinWrites;
         ++cycle) {
        if (cycle % kCyclesPerWrite == kCyclesPerWrite - 1) {
            const ParamStore written = settingsToWrite(expected, writes + 1);
            for (const ReportedField &f : reportedFields())
                ParamData.*f.member = written.*f.member;
            button("toolButton_Send")->click();
            ++writes;
            const bool taken = waitUntil(
                [&] {
                    QFile file(state);
                    return file.open(QIODevice::ReadOnly) &&
                           reportedDifferences(written, settingsFromText(file.readAll(), expected))
                               .isEmpty();
                },
                kAnswerTimeoutMs);
            if (taken)
                ++writesTaken;
            else
                std::fprintf(stderr, "bench_soak: WRITE %d was not taken whole\n", writes);
            expected = written;
        } else {
            // Forget the settings, so that the READ has to bring every one of them.
            const ParamStore blank;
            for (const ReportedField &f : reportedFields())
                ParamData.*f.member = blank.*f.member;
            button("toolButton_Read")->click();
            ++reads;
            if (waitUntil([&] { return reportedDifferences(expected, ParamData).isEmpty(); },
                          kAnswerTimeoutMs))
                ++readsRight;
            else
                std::fprintf(stderr, "bench_soak: READ %d: %s\n", reads,
                             qPrintable(reportedDifferences(expected, ParamData).join(", ")));
        }
        if (startKib < 0 && writes > 0)
            startKib = residentKib();
    }
    const long endKib = residentKib();
    const double minutes = elapsed.elapsed() / 60000.0;
    button("openButton")->click();
    sim.terminate();
    sim.waitForFinished(3000);

    const long growthKib = endKib - startKib;
    std::printf("soak_minutes %.2f\n", minutes);
    std::printf("soak_reads %d  # of which right: %d\nsoak_reads_right %d\n", reads, readsRight,
                readsRight);
    std::printf("soak_writes %d  # of which taken whole: %d\nsoak_writes_taken %d\n", writes,
                writesTaken, writesTaken);
    std::printf("soak_frames_sent %lld  # channel frames up to the last one taken\n",
                static_cast<long long>(tally.lastTick + 1));
    std::printf("soak_frames_taken %lld\n", static_cast<long long>(tally.taken));
    std::printf("soak_frames_lost %lld\n", static_cast<long long>(tally.lost()));
    std::printf("soak_frames_invented %lld  # unknown %lld, repeated or out of order %lld\n",
                static_cast<long long>(tally.unknown + tally.outOfOrder),
                static_cast<long long>(tally.unknown), static_cast<long long>(tally.outOfOrder));
    std::printf("soak_rss_start_kib %ld\nsoak_rss_end_kib %ld\n", startKib, endKib);
    std::printf("soak_rss_growth_kib %ld  # %.0f KiB per 10 minutes\n", growthKib,
                minutes > 0 ? growthKib * 10.0 / minutes : 0.0);
    std::fflush(stdout);

    const bool right = readsRight == reads && writesTaken == writes && tally.lost() == 0 &&
                       tally.unknown == 0 && tally.outOfOrder == 0 && tally.taken > 0;
    return check && !right ? 1 : 0;
}
