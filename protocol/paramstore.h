// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtGlobal>

// Every integer field of the parameter store with its start value, in one list so that the
// struct, the name table and anything that walks all fields cannot disagree.
// Field names follow the form's widget names and are kept exactly, misspellings included.
// clang-format off
#define KORVA_INT_FIELDS(X)                                                                        \
    /* per channel: reverse, sub-trim, end points, fail-safe, delay */                              \
    X(rev1, 0) X(rev2, 0) X(rev3, 1) X(rev4, 0) X(rev5, 0) X(rev6, 0) X(rev7, 0) X(rev8, 0)        \
    X(sub1, 0) X(sub2, 0) X(sub3, 0) X(sub4, 0) X(sub5, 0) X(sub6, 0) X(sub7, 0) X(sub8, 0)        \
    X(Lepa1, 96) X(Lepa2, 96) X(Lepa3, 96) X(Lepa4, 96)                                            \
    X(Lepa5, 96) X(Lepa6, 96) X(Lepa7, 96) X(Lepa8, 96)                                            \
    X(Repa1, 96) X(Repa2, 96) X(Repa3, 96) X(Repa4, 96)                                            \
    X(Repa5, 96) X(Repa6, 96) X(Repa7, 96) X(Repa8, 96)                                            \
    X(FS1, 50) X(FS2, 50) X(FS3, 0) X(FS4, 50) X(FS5, 50) X(FS6, 50) X(FS7, 50) X(FS8, 50)        \
    X(delay1, 100) X(delay2, 100) X(delay3, 100) X(delay4, 100)                                    \
    X(delay5, 100) X(delay6, 100) X(delay7, 100) X(delay8, 100)                                    \
    /* auxiliary channel sources */                                                                \
    X(AUX5, 1) X(AUX6, 3) X(AUX7, 0) X(AUX8, 2)                                                    \
    /* alarm voltage (tenths), stick mode, firmware version */                                     \
    X(Volt_x10, 37) X(Mode, 1) X(Vertion, 0)                                                       \
    /* attitude, elevon, V-tail */                                                                 \
    X(AttiM, 4) X(Atti1, 14) X(Atti2, 29) X(Atti3, 44) X(Atti4, 56) X(Atti5, 69) X(Atti6, 88)      \
    X(EleMix, 0) X(Elev01, 100) X(Elev02, 100) X(Elev03, 100) X(Elev04, -100) X(Elev05, 100)       \
    X(Elev06, 100)                                                                                 \
    X(RuMix, 0) X(Ru1, 50) X(Ru2, -50) X(Ru3, 50) X(Ru4, 50)                                       \
    /* dual rate: selection, four-channel tables, mirrors of the selected entry */                 \
    X(DR_MIX, 0) X(DR_CH, 0) X(DR_SW2, 0) X(DR_POSI, 0)                                            \
    X(DR_UP_CH1, 100) X(DR_UP_CH2, 100) X(DR_UP_CH3, 100) X(DR_UP_CH4, 100)                        \
    X(DR_DOWN_CH1, 100) X(DR_DOWN_CH2, 100) X(DR_DOWN_CH3, 100) X(DR_DOWN_CH4, 100)                \
    X(DR_EXPUP_CH1, 0) X(DR_EXPUP_CH2, 0) X(DR_EXPUP_CH3, 0) X(DR_EXPUP_CH4, 0)                    \
    X(DR_EXPDOWN_CH1, 0) X(DR_EXPDOWN_CH2, 0) X(DR_EXPDOWN_CH3, 0) X(DR_EXPDOWN_CH4, 0)            \
    X(DR_UP1, 100) X(DR_DOWN1, 100) X(DR_RATE, 100) X(DR_EXP, 0)                                   \
    X(Spare1_x10, 110) X(Spare2, -100)                                                             \
    /* programmable mixes */                                                                       \
    X(PRM01_Mix, 0) X(PRM01_Master, 0) X(PRM01_Slave, 3)                                           \
    X(PRM01_Data1, 0) X(PRM01_Data2, 0) X(PRM01_Data3, 0)                                          \
    X(PRM02_Mix, 0) X(PRM02_Master, 1) X(PRM02_Slave, 5)                                           \
    X(PRM02_Data1, 0) X(PRM02_Data2, 0) X(PRM02_Data3, 0)                                          \
    X(PRM03_Mix, 0) X(PRM03_Master, 0) X(PRM03_Slave, 3)                                           \
    X(PRM03_Data1, 0) X(PRM03_Data2, 0) X(PRM03_Data3, 0)                                          \
    X(PRM04_Mix, 0) X(PRM04_Master, 1) X(PRM04_Slave, 5)                                           \
    X(PRM04_Data1, 0) X(PRM04_Data2, 0) X(PRM04_Data3, 0)                                          \
    /* throttle curve */                                                                           \
    X(THCURE_MIX, 0) X(THCURE_Spare, 0)                                                            \
    X(THCURE_Data01, 0) X(THCURE_Data02, 16) X(THCURE_Data03, 33) X(THCURE_Data04, 50)             \
    X(THCURE_Data05, 67) X(THCURE_Data06, 84) X(THCURE_Data07, 100)                                \
    /* live values, shown and never sent */                                                        \
    X(Servo1, 1000) X(Servo2, 1000) X(Servo3, 1000) X(Servo4, 1000)                                \
    X(Servo5, 1000) X(Servo6, 1000) X(Servo7, 1000) X(Servo8, 1000)                                \
    X(TX_Volt, 0) X(RSSI, 0) X(EXT_Volt, 0)                                                        \
    /* number of the last settings frame kind received */                                          \
    X(ReadFlag, 0)
// clang-format on

// The parameter store: every transmitter setting and live value, as plain numbers.
// A default-constructed store holds the values the program starts with.
struct ParamStore
{
#define KORVA_DECLARE_FIELD(name, start) qint32 name = start;
    KORVA_INT_FIELDS(KORVA_DECLARE_FIELD)
#undef KORVA_DECLARE_FIELD

    // The alarm voltage in volts as shown and edited; the frames carry Volt_x10.
    double Volt = 0.0;
};

using IntField = qint32 ParamStore::*;

struct IntFieldInfo
{
    const char *name;
    IntField member;
};

// All integer fields in declaration order.
const IntFieldInfo *intFieldsBegin();
const IntFieldInfo *intFieldsEnd();
int intFieldCount();
// The field of that name, or nullptr.
const IntFieldInfo *findIntField(const char *name);
// The name of a field, or an empty string for a member that is not in the list.
const char *intFieldName(IntField member);

bool operator==(const ParamStore &a, const ParamStore &b);
inline bool operator!=(const ParamStore &a, const ParamStore &b)
{
    return !(a == b);
}

// The one store the application works on.
extern ParamStore ParamData;
