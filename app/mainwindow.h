// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "decoder.h"
#include "linksequence.h"
#include "sethistory.h"
#include "transmitterlink.h"

#include <QMainWindow>
#include <QStringList>
#include <QTimer>
#include <QVector>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
class QAction;
class QLabel;
class QMenu;
class QSettings;
QT_END_NAMESPACE

struct FrameLayout;
struct ParameterTextResult;

// Waits by running a local event loop, so the window stays live (frames are decoded, the
// panels refresh, clicks are handled) while an operation paces the transmitter.
void waitMs(int ms);

constexpr int kRefreshMs = 100; // panel refresh period

// The lines that tell the pilot of values the range check replaced, under their heading;
// none when nothing was replaced.
QStringList replacementNotice(const QStringList &replaced);

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

    // After WRITE and RESET the set is read back and compared with what was sent. On unless
    // turned off; the pilot's choice is kept in the settings of useSettings().
    void setCheckAfterWriting(bool check);
    bool checksAfterWriting() const { return m_checkAfterWriting; }
    // From now on every set the window sees is kept in this folder; none without one.
    void useHistory(const QString &folder);

protected:
    // While a WRITE, RESET or SAVE runs, the window stays until it has finished.
    void closeEvent(QCloseEvent *event) override;
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
    void addPortItem(const QString &location);
    // The path OPEN uses: the chosen item's, or the one typed.
    QString chosenPort() const;
    // The user's CLOSE, and what the window shows once the port is closed, however it closed.
    void closePort();
    void showPortClosed();
    void onLinkLost();
    bool portClosed() const;
    // What happens to each frame the link takes, and after a chunk of them.
    void takeFrame(const DecodedFrame &frame);
    void afterFrames();

    // Disables the button for the guard time; true when the link lasted through it.
    bool guardButton(QWidget *button, int ms);
    // The guard of READ, WRITE and RESET: then the port must be open.
    bool guardOpenPort(QWidget *button, int ms);
    // WRITE, RESET and SAVE hold the line one at a time (TransmitterLink::beginOperation);
    // this frees it, and closes the window when that waited for the operation.
    void endSending(quint64 operation);
    // Builds the frame into its buffer from the pilot's settings; what goes on the line.
    QByteArray buildFrame(const FrameLayout &layout);
    // SendData1..3 on their own: one frame, paced, unless an operation holds the line.
    void sendFrameAlone(const FrameLayout &layout);
    // WRITE or RESET, then the check of what the transmitter took.
    void sendToTransmitter(QWidget *button, const LinkSequence &sequence);
    // What the check found, for the pilot. Returns whether to write again.
    bool reportCheck(const TransmitterLink::Check &check, const ParamStore &sent);
    void showNotice(const QString &text);
    // After READ's request: once its answer is whole, or has stopped coming, what it lacked
    // and what the range check replaced are told in a notice.
    void setUpReadNotice();
    void watchReadAnswer();
    void reportRead();
    // The LED: green while frames arrive, dimmed once the open port has been silent a while.
    void showLinkHeard(bool heard);
    void keepInHistory(const QByteArray &parameterFile, const QString &what);
    void setUpCheckMenu();

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
    QString rememberedPort() const;
    void rememberWindow();
    // Asks what to do with changed settings; true when the window may close now.
    bool confirmClose();
    // What the transmitter or a file now holds, for settingsChanged(): a settings frame that
    // was received, the three frames that went out or were filed, the frames a file gave.
    void syncReceived(const QByteArray &frame);
    void syncSent();
    void syncLoaded(const ParameterTextResult &found);

    Ui::MainWindow *ui = nullptr;
    // The serial port and everything on it; a child, so that tests can set its pacing.
    TransmitterLink m_link{this};
    QTimer *displayTimer = nullptr;
    QString fileName;

    QStringList m_extraPorts;            // ports typed or given on the command line
    bool m_closeWhenDone = false;        // the window was closed during a WRITE, RESET or SAVE
    QVector<QWidget *> m_guardedButtons; // buttons held back by their guard
    int m_busy = 0;                      // operations running, nested ones included
    QSettings *m_settings = nullptr;     // not owned
    bool m_quitting = false;             // the application has been asked to quit
    ParamStore m_synced = ParamData;     // the settings as last read, written, saved or loaded
    bool m_checkAfterWriting = true;
    QMenu *m_writeMenu = nullptr; // WRITE's and RESET's right-click menu
    QAction *m_checkAction = nullptr;
    QLabel *m_notice = nullptr; // a confirmation over the pages, gone by itself
    QTimer m_noticeTimer;
    QTimer m_readTimer;  // runs while a READ's answer may still come
    QTimer m_heardTimer; // green only while frames arrive; a silent open port looks otherwise
    SetHistory m_history;
};

// Module-level state shared by the operations, alive for the whole run.
extern QString SendBuf1; // last built S frame, 81 characters
extern QString SendBuf2; // last built G frame
extern QString SendBuf3; // last built H frame
extern QString FileText; // text of the last loaded parameter file
