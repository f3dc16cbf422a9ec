// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Texts and bar positions of the live monitor. Digits beyond the shown ones are dropped,
// not rounded, so the read-outs never jump by more than the last digit.

// Transmitter voltage from hundredths of a volt: " 7.4V" below 10 V, "12.3 V" from 10 V on.
QString formatTxVolt(int hundredths);
// External voltage from tenths of a volt, in the same two shapes.
QString formatExtVolt(int tenths);
// Signal strength as a negative dBm figure, "null" when there is no signal.
QString formatRssi(int rssi);

// The two bars of a channel meet at the centre value 1000: the upper one grows upwards for
// values below it, the lower one downwards for values above it.
int upperBarValue(int servo);
int lowerBarValue(int servo);
