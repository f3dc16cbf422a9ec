// SPDX-License-Identifier: GPL-3.0-or-later
// The best reading of undecided bytes against every reading of short buffers, tried one by one.
#include "decoder.h"

#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

namespace {

using segmentation::kImpossible;
using segmentation::Piece;

constexpr FrameFamily kFamilies[] = {FrameFamily::Channel, FrameFamily::LinkStatus,
                                     FrameFamily::Aux, FrameFamily::Parameter};
constexpr Piece kFramePieces[] = {Piece::Whole, Piece::Cut, Piece::Short, Piece::Unfinished};

// Every piece's score, looked up once per buffer: the readings below try them many times.
struct PieceScores
{
    explicit PieceScores(const QByteArray &b)
        : n(int(b.size()))
    {
        for (int from = 0; from < n; ++from) {
            for (int length = 1; from + length <= n; ++length) {
                for (FrameFamily f : kFamilies) {
                    for (Piece p : kFramePieces)
                        scores.append(segmentation::pieceScore(b, from, length, f, p));
                }
            }
        }
    }
    int at(int from, int length, int family, int piece) const
    {
        // Rows of (n - from) lengths for each start before `from`.
        int row = 0;
        for (int i = 0; i < from; ++i)
            row += n - i;
        return scores[((row + length - 1) * 4 + family) * 4 + piece];
    }
    int n;
    QVector<int> scores;
};

// The best score over every reading of b[from..]: pieces one after another, a garbage run
// never right after another (two runs side by side are one).
int bruteForce(const PieceScores &s, int from, bool open, bool afterGarbage)
{
    if (from == s.n)
        return 0;
    int best = kImpossible;
    for (int length = 1; from + length <= s.n; ++length) {
        const auto tryPiece = [&](int score, bool garbage) {
            if (score == kImpossible)
                return;
            const int rest = bruteForce(s, from + length, open, garbage);
            if (rest != kImpossible)
                best = std::max(best, score + rest);
        };
        if (!afterGarbage)
            tryPiece(segmentation::pieceScore({}, 0, length, {}, Piece::Garbage), true);
        for (int f = 0; f < 4; ++f) {
            for (int p = 0; p < 4; ++p) {
                if (kFramePieces[p] != Piece::Unfinished || open)
                    tryPiece(s.at(from, length, f, p), false);
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
    // Every reading is tried, so the buffers stay short; twelve bytes hold a whole
    // parameter frame.
    QTest::newRow("open") << 12 << true << 1500;
    QTest::newRow("final") << 12 << false << 1500;
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
        QVERIFY2(segmentation::bestScore(b, open) == bruteForce(PieceScores(b), 0, open, false),
                 qPrintable(QStringLiteral("seed %1, bytes %2")
                                .arg(seed)
                                .arg(QString::fromLatin1(b.toHex(' ')))));
    }
}

QTEST_APPLESS_MAIN(TestSegmentation)
#include "tst_segmentation.moc"
