// SPDX-License-Identifier: GPL-3.0-or-later
// The live monitor: channel outputs on the SERVO page, voltages and signal strength in the
// top bar. Only reads the store; never touches the port.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "monitorformat.h"
#include "paramstore.h"

namespace {

struct ChannelWidgets
{
    QLineEdit *Ui::MainWindow::*value;
    QProgressBar *Ui::MainWindow::*upper;
    QProgressBar *Ui::MainWindow::*lower;
    IntField servo;
};

using U = Ui::MainWindow;
using P = ParamStore;

const ChannelWidgets kChannels[] = {
    {&U::lineEdit, &U::progressBar_10, &U::progressBar_11, &P::Servo1},
    {&U::lineEdit_2, &U::progressBar_20, &U::progressBar_21, &P::Servo2},
    {&U::lineEdit_3, &U::progressBar_30, &U::progressBar_31, &P::Servo3},
    {&U::lineEdit_4, &U::progressBar_40, &U::progressBar_41, &P::Servo4},
    {&U::lineEdit_5, &U::progressBar_50, &U::progressBar_51, &P::Servo5},
    {&U::lineEdit_6, &U::progressBar_60, &U::progressBar_61, &P::Servo6},
    {&U::lineEdit_7, &U::progressBar_70, &U::progressBar_71, &P::Servo7},
    {&U::lineEdit_8, &U::progressBar_80, &U::progressBar_81, &P::Servo8},
};

// QProgressBar::setValue repaints the bar there and then, and a repaint on its own goes through
// the whole backing store: the page behind the bar is painted again and the window flushed,
// sixteen times a pass. Asked for as an update instead, the bars that moved are painted
// together with the value boxes, once per pass, to the same pixels.
void setBarValue(QProgressBar *bar, int value)
{
    if (bar->value() == value)
        return;
    bar->setUpdatesEnabled(false);
    bar->setValue(value);
    bar->setUpdatesEnabled(true);
}

} // namespace

void MainWindow::Servo_Display()
{
    for (const ChannelWidgets &ch : kChannels) {
        const int v = ParamData.*ch.servo;
        (ui->*ch.value)->setText(QString::number(v, 10));
        setBarValue(ui->*ch.upper, upperBarValue(v));
        setBarValue(ui->*ch.lower, lowerBarValue(v));
    }
    ui->lineEdit_TX->setText(formatTxVolt(ParamData.TX_Volt));
}

void MainWindow::Recieve_Display()
{
    ui->lineEdit_RSSI->setText(formatRssi(ParamData.RSSI));
    ui->lineEdit_EXT->setText(formatExtVolt(ParamData.EXT_Volt));
}
