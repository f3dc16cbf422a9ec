// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder.h"
#include "linksequence.h"

#include <QElapsedTimer>
#include <QMainWindow>
#include <QSerialPort>
#include <QStringList>
#include <QVector>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
class QEventLoop;
class QSettings;
class QTimer;
QT_END_NAMESPACE

struct FrameLayout;
struct ParameterTextResult;

// Waits by running a local event loop, so the window stays live (frames are decoded, the
// panels refresh, clicks are handled) while an operation paces the transmitter.
void waitMs(int ms);

constexpr int kRefreshMs = 100; // panel refresh period

// The one window: every operation is one of its slots. The slot order is the meta-object
// method order the form's by-name binding and external tools rely on; keep it.
class MainWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    // Adds a port (name or device path) the system does not list, keeps it across list
    // refreshes, and selects it.
    void addPort(const QString &port);

    // From now on the last port that opened and the window's place are kept in these
    // settings; both are restored at once. Without settings the window remembers nothing.
    void useSettings(QSettings *settings);
    // The settings in the window differ from what was last read from, written to or reset in
    // the transmitter, or saved to or loaded from a file.
    bool settingsChanged() const;

protected:
    // While a WRITE, RESET or SAVE runs, the window stays until it has finished.
    void closeEvent(QCloseEvent *event) override;
    // Settles the receive buffer when no read has come to do it.
    void timerEvent(QTimerEvent *event) override;
    // Notes that the application quits: Qt 6 closes the windows first, and then the window
    // neither waits nor asks.
    bool eventFilter(QObject *watched, QEvent *event) override;

    // Where the slot bodies are:
    //   app/mainwindow.cpp       the port and its frames (on_openButton_clicked,
    //                            serialPort_readyRead, byteArrayToInt), the READ, WRITE and
    //                            RESET buttons, and RestData .. FalseSaveData
    //   files/paramfile.cpp      on_toolButton_Load_clicked, on_toolButton_Save_clicked
    //   panels/monitor.cpp       Servo_Display, Recieve_Display
    //   panels/refresh.cpp       Rev_Display .. THcure_Display, ui_Display
    //   panels/edithandlers.cpp  the on_spinBox_, on_comboBox_ and on_doubleSpinBox_ handlers;
    //                            the plain ones are made from the widget list, panels/panelrows.def
private slots:
    void on_openButton_clicked();
    void serialPort_readyRead();
    int byteArrayToInt(QByteArray b, int a);
    void on_toolButton_Read_clicked();
    void on_toolButton_Load_clicked();
    void on_toolButton_Send_clicked();
    void on_toolButton_Save_clicked();
    void on_toolButton_Reset_clicked();
    void Servo_Display();
    void Recieve_Display();
    void Rev_Display();
    void EPA_Display();
    void SubTrim_Display();
    void FS_Display();
    void Delay_Display();
    void Aux_Display();
    void DR_Display();
    void Parameter_Display();
    void Atti_Display();
    void Elev_Display();
    void Vtype_Display();
    void Prm_Display();
    void DRCure_Display();
    void THcure_Display();
    void ui_Display();
    void on_spinBox_sub1_valueChanged(int arg1);
    void on_spinBox_sub2_valueChanged(int arg1);
    void on_spinBox_sub3_valueChanged(int arg1);
    void on_spinBox_sub4_valueChanged(int arg1);
    void on_spinBox_sub5_valueChanged(int arg1);
    void on_spinBox_sub6_valueChanged(int arg1);
    void on_spinBox_sub7_valueChanged(int arg1);
    void on_spinBox_sub8_valueChanged(int arg1);
    void on_spinBox_Lepa1_valueChanged(int arg1);
    void on_spinBox_Lepa2_valueChanged(int arg1);
    void on_spinBox_Lepa3_valueChanged(int arg1);
    void on_spinBox_Lepa4_valueChanged(int arg1);
    void on_spinBox_Lepa5_valueChanged(int arg1);
    void on_spinBox_Lepa6_valueChanged(int arg1);
    void on_spinBox_Lepa7_valueChanged(int arg1);
    void on_spinBox_Lepa8_valueChanged(int arg1);
    void on_spinBox_Repa1_valueChanged(int arg1);
    void on_spinBox_Repa2_valueChanged(int arg1);
    void on_spinBox_Repa3_valueChanged(int arg1);
    void on_spinBox_Repa4_valueChanged(int arg1);
    void on_spinBox_Repa5_valueChanged(int arg1);
    void on_spinBox_Repa6_valueChanged(int arg1);
    void on_spinBox_Repa7_valueChanged(int arg1);
    void on_spinBox_Repa8_valueChanged(int arg1);
    void on_spinBox_FS1_valueChanged(int arg1);
    void on_spinBox_FS2_valueChanged(int arg1);
    void on_spinBox_FS3_valueChanged(int arg1);
    void on_spinBox_FS4_valueChanged(int arg1);
    void on_spinBox_FS5_valueChanged(int arg1);
    void on_spinBox_FS6_valueChanged(int arg1);
    void on_spinBox_FS7_valueChanged(int arg1);
    void on_spinBox_FS8_valueChanged(int arg1);
    void on_spinBox_delay1_valueChanged(int arg1);
    void on_spinBox_delay2_valueChanged(int arg1);
    void on_spinBox_delay3_valueChanged(int arg1);
    void on_spinBox_delay4_valueChanged(int arg1);
    void on_spinBox_delay5_valueChanged(int arg1);
    void on_spinBox_delay6_valueChanged(int arg1);
    void on_spinBox_delay7_valueChanged(int arg1);
    void on_comboBox_rev1_currentIndexChanged(int index);
    void on_comboBox_rev2_currentIndexChanged(int index);
    void on_comboBox_rev3_currentIndexChanged(int index);
    void on_comboBox_rev4_currentIndexChanged(int index);
    void on_comboBox_rev5_currentIndexChanged(int index);
    void on_comboBox_rev6_currentIndexChanged(int index);
    void on_comboBox_rev7_currentIndexChanged(int index);
    void on_comboBox_rev8_currentIndexChanged(int index);
    void on_comboBox_AUX5_currentIndexChanged(int index);
    void on_comboBox_AUX6_currentIndexChanged(int index);
    void on_comboBox_AUX7_currentIndexChanged(int index);
    void on_comboBox_AUX8_currentIndexChanged(int index);
    void on_comboBox_DR_MIX1_currentIndexChanged(int index);
    void on_comboBox_DR_CH1_currentIndexChanged(int index);
    void on_spinBox_DR_UP1_valueChanged(int arg1);
    void on_spinBox_DR_DOWN1_valueChanged(int arg1);
    void on_doubleSpinBox_Volt_valueChanged(double arg1);
    void on_spinBox_Mode_valueChanged(int arg1);
    void on_spinBox_Vertion_valueChanged(int arg1);
    void on_comboBox_AttiM_currentIndexChanged(int index);
    void on_spinBox_Atti1_valueChanged(int arg1);
    void on_spinBox_Atti2_valueChanged(int arg1);
    void on_spinBox_Atti3_valueChanged(int arg1);
    void on_spinBox_Atti4_valueChanged(int arg1);
    void on_spinBox_Atti5_valueChanged(int arg1);
    void on_spinBox_Atti6_valueChanged(int arg1);
    void on_comboBox_EleMix_currentIndexChanged(int index);
    void on_spinBox_Elev01_valueChanged(int arg1);
    void on_spinBox_Elev02_valueChanged(int arg1);
    void on_spinBox_Elev03_valueChanged(int arg1);
    void on_spinBox_Elev04_valueChanged(int arg1);
    void on_spinBox_Elev05_valueChanged(int arg1);
    void on_spinBox_Elev06_valueChanged(int arg1);
    void on_comboBox_RuMix_currentIndexChanged(int index);
    void on_spinBox_Ru1_valueChanged(int arg1);
    void on_spinBox_Ru2_valueChanged(int arg1);
    void on_spinBox_Ru3_valueChanged(int arg1);
    void on_spinBox_Ru4_valueChanged(int arg1);
    void on_comboBox_PRM01_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM01_Master_currentIndexChanged(int index);
    void on_comboBox_PRM01_Slave_currentIndexChanged(int index);
    void on_spinBox_PRM01_Data1_valueChanged(int arg1);
    void on_spinBox_PRM01_Data2_valueChanged(int arg1);
    void on_spinBox_PRM01_Data3_valueChanged(int arg1);
    void on_comboBox_PRM02_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM02_Master_currentIndexChanged(int index);
    void on_comboBox_PRM02_Slave_currentIndexChanged(int index);
    void on_spinBox_PRM02_Data1_valueChanged(int arg1);
    void on_spinBox_PRM02_Data2_valueChanged(int arg1);
    void on_spinBox_PRM02_Data3_valueChanged(int arg1);
    void on_comboBox_PRM03_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM03_Master_currentIndexChanged(int index);
    void on_comboBox_PRM03_Slave_currentIndexChanged(int index);
    void on_spinBox_PRM03_Data1_valueChanged(int arg1);
    void on_spinBox_PRM03_Data2_valueChanged(int arg1);
    void on_spinBox_PRM03_Data3_valueChanged(int arg1);
    void on_comboBox_DR_MIX2_currentIndexChanged(int index);
    void on_comboBox_DR_CH2_currentIndexChanged(int index);
    void on_comboBox_DR_SW2_currentIndexChanged(int index);
    void on_comboBox_DR_POSI_currentIndexChanged(int index);
    void on_spinBox_DR_RATE_valueChanged(int arg1);
    void on_spinBox_DR_EXP_valueChanged(int arg1);
    void on_comboBox_PRM04_Mix_currentIndexChanged(int index);
    void on_comboBox_PRM04_Master_currentIndexChanged(int index);
    void on_comboBox_PRM04_Slave_currentIndexChanged(int index);
    void on_spinBox_PRM04_Data1_valueChanged(int arg1);
    void on_spinBox_PRM04_Data2_valueChanged(int arg1);
    void on_spinBox_PRM04_Data3_valueChanged(int arg1);
    void on_comboBox_THCURE_MIX_currentIndexChanged(int index);
    void on_spinBox_THCURE_Data01_valueChanged(int arg1);
    void on_spinBox_THCURE_Data02_valueChanged(int arg1);
    void on_spinBox_THCURE_Data03_valueChanged(int arg1);
    void on_spinBox_THCURE_Data04_valueChanged(int arg1);
    void on_spinBox_THCURE_Data05_valueChanged(int arg1);
    void on_spinBox_THCURE_Data06_valueChanged(int arg1);
    void on_spinBox_THCURE_Data07_valueChanged(int arg1);
    void on_spinBox_delay8_valueChanged(int arg1);
    void RestData();
    void RestData2();
    void SendData1();
    void SendData2();
    void SendData3();
    void Dr_DataSelet();
    void FalseSaveData();

private:
    void refreshPortList();
    void closePort(bool sayGoodbye);
    void onPortError(QSerialPort::SerialPortError error);
    void writeToPort(const char *text);
    // Hands what QSerialPort still queues to the driver, which close() would discard.
    void drainPort();
    bool portClosed() const;
    // What happens to each frame the receive buffer takes, and after a batch of them.
    void takeFrame(const DecodedFrame &frame);
    void afterFrames();
    // Bytes the receive buffer holds are settled when their wait is over, read or not, and
    // when the port closes.
    void scheduleSettling();
    void settleReceived(bool portClosing);

    // Every operation belongs to the link it was started on. A link ends when the port
    // opens or closes (by the user or because the device went away), or when the application
    // quits under a running operation: from then on that operation sends nothing, anywhere.
    void endLink();
    // Waits like waitMs, but returns early when the link ends. True when the whole wait
    // passed on the same link.
    bool waitOnLink(int ms);
    // Disables the button for the guard time; true when the link lasted through it.
    bool guardButton(QWidget *button, int ms = kButtonGuardMs);

    // WRITE, RESET and SAVE put frames on the wire one at a time. beginSending() binds one to
    // the current link and returns that link, or 0 while another one is running.
    quint64 beginSending(QWidget *button);
    void endSending(quint64 link);
    // A WRITE, RESET or SAVE runs and its link has not ended.
    bool sending() const { return m_sendingLink != 0 && m_sendingLink == m_link; }
    // The operation bound to `link` still owns the line: its link has not ended and no other
    // operation has taken the line since (one may, inside a modal dialog of the first).
    bool ownsLine(quint64 link) const { return link != 0 && link == m_sendingLink && sending(); }
    // Builds the frame into its buffer; puts it on the line, paced, only for the operation
    // that owns the line.
    void sendFrame(const FrameLayout &layout, QString &buffer, int pauseMs, quint64 link);
    // READ, WRITE and RESET: walks the operation's steps, started from `button`; `link` is
    // the operation's own for WRITE and RESET, 0 for READ, which only borrows the line. True
    // when every step ran.
    bool runSequence(const LinkSequence &sequence, QWidget *button, quint64 link);
    // WRITE or RESET, which hold the line until their last frame.
    void sendToTransmitter(QWidget *button, const LinkSequence &sequence);

    // Shows the busy cursor while READ, WRITE, RESET or SAVE runs; they nest.
    class Busy
    {
    public:
        explicit Busy(MainWindow *window);
        ~Busy();
        Q_DISABLE_COPY(Busy)

    private:
        MainWindow *m_window;
    };
    // Enables each top-bar button unless its guard runs or its click would be ignored.
    void updateButtons();
    void rememberPort(const QString &port);
    void rememberWindow();
    // Asks what to do with changed settings; true when the window may close now.
    bool confirmClose();
    // What the transmitter or a file now holds, for settingsChanged(): a settings frame that
    // was received, the three frames that went out or were filed, the frames a file gave.
    void syncReceived(const QByteArray &frame);
    void syncSent();
    void syncLoaded(const ParameterTextResult &found);

    Ui::MainWindow *ui = nullptr;
    QSerialPort serialPort;
    QTimer *displayTimer = nullptr;
    QString fileName;

    FrameAssembler m_assembler;
    QElapsedTimer m_clock;
    int m_settleTimer = 0;               // timer id; a plain timer, not a child QTimer
    QStringList m_extraPorts;            // ports typed or given on the command line
    quint64 m_link = 1;                  // the current link; see endLink()
    quint64 m_sendingLink = 0;           // link of the running WRITE, RESET or SAVE, or 0
    QVector<QEventLoop *> m_linkWaits;   // waits that end with the link
    quint64 m_framesLink = 0;            // the operation whose frames SendData1..3 build (SAVE)
    QByteArray *m_framesFiled = nullptr; // where SAVE keeps the frames as its link built them
    bool m_closeWhenDone = false;        // the window was closed during a WRITE, RESET or SAVE

    QWidget *m_sendingButton = nullptr;  // button of the running WRITE, RESET or SAVE
    QVector<QWidget *> m_guardedButtons; // buttons held back by their guard
    int m_busy = 0;                      // operations running, nested ones included
    QSettings *m_settings = nullptr;     // not owned
    bool m_quitting = false;             // the application has been asked to quit
    ParamStore m_synced = ParamData;     // the settings as last read, written, saved or loaded
};

// Module-level state shared by the operations, alive for the whole run.
extern QString SendBuf1; // last built S frame, 81 characters
extern QString SendBuf2; // last built G frame
extern QString SendBuf3; // last built H frame
extern QString FileText; // text of the last loaded parameter file
