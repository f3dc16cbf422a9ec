// SPDX-License-Identifier: GPL-3.0-or-later
// The panel refresh: the store reaches every widget within one pass, values a widget cannot
// show come back bounded, the D/R panels follow each other, and the long-hover look of every
// combo box.
#include "../app/windowfixture.h"

#include "decoder.h"
#include "frames.h"
#include "hover.h"

#include <QDoubleSpinBox>
#include <QFile>
#include <QSet>
#include <QSpinBox>
#include <QTabWidget>

namespace {

QTimer *refreshTimer(MainWindow *w)
{
    return w->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
}

void pass(MainWindow *w)
{
    QMetaObject::invokeMethod(w, "ui_Display");
}

QDoubleSpinBox *voltBox(MainWindow *w)
{
    return w->findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_Volt"));
}

// The alarm voltage the S frame would carry, in tenths.
int sentTenths()
{
    return buildFrameText(kFrameS, ParamData).mid(77, 2).toInt(nullptr, 16) - 16;
}

QString resourceText(const char *path)
{
    QFile f(QString::fromLatin1(path));
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// The spin and combo boxes of the settings pages, by object name.
QHash<QString, QWidget *> settingsWidgets(MainWindow *w)
{
    QHash<QString, QWidget *> found;
    const auto *tabs = w->findChild<QTabWidget *>(QStringLiteral("tabWidget"));
    for (int i = 0; i < tabs->count(); ++i) {
        for (QWidget *child : tabs->widget(i)->findChildren<QWidget *>()) {
            if (qobject_cast<QAbstractSpinBox *>(child) || qobject_cast<QComboBox *>(child))
                found.insert(child->objectName(), child);
        }
    }
    return found;
}

// Widgets whose names do not give the field they show: the two D/R panels show one set of
// fields, and AUX1..4 show none (a null field).
const std::pair<const char *, const char *> kUnlikeNamed[] = {
    {"comboBox_DR_MIX1", "DR_MIX"}, {"comboBox_DR_MIX2", "DR_MIX"}, {"comboBox_DR_CH1", "DR_CH"},
    {"comboBox_DR_CH2", "DR_CH"},   {"comboBox_DR_SW1", "DR_SW2"},  {"comboBox_AUX1", nullptr},
    {"comboBox_AUX2", nullptr},     {"comboBox_AUX3", nullptr},     {"comboBox_AUX4", nullptr},
};

// The combo boxes in the order of their hover counters: the order the panels show them in.
QStringList hoverOrder()
{
    QStringList boxes;
    for (const char *family : {"rev", "AUX"}) {
        for (int n = 1; n <= 8; ++n)
            boxes << QStringLiteral("comboBox_%1%2").arg(QLatin1String(family)).arg(n);
    }
    for (const char *box : {"DR_MIX1", "DR_CH1", "DR_SW1", "AttiM", "EleMix", "RuMix"})
        boxes << QStringLiteral("comboBox_") + QLatin1String(box);
    for (int n = 1; n <= 4; ++n) {
        for (const char *part : {"Mix", "Master", "Slave"})
            boxes << QStringLiteral("comboBox_PRM0%1_%2").arg(n).arg(QLatin1String(part));
    }
    for (const char *box : {"DR_MIX2", "DR_CH2", "DR_SW2", "DR_POSI", "THCURE_MIX"})
        boxes << QStringLiteral("comboBox_") + QLatin1String(box);
    return boxes;
}

// The value boxes and curve views of one page that get painted while it is watched; a box's
// inner parts count as the box. What lies under or beside a box that is painted (the page,
// the group, a caption) is painted with it, the boxes being see-through.
class PaintWatch : public QObject
{
public:
    explicit PaintWatch(QWidget *page)
        : m_page(page)
    {
        qApp->installEventFilter(this);
    }
    QSet<QString> painted;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        auto *widget = qobject_cast<QWidget *>(watched);
        if (event->type() == QEvent::Paint && widget && m_page->isAncestorOf(widget)) {
            while (widget->objectName().isEmpty() || widget->objectName().startsWith("qt_"))
                widget = widget->parentWidget();
            if (qobject_cast<QAbstractSpinBox *>(widget) || qobject_cast<QComboBox *>(widget) ||
                widget->inherits("mWidget") || widget->inherits("cureWidget"))
                painted.insert(widget->objectName());
        }
        return false;
    }

private:
    QWidget *m_page;
};

} // namespace

Q_DECLARE_METATYPE(IntField)

class TestRefresh : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initTestResources(); }

    void init()
    {
        ParamData = ParamStore{};
        std::fill(std::begin(HoverCount), std::end(HoverCount), 0);
    }

    void panelsShowStartValuesWithinOnePass_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("formValue");
        QTest::addColumn<int>("storeValue");
        // Where the form's initial value differs from the store's start value.
        QTest::newRow("Mode") << "spinBox_Mode" << 2 << 1;
        QTest::newRow("DR_EXP") << "spinBox_DR_EXP" << 100 << 0;
        QTest::newRow("PRM01_Data1") << "spinBox_PRM01_Data1" << 100 << 0;
        QTest::newRow("PRM04_Data3") << "spinBox_PRM04_Data3" << 100 << 0;
        QTest::newRow("Lepa1 unchanged") << "spinBox_Lepa1" << 96 << 96;
    }

    void panelsShowStartValuesWithinOnePass()
    {
        QFETCH(QString, widget);
        QFETCH(int, formValue);
        QFETCH(int, storeValue);
        MainWindow window;
        auto *spin = window.findChild<QSpinBox *>(widget);
        QCOMPARE(spin->value(), formValue);
        QTest::qWait(150);
        QCOMPARE(spin->value(), storeValue);
    }

    void everyWidgetFollowsTheStore()
    {
        MainWindow window;
        QTest::qWait(150);
        const QHash<QString, QWidget *> widgets = settingsWidgets(&window);
        // Set the field to a value its widget does not show; one pass later it shows it.
        int covered = 0;
        auto follows = [&](QWidget *widget, qint32 &field) {
            ++covered;
            if (auto *spin = qobject_cast<QSpinBox *>(widget)) {
                field =
                    spin->value() == spin->maximum() - 1 ? spin->maximum() : spin->maximum() - 1;
                pass(&window);
                return spin->value() == field;
            }
            auto *combo = qobject_cast<QComboBox *>(widget);
            const int last = combo->count() - 1;
            field = combo->currentIndex() != last ? last : last > 0 ? 0 : -1;
            pass(&window);
            return combo->currentIndex() == field;
        };
        for (auto f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
            for (const char *kind : {"spinBox_", "comboBox_"}) {
                if (QWidget *w = widgets.value(QLatin1String(kind) + QLatin1String(f->name)))
                    QVERIFY2(follows(w, ParamData.*f->member), f->name);
            }
        }
        for (const auto &[name, field] : kUnlikeNamed) {
            auto *combo = qobject_cast<QComboBox *>(widgets.value(QLatin1String(name)));
            QVERIFY2(combo, name);
            if (field) {
                QVERIFY2(follows(combo, ParamData.*findIntField(field)->member), name);
            } else {
                ++covered;
                combo->setCurrentIndex(-1);
                pass(&window);
                QVERIFY2(combo->currentIndex() == 0 && combo->count() == 1, name);
            }
        }
        ParamData.Volt = 4.2;
        pass(&window);
        QCOMPARE(window.findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_Volt"))->value(),
                 4.2);
        ++covered;
        // No widget of the pages is left out.
        QCOMPARE(covered, widgets.size());
    }

    void strayAlarmVoltageIsSentAsItsFallback_data()
    {
        QTest::addColumn<QString>("route");
        QTest::addColumn<QByteArray>("raw");
        QTest::newRow("Volt 60 in the store") << "store" << QByteArray();
        QTest::newRow("file field 0F") << "file" << QByteArray("0F");
        QTest::newRow("file field ZZ") << "file" << QByteArray("ZZ");
        QTest::newRow("frame 600") << "frame" << QByteArray::fromHex("0258");
        QTest::newRow("frame 600 as received")
            << "frame as received" << QByteArray::fromHex("0258");
        QTest::newRow("frame 65535 as received")
            << "frame as received" << QByteArray::fromHex("FFFF");
    }

    void strayAlarmVoltageIsSentAsItsFallback()
    {
        QFETCH(QString, route);
        QFETCH(QByteArray, raw);
        MainWindow window;
        refreshTimer(&window)->stop();
        // An earlier read showed 4.2 V, so the box has to change to show the fallback.
        ParamData.Volt_x10 = 42;
        ParamData.Volt = 4.2;
        pass(&window);
        if (route == QLatin1String("store")) {
            ParamData.Volt_x10 = 37;
            ParamData.Volt = 60.0;
        } else if (route == QLatin1String("file")) {
            QString text = QString::fromLatin1(buildParameterFile(ParamStore{}));
            parseParameterText(text.replace(77, 2, QString::fromLatin1(raw)), ParamData);
        } else {
            const QByteArray frame = QByteArray::fromHex("FE0099") + raw + QByteArray(6, '\0') +
                                     QByteArray::fromHex("FE");
            DecodedFrame decoded;
            QVERIFY(decodeWholeChunk(frame, ParamData, &decoded));
            if (route.endsWith(QLatin1String("as received")))
                pass(&window); // a settings frame is shown before the range check runs
        }
        QMetaObject::invokeMethod(&window, "FalseSaveData");
        pass(&window);
        QCOMPARE(ParamData.Volt_x10, 37);
        QCOMPARE(buildFrameText(kFrameS, ParamData).mid(77, 2), QStringLiteral("35"));
        QCOMPARE(voltBox(&window)->value(), 3.7);
    }

    void alarmVoltageSurvivesTheBox_data()
    {
        QTest::addColumn<int>("tenths");
        for (int t = 0; t <= 500; ++t)
            QTest::addRow("%d", t) << t;
    }

    void alarmVoltageSurvivesTheBox()
    {
        QFETCH(int, tenths);
        if (!m_window) {
            m_window = std::make_unique<MainWindow>();
            refreshTimer(m_window.get())->stop();
        }
        // A value no refresh shows, so that the pass below changes the box and runs its handler.
        voltBox(m_window.get())->setValue(99.99);
        // As a read or a load leaves the two forms.
        ParamData.Volt_x10 = tenths;
        ParamData.Volt = tenths / 10.0;
        pass(m_window.get());
        QCOMPARE(ParamData.Volt_x10, tenths);
        QCOMPARE(sentTenths(), qMin(tenths, 239));
        QCOMPARE(qRound(voltBox(m_window.get())->value() * 10), sentTenths());
    }

    void auxOneToFourStayOnTheirOnlyItem()
    {
        MainWindow window;
        auto *aux2 = window.findChild<QComboBox *>(QStringLiteral("comboBox_AUX2"));
        aux2->setCurrentIndex(-1);
        pass(&window);
        QCOMPARE(aux2->currentText(), QStringLiteral("NC"));
    }

    void valuesWidgetsCannotShowAreWrittenBackBounded_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("stored");
        QTest::addColumn<int>("writtenBack");
        QTest::newRow("Lepa1 150") << "Lepa1" << 150 << 120;
        QTest::newRow("sub2 -300") << "sub2" << -300 << -100;
        QTest::newRow("Mode 9") << "Mode" << 9 << 4;
        QTest::newRow("Vertion 5000") << "Vertion" << 5000 << 1000;
        QTest::newRow("rev1 3") << "rev1" << 3 << -1;
        QTest::newRow("PRM01_Master 10") << "PRM01_Master" << 10 << -1;
    }

    void valuesWidgetsCannotShowAreWrittenBackBounded()
    {
        QFETCH(QString, field);
        QFETCH(int, stored);
        QFETCH(int, writtenBack);
        MainWindow window;
        QTest::qWait(150);
        qint32 &value = ParamData.*findIntField(qPrintable(field))->member;
        value = stored;
        pass(&window);
        QCOMPARE(value, writtenBack);
    }

    void unchangedWidgetKeepsOutOfRangeStoreValue()
    {
        MainWindow window;
        QTest::qWait(150);
        ParamData.Lepa1 = 150;
        pass(&window); // shows 120 and writes it back
        ParamData.Lepa1 = 130;
        pass(&window); // still shows 120: nothing changes, nothing is written
        QCOMPARE(ParamData.Lepa1, 130);
    }

    void secondDrPanelChannelReachesTheFirstInOnePass()
    {
        MainWindow window;
        refreshTimer(&window)->stop();
        pass(&window);
        ParamData.DR_UP_CH3 = 70;
        ParamData.DR_DOWN_CH3 = 45;
        ParamData.DR_EXPUP_CH3 = -20;
        window.findChild<QComboBox *>(QStringLiteral("comboBox_DR_CH2"))->setCurrentIndex(2);
        QCOMPARE(ParamData.DR_CH, 2);
        QCOMPARE(ParamData.DR_RATE, 100); // still the old channel until the next pass
        pass(&window);
        QCOMPARE(ParamData.DR_RATE, 70);
        QCOMPARE(window.findChild<QComboBox *>(QStringLiteral("comboBox_DR_CH1"))->currentText(),
                 QStringLiteral("CH3"));
        QCOMPARE(window.findChild<QSpinBox *>(QStringLiteral("spinBox_DR_RATE"))->value(), 70);
        QCOMPARE(window.findChild<QSpinBox *>(QStringLiteral("spinBox_DR_EXP"))->value(), -20);
        QCOMPARE(window.findChild<QSpinBox *>(QStringLiteral("spinBox_DR_DOWN1"))->value(), 45);
    }

    void hoverLookGivesWayAfterTwentyPasses()
    {
        MainWindow window;
        refreshTimer(&window)->stop();
        auto *box = window.findChild<QComboBox *>(QStringLiteral("comboBox_rev1"));
        const QString formStyle = box->styleSheet();
        box->setAttribute(Qt::WA_UnderMouse, true);
        for (int i = 0; i < 15; ++i)
            pass(&window);
        QCOMPARE(HoverCount[0], 15);
        box->setAttribute(Qt::WA_UnderMouse, false);
        pass(&window);
        QCOMPARE(HoverCount[0], 15); // short hovers add up
        box->setAttribute(Qt::WA_UnderMouse, true);
        for (int i = 0; i < 4; ++i)
            pass(&window);
        QCOMPARE(box->styleSheet(), formStyle);
        pass(&window); // the 5th pass after coming back
        QCOMPARE(HoverCount[0], 20);
        QCOMPARE(box->styleSheet(), resourceText(":/comboBox_REV.qss"));
        box->setAttribute(Qt::WA_UnderMouse, false);
        pass(&window);
        QCOMPARE(HoverCount[0], 0);
        QCOMPARE(box->styleSheet(), resourceText(":/comboBox.qss"));
    }

    void nineteenPassesChangeNothing()
    {
        MainWindow window;
        refreshTimer(&window)->stop();
        auto *box = window.findChild<QComboBox *>(QStringLiteral("comboBox_THCURE_MIX"));
        const QString formStyle = box->styleSheet();
        box->setAttribute(Qt::WA_UnderMouse, true);
        for (int i = 0; i < 19; ++i)
            pass(&window);
        box->setAttribute(Qt::WA_UnderMouse, false);
        pass(&window);
        QCOMPARE(HoverCount[kHoverCounterCount - 1], 19);
        QCOMPARE(box->styleSheet(), formStyle);
    }

    void hoverCountersCoverEveryComboBox()
    {
        MainWindow window;
        QStringList boxes;
        for (QWidget *w : settingsWidgets(&window)) {
            if (qobject_cast<QComboBox *>(w))
                boxes << w->objectName();
        }
        QStringList order = hoverOrder();
        QCOMPARE(order.size(), kHoverCounterCount);
        boxes.sort();
        order.sort();
        QCOMPARE(boxes, order);
    }

    void longHoverOnEachComboBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("counter");
        const QStringList order = hoverOrder();
        for (int i = 0; i < order.size(); ++i)
            QTest::newRow(qPrintable(order[i])) << order[i] << i;
    }

    void longHoverOnEachComboBox()
    {
        QFETCH(QString, box);
        QFETCH(int, counter);
        MainWindow window;
        refreshTimer(&window)->stop();
        auto *combo = window.findChild<QComboBox *>(box);
        const QString formStyle = combo->styleSheet();
        combo->setAttribute(Qt::WA_UnderMouse, true);
        for (int i = 0; i < 19; ++i)
            pass(&window);
        QCOMPARE(combo->styleSheet(), formStyle);
        pass(&window);
        QCOMPARE(combo->styleSheet(), resourceText(":/comboBox_REV.qss"));
        for (int i = 0; i < kHoverCounterCount; ++i)
            QCOMPARE(HoverCount[i], i == counter ? 20 : 0);
        combo->setAttribute(Qt::WA_UnderMouse, false);
        pass(&window);
        QCOMPARE(combo->styleSheet(), resourceText(":/comboBox.qss"));
        for (int count : HoverCount)
            QCOMPARE(count, 0);
    }

    void spinBoxesTakeNoPartInHover()
    {
        MainWindow window;
        refreshTimer(&window)->stop();
        auto *spin = window.findChild<QSpinBox *>(QStringLiteral("spinBox_sub1"));
        const QString style = spin->styleSheet();
        spin->setAttribute(Qt::WA_UnderMouse, true);
        for (int i = 0; i < 25; ++i)
            pass(&window);
        QCOMPARE(spin->styleSheet(), style);
        for (int count : HoverCount)
            QCOMPARE(count, 0);
    }

    // A pass repaints only what shows a changed value; a steady page paints nothing at all.
    void passesRepaintOnlyWhatChanged_data()
    {
        QTest::addColumn<int>("page");
        QTest::addColumn<IntField>("field");
        QTest::addColumn<QStringList>("painted");
        for (int page = 1; page <= 4; ++page)
            QTest::addRow("page %d steady", page) << page << IntField() << QStringList();
        QTest::newRow("EPA") << 1 << &ParamStore::Lepa3 << QStringList{"spinBox_Lepa3"};
        QTest::newRow("attitude") << 2 << &ParamStore::Atti1 << QStringList{"spinBox_Atti1"};
        QTest::newRow("rate") << 3 << &ParamStore::DR_RATE
                              << QStringList{"spinBox_DR_RATE", "widget_3"};
        QTest::newRow("point") << 4 << &ParamStore::THCURE_Data04
                               << QStringList{"spinBox_THCURE_Data04", "widget_4"};
    }

    void passesRepaintOnlyWhatChanged()
    {
        QFETCH(int, page);
        QFETCH(IntField, field);
        QFETCH(QStringList, painted);
        MainWindow window;
        auto *tabs = window.findChild<QTabWidget *>(QStringLiteral("tabWidget"));
        tabs->setCurrentIndex(page);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::qWait(300);
        PaintWatch watch(tabs->widget(page));
        if (field)
            ParamData.*field = 100 - ParamData.*field / 2;
        QTest::qWait(350); // three passes and three ticks of the curve views
        QCOMPARE(watch.painted, QSet<QString>(painted.begin(), painted.end()));
    }

private:
    std::unique_ptr<MainWindow> m_window; // shared by the rows of a long table
};

QTEST_MAIN(TestRefresh)
#include "tst_refresh.moc"
