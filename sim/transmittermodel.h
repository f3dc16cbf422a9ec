// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commandtokenizer.h"
#include "decoder.h"
#include "paramstore.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// The simulated transmitter without any I/O: its settings, the frames it sends and what it
// does with each token it receives. The simulator process wraps this around a
// pseudo-terminal; the tests use it to know what to expect.

// The firmware version the simulated transmitter reports.
constexpr int kFirmwareVersion = 42;

// Live stream pacing: a channel frame every tick, a link-status frame every few ticks.
constexpr int kTickMs = 20;
constexpr int kLinkStatusEveryTicks = 12;

// Ranges of the live values, so that a reader can tell plausible values from garbage.
constexpr int kServoCentre = 1000;
constexpr int kServoSwing = 500;
constexpr int kTxVoltLow = 740; // hundredths of a volt
constexpr int kTxVoltHigh = 760;
constexpr int kRssiLow = 35;
constexpr int kRssiHigh = 60;
constexpr int kExtVoltLow = 110; // tenths of a volt
constexpr int kExtVoltHigh = 125;

// A setting the transmitter reports in its answer to a read.
struct ReportedField
{
    const char *name;
    IntField member;
};

// Every field a read answer fills: the payload fields of the 18 parameter kinds and the
// four AUX sources, each once.
QVector<ReportedField> reportedFields();
// Names and both values of the reported fields that differ, e.g. "sub3: 0 -> 25".
QStringList reportedDifferences(const ParamStore &before, const ParamStore &after);

QByteArray encodeAuxFrame(const ParamStore &settings);
// Encodes one parameter frame from the decoder's own kind table, so the two cannot differ:
// each payload value has its offset added and is clamped to what its byte or word holds.
QByteArray encodeParameterFrame(const ParameterKind &kind, const ParamStore &settings);
// The whole answer to a read: the AUX frame, then every parameter kind in table order.
QVector<QByteArray> encodeSettingsAnswer(const ParamStore &settings);

// The live frames of a given tick. Positions depend on the tick alone, so the same run of
// ticks always gives the same bytes.
QByteArray channelFrame(qint64 tick);
QByteArray linkStatusFrame(qint64 tick);

// Factory settings as the transmitter leaves the factory.
ParamStore factorySettings();

// Reads a parameter text over a copy of `base` and puts the result in range.
ParamStore settingsFromText(const QByteArray &text, const ParamStore &base);

class TransmitterModel
{
public:
    enum class Reaction {
        None,
        StartStream,  // "OK"
        StopStream,   // "DIS"
        SendSettings, // "RR": send encodeSettingsAnswer(settings())
        SettingsTaken // "WWW" after new frames: the pending settings are now in force
    };

    explicit TransmitterModel(const ParamStore &settings = factorySettings());

    const ParamStore &settings() const { return m_settings; }
    // Settings received in S, G and H frames and not yet taken over.
    const ParamStore &pending() const { return m_pending; }
    bool hasPending() const { return m_hasPending; }
    bool streaming() const { return m_streaming; }

    // Replaces the settings (and drops anything pending), putting them in range first.
    void setSettings(const ParamStore &settings);

    // Lets frames of this kind (S, G or H) go by as if they had been lost on the line, so
    // that a write can be seen to fail.
    void ignoreFrames(TokenKind kind) { m_ignored.append(kind); }

    Reaction handle(const Token &token);

private:
    ParamStore m_settings;
    ParamStore m_pending;
    bool m_hasPending = false;
    bool m_streaming = false;
    QVector<TokenKind> m_ignored;
};
