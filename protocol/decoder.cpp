// SPDX-License-Identifier: GPL-3.0-or-later
#include "decoder.h"

#include "rangecheck.h"

#include <QVarLengthArray>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

using P = ParamStore;

constexpr PayloadSlot b(IntField m, int byte, int offset = 0)
{
    return {m, byte, offset, false};
}
constexpr PayloadSlot w(IntField m, int byte)
{
    return {m, byte, 0, true};
}

// Parameter frames: FE, (unused), kind, eight payload bytes, FE.
const ParameterKind kKinds[] = {
    {0x44,
     1,
     {b(&P::rev1, 3), b(&P::rev2, 4), b(&P::rev3, 5), b(&P::rev4, 6), b(&P::rev5, 7),
      b(&P::rev6, 8), b(&P::rev7, 9), b(&P::rev8, 10)}},
    {0x55,
     2,
     {b(&P::sub1, 3, 120), b(&P::sub2, 4, 120), b(&P::sub3, 5, 120), b(&P::sub4, 6, 120),
      b(&P::sub5, 7, 120), b(&P::sub6, 8, 120), b(&P::sub7, 9, 120), b(&P::sub8, 10, 120)}},
    {0x66,
     3,
     {b(&P::Lepa1, 3), b(&P::Lepa2, 4), b(&P::Lepa3, 5), b(&P::Lepa4, 6), b(&P::Lepa5, 7),
      b(&P::Lepa6, 8), b(&P::Lepa7, 9), b(&P::Lepa8, 10)}},
    {0x77,
     4,
     {b(&P::Repa1, 3), b(&P::Repa2, 4), b(&P::Repa3, 5), b(&P::Repa4, 6), b(&P::Repa5, 7),
      b(&P::Repa6, 8), b(&P::Repa7, 9), b(&P::Repa8, 10)}},
    {0x88,
     5,
     {b(&P::FS1, 3), b(&P::FS2, 4), b(&P::FS3, 5), b(&P::FS4, 6), b(&P::FS5, 7), b(&P::FS6, 8),
      b(&P::FS7, 9), b(&P::FS8, 10)}},
    {0x99, 6, {w(&P::Volt_x10, 3), w(&P::Mode, 5), w(&P::Vertion, 7)}},
    {0xA1,
     8,
     {b(&P::AttiM, 3), b(&P::Atti1, 4), b(&P::Atti2, 5), b(&P::Atti3, 6), b(&P::Atti4, 7),
      b(&P::Atti5, 8), b(&P::Atti6, 9)}},
    {0xA2,
     9,
     {b(&P::EleMix, 3), b(&P::Elev01, 4, 120), b(&P::Elev05, 5, 120), b(&P::Elev02, 6, 120),
      b(&P::Elev06, 7, 120), b(&P::Elev03, 8, 120), b(&P::Elev04, 9, 120)}},
    {0xA3,
     10,
     {b(&P::RuMix, 3), b(&P::Ru1, 4, 100), b(&P::Ru2, 5, 100), b(&P::Ru3, 6, 100),
      b(&P::Ru4, 7, 100), b(&P::DR_MIX, 8)}},
    {0xA4,
     11,
     {b(&P::delay1, 3), b(&P::delay2, 4), b(&P::delay3, 5), b(&P::delay4, 6), b(&P::delay5, 7),
      b(&P::delay6, 8), b(&P::delay7, 9), b(&P::delay8, 10)}},
    {0xA5,
     12,
     {b(&P::DR_UP_CH1, 3), b(&P::DR_UP_CH2, 4), b(&P::DR_UP_CH3, 5), b(&P::DR_UP_CH4, 6),
      b(&P::DR_DOWN_CH1, 7), b(&P::DR_DOWN_CH2, 8), b(&P::DR_DOWN_CH3, 9), b(&P::DR_DOWN_CH4, 10)}},
    {0xA6,
     13,
     {b(&P::PRM01_Data2, 3, 100), b(&P::PRM02_Data2, 4, 100), b(&P::PRM01_Data3, 5, 100),
      b(&P::PRM02_Data3, 6, 100), b(&P::PRM01_Data1, 7, 100), b(&P::PRM02_Data1, 8, 100),
      b(&P::PRM01_Master, 9), b(&P::PRM02_Master, 10)}},
    {0xA7,
     14,
     {b(&P::PRM01_Slave, 3), b(&P::PRM02_Slave, 4), b(&P::PRM01_Mix, 5), b(&P::PRM02_Mix, 6)}},
    {0xA8,
     15,
     {b(&P::PRM03_Mix, 3), b(&P::PRM03_Master, 4), b(&P::PRM03_Slave, 5),
      b(&P::PRM03_Data1, 6, 100), b(&P::PRM03_Data2, 7, 100), b(&P::PRM03_Data3, 8, 100),
      b(&P::PRM04_Mix, 9), b(&P::PRM04_Master, 10)}},
    {0xA9,
     16,
     {b(&P::PRM04_Slave, 3), b(&P::PRM04_Data1, 4, 100), b(&P::PRM04_Data2, 5, 100),
      b(&P::PRM04_Data3, 6, 100), b(&P::THCURE_MIX, 7), b(&P::THCURE_Spare, 8),
      b(&P::THCURE_Data01, 9), b(&P::THCURE_Data02, 10)}},
    {0xAA,
     17,
     {b(&P::THCURE_Data03, 3), b(&P::THCURE_Data04, 4), b(&P::THCURE_Data05, 5),
      b(&P::THCURE_Data06, 6), b(&P::THCURE_Data07, 7)}},
    {0xAB, 18, {b(&P::DR_SW2, 3), b(&P::DR_POSI, 4), w(&P::Spare1_x10, 5), b(&P::Spare2, 7, 100)}},
    {0xAC,
     19,
     {b(&P::DR_EXPUP_CH1, 3, 100), b(&P::DR_EXPUP_CH2, 4, 100), b(&P::DR_EXPUP_CH3, 5, 100),
      b(&P::DR_EXPUP_CH4, 6, 100), b(&P::DR_EXPDOWN_CH1, 7, 100), b(&P::DR_EXPDOWN_CH2, 8, 100),
      b(&P::DR_EXPDOWN_CH3, 9, 100), b(&P::DR_EXPDOWN_CH4, 10, 100)}},
};

const IntField kServoFields[] = {&P::Servo1, &P::Servo2, &P::Servo3, &P::Servo4,
                                 &P::Servo5, &P::Servo6, &P::Servo7, &P::Servo8};
const IntField kAuxFields[] = {&P::AUX5, &P::AUX6, &P::AUX7, &P::AUX8};

quint8 at(const QByteArray &bytes, int i)
{
    return quint8(bytes.at(i));
}

bool isLiveKind(quint8 kind)
{
    return kind == kChannelKind || kind == kLinkStatusKind;
}

int frameLength(FrameFamily family)
{
    switch (family) {
    case FrameFamily::Aux:
        return kAuxFrameLength;
    case FrameFamily::Parameter:
        return kParameterFrameLength;
    case FrameFamily::Channel:
    case FrameFamily::LinkStatus:
        break;
    }
    return kLiveFrameLength;
}

// Stores one frame that starts at `start` of `bytes` and is known to be complete.
void store(const QByteArray &bytes, int start, FrameFamily family, ParamStore &s,
           DecodedFrame *decoded)
{
    const QByteArray f = bytes.mid(start, frameLength(family));
    decoded->bytes = f;
    decoded->family = family;
    decoded->kind = 0;
    decoded->readFlag = 0;
    switch (family) {
    case FrameFamily::Channel:
        decoded->kind = kChannelKind;
        for (int i = 0; i < 8; ++i)
            s.*kServoFields[i] = bigEndianWordAt(f, 2 + 2 * i);
        s.TX_Volt = bigEndianWordAt(f, 18);
        break;
    case FrameFamily::LinkStatus:
        decoded->kind = kLinkStatusKind;
        s.RSSI = at(f, 2);
        s.EXT_Volt = bigEndianWordAt(f, 4);
        break;
    case FrameFamily::Aux:
        decoded->readFlag = kAuxReadFlag;
        s.ReadFlag = kAuxReadFlag;
        for (int i = 0; i < 4; ++i)
            s.*kAuxFields[i] = at(f, 3 + i);
        break;
    case FrameFamily::Parameter:
        decoded->kind = at(f, 2);
        if (const ParameterKind *kind = findParameterKind(at(f, 2))) {
            decoded->readFlag = kind->readFlag;
            s.ReadFlag = kind->readFlag;
            for (const PayloadSlot &slot : kind->payload) {
                if (!slot.member)
                    break;
                const int raw = slot.word ? bigEndianWordAt(f, slot.byte) : at(f, slot.byte);
                s.*slot.member = raw - slot.offset;
                if (slot.member == &P::Volt_x10)
                    s.Volt = s.Volt_x10 / 10.0;
            }
        }
        break;
    }
}

// The family of a chunk that is exactly one frame, following the length-first rules.
bool wholeChunkFamily(const QByteArray &c, FrameFamily *family)
{
    switch (c.size()) {
    case kLiveFrameLength:
        if (at(c, 0) != kFrameMarker || !isLiveKind(at(c, 1)))
            return false;
        *family = at(c, 1) == kChannelKind ? FrameFamily::Channel : FrameFamily::LinkStatus;
        return true;
    case kAuxFrameLength:
        *family = FrameFamily::Aux;
        return at(c, 2) == kAuxMarker;
    case kParameterFrameLength:
        *family = FrameFamily::Parameter;
        return at(c, 0) == kFrameMarker && at(c, 11) == kFrameMarker;
    default:
        return false;
    }
}

// The four sources of an AUX frame are 0..5; its single marker byte says little more.
constexpr int kAuxSourceMax = 5;

bool auxSourcesPlausible(const QByteArray &b, int start)
{
    const int end = qMin(start + 7, int(b.size()));
    for (int i = start + 3; i < end; ++i) {
        if (at(b, i) > kAuxSourceMax)
            return false;
    }
    return true;
}

} // namespace

const ParameterKind *parameterKindsBegin()
{
    return std::begin(kKinds);
}
const ParameterKind *parameterKindsEnd()
{
    return std::end(kKinds);
}

const ParameterKind *findParameterKind(int kind)
{
    for (const ParameterKind &k : kKinds) {
        if (k.kind == kind)
            return &k;
    }
    return nullptr;
}

QVector<IntField> settingsAnswerFields()
{
    QVector<IntField> fields;
    for (const ParameterKind &kind : kKinds) {
        for (const PayloadSlot &slot : kind.payload) {
            if (!slot.member)
                break;
            fields.append(slot.member);
        }
    }
    for (IntField aux : kAuxFields)
        fields.append(aux);
    return fields;
}

QVector<IntField> settingsFrameFields(int readFlag)
{
    if (readFlag == kAuxReadFlag)
        return QVector<IntField>(std::begin(kAuxFields), std::end(kAuxFields));
    QVector<IntField> fields;
    for (const ParameterKind &kind : kKinds) {
        for (const PayloadSlot &slot : kind.payload) {
            if (kind.readFlag != readFlag || !slot.member)
                break;
            fields.append(slot.member);
        }
    }
    return fields;
}

QString settingsFrameName(int readFlag)
{
    const auto span = [](IntField first, IntField last) -> QString {
        return QLatin1String(" (") + QLatin1String(intFieldName(first)) + QLatin1String("..") +
               QLatin1String(intFieldName(last)) + QLatin1Char(')');
    };
    if (readFlag == kAuxReadFlag)
        return QLatin1String("AUX frame") + span(kAuxFields[0], kAuxFields[3]);
    for (const ParameterKind &kind : kKinds) {
        if (kind.readFlag != readFlag)
            continue;
        int last = 0;
        while (last + 1 < int(std::size(kind.payload)) && kind.payload[last + 1].member)
            ++last;
        return QLatin1String("kind 0x") +
               QString::number(kind.kind, 16).rightJustified(2, QLatin1Char('0')).toUpper() +
               span(kind.payload[0].member, kind.payload[last].member);
    }
    return QStringLiteral("frame %1").arg(readFlag);
}

int bigEndianWordAt(const QByteArray &bytes, int position)
{
    const auto byteAt = [&bytes](int i) {
        return i >= 0 && i < bytes.size() ? int(quint8(bytes.at(i))) : 0;
    };
    return byteAt(position) * 256 + byteAt(position + 1);
}

bool decodeWholeChunk(const QByteArray &chunk, ParamStore &s, DecodedFrame *decoded)
{
    FrameFamily family;
    if (!wholeChunkFamily(chunk, &family))
        return false;
    store(chunk, 0, family, s, decoded);
    return true;
}

void storeFrame(const DecodedFrame &frame, ParamStore &s)
{
    DecodedFrame again;
    store(frame.bytes, 0, frame.family, s, &again);
}

namespace {

// How likely a reading of undecided bytes is. The undecided bytes are read as the sequence of
// pieces that best explains them: whole frames, frames cut short on the line, parameter frames
// short of bytes inside, runs of garbage, and at the end a frame still arriving. A reading
// scores, in hundredths of a bit, how unlikely the bytes its frames constrain would be as
// noise, minus a prior for every cut and every garbage run; the best reading is found by
// dynamic programming over the byte positions. The assumptions:
// - a noise byte takes any value with p = 1/256: a marker (FE, the live kind, AA) is 8 bits;
//   but half the bytes of a live line are high bytes of words, 0..7, so each of 0..7 turns
//   up one time in sixteen;
// - a parameter kind is one of 18 values: log2(256/18) = 3.83 bits;
// - a setting inside its field's range of r values is log2(256/r) bits (65536 for a word),
//   and log2(16/r) when its byte is 0..7: a small byte says little on this line, and nothing
//   at all in a field of more than 16 values. A live word up to 0x0FFF (channel outputs, volts
//   below 40.95) is log2(16) = 4 bits. A value outside its range costs 1 bit: transmitters do send
//   them now and then, but a reading that puts one there is half as likely;
// - a byte no field uses is zero from the transmitters we know, which counts 3 bits, near the
//   log2(16) of a small byte. Any other value counts nothing, so that a sender which leaves
//   anything there is read as well as its markers allow;
// - an AUX frame has a single marker, so its four sources must be 0..5, log2(16/6) bits each,
//   or it is not one;
// - about one frame in 128 loses bytes, anywhere among its 20 or 12: a cut costs
//   log2(128) = 7 bits for happening and log2(20) = 4.32 for where it falls. A frame cut short
//   is weighed by what arrived of it; a parameter frame that lost bytes inside and kept its
//   end marker is weighed by its bytes where they arrived, as the frame that would take the
//   next frame's marker for its own weighs them;
// - about as often as a cut, garbage lies between frames: each garbage run costs 7 bits.
namespace objective {

constexpr int kMarkerBits = 800;
constexpr int kKnownKindBits = 383;
constexpr int kLiveWordBits = 400;
constexpr int kLiveWordMax = 0x0FFF;
constexpr int kOutOfRangeBits = -100;
constexpr int kUnusedZeroBits = 300;
constexpr int kSmallByteMax = 7;
constexpr double kSmallNoise = 16; // one byte in 16 is each of 0..7
constexpr int kAuxSourceBits = 142;
constexpr int kCutBits = 1132;
constexpr int kGarbageBits = 700;

constexpr FrameFamily kFamilies[] = {FrameFamily::Channel, FrameFamily::LinkStatus,
                                     FrameFamily::Aux, FrameFamily::Parameter};

// Bits a payload slot of each parameter kind gives when in range, and its range.
struct SlotRange
{
    bool checked = false;
    int low = 0;
    int high = 0;
    int bits = 0;      // a value whose byte is above kSmallByteMax
    int smallBits = 0; // a value whose byte is 0..kSmallByteMax
};

const QVector<QVector<SlotRange>> &slotRanges()
{
    static const QVector<QVector<SlotRange>> ranges = [] {
        QVector<QVector<SlotRange>> all;
        for (const ParameterKind &k : kKinds) {
            QVector<SlotRange> row;
            for (const PayloadSlot &slot : k.payload) {
                if (!slot.member)
                    break;
                const RangeRule *rule = findRangeRule(slot.member);
                if (!rule) {
                    row.append(SlotRange{});
                    continue;
                }
                const double values = rule->high - rule->low + 1;
                const auto bits = [values](double noise) {
                    return int(std::lround(100 * std::log2(std::max(1.0, noise / values))));
                };
                row.append({true, rule->low, rule->high, bits(slot.word ? 65536.0 : 256.0),
                            slot.word ? bits(65536.0) : bits(kSmallNoise)});
            }
            all.append(row);
        }
        return all;
    }();
    return ranges;
}

// Whether byte i of a parameter frame of `kind` carries part of a payload value.
bool payloadByteUsed(const ParameterKind &kind, int i)
{
    for (const PayloadSlot &slot : kind.payload) {
        if (!slot.member)
            break;
        if (i == slot.byte || (slot.word && i == slot.byte + 1))
            return true;
    }
    return false;
}

// What the first k bytes at `start` say for a frame of `family`, for every k up to the
// frame's length or the end of the bytes: out[k]. Returns how many entries were filled: up to
// the first byte that breaks a marker.
int prefixScores(const QByteArray &b, int start, FrameFamily family, int *out)
{
    const int length = std::min(frameLength(family), int(b.size()) - start);
    const auto unused = [](quint8 v) { return v == 0 ? kUnusedZeroBits : 0; };
    int score = 0;
    const ParameterKind *kind = nullptr;
    out[0] = 0;
    int k = 1;
    for (; k <= length; ++k) {
        const int i = k - 1;
        const quint8 v = at(b, start + i);
        bool ok = true;
        switch (family) {
        case FrameFamily::Channel:
        case FrameFamily::LinkStatus:
            if (i == 0 || i == 1) {
                ok = v == (i == 0                           ? kFrameMarker
                           : family == FrameFamily::Channel ? kChannelKind
                                                            : kLinkStatusKind);
                score += kMarkerBits;
            } else if (family == FrameFamily::LinkStatus && i != 2 && i != 4 && i != 5) {
                score += unused(v);
            } else if (i % 2 == 1 && i != 2) {
                score += bigEndianWordAt(b, start + i - 1) <= kLiveWordMax ? kLiveWordBits
                                                                           : kOutOfRangeBits;
            }
            break;
        case FrameFamily::Aux:
            if (i == 2) {
                ok = v == kAuxMarker;
                score += kMarkerBits;
            } else if (i >= 3 && i <= 6) {
                ok = v <= kAuxSourceMax;
                score += kAuxSourceBits;
            }
            break;
        case FrameFamily::Parameter:
            if (i == 0 || i == 11) {
                ok = v == kFrameMarker;
                score += kMarkerBits;
            } else if (i == 1) {
                score += unused(v);
            } else if (i == 2) {
                kind = findParameterKind(v);
                ok = kind != nullptr;
                score += kKnownKindBits;
            } else if (!payloadByteUsed(*kind, i)) {
                score += unused(v);
            } else {
                const QVector<SlotRange> &ranges = slotRanges()[int(kind - kKinds)];
                for (int s = 0; s < ranges.size(); ++s) {
                    const PayloadSlot &slot = kind->payload[s];
                    if (!ranges[s].checked || slot.byte + (slot.word ? 1 : 0) != i)
                        continue;
                    const int value =
                        (slot.word ? bigEndianWordAt(b, start + slot.byte) : v) - slot.offset;
                    const bool inRange = value >= ranges[s].low && value <= ranges[s].high;
                    const int bits =
                        !slot.word && v <= kSmallByteMax ? ranges[s].smallBits : ranges[s].bits;
                    score += inRange ? bits : kOutOfRangeBits;
                }
            }
            break;
        }
        if (!ok)
            break;
        out[k] = score;
    }
    return k;
}

// A parameter frame that lost bytes inside still ends with its end marker. Its other bytes are
// weighed where they arrived, as the frame that took the next frame's marker for its own would
// weigh them: the two readings differ in the marker and the cut.
int shortScore(const QByteArray &b, int start, int length)
{
    int prefix[kLiveFrameLength + 1];
    if (length <= 3 || length >= kParameterFrameLength || start + length > b.size() ||
        at(b, start + length - 1) != kFrameMarker ||
        prefixScores(b, start, FrameFamily::Parameter, prefix) < length)
        return segmentation::kImpossible;
    return prefix[length - 1] + kMarkerBits - kCutBits;
}

struct Piece
{
    int start = 0;
    int length = 0;
    FrameFamily family = FrameFamily::Channel;
    segmentation::Piece kind = segmentation::Piece::Garbage;
    int before = 0; // the state of the reading before this piece
};

// The best readings of every prefix of `b`, found by dynamic programming over the byte
// positions. State 2i + g stands for b[0, i) read to its end, its last piece garbage when g.
// With `open`, the last piece of the whole may be a frame still arriving.
class Lattice
{
public:
    Lattice(const QByteArray &b, bool open)
        : m_n(int(b.size()))
        , m_best(2 * (m_n + 1))
        , m_from(2 * (m_n + 1))
    {
        using Kind = segmentation::Piece;
        std::fill(m_best.begin(), m_best.end(), segmentation::kImpossible);
        m_best[0] = 0;
        int prefix[kLiveFrameLength + 1];
        for (int i = 0; i < m_n; ++i) {
            const int g = state(i);
            const int here = m_best[g];
            if (here == segmentation::kImpossible)
                continue;
            offer(2 * (i + 1) + 1, m_best[2 * i] - kGarbageBits, {i, 1, {}, Kind::Garbage, 2 * i});
            if (m_best[2 * i + 1] != segmentation::kImpossible)
                offer(2 * (i + 1) + 1, m_best[2 * i + 1], {i, 1, {}, Kind::Garbage, 2 * i + 1});
            for (FrameFamily f : kFamilies) {
                const int filled = prefixScores(b, i, f, prefix);
                const int length = frameLength(f);
                for (int k = 1; k < filled; ++k) {
                    if (k == length)
                        offer(2 * (i + k), here + prefix[k], {i, k, f, Kind::Whole, g});
                    else
                        offer(2 * (i + k), here + prefix[k] - kCutBits, {i, k, f, Kind::Cut, g});
                    if (open && k < length && i + k == m_n)
                        offer(2 * m_n, here + prefix[k], {i, k, f, Kind::Unfinished, g});
                }
                for (int k = 4; f == FrameFamily::Parameter && filled > 3 && k < length; ++k) {
                    const int score = shortScore(b, i, k);
                    if (score != segmentation::kImpossible)
                        offer(2 * (i + k), here + score, {i, k, f, Kind::Short, g});
                }
            }
        }
    }

    // The better of the two states at position i.
    int state(int i) const { return m_best[2 * i + 1] > m_best[2 * i] ? 2 * i + 1 : 2 * i; }
    int score(int state) const { return m_best[state]; }
    // The states a reading passes through, from the start to `state`.
    QVector<int> path(int state) const
    {
        QVector<int> states{state};
        while (state > 1)
            states.prepend(state = m_from[state].before);
        return states;
    }
    // The pieces of the reading that ends in `state`, a garbage run as one piece.
    QVector<Piece> pieces(int state) const
    {
        QVector<Piece> out;
        for (int s : path(state)) {
            if (s <= 1)
                continue;
            const Piece &p = m_from[s];
            if (p.kind == segmentation::Piece::Garbage && !out.isEmpty() &&
                out.last().kind == segmentation::Piece::Garbage)
                ++out.last().length;
            else
                out.append(p);
        }
        return out;
    }

private:
    void offer(int state, int score, const Piece &p)
    {
        if (score > m_best[state]) {
            m_best[state] = score;
            m_from[state] = p;
        }
    }

    int m_n;
    QVarLengthArray<int, 256> m_best;
    QVarLengthArray<Piece, 256> m_from;
};

// How many bytes a frame of `family` takes to show its markers and kind: FE and the live
// kind, or FE, the unused byte and the parameter kind, or an AUX frame's AA at byte 2.
int markersShownAfter(FrameFamily family)
{
    return family == FrameFamily::Channel || family == FrameFamily::LinkStatus ? 2 : 3;
}

// The most a frame of `family` (and parameter `kind`, any when not yet known) can still gain
// from its bytes after the first `known` up to byte `upTo`: every value in its range and every
// unused byte zero.
int mostStillToCome(FrameFamily family, const ParameterKind *kind, int known, int upTo)
{
    if (!kind)
        kind = kKinds;
    const int length = frameLength(family);
    QByteArray ideal(length, '\0');
    switch (family) {
    case FrameFamily::Channel:
    case FrameFamily::LinkStatus:
        ideal[0] = char(kFrameMarker);
        ideal[1] = char(family == FrameFamily::Channel ? kChannelKind : kLinkStatusKind);
        break;
    case FrameFamily::Aux:
        ideal[2] = char(kAuxMarker);
        break;
    case FrameFamily::Parameter:
        ideal[0] = ideal[11] = char(kFrameMarker);
        ideal[2] = char(kind->kind);
        for (int s = 0; s < slotRanges()[int(kind - kKinds)].size(); ++s) {
            const PayloadSlot &slot = kind->payload[s];
            // The byte in range that counts most: a small one only where that is all the
            // range has or counts more.
            const SlotRange &range = slotRanges()[int(kind - kKinds)][s];
            const int low = range.low + slot.offset;
            const int high = range.high + slot.offset;
            const int value =
                slot.word || low > kSmallByteMax || (range.smallBits >= range.bits && range.checked)
                    ? low
                    : std::min(high, kSmallByteMax + 1);
            if (slot.word) {
                ideal[slot.byte] = char(value >> 8);
                ideal[slot.byte + 1] = char(value);
            } else {
                ideal[slot.byte] = char(value);
            }
        }
        break;
    }
    int prefix[kLiveFrameLength + 1];
    prefixScores(ideal, 0, family, prefix);
    return prefix[upTo] - prefix[known];
}

} // namespace objective
} // namespace

int segmentation::pieceScore(const QByteArray &b, int start, int length, FrameFamily family,
                             Piece piece)
{
    if (piece == Piece::Garbage)
        return -objective::kGarbageBits;
    if (piece == Piece::Short)
        return family == FrameFamily::Parameter ? objective::shortScore(b, start, length)
                                                : kImpossible;
    int prefix[kLiveFrameLength + 1];
    const int full = frameLength(family);
    if (length < 1 || length > full ||
        objective::prefixScores(b, start, family, prefix) <= length ||
        (piece == Piece::Whole) != (length == full) ||
        (piece == Piece::Unfinished && start + length != b.size()))
        return kImpossible;
    return prefix[length] - (piece == Piece::Cut ? objective::kCutBits : 0);
}

int segmentation::bestScore(const QByteArray &b, bool open)
{
    const objective::Lattice lattice(b, open);
    return lattice.score(lattice.state(int(b.size())));
}

// How the receive buffer reads the line.
//
// A chunk that is by itself exactly one frame (20 bytes FE 18|19, 8 bytes with AA at byte 2,
// or 12 bytes FE ... FE) is that frame, whatever came before it: that reading accounts for
// the whole chunk, and bytes held from before were a frame cut short. Two exceptions: an
// AUX-shaped chunk whose sources no transmitter sends, arriving while the start of a frame is
// held, is the rest of that frame; and twelve bytes FE 18|19 of an unknown kind are reported
// as such and also kept, as the possible start of a live frame.
//
// Everything else joins the undecided bytes, which the objective above reads. More bytes can
// change the best reading only by going on with a frame begun among the last 19: every such
// frame that could still outweigh the reading that ends here, with all the values it may yet
// bring, is a rival, and so is the best reading that ends here. The pieces all rivals read
// alike are decided, up to their last whole frame: whole frames are taken, cuts and garbage
// dropped. The rest waits for the next read: at most kHoldMs from its first byte, and never
// more than two frames' worth, beyond which its oldest pieces are decided as the leading rival
// reads them. When the wait is over, the best reading decides everything, its last frame
// allowed to be still arriving and then dropped.
void FrameAssembler::feed(const QByteArray &chunk, qint64 nowMs, ParamStore &s,
                          const FrameHandler &onFrame)
{
    if (chunk.isEmpty())
        return;
    expire(nowMs, s, onFrame);

    FrameFamily family;
    if (wholeChunkFamily(chunk, &family) && !continuesHeldFrame(chunk)) {
        DecodedFrame decoded;
        settle(s, onFrame);
        store(chunk, 0, family, s, &decoded);
        onFrame(decoded);
        if (family == FrameFamily::Parameter && decoded.readFlag == 0 && isLiveKind(at(chunk, 1)))
            append(chunk, nowMs);
        return;
    }
    append(chunk, nowMs);
    scan(false, s, onFrame);
}

bool FrameAssembler::continuesHeldFrame(const QByteArray &chunk) const
{
    if (chunk.size() != kAuxFrameLength || auxSourcesPlausible(chunk, 0))
        return false;
    // A live or parameter frame begun anywhere in the undecided bytes, with its marker and
    // kind in place, that the chunk goes on with without breaking a marker.
    int prefix[kLiveFrameLength + 1];
    for (int q = 0; q < m_bytes.size(); ++q) {
        QByteArray joined = m_bytes.mid(q);
        joined += chunk;
        const int have = m_bytes.size() - q;
        for (FrameFamily f :
             {FrameFamily::Channel, FrameFamily::LinkStatus, FrameFamily::Parameter}) {
            const int length = frameLength(f);
            const int shown = objective::markersShownAfter(f);
            if (have >= shown && have < length &&
                objective::prefixScores(joined, 0, f, prefix) >
                    std::min(length, int(joined.size())))
                return true;
        }
    }
    return false;
}

void FrameAssembler::expire(qint64 nowMs, ParamStore &s, const FrameHandler &onFrame)
{
    if (!m_bytes.isEmpty() && nowMs - m_times.first() > kHoldMs)
        settle(s, onFrame);
}

qint64 FrameAssembler::msUntilExpiry(qint64 nowMs) const
{
    if (m_bytes.isEmpty())
        return -1;
    return qMax<qint64>(0, m_times.first() + kHoldMs + 1 - nowMs);
}

void FrameAssembler::clear()
{
    m_bytes.clear();
    m_times.clear();
    m_heldFrom = 0;
}

void FrameAssembler::append(const QByteArray &chunk, qint64 nowMs)
{
    m_bytes += chunk;
    m_times.insert(m_times.size(), chunk.size(), nowMs);
}

void FrameAssembler::settle(ParamStore &s, const FrameHandler &onFrame)
{
    if (!m_bytes.isEmpty())
        scan(true, s, onFrame);
    clear();
}

void FrameAssembler::scan(bool final, ParamStore &s, const FrameHandler &onFrame)
{
    using Kind = segmentation::Piece;
    const int n = m_bytes.size();
    // Once the wait is over, the last frame may still have been arriving: it is dropped, but
    // the bytes before it are not read as something else to make up for it.
    const objective::Lattice lattice(m_bytes, final);
    const int end = lattice.state(n);

    // The readings more bytes could still make the best: the two that end with these bytes,
    // and every one that goes on with a frame begun among the last 19 bytes that could still
    // outweigh the reading that ends here. A frame that has shown its markers and kind may
    // still bring all its values; one that has not is weighed by what it has shown, but for an
    // FE right after a live frame.
    QVector<QVector<int>> rivals{lattice.path(end)};
    int leader = 0;
    int leaderScore = lattice.score(end);
    const int quiet =
        std::max(lattice.score(2 * n + 1), lattice.score(2 * n) - objective::kGarbageBits);
    if (lattice.score(end ^ 1) >= quiet)
        rivals.append(lattice.path(end ^ 1));
    const auto endsWithLiveFrame = [&] {
        const QVector<objective::Piece> ending = lattice.pieces(end);
        return !ending.isEmpty() && ending.last().kind == Kind::Whole &&
               (ending.last().family == FrameFamily::Channel ||
                ending.last().family == FrameFamily::LinkStatus);
    };
    const bool lastIsLive = n > 0 && at(m_bytes, n - 1) == kFrameMarker && endsWithLiveFrame();
    int prefix[kLiveFrameLength + 1];
    for (int p = std::max(0, n - kLiveFrameLength + 1); p < n && !final; ++p) {
        for (FrameFamily f : objective::kFamilies) {
            const int known = n - p;
            const int shown = objective::markersShownAfter(f);
            if (known >= frameLength(f) || objective::prefixScores(m_bytes, p, f, prefix) <= known)
                continue;
            const ParameterKind *kind = f == FrameFamily::Parameter && known >= shown
                                            ? findParameterKind(at(m_bytes, p + 2))
                                            : nullptr;
            // A live frame's last byte is a value, and FE is one: a lone FE after it is as
            // likely the start of the next frame, which the next byte will tell.
            const bool afterLive = p == n - 1 && lastIsLive && f != FrameFamily::Aux;
            const int upTo = known < shown && !afterLive ? known : frameLength(f);
            const int hope = lattice.score(lattice.state(p)) + prefix[known] +
                             objective::mostStillToCome(f, kind, known, upTo);
            if (hope >= quiet) {
                if (hope > leaderScore) {
                    leader = int(rivals.size());
                    leaderScore = hope;
                }
                rivals.append(lattice.path(lattice.state(p)));
                break;
            }
        }
    }
    // The pieces of the leading reading, up to where the others leave it.
    const QVector<objective::Piece> best = lattice.pieces(rivals[leader].last());
    // Decided: what every rival reads alike, up to its last whole frame (a cut or garbage right
    // before the rest may only make room for it), and what has waited beyond two frames' worth.
    int common = int(rivals.first().size());
    for (const QVector<int> &r : rivals) {
        int k = 0;
        while (k < common && k < r.size() && r[k] == rivals.first()[k])
            ++k;
        common = k;
    }
    const int agreedTo = final ? n : rivals.first()[common - 1] / 2;
    int decided = 0;
    while (decided < best.size() && best[decided].start + best[decided].length <= agreedTo)
        ++decided;
    while (!final && decided > 0 && best[decided - 1].kind != Kind::Whole)
        --decided;
    while (decided < best.size() && n - best[decided].start > kMaxUndecided)
        ++decided;
    int from = 0;
    for (int i = 0; i < decided; ++i) {
        const objective::Piece &p = best[i];
        from = p.start + p.length;
        if (p.kind != Kind::Whole)
            continue;
        DecodedFrame decoded;
        store(m_bytes, p.start, p.family, s, &decoded);
        onFrame(decoded);
    }
    // What waits: pending bytes, then the frame the last bytes may begin.
    int heldFrom = n;
    for (int p = std::max(from, n - kLiveFrameLength + 1); p < n && heldFrom == n; ++p) {
        for (FrameFamily f : objective::kFamilies) {
            if (n - p < frameLength(f) && objective::prefixScores(m_bytes, p, f, prefix) > n - p) {
                heldFrom = p;
                break;
            }
        }
    }
    m_heldFrom = heldFrom - from;
    m_bytes.remove(0, from);
    m_times.remove(0, from);
}
