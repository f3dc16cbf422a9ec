// SPDX-License-Identifier: GPL-3.0-or-later
#include "curveview.h"

#include <QPainter>
#include <QPen>

namespace curveview {

namespace {
constexpr int kDashPitch = 15;
constexpr int kFrameWidth = 4;
} // namespace

QVector<int> dashStarts(int low, int high)
{
    QVector<int> starts;
    for (int i = low + 1; i < high; ++i) {
        if (i % kDashPitch == 0)
            starts.append(i);
    }
    return starts;
}

void paintBackground(QPainter &painter, const QRect &frame)
{
    painter.setPen(QPen(Qt::green, kFrameWidth));
    painter.fillRect(kBackground, Qt::white);
    painter.drawRect(frame);
}

} // namespace curveview
