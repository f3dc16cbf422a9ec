// SPDX-License-Identifier: GPL-3.0-or-later
#include "drselect.h"

#include <iterator>

namespace {

struct DrChannel
{
    IntField up;
    IntField down;
    IntField expUp;
    IntField expDown;
};

const DrChannel kDrChannels[] = {
    {&ParamStore::DR_UP_CH1, &ParamStore::DR_DOWN_CH1, &ParamStore::DR_EXPUP_CH1,
     &ParamStore::DR_EXPDOWN_CH1},
    {&ParamStore::DR_UP_CH2, &ParamStore::DR_DOWN_CH2, &ParamStore::DR_EXPUP_CH2,
     &ParamStore::DR_EXPDOWN_CH2},
    {&ParamStore::DR_UP_CH3, &ParamStore::DR_DOWN_CH3, &ParamStore::DR_EXPUP_CH3,
     &ParamStore::DR_EXPDOWN_CH3},
    {&ParamStore::DR_UP_CH4, &ParamStore::DR_DOWN_CH4, &ParamStore::DR_EXPUP_CH4,
     &ParamStore::DR_EXPDOWN_CH4},
};

const DrChannel *selectedChannel(const ParamStore &store)
{
    if (store.DR_CH < 0 || store.DR_CH >= int(std::size(kDrChannels)))
        return nullptr;
    return &kDrChannels[store.DR_CH];
}

bool upSelected(const ParamStore &store)
{
    return store.DR_POSI == 0;
}

} // namespace

void selectDualRateEntry(ParamStore &store)
{
    const DrChannel *ch = selectedChannel(store);
    if (!ch)
        return;
    store.DR_UP1 = store.*ch->up;
    store.DR_DOWN1 = store.*ch->down;
    store.DR_RATE = upSelected(store) ? store.*ch->up : store.*ch->down;
    store.DR_EXP = upSelected(store) ? store.*ch->expUp : store.*ch->expDown;
}

void drEditUp1(ParamStore &store, int value)
{
    store.DR_UP1 = value;
    if (const DrChannel *ch = selectedChannel(store))
        store.*ch->up = value;
    selectDualRateEntry(store);
}

void drEditDown1(ParamStore &store, int value)
{
    store.DR_DOWN1 = value;
    if (const DrChannel *ch = selectedChannel(store))
        store.*ch->down = value;
    selectDualRateEntry(store);
}

void drEditRate(ParamStore &store, int value)
{
    store.DR_RATE = value;
    if (const DrChannel *ch = selectedChannel(store))
        store.*(upSelected(store) ? ch->up : ch->down) = value;
    selectDualRateEntry(store);
}

void drEditExp(ParamStore &store, int value)
{
    store.DR_EXP = value;
    if (const DrChannel *ch = selectedChannel(store))
        store.*(upSelected(store) ? ch->expUp : ch->expDown) = value;
    selectDualRateEntry(store);
}
