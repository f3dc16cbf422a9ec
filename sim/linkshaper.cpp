#include "linkshaper.h"

#include "decoder.h"

#include <algorithm>

namespace {

// Separate streams per fault, so that how frames are grouped or cut (which depends on when
// a partial merge group is flushed) never changes the noise, and with it the bytes.
constexpr quint32 kNoiseStream = 0x6E6F6973;
constexpr quint32 kSplitStream = 0x73706C74;
constexpr quint32 kMergeStream = 0x6D726765;

constexpr int kCutAttempts = 64;

int pick(std::mt19937 &rng, int low, int high)
{
    return low + int(rng() % quint32(high - low + 1));
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

QVector<LinkShaper::Write> LinkShaper::push(const QByteArray &frame)
{
    if (m_unit.isEmpty())
        m_groupTarget = m_faults.merge ? pick(m_mergeRng, kMinMerged, kMaxMerged) : 1;
    m_unit += noise();
    m_frameStarts.append(m_unit.size());
    m_unit += frame;
    m_frameEnds.append(m_unit.size());
    if (m_frameStarts.size() < m_groupTarget)
        return {};
    return emitUnit();
}

QVector<LinkShaper::Write> LinkShaper::flush()
{
    if (m_unit.isEmpty())
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

QVector<int> LinkShaper::chooseCuts() const
{
    const int length = m_unit.size();
    const int pieces = std::min(pick(m_splitRng, kMinPieces, kMaxPieces), length);
    for (int attempt = 0; attempt < kCutAttempts; ++attempt) {
        QVector<int> cuts;
        while (cuts.size() < pieces - 1) {
            const int cut = pick(m_splitRng, 1, length - 1);
            if (!cuts.contains(cut))
                cuts.append(cut);
        }
        std::sort(cuts.begin(), cuts.end());
        if (cutsKeepFramesDistinct(m_frameStarts, m_frameEnds, cuts))
            return cuts;
    }
    // One byte into the first frame: no fragment can reach a frame's length.
    return {m_frameStarts.first() + 1};
}

QVector<LinkShaper::Write> LinkShaper::emitUnit()
{
    QVector<Write> writes;
    if (!m_faults.split || m_unit.size() < kMinPieces) {
        writes.append({m_unit, true, 0});
    } else {
        int from = 0;
        QVector<int> ends = chooseCuts();
        ends.append(m_unit.size());
        for (int end : ends) {
            const int gap = from == 0 ? 0 : pick(m_splitRng, 0, kMaxPieceGapMs);
            writes.append({m_unit.mid(from, end - from), from == 0, gap});
            from = end;
        }
    }
    m_unit.clear();
    m_frameStarts.clear();
    m_frameEnds.clear();
    return writes;
}
