// SPDX-License-Identifier: GPL-3.0-or-later
// The value names the library hands korva-cli are the very items of the window's combo boxes.
#include "paramstore.h"
#include "valuenames.h"

#include <QFile>
#include <QMap>
#include <QTest>
#include <QXmlStreamReader>

namespace {

// The combo boxes of the form with their items, read from the form file itself. An item is
// <item><property name="text"><string>...</string></property></item> right inside the box.
QMap<QString, QStringList> formComboItems()
{
    QMap<QString, QStringList> boxes;
    QFile file(QStringLiteral(KORVA_FORM_FILE));
    if (!file.open(QIODevice::ReadOnly))
        return boxes;
    QXmlStreamReader xml(&file);
    QStringList elements; // the open elements; a widget as its object name
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement()) {
            elements.removeLast();
            continue;
        }
        if (!xml.isStartElement())
            continue;
        const QString element = xml.name().toString();
        const int n = int(elements.size());
        if (element == QLatin1String("string") && n >= 3 &&
            elements.at(n - 1) == QLatin1String("property") &&
            elements.at(n - 2) == QLatin1String("item") && boxes.contains(elements.at(n - 3))) {
            boxes[elements.at(n - 3)].append(xml.readElementText());
            continue; // readElementText consumed the end element
        }
        if (element == QLatin1String("widget")) {
            const QString name = xml.attributes().value(QLatin1String("name")).toString();
            if (xml.attributes().value(QLatin1String("class")) == QLatin1String("QComboBox"))
                boxes.insert(name, QStringList());
            elements.append(name);
        } else {
            elements.append(element);
        }
    }
    return boxes;
}

// The field a parameter box edits: its name without the class prefix, except where two boxes
// on different pages edit one field, and the D/R switch box of the first D/R group.
const IntFieldInfo *fieldOfBox(const QString &box)
{
    static const QMap<QString, QString> shared = {
        {QStringLiteral("DR_MIX1"), QStringLiteral("DR_MIX")},
        {QStringLiteral("DR_MIX2"), QStringLiteral("DR_MIX")},
        {QStringLiteral("DR_CH1"), QStringLiteral("DR_CH")},
        {QStringLiteral("DR_CH2"), QStringLiteral("DR_CH")},
        {QStringLiteral("DR_SW1"), QStringLiteral("DR_SW2")},
    };
    QString name = box.mid(int(qstrlen("comboBox_")));
    name = shared.value(name, name);
    return findIntField(name.toLatin1().constData());
}

} // namespace

class tst_ValueNames : public QObject
{
    Q_OBJECT

private slots:
    void everyParameterBoxShowsTheLibrarysNames_data();
    void everyParameterBoxShowsTheLibrarysNames();
    void everyNamedFieldHasABox();
};

void tst_ValueNames::everyParameterBoxShowsTheLibrarysNames_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QStringList>("items");
    const QMap<QString, QStringList> boxes = formComboItems();
    QVERIFY2(boxes.contains(QStringLiteral("comboBox_rev1")), "the form was not read");
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        if (it.key().startsWith(QLatin1String("comboBox_")))
            QTest::newRow(qPrintable(it.key())) << it.key() << it.value();
    }
}

void tst_ValueNames::everyParameterBoxShowsTheLibrarysNames()
{
    QFETCH(QString, box);
    QFETCH(QStringList, items);
    QVERIFY(!items.isEmpty());
    const IntFieldInfo *field = fieldOfBox(box);
    if (!field) {
        // AUX1 to AUX4 have no setting behind them.
        QVERIFY2(QStringList({QStringLiteral("comboBox_AUX1"), QStringLiteral("comboBox_AUX2"),
                              QStringLiteral("comboBox_AUX3"), QStringLiteral("comboBox_AUX4")})
                     .contains(box),
                 qPrintable(box));
        QCOMPARE(items, QStringList{unassignedAuxName()});
        return;
    }
    QCOMPARE(valueNames(field->member), items);
    for (int i = 0; i < items.size(); ++i)
        QCOMPARE(valueText(field->member, i), items.at(i));
    // A value past the end of the list shows as its number.
    QCOMPARE(valueText(field->member, int(items.size())), QString::number(items.size()));
}

void tst_ValueNames::everyNamedFieldHasABox()
{
    const QMap<QString, QStringList> boxes = formComboItems();
    QSet<QString> boxedFields;
    for (auto it = boxes.begin(); it != boxes.end(); ++it) {
        if (const IntFieldInfo *field = fieldOfBox(it.key()))
            boxedFields.insert(QLatin1String(field->name));
    }
    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
        if (!valueNames(f->member).isEmpty())
            QVERIFY2(boxedFields.contains(QLatin1String(f->name)), f->name);
        else
            QCOMPARE(valueText(f->member, -7), QStringLiteral("-7"));
    }
}

QTEST_GUILESS_MAIN(tst_ValueNames)
#include "tst_valuenames.moc"
