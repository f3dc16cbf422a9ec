// SPDX-License-Identifier: GPL-3.0-or-later
// The panel refresh: copies the store into the widgets of the settings pages. Change signals
// are left on on purpose: a widget that cannot show a value bounds it, and its edit handler
// writes the bounded value back; the D/R channel picked on one panel reaches the other
// through comboBox_DR_CH1's handler.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "alarmvolt.h"
#include "hover.h"
#include "paramstore.h"

#include <QFile>

namespace {

using U = Ui::MainWindow;
using P = ParamStore;

// One widget of a panel and the field it shows. Exactly one of combo and spin is set; a
// combo box without a field is pinned to its only item.
struct PanelRow
{
    QComboBox *U::*combo;
    QSpinBox *U::*spin;
    IntField field;
};

constexpr PanelRow combo(QComboBox *U::*w, IntField f = nullptr)
{
    return {w, nullptr, f};
}
constexpr PanelRow spin(QSpinBox *U::*w, IntField f)
{
    return {nullptr, w, f};
}

const PanelRow kRev[] = {
    combo(&U::comboBox_rev1, &P::rev1), combo(&U::comboBox_rev2, &P::rev2),
    combo(&U::comboBox_rev3, &P::rev3), combo(&U::comboBox_rev4, &P::rev4),
    combo(&U::comboBox_rev5, &P::rev5), combo(&U::comboBox_rev6, &P::rev6),
    combo(&U::comboBox_rev7, &P::rev7), combo(&U::comboBox_rev8, &P::rev8),
};
const PanelRow kEpa[] = {
    spin(&U::spinBox_Lepa1, &P::Lepa1), spin(&U::spinBox_Lepa2, &P::Lepa2),
    spin(&U::spinBox_Lepa3, &P::Lepa3), spin(&U::spinBox_Lepa4, &P::Lepa4),
    spin(&U::spinBox_Lepa5, &P::Lepa5), spin(&U::spinBox_Lepa6, &P::Lepa6),
    spin(&U::spinBox_Lepa7, &P::Lepa7), spin(&U::spinBox_Lepa8, &P::Lepa8),
    spin(&U::spinBox_Repa1, &P::Repa1), spin(&U::spinBox_Repa2, &P::Repa2),
    spin(&U::spinBox_Repa3, &P::Repa3), spin(&U::spinBox_Repa4, &P::Repa4),
    spin(&U::spinBox_Repa5, &P::Repa5), spin(&U::spinBox_Repa6, &P::Repa6),
    spin(&U::spinBox_Repa7, &P::Repa7), spin(&U::spinBox_Repa8, &P::Repa8),
};
const PanelRow kSubTrim[] = {
    spin(&U::spinBox_sub1, &P::sub1), spin(&U::spinBox_sub2, &P::sub2),
    spin(&U::spinBox_sub3, &P::sub3), spin(&U::spinBox_sub4, &P::sub4),
    spin(&U::spinBox_sub5, &P::sub5), spin(&U::spinBox_sub6, &P::sub6),
    spin(&U::spinBox_sub7, &P::sub7), spin(&U::spinBox_sub8, &P::sub8),
};
const PanelRow kFs[] = {
    spin(&U::spinBox_FS1, &P::FS1), spin(&U::spinBox_FS2, &P::FS2), spin(&U::spinBox_FS3, &P::FS3),
    spin(&U::spinBox_FS4, &P::FS4), spin(&U::spinBox_FS5, &P::FS5), spin(&U::spinBox_FS6, &P::FS6),
    spin(&U::spinBox_FS7, &P::FS7), spin(&U::spinBox_FS8, &P::FS8),
};
const PanelRow kDelay[] = {
    spin(&U::spinBox_delay1, &P::delay1), spin(&U::spinBox_delay2, &P::delay2),
    spin(&U::spinBox_delay3, &P::delay3), spin(&U::spinBox_delay4, &P::delay4),
    spin(&U::spinBox_delay5, &P::delay5), spin(&U::spinBox_delay6, &P::delay6),
    spin(&U::spinBox_delay7, &P::delay7), spin(&U::spinBox_delay8, &P::delay8),
};
const PanelRow kAux[] = {
    combo(&U::comboBox_AUX1),           combo(&U::comboBox_AUX2),
    combo(&U::comboBox_AUX3),           combo(&U::comboBox_AUX4),
    combo(&U::comboBox_AUX5, &P::AUX5), combo(&U::comboBox_AUX6, &P::AUX6),
    combo(&U::comboBox_AUX7, &P::AUX7), combo(&U::comboBox_AUX8, &P::AUX8),
};
const PanelRow kDr[] = {
    combo(&U::comboBox_DR_MIX1, &P::DR_MIX),  combo(&U::comboBox_DR_CH1, &P::DR_CH),
    combo(&U::comboBox_DR_SW1, &P::DR_SW2),   spin(&U::spinBox_DR_UP1, &P::DR_UP1),
    spin(&U::spinBox_DR_DOWN1, &P::DR_DOWN1),
};
// doubleSpinBox_Volt comes first and is set by hand: it is the only double, and it shows no
// more than the frame can send.
const PanelRow kParameter[] = {
    spin(&U::spinBox_Mode, &P::Mode),
    spin(&U::spinBox_Vertion, &P::Vertion),
};
const PanelRow kAtti[] = {
    combo(&U::comboBox_AttiM, &P::AttiM), spin(&U::spinBox_Atti1, &P::Atti1),
    spin(&U::spinBox_Atti2, &P::Atti2),   spin(&U::spinBox_Atti3, &P::Atti3),
    spin(&U::spinBox_Atti4, &P::Atti4),   spin(&U::spinBox_Atti5, &P::Atti5),
    spin(&U::spinBox_Atti6, &P::Atti6),
};
const PanelRow kElev[] = {
    combo(&U::comboBox_EleMix, &P::EleMix), spin(&U::spinBox_Elev01, &P::Elev01),
    spin(&U::spinBox_Elev02, &P::Elev02),   spin(&U::spinBox_Elev03, &P::Elev03),
    spin(&U::spinBox_Elev04, &P::Elev04),   spin(&U::spinBox_Elev05, &P::Elev05),
    spin(&U::spinBox_Elev06, &P::Elev06),
};
const PanelRow kVtail[] = {
    combo(&U::comboBox_RuMix, &P::RuMix), spin(&U::spinBox_Ru1, &P::Ru1),
    spin(&U::spinBox_Ru2, &P::Ru2),       spin(&U::spinBox_Ru3, &P::Ru3),
    spin(&U::spinBox_Ru4, &P::Ru4),
};
#define KORVA_PRM_ROWS(n)                                                                          \
    combo(&U::comboBox_PRM0##n##_Mix, &P::PRM0##n##_Mix),                                          \
        combo(&U::comboBox_PRM0##n##_Master, &P::PRM0##n##_Master),                                \
        combo(&U::comboBox_PRM0##n##_Slave, &P::PRM0##n##_Slave),                                  \
        spin(&U::spinBox_PRM0##n##_Data1, &P::PRM0##n##_Data1),                                    \
        spin(&U::spinBox_PRM0##n##_Data2, &P::PRM0##n##_Data2),                                    \
        spin(&U::spinBox_PRM0##n##_Data3, &P::PRM0##n##_Data3)
const PanelRow kPrm[] = {KORVA_PRM_ROWS(1), KORVA_PRM_ROWS(2), KORVA_PRM_ROWS(3),
                         KORVA_PRM_ROWS(4)};
#undef KORVA_PRM_ROWS
const PanelRow kDrCure[] = {
    combo(&U::comboBox_DR_MIX2, &P::DR_MIX), combo(&U::comboBox_DR_CH2, &P::DR_CH),
    combo(&U::comboBox_DR_SW2, &P::DR_SW2),  combo(&U::comboBox_DR_POSI, &P::DR_POSI),
    spin(&U::spinBox_DR_RATE, &P::DR_RATE),  spin(&U::spinBox_DR_EXP, &P::DR_EXP),
};
const PanelRow kThCure[] = {
    combo(&U::comboBox_THCURE_MIX, &P::THCURE_MIX),
    spin(&U::spinBox_THCURE_Data01, &P::THCURE_Data01),
    spin(&U::spinBox_THCURE_Data02, &P::THCURE_Data02),
    spin(&U::spinBox_THCURE_Data03, &P::THCURE_Data03),
    spin(&U::spinBox_THCURE_Data04, &P::THCURE_Data04),
    spin(&U::spinBox_THCURE_Data05, &P::THCURE_Data05),
    spin(&U::spinBox_THCURE_Data06, &P::THCURE_Data06),
    spin(&U::spinBox_THCURE_Data07, &P::THCURE_Data07),
};

// Hover look: a combo box kept under the pointer for twenty refresh passes loses its
// hover highlight until the pointer has left once. The counters follow the boxes' order
// across the panels and live as long as the program.
constexpr int kHoverLimit = 20;
QComboBox *U::*const kHoverBoxes[] = {
    &U::comboBox_rev1,        &U::comboBox_rev2,      &U::comboBox_rev3,
    &U::comboBox_rev4,        &U::comboBox_rev5,      &U::comboBox_rev6,
    &U::comboBox_rev7,        &U::comboBox_rev8,      &U::comboBox_AUX1,
    &U::comboBox_AUX2,        &U::comboBox_AUX3,      &U::comboBox_AUX4,
    &U::comboBox_AUX5,        &U::comboBox_AUX6,      &U::comboBox_AUX7,
    &U::comboBox_AUX8,        &U::comboBox_DR_MIX1,   &U::comboBox_DR_CH1,
    &U::comboBox_DR_SW1,      &U::comboBox_AttiM,     &U::comboBox_EleMix,
    &U::comboBox_RuMix,       &U::comboBox_PRM01_Mix, &U::comboBox_PRM01_Master,
    &U::comboBox_PRM01_Slave, &U::comboBox_PRM02_Mix, &U::comboBox_PRM02_Master,
    &U::comboBox_PRM02_Slave, &U::comboBox_PRM03_Mix, &U::comboBox_PRM03_Master,
    &U::comboBox_PRM03_Slave, &U::comboBox_PRM04_Mix, &U::comboBox_PRM04_Master,
    &U::comboBox_PRM04_Slave, &U::comboBox_DR_MIX2,   &U::comboBox_DR_CH2,
    &U::comboBox_DR_SW2,      &U::comboBox_DR_POSI,   &U::comboBox_THCURE_MIX,
};
constexpr int kHoverBoxCount = int(sizeof(kHoverBoxes) / sizeof(kHoverBoxes[0]));
static_assert(kHoverBoxCount == kHoverCounterCount, "one hover counter per combo box");

} // namespace

int HoverCount[kHoverBoxCount] = {};

namespace {

void applyStyleFile(QComboBox *box, const char *path)
{
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = file.readAll();
    const int nul = bytes.indexOf('\0');
    box->setStyleSheet(QString::fromUtf8(nul < 0 ? bytes : bytes.left(nul)));
    file.close();
}

void hoverStep(QComboBox *box, int &count)
{
    if (box->underMouse()) {
        if (count + 1 > kHoverLimit - 1) {
            count = kHoverLimit;
            applyStyleFile(box, ":/comboBox_REV.qss");
        } else {
            ++count;
        }
    } else if (count > kHoverLimit - 1) {
        count = 0;
        applyStyleFile(box, ":/comboBox.qss");
    }
}

template<std::size_t N> void showPanel(Ui::MainWindow *ui, const PanelRow (&rows)[N])
{
    for (const PanelRow &row : rows) {
        const int value = row.field ? ParamData.*row.field : 0;
        if (row.combo)
            (ui->*row.combo)->setCurrentIndex(value);
        else
            (ui->*row.spin)->setValue(value);
    }
    for (const PanelRow &row : rows) {
        if (!row.combo)
            continue;
        for (int i = 0; i < kHoverBoxCount; ++i) {
            if (kHoverBoxes[i] == row.combo)
                hoverStep(ui->*row.combo, HoverCount[i]);
        }
    }
}

} // namespace

void MainWindow::Rev_Display()
{
    showPanel(ui, kRev);
}
void MainWindow::EPA_Display()
{
    showPanel(ui, kEpa);
}
void MainWindow::SubTrim_Display()
{
    showPanel(ui, kSubTrim);
}
void MainWindow::FS_Display()
{
    showPanel(ui, kFs);
}
void MainWindow::Delay_Display()
{
    showPanel(ui, kDelay);
}
void MainWindow::Aux_Display()
{
    showPanel(ui, kAux);
}
void MainWindow::DR_Display()
{
    showPanel(ui, kDr);
}

void MainWindow::Parameter_Display()
{
    ui->doubleSpinBox_Volt->setValue(alarmVoltShown(ParamData.Volt));
    showPanel(ui, kParameter);
}

void MainWindow::Atti_Display()
{
    showPanel(ui, kAtti);
}
void MainWindow::Elev_Display()
{
    showPanel(ui, kElev);
}
void MainWindow::Vtype_Display()
{
    showPanel(ui, kVtail);
}
void MainWindow::Prm_Display()
{
    showPanel(ui, kPrm);
}
void MainWindow::DRCure_Display()
{
    showPanel(ui, kDrCure);
}
void MainWindow::THcure_Display()
{
    showPanel(ui, kThCure);
}

void MainWindow::ui_Display()
{
    Servo_Display();
    Recieve_Display();
    Rev_Display();
    EPA_Display();
    SubTrim_Display();
    FS_Display();
    Delay_Display();
    Aux_Display();
    DR_Display();
    Parameter_Display();
    Atti_Display();
    Elev_Display();
    Vtype_Display();
    Prm_Display();
    DRCure_Display();
    THcure_Display();
}
