#include "resources.h"

#include <QtGlobal>

void korvaInitResources()
{
    Q_INIT_RESOURCE(resources);
}
