// SPDX-License-Identifier: GPL-3.0-or-later
#include "valuenames.h"

#include <iterator>

namespace {

#define KORVA_VALUE_NAMES(list, ...) const char *const k##list[] = {__VA_ARGS__};
#include "valuenames.def"
#undef KORVA_VALUE_NAMES

struct NameList
{
    const char *const *names;
    int count;
};

template<std::size_t N> constexpr NameList list(const char *const (&names)[N])
{
    return {names, int(N)};
}

struct FieldNames
{
    IntField member;
    NameList names;
};

using P = ParamStore;

// Which list names which setting: the combo box that edits the setting shows that list.
const FieldNames kFieldNames[] = {
    {&P::rev1, list(kReverse)},
    {&P::rev2, list(kReverse)},
    {&P::rev3, list(kReverse)},
    {&P::rev4, list(kReverse)},
    {&P::rev5, list(kReverse)},
    {&P::rev6, list(kReverse)},
    {&P::rev7, list(kReverse)},
    {&P::rev8, list(kReverse)},
    {&P::AUX5, list(kAuxSources)},
    {&P::AUX6, list(kAuxSources)},
    {&P::AUX7, list(kAuxSources)},
    {&P::AUX8, list(kAuxSources)},
    {&P::DR_MIX, list(kOffOn)},
    {&P::DR_CH, list(kDrChannels)},
    {&P::DR_SW2, list(kDrSwitches)},
    {&P::DR_POSI, list(kDrPositions)},
    {&P::AttiM, list(kAttitudeChannels)},
    {&P::EleMix, list(kOffOn)},
    {&P::RuMix, list(kOffOn)},
    {&P::THCURE_MIX, list(kOffOn)},
    {&P::PRM01_Mix, list(kMixModes)},
    {&P::PRM01_Master, list(kChannels)},
    {&P::PRM01_Slave, list(kChannels)},
    {&P::PRM02_Mix, list(kMixModes)},
    {&P::PRM02_Master, list(kChannels)},
    {&P::PRM02_Slave, list(kChannels)},
    {&P::PRM03_Mix, list(kMixModes)},
    {&P::PRM03_Master, list(kChannels)},
    {&P::PRM03_Slave, list(kChannels)},
    {&P::PRM04_Mix, list(kMixModes)},
    {&P::PRM04_Master, list(kChannels)},
    {&P::PRM04_Slave, list(kChannels)},
};

NameList namesOf(IntField member)
{
    for (const FieldNames &f : kFieldNames) {
        if (f.member == member)
            return f.names;
    }
    return {nullptr, 0};
}

} // namespace

QStringList valueNames(IntField member)
{
    const NameList names = namesOf(member);
    QStringList out;
    for (int i = 0; i < names.count; ++i)
        out.append(QString::fromLatin1(names.names[i]));
    return out;
}

QString valueText(IntField member, qint32 value)
{
    const NameList names = namesOf(member);
    if (value >= 0 && value < names.count)
        return QString::fromLatin1(names.names[value]);
    return QString::number(value);
}

QString unassignedAuxName()
{
    return QString::fromLatin1(kAuxUnassigned[0]);
}
