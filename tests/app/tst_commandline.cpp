// The program's command line: --help and --version answer without opening a window.
#include <QProcess>
#include <QTest>

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("expected");
        QTest::newRow("version") << "--version"
                                 << "korva-config 4.2.0";
        QTest::newRow("help") << "--help"
                              << "[port]";
    }

    void answers()
    {
        QFETCH(QString, option);
        QFETCH(QString, expected);
        QProcess app;
        app.start(QStringLiteral(KORVA_APP_PATH), {option});
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), 0);
        QVERIFY2(QString::fromLocal8Bit(app.readAllStandardOutput()).contains(expected),
                 qPrintable(expected));
    }

    void unknownOptionIsRefused()
    {
        QProcess app;
        app.start(QStringLiteral(KORVA_APP_PATH), {QStringLiteral("--no-such-option")});
        QVERIFY(app.waitForFinished(10000));
        QVERIFY(app.exitCode() != 0);
        QVERIFY(app.readAllStandardError().contains("no-such-option"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
