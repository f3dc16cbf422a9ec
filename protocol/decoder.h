#pragma once

#include "paramstore.h"

#include <QByteArray>

#include <functional>

// Inbound binary frames from the transmitter. Live frames (channel outputs, link status)
// arrive at any time; settings frames (the AUX frame and 18 parameter kinds) answer a read.

enum class FrameFamily { Channel, LinkStatus, Aux, Parameter };

constexpr int kLiveFrameLength = 20;
constexpr int kAuxFrameLength = 8;
constexpr int kParameterFrameLength = 12;
constexpr quint8 kFrameMarker = 0xFE;
constexpr quint8 kChannelKind = 0x18;
constexpr quint8 kLinkStatusKind = 0x19;
constexpr quint8 kAuxMarker = 0xAA;
constexpr int kAuxReadFlag = 7;

struct DecodedFrame
{
    FrameFamily family = FrameFamily::Channel;
    int kind = 0;     // kind byte: byte 1 of a live frame, byte 2 of a parameter frame
    int readFlag = 0; // settings frame number 1..19; 0 for live frames and unknown kinds
};

// One payload byte (or word) of a parameter frame and the field it fills.
struct PayloadSlot
{
    IntField member; // nullptr ends the row
    int byte;        // position in the frame
    int offset;      // subtracted from the received value
    bool word;       // big-endian 16-bit value at byte, byte + 1
};

struct ParameterKind
{
    quint8 kind;
    int readFlag;
    PayloadSlot payload[8];
};

const ParameterKind *parameterKindsBegin();
const ParameterKind *parameterKindsEnd();
const ParameterKind *findParameterKind(int kind);

// Unsigned big-endian word at position a; a position past the end reads as a zero byte.
int byteArrayToInt(const QByteArray &b, int a);

// Decodes a chunk that is exactly one frame, told apart by its length and marker bytes.
// Returns false when it is none; then the store is untouched. A parameter frame with both
// markers but an unknown kind is recognised and changes nothing.
bool decodeWholeChunk(const QByteArray &chunk, ParamStore &store, DecodedFrame *decoded);

// Puts frames back together when the serial driver splits or merges them.
//
// A chunk that is exactly one frame is decoded as it is and drops any partial frame held
// from before, unless it is the continuation of that partial frame. Anything else is
// appended to the held bytes and every whole, well-marked frame in them is decoded in
// order; bytes that cannot start a frame are dropped. A partial frame at the end is kept
// for at most kHoldMs and is never longer than one frame. Inside a byte stream an AUX frame,
// which has a single marker byte, counts only with sources a transmitter can send (0..5); a
// chunk that could be the head of a split frame (FE 18/19 with an unknown kind, or FE ? AA
// without such sources) is held as one.
class FrameAssembler
{
public:
    static constexpr qint64 kHoldMs = 100;

    using FrameHandler = std::function<void(const DecodedFrame &)>;

    // Decodes what the chunk completes; onFrame runs after each frame has been stored.
    void feed(const QByteArray &chunk, qint64 nowMs, ParamStore &store,
              const FrameHandler &onFrame);
    QByteArray held() const { return m_held; }
    void clear() { m_held.clear(); }

private:
    void scan(const QByteArray &bytes, int previouslyHeld, qint64 nowMs, ParamStore &store,
              const FrameHandler &onFrame);

    QByteArray m_held;
    qint64 m_heldSince = 0;
};
