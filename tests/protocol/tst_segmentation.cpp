// SPDX-License-Identifier: GPL-3.0-or-later
// The best reading of undecided bytes against every reading of short buffers, tried one by one.
#include "decoder.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

using segmentation::kImpossible;
using segmentation::Piece;

// The best score over every reading of b[from..]: pieces one after another, a garbage run
// never right after another (two runs side by side are one).
int bruteForce(const QByteArray &b, int from, bool open, bool afterGarbage)
{
    if (from == b.size())
        return 0;
    int best = kImpossible;
    for (int length = 1; from + length <= b.size(); ++length) {
        const auto tryPiece = [&](int score, bool garbage) {
            const int rest = bruteForce(b, from + length, open, garbage);
            if (score != kImpossible && rest != kImpossible)
                best = std::max(best, score + rest);
        };
        if (!afterGarbage)
            tryPiece(segmentation::pieceScore(b, from, length, {}, Piece::Garbage), true);
        for (FrameFamily f : {FrameFamily::Channel, FrameFamily::LinkStatus, FrameFamily::Aux,
                              FrameFamily::Parameter}) {
            for (Piece p : {Piece::Whole, Piece::Cut, Piece::Unfinished}) {
                if (p != Piece::Unfinished || open)
                    tryPiece(segmentation::pieceScore(b, from, length, f, p), false);
            }
        }
    }
    return best;
}

} // namespace

class TestSegmentation : public QObject
{
    Q_OBJECT

private slots:
    void bestScoreIsTheBestOfAllReadings_data();
    void bestScoreIsTheBestOfAllReadings();
};

void TestSegmentation::bestScoreIsTheBestOfAllReadings_data()
{
    QTest::addColumn<int>("maxLength");
    QTest::addColumn<bool>("open");
    QTest::addColumn<int>("rounds");
    // Every reading is tried, so the buffers stay short; eight bytes hold a whole AUX frame.
    QTest::newRow("open") << 7 << true << 40;
    QTest::newRow("final") << 7 << false << 40;
    QTest::newRow("an AUX frame's length") << 8 << true << 8;
}

void TestSegmentation::bestScoreIsTheBestOfAllReadings()
{
    QFETCH(int, maxLength);
    QFETCH(bool, open);
    QFETCH(int, rounds);
    const quint32 seed = QRandomGenerator::global()->generate();
    QRandomGenerator rng(seed);
    // Markers, kinds and small values often, so that frames and their pieces keep turning up.
    static const char likely[] = {char(0xFE), char(0x18), char(0x19), char(0xAA),
                                  char(0x55), char(0x44), char(0x00), char(0x01)};
    for (int round = 0; round < rounds; ++round) {
        QByteArray b;
        for (int n = 1 + rng.bounded(maxLength); n > 0; --n)
            b += rng.bounded(4) ? likely[rng.bounded(8)] : char(rng.bounded(256));
        QVERIFY2(segmentation::bestScore(b, open) == bruteForce(b, 0, open, false),
                 qPrintable(QStringLiteral("seed %1, bytes %2")
                                .arg(seed)
                                .arg(QString::fromLatin1(b.toHex(' ')))));
    }
}

QTEST_APPLESS_MAIN(TestSegmentation)
#include "tst_segmentation.moc"
