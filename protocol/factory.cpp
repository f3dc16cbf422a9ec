// SPDX-License-Identifier: GPL-3.0-or-later
#include "factory.h"

#include <iterator>

namespace {

struct FactoryValue
{
    IntField member;
    qint32 value;
};

#define F(field, value)                                                                            \
    {                                                                                              \
        &ParamStore::field, value                                                                  \
    }

const FactoryValue kFactory1[] = {
    F(rev1, 0),          F(rev2, 0),          F(rev3, 1),          F(rev4, 0),
    F(rev5, 0),          F(rev6, 0),          F(rev7, 0),          F(rev8, 0),
    F(sub1, 0),          F(sub2, 0),          F(sub3, 0),          F(sub4, 0),
    F(sub5, 0),          F(sub6, 0),          F(sub7, 0),          F(sub8, 0),
    F(Lepa1, 96),        F(Lepa2, 96),        F(Lepa3, 96),        F(Lepa4, 96),
    F(Lepa5, 96),        F(Lepa6, 96),        F(Lepa7, 96),        F(Lepa8, 96),
    F(Repa1, 96),        F(Repa2, 96),        F(Repa3, 96),        F(Repa4, 96),
    F(Repa5, 96),        F(Repa6, 96),        F(Repa7, 96),        F(Repa8, 96),
    F(FS1, 50),          F(FS2, 50),          F(FS3, 0),           F(FS4, 50),
    F(FS5, 50),          F(FS6, 50),          F(FS7, 50),          F(FS8, 50),
    F(delay1, 100),      F(delay2, 100),      F(delay3, 100),      F(delay4, 100),
    F(delay5, 100),      F(delay6, 100),      F(delay7, 100),      F(delay8, 100),
    F(DR_MIX, 0),        F(DR_CH, 0),         F(DR_SW2, 0),        F(DR_UP1, 100),
    F(DR_UP_CH1, 100),   F(DR_UP_CH2, 100),   F(DR_UP_CH3, 100),   F(DR_UP_CH4, 100),
    F(DR_DOWN1, 100),    F(DR_DOWN_CH1, 100), F(DR_DOWN_CH2, 100), F(DR_DOWN_CH3, 100),
    F(DR_DOWN_CH4, 100), F(AttiM, 4),         F(Atti1, 14),        F(Atti2, 29),
    F(Atti3, 44),        F(Atti4, 56),        F(Atti5, 69),        F(Atti6, 88),
    F(EleMix, 0),        F(Elev01, 100),      F(Elev02, 100),      F(Elev03, 100),
    F(Elev04, -100),     F(Elev05, 100),      F(Elev06, 100),      F(RuMix, 0),
    F(Ru1, 50),          F(Ru2, -50),         F(Ru3, 50),          F(Ru4, 50),
    F(AUX5, 1),          F(AUX6, 3),          F(AUX7, 0),          F(AUX8, 2),
    F(Volt_x10, 37),     F(Mode, 2),          F(PRM01_Mix, 0),     F(PRM01_Master, 0),
    F(PRM01_Slave, 3),   F(PRM01_Data1, 0),   F(PRM01_Data2, 0),   F(PRM01_Data3, 0),
    F(PRM02_Mix, 0),     F(PRM02_Master, 1),  F(PRM02_Slave, 5),   F(PRM02_Data1, 0),
    F(PRM02_Data2, 0),   F(PRM02_Data3, 0),
};

const FactoryValue kFactory2[] = {
    F(PRM03_Mix, 0),      F(PRM03_Master, 0),   F(PRM03_Slave, 3),     F(PRM03_Data1, 0),
    F(PRM03_Data2, 0),    F(PRM03_Data3, 0),    F(PRM04_Mix, 0),       F(PRM04_Master, 1),
    F(PRM04_Slave, 5),    F(PRM04_Data1, 0),    F(PRM04_Data2, 0),     F(PRM04_Data3, 0),
    F(Spare1_x10, 110),   F(Spare2, -100),      F(THCURE_MIX, 0),      F(THCURE_Spare, 0),
    F(THCURE_Data01, 0),  F(THCURE_Data02, 16), F(THCURE_Data03, 33),  F(THCURE_Data04, 50),
    F(THCURE_Data05, 67), F(THCURE_Data06, 84), F(THCURE_Data07, 100), F(DR_POSI, 0),
    F(DR_EXPUP_CH1, 0),   F(DR_EXPUP_CH2, 0),   F(DR_EXPUP_CH3, 0),    F(DR_EXPUP_CH4, 0),
    F(DR_EXPDOWN_CH1, 0), F(DR_EXPDOWN_CH2, 0), F(DR_EXPDOWN_CH3, 0),  F(DR_EXPDOWN_CH4, 0),
    F(DR_EXP, 0),
};

#undef F

template<std::size_t N> void apply(ParamStore &store, const FactoryValue (&table)[N])
{
    for (const FactoryValue &f : table)
        store.*f.member = f.value;
}

} // namespace

void applyFactoryFramesSGAndRates(ParamStore &store)
{
    apply(store, kFactory1);
    store.Volt = 3.7;
}

void applyFactoryFrameHExceptRates(ParamStore &store)
{
    apply(store, kFactory2);
}

void applyFactoryValues(ParamStore &store)
{
    applyFactoryFramesSGAndRates(store);
    applyFactoryFrameHExceptRates(store);
}
