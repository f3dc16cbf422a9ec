// SPDX-License-Identifier: GPL-3.0-or-later
// Building the form with its tab pages in place must give the very window setupUi builds on
// its own, only sooner: the same widgets with the same fonts, palettes and geometry, and the
// same pixels on every page. And the window starts without a word from the style-sheet parser.

#include "formpages.h"
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "resources.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QProgressBar>
#include <QScreen>
#include <QTabWidget>
#include <QtTest>

#include <memory>

namespace {

struct BuiltForm
{
    QMainWindow window;
    Ui::MainWindow ui;
};

std::unique_ptr<BuiltForm> build(bool inPlace)
{
    auto form = std::make_unique<BuiltForm>();
    if (inPlace)
        FormPages::setupUi(form->ui, &form->window);
    else
        form->ui.setupUi(&form->window);
    form->window.show();
    if (!QTest::qWaitForWindowExposed(&form->window))
        return nullptr;
    return form;
}

QStringList cssWarnings;
QtMessageHandler otherMessages = nullptr;

void collectCssWarnings(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text.contains(QLatin1String("QCssParser")))
        cssWarnings.append(text);
    else if (otherMessages)
        otherMessages(type, context, text);
}

QString describe(const QWidget *w)
{
    const QWidget *p = w->parentWidget();
    return QStringLiteral("%1 %2 in %3")
        .arg(QLatin1String(w->metaObject()->className()), w->objectName(),
             p ? p->objectName() : QStringLiteral("-"));
}

} // namespace

class tst_FormPages : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void sameWidgetsWithTheSameLook();
    void samePixelsOnEveryPage_data();
    void samePixelsOnEveryPage();
    void comboPopupsKeepTheirBoxFont();
    void liveValuesRepaintToTheSamePixels_data();
    void liveValuesRepaintToTheSamePixels();
    void windowStartsWithoutStyleSheetWarnings();
    void pagesNotShownAreAtLastPolishedWhenIdle();

private:
    std::unique_ptr<BuiltForm> m_plain;
    std::unique_ptr<BuiltForm> m_inPlace;
};

void tst_FormPages::initTestCase()
{
    korvaInitResources();
    m_plain = build(false);
    m_inPlace = build(true);
    QVERIFY(m_plain && m_inPlace);
}

void tst_FormPages::sameWidgetsWithTheSameLook()
{
    // A spin box lays out its text field when it is first shown; until then the field of a
    // box on a page never shown may sit a pixel off.
    for (BuiltForm *form : {m_plain.get(), m_inPlace.get()}) {
        for (int i = form->ui.tabWidget->count() - 1; i >= 0; --i) {
            form->ui.tabWidget->setCurrentIndex(i);
            QCoreApplication::processEvents();
        }
    }
    const auto plain = m_plain->window.findChildren<QWidget *>();
    const auto inPlace = m_inPlace->window.findChildren<QWidget *>();
    QCOMPARE(inPlace.size(), plain.size());
    for (int i = 0; i < plain.size(); ++i) {
        const QWidget *a = plain.at(i);
        const QWidget *b = inPlace.at(i);
        const QByteArray whatBytes = describe(a).toUtf8();
        const char *what = whatBytes.constData();
        QCOMPARE(describe(b), describe(a));
        QVERIFY2(b->geometry() == a->geometry(), what);
        QVERIFY2(b->isHidden() == a->isHidden(), what);
        QVERIFY2(b->font() == a->font(), what);
        QVERIFY2(b->palette() == a->palette(), what);
        QVERIFY2(b->styleSheet() == a->styleSheet(), what);
        QVERIFY2(b->testAttribute(Qt::WA_StyledBackground) ==
                     a->testAttribute(Qt::WA_StyledBackground),
                 what);
    }
    QCOMPARE(m_inPlace->ui.tabWidget->count(), m_plain->ui.tabWidget->count());
    for (int i = 0; i < m_plain->ui.tabWidget->count(); ++i) {
        QCOMPARE(m_inPlace->ui.tabWidget->widget(i)->objectName(),
                 m_plain->ui.tabWidget->widget(i)->objectName());
        QCOMPARE(m_inPlace->ui.tabWidget->tabText(i), m_plain->ui.tabWidget->tabText(i));
    }
}

void tst_FormPages::samePixelsOnEveryPage_data()
{
    QTest::addColumn<int>("page");
    for (int i = 0; i < 5; ++i)
        QTest::newRow(qPrintable(QStringLiteral("page %1").arg(i))) << i;
}

void tst_FormPages::samePixelsOnEveryPage()
{
    QFETCH(int, page);
    QVERIFY(page < m_plain->ui.tabWidget->count());
    m_plain->ui.tabWidget->setCurrentIndex(page);
    m_inPlace->ui.tabWidget->setCurrentIndex(page);
    QCoreApplication::processEvents();
    const QImage a = m_plain->window.grab().toImage();
    const QImage b = m_inPlace->window.grab().toImage();
    QCOMPARE(b.size(), a.size());
    QVERIFY(b == a);
}

void tst_FormPages::comboPopupsKeepTheirBoxFont()
{
    // The popup list is a window of its own and takes the box's font only when the box is
    // told of a font change.
    const auto plain = m_plain->window.findChildren<QComboBox *>();
    const auto inPlace = m_inPlace->window.findChildren<QComboBox *>();
    QCOMPARE(inPlace.size(), plain.size());
    for (int i = 0; i < plain.size(); ++i) {
        const QByteArray whatBytes = plain.at(i)->objectName().toUtf8();
        const char *what = whatBytes.constData();
        QVERIFY2(inPlace.at(i)->view()->font() == plain.at(i)->view()->font(), what);
        QVERIFY2(inPlace.at(i)->view()->palette() == plain.at(i)->view()->palette(), what);
    }
}

void tst_FormPages::liveValuesRepaintToTheSamePixels_data()
{
    QTest::addColumn<int>("value");
    QTest::newRow("low") << 300;
    QTest::newRow("centre") << 1000;
    QTest::newRow("high") << 1700;
}

void tst_FormPages::liveValuesRepaintToTheSamePixels()
{
    // What the window holds after repainting only the widgets that changed, as the monitor
    // has it repainted ten times a second, not a fresh rendering of the whole window.
    QFETCH(int, value);
    QImage shown[2];
    int i = 0;
    for (BuiltForm *form : {m_plain.get(), m_inPlace.get()}) {
        form->ui.tabWidget->setCurrentIndex(0);
        QCoreApplication::processEvents();
        for (QLineEdit *box : {form->ui.lineEdit, form->ui.lineEdit_5, form->ui.lineEdit_TX})
            box->setText(QString::number(value));
        form->ui.progressBar_10->setValue(qBound(0, value - 990, 1010));
        form->ui.progressBar_51->setValue(qBound(0, value, 1000));
        QCoreApplication::processEvents();
        shown[i++] = form->window.screen()->grabWindow(form->window.winId()).toImage();
    }
    QVERIFY(!shown[0].isNull());
    QCOMPARE(shown[1].size(), shown[0].size());
    QVERIFY(shown[1] == shown[0]);
}

void tst_FormPages::windowStartsWithoutStyleSheetWarnings()
{
    // A colour the parser cannot read is reported once per start, on stderr: every page is
    // shown and the tab bar painted, so that each style sheet of the form is read.
    cssWarnings.clear();
    otherMessages = qInstallMessageHandler(collectCssWarnings);
    {
        MainWindow window;
        window.show();
        if (QTest::qWaitForWindowExposed(&window)) {
            auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
            for (int i = 0; tabs && i < tabs->count(); ++i) {
                tabs->setCurrentIndex(i);
                window.grab();
            }
        }
    }
    qInstallMessageHandler(otherMessages);
    QVERIFY2(cssWarnings.isEmpty(), qPrintable(cssWarnings.join(QLatin1Char('\n'))));
}

void tst_FormPages::pagesNotShownAreAtLastPolishedWhenIdle()
{
    // Opened on its first page, as the program's window is, and left alone: the other pages
    // wait for their polish until the event loop idles, then look as every page of a window
    // polished whole when it is first shown.
    const auto unpolished = [](const QWidget *page) {
        int n = page->testAttribute(Qt::WA_WState_Polished) ? 0 : 1;
        for (const QWidget *w : page->findChildren<QWidget *>())
            n += w->testAttribute(Qt::WA_WState_Polished) ? 0 : 1;
        return n;
    };
    BuiltForm form;
    FormPages::setupUi(form.ui, &form.window);
    form.ui.tabWidget->setCurrentIndex(0);
    form.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    QCOMPARE(unpolished(form.ui.tabWidget->widget(0)), 0);
    for (int i = 1; i < form.ui.tabWidget->count(); ++i)
        QVERIFY(unpolished(form.ui.tabWidget->widget(i)) > 0);

    const auto plain = build(false);
    QVERIFY(plain);
    QEventLoop loop; // waits for its timer, idle in between
    QTimer::singleShot(300, &loop, &QEventLoop::quit);
    loop.exec();
    for (int i = 0; i < form.ui.tabWidget->count(); ++i)
        QCOMPARE(unpolished(form.ui.tabWidget->widget(i)), 0);
    for (int i = 0; i < form.ui.tabWidget->count(); ++i) {
        form.ui.tabWidget->setCurrentIndex(i);
        plain->ui.tabWidget->setCurrentIndex(i);
        QCoreApplication::processEvents();
        QVERIFY2(form.window.grab().toImage() == plain->window.grab().toImage(),
                 qPrintable(form.ui.tabWidget->tabText(i)));
    }
    const auto whole = plain->window.findChildren<QWidget *>();
    const auto later = form.window.findChildren<QWidget *>();
    QCOMPARE(later.size(), whole.size());
    for (int i = 0; i < whole.size(); ++i) {
        const QByteArray whatBytes = describe(whole.at(i)).toUtf8();
        QVERIFY2(later.at(i)->font() == whole.at(i)->font(), whatBytes.constData());
        QVERIFY2(later.at(i)->palette() == whole.at(i)->palette(), whatBytes.constData());
    }
}

QTEST_MAIN(tst_FormPages)
#include "tst_formpages.moc"
