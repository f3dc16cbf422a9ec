// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

// The S frame carries the alarm voltage as tenths plus 16 in two hexadecimal digits, so
// 23.9 V is the most a write or a saved file can hold; doubleSpinBox_Volt's own range goes
// further, so the box is bounded here instead.
constexpr int kAlarmTenthsMost = 0xFF - 16;

// What doubleSpinBox_Volt shows for the stored voltage.
double alarmVoltShown(double volt);

// Takes the value doubleSpinBox_Volt now shows into both forms of the alarm voltage.
void editAlarmVolt(ParamStore &store, double shown);
