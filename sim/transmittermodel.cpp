// SPDX-License-Identifier: GPL-3.0-or-later
#include "transmittermodel.h"

#include "drselect.h"
#include "factory.h"
#include "frames.h"
#include "rangecheck.h"

#include <QString>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

constexpr double kTwoPi = 6.283185307179586;

const ReportedField kAuxFields[] = {
    {"AUX5", &ParamStore::AUX5},
    {"AUX6", &ParamStore::AUX6},
    {"AUX7", &ParamStore::AUX7},
    {"AUX8", &ParamStore::AUX8},
};

// One smoothly moving servo: swing within kServoSwing, one cycle every `periodTicks`.
struct ServoMotion
{
    int swing;
    int periodTicks;
    double phase;
};

const ServoMotion kServoMotions[] = {
    {450, 170, 0.0}, {400, 230, 1.1}, {500, 310, 2.3}, {350, 190, 0.7},
    {300, 410, 1.9}, {480, 260, 3.0}, {250, 520, 0.4}, {420, 350, 2.6},
};

int wave(qint64 tick, int periodTicks, double phase)
{
    return int(
        std::lround(std::sin(kTwoPi * double(tick % periodTicks) / periodTicks + phase) * 1000.0));
}

// A value of `centre` plus a slow and a quick wave, within [low, high].
int wander(qint64 tick, int low, int high, int slowPeriod, int quickPeriod)
{
    const int centre = (low + high) / 2;
    const int reach = (high - low) / 2;
    const int slow = wave(tick, slowPeriod, 0.0) * reach * 3 / 4 / 1000;
    const int quick = wave(tick, quickPeriod, 0.5) * reach / 4 / 1000;
    return std::clamp(centre + slow + quick, low, high);
}

void putWord(QByteArray &frame, int at, int value)
{
    const int v = std::clamp(value, 0, 0xFFFF);
    frame[at] = char(v >> 8);
    frame[at + 1] = char(v & 0xFF);
}

// Puts the settings in range and sets what the transmitter derives or owns itself.
void normalise(ParamStore &settings)
{
    replaceOutOfRangeValues(settings);
    selectDualRateEntry(settings);
    settings.Vertion = kFirmwareVersion;
}

} // namespace

QVector<ReportedField> reportedFields()
{
    QVector<ReportedField> fields;
    for (IntField member : settingsAnswerFields())
        fields.append({intFieldName(member), member});
    return fields;
}

QStringList reportedDifferences(const ParamStore &before, const ParamStore &after)
{
    QStringList differences;
    for (const ReportedField &field : reportedFields()) {
        if (before.*field.member != after.*field.member) {
            differences.append(QString::fromLatin1(field.name) + QLatin1String(": ") +
                               QString::number(before.*field.member) + QLatin1String(" -> ") +
                               QString::number(after.*field.member));
        }
    }
    return differences;
}

QByteArray encodeAuxFrame(const ParamStore &settings)
{
    QByteArray frame(kAuxFrameLength, '\0');
    frame[2] = char(kAuxMarker);
    for (int i = 0; i < int(std::size(kAuxFields)); ++i)
        frame[3 + i] = char(std::clamp(settings.*kAuxFields[i].member, 0, 0xFF));
    return frame;
}

QByteArray encodeParameterFrame(const ParameterKind &kind, const ParamStore &settings)
{
    QByteArray frame(kParameterFrameLength, '\0');
    frame[0] = char(kFrameMarker);
    frame[2] = char(kind.kind);
    frame[kParameterFrameLength - 1] = char(kFrameMarker);
    for (const PayloadSlot &slot : kind.payload) {
        if (!slot.member)
            break;
        const int raw = settings.*slot.member + slot.offset;
        if (slot.word)
            putWord(frame, slot.byte, raw);
        else
            frame[slot.byte] = char(std::clamp(raw, 0, 0xFF));
    }
    return frame;
}

QVector<QByteArray> encodeSettingsAnswer(const ParamStore &settings)
{
    QVector<QByteArray> frames{encodeAuxFrame(settings)};
    for (const ParameterKind *kind = parameterKindsBegin(); kind != parameterKindsEnd(); ++kind)
        frames.append(encodeParameterFrame(*kind, settings));
    return frames;
}

QByteArray channelFrame(qint64 tick)
{
    QByteArray frame(kLiveFrameLength, '\0');
    frame[0] = char(kFrameMarker);
    frame[1] = char(kChannelKind);
    for (int i = 0; i < int(std::size(kServoMotions)); ++i) {
        const ServoMotion &m = kServoMotions[i];
        putWord(frame, 2 + 2 * i,
                kServoCentre + wave(tick, m.periodTicks, m.phase) * m.swing / 1000);
    }
    // The battery sags and recovers slowly under the servo load.
    putWord(frame, 18, wander(tick, kTxVoltLow, kTxVoltHigh, 1500, 110));
    return frame;
}

QByteArray linkStatusFrame(qint64 tick)
{
    QByteArray frame(kLiveFrameLength, '\0');
    frame[0] = char(kFrameMarker);
    frame[1] = char(kLinkStatusKind);
    frame[2] = char(wander(tick, kRssiLow, kRssiHigh, 900, 70));
    putWord(frame, 4, wander(tick, kExtVoltLow, kExtVoltHigh, 2100, 130));
    return frame;
}

ParamStore factorySettings()
{
    ParamStore settings;
    applyFactoryValues(settings);
    normalise(settings);
    return settings;
}

ParamStore settingsFromText(const QByteArray &text, const ParamStore &base)
{
    ParamStore settings = base;
    parseParameterText(QString::fromLatin1(text), settings);
    normalise(settings);
    return settings;
}

TransmitterModel::TransmitterModel(const ParamStore &settings)
{
    setSettings(settings);
}

void TransmitterModel::setSettings(const ParamStore &settings)
{
    m_settings = settings;
    normalise(m_settings);
    m_pending = m_settings;
    m_hasPending = false;
}

TransmitterModel::Reaction TransmitterModel::handle(const Token &token)
{
    switch (token.kind) {
    case TokenKind::Ok:
        m_streaming = true;
        return Reaction::StartStream;
    case TokenKind::Dis:
        m_streaming = false;
        return Reaction::StopStream;
    case TokenKind::ReadRequest:
        return Reaction::SendSettings;
    case TokenKind::FrameS:
    case TokenKind::FrameG:
    case TokenKind::FrameH: {
        if (m_ignored.contains(token.kind))
            return Reaction::None;
        const FrameLayout &layout = token.kind == TokenKind::FrameS   ? kFrameS
                                    : token.kind == TokenKind::FrameG ? kFrameG
                                                                      : kFrameH;
        // The G frame carries only the selected D/R channel's rates; the H frame brings the
        // four-channel tables, and normalising re-derives the mirrors from those.
        parseFrameFields(layout, QString::fromLatin1(token.text), 0, m_pending);
        m_hasPending = true;
        return Reaction::None;
    }
    case TokenKind::Ack:
        if (!m_hasPending)
            return Reaction::None;
        setSettings(m_pending);
        return Reaction::SettingsTaken;
    }
    return Reaction::None;
}
