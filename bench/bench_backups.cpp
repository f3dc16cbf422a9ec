// SPDX-License-Identifier: GPL-3.0-or-later
// What korva-cli's backups and checked writes are worth on a faulty line.
//
//   bench_backups SIM CLI RUNS [korva-sim options...]
//
// Each run starts korva-sim with a fresh random set in range as its state and a seed of its
// own, then runs "korva-cli read" and "korva-cli write" of a second random set. The truth is
// the simulator's state file: the set it was started with for the read, the one it saved at
// exit for the write. Prints, in "key value" lines:
//   read: files that differ from the state in a field the transmitter reports (goal 0),
//         clean failures (no file, non-zero exit) and files right;
//   write: false alarms (exit 4 although the simulator holds the set sent, goal 0), misses
//          (exit 0 although it does not), and writes that fail cleanly otherwise.
// Measures only: exits 0 whatever it finds.

#include "frames.h"
#include "paramstore.h"
#include "rangecheck.h"
#include "readback.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kCommandTimeoutMs = 60000;

ParamStore randomSet(quint32 seed)
{
    QRandomGenerator rng(seed);
    ParamStore store;
    for (const RangeRule *r = rangeRulesBegin(); r != rangeRulesEnd(); ++r)
        store.*r->member = r->low + qint32(rng.bounded(quint32(r->high - r->low + 1)));
    replaceOutOfRangeValues(store); // Volt follows Volt_x10
    return store;
}

bool readSet(const QString &path, ParamStore *store)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = file.readAll();
    if (!parameterFileProblem(bytes).isEmpty())
        return false;
    *store = ParamStore();
    parseParameterText(QString::fromLatin1(bytes), *store);
    replaceOutOfRangeValues(*store);
    return true;
}

bool writeSet(const QString &path, const ParamStore &store)
{
    QFile file(path);
    const QByteArray bytes = buildParameterFile(store);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int runCli(const QString &cli, const QStringList &arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start(cli, arguments);
    if (!process.waitForFinished(kCommandTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        return -1;
    }
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: bench_backups SIM CLI RUNS [korva-sim options...]\n");
        return 2;
    }
    const QString sim = args.at(1);
    const QString cli = args.at(2);
    const int runs = args.at(3).toInt();
    const QStringList simOptions = args.mid(4);
    // KORVA_BACKUPS_SEED runs the same sets and faults again, for example with another build.
    bool given = false;
    const quint32 chosen = qEnvironmentVariable("KORVA_BACKUPS_SEED").toUInt(&given);
    const quint32 base = given ? chosen : QRandomGenerator::global()->generate();
    std::printf("# seeds %u .. %u\n", base, base + quint32(runs) - 1);

    int readRight = 0, readDiffer = 0, readFailed = 0;
    int writeRight = 0, writeCaught = 0, falseAlarms = 0, misses = 0, writeFailed = 0;
    for (int i = 0; i < runs; ++i) {
        const quint32 seed = base + quint32(i);
        QTemporaryDir dir;
        const QString state = dir.filePath(QStringLiteral("state.txt"));
        const QString backup = dir.filePath(QStringLiteral("backup.txt"));
        const QString toWrite = dir.filePath(QStringLiteral("write.txt"));
        // What the files hold, as the simulator and korva-cli take them.
        ParamStore held, sent;
        if (!writeSet(state, randomSet(seed * 2)) || !writeSet(toWrite, randomSet(seed * 2 + 1)) ||
            !readSet(state, &held) || !readSet(toWrite, &sent)) {
            std::fprintf(stderr, "cannot write the sets in %s\n", qPrintable(dir.path()));
            return 1;
        }

        QProcess transmitter;
        transmitter.start(sim, QStringList{QStringLiteral("--state"), state,
                                           QStringLiteral("--seed"), QString::number(seed)} +
                                   simOptions);
        if (!transmitter.waitForReadyRead(10000) || !transmitter.canReadLine()) {
            std::fprintf(stderr, "korva-sim printed no port\n");
            return 1;
        }
        const QString port = QString::fromLocal8Bit(transmitter.readLine()).trimmed();

        const int readExit = runCli(cli, {QStringLiteral("read"), port, backup});
        ParamStore backedUp;
        if (readExit != 0 || !readSet(backup, &backedUp)) {
            ++readFailed;
            if (readExit == 0)
                std::printf("# seed %u: read exited 0 without a whole file\n", seed);
        } else if (!mismatchedFields(held, backedUp).isEmpty()) {
            ++readDiffer;
            std::printf("# seed %u: the backup differs in", seed);
            for (IntField f : mismatchedFields(held, backedUp))
                std::printf(" %s (%d, not %d)", intFieldName(f), backedUp.*f, held.*f);
            std::printf("\n");
        } else {
            ++readRight;
        }

        const int writeExit = runCli(cli, {QStringLiteral("write"), port, toWrite});
        transmitter.terminate(); // saves its state
        transmitter.waitForFinished(10000);
        ParamStore after;
        const bool took = readSet(state, &after) && mismatchedFields(asSent(sent), after).isEmpty();
        if (writeExit == 0 && took) {
            ++writeRight;
        } else if (writeExit == 4 && !took) {
            ++writeCaught;
        } else if (writeExit == 4) {
            ++falseAlarms;
            std::printf("# seed %u: write reported a mismatch the simulator does not hold\n", seed);
        } else if (writeExit == 0) {
            ++misses;
            std::printf("# seed %u: write exited 0 but the simulator holds otherwise\n", seed);
        } else {
            ++writeFailed;
        }
    }
    std::printf("backups_runs %d\nbackups_read_right %d\nbackups_read_differ %d\n"
                "backups_read_failed %d\nbackups_write_right %d\nbackups_write_caught %d\n"
                "backups_false_alarms %d\nbackups_misses %d\nbackups_write_failed %d\n",
                runs, readRight, readDiffer, readFailed, writeRight, writeCaught, falseAlarms,
                misses, writeFailed);
    return 0;
}
