// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

// The dpi an X desktop asks for in its Xft.dpi resource, out of the resource text the server
// keeps on its root window; 0 when it names none.
int xftDpiFromResources(const QByteArray &resources);

// Chooses how Qt rounds the desktop's scale factor; must run before the application object.
void chooseScaleRounding();
