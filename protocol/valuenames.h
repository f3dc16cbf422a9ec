// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QString>
#include <QStringList>

// The names the window gives the values of a setting: the items of the setting's combo box,
// the value being the item's index. Empty for settings the window shows as numbers.
QStringList valueNames(IntField member);

// A value as the window shows it: its name, or the number where there is no name for it
// (a number setting, or a value past the end of the list, which the range check can admit).
QString valueText(IntField member, qint32 value);

// The only item of the boxes of AUX1 to AUX4, which no setting stands behind.
QString unassignedAuxName();
