// SPDX-License-Identifier: GPL-3.0-or-later
// The window without a mouse: the top bar's keys and what it tells assistive tools, the page
// keys, and Tab going from setting to setting on every page, past no caption.
#include "mainwindow.h"
#include "resources.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

class TestKeyboard : public QObject
{
    Q_OBJECT

    std::unique_ptr<MainWindow> m_window;

    QTabWidget *shown(int page)
    {
        m_window = std::make_unique<MainWindow>();
        auto *tabs = m_window->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        tabs->setCurrentIndex(page);
        m_window->show();
        return QTest::qWaitForWindowActive(m_window.get()) ? tabs : nullptr;
    }

private slots:
    void initTestCase() { korvaInitResources(); }

    // An empty key: a status box, which only tells what it shows.
    void topBar_data()
    {
        QTest::addColumn<QString>("key");
        const char *const rows[][2] = {{"toolButton_Read", "Ctrl+R"},
                                       {"toolButton_Load", "Ctrl+O"},
                                       {"toolButton_Send", "Ctrl+T"},
                                       {"toolButton_Save", "Ctrl+S"},
                                       {"toolButton_Reset", "Ctrl+Shift+R"},
                                       {"openButton", "Ctrl+L"},
                                       {"lineEdit_TX", ""},
                                       {"lineEdit_EXT", ""},
                                       {"lineEdit_RSSI", ""}};
        for (const auto &row : rows)
            QTest::newRow(row[0]) << row[1];
    }

    void topBar()
    {
        QFETCH(QString, key);
        QVERIFY(shown(0));
        QCOMPARE(QApplication::focusWidget(), m_window.get()); // no button has it yet
        auto *w = m_window->findChild<QWidget *>(QLatin1String(QTest::currentDataTag()));
        QVERIFY(!w->toolTip().isEmpty() && !w->accessibleName().isEmpty());
        auto *button = qobject_cast<QAbstractButton *>(w);
        QCOMPARE(button ? Qt::TabFocus : Qt::NoFocus, w->focusPolicy());
        if (!button)
            return;
        QVERIFY(w->toolTip().endsWith(QStringLiteral(" (%1)").arg(key)));
        disconnect(button, &QAbstractButton::clicked, nullptr,
                   nullptr); // the key, not the operation
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::keySequence(m_window.get(), QKeySequence(key));
        QTRY_COMPARE(clicked.count(), 1);
    }

    void pagesTurnFromAnywhere()
    {
        QTabWidget *tabs = shown(0);
        QVERIFY(tabs);
        QTest::keySequence(m_window.get(), QKeySequence(QStringLiteral("Ctrl+PgDown")));
        QCOMPARE(tabs->currentIndex(), 1);
        QTest::keySequence(m_window.get(), QKeySequence(QStringLiteral("Ctrl+PgUp")));
        QTest::keySequence(m_window.get(), QKeySequence(QStringLiteral("Ctrl+PgUp")));
        QCOMPARE(tabs->currentIndex(), tabs->count() - 1);
    }

    // Once round the Tab chain: the top bar's buttons and each setting of the page; a button
    // reached shows its focus border, and loses it when left.
    void tabStops_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 0; page < 5; ++page)
            QTest::addRow("page %d", page) << page;
    }

    void tabStops()
    {
        QFETCH(int, page);
        QTabWidget *tabs = shown(page);
        QVERIFY(tabs);
        QStringList expected{"toolButton_Read", "toolButton_Load",  "toolButton_Send",
                             "toolButton_Save", "toolButton_Reset", "openButton",
                             "portNameBox",     "toolButton_led"};
        for (QWidget *w : tabs->currentWidget()->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w))
                expected << w->objectName();
        }
        QStringList visited;
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *w = QApplication::focusWidget();
            w = w->objectName().startsWith(QLatin1String("qt_")) ? w->parentWidget() : w;
            if (!visited.isEmpty() && w->objectName() == visited.first())
                break;
            visited << w->objectName();
            if (qobject_cast<QAbstractButton *>(w) && !w->objectName().endsWith("led")) {
                const QImage focused = w->grab().toImage();
                QTest::keyClick(w, Qt::Key_Tab);
                QVERIFY(w->grab().toImage() != focused);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            }
        }
        std::sort(visited.begin(), visited.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(visited, expected);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
