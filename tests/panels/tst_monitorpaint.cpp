// SPDX-License-Identifier: GPL-3.0-or-later
// The live monitor asks for its bars to be repainted rather than repainting them itself: what
// the window shows after a refresh pass must still be exactly what painting it afresh gives.

#include "mainwindow.h"
#include "paramstore.h"
#include "resources.h"

#include <QProgressBar>
#include <QScreen>
#include <QtTest>

namespace {

const IntField kServos[] = {&ParamStore::Servo1, &ParamStore::Servo2, &ParamStore::Servo3,
                            &ParamStore::Servo4, &ParamStore::Servo5, &ParamStore::Servo6,
                            &ParamStore::Servo7, &ParamStore::Servo8};

} // namespace

class tst_MonitorPaint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void shownBarsFollowEveryPass_data();
    void shownBarsFollowEveryPass();

private:
    std::unique_ptr<MainWindow> m_window;
};

void tst_MonitorPaint::initTestCase()
{
    korvaInitResources();
    ParamData = ParamStore{};
    m_window = std::make_unique<MainWindow>();
    m_window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
}

void tst_MonitorPaint::shownBarsFollowEveryPass_data()
{
    // Each row moves the servos from where the previous row left them: up, down across the
    // centre, by less than a pixel of bar, and to both ends.
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("step");
    QTest::newRow("rising above the centre") << 1100 << 90;
    QTest::newRow("falling below the centre") << 300 << 60;
    QTest::newRow("creeping by one") << 301 << 1;
    QTest::newRow("to the ends") << 0 << 285;
}

void tst_MonitorPaint::shownBarsFollowEveryPass()
{
    QFETCH(int, low);
    QFETCH(int, step);
    for (int i = 0; i < 8; ++i)
        ParamData.*kServos[i] = low + step * i;
    QMetaObject::invokeMethod(m_window.get(), "Servo_Display");
    QCoreApplication::processEvents();

    const QImage shown = m_window->screen()->grabWindow(m_window->winId()).toImage();
    const QImage fresh = m_window->grab().toImage().convertToFormat(shown.format());
    QCOMPARE(shown.size(), fresh.size());
    QVERIFY(shown == fresh);
    const auto bars = m_window->findChildren<QProgressBar *>();
    QCOMPARE(bars.size(), 16);
}

QTEST_MAIN(tst_MonitorPaint)
#include "tst_monitorpaint.moc"
