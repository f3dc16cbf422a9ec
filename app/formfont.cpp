// SPDX-License-Identifier: GPL-3.0-or-later
#include "formfont.h"

#include <QApplication>
#include <QFont>
#include <QFontMetricsF>

#include <algorithm>

namespace {

// Arial Bold's advance widths in 1/2048 em, for the characters the form's texts are made of.
struct Advance
{
    char c;
    int width;
};
constexpr Advance kArialBold[] = {
    {'A', 1479}, {'B', 1479}, {'C', 1479}, {'D', 1479}, {'E', 1366}, {'F', 1251}, {'G', 1593},
    {'H', 1479}, {'I', 569},  {'J', 1139}, {'K', 1479}, {'L', 1251}, {'M', 1706}, {'N', 1479},
    {'O', 1593}, {'P', 1366}, {'Q', 1593}, {'R', 1479}, {'S', 1366}, {'T', 1251}, {'U', 1479},
    {'V', 1366}, {'W', 1933}, {'X', 1366}, {'Y', 1366}, {'Z', 1251}, {'a', 1139}, {'b', 1251},
    {'c', 1139}, {'d', 1251}, {'e', 1139}, {'f', 682},  {'g', 1251}, {'h', 1251}, {'i', 569},
    {'j', 569},  {'k', 1139}, {'l', 569},  {'m', 1821}, {'n', 1251}, {'o', 1251}, {'p', 1251},
    {'q', 1251}, {'r', 797},  {'s', 1139}, {'t', 682},  {'u', 1251}, {'v', 1139}, {'w', 1593},
    {'x', 1139}, {'y', 1139}, {'z', 1024}, {'0', 1139}, {'1', 1139}, {'2', 1139}, {'3', 1139},
    {'4', 1139}, {'5', 1139}, {'6', 1139}, {'7', 1139}, {'8', 1139}, {'9', 1139}, {':', 682},
    {'-', 682},  {'.', 569},  {'/', 569},  {'&', 1479}, {',', 569},  {'%', 1821},
};
constexpr int kEm = 2048;

// The form's texts that have the least room to spare: captions, bounds and live read-outs.
const char *const kTightTexts[] = {"OFFSET:",   "DOWN:",  "POINT7:", "STK-MODE:",
                                   "TX-ALARM:", "ATTI1:", "-100",    "99.99",
                                   "2000",      "-44dBm", "ttyUSB0"};

int arialWidth(const char *text)
{
    int width = 0;
    for (; *text; ++text) {
        for (const Advance &a : kArialBold)
            width += a.c == *text ? a.width : 0;
    }
    return width;
}

// How far the font that stands in for Arial must be narrowed for none of these texts to be
// wider than with Arial: 100 when it is Arial or a metric twin.
int stretchForArialMetrics(QFont font)
{
    font.setBold(true);
    font.setPixelSize(kEm);
    const QFontMetricsF metrics(font);
    double ratio = 1.0;
    for (const char *text : kTightTexts)
        ratio = std::min(ratio, arialWidth(text) / metrics.horizontalAdvance(QLatin1String(text)));
    return ratio > 0.995 ? 100 : int(ratio * 100);
}

} // namespace

void useFormFont()
{
    QFont font = QApplication::font();
    font.setFamily(QStringLiteral("Arial"));
    // Without Arial or a metric twin the form's boxes are too narrow for the texts: the font
    // that stands in for it is narrowed instead, keeping its height. Widgets that ask for Arial
    // by name inherit the stretch.
    const int stretch = stretchForArialMetrics(font);
    if (stretch != 100)
        font.setStretch(stretch);
    QApplication::setFont(font);
}
