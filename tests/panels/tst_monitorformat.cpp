// SPDX-License-Identifier: GPL-3.0-or-later
// The voltage read-outs at the edges of their two shapes: " 9.9V" up to 9.9 V, "10.0 V" from
// 10 V on, and digits beyond the shown ones dropped rather than rounded.
#include "../app/windowfixture.h"

class TestMonitorFormat : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initTestResources(); }

    void voltageReadOutsAtTheirEdges_data()
    {
        QTest::addColumn<QString>("readOut");
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        // TX_Volt in hundredths, EXT_Volt in tenths of a volt.
        QTest::newRow("TX 9.99 V") << "TX" << 999 << " 9.9V";
        QTest::newRow("TX 10.00 V") << "TX" << 1000 << "10.0 V";
        QTest::newRow("TX 123.45 V") << "TX" << 12345 << "23.4 V";
        QTest::newRow("EXT 9.9 V") << "EXT" << 99 << " 9.9V";
        QTest::newRow("EXT 10.0 V") << "EXT" << 100 << "10.0 V";
    }

    void voltageReadOutsAtTheirEdges()
    {
        QFETCH(QString, readOut);
        QFETCH(int, value);
        QFETCH(QString, text);
        ParamData = ParamStore{};
        MainWindow window;
        const bool tx = readOut == QLatin1String("TX");
        (tx ? ParamData.TX_Volt : ParamData.EXT_Volt) = value;
        QMetaObject::invokeMethod(&window, tx ? "Servo_Display" : "Recieve_Display");
        QCOMPARE(window.findChild<QLineEdit *>(QStringLiteral("lineEdit_") + readOut)->text(),
                 text);
    }
};

QTEST_MAIN(TestMonitorFormat)
#include "tst_monitorformat.moc"
