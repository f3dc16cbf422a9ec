// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

// Factory values. restData covers the S and G frames, the four-channel D/R rate tables,
// DR_SW2 and both forms of the alarm voltage; restData2 the rest of the H frame and DR_EXP.
// Neither touches DR_RATE, Vertion or the live values.
void restData(ParamStore &store);
void restData2(ParamStore &store);
