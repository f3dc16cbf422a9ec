// SPDX-License-Identifier: GPL-3.0-or-later
// Judging a check after a write: damage on the line must neither raise an alarm nor hide a
// setting the transmitter did not take.
#include "decoder.h"
#include "readback.h"
#include "seeds.h"
#include "testdata.h"
#include "transmittermodel.h"

#include <QRandomGenerator>
#include <QSet>
#include <QTest>

class tst_ReadBack : public QObject
{
    Q_OBJECT

private slots:
    void anAnswerDamagedOnceNeverDecidesTheCheck();
    void everyAnswerDamagedNeverMisleads();
    void aTwinOneTurnedBitAwayIsOutnumberedByTwo();
};

// Fresh seeds each run, printed; KORVA_READBACK_SEED repeats one.
void tst_ReadBack::anAnswerDamagedOnceNeverDecidesTheCheck()
{
    const quint32 base = freshOrReplayedSeed("KORVA_READBACK_SEED");
    qInfo("seed %u", base);
    const QVector<IntField> fields = readBackFields();
    QRandomGenerator random(base);
    for (int trial = 0; trial < 2000; ++trial) {
        const ParamStore sent = asSent(randomInRange(random.generate()));
        // The oracle: which settings the transmitter really holds otherwise.
        ParamStore held = sent;
        QSet<QString> real;
        const int realCount = random.bounded(4) == 0 ? 0 : random.bounded(1, 6);
        while (real.size() < realCount) {
            const IntField f = fields.at(random.bounded(fields.size()));
            real.insert(QLatin1String(intFieldName(f)));
            held.*f = sent.*f + random.bounded(1, 30);
        }
        // Three answers at most, one of them (or none) damaged in up to four fields.
        const int damaged = random.bounded(4);
        ReadBackCheck check(sent);
        ReadBackCheck::Verdict verdict = ReadBackCheck::ReadAgain;
        for (int answer = 0; answer < 3 && verdict == ReadBackCheck::ReadAgain; ++answer) {
            ParamStore line = held;
            for (int n = answer == damaged ? random.bounded(1, 5) : 0; n > 0; --n) {
                const IntField f = fields.at(random.bounded(fields.size()));
                line.*f = qMax(sent.*f, held.*f) + random.bounded(1, 30);
            }
            verdict = check.take(line);
        }
        const QString where = QStringLiteral("seed %1, trial %2").arg(base).arg(trial);
        QVERIFY2(verdict == (real.isEmpty() ? ReadBackCheck::Confirmed : ReadBackCheck::Mismatch),
                 qPrintable(where));
        if (verdict == ReadBackCheck::Mismatch) {
            QSet<QString> reported;
            for (IntField f : check.mismatched())
                reported.insert(QLatin1String(intFieldName(f)));
            QCOMPARE(reported, real);
            const ParamStore told = check.held();
            for (IntField f : fields)
                QVERIFY2(told.*f == held.*f, qPrintable(where));
        }
    }
}

// On a line that turns bits every few frames, every answer may be damaged, each somewhere
// else. Neither the check after a write nor the agreement a read waits for may then report a
// value the transmitter does not hold; an "unsure" or a missing agreement is allowed.
void tst_ReadBack::everyAnswerDamagedNeverMisleads()
{
    const quint32 base = freshOrReplayedSeed("KORVA_READBACK_SEED");
    qInfo("seed %u", base);
    const QVector<IntField> fields = readBackFields();
    QRandomGenerator random(base);
    int decided = 0;
    for (int trial = 0; trial < 2000; ++trial) {
        const ParamStore sent = asSent(randomInRange(random.generate()));
        ParamStore held = sent;
        for (int n = random.bounded(3); n > 0; --n)
            held.*fields.at(random.bounded(fields.size())) += random.bounded(1, 30);
        // No two answers are damaged into the same value: that the oracle could not tell.
        int answer = 0;
        const auto damagedAnswer = [&] {
            ParamStore line = held;
            ++answer;
            for (int n = random.bounded(4); n > 0; --n)
                line.*fields.at(random.bounded(fields.size())) +=
                    answer * 1000 + random.bounded(900);
            // Out of range, every damaged value is replaced by the same safe one, as the link
            // does; the answers are judged as they came.
            const QVector<RangeReplacement> replaced = replaceOutOfRangeValues(line);
            return asReceived(line, replaced);
        };
        ReadBackCheck check(sent);
        ReadBackCheck::Verdict verdict = ReadBackCheck::ReadAgain;
        while (verdict == ReadBackCheck::ReadAgain)
            verdict = check.take(damagedAnswer());
        // A read asks up to five times; an answer may lack frames, which leave nothing sure.
        QVector<SettingsAnswer> answers;
        ParamStore agreed;
        bool taken = false;
        while (answers.size() < 5 && !taken) {
            SettingsAnswer a{damagedAnswer(), {}};
            for (int n = random.bounded(3); n > 0; --n) {
                a.missing.append(random.bounded(1, kSettingsFrameKinds + 1));
                for (IntField f : settingsFrameFields(a.missing.last()))
                    a.settings.*f = -12345;
            }
            answers.append(a);
            taken = agreedAnswer(answers, &agreed).isEmpty();
        }
        const QVector<IntField> real = mismatchedFields(sent, held);
        const QString where = QStringLiteral("seed %1, trial %2").arg(base).arg(trial);
        QVERIFY2(verdict != ReadBackCheck::Confirmed || real.isEmpty(), qPrintable(where));
        QVERIFY2(verdict != ReadBackCheck::Mismatch ||
                     (check.mismatched() == real && check.held() == held),
                 qPrintable(where));
        QVERIFY2(!taken || mismatchedFields(agreed, held).isEmpty(), qPrintable(where));
        decided += taken;
    }
    // Five answers, each damaged in a few fields and short of a frame or two, leave nearly
    // every set decided.
    QVERIFY2(decided > 1900, qPrintable(QString::number(decided)));
}

// The transmitter's frames with a bit turned, read as the receive buffer reads them: the same
// twin twice does not outweigh one answer as sent, and gives way once outnumbered by two.
void tst_ReadBack::aTwinOneTurnedBitAwayIsOutnumberedByTwo()
{
    const quint32 base = freshOrReplayedSeed("KORVA_READBACK_SEED");
    QRandomGenerator random(base);
    for (int trial = 0; trial < 200; ++trial) {
        const ParamStore sent = randomInRange(random.generate());
        QByteArray frame = encodeSettingsAnswer(sent).at(random.bounded(1, 19));
        const int bit = 24 + random.bounded(32); // bytes 3..6 carry a value in every kind
        frame[bit / 8] = char(frame.at(bit / 8) ^ (1 << bit % 8));
        ParamStore twin = sent, agreed;
        DecodedFrame decoded;
        decodeWholeChunk(frame, twin, &decoded);
        QVector<SettingsAnswer> line(2, {twin, {}});
        line.append({sent, {}});
        const bool twinTaken = agreedAnswer(line, &agreed).isEmpty();
        line.append(QVector<SettingsAnswer>(3, {sent, {}}));
        QVERIFY2(!twinTaken && agreedAnswer(line, &agreed).isEmpty() &&
                     mismatchedFields(agreed, sent).isEmpty(),
                 qPrintable(QStringLiteral("seed %1, trial %2").arg(base).arg(trial)));
    }
}

QTEST_GUILESS_MAIN(tst_ReadBack)
#include "tst_readback.moc"
