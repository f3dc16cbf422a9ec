// SPDX-License-Identifier: GPL-3.0-or-later
// The read-back check after WRITE, with the test playing the transmitter: what the pilot is
// told, that the answer never reaches the pages, and that damage raises no alarm.
#include "windowfixture.h"

#include "frames.h"
#include "sethistory.h"
#include "testdata.h"
#include "transmitterlink.h"
#include "transmittermodel.h"

#include <QAction>
#include <QSettings>
#include <QSpinBox>
#include <QTemporaryDir>

namespace {

// Every wait at a tenth: the check takes a fraction of a second.
void shortenWaits(MainWindow &window)
{
    LinkPacing fast;
    fast.percent = 10;
    window.findChild<TransmitterLink *>()->setPacing(fast);
}

// Answers each "RR" as the script says: "held" what the transmitter took, "old" the set it
// had before, "damaged" the held set with one byte of the sub-trim frame garbled, "partial"
// the held set without that frame, "none" nothing.
class ScriptedTransmitter : public QObject
{
public:
    ScriptedTransmitter(PtyPair &pty, const QStringList &script, const ParamStore &held,
                        const ParamStore &old)
        : m_pty(pty)
        , m_script(script)
        , m_held(held)
        , m_old(old)
    {
        connect(&m_poll, &QTimer::timeout, this, [this] { poll(); });
        m_poll.start(5);
    }
    int requests() const { return m_answered; }
    std::function<void()> onRequest; // runs when a request arrives, before it is answered

private:
    void poll()
    {
        int requests = 0;
        for (int at = 0; (at = m_pty.received().indexOf("RR", at)) >= 0; at += 2)
            ++requests;
        if (requests <= m_answered)
            return;
        if (onRequest)
            onRequest();
        const QString answer = m_script.value(m_answered++);
        if (answer == QLatin1String("none"))
            return;
        for (QByteArray frame :
             encodeSettingsAnswer(answer == QLatin1String("old") ? m_old : m_held)) {
            const bool subTrims =
                frame.size() == kParameterFrameLength && quint8(frame.at(2)) == 0x55;
            if (answer == QLatin1String("damaged") && subTrims)
                frame[4] = char(frame.at(4) + 7); // sub2
            if (answer != QLatin1String("partial") || !subTrims)
                m_pty.send(frame);
        }
    }

    PtyPair &m_pty;
    QStringList m_script;
    ParamStore m_held;
    ParamStore m_old;
    QTimer m_poll;
    int m_answered = 0;
};

const QString kOffersMismatch =
    QStringLiteral("Write again|Show the transmitter's values|Keep mine");
const QString kOffersSilent = QStringLiteral("Write again|Keep mine");

QStringList sorted(const QString &offers)
{
    QStringList list = offers.split(QLatin1Char('|'));
    list.sort();
    return list;
}

QStringList historyNames(const QString &folder)
{
    QStringList names;
    for (const QString &file : SetHistory(folder).files())
        names.append(file.section(QLatin1Char(' '), 2));
    return names;
}

} // namespace

class TestWriteCheck : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { initTestResources(); }

    void checkJudgesTheAnswers_data()
    {
        QTest::addColumn<QStringList>("script");
        QTest::addColumn<QString>("box"); // what the box offered, empty for none
        QTest::addColumn<QString>("history");
        QTest::newRow("held") << QStringList{"held"} << QString() << "written, checked.txt";
        QTest::newRow("damaged once, then whole")
            << QStringList{"damaged", "held"} << QString() << "written, checked.txt";
        QTest::newRow("answered in part, then whole")
            << QStringList{"partial", "partial", "partial", "held"} << QString()
            << "written, checked.txt";
        QTest::newRow("old set kept")
            << QStringList{"old", "old"} << kOffersMismatch << "written, not confirmed.txt";
        QTest::newRow("silent") << QStringList{"none", "none", "none"} << kOffersSilent
                                << "written, not checked.txt";
    }

    void checkJudgesTheAnswers()
    {
        QFETCH(QStringList, script);
        QFETCH(QString, box);
        QFETCH(QString, history);
        WindowFixture f;
        QTemporaryDir dir;
        f.window->useHistory(dir.path());
        f.window->setCheckAfterWriting(true);
        shortenWaits(*f.window);
        QVERIFY(f.open());
        const ParamStore old = heldByTransmitter(ParamStore());
        ParamData = changedFactorySettings();
        const ParamStore written = ParamData;
        ScriptedTransmitter transmitter(f.pty, script, heldByTransmitter(written), old);
        // What the pilot sees while the check runs: nothing to click, the pages unchanged.
        QStringList enabledDuringCheck;
        bool pagesKept = true;
        transmitter.onRequest = [&] {
            for (const char *name : {"toolButton_Send", "toolButton_Read", "toolButton_Reset"}) {
                if (f.button(name)->isEnabled())
                    enabledDuringCheck << QLatin1String(name);
            }
            QTimer::singleShot(30, f.window.get(), [&] {
                pagesKept =
                    pagesKept && buildParameterFile(ParamData) == buildParameterFile(written);
            });
        };
        f.button("toolButton_Send")->click();
        QCOMPARE(transmitter.requests(), script.size());
        QCOMPARE(enabledDuringCheck, QStringList());
        QVERIFY(pagesKept);
        QVERIFY(buildParameterFile(ParamData) == buildParameterFile(written));
        QCOMPARE(f.watcher.offers().size(), box.isEmpty() ? 0 : 1);
        // In the order the desktop's style puts them.
        if (!box.isEmpty())
            QCOMPARE(sorted(f.watcher.offers().first()), sorted(box));
        auto *notice = f.window->findChild<QWidget *>(QStringLiteral("checkNotice"));
        QCOMPARE(notice && notice->isVisible(), box.isEmpty());
        if (box == kOffersMismatch) {
            // Each setting the two sets differ in, by the name `korva-cli show` gives it.
            const QString text = f.watcher.messages().value(0);
            QVERIFY2(text.startsWith(QLatin1String("WRITE not confirmed|")), qPrintable(text));
            for (const char *label :
                 {"Sub-trim CH3", "Parameters: Stick mode", "Elevon: Rates Elev05"})
                QVERIFY2(text.contains(QLatin1String(label)), qPrintable(text));
            QVERIFY(
                historyNames(dir.path()).contains(QStringLiteral("transmitter after write.txt")));
        }
        QVERIFY2(historyNames(dir.path()).contains(history),
                 qPrintable(historyNames(dir.path()).join(QLatin1Char(','))));
    }

    // The window then shows what the transmitter holds, and counts it as in step with it.
    void transmittersValuesReplaceTheWindowsOnRequest()
    {
        WindowFixture f;
        f.window->setCheckAfterWriting(true);
        shortenWaits(*f.window);
        QVERIFY(f.open());
        const ParamStore old = heldByTransmitter(ParamStore());
        ParamData = changedFactorySettings();
        ScriptedTransmitter transmitter(f.pty, {"old", "old"}, ParamData, old);
        f.watcher.queueAnswer(QStringLiteral("Show the transmitter's values"));
        f.button("toolButton_Send")->click();
        QCOMPARE(buildParameterFile(ParamData), buildParameterFile(old));
        QVERIFY(!f.window->settingsChanged());
    }

    // The right-click choice is the pilot's and is kept; --no-check is for one run only.
    void onlyThePilotsChoiceIsRemembered()
    {
        QTemporaryDir dir;
        QSettings settings(dir.filePath(QStringLiteral("k.conf")), QSettings::IniFormat);
        {
            MainWindow window;
            window.useSettings(&settings);
            QVERIFY(window.checksAfterWriting());
            window.setCheckAfterWriting(false); // as --no-check does
            QVERIFY(!window.checksAfterWriting());
        }
        {
            MainWindow window;
            window.useSettings(&settings);
            QVERIFY(window.checksAfterWriting());
            window.findChild<QAction *>(QStringLiteral("actionCheckAfterWriting"))->trigger();
            QVERIFY(!window.checksAfterWriting());
        }
        MainWindow window;
        window.useSettings(&settings);
        QVERIFY(!window.checksAfterWriting());
    }

    void closingTheWindowEndsTheCheckQuietly()
    {
        WindowFixture f;
        f.window->setCheckAfterWriting(true);
        shortenWaits(*f.window);
        QVERIFY(f.open());
        ScriptedTransmitter transmitter(f.pty, {"none", "none", "none"}, ParamStore(),
                                        ParamStore());
        transmitter.onRequest = [&] { f.window->close(); };
        QTimer::singleShot(0, f.window.get(), [&] { f.button("toolButton_Send")->click(); });
        QTRY_VERIFY_WITH_TIMEOUT(!f.window->isVisible(), 1000);
        QCOMPARE(transmitter.requests(), 1);
        QCOMPARE(f.watcher.messages(), QStringList());
    }
};

QTEST_MAIN(TestWriteCheck)
#include "tst_writecheck.moc"
