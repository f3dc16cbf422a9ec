// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QVector>

// One row of the range check: a value outside [low, high] is replaced.
struct RangeRule
{
    IntField member;
    qint32 low;
    qint32 high;
    qint32 replacement;
};

const RangeRule *rangeRulesBegin();
const RangeRule *rangeRulesEnd();
// The rule for a field, or nullptr when the field has no valid range.
const RangeRule *findRangeRule(IntField member);

constexpr double kVoltLow = 0.0;
constexpr double kVoltHigh = 50.0;

// A value the range check put back into range: what arrived and what is kept instead.
struct RangeReplacement
{
    IntField member;
    qint32 received;
    qint32 stored;
};

// Puts every field that has a valid range back into it. Fields without a range
// (DR_RATE, Vertion, the live values, ReadFlag) are left alone. Volt has no fixed
// replacement: when either form of the alarm voltage is replaced, Volt is taken again
// from the checked Volt_x10. Returns what it replaced, in table order, so that no value is
// changed without the pilot being able to hear of it.
QVector<RangeReplacement> replaceOutOfRangeValues(ParamStore &store);
