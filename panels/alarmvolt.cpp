// SPDX-License-Identifier: GPL-3.0-or-later
#include "alarmvolt.h"

#include <QtGlobal>

double alarmVoltShown(double volt)
{
    return qBound(0.0, volt, kAlarmTenthsMost / 10.0);
}

void editAlarmVolt(ParamStore &store, double shown)
{
    // The refresh does not block the box's signal, so every value it puts there comes back
    // here. That echo is no edit: taking it would overwrite an out-of-range voltage with the
    // bound before the range check can give it its fallback, and could move a good one by
    // rounding. The box works in hundredths, the frame in tenths; compare in what is sent.
    const int tenths = qBound(0, qRound(shown * 10.0), kAlarmTenthsMost);
    if (tenths == qRound(alarmVoltShown(store.Volt) * 10.0))
        return;
    // Volt is derived from what will be sent, so the next refresh shows exactly that.
    store.Volt_x10 = tenths;
    store.Volt = tenths / 10.0;
}
