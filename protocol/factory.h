// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

// Factory values, in two parts that a reset applies one after the other. None of them
// touches DR_RATE, Vertion or the live values.

// Every setting of the S and G frames, the four-channel D/R rate tables, DR_SW2 and both
// forms of the alarm voltage.
void applyFactoryFramesSGAndRates(ParamStore &store);
// The rest of the H frame (mixes 3 and 4, the throttle curve, the D/R switch position and
// exponential tables, the spares) and the DR_EXP mirror.
void applyFactoryFrameHExceptRates(ParamStore &store);
// Both parts: the whole reset.
void applyFactoryValues(ParamStore &store);
