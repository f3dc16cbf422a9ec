// SPDX-License-Identifier: GPL-3.0-or-later
#include "testdata.h"

#include "frames.h"
#include "rangecheck.h"
#include "transmittermodel.h"

#include <QByteArrayList>
#include <QFile>

#include <random>

namespace {

using P = ParamStore;

const SettingValues kChanges = {
    {&P::rev5, 1},         {&P::sub3, 25},
    {&P::Lepa2, 110},      {&P::FS8, 20},
    {&P::Volt_x10, 42},    {&P::Elev05, -40},
    {&P::Ru3, -75},        {&P::delay4, 60},
    {&P::DR_UP_CH2, 70},   {&P::DR_EXPDOWN_CH4, -30},
    {&P::PRM03_Data2, 45}, {&P::THCURE_Data05, 80},
};

// The lines of the golden file: one frame each.
QByteArrayList factoryFrameLines()
{
    const QByteArray text = readBytes(QStringLiteral(KORVA_TEST_DATA_DIR "/factory_frames.txt"));
    if (text.isEmpty())
        qFatal("cannot read tests/data/factory_frames.txt");
    return text.trimmed().split('\n');
}

} // namespace

ParamStore withValues(ParamStore base, SettingValues values)
{
    for (const SettingValue &v : values)
        base.*v.member = v.value;
    return base;
}

ParamStore randomInRange(quint32 seed, ParamStore base)
{
    std::mt19937 rng(seed);
    for (const RangeRule *rule = rangeRulesBegin(); rule != rangeRulesEnd(); ++rule)
        base.*rule->member = rule->low + int(rng() % quint32(rule->high - rule->low + 1));
    return base;
}

ParamStore heldByTransmitter(const ParamStore &settings)
{
    return settingsFromText(buildParameterFile(settings), factorySettings());
}

ParamStore changedFactorySettings(SettingValues more)
{
    return heldByTransmitter(withValues(withValues(factorySettings(), kChanges), more));
}

QByteArray factoryFrame(char letter)
{
    for (const QByteArray &frame : factoryFrameLines()) {
        if (frame.startsWith(letter))
            return frame;
    }
    qFatal("no %c frame in tests/data/factory_frames.txt", letter);
}

QByteArray factoryFrames()
{
    return factoryFrameLines().join();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}
