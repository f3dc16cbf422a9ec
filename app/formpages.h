// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>

QT_BEGIN_NAMESPACE
class QMainWindow;
class QFrame;
QT_END_NAMESPACE

// Builds the main window's form as setupUi does, in less time, to the same widgets and pixels.
//
// The generated code builds each tab page without a parent and hands it to addTab only when
// the whole page is built; moving a finished page under the tab widget re-polishes every
// widget on it against its new ancestors' style sheets, fonts and palettes, which was half
// of the start-up time. Here each page joins its tab widget the moment it is created, before
// any of its widgets exist, so each widget is polished once, when the window is shown.
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
        {
            const FormPages inPlace(window);
            form.setupUi(window);
        }
        paintOpaque(form.frame_3);
    }

private:
    explicit FormPages(QMainWindow *window);
    ~FormPages() override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    static void paintOpaque(QFrame *panel);

    QMainWindow *m_window;
};
