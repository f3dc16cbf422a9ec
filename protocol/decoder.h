// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QByteArray>
#include <QString>
#include <QVector>

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
    QByteArray bytes; // the frame as it was taken from the line
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

// Unsigned big-endian word at `position`; a position past the end reads as a zero byte.
int bigEndianWordAt(const QByteArray &bytes, int position);

// A read answer: the AUX frame (ReadFlag 7) and one frame of each parameter kind, ReadFlag
// 1 to 19 in all.
constexpr int kSettingsFrameKinds = 19;
// Every setting a read answer fills, each once: the payload fields of the parameter kinds
// in table order, then the AUX sources.
QVector<IntField> settingsAnswerFields();
// A settings frame kind by its ReadFlag, for messages: "AUX frame (AUX5..AUX8)",
// "kind 0x55 (sub1..sub8)".
QString settingsFrameName(int readFlag);
// The settings the frame with this ReadFlag carries.
QVector<IntField> settingsFrameFields(int readFlag);

// The link-status byte counts the signal strength in dBm up from -100 dBm.
inline int rssiDbm(int rssi)
{
    return rssi - 100;
}

// Decodes a chunk that is exactly one frame, told apart by its length and marker bytes.
// Returns false when it is none; then the store is untouched. A parameter frame with both
// markers but an unknown kind is recognised and changes nothing.
bool decodeWholeChunk(const QByteArray &chunk, ParamStore &store, DecodedFrame *decoded);

// Stores a frame the receive buffer took into another store, as it stored it in its own.
void storeFrame(const DecodedFrame &frame, ParamStore &store);

// Scoring the readings of undecided bytes, in hundredths of a bit (the objective is written
// down in decoder.cpp).
namespace segmentation {
// Short: a parameter frame that lost bytes inside, its end marker still in place.
enum class Piece { Whole, Cut, Short, Unfinished, Garbage };
constexpr int kImpossible = -(1 << 28);
// The score of reading bytes [start, start + length) of `b` as `piece` of a frame of `family`
// (any family for garbage), or kImpossible when the bytes break the frame's markers.
int pieceScore(const QByteArray &b, int start, int length, FrameFamily family, Piece piece);
// The best total score over all readings of `b`; with `open`, the last piece may be a frame
// still arriving.
int bestScore(const QByteArray &b, bool open);
} // namespace segmentation

// Puts frames back together when the line splits, merges, cuts or garbles them. How it reads
// the undecided bytes is written down once, in decoder.cpp above FrameAssembler::feed.
class FrameAssembler
{
public:
    // Undecided bytes wait this long for the rest, counted from their first byte.
    static constexpr qint64 kHoldMs = 100;
    // At most this many bytes wait undecided: two frames' worth, as one frame whose last bytes
    // may start the next one, and that next one still arriving.
    static constexpr int kMaxUndecided = 2 * kLiveFrameLength - 1;

    using FrameHandler = std::function<void(const DecodedFrame &)>;

    // Decodes what the chunk decides; onFrame runs after each frame has been stored.
    void feed(const QByteArray &chunk, qint64 nowMs, ParamStore &store,
              const FrameHandler &onFrame);
    // Settles whatever has waited longer than kHoldMs: what is whole among the waiting bytes
    // is taken, the rest dropped. feed() does this itself; call it when no read comes, so
    // that nothing waits much longer than kHoldMs.
    void expire(qint64 nowMs, ParamStore &store, const FrameHandler &onFrame);
    // Nothing more will arrive (the port closes): takes what is whole among the waiting
    // bytes and drops the rest.
    void finish(ParamStore &store, const FrameHandler &onFrame) { settle(store, onFrame); }
    // Milliseconds until expire() has something to settle, or -1 when nothing waits.
    qint64 msUntilExpiry(qint64 nowMs) const;

    // The unfinished frame at the end of what has arrived: never more than 19 bytes.
    QByteArray held() const { return m_bytes.mid(m_heldFrom); }
    // The undecided bytes before it: whole frames, or pieces of them, whose reading the next
    // read could still change.
    QByteArray pending() const { return m_bytes.left(m_heldFrom); }
    void clear();

private:
    void append(const QByteArray &chunk, qint64 nowMs);
    void settle(ParamStore &store, const FrameHandler &onFrame);
    void scan(bool final, ParamStore &store, const FrameHandler &onFrame);
    bool continuesHeldFrame(const QByteArray &chunk) const;

    QByteArray m_bytes;      // undecided bytes: pending ones, then the unfinished frame
    QVector<qint64> m_times; // when each of m_bytes arrived
    int m_heldFrom = 0;
};
