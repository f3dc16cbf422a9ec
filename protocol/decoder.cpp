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

// ---------------------------------------------------------------------------------------------
// Reading a byte stream in which frames may be split, merged, cut short or separated by noise.

// How strongly the bytes at a position say "a frame starts here": live frames carry two
// marker bytes, parameter frames three (and values that lie in their ranges), AUX frames one
// marker and four sources that must be 0..5. For an unfinished frame, what it will have once
// complete.
constexpr int kWeakStrength = 0;   // the first two bytes of an AUX frame can be anything
constexpr int kMarkerStrength = 8; // a lone FE, or FE and a byte that is not yet a kind
constexpr int kLiveStrength = 16;
// Channel frames carry nine words that must fit, link-status frames only one.
constexpr int kPlausibleChannelBonus = 24;
constexpr int kPlausibleLinkBonus = 4;
constexpr int kParameterStrength = 24;
constexpr int kInRangeBonus = 8;
constexpr int kAuxStrength = 28;
constexpr int kAuxSourceMax = 5;

// What the bytes right after a frame show: nothing that starts a frame, something that may
// (Likely when its markers are already there), or a whole frame.
enum class Follow { Junk, Unknown, Likely, Frame };

struct Candidate
{
    FrameFamily family = FrameFamily::Channel;
    int length = 0;
    bool complete = false;
    int strength = 0;
    bool plausible = true; // its values are what a transmitter sends
};

struct Reading
{
    Follow follow;
    int strength;
};

enum class Verdict { Keep, Replace, Undecided };

// How much the bytes right after a frame add to its reading: another frame starting there
// confirms it.
constexpr int kFollowedByFrame = 12;

// Whether `challenger` is the better reading of the same bytes than `incumbent`: the frame's
// own strength plus what follows it; a tie goes to the challenger. Unless the reading must be
// decided now, an unknown follow-up can still turn out either way; when it must, a frame that
// may be starting there counts fully if its markers are in place, else for half.
Verdict compare(Reading incumbent, Reading challenger, bool decideNow)
{
    const auto outcomes = [decideNow](const Reading &r) {
        switch (r.follow) {
        case Follow::Junk:
            return QVector<int>{r.strength};
        case Follow::Frame:
            return QVector<int>{r.strength + kFollowedByFrame};
        case Follow::Unknown:
        case Follow::Likely:
            break;
        }
        if (decideNow)
            return QVector<int>{r.strength + (r.follow == Follow::Likely ? kFollowedByFrame
                                                                         : kFollowedByFrame / 2)};
        return QVector<int>{r.strength, r.strength + kFollowedByFrame};
    };
    bool replace = false;
    bool keep = false;
    for (int i : outcomes(incumbent)) {
        for (int c : outcomes(challenger))
            (c >= i ? replace : keep) = true;
    }
    return replace && keep ? Verdict::Undecided : replace ? Verdict::Replace : Verdict::Keep;
}

// The range of each payload slot of each parameter kind, looked up once.
struct SlotRange
{
    bool checked = false;
    int low = 0;
    int high = 0;
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
                row.append(rule ? SlotRange{true, rule->low, rule->high} : SlotRange{});
            }
            all.append(row);
        }
        return all;
    }();
    return ranges;
}

// Whether the payload bytes of a parameter frame that have arrived hold values a transmitter
// sends: inside their fields' ranges.
bool payloadInRange(const ParameterKind &kind, const QByteArray &b, int start)
{
    const QVector<SlotRange> &ranges = slotRanges()[int(&kind - kKinds)];
    for (int i = 0; i < ranges.size(); ++i) {
        const PayloadSlot &slot = kind.payload[i];
        const int at0 = start + slot.byte;
        if (!ranges[i].checked || at0 + (slot.word ? 1 : 0) >= b.size())
            continue;
        const int value = (slot.word ? bigEndianWordAt(b, at0) : at(b, at0)) - slot.offset;
        if (value < ranges[i].low || value > ranges[i].high)
            return false;
    }
    return true;
}

// Whether the words of a live frame that have arrived hold what a transmitter reports: channel
// outputs around 0..2000 and voltages well below 40.95 V.
bool liveValuesPlausible(const QByteArray &b, int start, quint8 kind)
{
    constexpr int kMaxWord = 0x0FFF;
    const auto fits = [&](int at0) {
        return at0 + 1 >= b.size() || bigEndianWordAt(b, at0) <= kMaxWord;
    };
    if (kind == kLinkStatusKind)
        return fits(start + 4);
    for (int at0 = start + 2; at0 < start + kLiveFrameLength; at0 += 2) {
        if (!fits(at0))
            return false;
    }
    return true;
}

bool auxSourcesPlausible(const QByteArray &b, int start)
{
    const int end = qMin(start + 7, int(b.size()));
    for (int i = start + 3; i < end; ++i) {
        if (at(b, i) > kAuxSourceMax)
            return false;
    }
    return true;
}

// One way to read the bytes at a position.
struct Step
{
    enum Kind { Take, Skip, Wait } kind = Skip;
    int to = 0;           // Skip: where reading goes on
    Candidate frame;      // Take, and Wait with a pending frame
    bool pending = false; // Wait: `frame` is whole and waits for the next read
    int heldFrom = 0;     // Wait with a pending frame: where the unfinished bytes start

    static Step skipTo(int q) { return {Skip, q, {}, false, 0}; }
    static Step waitHere() { return {Wait, 0, {}, false, 0}; }
    static Step waitFor(const Candidate &whole, int heldFrom)
    {
        return {Wait, 0, whole, true, heldFrom};
    }
    static Step take(const Candidate &whole) { return {Take, 0, whole, false, 0}; }
};

// Reads a buffer of undecided bytes.
class Reader
{
public:
    enum Mode {
        Open,  // more bytes may come: a reading they could still change waits for them
        Now,   // more bytes may come, but the reading at hand must be decided without them
        Final, // nothing more joins these bytes: unfinished frames count for nothing
    };

    // In Final mode, what follows the last byte is a frame when `nextIsFrame`.
    Reader(const QByteArray &bytes, Mode mode, bool nextIsFrame = false)
        : m_b(bytes)
        , m_mode(mode)
        , m_nextIsFrame(nextIsFrame)
    {}

    QVector<Candidate> candidatesAt(int p) const;
    Follow followAt(int x) const;
    Step decide(int p) const;

private:
    Reading reading(int p, const Candidate &c) const
    {
        return {followAt(p + c.length), c.strength};
    }
    Verdict compare(const Reading &incumbent, const Reading &challenger) const
    {
        return ::compare(incumbent, challenger, m_mode != Open);
    }
    void add(QVector<Candidate> &out, FrameFamily family, int length, int available, int strength,
             bool plausible = true) const;

    const QByteArray &m_b;
    Mode m_mode;
    bool m_nextIsFrame;
};

void Reader::add(QVector<Candidate> &out, FrameFamily family, int length, int available,
                 int strength, bool plausible) const
{
    out.append({family, length, available >= length, strength, plausible});
}

QVector<Candidate> Reader::candidatesAt(int p) const
{
    QVector<Candidate> out;
    const int available = m_b.size() - p;
    if (at(m_b, p) == kFrameMarker) {
        if (available == 1) {
            add(out, FrameFamily::Channel, kLiveFrameLength, available, kMarkerStrength);
        } else {
            const quint8 b1 = at(m_b, p + 1);
            if (isLiveKind(b1)) {
                // A live frame ending in a frame marker may have swallowed the next frame's
                // first byte after losing one of its own; not when another marker follows it
                // (the next frame's second byte is never one), nor when it ends what is settled
                // for good: a read that is a whole frame by itself comes right after it, or the
                // line fell silent, which it does not do between the bytes of a frame.
                const bool nextStartsWhole =
                    (available == kLiveFrameLength && m_mode == Final) ||
                    (available > kLiveFrameLength && at(m_b, p + kLiveFrameLength) == kFrameMarker);
                const bool fits =
                    liveValuesPlausible(m_b, p, b1) &&
                    !(available >= kLiveFrameLength &&
                      at(m_b, p + kLiveFrameLength - 1) == kFrameMarker && !nextStartsWhole);
                const int bonus = b1 == kChannelKind ? kPlausibleChannelBonus : kPlausibleLinkBonus;
                add(out, b1 == kChannelKind ? FrameFamily::Channel : FrameFamily::LinkStatus,
                    kLiveFrameLength, available, kLiveStrength + (fits ? bonus : 0), fits);
            } else if (available == 2) {
                add(out, FrameFamily::Parameter, kParameterFrameLength, available, kMarkerStrength);
            }
            const ParameterKind *kind =
                available >= 3 ? findParameterKind(at(m_b, p + 2)) : nullptr;
            if (kind && (available < kParameterFrameLength || at(m_b, p + 11) == kFrameMarker)) {
                // FE right before the end marker is where a frame that lost a byte inside
                // would have its own end marker, with the next frame's first byte after it.
                const bool swallowed =
                    available >= kParameterFrameLength && at(m_b, p + 10) == kFrameMarker;
                const bool fits = !swallowed && payloadInRange(*kind, m_b, p);
                add(out, FrameFamily::Parameter, kParameterFrameLength, available,
                    kParameterStrength + (fits        ? kInRangeBonus
                                          : swallowed ? -kInRangeBonus
                                                      : 0),
                    fits);
            }
        }
    }
    if (available >= 3) {
        if (at(m_b, p + 2) == kAuxMarker && auxSourcesPlausible(m_b, p)) {
            // Likewise an AUX frame whose last byte is a frame marker.
            const bool swallowed = available >= kAuxFrameLength && at(m_b, p + 7) == kFrameMarker;
            add(out, FrameFamily::Aux, kAuxFrameLength, available,
                kAuxStrength - (swallowed ? kInRangeBonus : 0), !swallowed);
        }
    } else {
        add(out, FrameFamily::Aux, kAuxFrameLength, available, kWeakStrength);
    }
    return out;
}

Follow Reader::followAt(int x) const
{
    if (x >= m_b.size())
        return m_mode != Final ? Follow::Unknown : m_nextIsFrame ? Follow::Frame : Follow::Junk;
    Follow f = Follow::Junk;
    for (const Candidate &c : candidatesAt(x)) {
        if (c.complete)
            return Follow::Frame;
        if (m_mode != Final)
            f = qMax(f, c.strength >= kLiveStrength ? Follow::Likely : Follow::Unknown);
    }
    return f;
}

Step Reader::decide(int p) const
{
    const int n = m_b.size();
    const QVector<Candidate> here = candidatesAt(p);
    if (here.isEmpty())
        return Step::skipTo(p + 1);

    // Two whole frames at the same start: the longer one takes a tie. Bytes that must be
    // decided now cannot wait for what follows.
    const Candidate *best = nullptr;
    for (const Candidate &c : here) {
        if (!c.complete)
            continue;
        if (!best) {
            best = &c;
            continue;
        }
        const bool longer = c.length > best->length;
        const Candidate &shorter = longer ? *best : c;
        const Candidate &other = longer ? c : *best;
        const Reader now(m_b, m_mode == Final ? Final : Now, m_nextIsFrame);
        best = now.compare(now.reading(p, shorter), now.reading(p, other)) == Verdict::Replace
                   ? &other
                   : &shorter;
    }
    // A frame still arriving here could turn out better than the whole one: wait for it.
    for (const Candidate &c : here) {
        if (m_mode == Open && !c.complete &&
            (!best || compare(reading(p, *best), {Follow::Frame, c.strength}) != Verdict::Keep)) {
            if (!best) {
                // A whole frame inside the unfinished one, with a frame right after it, is
                // the better reading: the unfinished one was cut short.
                for (int q = p + 1; q < n; ++q) {
                    for (const Candidate &i : candidatesAt(q)) {
                        if (i.complete && followAt(q + i.length) == Follow::Frame)
                            return Step::skipTo(q);
                    }
                }
            }
            return Step::waitHere();
        }
    }
    if (!best)
        return Step::skipTo(p + 1);

    // A frame that starts inside this one: if it is the better reading, this one was cut
    // short on the line. A parameter frame can only have been cut before its end marker.
    const int end = qMin(p + best->length, n);
    const auto couldEndCutFrame = [&](int q) {
        return best->family != FrameFamily::Parameter || at(m_b, q - 1) == kFrameMarker;
    };
    int undecidedAt = -1;
    for (int q = p + 1; q < end; ++q) {
        for (const Candidate &i : candidatesAt(q)) {
            // A frame still arriving inside this one is waited for while that is allowed;
            // once it is not, what it has shown so far is weighed against this one.
            if (!i.complete &&
                (m_mode == Open || i.strength < kMarkerStrength || !couldEndCutFrame(q)))
                continue;
            // An AUX frame has a single marker byte; one that lies wholly inside a frame is
            // too weak to say that frame was cut. After a real cut, the frame the cut one ran
            // into shows it.
            if (i.family == FrameFamily::Aux && q + i.length <= p + best->length)
                continue;
            const Reading inner =
                i.complete ? reading(q, i)
                           : Reading{m_mode == Final ? Follow::Junk : Follow::Unknown, i.strength};
            // A frame whose values no transmitter sends gives way to any frame start inside
            // it once nothing more can be waited for: it was most likely cut. A lone marker as
            // its last byte shows nothing more than that byte: a live frame's last byte is
            // FE whenever its voltage's low byte is, and a whole frame's bytes say which.
            const bool shown = !i.complete && n - q > 1;
            const Verdict v =
                shown && !best->plausible ? Verdict::Replace : compare(reading(p, *best), inner);
            if (v == Verdict::Replace)
                return Step::skipTo(q);
            if (v == Verdict::Undecided && undecidedAt < 0)
                undecidedAt = q;
        }
    }
    if (m_mode == Open) {
        if (undecidedAt >= 0)
            return Step::waitFor(*best, undecidedAt);
        // The last bytes of this frame could also be the start of the next one after a cut:
        // the next read tells.
        for (int q = p + 1; q < end; ++q) {
            if (!couldEndCutFrame(q))
                continue;
            for (const Candidate &c : candidatesAt(q)) {
                if (!c.complete && c.strength >= kMarkerStrength)
                    return Step::waitFor(*best, q);
            }
        }
    }
    return Step::take(*best);
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
// pieces that best explains them: whole frames, frames cut short on the line, runs of garbage, and
// at the end a frame still arriving. A reading scores, in hundredths of a bit, how unlikely the
// bytes its frames constrain would be as noise, minus a prior for every cut and every garbage run;
// the best reading is found by dynamic programming over the byte positions. The assumptions:
// - a noise byte takes any value with p = 1/256: a marker (FE, the live kind, AA) is 8 bits;
// - a parameter kind is one of 18 values: log2(256/18) = 3.83 bits;
// - a payload value inside its field's range of r values out of 256 (65536 for a word) is
//   log2(256/r) bits; a live word up to 0x0FFF (channel outputs, volts below 40.95) is
//   log2(16) = 4 bits. A value outside its range costs 1 bit: transmitters do send them now
//   and then, but a reading that puts one there is half as likely;
// - an AUX frame has a single marker, so its four sources must be 0..5 (log2(256/6) bits each)
//   or it is not one;
// - a frame cut short claims only its markers and kind, and is charged for values out of
//   range: its values were not delivered whole, and crediting them would let any run of
//   small values pass for the start of a frame;
// - about one frame in 128 is cut short, and about as often garbage lies between frames: each
//   cut and each garbage run costs log2(128) = 7 bits.
// The receive buffer below does not read the line by this score yet; it is checked on its own.
namespace objective {

constexpr int kMarkerBits = 800;
constexpr int kKnownKindBits = 383;
constexpr int kLiveWordBits = 400;
constexpr int kLiveWordMax = 0x0FFF;
constexpr int kOutOfRangeBits = -100;
constexpr int kAuxSourceMax = 5;
constexpr int kAuxSourceBits = 542;
constexpr int kCutBits = 700;
constexpr int kGarbageBits = 700;

constexpr FrameFamily kFamilies[] = {FrameFamily::Channel, FrameFamily::LinkStatus,
                                     FrameFamily::Aux, FrameFamily::Parameter};

// Bits a payload slot of each parameter kind gives when in range, and its range.
struct SlotRange
{
    bool checked = false;
    int low = 0;
    int high = 0;
    int bits = 0;
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
                const double span = slot.word ? 65536.0 : 256.0;
                row.append(
                    rule ? SlotRange{true, rule->low, rule->high,
                                     int(std::lround(
                                         100 * std::log2(std::max(
                                                   1.0, span / (rule->high - rule->low + 1)))))}
                         : SlotRange{});
            }
            all.append(row);
        }
        return all;
    }();
    return ranges;
}

// What the first k bytes at `start` say for a frame of `family`, for every k up to the
// frame's length or the end of the bytes: out[k], and in markers[k] the markers and kind
// alone with what is out of range. Returns how many entries were filled: up to the first byte that
// breaks a marker.
int prefixScores(const QByteArray &b, int start, FrameFamily family, int *out, int *markers)
{
    int markerScore = 0;
    const int length = std::min(frameLength(family), int(b.size()) - start);
    int score = 0;
    const ParameterKind *kind = nullptr;
    out[0] = markers[0] = 0;
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
                markerScore += kMarkerBits;
            } else if (i % 2 == 1 && (family == FrameFamily::Channel || i == 5)) {
                (bigEndianWordAt(b, start + i - 1) <= kLiveWordMax ? score : markerScore) +=
                    bigEndianWordAt(b, start + i - 1) <= kLiveWordMax ? kLiveWordBits
                                                                      : kOutOfRangeBits;
            }
            break;
        case FrameFamily::Aux:
            if (i == 2) {
                ok = v == kAuxMarker;
                markerScore += kMarkerBits;
            } else if (i >= 3 && i <= 6) {
                ok = v <= kAuxSourceMax;
                score += kAuxSourceBits;
            }
            break;
        case FrameFamily::Parameter:
            if (i == 0 || i == 11) {
                ok = v == kFrameMarker;
                markerScore += kMarkerBits;
            } else if (i == 2) {
                kind = findParameterKind(v);
                ok = kind != nullptr;
                markerScore += kKnownKindBits;
            } else if (kind) {
                const QVector<SlotRange> &ranges = slotRanges()[int(kind - kKinds)];
                for (int s = 0; s < ranges.size(); ++s) {
                    const PayloadSlot &slot = kind->payload[s];
                    if (!ranges[s].checked || slot.byte + (slot.word ? 1 : 0) != i)
                        continue;
                    const int value =
                        (slot.word ? bigEndianWordAt(b, start + slot.byte) : v) - slot.offset;
                    const bool inRange = value >= ranges[s].low && value <= ranges[s].high;
                    (inRange ? score : markerScore) += inRange ? ranges[s].bits : kOutOfRangeBits;
                }
            }
            break;
        }
        if (!ok)
            break;
        out[k] = score + markerScore;
        markers[k] = markerScore;
    }
    return k;
}

struct Piece
{
    int start = 0;
    int length = 0;
    FrameFamily family = FrameFamily::Channel;
    segmentation::Piece kind = segmentation::Piece::Garbage;
    int before = 0; // while reading back: whether the piece before is garbage
};

// The best reading of `b`, piece by piece; with `open`, the last piece may be unfinished.
QVector<Piece> bestReading(const QByteArray &b, bool open, int *total)
{
    using segmentation::kImpossible;
    using Kind = segmentation::Piece;
    const int n = b.size();
    // best[2i + g]: best score of b[0, i) read to its end, g when its last piece is garbage.
    QVarLengthArray<int, 256> best(2 * (n + 1));
    QVarLengthArray<Piece, 256> from(2 * (n + 1));
    std::fill(best.begin(), best.end(), kImpossible);
    best[0] = 0;
    const auto offer = [&](int state, int score, const Piece &p) {
        if (score > best[state]) {
            best[state] = score;
            from[state] = p;
        }
    };
    int prefix[kLiveFrameLength + 1];
    int markers[kLiveFrameLength + 1];
    for (int i = 0; i < n; ++i) {
        const int g = best[2 * i + 1] > best[2 * i] ? 1 : 0;
        const int here = best[2 * i + g];
        if (here == kImpossible)
            continue;
        offer(2 * (i + 1) + 1, best[2 * i] - kGarbageBits, {i, 1, {}, Kind::Garbage, 0});
        if (best[2 * i + 1] != kImpossible)
            offer(2 * (i + 1) + 1, best[2 * i + 1], {i, 1, {}, Kind::Garbage, 1});
        for (FrameFamily f : kFamilies) {
            const int filled = prefixScores(b, i, f, prefix, markers);
            const int length = frameLength(f);
            for (int k = 1; k < filled; ++k) {
                if (k == length)
                    offer(2 * (i + k), here + prefix[k], {i, k, f, Kind::Whole, g});
                else
                    offer(2 * (i + k), here + markers[k] - kCutBits, {i, k, f, Kind::Cut, g});
                if (open && k < length && i + k == n)
                    offer(2 * n, here + prefix[k], {i, k, f, Kind::Unfinished, g});
            }
        }
    }
    int g = best[2 * n + 1] > best[2 * n] ? 1 : 0;
    *total = best[2 * n + g];
    QVector<Piece> pieces;
    for (int i = n; i > 0;) {
        const Piece p = from[2 * i + g];
        if (p.kind == Kind::Garbage && !pieces.isEmpty() && pieces.last().kind == Kind::Garbage) {
            pieces.last().start = p.start;
            ++pieces.last().length;
        } else {
            pieces.append(p);
        }
        i = p.start;
        g = p.before;
    }
    std::reverse(pieces.begin(), pieces.end());
    return pieces;
}

} // namespace objective
} // namespace

int segmentation::pieceScore(const QByteArray &b, int start, int length, FrameFamily family,
                             Piece piece)
{
    if (piece == Piece::Garbage)
        return -objective::kGarbageBits;
    int prefix[kLiveFrameLength + 1];
    int markers[kLiveFrameLength + 1];
    const int full = frameLength(family);
    if (length < 1 || length > full ||
        objective::prefixScores(b, start, family, prefix, markers) <= length ||
        (piece == Piece::Whole) != (length == full) ||
        (piece == Piece::Unfinished && start + length != b.size()))
        return kImpossible;
    return piece == Piece::Cut ? markers[length] - objective::kCutBits : prefix[length];
}

int segmentation::bestScore(const QByteArray &b, bool open)
{
    int total = 0;
    objective::bestReading(b, open, &total);
    return total;
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
// Everything else joins the undecided bytes, which are read from the first. The candidates
// at a position are the frames whose marker bytes are in place there (an AUX frame only with
// sources 0..5). A reading weighs the frame's markers, whether its values are ones a
// transmitter sends, and whether another frame follows it. A whole candidate is taken unless
// a frame that starts inside it is the better reading; then the bytes before that frame were
// a frame cut short on the line. A whole frame waits for the next read, at most kHoldMs,
// when that read could still change the reading: when its last bytes may be the start of the
// next frame after a cut. Unfinished frames wait kHoldMs from their first byte and never
// hold more than 19 bytes; then whatever is whole among the waiting bytes is taken and the
// rest dropped.
void FrameAssembler::feed(const QByteArray &chunk, qint64 nowMs, ParamStore &s,
                          const FrameHandler &onFrame)
{
    if (chunk.isEmpty())
        return;
    expire(nowMs, s, onFrame);

    FrameFamily family;
    if (wholeChunkFamily(chunk, &family) && !continuesHeldFrame(chunk)) {
        DecodedFrame decoded;
        settle(true, s, onFrame);
        store(chunk, 0, family, s, &decoded);
        onFrame(decoded);
        if (family == FrameFamily::Parameter && decoded.readFlag == 0 && isLiveKind(at(chunk, 1)))
            append(chunk, nowMs);
        return;
    }
    append(chunk, nowMs);
    scan(false, false, s, onFrame);
}

bool FrameAssembler::continuesHeldFrame(const QByteArray &chunk) const
{
    if (chunk.size() != kAuxFrameLength || auxSourcesPlausible(chunk, 0))
        return false;
    // A live or parameter frame begun anywhere in the undecided bytes, a whole frame waiting
    // for the next read included, that the chunk goes on with.
    for (int q = 0; q < m_bytes.size(); ++q) {
        QByteArray joined = m_bytes.mid(q);
        joined += chunk; // the reader keeps a reference: it must outlive the reader
        const Reader reader(joined, Reader::Open);
        for (const Candidate &c : reader.candidatesAt(0)) {
            if (c.family != FrameFamily::Aux && c.strength >= kLiveStrength &&
                c.length > m_bytes.size() - q)
                return true;
        }
    }
    return false;
}

void FrameAssembler::expire(qint64 nowMs, ParamStore &s, const FrameHandler &onFrame)
{
    if (!m_bytes.isEmpty() && nowMs - m_times.at(m_heldFrom) > kHoldMs)
        settle(false, s, onFrame);
}

qint64 FrameAssembler::msUntilExpiry(qint64 nowMs) const
{
    if (m_bytes.isEmpty())
        return -1;
    return qMax<qint64>(0, m_times.at(m_heldFrom) + kHoldMs + 1 - nowMs);
}

void FrameAssembler::clear()
{
    m_bytes.clear();
    m_times.clear();
    m_pendingLength = 0;
    m_heldFrom = 0;
}

void FrameAssembler::append(const QByteArray &chunk, qint64 nowMs)
{
    m_bytes += chunk;
    m_times.insert(m_times.size(), chunk.size(), nowMs);
}

void FrameAssembler::settle(bool nextIsFrame, ParamStore &s, const FrameHandler &onFrame)
{
    if (!m_bytes.isEmpty())
        scan(true, nextIsFrame, s, onFrame);
    clear();
}

void FrameAssembler::scan(bool final, bool nextIsFrame, ParamStore &s, const FrameHandler &onFrame)
{
    const Reader reader(m_bytes, final ? Reader::Final : Reader::Open, nextIsFrame);
    const int n = m_bytes.size();
    int p = 0;
    m_pendingLength = 0;
    m_heldFrom = 0;
    while (p < n) {
        Step step = reader.decide(p);
        if (step.kind == Step::Wait) {
            const int heldFrom = step.pending ? step.heldFrom : p;
            if (n - heldFrom < kLiveFrameLength) {
                if (step.pending) {
                    m_pendingLength = step.frame.length;
                    m_heldFrom = heldFrom - p;
                }
                break;
            }
            // Waiting would hold more than a frame's worth: decide with what is here.
            step = Reader(m_bytes, Reader::Now).decide(p);
        }
        if (step.kind == Step::Skip) {
            p = step.to;
            continue;
        }
        DecodedFrame decoded;
        store(m_bytes, p, step.frame.family, s, &decoded);
        onFrame(decoded);
        p += step.frame.length;
    }
    m_bytes.remove(0, p);
    m_times.remove(0, p);
}
