// SPDX-License-Identifier: GPL-3.0-or-later
#include "keyboard.h"
#include "ui_mainwindow.h"

#include <QFocusEvent>
#include <QKeySequence>
#include <QShortcut>
#include <QStyle>

#include <utility>

namespace {

// Marks a button that has the focus from the keyboard, for the focus border of its style
// sheet: the focus a window gives its first button when it is activated shows nothing.
class KeyboardFocusMark : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::FocusIn && event->type() != QEvent::FocusOut)
            return false;
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        const bool keyboard = event->type() == QEvent::FocusIn &&
                              (reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason);
        auto *button = static_cast<QWidget *>(watched);
        if (button->property("keyboardFocus").toBool() != keyboard) {
            button->setProperty("keyboardFocus", keyboard);
            button->style()->unpolish(button);
            button->style()->polish(button);
        }
        return false;
    }
};

// The top bar from the keyboard, with each key named in its button's tooltip. Ctrl+W and
// Ctrl+Q are left to the desktop.
void addShortcuts(const Ui::MainWindow &ui)
{
    const std::pair<QAbstractButton *, const char *> keys[] = {
        {ui.toolButton_Read, "Ctrl+R"},        {ui.toolButton_Load, "Ctrl+O"},
        {ui.toolButton_Send, "Ctrl+T"},        {ui.toolButton_Save, "Ctrl+S"},
        {ui.toolButton_Reset, "Ctrl+Shift+R"}, {ui.openButton, "Ctrl+L"},
    };
    auto *mark = new KeyboardFocusMark(ui.openButton->window());
    for (const auto &key : keys) {
        key.first->installEventFilter(mark);
        const QKeySequence sequence(QLatin1String(key.second));
        key.first->setShortcut(sequence);
        key.first->setToolTip(QStringLiteral("%1 (%2)").arg(
            key.first->toolTip(), sequence.toString(QKeySequence::NativeText)));
    }
}

// The pages from anywhere in the window, as a tab widget takes them from its own pages.
void addPageKeys(QTabWidget *tabs, QWidget *window)
{
    for (const auto &key : {std::make_pair("Ctrl+PgDown", 1), std::make_pair("Ctrl+PgUp", -1)}) {
        auto *shortcut = new QShortcut(QKeySequence(QLatin1String(key.first)), window);
        const int step = key.second;
        QObject::connect(shortcut, &QShortcut::activated, tabs, [tabs, step] {
            tabs->setCurrentIndex((tabs->currentIndex() + step + tabs->count()) % tabs->count());
        });
    }
}

} // namespace

void setUpKeyboard(const Ui::MainWindow &ui, QWidget *window)
{
    addShortcuts(ui);
    addPageKeys(ui.tabWidget, window);
}
