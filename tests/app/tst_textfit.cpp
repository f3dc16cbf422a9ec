// SPDX-License-Identifier: GPL-3.0-or-later
// Every text of the window fits the room its style leaves, with whatever fonts fontconfig
// offers (ctest runs this with the installed fonts and with DejaVu alone): a text wider than
// its box is cut or scrolled, and "DOWN:" reads "OWN:".
#include "formfont.h"
#include "mainwindow.h"
#include "monitorformat.h"
#include "resources.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QStyleOption>
#include <QTabBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

namespace {

// The texts a spin box can show: its bounds and special text.
QStringList spinTexts(const QAbstractSpinBox *box)
{
    QStringList texts{box->specialValueText()};
    if (const auto *spin = qobject_cast<const QSpinBox *>(box)) {
        for (int v : {spin->minimum(), spin->maximum()})
            texts << spin->prefix() + QString::number(v) + spin->suffix();
    } else if (const auto *dbl = qobject_cast<const QDoubleSpinBox *>(box)) {
        for (double v : {dbl->minimum(), dbl->maximum()})
            texts << dbl->prefix() + dbl->locale().toString(v, 'f', dbl->decimals()) +
                         dbl->suffix();
    }
    return texts;
}

// The widest texts the read-outs show, beside their texts now; the port box with a short name.
QStringList liveTexts(const QString &name)
{
    if (name == QLatin1String("lineEdit_TX"))
        return {formatTxVolt(999), formatTxVolt(9999)};
    if (name == QLatin1String("lineEdit_EXT"))
        return {formatExtVolt(99), formatExtVolt(999)};
    if (name == QLatin1String("lineEdit_RSSI"))
        return {formatRssi(44), formatRssi(99)};
    if (name == QLatin1String("portNameBox"))
        return {QStringLiteral("ttyUSB0")};
    if (QRegularExpression(QStringLiteral("^lineEdit(_[2-8])?$")).match(name).hasMatch())
        return {QStringLiteral("2000"), QStringLiteral("1888")}; // channel values
    return {};
}

// Each text wider than its room, as "name: text needs/room".
QStringList misfits(const QWidget *root)
{
    QStringList found;
    const auto check = [&found](const QWidget *w, const QStringList &texts, int room, int extra) {
        for (const QString &text : texts) {
            const int need = w->fontMetrics().horizontalAdvance(text) + extra;
            if (need > room)
                found << QStringLiteral("%1: \"%2\" %3/%4")
                             .arg(w->objectName(), text)
                             .arg(need)
                             .arg(room);
        }
    };
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.append(const_cast<QWidget *>(root));
    for (const QWidget *w : qAsConst(widgets)) {
        const QWidget *owner = w->parentWidget();
        if (const auto *edit = qobject_cast<const QLineEdit *>(w)) {
            // QLineEdit keeps 2 px each side and scrolls a text that leaves no room for the cursor.
            QStyleOptionFrame option;
            option.initFrom(edit);
            option.lineWidth =
                edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &option, edit);
            const int room =
                edit->style()->subElementRect(QStyle::SE_LineEditContents, &option, edit).width() -
                4;
            const auto *spin = qobject_cast<const QAbstractSpinBox *>(owner);
            const QWidget *named = spin || qobject_cast<const QComboBox *>(owner) ? owner : edit;
            const QStringList texts =
                spin ? spinTexts(spin) : QStringList{edit->text()} + liveTexts(named->objectName());
            check(edit, texts, room, 1 + edit->style()->pixelMetric(QStyle::PM_TextCursorWidth));
        } else if (const auto *box = qobject_cast<const QComboBox *>(w)) {
            QStyleOptionComboBox option;
            option.initFrom(box);
            option.subControls = QStyle::SC_All;
            QStringList items;
            for (int i = 0; i < box->count() && !box->isEditable(); ++i)
                items << box->itemText(i);
            check(box, items,
                  box->style()
                      ->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField,
                                       box)
                      .width(),
                  0);
        } else if (const auto *group = qobject_cast<const QGroupBox *>(w)) {
            check(group, {group->title()}, group->contentsRect().width(), 0);
        } else if (const auto *bar = qobject_cast<const QTabBar *>(w)) {
            for (int i = 0; i < bar->count(); ++i)
                check(bar, {bar->tabText(i)},
                      bar->tabRect(i).width() -
                          bar->style()->pixelMetric(QStyle::PM_TabBarTabHSpace),
                      0);
        } else if (const auto *button = qobject_cast<const QAbstractButton *>(w)) {
            check(button, {button->text()}, button->contentsRect().width(), 0);
        }
    }
    return found;
}

} // namespace

class TestTextFit : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        korvaInitResources();
        useFormFont();
        qInfo() << "Arial is" << QFontInfo(QFont(QStringLiteral("Arial"))).family()
                << "stretched to" << QApplication::font().stretch();
    }

    // Each page is shown, so that it is polished and laid out as the pilot sees it.
    void everyTextFits_data()
    {
        QTest::addColumn<int>("page");
        for (int page = 0; page < 5; ++page)
            QTest::addRow("page %d", page) << page;
    }

    void everyTextFits()
    {
        QFETCH(int, page);
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        tabs->setCurrentIndex(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QStringList found = misfits(tabs->currentWidget());
        if (page == 0)
            found << misfits(window.findChild<QWidget *>(QStringLiteral("frame")))
                  << misfits(tabs->tabBar());
        for (const QString &misfit : qAsConst(found))
            qWarning("%s", qPrintable(misfit));
        QVERIFY(found.isEmpty());
    }
};

QTEST_MAIN(TestTextFit)
#include "tst_textfit.moc"
