// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "drselect.h"
#include "factory.h"
#include "formpages.h"
#include "frames.h"
#include "openfailure.h"
#include "portscan.h"
#include "rangecheck.h"

#include <QCloseEvent>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScopeGuard>
#include <QSerialPortInfo>
#include <QTimer>
#include <QTimerEvent>

#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
#include <QThread>
#include <sys/ioctl.h>
#include <termios.h>
#endif

Q_LOGGING_CATEGORY(lcSerial, "korva.serial")
// Every frame the receive buffer takes, in hexadecimal: off unless enabled, for tools that
// watch the link over a long run.
Q_LOGGING_CATEGORY(lcFrames, "korva.frames", QtWarningMsg)

QString SendBuf1 = QLatin1String(kFrameS.tmpl);
QString SendBuf2 = QLatin1String(kFrameG.tmpl);
QString SendBuf3 = QLatin1String(kFrameH.tmpl);
QString FileText;

namespace {

const char kClosedCaption[] = "OPEN";
const char kOpenCaption[] = "CLOSE";
const char kRedLed[] = ":/myImage/images/red.png";
const char kGreenLed[] = ":/myImage/images/green.png";
constexpr int kCentre = 1000;
constexpr int kDrainMs = 500; // bound for each step of handing queued bytes to the driver

void showNote(const char *text)
{
    QMessageBox::about(nullptr, QStringLiteral("Note"), QString::fromLatin1(text));
}

// The text each frame is built into; SAVE files the three.
QString &frameBuffer(const FrameLayout &layout)
{
    return &layout == &kFrameS ? SendBuf1 : &layout == &kFrameG ? SendBuf2 : SendBuf3;
}

void setLed(QToolButton *led, const char *image)
{
    QIcon icon;
    icon.addFile(QString::fromLatin1(image), QSize(), QIcon::Normal, QIcon::Off);
    led->setIcon(icon);
}

} // namespace

void waitMs(int ms)
{
    // Once the application quits this returns at once; sleeping out the rest would only
    // freeze the window. Operations that pace the transmitter stop then (waitOnLink).
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    // The port list below is read on another thread while the form is built.
    startPortScan();
    FormPages::setupUi(*ui, this);
    connect(&serialPort, &QSerialPort::readyRead, this, &MainWindow::serialPort_readyRead);
    connect(&serialPort, &QSerialPort::errorOccurred, this, &MainWindow::onPortError);
    QCoreApplication::instance()->installEventFilter(this);

    // Any device path can be typed: pseudo-terminals and Bluetooth ports are often unlisted.
    ui->portNameBox->setEditable(true);
    ui->portNameBox->setInsertPolicy(QComboBox::NoInsert);
    refreshPortList();

    ui->tabWidget->setCurrentIndex(0);

    displayTimer = new QTimer(this);
    displayTimer->start(kRefreshMs);
    connect(displayTimer, &QTimer::timeout, this, &MainWindow::ui_Display);
    m_clock.start();
}

MainWindow::~MainWindow()
{
    delete ui;
    // serialPort closes itself without a word to the transmitter, but what was already
    // written, such as the "WWW" of a WRITE that the window waited for, still goes out.
    drainPort();
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The pilot asked for this set, and the transmitter takes it only at the closing "WWW":
    // the window waits for the operation (seconds at most, and stays live meanwhile).
    if (sending() && !m_quitting) {
        m_closeWhenDone = true;
        event->ignore();
        return;
    }
    m_closeWhenDone = false;
    if (!m_quitting && !confirmClose()) {
        event->ignore();
        return;
    }
    rememberWindow();
    QMainWindow::closeEvent(event);
}

void MainWindow::addPort(const QString &port)
{
    if (port.isEmpty())
        return;
    if (!m_extraPorts.contains(port))
        m_extraPorts.append(port);
    if (ui->portNameBox->findText(port) < 0)
        ui->portNameBox->addItem(port);
    ui->portNameBox->setCurrentIndex(ui->portNameBox->findText(port));
}

void MainWindow::refreshPortList()
{
    // The next OPEN must reach the same device as the last one, not whatever is listed first.
    QString chosen = ui->portNameBox->currentText();
    ui->portNameBox->clear();
    const auto ports = takePortScan();
    for (const QSerialPortInfo &info : ports) {
        ui->portNameBox->addItem(info.portName());
        if (info.systemLocation() == chosen)
            chosen = info.portName();
    }
    for (const QString &port : qAsConst(m_extraPorts)) {
        if (ui->portNameBox->findText(port) < 0)
            ui->portNameBox->addItem(port);
    }
    const int index = ui->portNameBox->findText(chosen);
    if (index >= 0)
        ui->portNameBox->setCurrentIndex(index);
}

bool MainWindow::portClosed() const
{
    return ui->openButton->text() == QLatin1String(kClosedCaption);
}

void MainWindow::writeToPort(const char *text)
{
    if (serialPort.isOpen())
        serialPort.write(text);
}

void MainWindow::drainPort()
{
    if (!serialPort.isOpen())
        return;
    serialPort.flush();
    while (serialPort.bytesToWrite() > 0 && serialPort.waitForBytesWritten(kDrainMs)) {
    }
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0) && defined(Q_OS_UNIX)
    // Qt 6 puts back the line settings the device had before it opened, at once and without
    // a way to keep it from doing so: let the driver send what it holds at 115200 first.
    QElapsedTimer waited;
    waited.start();
    int queued = 0;
    while (::ioctl(int(serialPort.handle()), TIOCOUTQ, &queued) == 0 && queued > 0 &&
           waited.elapsed() < kDrainMs)
        QThread::msleep(1);
#endif
}

void MainWindow::endLink()
{
    ++m_link;
    for (QEventLoop *loop : qAsConst(m_linkWaits))
        loop->quit();
    updateButtons();
}

bool MainWindow::waitOnLink(int ms)
{
    const quint64 link = m_link;
    bool waited = false;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, [&] {
        waited = true;
        loop.quit();
    });
    m_linkWaits.append(&loop);
    loop.exec();
    m_linkWaits.removeOne(&loop);
    if (m_link != link)
        return false;
    if (!waited) {
        // The application is quitting: what is left of the operation could only go out
        // unpaced, and a set cut short must not be followed by its "WWW". It ends here.
        endLink();
        return false;
    }
    return true;
}

void MainWindow::on_openButton_clicked()
{
    if (!portClosed()) {
        closePort(true);
        return;
    }
    const QString name = ui->portNameBox->currentText();
    serialPort.setPortName(name);
    serialPort.setBaudRate(QSerialPort::Baud115200, QSerialPort::AllDirections);
    serialPort.setDataBits(QSerialPort::Data8);
    serialPort.setParity(QSerialPort::NoParity);
    serialPort.setStopBits(QSerialPort::OneStop);
    serialPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!serialPort.open(QIODevice::ReadWrite)) {
        qCDebug(lcSerial) << "open failed:" << name << serialPort.errorString();
        showOpenFailure(describeOpenFailure(serialPort));
        return;
    }
    // Restoring the old line settings on close would change the baud rate under bytes
    // still leaving the driver.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    serialPort.setSettingsRestoredOnClose(false);
    QT_WARNING_POP
#endif

    bool listed = false;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        listed = listed || info.portName() == name || info.systemLocation() == name;
    if (!listed && !m_extraPorts.contains(name))
        m_extraPorts.append(name);

    endLink();
    m_assembler.clear();
    ui->portNameBox->setEnabled(false);
    ui->openButton->setText(QString::fromLatin1(kOpenCaption));
    setLed(ui->toolButton_led, kGreenLed);
    writeToPort(kGreetingToken);
    rememberPort(name);
}

void MainWindow::closePort(bool sayGoodbye)
{
    endLink();
    if (sayGoodbye) {
        writeToPort(kGoodbyeToken);
        drainPort();
    }
    serialPort.close();
    // A frame that was waiting only for the next read arrived whole.
    settleReceived(true);

    ParamStore &s = ParamData;
    for (IntField servo :
         {&ParamStore::Servo1, &ParamStore::Servo2, &ParamStore::Servo3, &ParamStore::Servo4,
          &ParamStore::Servo5, &ParamStore::Servo6, &ParamStore::Servo7, &ParamStore::Servo8})
        s.*servo = kCentre;
    Servo_Display();

    ui->portNameBox->setEnabled(true);
    ui->openButton->setText(QString::fromLatin1(kClosedCaption));
    setLed(ui->toolButton_led, kRedLed);
    refreshPortList();
}

void MainWindow::onPortError(QSerialPort::SerialPortError error)
{
    // The device went away (unplugged, or the other end of a pseudo-terminal closed):
    // showing "connected" while every write vanishes would be a lie.
    if (error == QSerialPort::ResourceError && !portClosed()) {
        qCDebug(lcSerial) << "port lost:" << serialPort.errorString();
        closePort(false);
    }
}

void MainWindow::serialPort_readyRead()
{
    const QByteArray chunk = serialPort.readAll();
    if (chunk.isEmpty())
        return;
    m_assembler.feed(chunk, m_clock.elapsed(), ParamData,
                     [this](const DecodedFrame &frame) { takeFrame(frame); });
    afterFrames();
    writeToPort(kAckToken);
    scheduleSettling();
}

void MainWindow::takeFrame(const DecodedFrame &frame)
{
    qCDebug(lcFrames, "%s", frame.bytes.toHex().constData());
    if (frame.readFlag != 0)
        qDebug("ReadFlag:%d", frame.readFlag);
    // Settings show at once; live values wait for the next refresh.
    if (frame.family == FrameFamily::Parameter)
        ui_Display();
    if (frame.family == FrameFamily::Parameter || frame.family == FrameFamily::Aux)
        syncReceived(frame.bytes);
}

void MainWindow::afterFrames()
{
    Dr_DataSelet();
    FalseSaveData();
}

void MainWindow::scheduleSettling()
{
    if (m_settleTimer != 0)
        killTimer(m_settleTimer);
    const qint64 wait = m_assembler.msUntilExpiry(m_clock.elapsed());
    m_settleTimer = wait < 0 ? 0 : startTimer(int(wait), Qt::PreciseTimer);
}

void MainWindow::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != m_settleTimer) {
        QMainWindow::timerEvent(event);
        return;
    }
    // The last frame of a burst may have waited for a read that did not come.
    settleReceived(false);
}

void MainWindow::settleReceived(bool portClosing)
{
    if (m_settleTimer != 0)
        killTimer(m_settleTimer);
    m_settleTimer = 0;
    bool took = false;
    const auto onFrame = [this, &took](const DecodedFrame &frame) {
        took = true;
        takeFrame(frame);
    };
    if (portClosing)
        m_assembler.finish(ParamData, onFrame);
    else
        m_assembler.expire(m_clock.elapsed(), ParamData, onFrame);
    if (took)
        afterFrames();
    if (!portClosing)
        scheduleSettling();
}

int MainWindow::byteArrayToInt(QByteArray b, int a)
{
    return ::bigEndianWordAt(b, a);
}

bool MainWindow::guardButton(QWidget *button, int ms)
{
    m_guardedButtons.append(button);
    updateButtons();
    const bool linkKept = waitOnLink(ms);
    m_guardedButtons.removeOne(button);
    updateButtons();
    return linkKept;
}

quint64 MainWindow::beginSending(QWidget *button)
{
    if (sending())
        return 0;
    m_sendingLink = m_link;
    m_sendingButton = button;
    updateButtons();
    return m_link;
}

void MainWindow::endSending(quint64 link)
{
    // An operation whose link ended may come back after a newer one took the mark.
    if (m_sendingLink != link)
        return;
    m_sendingLink = 0;
    m_sendingButton = nullptr;
    updateButtons();
    if (m_closeWhenDone)
        QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::on_toolButton_Read_clicked()
{
    if (sending())
        return;
    const Busy busy(this);
    runSequence(kReadSequence, ui->toolButton_Read, 0);
}

void MainWindow::on_toolButton_Send_clicked()
{
    sendToTransmitter(ui->toolButton_Send, kWriteSequence);
}

void MainWindow::on_toolButton_Reset_clicked()
{
    sendToTransmitter(ui->toolButton_Reset, kResetSequence);
}

void MainWindow::sendToTransmitter(QWidget *button, const LinkSequence &sequence)
{
    const quint64 link = beginSending(button);
    if (link == 0)
        return;
    const auto done = qScopeGuard([this, link] { endSending(link); });
    const Busy busy(this);
    if (runSequence(sequence, button, link))
        syncSent();
}

bool MainWindow::runSequence(const LinkSequence &sequence, QWidget *button, quint64 link)
{
    // A WRITE or RESET holds the line from its start; a READ only borrows it.
    const bool holdsLine = link != 0;
    for (const LinkStep &step : sequence) {
        switch (step.kind) {
        case LinkStep::Guard:
            // A click made on a connection that ended meanwhile is not carried over to the next.
            if (!guardButton(button, step.pauseMs))
                return false;
            if (portClosed()) {
                showNote("Please open the serial port!");
                return false;
            }
            // A WRITE, RESET or SAVE that began meanwhile owns the line until its last frame.
            if (!holdsLine && sending())
                return false;
            break;
        case LinkStep::FactoryValues:
            RestData();
            RestData2();
            break;
        case LinkStep::Frame:
            sendFrame(*step.frame, frameBuffer(*step.frame), step.pauseMs, link);
            break;
        case LinkStep::Send:
        case LinkStep::Request:
            // The transmitter commits what it has at "WWW": never after a set cut short.
            if (holdsLine && !ownsLine(link))
                return false;
            writeToPort(step.token);
            if (step.pauseMs > 0)
                waitMs(step.pauseMs);
            break;
        }
    }
    return true;
}

void MainWindow::RestData()
{
    applyFactoryFramesSGAndRates(ParamData);
}

void MainWindow::RestData2()
{
    applyFactoryFrameHExceptRates(ParamData);
}

void MainWindow::sendFrame(const FrameLayout &layout, QString &buffer, int pauseMs, quint64 link)
{
    buildFrameInto(layout, ParamData, buffer);
    // SAVE files the frames as they were built for it: a WRITE begun on a newer line while
    // this one waits builds into the same buffers.
    if (m_framesFiled && link == m_framesLink)
        m_framesFiled->append(buffer.toLatin1());
    // Once the operation's link has ended the frame is only built: SAVE still files it.
    if (!ownsLine(link))
        return;
    if (serialPort.isOpen()) { // a save with the port closed still paces itself the same way
        const QByteArray bytes = buffer.toUtf8();
        serialPort.write(bytes.constData(), bytes.size());
    }
    waitOnLink(pauseMs);
}

void MainWindow::SendData1()
{
    sendFrame(kFrameS, frameBuffer(kFrameS), kFrameWaitMs, m_framesLink);
}

void MainWindow::SendData2()
{
    sendFrame(kFrameG, frameBuffer(kFrameG), kFrameWaitMs, m_framesLink);
}

void MainWindow::SendData3()
{
    sendFrame(kFrameH, frameBuffer(kFrameH), kFrameWaitMs, m_framesLink);
}

void MainWindow::Dr_DataSelet()
{
    selectDualRateEntry(ParamData);
}

void MainWindow::FalseSaveData()
{
    replaceOutOfRangeValues(ParamData);
}
