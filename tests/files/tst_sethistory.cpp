// SPDX-License-Identifier: GPL-3.0-or-later
#include "sethistory.h"

#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>

namespace {

const QByteArray kSet(243, 'S');

QStringList warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtWarningMsg)
        warnings << message;
}

} // namespace

class TestSetHistory : public QObject
{
    Q_OBJECT

private slots:
    // Eleven sets a second from just before a new year: names cross a minute, a day and a
    // " (10)" collision, and pruning must still take exactly the oldest.
    void keepsTheNewestInTimeOrder()
    {
        QTemporaryDir tmp;
        SetHistory history(tmp.path());
        const QStringList foreign{"my 2026-12-09 10-15-30.250 set.txt",
                                  "2026-12-09 10-15-30.250 read.dat"};
        for (const QString &name : foreign)
            QVERIFY(QFile(tmp.filePath(name)).open(QIODevice::WriteOnly));
        const auto set = [](int i) { return QByteArray(243, char('0' + i % 64)); };
        const QDateTime start(QDate(2026, 12, 31), QTime(23, 59, 50, 250));
        QStringList paths;
        for (int i = 0; i < SetHistory::kKept + 3; ++i)
            paths << history.keep(set(i), "written, checked", start.addSecs(i / 11));
        QCOMPARE(QFileInfo(paths[0]).fileName(),
                 QStringLiteral("2026-12-31 23-59-50.250 written, checked.txt"));
        QStringList newest;
        for (int i = 3; i < paths.size(); ++i) {
            QFile kept(paths[i]);
            QVERIFY(kept.open(QIODevice::ReadOnly));
            QCOMPARE(kept.readAll(), set(i));
            newest << QFileInfo(kept).fileName();
        }
        QCOMPARE(history.files(), newest);
        QCOMPARE(QDir(tmp.path()).entryList(QDir::Files).size(),
                 SetHistory::kKept + foreign.size());
    }

    void failureIsReportedOnce_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<bool>("readOnly"); // made so; else its parent is made a regular file
        QTest::newRow("read-only folder") << QStringLiteral("history") << true;
        QTest::newRow("parent is a regular file") << QStringLiteral("plain/history") << false;
    }
    void failureIsReportedOnce()
    {
        QFETCH(QString, folder);
        QFETCH(bool, readOnly);
        QTemporaryDir tmp;
        const QString made = tmp.filePath(folder.section(QLatin1Char('/'), 0, 0));
        if (readOnly && geteuid() == 0)
            QSKIP("root writes into a read-only folder");
        QVERIFY(readOnly ? QDir().mkdir(made) : QFile(made).open(QIODevice::WriteOnly));
        if (readOnly)
            QFile::setPermissions(made, QFile::ReadOwner | QFile::ExeOwner);

        SetHistory history(tmp.filePath(folder));
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
        const QStringList paths{history.keep(kSet, "read"), history.keep(kSet, "loaded")};
        qInstallMessageHandler(previous);
        QFile::setPermissions(made, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QCOMPARE(paths, (QStringList{QString(), QString()}));
        QVERIFY(QDir(tmp.filePath(folder)).isEmpty());
        QCOMPARE(warnings.size(), 1);
        const QString start = "korva-config: cannot keep the set in the history (" +
                              QDir::toNativeSeparators(history.folder()) + "): ";
        QVERIFY2(warnings[0].startsWith(start), qPrintable(warnings[0]));
    }
};

QTEST_GUILESS_MAIN(TestSetHistory)
#include "tst_sethistory.moc"
