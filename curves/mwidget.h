// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QVector>
#include <QWidget>

class QTimer;

// Where everything of the dual-rate curve lands for a view of w x h pixels showing the given
// rate and exponential (both in percent). All terms are integer pixels, each quotient truncated
// before it is used again: that grouping decides where every line falls.
struct DrCurveGeometry
{
    int rateDrop = 0;  // (100 - rate) * half the plot height, before scaling
    int endInset = 0;  // how far the curve's ends stay short of the frame
    int bend = 0;      // rate * exponential / 100
    int bendX = 0;     // horizontal shift of the bent control points
    int bendY = 0;     // vertical shift of the bent control points
    QPoint centre;     // where both segments meet
    QPoint lowerStart; // lower-left end; doubles as that segment's first control point
    QPoint lowerControl;
    QPoint upperStart; // upper-right end; doubles as that segment's first control point
    QPoint upperControl;
    QVector<int> dashXs; // start x of each dash of the horizontal centre line
    QVector<int> dashYs; // start y of each dash of the vertical centre line
};

DrCurveGeometry computeDrCurve(int w, int h, int rate, int expo);

// Shows the response curve of the selected dual-rate setting. The store is looked at ten times a
// second so that any change of the rate or exponential shows up however it was made; the view
// is redrawn only when one changed.
class mWidget : public QWidget
{
    Q_OBJECT

public:
    explicit mWidget(QWidget *parent = nullptr);

public slots:
    void creatData();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer *m_timer = nullptr;
    // The rate and exponential of the last paint, once there was one.
    int m_shownRate = 0;
    int m_shownExpo = 0;
    bool m_painted = false;
};
