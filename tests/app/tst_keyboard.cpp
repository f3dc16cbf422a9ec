// SPDX-License-Identifier: GPL-3.0-or-later
// The window without a mouse: the top bar's keys, what it tells assistive tools, and Tab going
// from setting to setting on every page, past no caption.
#include "mainwindow.h"
#include "resources.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QtTest>

class TestKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { korvaInitResources(); }

    // Key empty: a status box, which only tells what it shows.
    void topBar_data()
    {
        QTest::addColumn<QString>("name");
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
            QTest::newRow(row[0]) << row[0] << row[1];
    }

    void topBar()
    {
        QFETCH(QString, name);
        QFETCH(QString, key);
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        // No button shows the focus before a key is pressed.
        QCOMPARE(QApplication::focusWidget(), &window);
        auto *w = window.findChild<QWidget *>(name);
        QVERIFY(!w->toolTip().isEmpty() && !w->accessibleName().isEmpty());
        auto *button = qobject_cast<QAbstractButton *>(w);
        QCOMPARE(button != nullptr, !key.isEmpty());
        if (!button) {
            QCOMPARE(w->focusPolicy(), Qt::NoFocus);
            return;
        }
        QVERIFY2(w->toolTip().endsWith(QStringLiteral(" (%1)").arg(key)), qPrintable(w->toolTip()));
        // Only the key is tried here, not the operation it starts.
        disconnect(button, &QAbstractButton::clicked, nullptr, nullptr);
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::keySequence(&window, QKeySequence(key));
        QTRY_COMPARE(clicked.count(), 1);
    }

    // The pages turn from wherever the focus is, round from the last to the first.
    void pageKeys()
    {
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        QTest::keySequence(&window, QKeySequence(QStringLiteral("Ctrl+PgDown")));
        QCOMPARE(tabs->currentIndex(), 1);
        for (int i = 0; i < 2; ++i)
            QTest::keySequence(&window, QKeySequence(QStringLiteral("Ctrl+PgUp")));
        QCOMPARE(tabs->currentIndex(), tabs->count() - 1);
    }

    // Tab from the start visits the top bar's buttons and each setting of the page once.
    void tabStops_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 0; page < 5; ++page)
            QTest::addRow("page %d", page) << page;
    }

    void tabStops()
    {
        QFETCH(int, page);
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        tabs->setCurrentIndex(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        QStringList expected{"toolButton_Read", "toolButton_Load",  "toolButton_Send",
                             "toolButton_Save", "toolButton_Reset", "openButton",
                             "portNameBox"};
        for (QWidget *w : tabs->currentWidget()->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractSpinBox *>(w) || qobject_cast<QComboBox *>(w))
                expected << w->objectName();
        }
        // Round the whole chain once, back to where Tab first went.
        QStringList visited;
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QWidget *w = QApplication::focusWidget();
            while (w->objectName().startsWith(QLatin1String("qt_")))
                w = w->parentWidget(); // a box's own line edit
            if (!visited.isEmpty() && w->objectName() == visited.first())
                break;
            // A button reached with Tab shows its focus border; the one it left does not.
            if (qobject_cast<QAbstractButton *>(w) && w->objectName() != "toolButton_led") {
                const QImage focused = w->grab().toImage();
                QTest::keyClick(w, Qt::Key_Tab);
                QVERIFY(w->grab().toImage() != focused);
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
            }
            visited << w->objectName();
        }
        visited.removeAll(QStringLiteral("toolButton_led"));
        std::sort(visited.begin(), visited.end());
        std::sort(expected.begin(), expected.end());
        QCOMPARE(visited, expected);
    }
};

QTEST_MAIN(TestKeyboard)
#include "tst_keyboard.moc"
