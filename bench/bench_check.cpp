// SPDX-License-Identifier: GPL-3.0-or-later
// How well the window's check after WRITE tells a set the transmitter took from one it did
// not, and what the check costs, against korva-sim with whatever faults it is given.
//
//   bench_check SIM WRITES [korva-sim options...]
//
// Every WRITE sends a set that differs from the one before in each of the three frames. Its
// outcome is what the window kept in its history; the truth is the simulator's state file.
// A "WRITE not confirmed" box is answered "Keep mine" at once, so that nothing is written
// twice. Prints how many outcomes were right, false alarms (a set that arrived, reported as
// not confirmed or not checked) and misses (a set that did not arrive, reported as checked),
// and the time from the click to the result. Measures only: exits 0 whatever it finds.

#include "frames.h"
#include "mainwindow.h"
#include "paramstore.h"
#include "resources.h"
#include "simwindow.h"
#include "transmittermodel.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMessageBox>
#include <QSet>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// The simulator saves its state as soon as "WWW" is taken, so this is plenty; a set still
// missing after it never arrived.
constexpr int kStateWaitMs = 1500;
constexpr int kStatePollMs = 20;
constexpr int kBoxPollMs = 5;
// Enough time for the last frames of an answer, so that each WRITE starts on a quiet line.
constexpr int kBetweenWritesMs = 100;
const QString kBoxTitle = QStringLiteral("WRITE not confirmed");

// The n-th set: four sub-trims (S), delays (G) and throttle curve points (H), each stepped
// by an amount its range never divides, so that every frame differs from the last WRITE's.
ParamStore settingsToWrite(const ParamStore &current, int n)
{
    static const IntField kSub[] = {&ParamStore::sub1, &ParamStore::sub2, &ParamStore::sub3,
                                    &ParamStore::sub4};
    static const IntField kDelay[] = {&ParamStore::delay1, &ParamStore::delay2, &ParamStore::delay3,
                                      &ParamStore::delay4};
    static const IntField kCurve[] = {&ParamStore::THCURE_Data01, &ParamStore::THCURE_Data02,
                                      &ParamStore::THCURE_Data03, &ParamStore::THCURE_Data04};
    ParamStore s = current;
    for (int k = 0; k < 4; ++k) {
        s.*kSub[k] = (n * 29 + k * 13) % 201 - 100;
        s.*kDelay[k] = (n * 19 + k * 7) % 101;
        s.*kCurve[k] = (n * 23 + k * 11) % 101;
    }
    // As the transmitter holds it, so that the comparison with its state is exact.
    return settingsFromText(buildParameterFile(s), factorySettings());
}

// What the window made of this WRITE: "written, checked" and so on, from the history files
// that appeared during it; empty when it kept none.
QString outcomeOf(const QStringList &before, const QStringList &after)
{
    const QSet<QString> old(before.begin(), before.end());
    for (auto it = after.crbegin(); it != after.crend(); ++it) {
        if (old.contains(*it))
            continue;
        // "<yyyy-MM-dd HH-mm-ss.zzz> <what>.txt", perhaps with " (2)" before ".txt"
        QString what = it->mid(24);
        what.chop(4);
        const int copy = what.lastIndexOf(QLatin1String(" ("));
        if (copy > 0 && what.endsWith(QLatin1Char(')')))
            what.truncate(copy);
        if (what.startsWith(QLatin1String("written")))
            return what;
    }
    return QString();
}

// The simulator's settings, or false while its file cannot be read whole.
bool readState(const QString &path, const ParamStore &base, ParamStore &held)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (!parameterFileProblem(bytes).isEmpty())
        return false;
    held = settingsFromText(bytes, base);
    return true;
}

double percentile(std::vector<double> ms, double share)
{
    if (ms.empty())
        return 0;
    std::sort(ms.begin(), ms.end());
    return ms[std::min(ms.size() - 1, size_t(share * ms.size()))];
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: bench_check SIM WRITES [korva-sim options...]\n");
        return 2;
    }
    const int writes = std::max(1, std::atoi(argv[2]));
    // Taken before QApplication, which may take arguments of its own out of argv.
    QStringList simArguments;
    for (int i = 3; i < argc; ++i)
        simArguments.append(QString::fromLocal8Bit(argv[i]));
    const char *simProgram = argv[1];

    QApplication app(argc, argv);
    korvaInitResources();

    QTemporaryDir dir;
    const QString state = dir.filePath(QStringLiteral("transmitter.txt"));
    const QString historyFolder = dir.filePath(QStringLiteral("history"));
    ParamStore held = settingsToWrite(factorySettings(), 0);
    if (!writeStateFile(state, held))
        return 1;
    QProcess sim;
    sim.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString port =
        startSimulator(sim, simProgram,
                       simArguments + QStringList{QStringLiteral("--state"), state}, "bench_check");
    if (port.isEmpty())
        return 1;

    ParamData = ParamStore{};
    MainWindow window;
    window.setCheckAfterWriting(true);
    window.useHistory(historyFolder);
    window.addPort(port);
    window.show();
    if (!openPort(window, "bench_check"))
        return 1;
    const SetHistory history(historyFolder);
    QAbstractButton *write = windowButton(window, "toolButton_Send");

    // The box runs its own event loop inside the click; this timer runs in it.
    QString boxText;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&boxText] {
        for (QWidget *widget : QApplication::topLevelWidgets()) {
            auto *box = qobject_cast<QMessageBox *>(widget);
            if (!box || !box->isVisible() || box->windowTitle() != kBoxTitle)
                continue;
            boxText = box->text();
            if (!box->informativeText().isEmpty())
                boxText += QLatin1Char(' ') + box->informativeText();
            for (QAbstractButton *button : box->buttons()) {
                if (button->text() == QLatin1String("Keep mine"))
                    button->click();
            }
        }
    });
    boxWatch.start(kBoxPollMs);
    runFor(300);

    int right = 0, falseAlarms = 0, misses = 0, noAnswer = 0, unrecorded = 0;
    std::vector<double> ms;
    for (int n = 1; n <= writes; ++n) {
        const ParamStore written = settingsToWrite(held, n);
        for (const ReportedField &f : reportedFields())
            ParamData.*f.member = written.*f.member;
        const QStringList before = history.files();
        boxText.clear();

        QElapsedTimer clock;
        clock.start();
        write->click();
        ms.push_back(clock.nsecsElapsed() / 1e6);
        const QString outcome = outcomeOf(before, history.files());

        QElapsedTimer waited;
        waited.start();
        ParamStore now = held;
        const auto holds = [&] {
            return readState(state, held, now) && reportedDifferences(written, now).isEmpty();
        };
        bool taken = holds();
        while (!taken && waited.elapsed() < kStateWaitMs) {
            runFor(kStatePollMs);
            taken = holds();
        }

        const bool checked = outcome == QLatin1String("written, checked");
        const bool notConfirmed = outcome == QLatin1String("written, not confirmed");
        const bool notChecked = outcome == QLatin1String("written, not checked");
        const bool isRight = (checked && taken) || (notConfirmed && !taken);
        if (isRight)
            ++right;
        else if ((notConfirmed || notChecked) && taken)
            ++falseAlarms;
        else if (checked && !taken)
            ++misses;
        if (notChecked)
            ++noAnswer;
        if (!checked && !notConfirmed && !notChecked)
            ++unrecorded;
        if (!isRight) {
            QString what = QStringLiteral("WRITE %1: \"%2\", the simulator ")
                               .arg(n)
                               .arg(outcome.isEmpty() ? QStringLiteral("nothing kept") : outcome);
            what += taken ? QStringLiteral("took it")
                          : QLatin1String("did not take it: ") +
                                reportedDifferences(written, now).join(QLatin1String(", "));
            if (!boxText.isEmpty())
                what += QLatin1String("; the box: ") +
                        boxText.replace(QLatin1Char('\n'), QLatin1Char(' '));
            std::fprintf(stderr, "bench_check: %s\n", qPrintable(what));
        }
        held = now;
        runFor(kBetweenWritesMs);
    }
    boxWatch.stop();
    windowButton(window, "openButton")->click();
    sim.terminate();
    sim.waitForFinished(3000);

    std::printf("check_writes %d\n", writes);
    std::printf("check_right %d  # checked and taken, or not confirmed and not taken\n", right);
    std::printf("check_false_alarms %d  # taken, but not confirmed or not checked\n", falseAlarms);
    std::printf("check_no_answer %d  # not checked, taken or not\n", noAnswer);
    std::printf("check_misses %d  # checked, but not taken\n", misses);
    std::printf("check_unrecorded %d  # no outcome in the history\n", unrecorded);
    std::printf("check_median_ms %.1f\n", percentile(ms, 0.5));
    std::printf("check_max_ms %.1f\n", percentile(ms, 1.0));
    std::fflush(stdout);
    return 0;
}
