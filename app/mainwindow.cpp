// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "drselect.h"
#include "factory.h"
#include "formpages.h"
#include "frames.h"
#include "keyboard.h"
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

Q_LOGGING_CATEGORY(lcSerial, "korva.serial")
// Every frame the link takes, in hexadecimal: off unless enabled, for tools that watch the
// link over a long run.
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
const char kClosedLedTip[] = "Port closed";
const char kHeardLedTip[] = "Transmitter heard within the last second";
const char kSilentLedTip[] = "Port open, but nothing heard for a second or more";
constexpr int kCentre = 1000;

void showNote(const char *text)
{
    QMessageBox::about(nullptr, QStringLiteral("Note"), QString::fromLatin1(text));
}

// The text each frame is built into; SAVE files the three.
QString &frameBuffer(const FrameLayout &layout)
{
    return &layout == &kFrameS ? SendBuf1 : &layout == &kFrameG ? SendBuf2 : SendBuf3;
}

const char kTransmitterGoneNotice[] = "The transmitter went away: port closed";

// How long after the last frame the LED still says the transmitter is heard.
constexpr int kHeardMs = 1000;

void setLed(QToolButton *led, const char *image, const char *tip)
{
    QIcon icon;
    icon.addFile(QString::fromLatin1(image), QSize(), QIcon::Normal, QIcon::Off);
    led->setIcon(icon);
    led->setToolTip(QString::fromLatin1(tip));
}

// Open but silent: the closed LED dimmed, so that it reads as neither closed nor heard.
void setSilentLed(QToolButton *led)
{
    const QIcon red(QString::fromLatin1(kRedLed));
    const QSize size = led->iconSize();
    QIcon icon;
    icon.addPixmap(red.pixmap(size, QIcon::Disabled), QIcon::Normal, QIcon::Off);
    led->setIcon(icon);
    led->setToolTip(QString::fromLatin1(kSilentLedTip));
}

} // namespace

void waitMs(int ms)
{
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
    m_link.setObjectName(QStringLiteral("transmitterLink"));
    connect(&m_link, &TransmitterLink::frameTaken, this, &MainWindow::takeFrame);
    connect(&m_link, &TransmitterLink::framesTaken, this, &MainWindow::afterFrames);
    connect(&m_link, &TransmitterLink::lost, this, &MainWindow::onLinkLost);
    ui->toolButton_led->setToolTip(QString::fromLatin1(kClosedLedTip));
    m_heardTimer.setSingleShot(true);
    connect(&m_heardTimer, &QTimer::timeout, this, [this] { showLinkHeard(false); });
    connect(&m_link, &TransmitterLink::frameTaken, this, [this] {
        if (!portClosed())
            showLinkHeard(true);
    });
    connect(&m_link, &TransmitterLink::lineChanged, this, &MainWindow::updateButtons);
    connect(&m_link, &TransmitterLink::answerComplete, this, [this](const ParamStore &settings) {
        if (!m_link.checking())
            keepInHistory(buildParameterFile(settings), QStringLiteral("read"));
    });
    QCoreApplication::instance()->installEventFilter(this);

    // Any device path can be typed: pseudo-terminals and Bluetooth ports are often unlisted.
    ui->portNameBox->setEditable(true);
    ui->portNameBox->setInsertPolicy(QComboBox::NoInsert);
    refreshPortList();

    ui->tabWidget->setCurrentIndex(0);
    setUpKeyboard(*ui, this);
    // The window starts with the focus on none of its buttons: Space pressed before Tab
    // starts nothing. Tab goes on to READ.
    setFocus();

    displayTimer = new QTimer(this);
    displayTimer->start(kRefreshMs);
    connect(displayTimer, &QTimer::timeout, this, &MainWindow::ui_Display);
    setUpCheckMenu();
    setUpReadNotice();
}

MainWindow::~MainWindow()
{
    // The link closes the port without a word to the transmitter, but what was already
    // written, such as the "WWW" of a WRITE that the window waited for, still goes out.
    delete ui;
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // The pilot asked for this set, and the transmitter takes it only at the closing "WWW":
    // the window waits for the operation (seconds at most, and stays live meanwhile). Once
    // the set is out, a check that still reads it back ends here, quietly.
    if (m_link.lineHeld() && !m_quitting) {
        m_closeWhenDone = true;
        if (m_link.checking())
            m_link.end();
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
    const QString location = portLocation(port);
    if (!m_extraPorts.contains(location))
        m_extraPorts.append(location);
    addPortItem(location);
    ui->portNameBox->setCurrentIndex(ui->portNameBox->findData(location));
}

void MainWindow::addPortItem(const QString &location)
{
    // The box shows what tells the ports apart; OPEN takes the whole path kept with it.
    QComboBox *box = ui->portNameBox;
    if (box->findData(location) >= 0)
        return;
    box->addItem(shortPortName(location), location);
    box->setItemData(box->count() - 1, location, Qt::ToolTipRole);
}

QString MainWindow::chosenPort() const
{
    // A listed port by its short name, or whatever path was typed.
    const QString text = ui->portNameBox->currentText();
    const int item = ui->portNameBox->findText(text);
    return item >= 0 ? ui->portNameBox->itemData(item).toString() : text;
}

void MainWindow::refreshPortList()
{
    // The next OPEN must reach the same device as the last one, not whatever is listed first.
    const QString chosen = portLocation(chosenPort());
    ui->portNameBox->clear();
    QVector<PortChoice> listed;
    const auto ports = takePortScan();
    for (const QSerialPortInfo &info : ports)
        listed.append({info.systemLocation(), info.hasVendorIdentifier()});
    for (const QString &port : qAsConst(m_extraPorts))
        listed.append({port, false});
    for (const PortChoice &port : qAsConst(listed))
        addPortItem(port.location);
    int index = chosen.isEmpty() ? -1 : ui->portNameBox->findData(chosen);
    if (index < 0) {
        const int first = firstPortChoice(listed, rememberedPort());
        index = first < 0 ? -1 : ui->portNameBox->findData(listed.at(first).location);
    }
    if (index >= 0)
        ui->portNameBox->setCurrentIndex(index);
}

bool MainWindow::portClosed() const
{
    return ui->openButton->text() == QLatin1String(kClosedCaption);
}

void MainWindow::on_openButton_clicked()
{
    if (!portClosed()) {
        closePort();
        return;
    }
    const QString name = portLocation(chosenPort());
    if (!m_link.open(name)) {
        showOpenFailure(describeOpenFailure(m_link.port()));
        return;
    }
    bool listed = false;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        listed = listed || info.portName() == name || info.systemLocation() == name;
    if (!listed && !m_extraPorts.contains(name))
        m_extraPorts.append(name);

    ui->portNameBox->setEnabled(false);
    ui->openButton->setText(QString::fromLatin1(kOpenCaption));
    showLinkHeard(true);
    rememberPort(name);
}

void MainWindow::closePort()
{
    m_link.close();
    showPortClosed();
}

void MainWindow::onLinkLost()
{
    // Showing "connected" while every write vanishes would be a lie.
    qCDebug(lcSerial) << "port lost:" << m_link.failure();
    if (!portClosed())
        showPortClosed();
    showNotice(QString::fromLatin1(kTransmitterGoneNotice));
}

void MainWindow::showPortClosed()
{
    ParamStore &s = ParamData;
    for (IntField servo :
         {&ParamStore::Servo1, &ParamStore::Servo2, &ParamStore::Servo3, &ParamStore::Servo4,
          &ParamStore::Servo5, &ParamStore::Servo6, &ParamStore::Servo7, &ParamStore::Servo8})
        s.*servo = kCentre;
    // Readings from a link that ended would pass for live ones.
    s.TX_Volt = 0;
    s.EXT_Volt = 0;
    s.RSSI = 0;
    Servo_Display();
    Recieve_Display();

    ui->portNameBox->setEnabled(true);
    ui->openButton->setText(QString::fromLatin1(kClosedCaption));
    m_heardTimer.stop();
    setLed(ui->toolButton_led, kRedLed, kClosedLedTip);
    refreshPortList();
}

void MainWindow::showLinkHeard(bool heard)
{
    if (heard) {
        m_heardTimer.start(kHeardMs);
        setLed(ui->toolButton_led, kGreenLed, kHeardLedTip);
    } else {
        setSilentLed(ui->toolButton_led);
    }
}

void MainWindow::serialPort_readyRead()
{
    m_link.readAvailable();
}

void MainWindow::takeFrame(const DecodedFrame &frame)
{
    qCDebug(lcFrames, "%s", frame.bytes.toHex().constData());
    const bool settings =
        frame.family == FrameFamily::Parameter || frame.family == FrameFamily::Aux;
    // The answer to a check is the check's: the pages keep what the pilot wrote.
    if (settings && m_link.checking())
        return;
    if (frame.readFlag != 0)
        qDebug("ReadFlag:%d", frame.readFlag);
    storeFrame(frame, ParamData);
    if (frame.family == FrameFamily::Parameter) {
        // Settings show at once; live values wait for the next refresh. The mirrors and the
        // range check come first: the D/R boxes showing the entry before this frame would
        // write it back over the entry just received.
        afterFrames();
        ui_Display();
    }
    if (settings)
        syncReceived(frame.bytes);
}

void MainWindow::afterFrames()
{
    Dr_DataSelet();
    FalseSaveData();
}

int MainWindow::byteArrayToInt(QByteArray b, int a)
{
    return ::bigEndianWordAt(b, a);
}

bool MainWindow::guardButton(QWidget *button, int ms)
{
    m_guardedButtons.append(button);
    updateButtons();
    const bool linkKept = m_link.pause(ms);
    m_guardedButtons.removeOne(button);
    updateButtons();
    return linkKept;
}

bool MainWindow::guardOpenPort(QWidget *button, int ms)
{
    // A click made on a connection that ended meanwhile is not carried over to the next.
    if (!guardButton(button, ms))
        return false;
    if (portClosed()) {
        showNote("Please open the serial port!");
        return false;
    }
    return true;
}

void MainWindow::endSending(quint64 operation)
{
    if (m_link.endOperation(operation) && m_closeWhenDone)
        QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::on_toolButton_Read_clicked()
{
    if (m_link.lineHeld())
        return;
    const Busy busy(this);
    for (const LinkStep &step : kReadSequence) {
        const int pauseMs = m_link.pacing().of(step.pauseMs);
        if (step.kind == LinkStep::Guard) {
            if (!guardOpenPort(ui->toolButton_Read, pauseMs))
                return;
            // A WRITE, RESET or SAVE that began meanwhile holds the line until it is done.
            if (m_link.lineHeld())
                return;
        } else if (step.kind == LinkStep::Request) {
            // The answer is taken whenever it comes; this only gives it time.
            m_link.request(step.token);
            watchReadAnswer();
            waitMs(pauseMs);
        }
    }
}

void MainWindow::on_toolButton_Send_clicked()
{
    sendToTransmitter(ui->toolButton_Send, kWriteSequence);
}

void MainWindow::on_toolButton_Reset_clicked()
{
    sendToTransmitter(ui->toolButton_Reset, kResetSequence);
}

QByteArray MainWindow::buildFrame(const FrameLayout &layout)
{
    QString &buffer = frameBuffer(layout);
    buildFrameInto(layout, ParamData, buffer);
    return buffer.toLatin1();
}

void MainWindow::sendToTransmitter(QWidget *button, const LinkSequence &sequence)
{
    const quint64 operation = m_link.beginOperation();
    if (operation == 0)
        return;
    const QString done =
        &sequence == &kResetSequence ? QStringLiteral("reset") : QStringLiteral("written");
    TransmitterLink::Check check;
    QByteArray sent;
    ParamStore written = ParamData;
    {
        const auto finished = qScopeGuard([this, operation] { endSending(operation); });
        const Busy busy(this);
        TransmitterLink::SendSteps steps;
        steps.guard = [this, button](int ms) { return guardOpenPort(button, ms); };
        steps.factoryValues = [this] {
            RestData();
            RestData2();
        };
        steps.frame = [this](const FrameLayout &layout) { return buildFrame(layout); };
        if (!m_link.send(operation, sequence, steps).whole)
            return;
        syncSent();
        sent = (SendBuf1 + SendBuf2 + SendBuf3).toLatin1();
        // A window on its way out takes no answer: the set is out, and nobody would see it.
        if (!m_checkAfterWriting || m_closeWhenDone) {
            keepInHistory(sent, done);
            return;
        }
        parseParameterText(QString::fromLatin1(sent), written);
        check = m_link.check(operation, written);
    }
    switch (check.outcome) {
    case TransmitterLink::Check::Confirmed:
        keepInHistory(sent, done + QLatin1String(", checked"));
        break;
    case TransmitterLink::Check::Mismatch:
        keepInHistory(sent, done + QLatin1String(", not confirmed"));
        keepInHistory(buildParameterFile(check.held), QStringLiteral("transmitter after write"));
        break;
    case TransmitterLink::Check::NoAnswer:
    case TransmitterLink::Check::Ended:
        keepInHistory(sent, done + QLatin1String(", not checked"));
        break;
    }
    if (reportCheck(check, written))
        QTimer::singleShot(0, this,
                           [this, button, &sequence] { sendToTransmitter(button, sequence); });
}

void MainWindow::sendFrameAlone(const FrameLayout &layout)
{
    const quint64 operation = m_link.beginOperation();
    const auto finished = qScopeGuard([this, operation] { endSending(operation); });
    const LinkStep step{LinkStep::Frame, nullptr, &layout, kFrameWaitMs};
    TransmitterLink::SendSteps steps;
    steps.frame = [this](const FrameLayout &frame) { return buildFrame(frame); };
    m_link.send(operation, LinkSequence{&step, 1}, steps);
}

void MainWindow::RestData()
{
    applyFactoryFramesSGAndRates(ParamData);
}

void MainWindow::RestData2()
{
    applyFactoryFrameHExceptRates(ParamData);
}

void MainWindow::SendData1()
{
    sendFrameAlone(kFrameS);
}

void MainWindow::SendData2()
{
    sendFrameAlone(kFrameG);
}

void MainWindow::SendData3()
{
    sendFrameAlone(kFrameH);
}

void MainWindow::Dr_DataSelet()
{
    selectDualRateEntry(ParamData);
}

void MainWindow::FalseSaveData()
{
    replaceOutOfRangeValues(ParamData);
}
