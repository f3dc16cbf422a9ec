// SPDX-License-Identifier: GPL-3.0-or-later
// The panel refresh: copies the store into the widgets of the settings pages, as listed in
// panelrows.def. Change signals are left on on purpose: a widget that cannot show a value
// bounds it, and its edit handler writes the bounded value back; the D/R channel picked on one
// panel reaches the other through comboBox_DR_CH1's handler.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "alarmvolt.h"
#include "hover.h"
#include "paramstore.h"

#include <QFile>

#include <array>

namespace {

using U = Ui::MainWindow;
using P = ParamStore;

// One panel per refresh slot, in the order of the list.
enum class Panel {
#define KORVA_PANEL(slot) slot,
#include "panelrows.def"
    None
};

// One row of the list: either the start of a panel, or one widget and the field it shows.
// Of a widget row exactly one of combo and spin is set; a combo box without a field is pinned
// to its only item.
struct PanelRow
{
    Panel starts;
    QComboBox *U::*combo;
    QSpinBox *U::*spin;
    IntField field;
};

constexpr PanelRow kRows[] = {
#define KORVA_PANEL(slot) {Panel::slot, nullptr, nullptr, nullptr},
#define KORVA_SPIN(widget, field, edit) {Panel::None, nullptr, &U::spinBox_##widget, &P::field},
#define KORVA_COMBO(widget, field, edit) {Panel::None, &U::comboBox_##widget, nullptr, &P::field},
#define KORVA_PINNED(widget) {Panel::None, &U::comboBox_##widget, nullptr, nullptr},
#include "panelrows.def"
};
constexpr int kRowCount = int(sizeof(kRows) / sizeof(kRows[0]));
constexpr int kPanelCount = int(Panel::None);

// The rows of each panel, found once at compile time.
struct RowRange
{
    int begin = 0;
    int end = 0;
};
constexpr std::array<RowRange, kPanelCount> kPanelRows = [] {
    std::array<RowRange, kPanelCount> ranges{};
    int panel = -1;
    for (int i = 0; i < kRowCount; ++i) {
        if (kRows[i].starts != Panel::None) {
            panel = int(kRows[i].starts);
            ranges[panel].begin = i + 1;
        }
        ranges[panel].end = i + 1;
    }
    return ranges;
}();

// Hover look: a combo box kept under the pointer for twenty refresh passes loses its hover
// highlight until the pointer has left once. Each combo box has its counter, numbered in the
// order of the list; the counters live as long as the program.
constexpr int kHoverLimit = 20;
constexpr std::array<int, kRowCount> kHoverIndex = [] {
    std::array<int, kRowCount> index{};
    int next = 0;
    for (int i = 0; i < kRowCount; ++i)
        index[i] = kRows[i].combo ? next++ : -1;
    return index;
}();
constexpr int kComboCount = [] {
    int n = 0;
    for (const PanelRow &row : kRows)
        n += row.combo ? 1 : 0;
    return n;
}();
static_assert(kComboCount == kHoverCounterCount, "one hover counter per combo box");

} // namespace

int HoverCount[kHoverCounterCount] = {};

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

// A spin box repaints itself on every setValue, even of the value it shows: forty of them on a
// page, ten times a second, cost a tenth of a core for nothing. One that shows the value already
// is left alone, unless it has the focus: there setValue also puts back the text of an edit
// the pilot left half-typed, and keeps doing so.
template<typename Box, typename Value> void showValue(Box *box, Value value)
{
    if (box->value() != value || box->hasFocus())
        box->setValue(value);
}

void showPanel(Ui::MainWindow *ui, Panel panel)
{
    const RowRange range = kPanelRows[int(panel)];
    for (int i = range.begin; i < range.end; ++i) {
        const PanelRow &row = kRows[i];
        const int value = row.field ? ParamData.*row.field : 0;
        if (row.combo)
            (ui->*row.combo)->setCurrentIndex(value);
        else
            showValue(ui->*row.spin, value);
    }
    for (int i = range.begin; i < range.end; ++i) {
        if (kRows[i].combo)
            hoverStep(ui->*kRows[i].combo, HoverCount[kHoverIndex[i]]);
    }
}

} // namespace

void MainWindow::Rev_Display()
{
    showPanel(ui, Panel::Rev_Display);
}
void MainWindow::EPA_Display()
{
    showPanel(ui, Panel::EPA_Display);
}
void MainWindow::SubTrim_Display()
{
    showPanel(ui, Panel::SubTrim_Display);
}
void MainWindow::FS_Display()
{
    showPanel(ui, Panel::FS_Display);
}
void MainWindow::Delay_Display()
{
    showPanel(ui, Panel::Delay_Display);
}
void MainWindow::Aux_Display()
{
    showPanel(ui, Panel::Aux_Display);
}
void MainWindow::DR_Display()
{
    showPanel(ui, Panel::DR_Display);
}

// doubleSpinBox_Volt comes first and is set by hand: it is the only double, and it shows no
// more than the frame can send.
void MainWindow::Parameter_Display()
{
    showValue(ui->doubleSpinBox_Volt, alarmVoltShown(ParamData.Volt));
    showPanel(ui, Panel::Parameter_Display);
}

void MainWindow::Atti_Display()
{
    showPanel(ui, Panel::Atti_Display);
}
void MainWindow::Elev_Display()
{
    showPanel(ui, Panel::Elev_Display);
}
void MainWindow::Vtype_Display()
{
    showPanel(ui, Panel::Vtype_Display);
}
void MainWindow::Prm_Display()
{
    showPanel(ui, Panel::Prm_Display);
}
void MainWindow::DRCure_Display()
{
    showPanel(ui, Panel::DRCure_Display);
}
void MainWindow::THcure_Display()
{
    showPanel(ui, Panel::THcure_Display);
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
