// SPDX-License-Identifier: GPL-3.0-or-later
#include "formpages.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QMainWindow>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTimer>

FormPages::FormPages(QMainWindow *window)
    : QObject(window)
    , m_window(window)
{
    qApp->installEventFilter(this);
}

FormPages::~FormPages()
{
    qApp->removeEventFilter(this);
}

void FormPages::formBuilt(QFrame *opaquePanel)
{
    m_building = false;
    m_opaquePanel = opaquePanel;
    if (!waitingPageOf(opaquePanel))
        paintOpaque(opaquePanel);
}

bool FormPages::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::StyleChange:
        // A page announces itself when it gets its style sheet, right after it was created
        // and named: the only widgets the form builds without a parent are the tab pages.
        if (m_building && watched->isWidgetType() && !watched->parent() && watched != m_window)
            placePage(static_cast<QWidget *>(watched));
        return false;
    case QEvent::Polish:
        if (watched == m_window && !m_windowPolished) {
            // The window is about to be shown: the page it opens on is polished now, before
            // Qt polishes the window and the rest of its widgets.
            m_windowPolished = true;
            if (m_stack)
                polishPage(m_stack->currentWidget());
            return false;
        }
        if (QWidget *page = waitingPageOf(watched)) {
            // Qt takes the widget as polished from now on; it is, when its page is.
            m_held[page].append(static_cast<QWidget *>(watched));
            return true;
        }
        return false;
    case QEvent::ZOrderChange:
        // The tab widget raises a page just before it shows it; raising a page that was never
        // shown always tells it so.
        if (m_windowPolished && watched->isWidgetType())
            polishPage(static_cast<QWidget *>(watched));
        return false;
    case QEvent::Paint:
        // Once the window has been painted and the event loop has run once more, the pages
        // left are polished one by one whenever the loop is about to wait.
        if (watched == m_window && !m_waitsForIdle && !m_waiting.isEmpty()) {
            m_waitsForIdle = true;
            QTimer::singleShot(0, this, [this] {
                connect(QAbstractEventDispatcher::instance(),
                        &QAbstractEventDispatcher::aboutToBlock, this, &FormPages::polishNextPage);
            });
        }
        return false;
    default:
        return false;
    }
}

void FormPages::placePage(QWidget *page)
{
    if (!m_stack) {
        auto *tabs = m_window->findChild<QTabWidget *>();
        m_stack = tabs ? tabs->findChild<QStackedWidget *>(QString(), Qt::FindDirectChildrenOnly)
                       : nullptr;
    }
    // addTab finds the page already where it belongs and leaves it there.
    if (m_stack) {
        page->setParent(m_stack);
        m_waiting.append(page);
    }
}

QWidget *FormPages::waitingPageOf(QObject *object) const
{
    if (m_waiting.isEmpty() || !object->isWidgetType())
        return nullptr;
    // A popup list of a box on the page is a window of its own, polished when it opens.
    for (auto *w = static_cast<QWidget *>(object); w && !w->isWindow(); w = w->parentWidget()) {
        if (w->parentWidget() == m_stack)
            return m_waiting.contains(w) ? w : nullptr;
    }
    return nullptr;
}

void FormPages::polishPage(QWidget *page)
{
    if (!page || !m_waiting.removeOne(page))
        return;
    const QVector<QPointer<QWidget>> held = m_held.take(page);
    for (const QPointer<QWidget> &w : held) {
        if (w) {
            QEvent polish(QEvent::Polish);
            QCoreApplication::sendEvent(w, &polish);
        }
    }
    if (m_opaquePanel && page->isAncestorOf(m_opaquePanel))
        paintOpaque(m_opaquePanel);
    if (m_waiting.isEmpty())
        qApp->removeEventFilter(this);
}

void FormPages::polishNextPage()
{
    m_waiting.removeAll(nullptr);
    if (!m_waiting.isEmpty())
        polishPage(m_waiting.first());
    if (m_waiting.isEmpty())
        disconnect(QAbstractEventDispatcher::instance(), nullptr, this, nullptr);
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
