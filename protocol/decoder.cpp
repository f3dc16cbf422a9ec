#include "decoder.h"

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

// Stores one frame that starts at `start` of `bytes` and is known to be complete.
void store(const QByteArray &bytes, int start, FrameFamily family, ParamStore &s,
           DecodedFrame *decoded)
{
    const QByteArray f = bytes.mid(start, family == FrameFamily::Aux         ? kAuxFrameLength
                                          : family == FrameFamily::Parameter ? kParameterFrameLength
                                                                             : kLiveFrameLength);
    decoded->family = family;
    decoded->kind = 0;
    decoded->readFlag = 0;
    switch (family) {
    case FrameFamily::Channel:
        decoded->kind = kChannelKind;
        for (int i = 0; i < 8; ++i)
            s.*kServoFields[i] = byteArrayToInt(f, 2 + 2 * i);
        s.TX_Volt = byteArrayToInt(f, 18);
        break;
    case FrameFamily::LinkStatus:
        decoded->kind = kLinkStatusKind;
        s.RSSI = at(f, 2);
        s.EXT_Volt = byteArrayToInt(f, 4);
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
                const int raw = slot.word ? byteArrayToInt(f, slot.byte) : at(f, slot.byte);
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

// The AUX frame has only one marker byte; its four sources (0..5) are what tells it from the
// middle of another frame when the receiver has to find its way back into a byte stream.
constexpr int kAuxSourceMax = 5;
bool plausibleAux(const QByteArray &bytes, int start)
{
    for (int i = 3; i <= 6; ++i) {
        if (at(bytes, start + i) > kAuxSourceMax)
            return false;
    }
    return true;
}

// Chunks that look like one frame but far more likely are the head of a split one: 12 bytes
// that start like a live frame and carry no known kind, and 8 bytes that start like a
// throttle-curve frame (FE, -, AA) and carry no plausible AUX sources.
bool takenAsWhole(const QByteArray &c)
{
    FrameFamily family;
    if (!wholeChunkFamily(c, &family))
        return false;
    if (family == FrameFamily::Parameter)
        return !(isLiveKind(at(c, 1)) && !findParameterKind(at(c, 2)));
    if (family == FrameFamily::Aux)
        return !(at(c, 0) == kFrameMarker && !plausibleAux(c, 0));
    return true;
}

enum class Scan { Complete, NeedMore, Invalid };

// Looks for a frame starting at `start`, as strictly as the scanner needs to resynchronise:
// a parameter frame must have a known kind, a live frame its kind byte.
Scan frameAt(const QByteArray &bytes, int start, FrameFamily *family)
{
    const int n = bytes.size() - start;
    const auto need = [n](int len) { return n >= len; };
    if (at(bytes, start) == kFrameMarker) {
        if (!need(2))
            return Scan::NeedMore;
        const quint8 b1 = at(bytes, start + 1);
        if (isLiveKind(b1)) {
            *family = b1 == kChannelKind ? FrameFamily::Channel : FrameFamily::LinkStatus;
            return need(kLiveFrameLength) ? Scan::Complete : Scan::NeedMore;
        }
        if (!need(3))
            return Scan::NeedMore;
        const quint8 b2 = at(bytes, start + 2);
        if (findParameterKind(b2)) {
            if (!need(kParameterFrameLength))
                return Scan::NeedMore;
            if (at(bytes, start + 11) == kFrameMarker) {
                *family = FrameFamily::Parameter;
                return Scan::Complete;
            }
        }
    } else if (!need(3)) {
        return Scan::NeedMore; // bytes 0 and 1 of an AUX frame can be anything
    }
    if (at(bytes, start + 2) == kAuxMarker) {
        *family = FrameFamily::Aux;
        if (!need(kAuxFrameLength))
            return Scan::NeedMore;
        return plausibleAux(bytes, start) ? Scan::Complete : Scan::Invalid;
    }
    return Scan::Invalid;
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

int byteArrayToInt(const QByteArray &b, int a)
{
    const auto byteAt = [&b](int i) { return i >= 0 && i < b.size() ? int(quint8(b.at(i))) : 0; };
    return byteAt(a) * 256 + byteAt(a + 1);
}

bool decodeWholeChunk(const QByteArray &chunk, ParamStore &s, DecodedFrame *decoded)
{
    FrameFamily family;
    if (!wholeChunkFamily(chunk, &family))
        return false;
    store(chunk, 0, family, s, decoded);
    return true;
}

void FrameAssembler::feed(const QByteArray &chunk, qint64 nowMs, ParamStore &s,
                          const FrameHandler &onFrame)
{
    if (chunk.isEmpty())
        return;
    if (!m_held.isEmpty() && nowMs - m_heldSince > kHoldMs)
        m_held.clear(); // too old to be part of anything that arrives now

    if (!m_held.isEmpty()) {
        // A chunk that completes the held partial frame is its continuation, even when on
        // its own it would look like a frame.
        QByteArray joined = m_held;
        joined += chunk;
        FrameFamily family;
        const bool continues = frameAt(joined, 0, &family) == Scan::Complete;
        if (continues || !takenAsWhole(chunk)) {
            scan(joined, m_held.size(), nowMs, s, onFrame);
            return;
        }
        m_held.clear();
    }

    if (takenAsWhole(chunk)) {
        DecodedFrame decoded;
        decodeWholeChunk(chunk, s, &decoded);
        onFrame(decoded);
        return;
    }
    scan(chunk, 0, nowMs, s, onFrame);
}

void FrameAssembler::scan(const QByteArray &bytes, int previouslyHeld, qint64 nowMs, ParamStore &s,
                          const FrameHandler &onFrame)
{
    int pos = 0;
    while (pos < bytes.size()) {
        FrameFamily family;
        const Scan result = frameAt(bytes, pos, &family);
        if (result == Scan::NeedMore)
            break;
        if (result == Scan::Invalid) {
            ++pos;
            continue;
        }
        DecodedFrame decoded;
        store(bytes, pos, family, s, &decoded);
        onFrame(decoded);
        pos += family == FrameFamily::Aux         ? kAuxFrameLength
               : family == FrameFamily::Parameter ? kParameterFrameLength
                                                  : kLiveFrameLength;
    }
    m_held = bytes.mid(pos);
    // The hold time runs from the first byte of the partial frame.
    if (pos >= previouslyHeld)
        m_heldSince = nowMs;
}
