// SPDX-License-Identifier: GPL-3.0-or-later
// korva-cli as a user runs it: against the simulated transmitter on a clean and on a split,
// merged and noisy line, against a pseudo-terminal the test plays itself, and with bad input.
#include "simprocess.h"

#include "decoder.h"
#include "frames.h"
#include "linksequence.h"
#include "ptypair.h"
#include "readback.h"
#include "settingsreport.h"
#include "testdata.h"
#include "transmittermodel.h"
#include "valuenames.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSerialPortInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <random>
#include <sys/stat.h>

namespace {

constexpr int kCommandTimeoutMs = 30000;

struct CliRun
{
    bool finished = false;
    int status = -1;
    QByteArray out;
    QByteArray err;
    qint64 ms = 0;
    QStringList errLines() const
    {
        return QString::fromLocal8Bit(err).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
};

// Runs korva-cli to its end with the event loop running, so that a pseudo-terminal held by
// the test keeps collecting what the program writes. `meanwhile` runs every few ms.
CliRun runCli(const QStringList &arguments,
              const std::function<void(QProcess &)> &meanwhile = nullptr)
{
    CliRun run;
    QProcess process;
    process.setProgram(QStringLiteral(KORVA_CLI_PATH));
    process.setArguments(arguments);
    QElapsedTimer clock;
    clock.start();
    process.start();
    if (!process.waitForStarted())
        return run;
    while (process.state() != QProcess::NotRunning && clock.elapsed() < kCommandTimeoutMs) {
        if (meanwhile)
            meanwhile(process);
        QTest::qWait(5);
    }
    run.ms = clock.elapsed();
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.finished = process.exitStatus() == QProcess::NormalExit;
    run.status = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// A run with the case's `arguments`, and the case's `expected` text.
struct CliCase
{
    CliRun run;
    QByteArray expected;
};

CliCase runCase()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    return {runCli(arguments), expected.toLocal8Bit()};
}

QString describeRun(const CliRun &run)
{
    return QStringLiteral("status %1 after %2 ms; stdout: %3; stderr: %4")
        .arg(run.status)
        .arg(run.ms)
        .arg(QString::fromLocal8Bit(run.out.left(400)), QString::fromLocal8Bit(run.err));
}

// Settings away from the factory values in each of the three frames, a mix source among them.
ParamStore changedSettings()
{
    using P = ParamStore;
    return changedFactorySettings({{&P::AUX6, 4}, {&P::Atti3, 50}, {&P::PRM02_Master, 6}});
}

// A pseudo-terminal the test holds and whose far end says nothing, so that the line carries
// exactly what korva-cli sends; and the changed settings in a file for korva-cli to write.
struct SilentLine
{
    PtyPair pty;
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("changed.txt"));
    const QByteArray text = buildParameterFile(changedSettings());
    bool ready() { return pty.isValid() && writeBytes(file, text); }
};

QStringList faultyLine()
{
    return {QStringLiteral("--split"), QStringLiteral("--merge"), QStringLiteral("--noise"),
            QStringLiteral("--seed"), QStringLiteral("3")};
}

// A simulated transmitter holding `settings`, logging what it receives.
struct Bench
{
    bool start(const QStringList &options, const ParamStore &settings)
    {
        return sim.startHolding(settings, options + QStringList{QStringLiteral("--log")});
    }
    QString port() const { return sim.slavePath(); }
    QString path(const char *name) const { return dir.filePath(QLatin1String(name)); }
    // Everything the simulator has logged so far.
    QString log()
    {
        m_log += QString::fromLocal8Bit(sim.process().readAllStandardError());
        return m_log;
    }

    QTemporaryDir dir;
    SimProcess sim;

private:
    QString m_log;
};

// The table rows of `diff` and of a failed check: setting, left value, right value.
QMap<QString, QStringList> tableRows(const QByteArray &out)
{
    QMap<QString, QStringList> rows;
    const QStringList lines =
        QString::fromLocal8Bit(out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines.mid(1)) {
        const QStringList cells = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        rows.insert(cells.value(0), cells.mid(1));
    }
    return rows;
}

// Read requests on the line; "RRRR" is two of them.
int readRequests(const QByteArray &line)
{
    int count = 0;
    for (int at = line.indexOf(kReadToken); at >= 0; at = line.indexOf(kReadToken, at + 2))
        ++count;
    return count;
}

bool inFrame(const FrameLayout &layout, IntField field)
{
    for (int i = 0; i < layout.slotCount; ++i) {
        if (layout.fields[i].member == field)
            return true;
    }
    return false;
}

} // namespace

class tst_Cli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void helpAndVersion_data();
    void helpAndVersion();
    void badUsageIsRefused_data();
    void badUsageIsRefused();
    void portsListsWhatTheSystemKnows();
    void readWriteReadGivesBackTheChangedFile_data();
    void readWriteReadGivesBackTheChangedFile();
    void resetRestoresTheFactorySettings_data();
    void resetRestoresTheFactorySettings();
    void writeThatLosesAFrameFailsVerification();
    void showJsonListsEveryFieldWithTheFilesValue();
    void monitorPrintsLiveFramesAsCsv_data();
    void monitorPrintsLiveFramesAsCsv();
    void monitorStopsCleanlyOnCtrlC();
    void writeIsPacedLikeTheWindow();
    void interruptedWriteNeverCommits();
    void readAsksAgainAndNamesWhatIsMissing_data();
    void readAsksAgainAndNamesWhatIsMissing();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
};

void tst_Cli::initTestCase()
{
    QVERIFY2(QFile::exists(QStringLiteral(KORVA_CLI_PATH)), KORVA_CLI_PATH);
    QVERIFY2(QFile::exists(QStringLiteral(KORVA_SIM_PATH)), KORVA_SIM_PATH);
    QCOMPARE(factoryFrames().size(), kParameterFileLength);
}

void tst_Cli::helpAndVersion_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("program help") << QStringList{QStringLiteral("--help")} << "monitor PORT";
    QTest::newRow("version") << QStringList{QStringLiteral("--version")}
                             << "korva-cli " KORVA_VERSION;
    QTest::newRow("licence") << QStringList{QStringLiteral("--version")} << "\n" KORVA_LICENSE_LINE;
    QTest::newRow("read help") << QStringList{QStringLiteral("read"), QStringLiteral("--help")}
                               << "--retries";
    QTest::newRow("write help") << QStringList{QStringLiteral("write"), QStringLiteral("-h")}
                                << "--no-verify";
    QTest::newRow("reset help") << QStringList{QStringLiteral("reset"), QStringLiteral("--help")}
                                << "--settle";
    QTest::newRow("show help") << QStringList{QStringLiteral("show"), QStringLiteral("--help")}
                               << "--json";
    QTest::newRow("diff help") << QStringList{QStringLiteral("diff"), QStringLiteral("--help")}
                               << "FILE2";
    QTest::newRow("monitor help") << QStringList{QStringLiteral("monitor"),
                                                 QStringLiteral("--help")}
                                  << "--count";
    QTest::newRow("ports help") << QStringList{QStringLiteral("ports"), QStringLiteral("--help")}
                                << "ports";
}

void tst_Cli::helpAndVersion()
{
    const auto [run, expected] = runCase();
    QVERIFY2(run.finished && run.status == 0, qPrintable(describeRun(run)));
    QVERIFY2(run.out.contains(expected), run.out.constData());
    QVERIFY(run.err.isEmpty());
}

void tst_Cli::badUsageIsRefused_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    QTest::newRow("no command") << QStringList{} << "no command";
    QTest::newRow("unknown command") << QStringList{QStringLiteral("backup")} << "\"backup\"";
    QTest::newRow("missing argument")
        << QStringList{QStringLiteral("read"), QStringLiteral("/dev/null")} << "PORT FILE";
    QTest::newRow("extra argument")
        << QStringList{QStringLiteral("ports"), QStringLiteral("x")} << "no arguments";
    QTest::newRow("unknown option")
        << QStringList{QStringLiteral("show"), QStringLiteral("--csv"), QStringLiteral("f")}
        << "csv";
    QTest::newRow("option of another command")
        << QStringList{QStringLiteral("diff"), QStringLiteral("--json"), QStringLiteral("a"),
                       QStringLiteral("b")}
        << "json";
    QTest::newRow("negative timeout")
        << QStringList{QStringLiteral("read"), QStringLiteral("--timeout"), QStringLiteral("-5"),
                       QStringLiteral("p"), QStringLiteral("f")}
        << "--timeout";
    QTest::newRow("count of nothing")
        << QStringList{QStringLiteral("monitor"), QStringLiteral("--count"), QStringLiteral("0"),
                       QStringLiteral("p")}
        << "--count";
}

void tst_Cli::badUsageIsRefused()
{
    const auto [run, expected] = runCase();
    QVERIFY2(run.finished && run.status == 2, qPrintable(describeRun(run)));
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.errLines().first().startsWith(QLatin1String("korva-cli: ")), run.err.constData());
    QVERIFY2(run.err.contains(expected), run.err.constData());
    QVERIFY(run.out.isEmpty());
}

void tst_Cli::portsListsWhatTheSystemKnows()
{
    const CliRun run = runCli({QStringLiteral("ports")});
    QVERIFY2(run.finished && run.status == 0, qPrintable(describeRun(run)));
    QStringList names;
    const QStringList lines =
        QString::fromLocal8Bit(run.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList cells = line.split(QLatin1Char('\t'));
        QCOMPARE(cells.size(), 3);
        QVERIFY2(cells.at(2) == QLatin1String("-") ||
                     QRegularExpression(QStringLiteral("^[0-9a-f]{4}:[0-9a-f]{4}$"))
                         .match(cells.at(2))
                         .hasMatch(),
                 qPrintable(line));
        names.append(cells.at(0));
    }
    QStringList known;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        known.append(info.portName());
    QCOMPARE(names, known);
}

void tst_Cli::readWriteReadGivesBackTheChangedFile_data()
{
    QTest::addColumn<QStringList>("line");
    QTest::newRow("clean line") << QStringList{};
    QTest::newRow("split, merged and noisy line") << faultyLine();
}

void tst_Cli::readWriteReadGivesBackTheChangedFile()
{
    QFETCH(QStringList, line);
    Bench bench;
    QVERIFY(bench.start(line, factorySettings()));
    const QString before = bench.path("before.txt");
    const QString changed = bench.path("changed.txt");
    const QString again = bench.path("again.txt");

    CliRun run = runCli({QStringLiteral("read"), bench.port(), before});
    QVERIFY2(run.status == 0 && run.err.isEmpty(), qPrintable(describeRun(run)));
    qInfo("read took %lld ms", run.ms);
    QCOMPARE(readBytes(before), factoryFrames());
    // A read asks and says goodbye; it never sends settings.
    QTRY_VERIFY(bench.log().contains(QLatin1String("rx DIS")));
    QVERIFY(bench.log().contains(QLatin1String("rx RR")));
    QVERIFY2(!bench.log().contains(QLatin1String("frame")), qPrintable(bench.log()));

    run = runCli({QStringLiteral("show"), before});
    QVERIFY2(run.status == 0, qPrintable(describeRun(run)));
    QVERIFY(run.out.contains("Reverse") && run.out.contains("REV"));

    const ParamStore target = changedSettings();
    QVERIFY(writeBytes(changed, buildParameterFile(target)));
    run = runCli({QStringLiteral("diff"), before, changed});
    QVERIFY2(run.status == 1, qPrintable(describeRun(run)));
    const QMap<QString, QStringList> rows = tableRows(run.out);
    const QStringList differing = reportedDifferences(factorySettings(), target);
    QCOMPARE(rows.size(), differing.size());
    for (const QString &d : differing)
        QVERIFY2(rows.contains(d.section(QLatin1Char(':'), 0, 0)), qPrintable(d));
    QCOMPARE(rows.value(QStringLiteral("rev5")), (QStringList{"NOR", "REV"}));

    run = runCli({QStringLiteral("write"), bench.port(), changed});
    QVERIFY2(run.status == 0 && run.err.isEmpty(), qPrintable(describeRun(run)));
    qInfo("write with its check took %lld ms", run.ms);

    run = runCli({QStringLiteral("read"), bench.port(), again});
    QVERIFY2(run.status == 0, qPrintable(describeRun(run)));
    QCOMPARE(readBytes(again), readBytes(changed));
    run = runCli({QStringLiteral("diff"), changed, again});
    QVERIFY2(run.status == 0 && run.out.isEmpty(), qPrintable(describeRun(run)));
}

void tst_Cli::resetRestoresTheFactorySettings_data()
{
    readWriteReadGivesBackTheChangedFile_data();
}

void tst_Cli::resetRestoresTheFactorySettings()
{
    QFETCH(QStringList, line);
    Bench bench;
    QVERIFY(bench.start(line, changedSettings()));
    CliRun run = runCli({QStringLiteral("reset"), bench.port()});
    QVERIFY2(run.status == 0 && run.err.isEmpty(), qPrintable(describeRun(run)));
    const QString after = bench.path("after.txt");
    run = runCli({QStringLiteral("read"), bench.port(), after});
    QVERIFY2(run.status == 0, qPrintable(describeRun(run)));
    QCOMPARE(readBytes(after), factoryFrames());
}

// The transmitter never takes the G frame: the check must find every G-frame setting that
// was meant to change, and nothing else.
void tst_Cli::writeThatLosesAFrameFailsVerification()
{
    Bench bench;
    QVERIFY(bench.start({QStringLiteral("--ignore"), QStringLiteral("G")}, factorySettings()));
    const QString file = bench.path("changed.txt");
    const ParamStore target = changedSettings();
    const ParamStore held = factorySettings();
    QVERIFY(writeBytes(file, buildParameterFile(target)));

    const CliRun run = runCli({QStringLiteral("write"), bench.port(), file});
    QVERIFY2(run.status == 4, qPrintable(describeRun(run)));
    QCOMPARE(run.errLines().size(), 1);
    QStringList expected;
    for (IntField field : readBackFields()) {
        if (inFrame(kFrameG, field) && target.*field != held.*field)
            expected.append(QLatin1String(intFieldName(field)));
    }
    QVERIFY(expected.size() >= 3);
    QStringList named =
        run.errLines().first().section(QLatin1String("written: "), 1).split(QLatin1String(", "));
    named.sort();
    expected.sort();
    QCOMPARE(named, expected);
    const QMap<QString, QStringList> rows = tableRows(run.out);
    QCOMPARE(rows.size(), expected.size());
    for (const QString &name : expected) {
        const IntField field = findIntField(name.toLatin1().constData())->member;
        QCOMPARE(rows.value(name),
                 (QStringList{valueText(field, target.*field), valueText(field, held.*field)}));
    }
}

void tst_Cli::showJsonListsEveryFieldWithTheFilesValue()
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("settings.txt"));
    const ParamStore held = changedSettings();
    QVERIFY(writeBytes(file, buildParameterFile(held)));
    const CliRun run = runCli({QStringLiteral("show"), QStringLiteral("--json"), file});
    QVERIFY2(run.status == 0, qPrintable(describeRun(run)));
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(run.out, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(object.size(), intFieldCount() + 1);
    // What the file holds, the D/R rate and exponential that follow its tables; every other
    // field keeps the value a fresh store starts with.
    QVector<IntField> fromFile = fileFields();
    fromFile << &ParamStore::DR_RATE << &ParamStore::DR_EXP;
    const ParamStore fresh;
    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
        const qint32 expected = fromFile.contains(f->member) ? held.*f->member : fresh.*f->member;
        QVERIFY2(object.contains(QLatin1String(f->name)), f->name);
        QCOMPARE(object.value(QLatin1String(f->name)).toInt(-99999), expected);
    }
    QCOMPARE(object.value(QLatin1String("Volt")).toDouble(), held.Volt_x10 / 10.0);
}

void tst_Cli::monitorPrintsLiveFramesAsCsv_data()
{
    readWriteReadGivesBackTheChangedFile_data();
}

void tst_Cli::monitorPrintsLiveFramesAsCsv()
{
    QFETCH(QStringList, line);
    constexpr int kFrames = 30;
    Bench bench;
    QVERIFY(bench.start(line, factorySettings()));
    const CliRun run = runCli({QStringLiteral("monitor"), QStringLiteral("--count"),
                               QString::number(kFrames), bench.port()});
    QVERIFY2(run.status == 0 && run.err.isEmpty(), qPrintable(describeRun(run)));
    const QStringList lines = QString::fromLocal8Bit(run.out).split(QLatin1Char('\n'));
    QCOMPARE(lines.size(), kFrames + 2); // the header, the frames, and the last line's end
    QCOMPARE(lines.first(), QStringLiteral("time_ms,Servo1,Servo2,Servo3,Servo4,Servo5,Servo6,"
                                           "Servo7,Servo8,tx_volts,ext_volts,rssi_dbm"));
    QVERIFY(lines.last().isEmpty());
    qint64 lastMs = 0;
    QStringList lastServos;
    int withLinkStatus = 0;
    for (const QString &row : lines.mid(1, kFrames)) {
        const QStringList cells = row.split(QLatin1Char(','));
        QCOMPARE(cells.size(), 12);
        QVERIFY2(cells.at(0).toLongLong() >= lastMs, qPrintable(row));
        lastMs = cells.at(0).toLongLong();
        // One row per channel frame: the servos move from one frame to the next.
        QVERIFY2(cells.mid(1, 8) != lastServos, qPrintable(row));
        lastServos = cells.mid(1, 8);
        for (int i = 1; i <= 8; ++i) {
            const int servo = cells.at(i).toInt();
            QVERIFY2(qAbs(servo - kServoCentre) <= kServoSwing, qPrintable(row));
        }
        const double tx = cells.at(9).toDouble() * 100;
        QVERIFY2(tx >= kTxVoltLow - 0.5 && tx <= kTxVoltHigh + 0.5, qPrintable(row));
        if (cells.at(10).isEmpty())
            continue;
        ++withLinkStatus;
        const double ext = cells.at(10).toDouble() * 10;
        QVERIFY2(ext >= kExtVoltLow - 0.5 && ext <= kExtVoltHigh + 0.5, qPrintable(row));
        const int dbm = cells.at(11).toInt();
        QVERIFY2(dbm >= kRssiLow - 100 && dbm <= kRssiHigh - 100, qPrintable(row));
    }
    QVERIFY(withLinkStatus > 0);
    QTRY_VERIFY(bench.log().contains(QLatin1String("rx DIS")));
}

void tst_Cli::monitorStopsCleanlyOnCtrlC()
{
    Bench bench;
    QVERIFY(bench.start({}, factorySettings()));
    QByteArray seen;
    bool signalled = false;
    const CliRun run = runCli({QStringLiteral("monitor"), bench.port()}, [&](QProcess &p) {
        seen += p.readAllStandardOutput();
        if (!signalled && seen.count('\n') > 5) {
            ::kill(pid_t(p.processId()), SIGINT);
            signalled = true;
        }
    });
    QVERIFY(signalled);
    QVERIFY2(run.finished && run.status == 0 && run.err.isEmpty(), qPrintable(describeRun(run)));
    seen += run.out;
    QVERIFY(seen.endsWith('\n'));
    QTRY_VERIFY(bench.log().contains(QLatin1String("rx DIS")));
}

// The line carries what the program sends, when it sends it.
void tst_Cli::writeIsPacedLikeTheWindow()
{
    SilentLine line;
    QVERIFY(line.ready());
    PtyPair &pty = line.pty;
    const CliRun run = runCli(
        {QStringLiteral("write"), QStringLiteral("--no-verify"), pty.slavePath(), line.file});
    QVERIFY2(run.status == 0, qPrintable(describeRun(run)));
    pty.collect(50);
    QCOMPARE(pty.received(), "OK" + line.text + "WWW" + "DIS");

    const int s = 2;
    const int g = s + kFrameLength;
    const int h = g + kFrameLength;
    const int ack = h + kFrameLength;
    const auto gap = [&pty](int from, int to) { return pty.timeOfByte(to) - pty.timeOfByte(from); };
    QVERIFY2(gap(0, s) >= kButtonGuardMs - 10, qPrintable(QString::number(gap(0, s))));
    QVERIFY2(gap(s, g) >= kFrameWaitMs - 10, qPrintable(QString::number(gap(s, g))));
    QVERIFY2(gap(g, h) >= kFrameWaitMs - 10, qPrintable(QString::number(gap(g, h))));
    QVERIFY2(gap(h, ack) >= kFrameWaitMs - 10, qPrintable(QString::number(gap(h, ack))));
    // Each frame leaves in one piece.
    QVERIFY(gap(s, g - 1) < 100 && gap(g, h - 1) < 100 && gap(h, ack - 1) < 100);
}

void tst_Cli::interruptedWriteNeverCommits()
{
    SilentLine line;
    QVERIFY(line.ready());
    PtyPair &pty = line.pty;
    bool signalled = false;
    const CliRun run =
        runCli({QStringLiteral("write"), pty.slavePath(), line.file}, [&](QProcess &p) {
            if (!signalled && pty.received().size() >= 2 + kFrameLength) {
                ::kill(pid_t(p.processId()), SIGINT);
                signalled = true;
            }
        });
    QVERIFY(signalled);
    QVERIFY2(run.status == 3, qPrintable(describeRun(run)));
    QVERIFY2(run.ms < 2000, qPrintable(describeRun(run)));
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.err.contains("interrupted after the S frame"), run.err.constData());
    pty.collect(50);
    QCOMPARE(pty.received(), "OK" + line.text.left(kFrameLength) + "DIS");
}

void tst_Cli::readAsksAgainAndNamesWhatIsMissing_data()
{
    QTest::addColumn<QStringList>("answers"); // per request: "whole", "partial" or "none"
    QTest::addColumn<int>("retries");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    // A set is taken when two whole answers agree.
    QTest::newRow("second answer whole")
        << QStringList{"partial", "whole", "whole"} << 2 << 0 << QString();
    QTest::newRow("frames brought once")
        << QStringList{"partial", "whole"} << 1 << 3 << "no two answers from";
    QTest::newRow("never whole") << QStringList{"partial", "partial", "partial"} << 2 << 3
                                 << "after 3 request(s); missing kind 0x55 (sub1..sub8), kind "
                                    "0xA2 (EleMix..Elev04)";
    QTest::newRow("first answer lost")
        << QStringList{"none", "whole", "whole"} << 2 << 0 << QString();
    QTest::newRow("silent") << QStringList{"none"} << 0 << 3 << "no answer from";
}

// The test plays the transmitter and answers each "RR" as the row says; a partial answer
// lacks the sub-trim and elevon frames.
void tst_Cli::readAsksAgainAndNamesWhatIsMissing()
{
    QFETCH(QStringList, answers);
    QFETCH(int, retries);
    QFETCH(int, status);
    QFETCH(QString, message);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("read.txt"));
    const ParamStore held = changedSettings();
    int answered = 0;
    const CliRun run =
        runCli({QStringLiteral("read"), QStringLiteral("--timeout"), QStringLiteral("400"),
                QStringLiteral("--retries"), QString::number(retries), pty.slavePath(), file},
               [&](QProcess &) {
                   if (readRequests(pty.received()) <= answered)
                       return;
                   const QString answer = answers.value(answered++);
                   for (const QByteArray &frame : encodeSettingsAnswer(held)) {
                       const bool dropped =
                           frame.size() == kParameterFrameLength &&
                           (quint8(frame.at(2)) == 0x55 || quint8(frame.at(2)) == 0xA2);
                       if (answer == QLatin1String("whole") ||
                           (answer == QLatin1String("partial") && !dropped))
                           pty.send(frame);
                   }
               });
    QVERIFY2(run.finished && run.status == status, qPrintable(describeRun(run)));
    QCOMPARE(readRequests(pty.received()), answers.size());
    // Every chunk that arrives is answered, as the window answers it; silence is not.
    QCOMPARE(pty.received().contains(kAckToken), answers.join(QString()) != QLatin1String("none"));
    if (status == 0) {
        QCOMPARE(readBytes(file), buildParameterFile(held));
        return;
    }
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.err.contains(message.toLocal8Bit()), run.err.constData());
    QVERIFY(!QFile::exists(file));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries), QStringList());
}

void tst_Cli::badInputChangesNothing_data()
{
    QTest::addColumn<QStringList>("arguments"); // {pty}, {new} and file names are filled in
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("message");

    const QString pty = QStringLiteral("{pty}");
    const QString noPort = QStringLiteral("/dev/korva-no-such-port");
    const auto args = [](std::initializer_list<const char *> list) {
        QStringList out;
        for (const char *a : list)
            out << QString::fromLatin1(a);
        return out;
    };
    QTest::newRow("show missing") << args({"show", "missing.txt"}) << 2
                                  << "missing.txt: no such file";
    QTest::newRow("show 100 bytes") << args({"show", "short.txt"}) << 2 << "100 bytes long";
    QTest::newRow("show random") << args({"show", "random.txt"}) << 2 << "no S frame: byte 0";
    QTest::newRow("show directory") << args({"show", "dir"}) << 2 << "is a directory";
    QTest::newRow("show FIFO") << args({"show", "fifo"}) << 2 << "is not a regular file";
    QTest::newRow("diff missing") << args({"diff", "good.txt", "missing.txt"}) << 2
                                  << "no such file";
    QTest::newRow("write missing")
        << args({"write", "{pty}", "missing.txt"}) << 2 << "no such file";
    QTest::newRow("write 100 bytes")
        << args({"write", "{pty}", "short.txt"}) << 2 << "100 bytes long";
    QTest::newRow("write random") << args({"write", "{pty}", "random.txt"}) << 2 << "no S frame";
    QTest::newRow("write directory") << args({"write", "{pty}", "dir"}) << 2 << "is a directory";
    QTest::newRow("write FIFO") << args({"write", "{pty}", "fifo"}) << 2 << "is not a regular file";
    QTest::newRow("read into directory") << args({"read", "{pty}", "dir"}) << 2 << "is a directory";
    QTest::newRow("read into FIFO")
        << args({"read", "{pty}", "fifo"}) << 2 << "is not a regular file";
    QTest::newRow("read into missing folder")
        << args({"read", "{pty}", "nowhere/new.txt"}) << 2 << "cannot write";
    QTest::newRow("read from missing port")
        << (QStringList{QStringLiteral("read"), noPort, QStringLiteral("new.txt")}) << 3
        << "cannot open /dev/korva-no-such-port: No such file or directory";
    QTest::newRow("write to missing port")
        << (QStringList{QStringLiteral("write"), noPort, QStringLiteral("good.txt")}) << 3
        << "cannot open /dev/korva-no-such-port";
    QTest::newRow("reset missing port")
        << (QStringList{QStringLiteral("reset"), noPort}) << 3 << "cannot open";
    QTest::newRow("monitor missing port")
        << (QStringList{QStringLiteral("monitor"), noPort}) << 3 << "cannot open";
    Q_UNUSED(pty)
}

void tst_Cli::badInputChangesNothing()
{
    QFETCH(QStringList, arguments);
    QFETCH(int, status);
    QFETCH(QString, message);
    PtyPair pty;
    QVERIFY(pty.isValid());
    QTemporaryDir dir;
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("good.txt")), factoryFrames()));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("short.txt")), factoryFrames().left(100)));
    std::mt19937 rng(243);
    QByteArray random;
    while (random.size() < kParameterFileLength)
        random.append(char(rng() & 0xFF));
    QVERIFY(random.at(0) != 'S');
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("random.txt")), random));
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("dir")));
    QCOMPARE(::mkfifo(QFile::encodeName(dir.filePath(QStringLiteral("fifo"))).constData(), 0600),
             0);

    QStringList filled;
    for (const QString &a : arguments)
        filled << (a == QLatin1String("{pty}")      ? pty.slavePath()
                   : a.startsWith(QLatin1Char('/')) ? a
                   : a.contains(QLatin1Char('.')) || a == QLatin1String("dir") ||
                           a == QLatin1String("fifo")
                       ? dir.filePath(a)
                       : a);
    const auto listing = [&dir] {
        QStringList entries;
        const QFileInfoList infos =
            QDir(dir.path()).entryInfoList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System);
        for (const QFileInfo &info : infos)
            entries << info.fileName() + QLatin1Char(' ') + QString::number(info.size());
        return entries;
    };
    const QStringList before = listing();
    const CliRun run = runCli(filled);
    QVERIFY2(run.finished && run.status == status, qPrintable(describeRun(run)));
    QCOMPARE(run.errLines().size(), 1);
    QVERIFY2(run.errLines().first().startsWith(QLatin1String("korva-cli: ")), run.err.constData());
    QVERIFY2(run.err.contains(message.toLocal8Bit()), run.err.constData());
    QVERIFY(run.out.isEmpty());
    pty.collect(50);
    QCOMPARE(pty.received(), QByteArray());
    QCOMPARE(listing(), before);
}

QTEST_GUILESS_MAIN(tst_Cli)
#include "tst_cli.moc"
