// SPDX-License-Identifier: GPL-3.0-or-later
// Edit handlers: each stores its widget's new value into the field the widget shows. They
// run on user edits and, re-entrantly, whenever the refresh changes what a widget shows.
// None refreshes a widget; the next refresh pass shows the result.
#include "mainwindow.h"

#include "alarmvolt.h"
#include "drselect.h"
#include "paramstore.h"

// The plain handlers, one for each row of panelrows.def marked STORE.
#define KORVA_SPIN(widget, field, edit) KORVA_SPIN_##edit(widget, field)
#define KORVA_COMBO(widget, field, edit) KORVA_COMBO_##edit(widget, field)
#define KORVA_SPIN_STORE(widget, field)                                                            \
    void MainWindow::on_spinBox_##widget##_valueChanged(int arg1)                                  \
    {                                                                                              \
        ParamData.field = arg1;                                                                    \
    }
#define KORVA_COMBO_STORE(widget, field)                                                           \
    void MainWindow::on_comboBox_##widget##_currentIndexChanged(int index)                         \
    {                                                                                              \
        ParamData.field = index;                                                                   \
    }
#define KORVA_SPIN_OWN(widget, field)
#define KORVA_COMBO_OWN(widget, field)
#define KORVA_SPIN_NONE(widget, field)
#define KORVA_COMBO_NONE(widget, field)
#include "panelrows.def"

// The alarm voltage is edited in volts but travels in tenths: keep both forms in step so an
// edited alarm reaches the transmitter.
void MainWindow::on_doubleSpinBox_Volt_valueChanged(double arg1)
{
    editAlarmVolt(ParamData, arg1);
}

// The two D/R panels share the on/off and channel fields. Only the first panel's channel box
// re-selects; the second panel's choice reaches it on the next refresh pass.
void MainWindow::on_comboBox_DR_MIX1_currentIndexChanged(int index)
{
    ParamData.DR_MIX = index;
}
void MainWindow::on_comboBox_DR_MIX2_currentIndexChanged(int index)
{
    ParamData.DR_MIX = index;
}
void MainWindow::on_comboBox_DR_CH1_currentIndexChanged(int index)
{
    ParamData.DR_CH = index;
    Dr_DataSelet();
}
void MainWindow::on_comboBox_DR_CH2_currentIndexChanged(int index)
{
    ParamData.DR_CH = index;
}
void MainWindow::on_comboBox_DR_POSI_currentIndexChanged(int index)
{
    ParamData.DR_POSI = index;
    Dr_DataSelet();
}

// The mirror widgets write through to the selected table entry.
void MainWindow::on_spinBox_DR_UP1_valueChanged(int arg1)
{
    drEditUp1(ParamData, arg1);
}
void MainWindow::on_spinBox_DR_DOWN1_valueChanged(int arg1)
{
    drEditDown1(ParamData, arg1);
}
void MainWindow::on_spinBox_DR_RATE_valueChanged(int arg1)
{
    drEditRate(ParamData, arg1);
}
void MainWindow::on_spinBox_DR_EXP_valueChanged(int arg1)
{
    drEditExp(ParamData, arg1);
}
