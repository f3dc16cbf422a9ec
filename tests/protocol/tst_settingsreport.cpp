// SPDX-License-Identifier: GPL-3.0-or-later
// What korva-cli makes of a parameter file without any port: the check that refuses damaged
// files, the table, the JSON and the differences.
#include "settingsreport.h"

#include "drselect.h"
#include "frames.h"
#include "linksequence.h"
#include "rangecheck.h"
#include "readback.h"
#include "testdata.h"
#include "valuenames.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <random>

namespace {

// In-range settings drawn at random, put through a file and back as LOAD would.
ParamStore randomSettings(quint32 seed)
{
    ParamStore loaded;
    parseParameterText(QString::fromLatin1(buildParameterFile(randomInRange(seed))), loaded);
    selectDualRateEntry(loaded);
    replaceOutOfRangeValues(loaded);
    return loaded;
}

// The cells of a table row, found under its section heading.
QStringList tableCells(const QString &table, const QString &section, const QString &label)
{
    bool inSection = false;
    for (const QString &line : table.split(QLatin1Char('\n'))) {
        if (!line.startsWith(QLatin1Char(' ')))
            inSection = line.startsWith(section);
        else if (inSection && line.mid(2).startsWith(label + QLatin1String("  ")))
            return line.mid(2 + label.size()).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    }
    return {};
}

} // namespace

class tst_SettingsReport : public QObject
{
    Q_OBJECT

private slots:
    void damagedFilesAreRefused_data();
    void damagedFilesAreRefused();
    void tableShowsEverySettingOfTheFile();
    void tableNamesValuesAsTheWindowDoes_data();
    void tableNamesValuesAsTheWindowDoes();
    void jsonHoldsEveryFieldOfTheStore();
    void differencesAreExactlyTheChangedSettings();
    void readBackChecksEverySettingButTheDrSelection();
    void everyReplacedValueIsReported();
};

void tst_SettingsReport::damagedFilesAreRefused_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("problem"); // a part of the reason; empty: accepted

    const QByteArray good = buildParameterFile(randomSettings(1));
    const auto with = [&good](int at, const char *text) {
        QByteArray b = good;
        b.replace(at, int(qstrlen(text)), text);
        return b;
    };
    QTest::newRow("whole") << good << QString();
    QTest::newRow("line end") << good + "\n" << QString();
    QTest::newRow("CR LF") << good + "\r\n" << QString();
    QTest::newRow("lower-case digits") << with(9, "7a") << QString();
    QTest::newRow("empty") << QByteArray() << "0 bytes long";
    QTest::newRow("100 bytes") << good.left(100) << "100 bytes long";
    QTest::newRow("one short") << good.left(242) << "242 bytes long";
    QTest::newRow("text after") << good + "x"
                                << "244 bytes long";
    QTest::newRow("two line ends") << good + "\n\n"
                                   << "245 bytes long";
    QTest::newRow("S start") << with(0, "s") << "no S frame: byte 0";
    QTest::newRow("S end") << with(80, "Z") << "no S frame: byte 80";
    QTest::newRow("G start") << with(81, "S") << "no G frame: byte 81";
    QTest::newRow("G end") << with(161, "Y") << "no G frame: byte 161";
    QTest::newRow("H start") << with(162, "0") << "no H frame: byte 162";
    QTest::newRow("H end") << with(242, "\n") << "no H frame: byte 242";
    QTest::newRow("first field") << with(1, "x") << "rev1 (byte 1)";
    QTest::newRow("second digit of a hex field") << with(10, "G") << "sub1 (byte 9)";
    QTest::newRow("G field") << with(82, " ") << "AttiM (byte 82)";
    QTest::newRow("spare digits") << with(231, "-") << "Spare1_x10 (byte 230)";
    QTest::newRow("last field") << with(235, "Z") << "DR_SW2 (byte 235)";
}

void tst_SettingsReport::damagedFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, problem);
    const QString found = parameterFileProblem(bytes);
    if (problem.isEmpty())
        QCOMPARE(found, QString());
    else
        QVERIFY2(found.contains(problem), qPrintable(found));
}

void tst_SettingsReport::tableShowsEverySettingOfTheFile()
{
    const QVector<IntField> shown = tableFields();
    for (IntField field : fileFields()) {
        QVERIFY2(shown.count(field) == 1, intFieldName(field));
    }
}

void tst_SettingsReport::tableNamesValuesAsTheWindowDoes_data()
{
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("column");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("shown");

    QTest::newRow("reverse") << "Channels"
                             << "Reverse" << 3 << "rev3" << 1 << "REV";
    QTest::newRow("normal") << "Channels"
                            << "Reverse" << 8 << "rev8" << 0 << "NOR";
    QTest::newRow("sub-trim") << "Channels"
                              << "Sub-trim" << 6 << "sub6" << -35 << "-35";
    QTest::newRow("right end point") << "Channels"
                                     << "End point R" << 2 << "Repa2" << 117 << "117";
    QTest::newRow("unassigned aux") << "Channels"
                                    << "AUX source" << 2 << "AUX5" << 4 << "NC";
    QTest::newRow("aux source") << "Channels"
                                << "AUX source" << 5 << "AUX5" << 4 << "NULL";
    QTest::newRow("D/R mix") << "Dual rate"
                             << "Mix" << 1 << "DR_MIX" << 1 << "ON";
    QTest::newRow("D/R position") << "Dual rate"
                                  << "Position shown" << 1 << "DR_POSI" << 1 << "DOWN";
    QTest::newRow("down exp") << "Dual rate"
                              << "Down exp" << 4 << "DR_EXPDOWN_CH4" << -30 << "-30";
    QTest::newRow("mix mode") << "Programmable mix"
                              << "Mix" << 3 << "PRM03_Mix" << 2 << "ON";
    QTest::newRow("master") << "Programmable mix"
                            << "Master" << 2 << "PRM02_Master" << 7 << "CH8";
    QTest::newRow("slave") << "Programmable mix"
                           << "Slave" << 4 << "PRM04_Slave" << 0 << "CH1";
    QTest::newRow("curve point") << "Throttle curve"
                                 << "Points" << 5 << "THCURE_Data05" << 80 << "80";
    QTest::newRow("attitude off") << "Attitude"
                                  << "Channel" << 1 << "AttiM" << 4 << "OFF";
    QTest::newRow("attitude channel") << "Attitude"
                                      << "Channel" << 1 << "AttiM" << 1 << "CH6";
    QTest::newRow("elevon rate") << "Elevon"
                                 << "Rates" << 5 << "Elev05" << -40 << "-40";
    QTest::newRow("V-tail mix") << "V-tail"
                                << "Mix" << 1 << "RuMix" << 1 << "ON";
    QTest::newRow("alarm voltage") << "Parameters"
                                   << "Alarm voltage" << 1 << "Volt_x10" << 42 << "4.2";
}

void tst_SettingsReport::tableNamesValuesAsTheWindowDoes()
{
    QFETCH(QString, section);
    QFETCH(QString, label);
    QFETCH(int, column);
    QFETCH(QString, field);
    QFETCH(int, value);
    QFETCH(QString, shown);
    ParamStore s = randomSettings(4);
    s.*findIntField(field.toLatin1().constData())->member = value;
    const QStringList cells = tableCells(settingsTable(s), section, label);
    QVERIFY2(cells.size() >= column, qPrintable(cells.join(QLatin1Char('|'))));
    QCOMPARE(cells.at(column - 1), shown);
}

void tst_SettingsReport::jsonHoldsEveryFieldOfTheStore()
{
    ParamStore s = randomSettings(5);
    s.Servo4 = 1234;
    s.Volt = 4.25;
    const QJsonObject object = QJsonDocument::fromJson(settingsJson(s)).object();
    QCOMPARE(object.size(), intFieldCount() + 1);
    for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f) {
        QVERIFY2(object.value(QLatin1String(f->name)).isDouble(), f->name);
        QCOMPARE(object.value(QLatin1String(f->name)).toInt(), s.*f->member);
    }
    QCOMPARE(object.value(QLatin1String("Volt")).toDouble(), 4.25);
}

// Changing settings of a file, each one alone and then several at random: the differences
// name exactly those, with both values.
void tst_SettingsReport::differencesAreExactlyTheChangedSettings()
{
    std::mt19937 rng(77);
    const QVector<IntField> fields = fileFields();
    const int rounds = int(fields.size()) + 50;
    for (int round = 0; round < rounds; ++round) {
        const ParamStore left = randomSettings(100 + quint32(round));
        ParamStore right = left;
        QStringList changed;
        const bool alone = round < fields.size();
        for (int i = 0; i < (alone ? 1 : 1 + round % 5); ++i) {
            const IntField field =
                alone ? fields.at(round) : fields.at(int(rng() % quint32(fields.size())));
            const QString name = QLatin1String(intFieldName(field));
            if (changed.contains(name))
                continue;
            right.*field += 1;
            changed.append(name);
        }
        const QVector<FieldDifference> found = differences(left, right, fields);
        QStringList names = differenceNames(found);
        names.sort();
        changed.sort();
        QCOMPARE(names, changed);
        for (const FieldDifference &d : found) {
            const IntField field = findIntField(d.name)->member;
            QCOMPARE(d.left, valueText(field, left.*field));
            QCOMPARE(d.right, valueText(field, right.*field));
        }
    }
}

void tst_SettingsReport::readBackChecksEverySettingButTheDrSelection()
{
    QVector<IntField> unchecked = fileFields();
    for (IntField field : readBackFields())
        QVERIFY2(unchecked.removeAll(field) == 1, intFieldName(field));
    // The channel the D/R page shows, and that channel's rates, go out and never come back.
    QCOMPARE(unchecked,
             (QVector<IntField>{&ParamStore::DR_CH, &ParamStore::DR_UP1, &ParamStore::DR_DOWN1}));
}

// Any field pushed anywhere, on a fresh seed each run: what the range check reports is exactly
// what it changed, with the value before and after, and every report names its setting.
void tst_SettingsReport::everyReplacedValueIsReported()
{
    const quint32 seed = std::random_device{}();
    std::mt19937 rng(seed);
    for (int round = 0; round < 500; ++round) {
        const ParamStore received = [&] {
            ParamStore s = randomSettings(rng());
            for (int i = int(rng() % 6); i > 0; --i) {
                const IntFieldInfo *f = intFieldsBegin() + rng() % quint32(intFieldCount());
                s.*f->member = int(rng() % 701) - 350;
            }
            return s;
        }();
        ParamStore stored = received;
        const QVector<RangeReplacement> replaced = replaceOutOfRangeValues(stored);
        int changed = 0;
        for (const IntFieldInfo *f = intFieldsBegin(); f != intFieldsEnd(); ++f)
            changed += received.*f->member != stored.*f->member;
        QVERIFY2(replaced.size() == changed, qPrintable(QString::number(seed)));
        const QStringList lines = replacementLines(replaced, stored);
        for (int i = 0; i < replaced.size(); ++i) {
            const RangeReplacement &r = replaced.at(i);
            QCOMPARE(r.received, received.*r.member);
            QCOMPARE(r.stored, stored.*r.member);
            QVERIFY(r.received != r.stored);
            QVERIFY(lines.at(i).startsWith(settingLabel(r.member) + QLatin1String(": received ")));
        }
    }
}

QTEST_GUILESS_MAIN(tst_SettingsReport)
#include "tst_settingsreport.moc"
