// SPDX-License-Identifier: GPL-3.0-or-later
#include "frames.h"

#include <iterator>

#include <algorithm>

namespace {

constexpr FrameSlot dec(IntField m)
{
    return {m, SlotEncoding::Dec, 0, nullptr};
}
constexpr FrameSlot hex(IntField m, int k)
{
    return {m, SlotEncoding::Hex, k, nullptr};
}
constexpr FrameSlot digits3(IntField m)
{
    return {m, SlotEncoding::Digits3, 0, nullptr};
}
constexpr FrameSlot fixed(const char *text)
{
    return {nullptr, SlotEncoding::Fixed, 0, text};
}

// Offsets that move each field's range into 16..255, so two hex digits always suffice.
constexpr int kUnsigned = 16; // ranges starting at 0
constexpr int kMix = 116;     // -100..100 mix rates and exponentials
constexpr int kTrim = 120;    // sub-trims, elevon rates, Spare2

using P = ParamStore;

const FrameSlot kSlotsS[] = {
    dec(&P::rev1),
    dec(&P::rev2),
    dec(&P::rev3),
    dec(&P::rev4),
    dec(&P::rev5),
    dec(&P::rev6),
    dec(&P::rev7),
    dec(&P::rev8),
    hex(&P::sub1, kTrim),
    hex(&P::sub2, kTrim),
    hex(&P::sub3, kTrim),
    hex(&P::sub4, kTrim),
    hex(&P::sub5, kTrim),
    hex(&P::sub6, kTrim),
    hex(&P::sub7, kTrim),
    hex(&P::sub8, kTrim),
    hex(&P::Lepa1, kUnsigned),
    hex(&P::Lepa2, kUnsigned),
    hex(&P::Lepa3, kUnsigned),
    hex(&P::Lepa4, kUnsigned),
    hex(&P::Lepa5, kUnsigned),
    hex(&P::Lepa6, kUnsigned),
    hex(&P::Lepa7, kUnsigned),
    hex(&P::Lepa8, kUnsigned),
    hex(&P::Repa1, kUnsigned),
    hex(&P::Repa2, kUnsigned),
    hex(&P::Repa3, kUnsigned),
    hex(&P::Repa4, kUnsigned),
    hex(&P::Repa5, kUnsigned),
    hex(&P::Repa6, kUnsigned),
    hex(&P::Repa7, kUnsigned),
    hex(&P::Repa8, kUnsigned),
    hex(&P::FS1, kUnsigned),
    hex(&P::FS2, kUnsigned),
    hex(&P::FS3, kUnsigned),
    hex(&P::FS4, kUnsigned),
    hex(&P::FS5, kUnsigned),
    hex(&P::FS6, kUnsigned),
    hex(&P::FS7, kUnsigned),
    hex(&P::FS8, kUnsigned),
    dec(&P::AUX5),
    dec(&P::AUX6),
    dec(&P::AUX7),
    dec(&P::AUX8),
    hex(&P::Volt_x10, kUnsigned),
    dec(&P::Mode),
};

const FrameSlot kSlotsG[] = {
    dec(&P::AttiM),
    hex(&P::Atti1, kUnsigned),
    hex(&P::Atti2, kUnsigned),
    hex(&P::Atti3, kUnsigned),
    hex(&P::Atti4, kUnsigned),
    hex(&P::Atti5, kUnsigned),
    hex(&P::Atti6, kUnsigned),
    dec(&P::EleMix),
    // The elevon rates travel interleaved.
    hex(&P::Elev01, kTrim),
    hex(&P::Elev05, kTrim),
    hex(&P::Elev02, kTrim),
    hex(&P::Elev06, kTrim),
    hex(&P::Elev03, kTrim),
    hex(&P::Elev04, kTrim),
    dec(&P::RuMix),
    hex(&P::Ru1, kMix),
    hex(&P::Ru2, kMix),
    hex(&P::Ru3, kMix),
    hex(&P::Ru4, kMix),
    fixed("6"),
    hex(&P::delay1, kUnsigned),
    hex(&P::delay2, kUnsigned),
    hex(&P::delay3, kUnsigned),
    hex(&P::delay4, kUnsigned),
    hex(&P::delay5, kUnsigned),
    hex(&P::delay6, kUnsigned),
    hex(&P::delay7, kUnsigned),
    hex(&P::delay8, kUnsigned),
    dec(&P::DR_MIX),
    dec(&P::DR_CH),
    hex(&P::DR_UP1, kUnsigned),
    hex(&P::DR_DOWN1, kUnsigned),
    // The first two mixes travel interleaved as well.
    hex(&P::PRM01_Data2, kMix),
    hex(&P::PRM02_Data2, kMix),
    hex(&P::PRM01_Data3, kMix),
    hex(&P::PRM02_Data3, kMix),
    hex(&P::PRM01_Data1, kMix),
    hex(&P::PRM02_Data1, kMix),
    dec(&P::PRM01_Master),
    dec(&P::PRM02_Master),
    dec(&P::PRM01_Slave),
    dec(&P::PRM02_Slave),
    dec(&P::PRM01_Mix),
    dec(&P::PRM02_Mix),
};

const FrameSlot kSlotsH[] = {
    hex(&P::DR_UP_CH1, kUnsigned),
    hex(&P::DR_UP_CH2, kUnsigned),
    hex(&P::DR_UP_CH3, kUnsigned),
    hex(&P::DR_UP_CH4, kUnsigned),
    hex(&P::DR_DOWN_CH1, kUnsigned),
    hex(&P::DR_DOWN_CH2, kUnsigned),
    hex(&P::DR_DOWN_CH3, kUnsigned),
    hex(&P::DR_DOWN_CH4, kUnsigned),
    dec(&P::PRM03_Mix),
    dec(&P::PRM03_Master),
    dec(&P::PRM03_Slave),
    hex(&P::PRM03_Data1, kMix),
    hex(&P::PRM03_Data2, kMix),
    hex(&P::PRM03_Data3, kMix),
    dec(&P::PRM04_Mix),
    dec(&P::PRM04_Master),
    dec(&P::PRM04_Slave),
    hex(&P::PRM04_Data1, kMix),
    hex(&P::PRM04_Data2, kMix),
    hex(&P::PRM04_Data3, kMix),
    dec(&P::THCURE_MIX),
    dec(&P::THCURE_Spare),
    hex(&P::THCURE_Data01, kUnsigned),
    hex(&P::THCURE_Data02, kUnsigned),
    hex(&P::THCURE_Data03, kUnsigned),
    hex(&P::THCURE_Data04, kUnsigned),
    hex(&P::THCURE_Data05, kUnsigned),
    hex(&P::THCURE_Data06, kUnsigned),
    hex(&P::THCURE_Data07, kUnsigned),
    dec(&P::DR_POSI),
    hex(&P::DR_EXPUP_CH1, kMix),
    hex(&P::DR_EXPUP_CH2, kMix),
    hex(&P::DR_EXPUP_CH3, kMix),
    hex(&P::DR_EXPUP_CH4, kMix),
    hex(&P::DR_EXPDOWN_CH1, kMix),
    hex(&P::DR_EXPDOWN_CH2, kMix),
    hex(&P::DR_EXPDOWN_CH3, kMix),
    hex(&P::DR_EXPDOWN_CH4, kMix),
    digits3(&P::Spare1_x10),
    hex(&P::Spare2, kTrim),
    dec(&P::DR_SW2),
};

int readHex(const QString &text, int at, int width)
{
    bool ok = false;
    const int value = text.mid(at, width).toInt(&ok, 16);
    return ok ? value : 0;
}

} // namespace

const FrameLayout kFrameS = {
    'S',
    'Y',
    80,
    "S00100000787878787878787870707070707070707070707070707070424210424242424213027E2Y",
    0,
    kSlotsS,
    int(std::size(kSlotsS))};
const FrameLayout kFrameG = {
    'G',
    'Z',
    77,
    "G41E2D3C4855680DCDCDCDCDC1409632A696674747474747474740074746474647464640135006D2Z",
    kFrameLength,
    kSlotsG,
    int(std::size(kSlotsG))};
const FrameLayout kFrameH = {
    'H',
    'X',
    74,
    "H0000000000000000000000000000000000000000000000000000000000000000000000000000000X",
    2 * kFrameLength,
    kSlotsH,
    int(std::size(kSlotsH))};

int slotWidth(const FrameSlot &slot)
{
    switch (slot.encoding) {
    case SlotEncoding::Dec:
        return 1;
    case SlotEncoding::Hex:
        return 2;
    case SlotEncoding::Digits3:
        return 3;
    case SlotEncoding::Fixed:
        return int(qstrlen(slot.fixed));
    }
    return 0;
}

QString buildFrameText(const FrameLayout &layout, const ParamStore &store)
{
    QString text;
    text.reserve(layout.builtLength);
    text += QLatin1Char(layout.letter);
    for (int i = 0; i < layout.slotCount; ++i) {
        const FrameSlot &slot = layout.fields[i];
        switch (slot.encoding) {
        case SlotEncoding::Dec:
            text += QString::number(std::clamp(store.*slot.member, 0, 9));
            break;
        case SlotEncoding::Hex: {
            // Clamp to what two hex digits can carry; a shorter or longer field would shift
            // every later field and the tail. Summed in 64 bits: a stray value near the int
            // limit must clamp, not wrap around.
            const qint64 sum = qint64(store.*slot.member) + slot.k;
            text += QString::number(std::clamp<qint64>(sum, 16, 255), 16).toUpper();
            break;
        }
        case SlotEncoding::Digits3: {
            const int v = std::clamp(store.*slot.member, 0, 999);
            text += QString::number(v / 100 % 10) + QString::number(v / 10 % 10) +
                    QString::number(v % 10);
            break;
        }
        case SlotEncoding::Fixed:
            text += QLatin1String(slot.fixed);
            break;
        }
    }
    return text;
}

void buildFrameInto(const FrameLayout &layout, const ParamStore &store, QString &buffer)
{
    buffer.replace(0, layout.builtLength, buildFrameText(layout, store));
}

QByteArray buildParameterFile(const ParamStore &store)
{
    QByteArray text;
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        QString buffer = QString::fromLatin1(layout->tmpl);
        buildFrameInto(*layout, store, buffer);
        text += buffer.toLatin1();
    }
    return text;
}

void parseFrameFields(const FrameLayout &layout, const QString &text, int at, ParamStore &store)
{
    int pos = at + 1; // after the start letter
    for (int i = 0; i < layout.slotCount; ++i) {
        const FrameSlot &slot = layout.fields[i];
        switch (slot.encoding) {
        case SlotEncoding::Dec:
            store.*slot.member = readHex(text, pos, 1);
            break;
        case SlotEncoding::Hex:
            store.*slot.member = readHex(text, pos, 2) - slot.k;
            break;
        case SlotEncoding::Digits3:
            store.*slot.member = readHex(text, pos, 1) * 100 + readHex(text, pos + 1, 1) * 10 +
                                 readHex(text, pos + 2, 1);
            break;
        case SlotEncoding::Fixed:
            break;
        }
        if (slot.member == &ParamStore::Volt_x10)
            store.Volt = store.Volt_x10 / 10.0;
        pos += slotWidth(slot);
    }
}

namespace {

bool framePresent(const FrameLayout &layout, const QString &text)
{
    const int start = layout.fileOffset;
    const int end = start + kFrameLength - 1;
    return text.size() > end && text.at(start) == QLatin1Char(layout.letter) &&
           text.at(end) == QLatin1Char(layout.endLetter);
}

} // namespace

ParameterTextResult parseParameterText(const QString &text, ParamStore &store)
{
    ParameterTextResult result;
    result.length = text.size();
    // The S and G frames are looked for only once the file reaches into the G frame's end,
    // so that a file holding just the S frame changes nothing.
    if (result.length > kFrameG.fileOffset + kFrameLength - 1) {
        if (framePresent(kFrameS, text)) {
            result.sFrame = true;
            parseFrameFields(kFrameS, text, kFrameS.fileOffset, store);
        }
        if (framePresent(kFrameG, text)) {
            result.gFrame = true;
            parseFrameFields(kFrameG, text, kFrameG.fileOffset, store);
        }
    }
    if (framePresent(kFrameH, text)) {
        result.hFrame = true;
        parseFrameFields(kFrameH, text, kFrameH.fileOffset, store);
    }
    return result;
}

namespace {

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

QString letterProblem(const FrameLayout &layout, const QByteArray &bytes, int at, char letter)
{
    if (bytes.at(at) == letter)
        return QString();
    return QStringLiteral("no %1 frame: byte %2 is not '%3'")
        .arg(QLatin1Char(layout.letter))
        .arg(at)
        .arg(QLatin1Char(letter));
}

} // namespace

QString parameterFileProblem(const QByteArray &bytes)
{
    const QByteArray rest = bytes.mid(kParameterFileLength);
    if (bytes.size() < kParameterFileLength || (rest != "\n" && rest != "\r\n" && !rest.isEmpty()))
        return QStringLiteral("%1 bytes long, not %2").arg(bytes.size()).arg(kParameterFileLength);
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        const int start = layout->fileOffset;
        QString problem = letterProblem(*layout, bytes, start, layout->letter);
        if (problem.isEmpty())
            problem = letterProblem(*layout, bytes, start + kFrameLength - 1, layout->endLetter);
        if (!problem.isEmpty())
            return problem;
        int pos = start + 1;
        for (int i = 0; i < layout->slotCount; ++i) {
            const FrameSlot &slot = layout->fields[i];
            const int width = slotWidth(slot);
            const QByteArray text = bytes.mid(pos, width);
            if (slot.member && !std::all_of(text.begin(), text.end(), isHexDigit)) {
                return QStringLiteral("%1 (byte %2) is not hexadecimal")
                    .arg(QLatin1String(intFieldName(slot.member)))
                    .arg(pos);
            }
            pos += width;
        }
    }
    return QString();
}
