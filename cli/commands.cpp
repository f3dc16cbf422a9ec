// SPDX-License-Identifier: GPL-3.0-or-later
#include "commands.h"

#include "factory.h"
#include "frames.h"
#include "parameterfiles.h"
#include "readback.h"
#include "settingsreport.h"
#include "transmitterlink.h"

#include <QCommandLineParser>
#include <QSaveFile>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstdio>

namespace {

void print(const QString &text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fflush(stdout);
}

int fail(int status, const QString &message)
{
    const QString line = QLatin1String("korva-cli: ") + message + QLatin1Char('\n');
    std::fputs(line.toLocal8Bit().constData(), stderr);
    return status;
}

struct Settings
{
    LinkPacing pacing; // the read-back times; the window's
    bool verify = true;
    int count = 0; // 0: until interrupted
    bool json = false;
    bool once = false; // read: the first whole answer, unconfirmed
};

struct Invocation
{
    QStringList arguments;
    Settings settings;
    Interruption &interruption;
};

QString missingFrames(const TransmitterLink::Answer &answer)
{
    QStringList names;
    for (int flag : answer.missing)
        names.append(settingsFrameName(flag));
    return names.join(QLatin1String(", "));
}

QString incompleteAnswer(const QString &port, const TransmitterLink::Answer &answer)
{
    if (answer.missing.size() == kSettingsFrameKinds)
        return QStringLiteral("no answer from %1 after %2 request(s)")
            .arg(port)
            .arg(answer.requests);
    return QStringLiteral("no complete answer from %1 after %2 request(s); missing %3")
        .arg(port)
        .arg(answer.requests)
        .arg(missingFrames(answer));
}

QString openFailure(const QSerialPort &port, const QString &name)
{
    QString text = QLatin1String("cannot open ") + name + QLatin1String(": ") + port.errorString();
    if (port.error() == QSerialPort::PermissionError) {
        // Qt reports a port another program holds the lock of as a permission problem too.
        text += port.errorString().contains(QLatin1String("lock"), Qt::CaseInsensitive)
                    ? QLatin1String(" (another program has it open)")
                    : QLatin1String(" (add yourself to the dialout group)");
    }
    return text;
}

// A link on the port for one command, or a one-line reason it did not open.
bool openLink(TransmitterLink &link, const Invocation &call, const QString &port, QString *error)
{
    link.setPacing(call.settings.pacing);
    link.watch(call.interruption);
    if (link.open(port))
        return true;
    *error = openFailure(link.port(), port);
    return false;
}

// Why a link ended early, or an empty string.
QString linkTrouble(const TransmitterLink &link)
{
    if (!link.failure().isEmpty())
        return link.failure();
    if (link.interrupted())
        return QStringLiteral("interrupted");
    return QString();
}

int runPorts(const Invocation &)
{
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports) {
        const QString description =
            info.description().isEmpty() ? QStringLiteral("-") : info.description();
        QString ids = QStringLiteral("-");
        if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
            ids = QStringLiteral("%1:%2")
                      .arg(info.vendorIdentifier(), 4, 16, QLatin1Char('0'))
                      .arg(info.productIdentifier(), 4, 16, QLatin1Char('0'));
        }
        print(info.portName() + QLatin1Char('\t') + description + QLatin1Char('\t') + ids +
              QLatin1Char('\n'));
    }
    return kExitSuccess;
}

int runRead(const Invocation &call)
{
    const QString port = call.arguments.at(0);
    const QString path = call.arguments.at(1);
    QString error;
    if (!canReplaceWithParameterFile(path, &error))
        return fail(kExitUsage, error);
    // Opened first, so that a file that cannot be written is known before the transmitter
    // is disturbed; nothing replaces the old file unless the answer is whole.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(kExitUsage, QLatin1String("cannot write ") + path + QLatin1String(": ") +
                                    file.errorString());

    TransmitterLink link;
    if (!openLink(link, call, port, &error))
        return fail(kExitLink, error);
    // Frames carry no checksum: an answer may hold a value damaged on the line, and on a poor
    // line most do. Each frame is taken when more answers brought it alike than damage would
    // make up, at least two; every request is an answer of its own, whole or not.
    const quint64 operation = link.beginOperation();
    const int allowed = 1 + call.settings.pacing.retries;
    LinkPacing pacing = call.settings.pacing;
    pacing.retries = call.settings.once ? pacing.retries : 0;
    link.setPacing(pacing);
    QVector<TransmitterLink::Answer> received;
    QVector<SettingsAnswer> answers;
    QVector<int> undecided;
    ParamStore agreed;
    bool taken = false;
    for (int used = 0; used < allowed && !taken; ++used) {
        received.append(link.readSettings(operation));
        const TransmitterLink::Answer &answer = received.last();
        if (!linkTrouble(link).isEmpty())
            break;
        if (call.settings.once) {
            agreed = answer.settings;
            taken = answer.missing.isEmpty();
            break;
        }
        answers.append({asReceived(answer.settings, answer.replaced), answer.missing});
        undecided = agreedAnswer(answers, &agreed);
        taken = undecided.isEmpty();
    }
    link.close();
    const QString untouched = QLatin1String("; ") + path + QLatin1String(" left as it was");
    const QString trouble = linkTrouble(link);
    if (!trouble.isEmpty())
        return fail(kExitLink, trouble + untouched);
    if (!taken) {
        // The frames no answer brought, or else those no two answers brought alike.
        TransmitterLink::Answer lacking = received.last();
        lacking.requests = 0;
        for (const TransmitterLink::Answer &a : qAsConst(received)) {
            lacking.requests += qMax(1, a.requests);
            lacking.missing.erase(
                std::remove_if(lacking.missing.begin(), lacking.missing.end(),
                               [&a](int flag) { return !a.missing.contains(flag); }),
                lacking.missing.end());
        }
        if (!lacking.missing.isEmpty())
            return fail(kExitLink, incompleteAnswer(port, lacking) + untouched);
        lacking.missing = undecided;
        return fail(kExitLink,
                    QStringLiteral("no two answers from %1 in %2 request(s) agree on %3; the line "
                                   "damages frames: ask more often (--retries) or take one answer "
                                   "as it came (--once)")
                            .arg(port)
                            .arg(lacking.requests)
                            .arg(missingFrames(lacking)) +
                        untouched);
    }
    // The values were compared as they came; what is kept is what a LOAD of them would keep.
    const QVector<RangeReplacement> replaced =
        call.settings.once ? received.last().replaced : replaceOutOfRangeValues(agreed);
    for (const QString &line : replacementLines(replaced, agreed))
        fail(kExitSuccess, QLatin1String("out of range: ") + line);
    const QByteArray bytes = buildParameterFile(agreed);
    if (file.write(bytes) != bytes.size() || !file.commit())
        return fail(kExitUsage, QLatin1String("cannot write ") + path + QLatin1String(": ") +
                                    file.errorString());
    return kExitSuccess;
}

// WRITE or RESET, then, unless told not to, a read that must bring back what was sent.
int sendAndVerify(const Invocation &call, const LinkSequence &sequence, ParamStore settings)
{
    const QString port = call.arguments.at(0);
    QString error;
    TransmitterLink link;
    if (!openLink(link, call, port, &error))
        return fail(kExitLink, error);
    const quint64 operation = link.beginOperation();
    TransmitterLink::SendSteps steps;
    steps.factoryValues = [&settings] { applyFactoryValues(settings); };
    steps.frame = [&settings](const FrameLayout &layout) {
        QString buffer = QString::fromLatin1(layout.tmpl);
        buildFrameInto(layout, settings, buffer);
        return buffer.toLatin1();
    };
    const TransmitterLink::Sent sent = link.send(operation, sequence, steps);
    if (!sent.whole) {
        link.close();
        // The answers to the transmitter's own frames are the same "WWW" that closes a set,
        // so a transmitter may already have taken the frames that went out.
        const QString what =
            sent.frames.isEmpty()
                ? QStringLiteral("before any frame was sent")
                : QStringLiteral("after the %1 frame(s) of three; the transmitter may hold "
                                 "them, and nothing was read back")
                      .arg(sent.frames.split(QString(), Qt::SkipEmptyParts)
                               .join(QLatin1String(", ")));
        return fail(kExitLink, linkTrouble(link) + QLatin1Char(' ') + what);
    }
    if (!call.settings.verify) {
        link.close();
        return kExitSuccess;
    }
    const TransmitterLink::Check check = link.check(operation, settings);
    link.close();
    switch (check.outcome) {
    case TransmitterLink::Check::Confirmed:
        return kExitSuccess;
    case TransmitterLink::Check::Ended:
        return fail(kExitLink,
                    linkTrouble(link) + QLatin1String(" while checking the settings written"));
    case TransmitterLink::Check::NoAnswer:
        return fail(kExitLink,
                    (check.answer.missing.isEmpty()
                         ? QStringLiteral("the answers from %1 were damaged on the line and do "
                                          "not agree")
                               .arg(port)
                         : incompleteAnswer(port, check.answer)) +
                        QLatin1String("; the settings written were not checked"));
    case TransmitterLink::Check::Mismatch:
        break;
    }
    const QVector<FieldDifference> list =
        differences(asSent(settings), check.held, check.mismatched);
    print(differenceTable(list, QStringLiteral("sent"), QStringLiteral("read back")));
    return fail(kExitVerify,
                QStringLiteral("verification failed: %1 setting(s) read back differ from "
                               "those written: %2")
                    .arg(list.size())
                    .arg(differenceNames(list).join(QLatin1String(", "))));
}

int runWrite(const Invocation &call)
{
    ParamStore settings;
    QString error;
    if (!readParameterFile(call.arguments.at(1), &settings, &error))
        return fail(kExitUsage, error);
    return sendAndVerify(call, kWriteSequence, settings);
}

int runReset(const Invocation &call)
{
    return sendAndVerify(call, kResetSequence, ParamStore());
}

int runShow(const Invocation &call)
{
    ParamStore settings;
    QString error;
    if (!readParameterFile(call.arguments.at(0), &settings, &error))
        return fail(kExitUsage, error);
    print(call.settings.json ? QString::fromUtf8(settingsJson(settings)) : settingsTable(settings));
    return kExitSuccess;
}

int runDiff(const Invocation &call)
{
    ParamStore left;
    ParamStore right;
    QString error;
    if (!readParameterFile(call.arguments.at(0), &left, &error) ||
        !readParameterFile(call.arguments.at(1), &right, &error))
        return fail(kExitUsage, error);
    const QVector<FieldDifference> list = differences(left, right, fileFields());
    if (list.isEmpty())
        return kExitSuccess;
    print(differenceTable(list, call.arguments.at(0), call.arguments.at(1)));
    return kExitDiffer;
}

QString csvLine(qint64 atMs, const ParamStore &s, bool linkStatusSeen)
{
    QStringList cells{QString::number(atMs)};
    for (qint32 servo :
         {s.Servo1, s.Servo2, s.Servo3, s.Servo4, s.Servo5, s.Servo6, s.Servo7, s.Servo8})
        cells.append(QString::number(servo));
    cells.append(QString::number(s.TX_Volt / 100.0, 'f', 2));
    // Unknown until the first link-status frame, rather than a made-up zero.
    cells.append(linkStatusSeen ? QString::number(s.EXT_Volt / 10.0, 'f', 1) : QString());
    cells.append(linkStatusSeen ? QString::number(rssiDbm(s.RSSI)) : QString());
    return cells.join(QLatin1Char(',')) + QLatin1Char('\n');
}

int runMonitor(const Invocation &call)
{
    TransmitterLink link;
    QString error;
    if (!openLink(link, call, call.arguments.at(0), &error))
        return fail(kExitLink, error);
    print(QStringLiteral("time_ms,Servo1,Servo2,Servo3,Servo4,Servo5,Servo6,Servo7,Servo8,"
                         "tx_volts,ext_volts,rssi_dbm\n"));
    const int count = call.settings.count;
    int printed = 0;
    bool linkStatusSeen = false;
    QObject::connect(&link, &TransmitterLink::frameTaken, &link, [&](const DecodedFrame &frame) {
        if (frame.family == FrameFamily::LinkStatus)
            linkStatusSeen = true;
        // One chunk can bring several frames, more than are still wanted.
        if (frame.family != FrameFamily::Channel || (count > 0 && printed >= count))
            return;
        print(csvLine(link.elapsedMs(), link.received(), linkStatusSeen));
        ++printed;
    });
    link.runUntil([&] { return count > 0 && printed >= count; });
    link.close();
    // Ctrl-C is the usual way to stop watching.
    if (!link.failure().isEmpty())
        return fail(kExitLink, link.failure());
    return kExitSuccess;
}

// A line that loses one frame in eight and turns a bit in another still settles every frame
// within ten requests almost always, with six on average.
constexpr int kReadRetries = 9;

enum OptionId { Timeout, Retries, ReadRetries, Settle, NoVerify, Count, Json, Once };

struct Command
{
    const char *name;
    QStringList arguments;
    const char *summary;
    QVector<OptionId> options;
    int (*run)(const Invocation &);
};

const QVector<Command> &commands()
{
    static const QVector<Command> all = {
        {"ports",
         {},
         "List the serial ports the system knows: name, description, USB IDs.",
         {},
         runPorts},
        {"read",
         {QStringLiteral("PORT"), QStringLiteral("FILE")},
         "Read the transmitter's settings into a 243-byte parameter file.",
         {Timeout, ReadRetries, Once},
         runRead},
        {"write",
         {QStringLiteral("PORT"), QStringLiteral("FILE")},
         "Write a parameter file to the transmitter, then read the settings back to check them.",
         {Timeout, Retries, Settle, NoVerify},
         runWrite},
        {"reset",
         {QStringLiteral("PORT")},
         "Write the factory settings to the transmitter, then read them back to check them.",
         {Timeout, Retries, Settle, NoVerify},
         runReset},
        {"show",
         {QStringLiteral("FILE")},
         "Print every setting of a parameter file.",
         {Json},
         runShow},
        {"diff",
         {QStringLiteral("FILE1"), QStringLiteral("FILE2")},
         "Print the settings in which two parameter files differ.",
         {},
         runDiff},
        {"monitor",
         {QStringLiteral("PORT")},
         "Print the live channel outputs, voltages and signal strength as CSV.",
         {Count},
         runMonitor},
    };
    return all;
}

QCommandLineOption option(OptionId id)
{
    switch (id) {
    case Timeout:
        return {QStringLiteral("timeout"),
                QStringLiteral("Wait this long for a whole answer to a read request (default %1).")
                    .arg(kRequestTimeoutMs),
                QStringLiteral("ms"), QString::number(kRequestTimeoutMs)};
    case Retries:
        return {QStringLiteral("retries"),
                QStringLiteral("Ask again this many times when an answer stays incomplete "
                               "(default %1).")
                    .arg(kRequestRetries),
                QStringLiteral("n"), QString::number(kRequestRetries)};
    case ReadRetries:
        // Each frame must come twice alike, so a read asks more often than a check does.
        return {QStringLiteral("retries"),
                QStringLiteral("Ask again up to this many times until every frame has come alike "
                               "in two answers, and more often than any other reading "
                               "(default %1).")
                    .arg(kReadRetries),
                QStringLiteral("n"), QString::number(kReadRetries)};
    case Settle:
        return {QStringLiteral("settle"),
                QStringLiteral("Wait this long after writing before reading back (default %1).")
                    .arg(kCheckSettleMs),
                QStringLiteral("ms"), QString::number(kCheckSettleMs)};
    case NoVerify:
        return {QStringLiteral("no-verify"), QStringLiteral("Do not read the settings back.")};
    case Count:
        return {QStringLiteral("count"),
                QStringLiteral("Stop after this many channel frames (default: at Ctrl-C)."),
                QStringLiteral("n")};
    case Json:
        return {QStringLiteral("json"),
                QStringLiteral("Print one JSON object with every field of the settings.")};
    case Once:
        return {QStringLiteral("once"),
                QStringLiteral("Take the first whole answer rather than wait for two that "
                               "agree.")};
    }
    return QCommandLineOption(QString());
}

QString programDescription()
{
    QString text = QStringLiteral("Backs up, restores, inspects and compares the settings of "
                                  "KORVA and TELUN transmitters.\n\nCommands:\n");
    for (const Command &command : commands()) {
        const QString synopsis = QString(QLatin1String(command.name) + QLatin1Char(' ') +
                                         command.arguments.join(QLatin1Char(' ')))
                                     .trimmed();
        text += QLatin1String("  ") + synopsis.leftJustified(20) + QLatin1Char(' ') +
                QLatin1String(command.summary) + QLatin1Char('\n');
    }
    text += QStringLiteral(
        "\nExit status: 0 success, 1 the files differ, 2 bad usage or bad file, 3 port or "
        "timeout trouble, 4 verification failed.\n\"korva-cli COMMAND --help\" describes a "
        "command.");
    return text;
}

QString argumentDescription(const QString &argument)
{
    if (argument == QLatin1String("PORT"))
        return QStringLiteral("Serial port: a name such as ttyUSB0 or a device path.");
    return QStringLiteral("Parameter file (243 bytes, as SAVE writes it).");
}

int usageError(const QString &message)
{
    return fail(kExitUsage, message);
}

// A whole number of at least `least` from an option, or -1.
int numberOption(const QCommandLineParser &parser, OptionId id, int least)
{
    bool ok = false;
    const int value = parser.value(option(id)).toInt(&ok);
    return ok && value >= least ? value : -1;
}

} // namespace

int runCommandLine(const QStringList &arguments, Interruption &interruption)
{
    QCommandLineParser top;
    top.setApplicationDescription(programDescription());
    const QCommandLineOption help = top.addHelpOption();
    const QCommandLineOption version = top.addVersionOption();
    top.addPositionalArgument(QStringLiteral("command"), QStringLiteral("One of the commands."),
                              QStringLiteral("COMMAND [options] [arguments]"));
    // Everything from the command on belongs to the command.
    top.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    if (!top.parse(arguments))
        return usageError(top.errorText());
    if (top.isSet(version)) {
        print(QLatin1String("korva-cli ") + QCoreApplication::applicationVersion() +
              QLatin1String("\n" KORVA_LICENSE_LINE "\n"));
        return kExitSuccess;
    }
    const QStringList rest = top.positionalArguments();
    if (rest.isEmpty()) {
        if (top.isSet(help)) {
            print(top.helpText());
            return kExitSuccess;
        }
        return usageError(QStringLiteral("no command given (see korva-cli --help)"));
    }
    const Command *command = nullptr;
    for (const Command &c : commands()) {
        if (rest.first() == QLatin1String(c.name))
            command = &c;
    }
    if (!command)
        return usageError(
            QStringLiteral("unknown command \"%1\" (see korva-cli --help)").arg(rest.first()));

    QCommandLineParser parser;
    parser.setApplicationDescription(QLatin1String(command->summary));
    const QCommandLineOption commandHelp = parser.addHelpOption();
    for (OptionId id : command->options)
        parser.addOption(option(id));
    parser.addPositionalArgument(QLatin1String(command->name), QStringLiteral("The command."),
                                 QLatin1String(command->name));
    for (const QString &argument : command->arguments)
        parser.addPositionalArgument(argument, argumentDescription(argument));
    const QString name = QLatin1String(command->name);
    if (!parser.parse(QStringList{arguments.value(0)} + rest))
        return usageError(name + QLatin1String(": ") + parser.errorText());
    if (parser.isSet(commandHelp)) {
        print(parser.helpText());
        return kExitSuccess;
    }
    const QStringList given = parser.positionalArguments().mid(1);
    if (given.size() != command->arguments.size()) {
        return usageError(name + QLatin1String(" takes ") +
                          (command->arguments.isEmpty()
                               ? QStringLiteral("no arguments")
                               : command->arguments.join(QLatin1Char(' '))) +
                          QLatin1String(" (see korva-cli ") + name + QLatin1String(" --help)"));
    }

    Invocation call{given, Settings(), interruption};
    for (OptionId id : command->options) {
        if (id == NoVerify || id == Json || id == Once ||
            (id == Count && !parser.isSet(option(id))))
            continue;
        const int value = numberOption(parser, id, id == Count ? 1 : 0);
        if (value < 0) {
            return usageError(QStringLiteral("%1: --%2 takes a whole number of at least %3")
                                  .arg(name, option(id).names().first())
                                  .arg(id == Count ? 1 : 0));
        }
        (id == Timeout                        ? call.settings.pacing.answerTimeoutMs
         : id == Retries || id == ReadRetries ? call.settings.pacing.retries
         : id == Settle                       ? call.settings.pacing.settleMs
                                              : call.settings.count) = value;
    }
    call.settings.verify = !command->options.contains(NoVerify) || !parser.isSet(option(NoVerify));
    call.settings.json = command->options.contains(Json) && parser.isSet(option(Json));
    call.settings.once = command->options.contains(Once) && parser.isSet(option(Once));
    return command->run(call);
}
