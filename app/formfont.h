// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The form is laid out in fixed pixels for Arial's metrics, and its tabs, group titles and port
// box ask for "Arial" by name; every other widget takes the application font. This makes that
// font Arial too (on Linux, fontconfig gives its metric twin, Liberation Sans), at the size the
// desktop chose, so that every text of the form is measured alike. Call it once the
// QApplication exists and before the window is made.
void useFormFont();
