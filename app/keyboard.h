// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

QT_BEGIN_NAMESPACE
namespace Ui {
class MainWindow;
}
class QWidget;
QT_END_NAMESPACE

// The window without a mouse: a key for each top-bar button, named in its tooltip, keys that
// turn the pages from anywhere, and a focus border on a button reached with Tab.
void setUpKeyboard(const Ui::MainWindow &ui, QWidget *window);
