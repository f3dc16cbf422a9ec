#include "mainwindow.h"
#include "resources.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char *argv[])
{
    // The form is laid out in fixed pixels; without scaling it is unreadable on 4K screens.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("korva-config"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVA_VERSION));
    korvaInitResources();

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Configures KORVA and TELUN transmitters over a serial port."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("port"),
                                 QStringLiteral("Serial port name or device path to select."),
                                 QStringLiteral("[port]"));
    parser.process(app);

    MainWindow window;
    const QStringList ports = parser.positionalArguments();
    if (!ports.isEmpty())
        window.addPort(ports.first());
    window.show();
    return app.exec();
}
