// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "mainwindow.h"
#include "modalwatcher.h"
#include "paramstore.h"
#include "ptypair.h"
#include "resources.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QTest>

#include <memory>

// A fresh window, a pseudo-terminal playing the transmitter with its slave path selected,
// and a watcher answering modal boxes. The store starts from its start values.
struct WindowFixture
{
    WindowFixture()
    {
        ParamData = ParamStore{};
        window = std::make_unique<MainWindow>();
        // The pseudo-terminal answers nothing: these tests look at the operations' own bytes,
        // and the check after a write has tests of its own.
        window->setCheckAfterWriting(false);
        window->addPort(pty.slavePath());
        window->show();
    }

    template<typename T = QWidget> T *w(const char *name) const
    {
        return window->findChild<T *>(QLatin1String(name));
    }
    QAbstractButton *button(const char *name) const { return w<QAbstractButton>(name); }

    // Opens the port and forgets the greeting.
    bool open()
    {
        button("openButton")->click();
        if (!pty.waitForBytes(2, 2000))
            return false;
        pty.clearReceived();
        return button("openButton")->text() == QLatin1String("CLOSE");
    }

    PtyPair pty;
    ModalWatcher watcher;
    std::unique_ptr<MainWindow> window;
};

inline void initTestResources()
{
    static bool done = false;
    if (!done)
        korvaInitResources();
    done = true;
}
