// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// How many refresh passes found the pointer over each parameter combo box (0..20), in the
// order the panels show the boxes: their order in panelrows.def.
constexpr int kHoverCounterCount = 39;
extern int HoverCount[kHoverCounterCount];
