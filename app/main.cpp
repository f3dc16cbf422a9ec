// SPDX-License-Identifier: GPL-3.0-or-later
#include "desktopscale.h"
#include "formfont.h"
#include "mainwindow.h"
#include "resources.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <QVector>

#include <cstdio>
#include <cstdlib>

namespace {

const char kProgram[] = "korva-config";

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Configures KORVA and TELUN transmitters over a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("no-check"),
                      QStringLiteral("Do not read the settings back after WRITE and RESET.")});
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Serial port name or device path to select."),
                                 QStringLiteral("[port]"));
}

// Qt picks a windowing system by itself unless it is told one; without any display to reach
// it would print a page about plugins and abort.
bool displayNamed(int argc, char *argv[])
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            return true;
    }
    return !qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") ||
           !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    Q_UNUSED(argc)
    Q_UNUSED(argv)
    return true;
#endif
}

void sayNoDisplay(const char *why)
{
    std::fprintf(stderr,
                 "%s: cannot open a window: %s. Start it on a desktop session "
                 "(or under xvfb-run).\n",
                 kProgram, why);
}

// While the application object comes up: a display that cannot be reached ends the program
// with one line instead of Qt's page about plugins and a core dump. What the windowing
// system said is held back until it is clear that it was not that.
QtMessageHandler previousHandler = nullptr;
struct HeldMessage
{
    QtMsgType type;
    QByteArray category;
    QString text;
};
QVector<HeldMessage> heldMessages;

void startupMessages(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type == QtFatalMsg) {
        sayNoDisplay("no display could be reached");
        std::_Exit(1);
    }
    if (context.category && qstrncmp(context.category, "qt.qpa", 6) == 0) {
        heldMessages.append({type, QByteArray(context.category), message});
        return;
    }
    if (previousHandler)
        previousHandler(type, context, message);
}

void releaseHeldMessages()
{
    qInstallMessageHandler(previousHandler);
    for (const HeldMessage &held : qAsConst(heldMessages)) {
        const QMessageLogContext context(nullptr, 0, nullptr, held.category.constData());
        if (previousHandler)
            previousHandler(held.type, context, held.text);
    }
    heldMessages.clear();
}

} // namespace

int main(int argc, char *argv[])
{
    if (!displayNamed(argc, argv)) {
        // --help and --version still answer; anything else needs a window.
        QCoreApplication app(argc, argv);
        QCoreApplication::setApplicationName(QLatin1String(kProgram));
        QCoreApplication::setApplicationVersion(
            QStringLiteral(KORVA_VERSION "\n" KORVA_LICENSE_LINE));
        QCommandLineParser parser;
        describeOptions(parser);
        parser.process(app);
        sayNoDisplay("no display is set (DISPLAY and WAYLAND_DISPLAY are empty)");
        return 1;
    }

#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    // The form is laid out in fixed pixels; without scaling it is unreadable on 4K screens.
    // Qt 6 always scales.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
#endif
    chooseScaleRounding();
    previousHandler = qInstallMessageHandler(startupMessages);
    QApplication app(argc, argv);
    releaseHeldMessages();
    QCoreApplication::setApplicationName(QLatin1String(kProgram));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION "\n" KORVA_LICENSE_LINE));
    QGuiApplication::setDesktopFileName(QStringLiteral("org.korva.config"));
    korvaInitResources();
    useFormFont();

    QCommandLineParser parser;
    describeOptions(parser);
    parser.process(app);

    // ~/.config/korva-config/korva-config.conf: the last port that opened, the window's place.
    QSettings settings(QSettings::NativeFormat, QSettings::UserScope, QLatin1String(kProgram),
                       QLatin1String(kProgram));
    MainWindow window;
    window.useSettings(&settings);
    if (parser.isSet(QStringLiteral("no-check")))
        window.setCheckAfterWriting(false);
    // ~/.local/share/korva-config/history: every set read, written, reset or loaded.
    window.useHistory(SetHistory::defaultFolder());
    // A port named on the command line wins over the remembered one.
    const QStringList ports = parser.positionalArguments();
    if (!ports.isEmpty())
        window.addPort(ports.first());
    window.show();
    return app.exec();
}
