// SPDX-License-Identifier: GPL-3.0-or-later
#include "formpages.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QMainWindow>
#include <QStackedWidget>
#include <QTabWidget>

FormPages::FormPages(QMainWindow *window)
    : m_window(window)
{
    qApp->installEventFilter(this);
}

FormPages::~FormPages()
{
    qApp->removeEventFilter(this);
}

bool FormPages::eventFilter(QObject *watched, QEvent *event)
{
    // A page announces itself when it gets its style sheet, right after it was created and
    // named: the only widgets the form builds without a parent are the tab pages.
    if (event->type() != QEvent::StyleChange || !watched->isWidgetType() || watched->parent() ||
        watched == m_window)
        return false;
    auto *tabs = m_window->findChild<QTabWidget *>();
    auto *stack =
        tabs ? tabs->findChild<QStackedWidget *>(QString(), Qt::FindDirectChildrenOnly) : nullptr;
    // addTab finds the page already where it belongs and leaves it there.
    if (stack)
        static_cast<QWidget *>(watched)->setParent(stack);
    return false;
}

void FormPages::paintOpaque(QFrame *panel)
{
    // The style sheet gives the panel its colour when it is polished, and turns the widget's
    // own background fill off; the fill is turned on again after that, with the same colour,
    // which is what tells the window that the panel hides what lies behind it.
    panel->ensurePolished();
    if (panel->palette().brush(panel->backgroundRole()).isOpaque())
        panel->setAutoFillBackground(true);
}
