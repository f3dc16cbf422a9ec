// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the window fits the room its style leaves, with whatever fonts fontconfig
// offers (ctest runs this with the installed fonts and with DejaVu alone).
#include "formfont.h"
#include "mainwindow.h"
#include "monitorformat.h"
#include "resources.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QtTest>

namespace {

// What a box may show beyond its text now: spin box bounds, the widest read-outs, a port name.
QStringList moreTexts(const QWidget *box)
{
    if (const auto *spin = qobject_cast<const QSpinBox *>(box))
        return {QString::number(spin->minimum()), QString::number(spin->maximum())};
    if (const auto *dbl = qobject_cast<const QDoubleSpinBox *>(box))
        return {QString::number(dbl->maximum(), 'f', dbl->decimals())};
    const QString name = box->objectName();
    if (name == QLatin1String("lineEdit_RSSI") || name == QLatin1String("lineEdit_TX"))
        return {formatRssi(44), formatTxVolt(9999)};
    if (name == QLatin1String("portNameBox"))
        return {QStringLiteral("ttyUSB0")};
    const bool channel =
        QRegularExpression(QStringLiteral("^lineEdit(_[2-8])?$")).match(name).hasMatch();
    return channel ? QStringList{QStringLiteral("2000")} : QStringList();
}

// Each text wider than its room, as "name: text".
QStringList misfits(QWidget *root)
{
    QStringList found;
    const auto check = [&found](const QWidget *w, const QStringList &texts, int room) {
        for (const QString &text : texts) {
            if (w->fontMetrics().horizontalAdvance(text) > room)
                found << w->objectName() + QStringLiteral(": ") + text;
        }
    };
    for (QWidget *w : root->findChildren<QWidget *>() + QList<QWidget *>{root}) {
        if (const auto *edit = qobject_cast<const QLineEdit *>(w)) {
            // 2 px kept on each side; a text that leaves no room for the cursor is scrolled.
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth = edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
            const QRect r =
                edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit);
            const QWidget *box = qobject_cast<QLineEdit *>(w->parentWidget()->focusProxy()) == edit
                                     ? w->parentWidget()
                                     : edit;
            check(edit, QStringList{edit->text()} + moreTexts(box), r.width() - 6);
        } else if (const auto *combo = qobject_cast<const QComboBox *>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(combo);
            QStringList items;
            for (int i = 0; i < combo->count() && !combo->isEditable(); ++i)
                items << combo->itemText(i);
            check(combo, items,
                  combo->style()
                      ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                       combo)
                      .width());
        } else if (const auto *group = qobject_cast<const QGroupBox *>(w)) {
            check(group, {group->title()}, group->contentsRect().width());
        } else if (const auto *bar = qobject_cast<const QTabBar *>(w)) {
            for (int i = 0; i < bar->count(); ++i)
                check(bar, {bar->tabText(i)},
                      bar->tabRect(i).width() -
                          bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace));
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            check(button, {button->text()}, button->contentsRect().width());
        }
    }
    return found;
}

} // namespace

class TestTextFit : public QObject
{
    Q_OBJECT

private slots:
    void everyTextFits_data()
    {
        korvaInitResources();
        useFormFont();
        qInfo() << "Arial is" << QFontInfo(QFont(QStringLiteral("Arial"))).family()
                << "stretched to" << QApplication::font().stretch();
        QTest::addColumn<int>("page");
        for (int page = 0; page < 5; ++page)
            QTest::addRow("page %d", page) << page;
    }

    // Each page is shown, so that it is polished and laid out as the pilot sees it.
    void everyTextFits()
    {
        QFETCH(int, page);
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        tabs->setCurrentIndex(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const QStringList found =
            misfits(tabs->currentWidget()) +
            (page ? QStringList()
                  : misfits(window.findChild<QWidget *>(QStringLiteral("frame"))) +
                        misfits(tabs->tabBar()));
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QLatin1String(", "))));
    }
};

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
