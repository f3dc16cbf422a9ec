// SPDX-License-Identifier: GPL-3.0-or-later
// korva-sim: a simulated KORVA/TELUN transmitter behind a pseudo-terminal, for trying the
// configuration program and for its tests without hardware.

#include "simulator.h"
#include "stopsignals.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION "\n" KORVA_LICENSE_LINE));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Simulated KORVA/TELUN transmitter on a pseudo-terminal.\n"
        "Prints the terminal's path as the first line of standard output; open it as the\n"
        "serial port. After \"OK\" it streams channel frames (50 per second) and link-status\n"
        "frames (about 4 per second) until \"DIS\"; \"RR\" is answered with the AUX frame and\n"
        "the 18 parameter frames; S, G and H frames take effect at the next \"WWW\".\n"
        "SIGINT and SIGTERM end it cleanly, saving the state file."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption stateOption(
        QStringLiteral("state"),
        QStringLiteral("Load the settings from this 243-byte parameter file if it exists, and "
                       "save them there whenever they change and at exit."),
        QStringLiteral("file"));
    const QCommandLineOption seedOption(
        QStringLiteral("seed"),
        QStringLiteral("Seed for the fault injection; the same seed gives the same bytes."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption splitOption(
        QStringLiteral("split"),
        QStringLiteral("Write each frame in 2 to 4 pieces, 0 to 3 ms apart."));
    const QCommandLineOption mergeOption(QStringLiteral("merge"),
                                         QStringLiteral("Write frames two or three at a time."));
    const QCommandLineOption noiseOption(
        QStringLiteral("noise"),
        QStringLiteral("Now and then put a few garbage bytes between frames."));
    const QCommandLineOption cutOption(
        QStringLiteral("cut"),
        QStringLiteral("Now and then lose a run of bytes inside a frame (about one frame in "
                       "eight), keeping its first byte."));
    const QCommandLineOption flipOption(
        QStringLiteral("flip"),
        QStringLiteral("Now and then flip one bit of a byte inside a frame (about one frame in "
                       "eight), keeping its first byte."));
    const QCommandLineOption ignoreOption(
        QStringLiteral("ignore"),
        QStringLiteral("Let every S, G or H frame go by without effect, as if the line lost it; "
                       "may be given more than once."),
        QStringLiteral("S|G|H"));
    const QCommandLineOption logOption(
        QStringLiteral("log"),
        QStringLiteral("Print each received token and each change of settings to standard "
                       "error."));
    const QCommandLineOption stdinOption(
        QStringLiteral("exit-on-stdin-close"),
        QStringLiteral("Exit cleanly when standard input reaches its end."));
    parser.addOptions({stateOption, seedOption, splitOption, mergeOption, noiseOption, cutOption,
                       flipOption, ignoreOption, logOption, stdinOption});
    parser.process(app);

    bool seedOk = false;
    Simulator::Options options;
    options.statePath = parser.value(stateOption);
    options.seed = parser.value(seedOption).toUInt(&seedOk);
    options.faults.split = parser.isSet(splitOption);
    options.faults.merge = parser.isSet(mergeOption);
    options.faults.noise = parser.isSet(noiseOption);
    options.faults.cut = parser.isSet(cutOption);
    options.faults.flip = parser.isSet(flipOption);
    if (!seedOk) {
        std::fprintf(stderr, "korva-sim: --seed needs a number from 0 to 4294967295\n");
        return 2;
    }
    const QStringList ignored = parser.values(ignoreOption);
    for (const QString &letter : ignored) {
        const TokenKind kinds[] = {TokenKind::FrameS, TokenKind::FrameG, TokenKind::FrameH};
        const int index =
            QStringList{QStringLiteral("S"), QStringLiteral("G"), QStringLiteral("H")}.indexOf(
                letter.toUpper());
        if (index < 0) {
            std::fprintf(stderr, "korva-sim: --ignore takes S, G or H, not \"%s\"\n",
                         qPrintable(letter));
            return 2;
        }
        options.ignoredFrames.append(kinds[index]);
    }
    if (parser.isSet(logOption))
        QLoggingCategory::setFilterRules(QStringLiteral("korva.sim.info=true"));

    if (!callOnStopSignals(&app, [] { QCoreApplication::quit(); })) {
        std::perror("korva-sim: signal handling");
        return 1;
    }

    Simulator simulator(options);
    QString error;
    if (!simulator.start(&error)) {
        std::fprintf(stderr, "korva-sim: %s\n", qPrintable(error));
        return 1;
    }
    std::printf("%s\n", qPrintable(simulator.slavePath()));
    std::fflush(stdout);

    QSocketNotifier *stdinNotifier = nullptr;
    if (parser.isSet(stdinOption)) {
        stdinNotifier = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
        QObject::connect(stdinNotifier, &QSocketNotifier::activated, &app, [stdinNotifier] {
            char ignored[256];
            const ssize_t n = ::read(STDIN_FILENO, ignored, sizeof ignored);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN)) {
                stdinNotifier->setEnabled(false);
                QCoreApplication::quit();
            }
        });
    }

    const int status = app.exec();
    simulator.stop();
    return status;
}
