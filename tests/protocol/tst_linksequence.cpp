// SPDX-License-Identifier: GPL-3.0-or-later
// The steps the window and korva-cli both walk: what goes on the line, in which order.
#include "factory.h"
#include "frames.h"
#include "linksequence.h"
#include "testdata.h"

#include <QTest>

Q_DECLARE_METATYPE(ParamStore)

namespace {

struct Walked
{
    QByteArray bytes;
    int msBeforeFirstByte = -1;
    QVector<int> pausesAfterFrames;
};

// Walks a sequence the simplest way: every pause only counted, every piece appended.
Walked walk(const LinkSequence &sequence, ParamStore &settings)
{
    Walked w;
    int clock = 0;
    const auto put = [&](const QByteArray &bytes) {
        if (w.msBeforeFirstByte < 0)
            w.msBeforeFirstByte = clock;
        w.bytes += bytes;
    };
    for (const LinkStep &step : sequence) {
        switch (step.kind) {
        case LinkStep::Guard:
            break;
        case LinkStep::FactoryValues:
            applyFactoryValues(settings);
            break;
        case LinkStep::Frame: {
            QString buffer = QString::fromLatin1(step.frame->tmpl);
            buildFrameInto(*step.frame, settings, buffer);
            put(buffer.toLatin1());
            w.pausesAfterFrames.append(step.pauseMs);
            break;
        }
        case LinkStep::Send:
        case LinkStep::Request:
            put(step.token);
            break;
        }
        clock += step.pauseMs;
    }
    return w;
}

} // namespace

class tst_LinkSequence : public QObject
{
    Q_OBJECT

private slots:
    void writeSendsTheParameterFileThenCommits_data();
    void writeSendsTheParameterFileThenCommits();
    void resetSendsTheFactoryFramesWhateverTheSettings_data();
    void resetSendsTheFactoryFramesWhateverTheSettings();
    void readAsksOnceAfterTheGuard();
};

void tst_LinkSequence::writeSendsTheParameterFileThenCommits_data()
{
    QTest::addColumn<ParamStore>("settings");
    QTest::newRow("start values") << ParamStore();
    for (quint32 seed : {1u, 2u, 3u})
        QTest::addRow("random %u", seed) << randomInRange(seed);
}

void tst_LinkSequence::writeSendsTheParameterFileThenCommits()
{
    QFETCH(ParamStore, settings);
    ParamStore walked = settings;
    const Walked w = walk(kWriteSequence, walked);
    QCOMPARE(w.bytes, buildParameterFile(settings) + "WWW");
    QVERIFY(walked == settings);
    QVERIFY(w.msBeforeFirstByte >= 200);
    QCOMPARE(w.pausesAfterFrames, (QVector<int>{800, 800, 800}));
}

void tst_LinkSequence::resetSendsTheFactoryFramesWhateverTheSettings_data()
{
    writeSendsTheParameterFileThenCommits_data();
}

void tst_LinkSequence::resetSendsTheFactoryFramesWhateverTheSettings()
{
    QFETCH(ParamStore, settings);
    const QByteArray golden = factoryFrames();
    QCOMPARE(golden.size(), kParameterFileLength);
    const Walked w = walk(kResetSequence, settings);
    QCOMPARE(w.bytes, golden + "WWW");
    QVERIFY(w.msBeforeFirstByte >= 200);
    QCOMPARE(w.pausesAfterFrames, (QVector<int>{800, 800, 800}));
}

void tst_LinkSequence::readAsksOnceAfterTheGuard()
{
    ParamStore settings = randomInRange(9);
    const ParamStore before = settings;
    const Walked w = walk(kReadSequence, settings);
    QCOMPARE(w.bytes, QByteArray("RR"));
    QVERIFY(w.msBeforeFirstByte >= 200);
    QVERIFY(settings == before);
}

QTEST_GUILESS_MAIN(tst_LinkSequence)
#include "tst_linksequence.moc"
