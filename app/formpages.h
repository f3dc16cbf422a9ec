// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QHash>
#include <QObject>
#include <QPointer>
#include <QVector>

QT_BEGIN_NAMESPACE
class QFrame;
class QMainWindow;
class QStackedWidget;
class QWidget;
QT_END_NAMESPACE

// Builds the main window's form as setupUi does, in less time, to the same widgets and pixels.
//
// The generated code builds each tab page without a parent and hands it to addTab only when
// the whole page is built; moving a finished page under the tab widget re-polishes every
// widget on it against its new ancestors' style sheets, fonts and palettes, which was half
// of the start-up time. Here each page joins its tab widget the moment it is created, before
// any of its widgets exist.
//
// Polishing a widget (finding the style-sheet rules that apply to it, which set its palette,
// font and more) is then most of what is left, and the window needs it at first only for the
// page it opens on. So the polish of each page waits: the page the window opens on is
// polished just before the window is, any other page as the tab widget raises it to show it,
// and the pages still waiting once the window is on screen one at a time whenever the event
// loop is about to wait. Each widget is polished exactly as Qt would have done it, in the
// same order, before anything of its page is laid out or painted.
//
// The live monitor repaints its value boxes and bars on the SERVO page ten times a second.
// That page is covered by one panel of a solid colour, which is told that it paints all of
// its area, so that the page's gradient behind it is not painted again each time. (Only that
// page: where a gradient runs slantwise, painting it in smaller pieces moves some of its
// colours by one step.)
class FormPages : public QObject
{
public:
    template<typename Form> static void setupUi(Form &form, QMainWindow *window)
    {
        auto *pages = new FormPages(window);
        form.setupUi(window);
        pages->formBuilt(form.frame_3);
    }

private:
    explicit FormPages(QMainWindow *window);
    ~FormPages() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void formBuilt(QFrame *opaquePanel);
    void placePage(QWidget *page);
    QWidget *waitingPageOf(QObject *object) const;
    void polishPage(QWidget *page);
    void polishNextPage();
    static void paintOpaque(QFrame *panel);

    QMainWindow *m_window;
    QStackedWidget *m_stack = nullptr;
    QPointer<QFrame> m_opaquePanel;
    bool m_building = true;
    bool m_windowPolished = false;
    bool m_waitsForIdle = false;
    // The pages not polished yet, in tab order, and for each the widgets whose polish waits,
    // in the order Qt asked for it.
    QVector<QPointer<QWidget>> m_waiting;
    QHash<QWidget *, QVector<QPointer<QWidget>>> m_held;
};
