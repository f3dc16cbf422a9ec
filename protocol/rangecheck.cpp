// SPDX-License-Identifier: GPL-3.0-or-later
#include "rangecheck.h"

#include <iterator>

namespace {

#define R(field, low, high, replacement)                                                           \
    {                                                                                              \
        &ParamStore::field, low, high, replacement                                                 \
    }

const RangeRule kRangeRules[] = {
    R(rev1, 0, 1, 0),
    R(rev2, 0, 1, 0),
    R(rev3, 0, 1, 1),
    R(rev4, 0, 1, 0),
    R(rev5, 0, 1, 0),
    R(rev6, 0, 1, 0),
    R(rev7, 0, 1, 0),
    R(rev8, 0, 1, 0),

    R(sub1, -100, 100, 0),
    R(sub2, -100, 100, 0),
    R(sub3, -100, 100, 0),
    R(sub4, -100, 100, 0),
    R(sub5, -100, 100, 0),
    R(sub6, -100, 100, 0),
    R(sub7, -100, 100, 0),
    R(sub8, -100, 100, 0),

    R(Lepa1, 0, 120, 96),
    R(Lepa2, 0, 120, 96),
    R(Lepa3, 0, 120, 96),
    R(Lepa4, 0, 120, 96),
    R(Lepa5, 0, 120, 96),
    R(Lepa6, 0, 120, 96),
    R(Lepa7, 0, 120, 96),
    R(Lepa8, 0, 120, 96),
    R(Repa1, 0, 120, 96),
    R(Repa2, 0, 120, 96),
    R(Repa3, 0, 120, 96),
    R(Repa4, 0, 120, 96),
    R(Repa5, 0, 120, 96),
    R(Repa6, 0, 120, 96),
    R(Repa7, 0, 120, 96),
    R(Repa8, 0, 120, 96),

    // Channel 3 is the throttle: it fails safe to 0, the others to centre.
    R(FS1, 0, 100, 50),
    R(FS2, 0, 100, 50),
    R(FS3, 0, 100, 0),
    R(FS4, 0, 100, 50),
    R(FS5, 0, 100, 50),
    R(FS6, 0, 100, 50),
    R(FS7, 0, 100, 50),
    R(FS8, 0, 100, 50),

    R(delay1, 0, 100, 100),
    R(delay2, 0, 100, 100),
    R(delay3, 0, 100, 100),
    R(delay4, 0, 100, 100),
    R(delay5, 0, 100, 100),
    R(delay6, 0, 100, 100),
    R(delay7, 0, 100, 100),
    R(delay8, 0, 100, 100),

    R(AUX5, 0, 5, 1),
    R(AUX6, 0, 5, 3),
    R(AUX7, 0, 5, 0),
    R(AUX8, 0, 5, 2),

    R(Volt_x10, 0, 500, 37),
    R(Mode, 0, 4, 1),

    R(AttiM, 0, 5, 4),
    R(Atti1, 0, 100, 14),
    R(Atti2, 0, 100, 29),
    R(Atti3, 0, 100, 44),
    R(Atti4, 0, 100, 56),
    R(Atti5, 0, 100, 69),
    R(Atti6, 0, 100, 88),

    R(EleMix, 0, 1, 0),
    R(Elev01, -100, 100, 100),
    R(Elev02, -100, 100, 100),
    R(Elev03, -100, 100, 100),
    R(Elev04, -100, 100, -100),
    R(Elev05, -100, 100, 100),
    R(Elev06, -100, 100, 100),

    R(RuMix, 0, 1, 0),
    R(Ru1, -100, 100, 50),
    R(Ru2, -100, 100, -50),
    R(Ru3, -100, 100, 50),
    R(Ru4, -100, 100, 50),

    R(DR_MIX, 0, 1, 0),
    R(DR_CH, 0, 4, 0),
    R(DR_SW2, 0, 2, 0),
    R(DR_POSI, 0, 4, 0),
    R(DR_UP_CH1, 0, 100, 100),
    R(DR_UP_CH2, 0, 100, 100),
    R(DR_UP_CH3, 0, 100, 100),
    R(DR_UP_CH4, 0, 100, 100),
    R(DR_DOWN_CH1, 0, 100, 100),
    R(DR_DOWN_CH2, 0, 100, 100),
    R(DR_DOWN_CH3, 0, 100, 100),
    R(DR_DOWN_CH4, 0, 100, 100),
    R(DR_EXPUP_CH1, -100, 100, 0),
    R(DR_EXPUP_CH2, -100, 100, 0),
    R(DR_EXPUP_CH3, -100, 100, 0),
    R(DR_EXPUP_CH4, -100, 100, 0),
    R(DR_EXPDOWN_CH1, -100, 100, 0),
    R(DR_EXPDOWN_CH2, -100, 100, 0),
    R(DR_EXPDOWN_CH3, -100, 100, 0),
    R(DR_EXPDOWN_CH4, -100, 100, 0),
    R(DR_UP1, 0, 100, 100),
    R(DR_DOWN1, 0, 100, 100),
    R(DR_EXP, -100, 100, 0),
    R(Spare1_x10, 0, 1000, 110),
    R(Spare2, -100, 0, -100),

    R(PRM01_Mix, 0, 2, 0),
    R(PRM01_Master, 0, 10, 0),
    R(PRM01_Slave, 0, 10, 3),
    R(PRM01_Data1, -100, 100, 0),
    R(PRM01_Data2, -100, 100, 0),
    R(PRM01_Data3, -100, 100, 0),
    R(PRM02_Mix, 0, 2, 0),
    R(PRM02_Master, 0, 10, 1),
    R(PRM02_Slave, 0, 10, 5),
    R(PRM02_Data1, -100, 100, 0),
    R(PRM02_Data2, -100, 100, 0),
    R(PRM02_Data3, -100, 100, 0),
    R(PRM03_Mix, 0, 2, 0),
    R(PRM03_Master, 0, 10, 0),
    R(PRM03_Slave, 0, 10, 3),
    R(PRM03_Data1, -100, 100, 0),
    R(PRM03_Data2, -100, 100, 0),
    R(PRM03_Data3, -100, 100, 0),
    R(PRM04_Mix, 0, 2, 0),
    R(PRM04_Master, 0, 10, 1),
    R(PRM04_Slave, 0, 10, 5),
    R(PRM04_Data1, -100, 100, 0),
    R(PRM04_Data2, -100, 100, 0),
    R(PRM04_Data3, -100, 100, 0),

    R(THCURE_MIX, 0, 5, 0),
    R(THCURE_Spare, 0, 4, 0),
    R(THCURE_Data01, 0, 100, 0),
    R(THCURE_Data02, 0, 100, 16),
    R(THCURE_Data03, 0, 100, 33),
    R(THCURE_Data04, 0, 100, 50),
    R(THCURE_Data05, 0, 100, 67),
    R(THCURE_Data06, 0, 100, 84),
    R(THCURE_Data07, 0, 100, 100),
};

#undef R

} // namespace

const RangeRule *rangeRulesBegin()
{
    return std::begin(kRangeRules);
}
const RangeRule *rangeRulesEnd()
{
    return std::end(kRangeRules);
}

const RangeRule *findRangeRule(IntField member)
{
    for (const RangeRule &rule : kRangeRules) {
        if (rule.member == member)
            return &rule;
    }
    return nullptr;
}

QVector<RangeReplacement> replaceOutOfRangeValues(ParamStore &store)
{
    QVector<RangeReplacement> replaced;
    const qint32 tenthsBefore = store.Volt_x10;
    for (const RangeRule &rule : kRangeRules) {
        qint32 &value = store.*rule.member;
        if (value < rule.low || value > rule.high) {
            replaced.append({rule.member, value, rule.replacement});
            value = rule.replacement;
        }
    }
    // Volt is shown and Volt_x10 is sent: a fallback of either takes the other with it, so
    // the panel never shows one voltage while another goes out. Written so that a NaN fails.
    if (store.Volt_x10 != tenthsBefore || !(store.Volt >= kVoltLow && store.Volt <= kVoltHigh))
        store.Volt = store.Volt_x10 / 10.0;
    return replaced;
}
