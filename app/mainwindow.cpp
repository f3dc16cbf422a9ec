#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "drselect.h"
#include "factory.h"
#include "frames.h"
#include "rangecheck.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QIcon>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QScopedValueRollback>
#include <QSerialPortInfo>
#include <QThread>
#include <QTimer>

Q_LOGGING_CATEGORY(lcSerial, "korva.serial")

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
constexpr int kDrainMs = 500; // upper bound for handing "DIS" to the driver before closing

void showNote(const char *text)
{
    QMessageBox::about(nullptr, QStringLiteral("Note"), QString::fromLatin1(text));
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
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    // When the application quits (the window closed mid-WRITE), its event loops stop at once;
    // the transmitter still needs its pause between frames.
    const qint64 left = ms - elapsed.elapsed();
    if (left > 0)
        QThread::msleep(static_cast<unsigned long>(left));
}

MainWindow::MainWindow(QWidget *parent)
    : QMainWindow(parent)
    , ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    connect(&serialPort, &QSerialPort::readyRead, this, &MainWindow::serialPort_readyRead);
    connect(&serialPort, &QSerialPort::errorOccurred, this, &MainWindow::onPortError);

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
    // serialPort closes itself without a word to the transmitter.
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
    const auto ports = QSerialPortInfo::availablePorts();
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
    // The port can close under a running operation (the user closed it, or the device went
    // away during a wait); what was meant for it then goes nowhere, as on a pulled cable.
    if (serialPort.isOpen())
        serialPort.write(text);
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
        showNote("Cannot open the serial port!");
        return;
    }
    // Restoring the old line settings on close would change the baud rate under bytes
    // still leaving the driver.
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    serialPort.setSettingsRestoredOnClose(false);
    QT_WARNING_POP

    bool listed = false;
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : ports)
        listed = listed || info.portName() == name || info.systemLocation() == name;
    if (!listed && !m_extraPorts.contains(name))
        m_extraPorts.append(name);

    m_assembler.clear();
    ui->portNameBox->setEnabled(false);
    ui->openButton->setText(QString::fromLatin1(kOpenCaption));
    setLed(ui->toolButton_led, kGreenLed);
    writeToPort("OK");
}

void MainWindow::closePort(bool sayGoodbye)
{
    if (sayGoodbye) {
        writeToPort("DIS");
        // close() discards what QSerialPort still queues; hand it to the driver first.
        serialPort.flush();
        if (serialPort.bytesToWrite() > 0)
            serialPort.waitForBytesWritten(kDrainMs);
    }
    serialPort.close();

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
    m_assembler.feed(chunk, m_clock.elapsed(), ParamData, [this](const DecodedFrame &frame) {
        if (frame.readFlag != 0)
            qDebug("ReadFlag:%d", frame.readFlag);
        // Settings show at once; live values wait for the next refresh.
        if (frame.family == FrameFamily::Parameter)
            ui_Display();
    });
    Dr_DataSelet();
    FalseSaveData();
    writeToPort("WWW");
}

int MainWindow::byteArrayToInt(QByteArray b, int a)
{
    return ::byteArrayToInt(b, a);
}

void MainWindow::guardButton(QWidget *button)
{
    button->setEnabled(false);
    waitMs(kButtonGuardMs);
    button->setEnabled(true);
}

void MainWindow::on_toolButton_Read_clicked()
{
    if (m_sending)
        return;
    guardButton(ui->toolButton_Read);
    if (portClosed()) {
        showNote("Please open the serial port!");
        return;
    }
    // A WRITE, RESET or SAVE that began meanwhile owns the line until its last frame.
    if (m_sending)
        return;
    writeToPort("RR");
    waitMs(kReadAnswerMs);
}

void MainWindow::sendFrames()
{
    SendData1();
    SendData2();
    SendData3();
}

void MainWindow::on_toolButton_Send_clicked()
{
    sendToTransmitter(ui->toolButton_Send, false);
}

void MainWindow::on_toolButton_Reset_clicked()
{
    sendToTransmitter(ui->toolButton_Reset, true);
}

void MainWindow::sendToTransmitter(QWidget *button, bool factoryValues)
{
    if (m_sending)
        return;
    QScopedValueRollback<bool> busy(m_sending, true);
    guardButton(button);
    if (portClosed()) {
        m_sending = false;
        showNote("Please open the serial port!");
        return;
    }
    if (factoryValues) {
        RestData();
        RestData2();
    }
    sendFrames();
    writeToPort("WWW");
}

void MainWindow::RestData()
{
    restData(ParamData);
}

void MainWindow::RestData2()
{
    restData2(ParamData);
}

namespace {

void sendFrame(QSerialPort &port, const FrameLayout &layout, QString &buffer)
{
    buildFrameInto(layout, ParamData, buffer);
    const QByteArray bytes = buffer.toUtf8();
    if (port.isOpen()) // a save with the port closed still paces itself the same way
        port.write(bytes.constData(), bytes.size());
    waitMs(kFrameWaitMs);
}

} // namespace

void MainWindow::SendData1()
{
    sendFrame(serialPort, kFrameS, SendBuf1);
}

void MainWindow::SendData2()
{
    sendFrame(serialPort, kFrameG, SendBuf2);
}

void MainWindow::SendData3()
{
    sendFrame(serialPort, kFrameH, SendBuf3);
}

void MainWindow::Dr_DataSelet()
{
    drDataSelet(ParamData);
}

void MainWindow::FalseSaveData()
{
    falseSaveData(ParamData);
}
