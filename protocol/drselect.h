// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

// The dual-rate widgets edit one entry of four per-channel tables through four mirror
// fields (DR_UP1, DR_DOWN1, DR_RATE, DR_EXP). DR_CH picks the channel (0..3, anything else
// selects none), DR_POSI the switch position (0 = UP, anything else = DOWN).

// Copies the selected table entries into the mirrors; does nothing when no channel is selected.
void selectDualRateEntry(ParamStore &store);

// The edits of the mirror widgets: store the mirror, write it through to the selected
// table entry (when a channel is selected), then re-select.
void drEditUp1(ParamStore &store, int value);
void drEditDown1(ParamStore &store, int value);
void drEditRate(ParamStore &store, int value);
void drEditExp(ParamStore &store, int value);
