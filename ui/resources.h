// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// Registers the images and style sheets compiled into the program. Call once, before the
// main window is built; the resources live in a static library, so the linker needs this
// reference to keep them.
void korvaInitResources();
