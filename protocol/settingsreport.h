// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"
#include "rangecheck.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

// What korva-cli prints about a set of settings: the table of `show`, the JSON of
// `show --json`, and the differences of `diff` and of the check after a write.

// Every setting, grouped like the window's pages, values named as the window names them.
QString settingsTable(const ParamStore &settings);

// One JSON object with every field of the store under its own name.
QByteArray settingsJson(const ParamStore &settings);

// The settings a parameter file carries, each once, in file order.
QVector<IntField> fileFields();

// The fields under the table's labels: what `show` prints, for checking that it leaves
// nothing out.
QVector<IntField> tableFields();

// A setting as `show` lays it out: its group, its row and its column, for example
// "Channels: Sub-trim CH3" or "Parameters: Alarm voltage".
QString settingLabel(IntField field);
// A setting's value as `show` prints it, for example "3.7 V" or "NOR".
QString settingText(IntField field, const ParamStore &settings);

struct FieldDifference
{
    const char *name;
    QString left; // as the window shows the value
    QString right;
};

// The fields among `fields` whose values differ, in the order given.
QVector<FieldDifference> differences(const ParamStore &left, const ParamStore &right,
                                     const QVector<IntField> &fields);

// The differences as a table with a header naming the two sides.
QString differenceTable(const QVector<FieldDifference> &list, const QString &leftTitle,
                        const QString &rightTitle);

// The names of the differing fields, for a one-line message.
QStringList differenceNames(const QVector<FieldDifference> &list);

// One line per value the range check replaced, for example
// "Channels: Sub-trim CH3: received 120, kept 0"; `stored` is the store after the check.
QStringList replacementLines(const QVector<RangeReplacement> &replaced, const ParamStore &stored);
