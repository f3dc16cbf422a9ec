// SPDX-License-Identifier: GPL-3.0-or-later
#include "settingsreport.h"

#include "frames.h"
#include "valuenames.h"

#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>

namespace {

using P = ParamStore;

constexpr int kLabelWidth = 18;
constexpr int kColumnWidth = 7;

struct Row
{
    const char *label;
    // A null entry is one of the AUX1..AUX4 boxes, which no setting stands behind.
    QVector<IntField> fields;
    bool volts = false; // Volt_x10 shown in volts
};

struct Section
{
    const char *title;
    QStringList columns;
    QVector<Row> rows;
    const char *note = nullptr; // printed under the rows
};

QStringList numberedColumns(const char *prefix, int count)
{
    QStringList columns;
    for (int i = 1; i <= count; ++i)
        columns.append(QLatin1String(prefix) + QString::number(i));
    return columns;
}

// The order follows the pages: BASIC, then the D/R, mix, curve and parameter groups of the
// ADVANCE pages.
const QVector<Section> &sections()
{
    static const QVector<Section> all = {
        {"Channels",
         numberedColumns("CH", 8),
         {
             {"Reverse",
              {&P::rev1, &P::rev2, &P::rev3, &P::rev4, &P::rev5, &P::rev6, &P::rev7, &P::rev8}},
             {"Sub-trim",
              {&P::sub1, &P::sub2, &P::sub3, &P::sub4, &P::sub5, &P::sub6, &P::sub7, &P::sub8}},
             {"End point L",
              {&P::Lepa1, &P::Lepa2, &P::Lepa3, &P::Lepa4, &P::Lepa5, &P::Lepa6, &P::Lepa7,
               &P::Lepa8}},
             {"End point R",
              {&P::Repa1, &P::Repa2, &P::Repa3, &P::Repa4, &P::Repa5, &P::Repa6, &P::Repa7,
               &P::Repa8}},
             {"Fail-safe",
              {&P::FS1, &P::FS2, &P::FS3, &P::FS4, &P::FS5, &P::FS6, &P::FS7, &P::FS8}},
             {"Delay",
              {&P::delay1, &P::delay2, &P::delay3, &P::delay4, &P::delay5, &P::delay6, &P::delay7,
               &P::delay8}},
             {"AUX source",
              {nullptr, nullptr, nullptr, nullptr, &P::AUX5, &P::AUX6, &P::AUX7, &P::AUX8}},
         }},
        {"Dual rate",
         numberedColumns("CH", 4),
         {
             {"Mix", {&P::DR_MIX}},
             {"Channel shown", {&P::DR_CH}},
             {"Switch", {&P::DR_SW2}},
             {"Position shown", {&P::DR_POSI}},
             {"Up rate", {&P::DR_UP_CH1, &P::DR_UP_CH2, &P::DR_UP_CH3, &P::DR_UP_CH4}},
             {"Down rate", {&P::DR_DOWN_CH1, &P::DR_DOWN_CH2, &P::DR_DOWN_CH3, &P::DR_DOWN_CH4}},
             {"Up exp", {&P::DR_EXPUP_CH1, &P::DR_EXPUP_CH2, &P::DR_EXPUP_CH3, &P::DR_EXPUP_CH4}},
             {"Down exp",
              {&P::DR_EXPDOWN_CH1, &P::DR_EXPDOWN_CH2, &P::DR_EXPDOWN_CH3, &P::DR_EXPDOWN_CH4}},
             {"Shown up rate", {&P::DR_UP1}},
             {"Shown down rate", {&P::DR_DOWN1}},
         },
         // A file written by a read holds whatever the program chose: nobody should take it
         // for the radio's own.
         "Channel shown is the window's choice of channel for its D/R boxes, not something "
         "the transmitter reports."},
        {"Programmable mix",
         numberedColumns("MIX", 4),
         {
             {"Mix", {&P::PRM01_Mix, &P::PRM02_Mix, &P::PRM03_Mix, &P::PRM04_Mix}},
             {"Master", {&P::PRM01_Master, &P::PRM02_Master, &P::PRM03_Master, &P::PRM04_Master}},
             {"Slave", {&P::PRM01_Slave, &P::PRM02_Slave, &P::PRM03_Slave, &P::PRM04_Slave}},
             {"Offset", {&P::PRM01_Data1, &P::PRM02_Data1, &P::PRM03_Data1, &P::PRM04_Data1}},
             {"Up", {&P::PRM01_Data2, &P::PRM02_Data2, &P::PRM03_Data2, &P::PRM04_Data2}},
             {"Down", {&P::PRM01_Data3, &P::PRM02_Data3, &P::PRM03_Data3, &P::PRM04_Data3}},
         }},
        {"Throttle curve",
         numberedColumns("P", 7),
         {
             {"Mix", {&P::THCURE_MIX}},
             {"Points",
              {&P::THCURE_Data01, &P::THCURE_Data02, &P::THCURE_Data03, &P::THCURE_Data04,
               &P::THCURE_Data05, &P::THCURE_Data06, &P::THCURE_Data07}},
             {"Spare", {&P::THCURE_Spare}},
         }},
        {"Attitude",
         numberedColumns("ATTI", 6),
         {
             {"Channel", {&P::AttiM}},
             {"Values", {&P::Atti1, &P::Atti2, &P::Atti3, &P::Atti4, &P::Atti5, &P::Atti6}},
         }},
        {"Elevon",
         numberedColumns("Elev0", 6),
         {
             {"Mix", {&P::EleMix}},
             {"Rates", {&P::Elev01, &P::Elev02, &P::Elev03, &P::Elev04, &P::Elev05, &P::Elev06}},
         }},
        {"V-tail",
         numberedColumns("Ru", 4),
         {
             {"Mix", {&P::RuMix}},
             {"Rates", {&P::Ru1, &P::Ru2, &P::Ru3, &P::Ru4}},
         }},
        {"Parameters",
         {},
         {
             {"Alarm voltage", {&P::Volt_x10}, true},
             {"Stick mode", {&P::Mode}},
             {"Spare 1", {&P::Spare1_x10}},
             {"Spare 2", {&P::Spare2}},
         }},
    };
    return all;
}

QString cellText(const Row &row, IntField field, const ParamStore &settings)
{
    if (!field)
        return unassignedAuxName();
    if (row.volts)
        return QString::number(settings.*field / 10.0, 'f', 1) + QLatin1String(" V");
    return valueText(field, settings.*field);
}

QString line(const QString &label, const QStringList &cells)
{
    QString text = label.leftJustified(kLabelWidth);
    for (const QString &cell : cells)
        text += cell.rightJustified(kColumnWidth);
    // Trailing blanks only get in the way of a diff of two outputs.
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text + QLatin1Char('\n');
}

} // namespace

QString settingsTable(const ParamStore &settings)
{
    QString text;
    for (const Section &section : sections()) {
        if (!text.isEmpty())
            text += QLatin1Char('\n');
        text += line(QLatin1String(section.title), section.columns);
        for (const Row &row : section.rows) {
            QStringList cells;
            for (IntField field : row.fields)
                cells.append(cellText(row, field, settings));
            text += line(QLatin1String("  ") + QLatin1String(row.label), cells);
        }
        if (section.note)
            text += QLatin1String("  (") + QLatin1String(section.note) + QLatin1String(")\n");
    }
    return text;
}

QString settingLabel(IntField field)
{
    for (const Section &section : sections()) {
        for (const Row &row : section.rows) {
            const int column = row.fields.indexOf(field);
            if (column < 0)
                continue;
            QString label =
                QLatin1String(section.title) + QLatin1String(": ") + QLatin1String(row.label);
            if (row.fields.size() > 1)
                label += QLatin1Char(' ') + section.columns.value(column);
            return label;
        }
    }
    return QLatin1String(intFieldName(field));
}

QString settingText(IntField field, const ParamStore &settings)
{
    for (const Section &section : sections()) {
        for (const Row &row : section.rows) {
            if (row.fields.contains(field))
                return cellText(row, field, settings);
        }
    }
    return valueText(field, settings.*field);
}

QByteArray settingsJson(const ParamStore &settings)
{
    QJsonObject object;
    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f)
        object.insert(QLatin1String(f->name), settings.*f->member);
    object.insert(QStringLiteral("Volt"), settings.Volt);
    return QJsonDocument(object).toJson(QJsonDocument::Indented);
}

QVector<IntField> fileFields()
{
    QVector<IntField> fields;
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        for (int i = 0; i < layout->slotCount; ++i) {
            const IntField member = layout->fields[i].member;
            if (member && !fields.contains(member))
                fields.append(member);
        }
    }
    return fields;
}

QVector<IntField> tableFields()
{
    QVector<IntField> fields;
    for (const Section &section : sections()) {
        for (const Row &row : section.rows) {
            for (IntField field : row.fields) {
                if (field)
                    fields.append(field);
            }
        }
    }
    return fields;
}

QVector<FieldDifference> differences(const ParamStore &left, const ParamStore &right,
                                     const QVector<IntField> &fields)
{
    QVector<FieldDifference> list;
    for (IntField field : fields) {
        if (left.*field != right.*field)
            list.append({intFieldName(field), valueText(field, left.*field),
                         valueText(field, right.*field)});
    }
    return list;
}

QString differenceTable(const QVector<FieldDifference> &list, const QString &leftTitle,
                        const QString &rightTitle)
{
    int nameWidth = int(qstrlen("setting"));
    int leftWidth = leftTitle.size();
    for (const FieldDifference &d : list) {
        nameWidth = std::max(nameWidth, int(qstrlen(d.name)));
        leftWidth = std::max(leftWidth, int(d.left.size()));
    }
    const auto row = [&](const QString &name, const QString &left,
                         const QString &right) -> QString {
        return name.leftJustified(nameWidth + 2) + left.leftJustified(leftWidth + 2) + right +
               QLatin1Char('\n');
    };
    QString text = row(QStringLiteral("setting"), leftTitle, rightTitle);
    for (const FieldDifference &d : list)
        text += row(QLatin1String(d.name), d.left, d.right);
    return text;
}

QStringList differenceNames(const QVector<FieldDifference> &list)
{
    QStringList names;
    for (const FieldDifference &d : list)
        names.append(QLatin1String(d.name));
    return names;
}

QStringList replacementLines(const QVector<RangeReplacement> &replaced, const ParamStore &stored)
{
    QStringList lines;
    for (const RangeReplacement &r : replaced) {
        lines << QStringLiteral("%1: received %2, kept %3")
                     .arg(settingLabel(r.member))
                     .arg(r.received)
                     .arg(settingText(r.member, stored));
    }
    return lines;
}
