// SPDX-License-Identifier: GPL-3.0-or-later
// The edit handlers: every editing widget drives its field, the slots are bound by name in
// their fixed order, and the D/R mirrors write through to the selected table entry.
#include "../app/windowfixture.h"

#include "frames.h"

#include <QDoubleSpinBox>
#include <QMetaMethod>
#include <QSpinBox>

namespace {

struct EditRow
{
    const char *widget;
    const char *field;
};

// Every editing widget with the field it edits, in the order their handlers are declared.
const EditRow kEditRows[] = {
    {"spinBox_sub1", "sub1"},
    {"spinBox_sub2", "sub2"},
    {"spinBox_sub3", "sub3"},
    {"spinBox_sub4", "sub4"},
    {"spinBox_sub5", "sub5"},
    {"spinBox_sub6", "sub6"},
    {"spinBox_sub7", "sub7"},
    {"spinBox_sub8", "sub8"},
    {"spinBox_Lepa1", "Lepa1"},
    {"spinBox_Lepa2", "Lepa2"},
    {"spinBox_Lepa3", "Lepa3"},
    {"spinBox_Lepa4", "Lepa4"},
    {"spinBox_Lepa5", "Lepa5"},
    {"spinBox_Lepa6", "Lepa6"},
    {"spinBox_Lepa7", "Lepa7"},
    {"spinBox_Lepa8", "Lepa8"},
    {"spinBox_Repa1", "Repa1"},
    {"spinBox_Repa2", "Repa2"},
    {"spinBox_Repa3", "Repa3"},
    {"spinBox_Repa4", "Repa4"},
    {"spinBox_Repa5", "Repa5"},
    {"spinBox_Repa6", "Repa6"},
    {"spinBox_Repa7", "Repa7"},
    {"spinBox_Repa8", "Repa8"},
    {"spinBox_FS1", "FS1"},
    {"spinBox_FS2", "FS2"},
    {"spinBox_FS3", "FS3"},
    {"spinBox_FS4", "FS4"},
    {"spinBox_FS5", "FS5"},
    {"spinBox_FS6", "FS6"},
    {"spinBox_FS7", "FS7"},
    {"spinBox_FS8", "FS8"},
    {"spinBox_delay1", "delay1"},
    {"spinBox_delay2", "delay2"},
    {"spinBox_delay3", "delay3"},
    {"spinBox_delay4", "delay4"},
    {"spinBox_delay5", "delay5"},
    {"spinBox_delay6", "delay6"},
    {"spinBox_delay7", "delay7"},
    {"comboBox_rev1", "rev1"},
    {"comboBox_rev2", "rev2"},
    {"comboBox_rev3", "rev3"},
    {"comboBox_rev4", "rev4"},
    {"comboBox_rev5", "rev5"},
    {"comboBox_rev6", "rev6"},
    {"comboBox_rev7", "rev7"},
    {"comboBox_rev8", "rev8"},
    {"comboBox_AUX5", "AUX5"},
    {"comboBox_AUX6", "AUX6"},
    {"comboBox_AUX7", "AUX7"},
    {"comboBox_AUX8", "AUX8"},
    {"comboBox_DR_MIX1", "DR_MIX"},
    {"comboBox_DR_CH1", "DR_CH"},
    {"spinBox_DR_UP1", "DR_UP1"},
    {"spinBox_DR_DOWN1", "DR_DOWN1"},
    {"doubleSpinBox_Volt", "Volt"},
    {"spinBox_Mode", "Mode"},
    {"spinBox_Vertion", "Vertion"},
    {"comboBox_AttiM", "AttiM"},
    {"spinBox_Atti1", "Atti1"},
    {"spinBox_Atti2", "Atti2"},
    {"spinBox_Atti3", "Atti3"},
    {"spinBox_Atti4", "Atti4"},
    {"spinBox_Atti5", "Atti5"},
    {"spinBox_Atti6", "Atti6"},
    {"comboBox_EleMix", "EleMix"},
    {"spinBox_Elev01", "Elev01"},
    {"spinBox_Elev02", "Elev02"},
    {"spinBox_Elev03", "Elev03"},
    {"spinBox_Elev04", "Elev04"},
    {"spinBox_Elev05", "Elev05"},
    {"spinBox_Elev06", "Elev06"},
    {"comboBox_RuMix", "RuMix"},
    {"spinBox_Ru1", "Ru1"},
    {"spinBox_Ru2", "Ru2"},
    {"spinBox_Ru3", "Ru3"},
    {"spinBox_Ru4", "Ru4"},
    {"comboBox_PRM01_Mix", "PRM01_Mix"},
    {"comboBox_PRM01_Master", "PRM01_Master"},
    {"comboBox_PRM01_Slave", "PRM01_Slave"},
    {"spinBox_PRM01_Data1", "PRM01_Data1"},
    {"spinBox_PRM01_Data2", "PRM01_Data2"},
    {"spinBox_PRM01_Data3", "PRM01_Data3"},
    {"comboBox_PRM02_Mix", "PRM02_Mix"},
    {"comboBox_PRM02_Master", "PRM02_Master"},
    {"comboBox_PRM02_Slave", "PRM02_Slave"},
    {"spinBox_PRM02_Data1", "PRM02_Data1"},
    {"spinBox_PRM02_Data2", "PRM02_Data2"},
    {"spinBox_PRM02_Data3", "PRM02_Data3"},
    {"comboBox_PRM03_Mix", "PRM03_Mix"},
    {"comboBox_PRM03_Master", "PRM03_Master"},
    {"comboBox_PRM03_Slave", "PRM03_Slave"},
    {"spinBox_PRM03_Data1", "PRM03_Data1"},
    {"spinBox_PRM03_Data2", "PRM03_Data2"},
    {"spinBox_PRM03_Data3", "PRM03_Data3"},
    {"comboBox_DR_MIX2", "DR_MIX"},
    {"comboBox_DR_CH2", "DR_CH"},
    {"comboBox_DR_SW2", "DR_SW2"},
    {"comboBox_DR_POSI", "DR_POSI"},
    {"spinBox_DR_RATE", "DR_RATE"},
    {"spinBox_DR_EXP", "DR_EXP"},
    {"comboBox_PRM04_Mix", "PRM04_Mix"},
    {"comboBox_PRM04_Master", "PRM04_Master"},
    {"comboBox_PRM04_Slave", "PRM04_Slave"},
    {"spinBox_PRM04_Data1", "PRM04_Data1"},
    {"spinBox_PRM04_Data2", "PRM04_Data2"},
    {"spinBox_PRM04_Data3", "PRM04_Data3"},
    {"comboBox_THCURE_MIX", "THCURE_MIX"},
    {"spinBox_THCURE_Data01", "THCURE_Data01"},
    {"spinBox_THCURE_Data02", "THCURE_Data02"},
    {"spinBox_THCURE_Data03", "THCURE_Data03"},
    {"spinBox_THCURE_Data04", "THCURE_Data04"},
    {"spinBox_THCURE_Data05", "THCURE_Data05"},
    {"spinBox_THCURE_Data06", "THCURE_Data06"},
    {"spinBox_THCURE_Data07", "THCURE_Data07"},
    {"spinBox_delay8", "delay8"},
};

QStringList capturedWarnings;

void captureWarnings(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    if (type == QtWarningMsg)
        capturedWarnings.append(msg);
}

QTimer *refreshTimer(MainWindow *w)
{
    return w->findChild<QTimer *>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

class TestEditHandlers : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initTestResources(); }

    void slotsAreDeclaredInTheirFixedOrder()
    {
        QStringList expected = {"on_openButton_clicked()",
                                "serialPort_readyRead()",
                                "byteArrayToInt(QByteArray,int)",
                                "on_toolButton_Read_clicked()",
                                "on_toolButton_Load_clicked()",
                                "on_toolButton_Send_clicked()",
                                "on_toolButton_Save_clicked()",
                                "on_toolButton_Reset_clicked()",
                                "Servo_Display()",
                                "Recieve_Display()",
                                "Rev_Display()",
                                "EPA_Display()",
                                "SubTrim_Display()",
                                "FS_Display()",
                                "Delay_Display()",
                                "Aux_Display()",
                                "DR_Display()",
                                "Parameter_Display()",
                                "Atti_Display()",
                                "Elev_Display()",
                                "Vtype_Display()",
                                "Prm_Display()",
                                "DRCure_Display()",
                                "THcure_Display()",
                                "ui_Display()"};
        for (const EditRow &row : kEditRows) {
            const QString w = QLatin1String(row.widget);
            const QString signal = w.startsWith(QLatin1String("comboBox_"))
                                       ? QStringLiteral("currentIndexChanged(int)")
                                   : w.startsWith(QLatin1String("doubleSpinBox_"))
                                       ? QStringLiteral("valueChanged(double)")
                                       : QStringLiteral("valueChanged(int)");
            expected << QStringLiteral("on_") + w + QLatin1Char('_') + signal;
        }
        expected << "RestData()"
                 << "RestData2()"
                 << "SendData1()"
                 << "SendData2()"
                 << "SendData3()"
                 << "Dr_DataSelet()"
                 << "FalseSaveData()";
        QCOMPARE(expected.size(), 148);

        const QMetaObject &mo = MainWindow::staticMetaObject;
        QStringList actual;
        for (int i = mo.methodOffset(); i < mo.methodCount(); ++i) {
            if (mo.method(i).methodType() == QMetaMethod::Slot)
                actual << QString::fromLatin1(mo.method(i).methodSignature());
        }
        QCOMPARE(actual, expected);
    }

    void everyHandlerIsBoundByNameWithoutWarnings()
    {
        ParamData = ParamStore{};
        // Values the form would overwrite if a handler ran while the form is built.
        ParamData.AUX5 = 4;
        ParamData.PRM02_Master = 7;
        capturedWarnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
        MainWindow window;
        qInstallMessageHandler(previous);
        for (const QString &w : qAsConst(capturedWarnings))
            QVERIFY2(!w.contains(QLatin1String("No matching signal")), qPrintable(w));
        QCOMPARE(ParamData.AUX5, 4);
        QCOMPARE(ParamData.PRM02_Master, 7);
    }

    void everyWidgetDrivesItsField_data()
    {
        QTest::addColumn<QString>("widget");
        QTest::addColumn<QString>("field");
        for (const EditRow &row : kEditRows)
            QTest::newRow(row.widget)
                << QString::fromLatin1(row.widget) << QString::fromLatin1(row.field);
    }

    void everyWidgetDrivesItsField()
    {
        QFETCH(QString, widget);
        QFETCH(QString, field);
        ParamData = ParamStore{};
        MainWindow window;
        refreshTimer(&window)->stop();
        QWidget *w = window.findChild<QWidget *>(widget);
        QVERIFY(w);
        if (auto *d = qobject_cast<QDoubleSpinBox *>(w)) {
            d->setValue(12.3);
            QCOMPARE(ParamData.Volt, 12.3);
            QCOMPARE(ParamData.Volt_x10, 123); // the edited alarm reaches the frames
            return;
        }
        const IntFieldInfo *info = findIntField(field.toLatin1().constData());
        QVERIFY(info);
        int expected = 0;
        if (auto *spin = qobject_cast<QSpinBox *>(w)) {
            expected =
                spin->value() == spin->minimum() + 1 ? spin->minimum() + 2 : spin->minimum() + 1;
            spin->setValue(expected);
        } else if (auto *combo = qobject_cast<QComboBox *>(w)) {
            // A one-item box can only lose its selection.
            expected = combo->count() == 1 ? -1 : combo->count() - 1;
            if (combo->currentIndex() == expected)
                expected = 0;
            QVERIFY(combo->currentIndex() != expected);
            combo->setCurrentIndex(expected);
        } else {
            QFAIL("unexpected widget class");
        }
        QCOMPARE(ParamData.*info->member, expected);
    }

    void alarmEditIsBoundedToWhatTheFrameCarries_data()
    {
        QTest::addColumn<double>("edit");
        QTest::addColumn<int>("tenths");
        QTest::newRow("23.9") << 23.9 << 239;
        QTest::newRow("24.0") << 24.0 << 239;
        QTest::newRow("50.0") << 50.0 << 239;
        QTest::newRow("99.99") << 99.99 << 239;
        QTest::newRow("3.75 to the nearest tenth") << 3.75 << 38;
        QTest::newRow("0.0") << 0.0 << 0;
    }

    void alarmEditIsBoundedToWhatTheFrameCarries()
    {
        QFETCH(double, edit);
        QFETCH(int, tenths);
        ParamData = ParamStore{};
        MainWindow window;
        refreshTimer(&window)->stop();
        auto *box = window.findChild<QDoubleSpinBox *>(QStringLiteral("doubleSpinBox_Volt"));
        box->setValue(5.0);
        box->setValue(edit);
        QMetaObject::invokeMethod(&window, "ui_Display");
        QCOMPARE(ParamData.Volt_x10, tenths);
        QCOMPARE(box->value(), tenths / 10.0);
        QCOMPARE(buildFrameText(kFrameS, ParamData).mid(77, 2),
                 QString::number(tenths + 16, 16).toUpper());
    }

    void comboWithoutSelectionStoresMinusOne()
    {
        ParamData = ParamStore{};
        MainWindow window;
        refreshTimer(&window)->stop();
        window.findChild<QComboBox *>(QStringLiteral("comboBox_AttiM"))->setCurrentIndex(-1);
        QCOMPARE(ParamData.AttiM, -1);
    }

    void dualRateMirrorsWriteThrough_data()
    {
        QTest::addColumn<int>("channel");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("widget");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("changedEntry");
        QTest::newRow("UP1 on CH2 at UP") << 1 << 0 << "spinBox_DR_UP1" << 80 << "DR_UP_CH2";
        QTest::newRow("RATE on CH1 at DOWN") << 0 << 1 << "spinBox_DR_RATE" << 60 << "DR_DOWN_CH1";
        QTest::newRow("EXP on CH4 at UP") << 3 << 0 << "spinBox_DR_EXP" << -40 << "DR_EXPUP_CH4";
        QTest::newRow("DOWN1 on CH3 at DOWN")
            << 2 << 1 << "spinBox_DR_DOWN1" << 30 << "DR_DOWN_CH3";
        QTest::newRow("EXP on CH1 at DOWN") << 0 << 1 << "spinBox_DR_EXP" << 25 << "DR_EXPDOWN_CH1";
        QTest::newRow("no channel selected") << -1 << 0 << "spinBox_DR_UP1" << 70 << "";
    }

    void dualRateMirrorsWriteThrough()
    {
        QFETCH(int, channel);
        QFETCH(int, position);
        QFETCH(QString, widget);
        QFETCH(int, value);
        QFETCH(QString, changedEntry);
        ParamData = ParamStore{};
        MainWindow window;
        refreshTimer(&window)->stop();
        // Distinct table values, so a wrong entry shows.
        const char *tables[] = {"DR_UP_CH", "DR_DOWN_CH", "DR_EXPUP_CH", "DR_EXPDOWN_CH"};
        int seed = 11;
        for (const char *t : tables) {
            for (int ch = 1; ch <= 4; ++ch)
                ParamData.*
                    findIntField(qPrintable(QString::fromLatin1(t) + QString::number(ch)))->member =
                    seed++;
        }
        ParamData.DR_CH = channel;
        ParamData.DR_POSI = position;
        ParamData.DR_UP1 = 5;
        ParamData.DR_DOWN1 = 6;
        ParamData.DR_RATE = 7;
        ParamData.DR_EXP = 8;
        const ParamStore before = ParamData;

        window.findChild<QSpinBox *>(widget)->setValue(value);

        ParamStore expected = before;
        if (!changedEntry.isEmpty())
            expected.*findIntField(qPrintable(changedEntry))->member = value;
        const QString mirror = widget.mid(QStringLiteral("spinBox_").size());
        expected.*findIntField(qPrintable(mirror))->member = value;
        if (channel >= 0) {
            const QString n = QString::number(channel + 1);
            auto entry = [&](const char *t) {
                return expected.*findIntField(qPrintable(QString::fromLatin1(t) + n))->member;
            };
            expected.DR_UP1 = entry("DR_UP_CH");
            expected.DR_DOWN1 = entry("DR_DOWN_CH");
            expected.DR_RATE = position == 0 ? entry("DR_UP_CH") : entry("DR_DOWN_CH");
            expected.DR_EXP = position == 0 ? entry("DR_EXPUP_CH") : entry("DR_EXPDOWN_CH");
        }
        for (auto f = intFieldsBegin(); f != intFieldsEnd(); ++f)
            QVERIFY2(ParamData.*f->member == expected.*f->member, f->name);
    }

    void positionSwitchReselectsRateAndExp()
    {
        ParamData = ParamStore{};
        MainWindow window;
        refreshTimer(&window)->stop();
        ParamData.DR_CH = 1;
        ParamData.DR_UP_CH2 = 90;
        ParamData.DR_DOWN_CH2 = 40;
        ParamData.DR_EXPUP_CH2 = 10;
        ParamData.DR_EXPDOWN_CH2 = -30;
        ParamData.DR_UP1 = 1;
        ParamData.DR_DOWN1 = 2;
        window.findChild<QComboBox *>(QStringLiteral("comboBox_DR_POSI"))->setCurrentIndex(1);
        QCOMPARE(ParamData.DR_POSI, 1);
        QCOMPARE(ParamData.DR_RATE, 40);
        QCOMPARE(ParamData.DR_EXP, -30);
        // Re-selection also restores the rate mirrors of the channel.
        QCOMPARE(ParamData.DR_UP1, 90);
        QCOMPARE(ParamData.DR_DOWN1, 40);
    }
};

QTEST_MAIN(TestEditHandlers)
#include "tst_edithandlers.moc"
