// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPoint>
#include <QVector>
#include <QWidget>

#include <array>

class QTimer;

constexpr int kThrottlePointCount = 7;
constexpr int kThrottleGridLevels = 11;
constexpr int kThrottleGridColumns = 6;

// Where everything of the throttle curve lands for a view of w x h pixels showing the seven
// curve values (in percent). Integer pixels, each quotient truncated before it is used again:
// that grouping decides where every line falls.
struct ThCurveGeometry
{
    std::array<int, kThrottleGridLevels> levels{};   // y of each horizontal grid line, top down
    std::array<int, kThrottleGridColumns> columns{}; // x of each vertical grid line, left to right
    QVector<int> rowDashXs;                          // start x of the dashes of every grid row
    QVector<int> columnDashYs;                       // start y of the dashes of every grid column
    std::array<QPoint, kThrottlePointCount> points{};
};

ThCurveGeometry computeThCurve(int w, int h, const std::array<int, kThrottlePointCount> &values);

// Shows the seven-point throttle curve. The store is looked at ten times a second so that any
// change of a point shows up however it was made; the view is redrawn only when one changed.
class cureWidget : public QWidget
{
    Q_OBJECT

public:
    explicit cureWidget(QWidget *parent = nullptr);

public slots:
    void creatData();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QTimer *m_timer = nullptr;
    std::array<int, kThrottlePointCount> m_shown{}; // the points of the last paint
    bool m_painted = false;
};
