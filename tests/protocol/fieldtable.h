// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QStringList>
#include <QVector>
#include <QtNumeric>

// What the protocol tests expect of every integer field of the store: its start value and,
// where it has one, its valid range and the value the range check puts in its place.
// Written out field by field, apart from the library's own tables and not generated from
// them, so that a wrong row there shows up here.
struct ExpectedField
{
    const char *name;
    IntField member;
    qint32 start;
    bool ranged;
    qint32 low;
    qint32 high;
    qint32 replacement;
};

#define KT_RANGED(f, start, low, high, repl)                                                       \
    {                                                                                              \
#f, &ParamStore::f, start, true, low, high, repl                                           \
    }
#define KT_FREE(f, start)                                                                          \
    {                                                                                              \
#f, &ParamStore::f, start, false, 0, 0, 0                                                  \
    }

inline const QVector<ExpectedField> &expectedFields()
{
    static const QVector<ExpectedField> fields = {
        KT_RANGED(rev1, 0, 0, 1, 0),
        KT_RANGED(rev2, 0, 0, 1, 0),
        KT_RANGED(rev3, 1, 0, 1, 1),
        KT_RANGED(rev4, 0, 0, 1, 0),
        KT_RANGED(rev5, 0, 0, 1, 0),
        KT_RANGED(rev6, 0, 0, 1, 0),
        KT_RANGED(rev7, 0, 0, 1, 0),
        KT_RANGED(rev8, 0, 0, 1, 0),

        KT_RANGED(sub1, 0, -100, 100, 0),
        KT_RANGED(sub2, 0, -100, 100, 0),
        KT_RANGED(sub3, 0, -100, 100, 0),
        KT_RANGED(sub4, 0, -100, 100, 0),
        KT_RANGED(sub5, 0, -100, 100, 0),
        KT_RANGED(sub6, 0, -100, 100, 0),
        KT_RANGED(sub7, 0, -100, 100, 0),
        KT_RANGED(sub8, 0, -100, 100, 0),

        KT_RANGED(Lepa1, 96, 0, 120, 96),
        KT_RANGED(Lepa2, 96, 0, 120, 96),
        KT_RANGED(Lepa3, 96, 0, 120, 96),
        KT_RANGED(Lepa4, 96, 0, 120, 96),
        KT_RANGED(Lepa5, 96, 0, 120, 96),
        KT_RANGED(Lepa6, 96, 0, 120, 96),
        KT_RANGED(Lepa7, 96, 0, 120, 96),
        KT_RANGED(Lepa8, 96, 0, 120, 96),

        KT_RANGED(Repa1, 96, 0, 120, 96),
        KT_RANGED(Repa2, 96, 0, 120, 96),
        KT_RANGED(Repa3, 96, 0, 120, 96),
        KT_RANGED(Repa4, 96, 0, 120, 96),
        KT_RANGED(Repa5, 96, 0, 120, 96),
        KT_RANGED(Repa6, 96, 0, 120, 96),
        KT_RANGED(Repa7, 96, 0, 120, 96),
        KT_RANGED(Repa8, 96, 0, 120, 96),

        KT_RANGED(FS1, 50, 0, 100, 50),
        KT_RANGED(FS2, 50, 0, 100, 50),
        KT_RANGED(FS3, 0, 0, 100, 0),
        KT_RANGED(FS4, 50, 0, 100, 50),
        KT_RANGED(FS5, 50, 0, 100, 50),
        KT_RANGED(FS6, 50, 0, 100, 50),
        KT_RANGED(FS7, 50, 0, 100, 50),
        KT_RANGED(FS8, 50, 0, 100, 50),

        KT_RANGED(delay1, 100, 0, 100, 100),
        KT_RANGED(delay2, 100, 0, 100, 100),
        KT_RANGED(delay3, 100, 0, 100, 100),
        KT_RANGED(delay4, 100, 0, 100, 100),
        KT_RANGED(delay5, 100, 0, 100, 100),
        KT_RANGED(delay6, 100, 0, 100, 100),
        KT_RANGED(delay7, 100, 0, 100, 100),
        KT_RANGED(delay8, 100, 0, 100, 100),

        KT_RANGED(AUX5, 1, 0, 5, 1),
        KT_RANGED(AUX6, 3, 0, 5, 3),
        KT_RANGED(AUX7, 0, 0, 5, 0),
        KT_RANGED(AUX8, 2, 0, 5, 2),

        KT_RANGED(Volt_x10, 37, 0, 500, 37),
        KT_RANGED(Mode, 1, 0, 4, 1),
        KT_FREE(Vertion, 0),

        KT_RANGED(AttiM, 4, 0, 5, 4),
        KT_RANGED(Atti1, 14, 0, 100, 14),
        KT_RANGED(Atti2, 29, 0, 100, 29),
        KT_RANGED(Atti3, 44, 0, 100, 44),
        KT_RANGED(Atti4, 56, 0, 100, 56),
        KT_RANGED(Atti5, 69, 0, 100, 69),
        KT_RANGED(Atti6, 88, 0, 100, 88),

        KT_RANGED(EleMix, 0, 0, 1, 0),
        KT_RANGED(Elev01, 100, -100, 100, 100),
        KT_RANGED(Elev02, 100, -100, 100, 100),
        KT_RANGED(Elev03, 100, -100, 100, 100),
        KT_RANGED(Elev04, -100, -100, 100, -100),
        KT_RANGED(Elev05, 100, -100, 100, 100),
        KT_RANGED(Elev06, 100, -100, 100, 100),

        KT_RANGED(RuMix, 0, 0, 1, 0),
        KT_RANGED(Ru1, 50, -100, 100, 50),
        KT_RANGED(Ru2, -50, -100, 100, -50),
        KT_RANGED(Ru3, 50, -100, 100, 50),
        KT_RANGED(Ru4, 50, -100, 100, 50),

        KT_RANGED(DR_MIX, 0, 0, 1, 0),
        KT_RANGED(DR_CH, 0, 0, 4, 0),
        KT_RANGED(DR_SW2, 0, 0, 2, 0),
        KT_RANGED(DR_POSI, 0, 0, 4, 0),
        KT_RANGED(DR_UP_CH1, 100, 0, 100, 100),
        KT_RANGED(DR_UP_CH2, 100, 0, 100, 100),
        KT_RANGED(DR_UP_CH3, 100, 0, 100, 100),
        KT_RANGED(DR_UP_CH4, 100, 0, 100, 100),
        KT_RANGED(DR_DOWN_CH1, 100, 0, 100, 100),
        KT_RANGED(DR_DOWN_CH2, 100, 0, 100, 100),
        KT_RANGED(DR_DOWN_CH3, 100, 0, 100, 100),
        KT_RANGED(DR_DOWN_CH4, 100, 0, 100, 100),
        KT_RANGED(DR_EXPUP_CH1, 0, -100, 100, 0),
        KT_RANGED(DR_EXPUP_CH2, 0, -100, 100, 0),
        KT_RANGED(DR_EXPUP_CH3, 0, -100, 100, 0),
        KT_RANGED(DR_EXPUP_CH4, 0, -100, 100, 0),
        KT_RANGED(DR_EXPDOWN_CH1, 0, -100, 100, 0),
        KT_RANGED(DR_EXPDOWN_CH2, 0, -100, 100, 0),
        KT_RANGED(DR_EXPDOWN_CH3, 0, -100, 100, 0),
        KT_RANGED(DR_EXPDOWN_CH4, 0, -100, 100, 0),
        KT_RANGED(DR_UP1, 100, 0, 100, 100),
        KT_RANGED(DR_DOWN1, 100, 0, 100, 100),
        KT_FREE(DR_RATE, 100),
        KT_RANGED(DR_EXP, 0, -100, 100, 0),
        KT_RANGED(Spare1_x10, 110, 0, 1000, 110),
        KT_RANGED(Spare2, -100, -100, 0, -100),

        KT_RANGED(PRM01_Mix, 0, 0, 2, 0),
        KT_RANGED(PRM01_Master, 0, 0, 10, 0),
        KT_RANGED(PRM01_Slave, 3, 0, 10, 3),
        KT_RANGED(PRM01_Data1, 0, -100, 100, 0),
        KT_RANGED(PRM01_Data2, 0, -100, 100, 0),
        KT_RANGED(PRM01_Data3, 0, -100, 100, 0),
        KT_RANGED(PRM02_Mix, 0, 0, 2, 0),
        KT_RANGED(PRM02_Master, 1, 0, 10, 1),
        KT_RANGED(PRM02_Slave, 5, 0, 10, 5),
        KT_RANGED(PRM02_Data1, 0, -100, 100, 0),
        KT_RANGED(PRM02_Data2, 0, -100, 100, 0),
        KT_RANGED(PRM02_Data3, 0, -100, 100, 0),
        KT_RANGED(PRM03_Mix, 0, 0, 2, 0),
        KT_RANGED(PRM03_Master, 0, 0, 10, 0),
        KT_RANGED(PRM03_Slave, 3, 0, 10, 3),
        KT_RANGED(PRM03_Data1, 0, -100, 100, 0),
        KT_RANGED(PRM03_Data2, 0, -100, 100, 0),
        KT_RANGED(PRM03_Data3, 0, -100, 100, 0),
        KT_RANGED(PRM04_Mix, 0, 0, 2, 0),
        KT_RANGED(PRM04_Master, 1, 0, 10, 1),
        KT_RANGED(PRM04_Slave, 5, 0, 10, 5),
        KT_RANGED(PRM04_Data1, 0, -100, 100, 0),
        KT_RANGED(PRM04_Data2, 0, -100, 100, 0),
        KT_RANGED(PRM04_Data3, 0, -100, 100, 0),

        KT_RANGED(THCURE_MIX, 0, 0, 5, 0),
        KT_RANGED(THCURE_Spare, 0, 0, 4, 0),
        KT_RANGED(THCURE_Data01, 0, 0, 100, 0),
        KT_RANGED(THCURE_Data02, 16, 0, 100, 16),
        KT_RANGED(THCURE_Data03, 33, 0, 100, 33),
        KT_RANGED(THCURE_Data04, 50, 0, 100, 50),
        KT_RANGED(THCURE_Data05, 67, 0, 100, 67),
        KT_RANGED(THCURE_Data06, 84, 0, 100, 84),
        KT_RANGED(THCURE_Data07, 100, 0, 100, 100),

        KT_FREE(Servo1, 1000),
        KT_FREE(Servo2, 1000),
        KT_FREE(Servo3, 1000),
        KT_FREE(Servo4, 1000),
        KT_FREE(Servo5, 1000),
        KT_FREE(Servo6, 1000),
        KT_FREE(Servo7, 1000),
        KT_FREE(Servo8, 1000),
        KT_FREE(TX_Volt, 0),
        KT_FREE(RSSI, 0),
        KT_FREE(EXT_Volt, 0),

        KT_FREE(ReadFlag, 0),
    };
    return fields;
}

#undef KT_RANGED
#undef KT_FREE

inline const ExpectedField *expectedField(IntField member)
{
    for (const ExpectedField &f : expectedFields()) {
        if (f.member == member)
            return &f;
    }
    return nullptr;
}

// A store in which every integer field holds `value`, to see which fields an operation writes.
inline ParamStore filledStore(qint32 value, double volt)
{
    ParamStore s;
    for (const ExpectedField &f : expectedFields())
        s.*f.member = value;
    s.Volt = volt;
    return s;
}

// Names of the fields in which two stores differ ("Volt" included).
inline QStringList differingFields(const ParamStore &a, const ParamStore &b)
{
    QStringList names;
    for (const ExpectedField &f : expectedFields()) {
        if (a.*f.member != b.*f.member)
            names << QLatin1String(f.name);
    }
    if (!(a.Volt == b.Volt) && !(qIsNaN(a.Volt) && qIsNaN(b.Volt)))
        names << QStringLiteral("Volt");
    return names;
}
