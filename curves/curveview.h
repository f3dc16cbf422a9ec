// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QRect>
#include <QTimer>
#include <QVector>

class QPainter;

// What the two curve views share. The store has no change signals, so a view looks at it ten
// times a second and repaints when what it shows has changed; its background and frame keep a
// fixed size whatever the widget's size, because the pages are laid out in fixed pixels; its
// grid lines are dashed.
namespace curveview {

constexpr int kRepaintMs = 100;
constexpr int kDashLength = 8;
const QRect kBackground(0, 0, 585, 430);

// Where the dashes of a grid line between low and high (both excluded) start.
QVector<int> dashStarts(int low, int high);

// Clears the fixed background and draws the frame.
void paintBackground(QPainter &painter, const QRect &frame);

// Starts the view's timer, a child of the view, calling its creatData() slot.
template<typename View> QTimer *startRepainting(View *view)
{
    auto *timer = new QTimer(view);
    QObject::connect(timer, &QTimer::timeout, view, &View::creatData);
    timer->start(kRepaintMs);
    return timer;
}

} // namespace curveview
