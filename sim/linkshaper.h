#pragma once

#include <QByteArray>
#include <QVector>

#include <random>

// Mangles the transmitter's output the way real serial links and drivers do, so the
// reader's reassembly gets exercised: frames cut into pieces, frames run together, and
// stray bytes between frames. Every decision comes from generators seeded once, one per
// fault, so the bytes on the wire depend only on the seed and the frames, never on timing.
class LinkShaper
{
public:
    struct Faults
    {
        bool split = false; // each write cut into 2..4 pieces with 0..3 ms between them
        bool merge = false; // two or three frames written at once
        bool noise = false; // now and then a few garbage bytes before a frame
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

    LinkShaper(Faults faults, quint32 seed);

    // Takes the next frame. Returns the writes that are ready: none while a merge group is
    // still filling.
    QVector<Write> push(const QByteArray &frame);
    // Writes out a merge group that has not filled up.
    QVector<Write> flush();
    bool holding() const { return !m_unit.isEmpty(); }

    // True when no run of bytes from one piece boundary (or the start of a frame) to a
    // later one inside the same frame has the length of a frame. A reader that takes a
    // chunk of exactly a frame's length as that frame cannot tell such a fragment from a
    // whole frame, however carefully it reassembles; no serial line would keep delivering
    // those either, so the pieces avoid them.
    static bool cutsKeepFramesDistinct(const QVector<int> &frameStarts,
                                       const QVector<int> &frameEnds, const QVector<int> &cuts);

private:
    QVector<Write> emitUnit();
    QVector<int> chooseCuts() const;
    QByteArray noise();

    Faults m_faults;
    std::mt19937 m_noiseRng;
    mutable std::mt19937 m_splitRng;
    std::mt19937 m_mergeRng;
    QByteArray m_unit;
    QVector<int> m_frameStarts;
    QVector<int> m_frameEnds;
    int m_groupTarget = 0;
};
