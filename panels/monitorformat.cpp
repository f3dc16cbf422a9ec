// SPDX-License-Identifier: GPL-3.0-or-later
#include "monitorformat.h"

#include "decoder.h"

namespace {

QString d(int x)
{
    return QString::number(x, 10);
}

// tenths: value in tenths of a volt
QString voltText(int tenths)
{
    if (tenths <= 99)
        return QLatin1Char(' ') + d((tenths / 10) % 10) + QLatin1Char('.') + d(tenths % 10) +
               QLatin1Char('V');
    return d((tenths / 100) % 10) + d((tenths / 10) % 10) + QLatin1Char('.') + d(tenths % 10) +
           QLatin1String(" V");
}

} // namespace

QString formatTxVolt(int hundredths)
{
    return voltText(hundredths / 10);
}

QString formatExtVolt(int tenths)
{
    return voltText(tenths);
}

QString formatRssi(int rssi)
{
    int n = -rssiDbm(rssi);
    if (n > 99)
        return QStringLiteral("null");
    // A byte above 100 would put the level above 0 dBm, which no receiver reports; show the
    // strongest level instead of a broken text.
    if (n < 0)
        n = 0;
    return QLatin1Char('-') + d((n / 10) % 10) + d(n % 10) + QLatin1String("dBm");
}

int upperBarValue(int servo)
{
    return servo <= 999 ? 1010 - servo : 10;
}

int lowerBarValue(int servo)
{
    return servo <= 1000 ? 1000 : 2000 - servo;
}
