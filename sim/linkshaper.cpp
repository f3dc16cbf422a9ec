// SPDX-License-Identifier: GPL-3.0-or-later
#include "linkshaper.h"

#include "decoder.h"

#include <algorithm>

namespace {

// Separate streams per fault, so that how frames are grouped or cut (which depends on when
// a partial merge group is flushed) never changes the noise or the lost bytes, and with them
// the bytes. A unit that lost bytes is split from a stream of its own for the same reason,
// and so that switching losses on leaves every other unit as it was.
constexpr quint32 kNoiseStream = 0x6E6F6973;
constexpr quint32 kSplitStream = 0x73706C74;
constexpr quint32 kMergeStream = 0x6D726765;
constexpr quint32 kCutStream = 0x63757420;
constexpr quint32 kDamagedSplitStream = 0x64737074;
constexpr quint32 kFlipStream = 0x666C6970;

constexpr int kCutAttempts = 64;

int pick(std::mt19937 &rng, int low, int high)
{
    return low + int(rng() % quint32(high - low + 1));
}

bool isFrameLength(int length)
{
    return length == kAuxFrameLength || length == kParameterFrameLength ||
           length == kLiveFrameLength;
}

// Noise never holds a frame marker or the AUX marker, so that it cannot start a frame,
// and no run of it followed by a frame's first bytes can look like one either.
bool usableNoiseByte(int b)
{
    return b != kFrameMarker && b != kAuxMarker;
}

} // namespace

LinkShaper::LinkShaper(Faults faults, quint32 seed)
    : m_faults(faults)
    , m_noiseRng(seed ^ kNoiseStream)
    , m_splitRng(seed ^ kSplitStream)
    , m_mergeRng(seed ^ kMergeStream)
    , m_cutRng(seed ^ kCutStream)
    , m_flipRng(seed ^ kFlipStream)
    , m_damagedSplitRng(seed ^ kDamagedSplitStream)
{}

QByteArray LinkShaper::noise()
{
    QByteArray bytes;
    if (!m_faults.noise || pick(m_noiseRng, 1, kNoiseOneIn) != 1)
        return bytes;
    const int count = pick(m_noiseRng, 1, kMaxNoiseBytes);
    while (bytes.size() < count) {
        const int b = pick(m_noiseRng, 0, 0xFF);
        if (usableNoiseByte(b))
            bytes.append(char(b));
    }
    return bytes;
}

// The first byte always arrives: a frame lost whole looks on the wire like one never sent,
// which tells a reader nothing new. The run may take the last byte too: a burst lost on a
// cable knows nothing of where frames end, and a frame whose end never comes is just what a
// reader has to learn to give up on. What is left is never a frame's length, or a reader
// would take it as a whole frame.
QByteArray LinkShaper::damage(const QByteArray &frame)
{
    const int length = frame.size();
    if (!m_faults.cut || pick(m_cutRng, 1, kCutOneIn) != 1 || length < 2)
        return frame;
    for (int attempt = 0; attempt < kCutAttempts; ++attempt) {
        const int from = pick(m_cutRng, 1, length - 1);
        const int to = pick(m_cutRng, from + 1, length);
        if (!isFrameLength(length - (to - from)))
            return frame.left(from) + frame.mid(to);
    }
    // One byte short of a frame is never a frame's length.
    return frame.left(length - 1);
}

// A frame carries no checksum, so a turned bit keeps its length and its look: only what it
// says changes. The first byte is kept for the same reason a cut keeps it.
QByteArray LinkShaper::flipBit(QByteArray frame)
{
    if (!m_faults.flip || pick(m_flipRng, 1, kFlipOneIn) != 1 || frame.size() < 2)
        return frame;
    const int at = pick(m_flipRng, 1, frame.size() - 1);
    frame[at] = char(quint8(frame.at(at)) ^ (1u << pick(m_flipRng, 0, 7)));
    return frame;
}

QVector<LinkShaper::Write> LinkShaper::push(const QByteArray &frame)
{
    if (m_unit.bytes.isEmpty())
        m_groupTarget = m_faults.merge ? pick(m_mergeRng, kMinMerged, kMaxMerged) : 1;
    const QByteArray gap = noise();
    const QByteArray damaged = flipBit(damage(frame));
    const auto append = [&gap](Unit &unit, const QByteArray &bytes) {
        unit.bytes += gap;
        unit.frameStarts.append(unit.bytes.size());
        unit.bytes += bytes;
        unit.frameEnds.append(unit.bytes.size());
    };
    append(m_unit, frame);
    append(m_wire, damaged);
    if (m_unit.frameStarts.size() < m_groupTarget)
        return {};
    return emitUnit();
}

QVector<LinkShaper::Write> LinkShaper::flush()
{
    if (m_unit.bytes.isEmpty())
        return {};
    return emitUnit();
}

bool LinkShaper::cutsKeepFramesDistinct(const QVector<int> &frameStarts,
                                        const QVector<int> &frameEnds, const QVector<int> &cuts)
{
    for (int f = 0; f < frameStarts.size(); ++f) {
        QVector<int> points{frameStarts[f]};
        for (int cut : cuts) {
            if (cut > frameStarts[f] && cut < frameEnds[f])
                points.append(cut);
        }
        if (!isFrameLength(frameEnds[f] - frameStarts[f]))
            points.append(frameEnds[f]);
        for (int i = 0; i < points.size(); ++i) {
            for (int j = i + 1; j < points.size(); ++j) {
                const int length = qAbs(points[j] - points[i]);
                if (length == kAuxFrameLength || length == kParameterFrameLength ||
                    length == kLiveFrameLength)
                    return false;
            }
        }
    }
    return true;
}

QVector<int> LinkShaper::chooseCuts(const Unit &unit, std::mt19937 &rng)
{
    const int length = unit.bytes.size();
    const int pieces = std::min(pick(rng, kMinPieces, kMaxPieces), length);
    for (int attempt = 0; attempt < kCutAttempts; ++attempt) {
        QVector<int> cuts;
        while (cuts.size() < pieces - 1) {
            const int cut = pick(rng, 1, length - 1);
            if (!cuts.contains(cut))
                cuts.append(cut);
        }
        std::sort(cuts.begin(), cuts.end());
        if (cutsKeepFramesDistinct(unit.frameStarts, unit.frameEnds, cuts))
            return cuts;
    }
    // One byte into the first frame: no fragment of a whole frame can reach a frame's length.
    // A frame that lost bytes may still refuse it; then the unit goes out in one piece.
    const QVector<int> oneByteIn{unit.frameStarts.first() + 1};
    if (oneByteIn.first() < length &&
        cutsKeepFramesDistinct(unit.frameStarts, unit.frameEnds, oneByteIn))
        return oneByteIn;
    return {};
}

QVector<LinkShaper::Write> LinkShaper::splitUnit(const Unit &unit, std::mt19937 &rng) const
{
    QVector<Write> writes;
    if (!m_faults.split || unit.bytes.size() < kMinPieces) {
        writes.append({unit.bytes, true, 0});
        return writes;
    }
    int from = 0;
    QVector<int> ends = chooseCuts(unit, rng);
    ends.append(unit.bytes.size());
    for (int end : ends) {
        const int gap = from == 0 ? 0 : pick(rng, 0, kMaxPieceGapMs);
        writes.append({unit.bytes.mid(from, end - from), from == 0, gap});
        from = end;
    }
    return writes;
}

QVector<LinkShaper::Write> LinkShaper::emitUnit()
{
    // The unit as sent is split even when what reaches the reader differs, so that the split
    // stream moves on as it would without lost bytes and the units after it come out the same.
    QVector<Write> writes = splitUnit(m_unit, m_splitRng);
    if (m_wire.bytes != m_unit.bytes)
        writes = splitUnit(m_wire, m_damagedSplitRng);
    m_unit = {};
    m_wire = {};
    return writes;
}
