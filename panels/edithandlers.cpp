// SPDX-License-Identifier: GPL-3.0-or-later
// Edit handlers: each stores its widget's new value into the field of the same name. They
// run on user edits and, re-entrantly, whenever the refresh changes what a widget shows.
// None refreshes a widget; the next refresh pass shows the result.
#include "mainwindow.h"

#include "alarmvolt.h"
#include "drselect.h"
#include "paramstore.h"

#define KORVA_SPIN(name)                                                                           \
    void MainWindow::on_spinBox_##name##_valueChanged(int arg1)                                    \
    {                                                                                              \
        ParamData.name = arg1;                                                                     \
    }
#define KORVA_COMBO(name)                                                                          \
    void MainWindow::on_comboBox_##name##_currentIndexChanged(int index)                           \
    {                                                                                              \
        ParamData.name = index;                                                                    \
    }
#define KORVA_SPIN8(family)                                                                        \
    KORVA_SPIN(family##1)                                                                          \
    KORVA_SPIN(family##2)                                                                          \
    KORVA_SPIN(family##3)                                                                          \
    KORVA_SPIN(family##4)                                                                          \
    KORVA_SPIN(family##5) KORVA_SPIN(family##6) KORVA_SPIN(family##7) KORVA_SPIN(family##8)
#define KORVA_MIX(n)                                                                               \
    KORVA_COMBO(PRM0##n##_Mix)                                                                     \
    KORVA_COMBO(PRM0##n##_Master)                                                                  \
    KORVA_COMBO(PRM0##n##_Slave)                                                                   \
    KORVA_SPIN(PRM0##n##_Data1) KORVA_SPIN(PRM0##n##_Data2) KORVA_SPIN(PRM0##n##_Data3)

KORVA_SPIN8(sub)
KORVA_SPIN8(Lepa)
KORVA_SPIN8(Repa)
KORVA_SPIN8(FS)
KORVA_SPIN8(delay)

KORVA_COMBO(rev1)
KORVA_COMBO(rev2)
KORVA_COMBO(rev3)
KORVA_COMBO(rev4)
KORVA_COMBO(rev5)
KORVA_COMBO(rev6)
KORVA_COMBO(rev7)
KORVA_COMBO(rev8)
KORVA_COMBO(AUX5)
KORVA_COMBO(AUX6)
KORVA_COMBO(AUX7)
KORVA_COMBO(AUX8)

KORVA_SPIN(Mode)
KORVA_SPIN(Vertion)
KORVA_COMBO(AttiM)
KORVA_SPIN(Atti1)
KORVA_SPIN(Atti2)
KORVA_SPIN(Atti3)
KORVA_SPIN(Atti4)
KORVA_SPIN(Atti5)
KORVA_SPIN(Atti6)
KORVA_COMBO(EleMix)
KORVA_SPIN(Elev01)
KORVA_SPIN(Elev02)
KORVA_SPIN(Elev03)
KORVA_SPIN(Elev04)
KORVA_SPIN(Elev05)
KORVA_SPIN(Elev06)
KORVA_COMBO(RuMix)
KORVA_SPIN(Ru1)
KORVA_SPIN(Ru2)
KORVA_SPIN(Ru3)
KORVA_SPIN(Ru4)
KORVA_MIX(1)
KORVA_MIX(2)
KORVA_MIX(3)
KORVA_MIX(4)
KORVA_COMBO(DR_SW2)
KORVA_COMBO(THCURE_MIX)
KORVA_SPIN(THCURE_Data01)
KORVA_SPIN(THCURE_Data02)
KORVA_SPIN(THCURE_Data03)
KORVA_SPIN(THCURE_Data04)
KORVA_SPIN(THCURE_Data05)
KORVA_SPIN(THCURE_Data06)
KORVA_SPIN(THCURE_Data07)

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
