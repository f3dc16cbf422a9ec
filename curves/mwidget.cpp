// SPDX-License-Identifier: GPL-3.0-or-later
#include "mwidget.h"

#include "curveview.h"
#include "paramstore.h"

#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

using curveview::dashStarts;
using curveview::kDashLength;

namespace {

constexpr int kMargin = 20;
const QRect kFrame(20, 20, 545, 390);

} // namespace

DrCurveGeometry computeDrCurve(int w, int h, int rate, int expo)
{
    // Each quotient is truncated before it is used again; the grouping is part of the picture.
    const int plotW = w - 2 * kMargin;
    const int plotH = h - 2 * kMargin;
    const int quarterX = plotW / 4 + kMargin;

    DrCurveGeometry g;
    g.centre = QPoint(plotW / 2 + kMargin, plotH / 2 + kMargin);
    g.rateDrop = (100 - rate) * (plotH / 2);
    g.endInset = g.rateDrop / 100;
    g.bend = (rate * expo) / 100;
    g.bendX = ((quarterX / 2) * g.bend) / 100;
    g.bendY = (g.bend * (plotH / 4)) / 100;

    g.lowerStart = QPoint(kMargin, (h - kMargin) - g.endInset);
    g.lowerControl =
        QPoint(quarterX + g.bendX, 3 * plotH / 4 - g.rateDrop / 200 + g.bendY + kMargin);
    g.upperStart = QPoint(w - kMargin, g.endInset + kMargin);
    g.upperControl =
        QPoint(3 * plotW / 4 - g.bendX + kMargin, plotH / 4 - g.bendY + g.rateDrop / 200 + kMargin);

    if (w - kMargin > kMargin)
        g.dashXs = dashStarts(kMargin, w - kMargin);
    if (h - kMargin > kMargin)
        g.dashYs = dashStarts(kMargin, h - kMargin);
    return g;
}

mWidget::mWidget(QWidget *parent)
    : QWidget(parent)
    , m_timer(curveview::startRepainting(this))
{}

void mWidget::creatData()
{
    if (!m_painted || ParamData.DR_RATE != m_shownRate || ParamData.DR_EXP != m_shownExpo)
        update();
}

void mWidget::paintEvent(QPaintEvent *event)
{
    // A paint of only part of the view leaves the rest as it was: that part is not yet shown.
    if (event->rect().contains(rect())) {
        m_shownRate = ParamData.DR_RATE;
        m_shownExpo = ParamData.DR_EXP;
        m_painted = true;
    }
    const DrCurveGeometry g =
        computeDrCurve(width(), height(), ParamData.DR_RATE, ParamData.DR_EXP);

    QPainter painter(this);
    curveview::paintBackground(painter, kFrame);

    painter.setPen(QPen(Qt::green, 2));
    for (int x : g.dashXs)
        painter.drawLine(x, g.centre.y(), x + kDashLength, g.centre.y());
    for (int y : g.dashYs)
        painter.drawLine(g.centre.x(), y, g.centre.x(), y + kDashLength);

    painter.setPen(QPen(Qt::red, 4));
    QPainterPath lower;
    lower.moveTo(g.lowerStart);
    lower.cubicTo(g.lowerStart, g.lowerControl, g.centre);
    painter.drawPath(lower);

    QPainterPath upper;
    upper.moveTo(g.upperStart);
    upper.cubicTo(g.upperStart, g.upperControl, g.centre);
    painter.drawPath(upper);
}
