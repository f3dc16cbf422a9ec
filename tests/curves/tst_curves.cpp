// SPDX-License-Identifier: GPL-3.0-or-later
#include "curewidget.h"
#include "mwidget.h"
#include "paramstore.h"

#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QtTest>

#include <array>

namespace {

// The sizes the settings pages give the two views.
const QSize kDrViewSize(585, 430);
const QSize kThViewSize(595, 430);

// Long enough for one more tick of the views' 100 ms repaint timer and the paint it triggers.
constexpr int kOneRepaintMs = 150;

QImage renderView(QWidget &view)
{
    return view.grab().toImage().convertToFormat(QImage::Format_RGB32);
}

QImage screenOf(QWidget &view)
{
    return view.screen()->grabWindow(view.winId()).toImage().convertToFormat(QImage::Format_RGB32);
}

QPoint cubicPoint(QPoint p0, QPoint p1, QPoint p2, QPoint p3, double t)
{
    const double u = 1.0 - t;
    const QPointF p = u * u * u * QPointF(p0) + 3 * u * u * t * QPointF(p1) +
                      3 * u * t * t * QPointF(p2) + t * t * t * QPointF(p3);
    return p.toPoint();
}

// Text may be smoothed, so a label pixel is dark grey rather than exactly black.
bool hasDarkPixel(const QImage &image, const QRect &area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() < 96 && c.green() < 96 && c.blue() < 96)
                return true;
        }
    }
    return false;
}

using ThValues = QVector<int>;

std::array<int, kThrottlePointCount> toArray(const ThValues &values)
{
    std::array<int, kThrottlePointCount> a{};
    std::copy(values.begin(), values.end(), a.begin());
    return a;
}

void setThrottleStore(const ThValues &v)
{
    ParamData.THCURE_Data01 = v[0];
    ParamData.THCURE_Data02 = v[1];
    ParamData.THCURE_Data03 = v[2];
    ParamData.THCURE_Data04 = v[3];
    ParamData.THCURE_Data05 = v[4];
    ParamData.THCURE_Data06 = v[5];
    ParamData.THCURE_Data07 = v[6];
}

QVector<int> every15(int first, int last)
{
    QVector<int> v;
    for (int i = first; i <= last; i += 15)
        v.append(i);
    return v;
}

enum class View { DualRate, Throttle };

} // namespace

Q_DECLARE_METATYPE(View)

class TestCurves : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void drCurveTermsTruncateTowardZero_data();
    void drCurveTermsTruncateTowardZero();
    void drCurvePointsFollowRateAndExpo_data();
    void drCurvePointsFollowRateAndExpo();
    void drCentreLineDashesSpanTheFrame_data();
    void drCentreLineDashesSpanTheFrame();

    void thGridLinesSitAtTheirLevels();
    void thGridDashesSpanTheFrame_data();
    void thGridDashesSpanTheFrame();
    void thCurvePointsFollowTheStore_data();
    void thCurvePointsFollowTheStore();

    void drViewPixels_data();
    void drViewPixels();
    void thViewPixels_data();
    void thViewPixels();
    void thPercentLabelsAreDrawnInBlack_data();
    void thPercentLabelsAreDrawnInBlack();

    void storeChangeShowsAtNextRepaint_data();
    void storeChangeShowsAtNextRepaint();
};

void TestCurves::init()
{
    ParamData = ParamStore{};
}

void TestCurves::drCurveTermsTruncateTowardZero_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("expo");
    QTest::addColumn<int>("rateDrop");
    QTest::addColumn<int>("endInset");
    QTest::addColumn<int>("bend");
    QTest::addColumn<int>("bendX");
    QTest::addColumn<int>("bendY");

    QTest::newRow("rate 100 exp 50") << 100 << 50 << 0 << 0 << 50 << 39 << 48;
    // 40 * 97 / 100 is 38; taking the quarter height after the product would give 39.
    QTest::newRow("rate 100 exp 40") << 100 << 40 << 0 << 0 << 40 << 31 << 38;
    QTest::newRow("rate 60 exp 0") << 60 << 0 << 7800 << 78 << 0 << 0 << 0;
    // 97 * -50 / 100 is -48.5: toward zero, not down to -49.
    QTest::newRow("rate 100 exp -50") << 100 << -50 << 0 << 0 << -50 << -39 << -48;
    QTest::newRow("rate 0 exp 100") << 0 << 100 << 19500 << 195 << 0 << 0 << 0;
    // K is -16.5, E -12.48, F -15.52, D 97.5: every quotient cut toward zero.
    QTest::newRow("rate 50 exp -33") << 50 << -33 << 9750 << 97 << -16 << -12 << -15;
    // Not clamped: above 100 the ends move outside the frame, -1.95 truncating to -1.
    QTest::newRow("rate 101 exp 0") << 101 << 0 << -195 << -1 << 0 << 0 << 0;
}

void TestCurves::drCurveTermsTruncateTowardZero()
{
    QFETCH(int, rate);
    QFETCH(int, expo);

    const DrCurveGeometry g = computeDrCurve(kDrViewSize.width(), kDrViewSize.height(), rate, expo);
    QTEST(g.rateDrop, "rateDrop");
    QTEST(g.endInset, "endInset");
    QTEST(g.bend, "bend");
    QTEST(g.bendX, "bendX");
    QTEST(g.bendY, "bendY");
}

void TestCurves::drCurvePointsFollowRateAndExpo_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("expo");
    QTest::addColumn<QPoint>("lowerStart");
    QTest::addColumn<QPoint>("lowerControl");
    QTest::addColumn<QPoint>("upperStart");
    QTest::addColumn<QPoint>("upperControl");

    QTest::newRow("rate 100 exp 0 is the diagonal")
        << 100 << 0 << QPoint(20, 410) << QPoint(156, 312) << QPoint(565, 20) << QPoint(428, 117);
    QTest::newRow("rate 100 exp 50")
        << 100 << 50 << QPoint(20, 410) << QPoint(195, 360) << QPoint(565, 20) << QPoint(389, 69);
    QTest::newRow("rate 100 exp 40")
        << 100 << 40 << QPoint(20, 410) << QPoint(187, 350) << QPoint(565, 20) << QPoint(397, 79);
    QTest::newRow("rate 100 exp -50")
        << 100 << -50 << QPoint(20, 410) << QPoint(117, 264) << QPoint(565, 20) << QPoint(467, 165);
    QTest::newRow("rate 100 exp -33")
        << 100 << -33 << QPoint(20, 410) << QPoint(131, 280) << QPoint(565, 20) << QPoint(453, 149);
    QTest::newRow("rate 60 exp 0")
        << 60 << 0 << QPoint(20, 332) << QPoint(156, 273) << QPoint(565, 98) << QPoint(428, 156);
    // With no rate the exponential has nothing to bend; the upper control point sits one
    // pixel above the centre line because 97.5 is truncated twice.
    QTest::newRow("rate 0 exp 0") << 0 << 0 << QPoint(20, 215) << QPoint(156, 215)
                                  << QPoint(565, 215) << QPoint(428, 214);
    QTest::newRow("rate 0 exp 100")
        << 0 << 100 << QPoint(20, 215) << QPoint(156, 215) << QPoint(565, 215) << QPoint(428, 214);
    QTest::newRow("rate 0 exp -100")
        << 0 << -100 << QPoint(20, 215) << QPoint(156, 215) << QPoint(565, 215) << QPoint(428, 214);
    QTest::newRow("rate 101 is not clamped")
        << 101 << 0 << QPoint(20, 411) << QPoint(156, 312) << QPoint(565, 19) << QPoint(428, 117);
}

void TestCurves::drCurvePointsFollowRateAndExpo()
{
    QFETCH(int, rate);
    QFETCH(int, expo);

    const DrCurveGeometry g = computeDrCurve(kDrViewSize.width(), kDrViewSize.height(), rate, expo);
    QCOMPARE(g.centre, QPoint(292, 215));
    QTEST(g.lowerStart, "lowerStart");
    QTEST(g.lowerControl, "lowerControl");
    QTEST(g.upperStart, "upperStart");
    QTEST(g.upperControl, "upperControl");
}

void TestCurves::drCentreLineDashesSpanTheFrame_data()
{
    QTest::addColumn<bool>("horizontal");
    QTest::addColumn<QVector<int>>("starts");

    QTest::newRow("horizontal centre line") << true << every15(30, 555);
    // The last dash starts at 405 and so crosses the frame's bottom edge.
    QTest::newRow("vertical centre line") << false << every15(30, 405);
}

void TestCurves::drCentreLineDashesSpanTheFrame()
{
    QFETCH(bool, horizontal);
    QFETCH(QVector<int>, starts);

    const DrCurveGeometry g = computeDrCurve(kDrViewSize.width(), kDrViewSize.height(), 100, 0);
    QCOMPARE(horizontal ? g.dashXs : g.dashYs, starts);
}

void TestCurves::thGridLinesSitAtTheirLevels()
{
    const ThCurveGeometry g =
        computeThCurve(kThViewSize.width(), kThViewSize.height(), {0, 16, 33, 50, 67, 84, 100});

    const std::array<int, kThrottleGridLevels> levels = {30,  67,  104, 141, 178, 215,
                                                         252, 289, 326, 363, 400};
    const std::array<int, kThrottleGridColumns> columns = {112, 205, 297, 390, 482, 575};
    QCOMPARE(g.levels, levels);
    QCOMPARE(g.columns, columns);
}

void TestCurves::thGridDashesSpanTheFrame_data()
{
    QTest::addColumn<bool>("rows");
    QTest::addColumn<QVector<int>>("starts");

    QTest::newRow("36 dashes per level") << true << every15(30, 555);
    QTest::newRow("25 dashes per column") << false << every15(30, 390);
}

void TestCurves::thGridDashesSpanTheFrame()
{
    QFETCH(bool, rows);
    QFETCH(QVector<int>, starts);

    const ThCurveGeometry g =
        computeThCurve(kThViewSize.width(), kThViewSize.height(), {0, 16, 33, 50, 67, 84, 100});
    QCOMPARE(rows ? g.rowDashXs : g.columnDashYs, starts);
}

void TestCurves::thCurvePointsFollowTheStore_data()
{
    QTest::addColumn<ThValues>("values");
    QTest::addColumn<QVector<int>>("ys");

    QTest::newRow("store defaults")
        << ThValues{0, 16, 33, 50, 67, 84, 100} << QVector<int>{400, 340, 277, 215, 152, 89, 30};
    QTest::newRow("100 at the frame top")
        << ThValues{100, 100, 100, 100, 100, 100, 100} << QVector<int>{30, 30, 30, 30, 30, 30, 30};
    QTest::newRow("0 a pixel below the frame bottom")
        << ThValues{0, 0, 0, 0, 0, 0, 0} << QVector<int>{400, 400, 400, 400, 400, 400, 400};
    // -3.7 truncates toward zero to -3, so 101 lands at 27 rather than 26.
    QTest::newRow("101 above the frame")
        << ThValues{0, 16, 33, 101, 67, 84, 100} << QVector<int>{400, 340, 277, 27, 152, 89, 30};
    QTest::newRow("-1 below the frame")
        << ThValues{-1, 16, 33, 50, 67, 84, 100} << QVector<int>{403, 340, 277, 215, 152, 89, 30};
}

void TestCurves::thCurvePointsFollowTheStore()
{
    QFETCH(ThValues, values);
    QFETCH(QVector<int>, ys);

    const ThCurveGeometry g =
        computeThCurve(kThViewSize.width(), kThViewSize.height(), toArray(values));
    const int xs[kThrottlePointCount] = {30, 112, 205, 297, 390, 482, 575};
    for (int n = 0; n < kThrottlePointCount; ++n)
        QCOMPARE(g.points[n], QPoint(xs[n], ys[n]));
}

void TestCurves::drViewPixels_data()
{
    QTest::addColumn<int>("rate");
    QTest::addColumn<int>("expo");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("colour");

    const QColor red(Qt::red);
    const QColor green(Qt::green);
    const QColor white(Qt::white);
    const QPoint centre(292, 215);

    // Points along each cubic segment, from the control points worked out by hand.
    const auto addCurve = [&](const char *name, int rate, int expo, QPoint start, QPoint control) {
        for (double t : {0.25, 0.5, 0.75}) {
            const QPoint p = cubicPoint(start, start, control, centre, t);
            QTest::addRow("%s t %.2f (%d,%d)", name, t, p.x(), p.y()) << rate << expo << p << red;
        }
    };
    addCurve("diagonal lower", 100, 0, QPoint(20, 410), QPoint(156, 312));
    addCurve("diagonal upper", 100, 0, QPoint(565, 20), QPoint(428, 117));
    addCurve("exp 50 lower", 100, 50, QPoint(20, 410), QPoint(195, 360));
    addCurve("exp 50 upper", 100, 50, QPoint(565, 20), QPoint(389, 69));
    addCurve("exp -50 lower", 100, -50, QPoint(20, 410), QPoint(117, 264));
    addCurve("exp -50 upper", 100, -50, QPoint(565, 20), QPoint(467, 165));
    addCurve("rate 60 lower", 60, 0, QPoint(20, 332), QPoint(156, 273));
    addCurve("rate 60 upper", 60, 0, QPoint(565, 98), QPoint(428, 156));
    addCurve("rate 0 lower", 0, 0, QPoint(20, 215), QPoint(156, 215));
    addCurve("rate 0 upper", 0, 0, QPoint(565, 215), QPoint(428, 214));

    // Where the diagonal would be, a bent or shortened curve leaves the background showing.
    const QPoint onDiagonal =
        cubicPoint(QPoint(20, 410), QPoint(20, 410), QPoint(156, 312), centre, 0.5);
    QTest::newRow("exp 50 leaves the diagonal") << 100 << 50 << onDiagonal << white;
    QTest::newRow("exp -50 leaves the diagonal") << 100 << -50 << onDiagonal << white;
    QTest::newRow("rate 0 leaves the diagonal") << 0 << 0 << onDiagonal << white;
    QTest::newRow("rate 60 stops short of the corner") << 60 << 0 << QPoint(40, 396) << white;

    QTest::newRow("frame left") << 100 << 0 << QPoint(20, 300) << green;
    QTest::newRow("frame top") << 100 << 0 << QPoint(300, 20) << green;
    QTest::newRow("frame right") << 100 << 0 << QPoint(564, 300) << green;
    QTest::newRow("frame bottom") << 100 << 0 << QPoint(100, 409) << green;
    QTest::newRow("outside the frame") << 100 << 0 << QPoint(10, 300) << white;

    // Dashes 8 px long every 15 px, first at 30; pixels 34 and 49 are on dashes, 42 and 57 in
    // the gaps.
    QTest::newRow("horizontal dash at 30") << 100 << 0 << QPoint(34, 215) << green;
    QTest::newRow("horizontal gap after 30") << 100 << 0 << QPoint(42, 215) << white;
    QTest::newRow("horizontal dash at 45") << 100 << 0 << QPoint(49, 215) << green;
    QTest::newRow("horizontal gap after 45") << 100 << 0 << QPoint(57, 215) << white;
    QTest::newRow("horizontal gap before 555") << 100 << 0 << QPoint(551, 215) << white;
    QTest::newRow("horizontal dash at 555") << 100 << 0 << QPoint(559, 215) << green;
    QTest::newRow("vertical dash at 30") << 100 << 0 << QPoint(292, 34) << green;
    QTest::newRow("vertical gap after 30") << 100 << 0 << QPoint(292, 42) << white;
    QTest::newRow("vertical dash at 390") << 100 << 0 << QPoint(292, 394) << green;
    QTest::newRow("vertical gap after 390") << 100 << 0 << QPoint(292, 401) << white;
    QTest::newRow("vertical dash at 405 crosses the frame bottom")
        << 100 << 0 << QPoint(292, 412) << green;
    QTest::newRow("beside that dash below the frame") << 100 << 0 << QPoint(300, 412) << white;
}

void TestCurves::drViewPixels()
{
    QFETCH(int, rate);
    QFETCH(int, expo);
    QFETCH(QPoint, at);
    QFETCH(QColor, colour);

    ParamData.DR_RATE = rate;
    ParamData.DR_EXP = expo;
    mWidget view;
    view.resize(kDrViewSize);
    const QImage image = renderView(view);
    QCOMPARE(image.pixelColor(at), colour);
}

void TestCurves::thViewPixels_data()
{
    QTest::addColumn<ThValues>("values");
    QTest::addColumn<QPoint>("at");
    QTest::addColumn<QColor>("colour");

    const QColor red(Qt::red);
    const QColor green(Qt::green);
    const QColor white(Qt::white);
    const ThValues defaults{0, 16, 33, 50, 67, 84, 100};
    const QPoint points[] = {{30, 400},  {112, 340}, {205, 277}, {297, 215},
                             {390, 152}, {482, 89},  {575, 30}};

    for (int n = 0; n < kThrottlePointCount; ++n) {
        QTest::addRow("default point %d", n + 1) << defaults << points[n] << red;
        if (n > 0) {
            const QPoint mid = (points[n - 1] + points[n]) / 2;
            QTest::addRow("default line %d-%d", n, n + 1) << defaults << mid << red;
        }
    }

    const ThValues high{0, 16, 33, 101, 67, 84, 100};
    QTest::newRow("101 reaches above the frame top") << high << QPoint(297, 26) << red;
    QTest::newRow("50 leaves that spot blank") << defaults << QPoint(297, 26) << white;
    QTest::newRow("101 line from point 3")
        << high << (QPoint(205, 277) + QPoint(297, 27)) / 2 << red;

    QTest::newRow("frame left") << defaults << QPoint(30, 250) << green;
    QTest::newRow("frame top") << defaults << QPoint(150, 30) << green;
    QTest::newRow("frame right") << defaults << QPoint(574, 250) << green;
    QTest::newRow("frame bottom") << defaults << QPoint(450, 399) << green;

    QTest::newRow("level 67 dash at 45") << defaults << QPoint(49, 67) << green;
    QTest::newRow("level 67 gap after 45") << defaults << QPoint(57, 67) << white;
    QTest::newRow("level 363 dash at 555") << defaults << QPoint(559, 363) << green;
    QTest::newRow("between levels 67 and 104") << defaults << QPoint(49, 85) << white;
    QTest::newRow("column 205 dash at 45") << defaults << QPoint(205, 49) << green;
    QTest::newRow("column 205 gap after 45") << defaults << QPoint(205, 57) << white;
    QTest::newRow("column 482 dash at 390") << defaults << QPoint(482, 394) << green;
    QTest::newRow("no column at x 20") << defaults << QPoint(20, 49) << white;
}

void TestCurves::thViewPixels()
{
    QFETCH(ThValues, values);
    QFETCH(QPoint, at);
    QFETCH(QColor, colour);

    setThrottleStore(values);
    cureWidget view;
    view.resize(kThViewSize);
    const QImage image = renderView(view);
    QCOMPARE(image.pixelColor(at), colour);
}

void TestCurves::thPercentLabelsAreDrawnInBlack_data()
{
    QTest::addColumn<int>("baseline");

    // Only the labels from 100 down to 20 fall inside the view at its layout size.
    for (int baseline = 38; baseline <= 398; baseline += 45)
        QTest::addRow("label at %d", baseline) << baseline;
}

void TestCurves::thPercentLabelsAreDrawnInBlack()
{
    QFETCH(int, baseline);

    cureWidget view;
    view.resize(kThViewSize);
    const QImage image = renderView(view);

    // Digits sit just above the baseline, left of the frame.
    QVERIFY(hasDarkPixel(image, QRect(0, baseline - 8, 26, 8)));
    // Halfway to the next label there is only background.
    QVERIFY(!hasDarkPixel(image, QRect(0, baseline + 12, 26, 14)));
}

void TestCurves::storeChangeShowsAtNextRepaint_data()
{
    QTest::addColumn<View>("view");
    QTest::addColumn<QPoint>("at");

    // On the default diagonal; off the curve once the rate is 0.
    QTest::newRow("dual rate") << View::DualRate
                               << cubicPoint(QPoint(20, 410), QPoint(20, 410), QPoint(156, 312),
                                             QPoint(292, 215), 0.5);
    // Blank above the frame until point 4 is raised to 101.
    QTest::newRow("throttle") << View::Throttle << QPoint(297, 26);
}

void TestCurves::storeChangeShowsAtNextRepaint()
{
    QFETCH(View, view);
    QFETCH(QPoint, at);

    QScopedPointer<QWidget> widget;
    if (view == View::DualRate) {
        widget.reset(new mWidget);
        widget->resize(kDrViewSize);
    } else {
        widget.reset(new cureWidget);
        widget->resize(kThViewSize);
    }
    widget->show();
    QVERIFY(QTest::qWaitForWindowExposed(widget.data()));
    QTest::qWait(kOneRepaintMs);
    const QColor before = screenOf(*widget).pixelColor(at);

    if (view == View::DualRate)
        ParamData.DR_RATE = 0;
    else
        ParamData.THCURE_Data04 = 101;
    // Nothing is told about the change; until the timer fires the screen still shows the old
    // picture.
    QCOMPARE(screenOf(*widget).pixelColor(at), before);

    QTest::qWait(kOneRepaintMs);
    const QColor after = screenOf(*widget).pixelColor(at);
    if (view == View::DualRate) {
        QCOMPARE(before, QColor(Qt::red));
        QCOMPARE(after, QColor(Qt::white));
    } else {
        QCOMPARE(before, QColor(Qt::white));
        QCOMPARE(after, QColor(Qt::red));
    }
}

QTEST_MAIN(TestCurves)
#include "tst_curves.moc"
