// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QVector>

#include <random>

// Mangles the transmitter's output the way real serial links and drivers do, so the
// reader's reassembly gets exercised: frames cut into pieces, frames run together, stray
// bytes between frames, and bytes lost inside a frame. Every decision comes from generators
// seeded once, one per fault, so the bytes on the wire depend only on the seed and the
// frames, never on timing.
class LinkShaper
{
public:
    struct Faults
    {
        bool split = false; // each write cut into 2..4 pieces with 0..3 ms between them
        bool merge = false; // two or three frames written at once
        bool noise = false; // now and then a few garbage bytes before a frame
        bool cut = false;   // now and then a run of bytes lost inside a frame
        bool flip = false;  // now and then one bit of a frame's byte turned over
    };

    struct Write
    {
        QByteArray bytes;
        bool startsUnit = true; // first piece of a unit (one or more frames)
        int pauseBeforeMs = 0;  // for later pieces: pause after the previous piece
    };

    static constexpr int kMinPieces = 2;
    static constexpr int kMaxPieces = 4;
    static constexpr int kMaxPieceGapMs = 3;
    static constexpr int kMinMerged = 2;
    static constexpr int kMaxMerged = 3;
    static constexpr int kNoiseOneIn = 6; // chance of noise before a frame
    static constexpr int kMaxNoiseBytes = 5;
    static constexpr int kCutOneIn = 8;  // chance of a frame losing a run of bytes
    static constexpr int kFlipOneIn = 8; // chance of a frame having one bit flipped

    LinkShaper(Faults faults, quint32 seed);

    // Takes the next frame. Returns the writes that are ready: none while a merge group is
    // still filling.
    QVector<Write> push(const QByteArray &frame);
    // Writes out a merge group that has not filled up.
    QVector<Write> flush();
    bool holding() const { return !m_unit.bytes.isEmpty(); }

    // True when no run of bytes from one piece boundary (or the start of a frame) to a
    // later one inside the same frame has the length of a frame. A reader that takes a
    // chunk of exactly a frame's length as that frame cannot tell such a fragment from a
    // whole frame, however carefully it reassembles; no serial line would keep delivering
    // those either, so the pieces avoid them. A frame that lost bytes is never a frame's
    // length, and nothing that follows completes it, so the reader may be left with any of
    // its pieces on their own, the last one or the whole frame included: its end counts as
    // a boundary too.
    static bool cutsKeepFramesDistinct(const QVector<int> &frameStarts,
                                       const QVector<int> &frameEnds, const QVector<int> &cuts);

private:
    // One or more frames with the noise before each, written out together.
    struct Unit
    {
        QByteArray bytes;
        QVector<int> frameStarts;
        QVector<int> frameEnds;
    };

    QVector<Write> emitUnit();
    QVector<Write> splitUnit(const Unit &unit, std::mt19937 &rng) const;
    static QVector<int> chooseCuts(const Unit &unit, std::mt19937 &rng);
    QByteArray noise();
    QByteArray damage(const QByteArray &frame);
    QByteArray flipBit(QByteArray frame);

    Faults m_faults;
    std::mt19937 m_noiseRng;
    std::mt19937 m_splitRng;
    std::mt19937 m_mergeRng;
    std::mt19937 m_cutRng;
    std::mt19937 m_flipRng;
    std::mt19937 m_damagedSplitRng;
    Unit m_unit; // as the transmitter sent it
    Unit m_wire; // as it reaches the reader, differing when a frame in it lost bytes
    int m_groupTarget = 0;
};
