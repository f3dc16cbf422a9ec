// SPDX-License-Identifier: GPL-3.0-or-later
// The program's command line: --help and --version answer without opening a window.
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
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
        QTest::newRow("licence") << "--version"
                                 << "\nLicense: GPL-3.0-or-later";
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

    // Over ssh or in a bare terminal: one line that says why, a failure status, no hang and
    // no core dump. --version and --help need no window.
    void withoutDisplaySaysSoInOneLine_data()
    {
        QTest::addColumn<QString>("display"); // empty: none set
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("status");
        QTest::newRow("no display set") << ""
                                        << "" << 1;
        QTest::newRow("display not reachable") << ":4711"
                                               << "" << 1;
        QTest::newRow("version, no display set") << ""
                                                 << "--version" << 0;
        QTest::newRow("help, no display set") << ""
                                              << "--help" << 0;
    }

    void withoutDisplaySaysSoInOneLine()
    {
        QFETCH(QString, display);
        QFETCH(QString, option);
        QFETCH(int, status);
        QVERIFY(!QFile::exists(QStringLiteral("/tmp/.X11-unix/X4711")));
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        if (!display.isEmpty())
            env.insert(QStringLiteral("DISPLAY"), display);
        QProcess app;
        app.setProcessEnvironment(env);
        app.start(QStringLiteral(KORVA_APP_PATH),
                  option.isEmpty() ? QStringList() : QStringList{option});
        QVERIFY(app.waitForFinished(10000));
        QCOMPARE(app.exitStatus(), QProcess::NormalExit);
        QCOMPARE(app.exitCode(), status);
        const QString err = QString::fromLocal8Bit(app.readAllStandardError());
        if (status == 0) {
            QVERIFY(!app.readAllStandardOutput().isEmpty());
            return;
        }
        const QStringList lines = err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        QStringList ours;
        for (const QString &line : lines) {
            if (!line.startsWith(QLatin1String("QStandardPaths:"))) // the runtime folder
                ours.append(line);
        }
        QCOMPARE(ours.size(), 1);
        QVERIFY2(ours.first().startsWith(QLatin1String("korva-config: cannot open a window: ")),
                 qPrintable(err));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
