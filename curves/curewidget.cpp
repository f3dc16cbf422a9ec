// SPDX-License-Identifier: GPL-3.0-or-later
#include "curewidget.h"

#include "curveview.h"
#include "paramstore.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPen>

using curveview::dashStarts;
using curveview::kDashLength;

namespace {

const QRect kFrame(30, 30, 545, 370);

struct Label
{
    int x;
    int y;
    const char *text;
};

// The labels sit at fixed pixels, like everything on the pages: the percentages are 45 px
// apart, not on the grid, and at the widget's layout size the lower ones and every point
// number fall outside it and are clipped. Moving them would change what the page shows.
const Label kPercentLabels[] = {
    {0, 38, "100"},  {0, 83, " 90"},  {0, 128, " 80"}, {0, 173, " 70"},
    {0, 218, " 60"}, {0, 263, " 50"}, {0, 308, " 40"}, {0, 353, " 30"},
    {0, 398, " 20"}, {0, 443, " 10"}, {0, 488, "  0"},
};
const Label kPointNumbers[] = {
    {25, 505, "1"},  {123, 505, "2"}, {221, 505, "3"}, {319, 505, "4"},
    {417, 505, "5"}, {515, 505, "6"}, {613, 505, "7"},
};

std::array<int, kThrottlePointCount> storedPoints()
{
    return {ParamData.THCURE_Data01, ParamData.THCURE_Data02, ParamData.THCURE_Data03,
            ParamData.THCURE_Data04, ParamData.THCURE_Data05, ParamData.THCURE_Data06,
            ParamData.THCURE_Data07};
}

} // namespace

ThCurveGeometry computeThCurve(int w, int h, const std::array<int, kThrottlePointCount> &values)
{
    const int plotW = w - 40;
    const int plotH = h - 60;

    ThCurveGeometry g;
    for (int k = 0; k < kThrottleGridLevels - 1; ++k)
        g.levels[k] = 30 + (k * plotH) / 10;
    g.levels[kThrottleGridLevels - 1] = h - 30;

    // There is no grid line on the left edge; the first column is one sixth in.
    for (int k = 1; k < kThrottleGridColumns; ++k)
        g.columns[k - 1] = 20 + (k * plotW) / 6;
    g.columns[kThrottleGridColumns - 1] = w - 20;

    if (w - 1 > 49)
        g.rowDashXs = dashStarts(20, w - 30);
    if (h - 1 > 49)
        g.columnDashYs = dashStarts(20, h - 30);

    for (int n = 0; n < kThrottlePointCount; ++n) {
        int x = 20 + (n * plotW) / 6;
        if (n == 0)
            x = 30;
        else if (n == kThrottlePointCount - 1)
            x = w - 20;
        g.points[n] = QPoint(x, ((100 - values[n]) * plotH) / 100 + 30);
    }
    return g;
}

cureWidget::cureWidget(QWidget *parent)
    : QWidget(parent)
    , m_timer(curveview::startRepainting(this))
{}

void cureWidget::creatData()
{
    if (!m_painted || storedPoints() != m_shown)
        update();
}

void cureWidget::paintEvent(QPaintEvent *event)
{
    const std::array<int, kThrottlePointCount> points = storedPoints();
    // A paint of only part of the view leaves the rest as it was: that part is not yet shown.
    if (event->rect().contains(rect())) {
        m_shown = points;
        m_painted = true;
    }
    const ThCurveGeometry g = computeThCurve(width(), height(), points);

    QPainter painter(this);
    curveview::paintBackground(painter, kFrame);

    painter.setPen(QPen(Qt::green, 1));
    for (int x : g.rowDashXs) {
        for (int y : g.levels)
            painter.drawLine(x, y, x + kDashLength, y);
    }
    for (int y : g.columnDashYs) {
        for (int x : g.columns)
            painter.drawLine(x, y, x, y + kDashLength);
    }

    painter.setPen(QPen(Qt::black, 4));
    for (const Label &label : kPercentLabels)
        painter.drawText(QPoint(label.x, label.y), QString::fromLatin1(label.text));

    painter.setPen(QPen(Qt::blue, 4));
    for (const Label &label : kPointNumbers)
        painter.drawText(QPoint(label.x, label.y), QString::fromLatin1(label.text));

    painter.setPen(QPen(Qt::red, 4));
    for (int n = 1; n < kThrottlePointCount; ++n)
        painter.drawLine(g.points[n - 1], g.points[n]);
}
