// SPDX-License-Identifier: GPL-3.0-or-later
#include "resources.h"

#include <QtGlobal>

void korvaInitResources()
{
    Q_INIT_RESOURCE(resources);
}
