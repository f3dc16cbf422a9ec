// SPDX-License-Identifier: GPL-3.0-or-later
// Checks the main window form as built by setupUi: the widget tree with its names, classes,
// geometry, texts, ranges, initial values and style sheets, the embedded resources, and a
// screenshot of every page.

#include "ui_mainwindow.h"

#include "resources.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenuBar>
#include <QRegularExpression>
#include <QStatusBar>
#include <QStyle>
#include <QTabBar>
#include <QToolBar>
#include <QXmlStreamReader>
#include <QtTest>

#include <memory>

// The form's font weights are on Qt 5's scale: bold 75, and 9 for the light widget font of
// some group boxes. Qt 6 counts from 100 to 900 and its form compiler keeps only bold or not
// bold, so there the light font is just not bold.
static bool hasFormWeight(const QFont &font, int qt5Weight)
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return qt5Weight == 75 ? font.weight() == QFont::Bold : font.weight() <= QFont::Normal;
#else
    return font.weight() == qt5Weight;
#endif
}

namespace {

// ---------------------------------------------------------------------------------------------
// Style sheets in a comparable form: one "selector{" line, the declarations in order, and "}".
// A sheet of bare declarations yields a rule with an empty selector.

QStringList declarations(const QString &body)
{
    QStringList out;
    const QStringList parts = body.split(QLatin1Char(';'));
    for (const QString &part : parts) {
        const QString d = part.trimmed();
        if (!d.isEmpty())
            out << d + QLatin1Char(';');
    }
    return out;
}

QStringList rule(const QString &selector, const QStringList &decls)
{
    return QStringList{selector + QLatin1Char('{')} + decls + QStringList{QStringLiteral("}")};
}

QStringList parseSheet(const QString &sheet)
{
    QStringList out;
    if (!sheet.contains(QLatin1Char('{'))) {
        if (!sheet.trimmed().isEmpty())
            out = rule(QString(), declarations(sheet));
        return out;
    }
    int pos = 0;
    while (true) {
        const int open = sheet.indexOf(QLatin1Char('{'), pos);
        if (open < 0) {
            if (!sheet.mid(pos).trimmed().isEmpty())
                out << QStringLiteral("<trailing text>") + sheet.mid(pos).trimmed();
            break;
        }
        const int close = sheet.indexOf(QLatin1Char('}'), open);
        if (close < 0) {
            out << QStringLiteral("<unclosed rule>");
            break;
        }
        out += rule(sheet.mid(pos, open - pos).trimmed(),
                    declarations(sheet.mid(open + 1, close - open - 1)));
        pos = close + 1;
    }
    return out;
}

const QString kWhiteText = QStringLiteral("color:rgba(255,255,255,255);");
const QString kYellowText = QStringLiteral("color:rgba(255,255,0,255);");
const QString kButtonBg = QStringLiteral("background-color:rgba(70,70,70,70);");
const QString kCaptionBg = QStringLiteral("background-color: rgb(70, 70, 70);");
const QString kFieldBg = QStringLiteral("background-color: rgb(85, 170, 255);");

const QStringList kPressedA = {
    QStringLiteral("background-color:rgba(100,255,100,200);"),
    QStringLiteral("border-color:rgba(255,255,255,30);"),
    QStringLiteral("border-style:inset;"),
    QStringLiteral("color:rgba(0,0,0,100);"),
};
const QStringList kPressedB = {
    QStringLiteral("background-color:rgba(255,255,0,255);"),
    QStringLiteral("border-color:rgba(255,255,255,30);"),
    QStringLiteral("border-style:inset;"),
    QStringLiteral("color:rgba(255,0,0,100);"),
};
const QStringList kFocus = {QStringLiteral("border-color:rgba(0,255,255,255);")};
const QStringList kHover = {
    QStringLiteral("background-color:rgba(100,255,100,100);"),
    QStringLiteral("border-color:rgba(255,255,255,255);"),
    QStringLiteral("color:rgba(255,255,255,255);"),
};

QStringList box(const QString &background, int width, int radius, int px, const QString &colour)
{
    return {background,
            QStringLiteral("border-style:outset;"),
            QStringLiteral("border-width:%1px;").arg(width),
            QStringLiteral("border-radius:%1px;").arg(radius),
            QStringLiteral("border-color:rgba(0,0,0,0);"),
            QStringLiteral("font:bold %1px;").arg(px),
            colour,
            QStringLiteral("padding:0px;")};
}

QStringList actionButtonStyle(bool reset)
{
    const QString sel = QStringLiteral("QToolButton");
    return rule(sel, box(kButtonBg, 4, 10, 20, kWhiteText)) +
           rule(sel + QStringLiteral("[keyboardFocus=\"true\"]"), kFocus) +
           rule(sel + QStringLiteral(":pressed"), reset ? kPressedB : kPressedA) +
           rule(sel + QStringLiteral(":hover"), kHover);
}

QStringList openButtonStyle()
{
    const QString sel = QStringLiteral("QPushButton");
    return rule(sel, box(QStringLiteral("background-color:rgba(100,100,100,100);"), 4, 10, 22,
                         kWhiteText)) +
           rule(sel + QStringLiteral("[keyboardFocus=\"true\"]"), kFocus) +
           rule(sel + QStringLiteral(":pressed"), kPressedA) +
           rule(sel + QStringLiteral(":hover"), kHover);
}

QStringList ledStyle()
{
    return rule(QStringLiteral("QToolButton"), box(kButtonBg, 0, 0, 16, kWhiteText));
}

QStringList lineEditStyle(const QString &background, int px, const QString &colour)
{
    return rule(QStringLiteral("QLineEdit"), box(background, 4, 4, px, colour));
}

QStringList captionStyle(int px)
{
    return lineEditStyle(kCaptionBg, px, kWhiteText);
}

QStringList fieldStyle(const QString &cls, int px)
{
    return rule(cls, box(kFieldBg, 4, 4, px, kWhiteText)) +
           rule(cls + QStringLiteral(":hover"), kHover);
}

QStringList plain(const QStringList &decls)
{
    return rule(QString(), decls);
}

QStringList barStyle(bool upper)
{
    const QString blue = QStringLiteral("rgba(0,0,255,255)");
    const QString white = QStringLiteral("rgba(255,255,255,255)");
    return rule(QStringLiteral("QProgressBar:vertical"),
                {QStringLiteral("border-radius:0px;"),
                 QStringLiteral("background-color:%1;").arg(upper ? white : blue),
                 QStringLiteral("color: transparent;"), QStringLiteral("text-align:center;")}) +
           rule(QStringLiteral("QProgressBar::chunk:vertical"),
                {QStringLiteral("background-color:%1;").arg(upper ? blue : white),
                 QStringLiteral("margin:0px;"), QStringLiteral("height:1px;")});
}

const QString kGradient1 = QStringLiteral(
    "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(255, 0, "
    "0, 255), stop:1 rgba(255, 255, 255, 255));");
const QString kGradient2 = QStringLiteral(
    "background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0.006, y2:1, stop:0 rgba(255, "
    "19, 19, 255), stop:1 rgba(255, 255, 255, 255));");

// ---------------------------------------------------------------------------------------------
// The form's content, written out independently of the generator.

QStringList seq(const QString &pattern, int first, int last)
{
    QStringList out;
    for (int i = first; i <= last; ++i)
        out << pattern.arg(i);
    return out;
}

QStringList captions(std::initializer_list<int> numbers)
{
    QStringList out;
    for (int n : numbers)
        out << QStringLiteral("lineEdit_%1").arg(n);
    return out;
}

struct GroupRow
{
    QString name;
    QString panel;
    QString title;
    QRect geometry;
    int fontPt; // 0: the box has no font of its own
    int titlePt;
};

const QVector<GroupRow> &groupRows()
{
    static const QVector<GroupRow> groups = {
        {"groupBox", "frame_2", "CHANNEL", {10, 10, 110, 470}, 11, 11},
        {"groupBox_2", "frame_2", "REVERSE", {130, 10, 120, 470}, 11, 11},
        {"groupBox_3", "frame_2", "SUB-TRIM", {265, 10, 120, 470}, 12, 12},
        {"groupBox_4", "frame_2", "END POINT--L---R---", {405, 10, 215, 470}, 11, 11},
        {"groupBox_14", "frame_2", "FAIL SAFE", {640, 10, 120, 470}, 11, 11},
        {"groupBox_5", "frame_2", "DELAY", {780, 10, 120, 470}, 11, 11},
        {"groupBox_6", "frame_2", "AUX-CH", {915, 10, 120, 470}, 11, 11},
        {"groupBox_8", "frame_4", "D/R", {5, 5, 210, 288}, 11, 11},
        {"groupBox_9", "frame_4", "PARAMENTER", {5, 301, 210, 181}, 11, 11},
        {"groupBox_7", "frame_4", "ATTITUDE", {225, 5, 190, 477}, 0, 11},
        {"groupBox_10", "frame_4", "ELEVON", {420, 5, 321, 281}, 0, 11},
        {"groupBox_13", "frame_4", "V-TAIL", {745, 5, 301, 281}, 0, 11},
        {"groupBox_11", "frame_4", "PROG.MIX1", {420, 290, 321, 191}, 0, 11},
        {"groupBox_12", "frame_4", "PROG.MIX2", {749, 290, 301, 191}, 0, 11},
        {"groupBox_15", "frame_5", "PROG.MIX3", {15, 5, 201, 477}, 0, 11},
        {"groupBox_19", "frame_5", "D/R CURE", {230, 5, 820, 477}, 0, 11},
        {"groupBox_16", "frame_6", "PROG.MIX4", {15, 5, 190, 477}, 0, 11},
        {"groupBox_18", "frame_6", "TH CURE", {230, 5, 820, 477}, 0, 11},
    };
    return groups;
}

struct ColumnRow
{
    QString group;
    QRect geometry;
    int spacing; // -1: the style's own spacing
    QStringList rows;
};

const QVector<ColumnRow> &columnRows()
{
    auto mixCombos = [](int n) {
        return QStringList{QStringLiteral("comboBox_PRM0%1_Mix").arg(n),
                           QStringLiteral("comboBox_PRM0%1_Master").arg(n),
                           QStringLiteral("comboBox_PRM0%1_Slave").arg(n)};
    };
    auto mixData = [](int n) {
        return seq(QStringLiteral("spinBox_PRM0%1_Data").arg(n) + QStringLiteral("%1"), 1, 3);
    };
    static const QVector<ColumnRow> columns = {
        {"groupBox", {10, 30, 91, 431}, 5, captions({28, 29, 31, 32, 33, 34, 35, 36})},
        {"groupBox_2", {15, 30, 91, 431}, 5, seq("comboBox_rev%1", 1, 8)},
        {"groupBox_3", {15, 30, 91, 431}, 5, seq("spinBox_sub%1", 1, 8)},
        {"groupBox_4", {15, 30, 91, 431}, 5, seq("spinBox_Lepa%1", 1, 8)},
        {"groupBox_4", {110, 30, 91, 431}, 5, seq("spinBox_Repa%1", 1, 8)},
        {"groupBox_14", {15, 30, 91, 431}, 5, seq("spinBox_FS%1", 1, 8)},
        {"groupBox_5", {15, 30, 91, 431}, 5, seq("spinBox_delay%1", 1, 8)},
        {"groupBox_6", {15, 30, 91, 431}, 5, seq("comboBox_AUX%1", 1, 8)},

        {"groupBox_8", {6, 26, 101, 251}, 0, captions({53, 54, 55, 56, 57})},
        {"groupBox_8",
         {106, 26, 91, 251},
         0,
         {"comboBox_DR_MIX1", "comboBox_DR_CH1", "comboBox_DR_SW1", "spinBox_DR_UP1",
          "spinBox_DR_DOWN1"}},
        {"groupBox_9", {6, 21, 111, 151}, 0, captions({63, 64, 65})},
        {"groupBox_9",
         {116, 21, 91, 151},
         0,
         {"doubleSpinBox_Volt", "spinBox_Mode", "spinBox_Vertion"}},
        {"groupBox_7", {11, 31, 91, 431}, -1, captions({45, 46, 47, 48, 49, 50, 51})},
        {"groupBox_7",
         {100, 30, 81, 431},
         -1,
         QStringList{"comboBox_AttiM"} + seq("spinBox_Atti%1", 1, 6)},
        {"groupBox_10", {10, 26, 111, 251}, 0, captions({73, 74, 75, 76, 77})},
        {"groupBox_10",
         {120, 25, 101, 251},
         0,
         QStringList{"comboBox_EleMix"} + seq("spinBox_Elev0%1", 1, 4)},
        {"groupBox_10", {220, 80, 101, 80}, 0, {"spinBox_Elev05", "spinBox_Elev06"}},
        {"groupBox_13", {10, 25, 141, 251}, 0, captions({78, 95, 96, 97, 98})},
        {"groupBox_13",
         {150, 25, 131, 251},
         0,
         QStringList{"comboBox_RuMix"} + seq("spinBox_Ru%1", 1, 4)},
        {"groupBox_11", {5, 20, 71, 161}, 0, captions({80, 83, 79})},
        {"groupBox_11", {80, 20, 81, 161}, 0, mixCombos(1)},
        {"groupBox_11", {160, 20, 81, 161}, 0, captions({84, 85, 86})},
        {"groupBox_11", {240, 20, 81, 161}, 0, mixData(1)},
        {"groupBox_12", {0, 20, 71, 161}, 0, captions({94, 90, 89})},
        {"groupBox_12", {70, 20, 81, 161}, 0, mixCombos(2)},
        {"groupBox_12", {150, 20, 81, 161}, 0, captions({91, 92, 93})},
        {"groupBox_12", {230, 20, 77, 161}, -1, mixData(2)},

        {"groupBox_15", {10, 30, 91, 441}, -1, captions({106, 102, 101, 103, 104, 105})},
        {"groupBox_15", {100, 30, 91, 441}, -1, mixCombos(3) + mixData(3)},
        {"groupBox_19", {10, 30, 101, 441}, -1, captions({146, 142, 141, 143, 144, 145})},
        {"groupBox_19",
         {110, 30, 101, 441},
         -1,
         {"comboBox_DR_MIX2", "comboBox_DR_CH2", "comboBox_DR_SW2", "comboBox_DR_POSI",
          "spinBox_DR_RATE", "spinBox_DR_EXP"}},

        {"groupBox_16", {10, 30, 81, 441}, -1, captions({112, 108, 107, 109, 110, 111})},
        {"groupBox_16", {90, 30, 91, 441}, -1, mixCombos(4) + mixData(4)},
        {"groupBox_18", {10, 29, 101, 441}, -1, captions({130, 126, 125, 127, 128, 129, 131, 132})},
        {"groupBox_18",
         {110, 30, 91, 441},
         -1,
         QStringList{"comboBox_THCURE_MIX"} + seq("spinBox_THCURE_Data0%1", 1, 7)},
    };
    return columns;
}

struct CaptionRow
{
    QString name;
    QString text;
};

const QVector<CaptionRow> &captionRows()
{
    static const QVector<CaptionRow> rows = {
        {"lineEdit_28", "CH1:"},      {"lineEdit_29", "CH2:"},     {"lineEdit_31", "CH3:"},
        {"lineEdit_32", "CH4:"},      {"lineEdit_33", "CH5:"},     {"lineEdit_34", "CH6:"},
        {"lineEdit_35", "CH7:"},      {"lineEdit_36", "CH8:"},

        {"lineEdit_53", "MIX:"},      {"lineEdit_54", "CH:"},      {"lineEdit_55", "SW:"},
        {"lineEdit_56", "UP:"},       {"lineEdit_57", "DOWN:"},    {"lineEdit_63", "TX-ALARM:"},
        {"lineEdit_64", "STK-MODE:"}, {"lineEdit_65", "VERSION:"}, {"lineEdit_45", "CH:"},
        {"lineEdit_46", "ATTI1:"},    {"lineEdit_47", "ATTI2:"},   {"lineEdit_48", "ATTI3:"},
        {"lineEdit_49", "ATTI4:"},    {"lineEdit_50", "ATTI5:"},   {"lineEdit_51", "ATTI6:"},
        {"lineEdit_73", " MIX:"},     {"lineEdit_74", "AILE1:"},   {"lineEdit_75", "AILE2:"},
        {"lineEdit_76", "ELEV2:"},    {"lineEdit_77", "ELEV1:"},   {"lineEdit_78", "MIX:"},
        {"lineEdit_95", "ELEV1:"},    {"lineEdit_96", "ELEV2:"},   {"lineEdit_97", "RUDD2:"},
        {"lineEdit_98", "RUDD1:"},    {"lineEdit_80", "MIX:"},     {"lineEdit_83", "MAS:"},
        {"lineEdit_79", "SLA:"},      {"lineEdit_84", "OFFSET:"},  {"lineEdit_85", "UP:"},
        {"lineEdit_86", "DOWN:"},     {"lineEdit_94", "MIX:"},     {"lineEdit_90", "MAS:"},
        {"lineEdit_89", "SLA:"},      {"lineEdit_91", "OFFSET:"},  {"lineEdit_92", "UP:"},
        {"lineEdit_93", "DOWN:"},

        {"lineEdit_106", "MIX:"},     {"lineEdit_102", "MAS:"},    {"lineEdit_101", "SLA:"},
        {"lineEdit_103", "OFFSET:"},  {"lineEdit_104", "UP:"},     {"lineEdit_105", "DOWN:"},
        {"lineEdit_146", "MIX:"},     {"lineEdit_142", " CH:"},    {"lineEdit_141", "SW:"},
        {"lineEdit_143", " POSI:"},   {"lineEdit_144", "RATE:"},   {"lineEdit_145", "EXP:"},

        {"lineEdit_112", "MIX:"},     {"lineEdit_108", "MAS:"},    {"lineEdit_107", "SLA:"},
        {"lineEdit_109", "OFFSET:"},  {"lineEdit_110", "UP:"},     {"lineEdit_111", "DOWN:"},
        {"lineEdit_130", "MIX:"},     {"lineEdit_126", "POINT1:"}, {"lineEdit_125", "POINT2:"},
        {"lineEdit_127", "POINT3:"},  {"lineEdit_128", "POINT4:"}, {"lineEdit_129", "POINT5:"},
        {"lineEdit_131", "POINT6:"},  {"lineEdit_132", "POINT7:"},
    };
    return rows;
}

int captionPx(const QString &name)
{
    static const QStringList px16 = captions({63, 64, 65, 84, 86, 91, 93, 103, 109});
    static const QStringList px22 = captions({36, 46, 51});
    // "DOWN:" is too wide for its box at 20 px even with Arial's metrics.
    if (name == QLatin1String("lineEdit_111"))
        return 19;
    return px16.contains(name) ? 16 : px22.contains(name) ? 22 : 20;
}

int fieldPx(const QString &name)
{
    static const QStringList px22 =
        QStringList{"comboBox_rev8",       "spinBox_sub8",          "spinBox_Lepa2",
                    "spinBox_Lepa8",       "spinBox_Repa8",         "spinBox_delay8",
                    "comboBox_AUX8",       "spinBox_FS8",           "doubleSpinBox_Volt",
                    "spinBox_Mode",        "spinBox_Vertion",       "comboBox_AttiM",
                    "comboBox_EleMix",     "comboBox_PRM02_Master", "comboBox_PRM02_Slave",
                    "spinBox_PRM02_Data1", "spinBox_PRM02_Data2",   "spinBox_PRM02_Data3"} +
        seq("spinBox_Atti%1", 1, 6) + seq("spinBox_Elev0%1", 1, 6);
    return px22.contains(name) ? 22 : 20;
}

struct SpinRow
{
    QString name;
    int minimum;
    int maximum;
    int value;
};

const QVector<SpinRow> &spinRows()
{
    static const QVector<SpinRow> rows = [] {
        QVector<SpinRow> r;
        auto add = [&r](const QStringList &names, int lo, int hi, const QVector<int> &values) {
            for (int i = 0; i < names.size(); ++i)
                r.append({names.at(i), lo, hi, values.size() == 1 ? values.at(0) : values.at(i)});
        };
        add(seq("spinBox_sub%1", 1, 8), -100, 100, {0});
        add(seq("spinBox_Lepa%1", 1, 8), 0, 120, {96});
        add(seq("spinBox_Repa%1", 1, 8), 0, 120, {96});
        add(seq("spinBox_FS%1", 1, 8), 0, 100, {50, 50, 0, 50, 50, 50, 50, 50});
        add(seq("spinBox_delay%1", 1, 8), 0, 100, {100});
        add({"spinBox_DR_UP1", "spinBox_DR_DOWN1", "spinBox_DR_RATE"}, 0, 100, {100});
        add({"spinBox_DR_EXP"}, -100, 100, {100});
        add({"spinBox_Mode"}, 1, 4, {2});
        add({"spinBox_Vertion"}, 0, 1000, {0});
        add(seq("spinBox_Atti%1", 1, 6), 0, 100, {14, 29, 44, 56, 69, 88});
        add(seq("spinBox_Elev0%1", 1, 6), -100, 100, {100, 100, 100, -100, 100, 100});
        add(seq("spinBox_Ru%1", 1, 4), -100, 100, {50, -50, 50, 50});
        add(seq("spinBox_PRM01_Data%1", 1, 3), -100, 100, {100});
        add(seq("spinBox_PRM02_Data%1", 1, 3), -100, 100, {100});
        add({"spinBox_PRM03_Data1", "spinBox_PRM04_Data1"}, -100, 100, {100});
        add({"spinBox_PRM03_Data2", "spinBox_PRM03_Data3", "spinBox_PRM04_Data2",
             "spinBox_PRM04_Data3"},
            0, 100, {100});
        add(seq("spinBox_THCURE_Data0%1", 1, 7), 0, 100, {0, 16, 33, 50, 67, 84, 100});
        return r;
    }();
    return rows;
}

struct ComboRow
{
    QString name;
    QStringList items;
    int index;
};

const QVector<ComboRow> &comboRows()
{
    static const QVector<ComboRow> rows = [] {
        const QStringList offOn = {"OFF", "ON"};
        const QStringList channels = seq("CH%1", 1, 8);
        const QStringList aux = {"SwA", "SwB", "VrA", "VrB", "NULL"};
        QVector<ComboRow> r;
        for (const QString &n : seq("comboBox_rev%1", 1, 8))
            r.append({n, {"NOR", "REV"}, 0});
        for (const QString &n : seq("comboBox_AUX%1", 1, 4))
            r.append({n, {"NC"}, 0});
        r.append({"comboBox_AUX5", aux, 1});
        r.append({"comboBox_AUX6", aux, 3});
        r.append({"comboBox_AUX7", aux, 0});
        r.append({"comboBox_AUX8", aux, 2});
        for (const char *n : {"comboBox_DR_MIX1", "comboBox_DR_MIX2", "comboBox_EleMix",
                              "comboBox_RuMix", "comboBox_THCURE_MIX"})
            r.append({n, offOn, 0});
        for (const char *n : {"comboBox_DR_CH1", "comboBox_DR_CH2"})
            r.append({n, channels.mid(0, 4), 0});
        for (const char *n : {"comboBox_DR_SW1", "comboBox_DR_SW2"})
            r.append({n, {"SWA"}, 0});
        r.append({"comboBox_DR_POSI", {"UP", "DOWN"}, 0});
        r.append({"comboBox_AttiM", {"CH5", "CH6", "CH7", "CH8", "OFF"}, 0});
        const int masters[] = {0, 1, 0, 1};
        const int slaves[] = {3, 5, 3, 5};
        for (int m = 1; m <= 4; ++m) {
            const QString prefix = QStringLiteral("comboBox_PRM0%1_").arg(m);
            r.append({prefix + "Mix", {"INH", "OFF", "ON"}, 0});
            r.append({prefix + "Master", channels, masters[m - 1]});
            r.append({prefix + "Slave", channels, slaves[m - 1]});
        }
        return r;
    }();
    return rows;
}

struct MonitorRow
{
    QString value, caption, upperBar, lowerBar;
};

QVector<MonitorRow> monitorRows()
{
    QVector<MonitorRow> rows = {{"lineEdit", "lineEdit_9", "progressBar_10", "progressBar_11"}};
    for (int n = 2; n <= 8; ++n)
        rows.append({QStringLiteral("lineEdit_%1").arg(n),
                     QStringLiteral("lineEdit_%1").arg(17 + n),
                     QStringLiteral("progressBar_%1").arg(n * 10),
                     QStringLiteral("progressBar_%1").arg(n * 10 + 1)});
    return rows;
}

struct PageRow
{
    QString page, title, panel;
    bool firstGradient;
};

const QVector<PageRow> kPages = {
    {"tab", "SERVO", "frame_3", true},      {"tab_2", "BASIC", "frame_2", false},
    {"tab_3", "ADVANCE1", "frame_4", true}, {"tab_4", "ADVANCE2", "frame_5", true},
    {"tab_5", "ADVANCE3", "frame_6", true},
};

struct ImageRow
{
    QString path;
    QSize size;
};

const QVector<ImageRow> kImages = {
    {":/myImage/images/Receive.png", {256, 256}}, {":/myImage/images/open.png", {256, 256}},
    {":/myImage/images/Send.png", {256, 256}},    {":/myImage/images/save.png", {256, 256}},
    {":/myImage/images/Reset.png", {256, 256}},   {":/myImage/images/red.png", {200, 200}},
    {":/myImage/images/green.png", {200, 200}},
};

// Nearest group box above a widget, or the first ancestor's name if there is none.
QString groupOf(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QGroupBox *>(p))
            return p->objectName();
    }
    return QString();
}

// The pieces Qt's own widgets create for themselves (popups, editors, scroll buttons).
bool isPartOfQtWidget(const QWidget *w)
{
    for (const QWidget *p = w->parentWidget(); p; p = p->parentWidget()) {
        if (qobject_cast<const QComboBox *>(p) || qobject_cast<const QAbstractSpinBox *>(p) ||
            qobject_cast<const QTabBar *>(p))
            return true;
    }
    return false;
}

bool colourNear(QColor actual, QColor expected, int tolerance = 4)
{
    return qAbs(actual.red() - expected.red()) <= tolerance &&
           qAbs(actual.green() - expected.green()) <= tolerance &&
           qAbs(actual.blue() - expected.blue()) <= tolerance;
}

QString describe(QColor c)
{
    return QStringLiteral("rgb(%1, %2, %3)").arg(c.red()).arg(c.green()).arg(c.blue());
}

} // namespace

// A window with a few by-name handlers, to see which signals reach them while the form is built.
class HandlerProbe : public QMainWindow
{
    Q_OBJECT

public:
    int aux5Calls = 0;
    int prm02MasterCalls = 0;
    int tabCalls = 0;

public slots:
    void on_comboBox_AUX5_currentIndexChanged(int) { ++aux5Calls; }
    void on_comboBox_PRM02_Master_currentIndexChanged(int) { ++prm02MasterCalls; }
    void on_tabWidget_currentChanged(int) { ++tabCalls; }
};

class tst_Form : public QObject
{
    Q_OBJECT

private:
    template<typename T> T *find(const QString &name) const
    {
        return m_window->findChild<T *>(name);
    }

    QWidget *findWidget(const QString &name) const { return find<QWidget>(name); }

    std::unique_ptr<QMainWindow> m_window;
    Ui::MainWindow m_ui;

private slots:
    void initTestCase();

    void windowFrame();
    void topBarWidgets_data();
    void topBarWidgets();
    void topBarIconsComeFromResources_data();
    void topBarIconsComeFromResources();
    void tabWidgetSettings();
    void tabPages_data();
    void tabPages();
    void monitorColumns_data();
    void monitorColumns();
    void groupBoxes_data();
    void groupBoxes();
    void columnsHoldTheirRowsInOrder_data();
    void columnsHoldTheirRowsInOrder();
    void captionBoxes_data();
    void captionBoxes();
    void spinBoxes_data();
    void spinBoxes();
    void voltageBox();
    void comboBoxes_data();
    void comboBoxes();
    void firstReverseBoxCarriesFieldPalette();
    void curveViews_data();
    void curveViews();
    void styleSheets_data();
    void styleSheets();
    void everyLineEditIsCaptionOrValueBox();
    void noStrayWidgets();
    void initialSelectionsReachNoHandler();
    void resourceImages_data();
    void resourceImages();
    void comboStyleFiles_data();
    void comboStyleFiles();
    void screenshots();
};

void tst_Form::initTestCase()
{
    korvaInitResources();
    m_window = std::make_unique<QMainWindow>();
    m_ui.setupUi(m_window.get());
}

void tst_Form::windowFrame()
{
    QMainWindow *w = m_window.get();
    QCOMPARE(w->objectName(), QStringLiteral("MainWindow"));
    QCOMPARE(w->windowTitle(), QStringLiteral("KORVA&TELUN-V4.2"));
    QCOMPARE(w->size(), QSize(1100, 680));
    QCOMPARE(w->minimumSize(), QSize(0, 0));
    QCOMPARE(w->maximumSize(), QSize(11100, 8000));
    QVERIFY(w->findChildren<QMenuBar *>().isEmpty());
    QVERIFY(w->findChildren<QStatusBar *>().isEmpty());
    QVERIFY(w->findChildren<QToolBar *>().isEmpty());

    QWidget *central = w->centralWidget();
    QVERIFY(central);
    QCOMPARE(central->objectName(), QStringLiteral("centralwidget"));
    QCOMPARE(parseSheet(central->styleSheet()),
             plain({QStringLiteral("background-color: rgb(40, 40, 40);")}));

    auto *bar = find<QFrame>(QStringLiteral("frame"));
    QVERIFY(bar);
    QCOMPARE(bar->parentWidget(), central);
    QCOMPARE(bar->geometry(), QRect(0, 0, 1200, 110));
    QCOMPARE(bar->frameShape(), QFrame::StyledPanel);
    QCOMPARE(bar->frameShadow(), QFrame::Raised);
    QVERIFY(bar->styleSheet().isEmpty());
}

void tst_Form::topBarWidgets_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("style");

    const QString tool = QStringLiteral("QToolButton");
    const QString edit = QStringLiteral("QLineEdit");
    QTest::newRow("toolButton_Read")
        << tool << QRect(20, 5, 110, 90) << "READ" << actionButtonStyle(false);
    QTest::newRow("toolButton_Load")
        << tool << QRect(140, 5, 110, 90) << "LOAD" << actionButtonStyle(false);
    QTest::newRow("toolButton_Send")
        << tool << QRect(260, 5, 110, 90) << "WRITE" << actionButtonStyle(false);
    QTest::newRow("toolButton_Save")
        << tool << QRect(380, 5, 110, 91) << "SAVE" << actionButtonStyle(false);
    QTest::newRow("toolButton_Reset")
        << tool << QRect(500, 5, 110, 90) << "RESET" << actionButtonStyle(true);
    QTest::newRow("openButton") << "QPushButton" << QRect(630, 5, 100, 90) << "OPEN"
                                << openButtonStyle();
    QTest::newRow("portNameBox") << "QComboBox" << QRect(740, 35, 120, 40) << ""
                                 << plain({"background-color: rgb(255, 255, 255);",
                                           "font: 75 16pt \"Arial\";"});
    QTest::newRow("toolButton_led") << tool << QRect(870, 35, 40, 40) << "" << ledStyle();
    const QStringList statusCaption = lineEditStyle(kCaptionBg, 18, kWhiteText);
    const QStringList statusValue = lineEditStyle(kCaptionBg, 18, kYellowText);
    QTest::newRow("lineEdit_26") << edit << QRect(925, 3, 85, 35) << "TX:" << statusCaption;
    QTest::newRow("lineEdit_27") << edit << QRect(925, 38, 85, 35) << "EXT:" << statusCaption;
    QTest::newRow("lineEdit_30") << edit << QRect(925, 73, 85, 35) << "RSSI:" << statusCaption;
    QTest::newRow("lineEdit_TX") << edit << QRect(1010, 3, 85, 35) << " 0.0V" << statusValue;
    QTest::newRow("lineEdit_EXT") << edit << QRect(1010, 38, 85, 35) << " 0.0V" << statusValue;
    QTest::newRow("lineEdit_RSSI") << edit << QRect(1010, 73, 85, 35) << "null" << statusValue;
}

void tst_Form::topBarWidgets()
{
    QFETCH(QString, className);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(QStringList, style);

    const QString name = QString::fromLatin1(QTest::currentDataTag());
    QWidget *w = findWidget(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(QString::fromLatin1(w->metaObject()->className()), className);
    QCOMPARE(w->parentWidget()->objectName(), QStringLiteral("frame"));
    QCOMPARE(w->geometry(), geometry);
    QCOMPARE(parseSheet(w->styleSheet()), style);

    if (auto *button = qobject_cast<QAbstractButton *>(w))
        QCOMPARE(button->text(), text);
    if (auto *edit = qobject_cast<QLineEdit *>(w)) {
        QCOMPARE(edit->text(), text);
        QCOMPARE(edit->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
        // Captions are read-only; the three value boxes next to them take typing.
        const bool isValue = name == QLatin1String("lineEdit_TX") ||
                             name == QLatin1String("lineEdit_EXT") ||
                             name == QLatin1String("lineEdit_RSSI");
        QCOMPARE(edit->isReadOnly(), !isValue);
    }
    if (auto *combo = qobject_cast<QComboBox *>(w)) {
        QCOMPARE(combo->count(), 0);
        QCOMPARE(combo->currentIndex(), -1);
    }
}

void tst_Form::topBarIconsComeFromResources_data()
{
    QTest::addColumn<QString>("image");
    QTest::addColumn<QSize>("iconSize");
    QTest::addColumn<bool>("textUnderIcon");

    const QSize action(60, 60);
    QTest::newRow("toolButton_Read") << ":/myImage/images/Receive.png" << action << true;
    QTest::newRow("toolButton_Load") << ":/myImage/images/open.png" << action << true;
    QTest::newRow("toolButton_Send") << ":/myImage/images/Send.png" << action << true;
    QTest::newRow("toolButton_Save") << ":/myImage/images/save.png" << action << true;
    QTest::newRow("toolButton_Reset") << ":/myImage/images/Reset.png" << action << true;
    QTest::newRow("toolButton_led") << ":/myImage/images/red.png" << QSize(40, 40) << false;
}

void tst_Form::topBarIconsComeFromResources()
{
    QFETCH(QString, image);
    QFETCH(QSize, iconSize);
    QFETCH(bool, textUnderIcon);

    auto *button = find<QToolButton>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(button);
    QCOMPARE(button->iconSize(), iconSize);
    if (textUnderIcon)
        QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);

    const QImage expected(image);
    QVERIFY2(!expected.isNull(), qPrintable(image));
    QVERIFY(!button->icon().isNull());
    const QImage shown = button->icon().pixmap(expected.size()).toImage();
    // Compare premultiplied: that is how the pixmap holds it, so the conversion is exact.
    QCOMPARE(shown.convertToFormat(QImage::Format_ARGB32_Premultiplied),
             expected.convertToFormat(QImage::Format_ARGB32_Premultiplied));
}

void tst_Form::tabWidgetSettings()
{
    QTabWidget *tabs = m_ui.tabWidget;
    QVERIFY(tabs);
    QCOMPARE(tabs->objectName(), QStringLiteral("tabWidget"));
    QCOMPARE(tabs->parentWidget(), m_window->centralWidget());
    QCOMPARE(tabs->geometry(), QRect(10, 110, 1080, 560));
    QCOMPARE(tabs->count(), 5);
    QCOMPARE(tabs->currentIndex(), 1);
    QCOMPARE(tabs->tabPosition(), QTabWidget::North);
    QCOMPARE(tabs->tabShape(), QTabWidget::Rounded);
    QVERIFY(tabs->documentMode());
    QVERIFY(tabs->isMovable());
    QVERIFY(!tabs->tabsClosable());
    QVERIFY(!tabs->tabBarAutoHide());
    QCOMPARE(tabs->elideMode(), Qt::ElideMiddle);
    QCOMPARE(tabs->iconSize(), QSize(100, 100));
    QCOMPARE(tabs->focusPolicy(), Qt::NoFocus);
    QCOMPARE(tabs->contextMenuPolicy(), Qt::NoContextMenu);
    QCOMPARE(tabs->font().family(), QStringLiteral("Arial"));
    QCOMPARE(tabs->font().pointSize(), 11);
    QVERIFY(tabs->font().bold());
    QVERIFY(hasFormWeight(tabs->font(), 75));

    const QStringList expected =
        rule("QTabWidget::pane", {"border:10px;"}) +
        rule("QTabWidget::tab-bar", {"alignment:left;"}) +
        rule("QTabBar::tab", {"border: none;", "border-top-left-radius: 10px;",
                              "border-top-right-radius: 10px;", "color: white;",
                              "background: rgb(80,80,80);", "height: 50px;", "min-width: 140px;"}) +
        rule("QTabBar::tab:hover", {"background:rgba(0, 0, 0, 0);"}) +
        rule("QTabBar::tab:selected",
             {"border-color: white;", "background:red;", "color:rgba(0, 255, 255, 255);"});
    QCOMPARE(parseSheet(tabs->styleSheet()), expected);
}

void tst_Form::tabPages_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("page");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("gradient");
    for (int i = 0; i < kPages.size(); ++i) {
        const PageRow &p = kPages.at(i);
        QTest::newRow(qPrintable(p.title))
            << i << p.page << p.title << p.panel << (p.firstGradient ? kGradient1 : kGradient2);
    }
}

void tst_Form::tabPages()
{
    QFETCH(int, index);
    QFETCH(QString, page);
    QFETCH(QString, title);
    QFETCH(QString, panel);
    QFETCH(QString, gradient);

    QWidget *w = m_ui.tabWidget->widget(index);
    QVERIFY(w);
    QCOMPARE(w->objectName(), page);
    QCOMPARE(m_ui.tabWidget->tabText(index), title);
    QCOMPARE(parseSheet(w->styleSheet()), plain({gradient}));

    auto *frame = w->findChild<QFrame *>(panel, Qt::FindDirectChildrenOnly);
    QVERIFY2(frame, qPrintable(panel));
    QCOMPARE(frame->geometry(), QRect(10, 10, 1060, 490));
    QCOMPARE(frame->frameShape(), QFrame::StyledPanel);
    QCOMPARE(frame->frameShadow(), QFrame::Raised);
    QCOMPARE(parseSheet(frame->styleSheet()), plain({"background-color: rgb(50, 50, 50);"}));

    // The panel is the page's only child; everything else sits on it.
    const auto pageChildren = w->findChildren<QWidget *>(QString(), Qt::FindDirectChildrenOnly);
    QCOMPARE(pageChildren.size(), 1);
}

void tst_Form::monitorColumns_data()
{
    QTest::addColumn<int>("x");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("upperBar");
    QTest::addColumn<QString>("lowerBar");
    const QVector<MonitorRow> rows = monitorRows();
    for (int i = 0; i < rows.size(); ++i) {
        const MonitorRow &r = rows.at(i);
        QTest::addRow("CH%d", i + 1)
            << 20 + 135 * i << r.value << r.caption << r.upperBar << r.lowerBar;
    }
}

void tst_Form::monitorColumns()
{
    QFETCH(int, x);
    QFETCH(QString, value);
    QFETCH(QString, caption);
    QFETCH(QString, upperBar);
    QFETCH(QString, lowerBar);

    auto *valueBox = find<QLineEdit>(value);
    QVERIFY(valueBox);
    QCOMPARE(valueBox->parentWidget()->objectName(), QStringLiteral("frame_3"));
    QCOMPARE(valueBox->geometry(), QRect(x, 10, 80, 50));
    QCOMPARE(valueBox->text(), QStringLiteral("0"));
    QCOMPARE(valueBox->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    QVERIFY(!valueBox->isReadOnly());
    QCOMPARE(parseSheet(valueBox->styleSheet()), lineEditStyle(kFieldBg, 26, kWhiteText));

    auto *captionBox = find<QLineEdit>(caption);
    QVERIFY(captionBox);
    QCOMPARE(captionBox->parentWidget()->objectName(), QStringLiteral("frame_3"));
    QCOMPARE(captionBox->geometry(), QRect(x + 10, 60, 60, 31));
    QCOMPARE(captionBox->text(), QString::fromLatin1(QTest::currentDataTag()));
    QCOMPARE(captionBox->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    QVERIFY(captionBox->isReadOnly());
    QCOMPARE(parseSheet(captionBox->styleSheet()),
             lineEditStyle(QStringLiteral("background-color: rgb(0, 0, 0);"), 23, kYellowText));

    struct Bar
    {
        QString name;
        int y, maximum, value;
        bool upper;
    };
    for (const Bar &b :
         {Bar{upperBar, 105, 1010, 10, true}, Bar{lowerBar, 285, 1000, 1000, false}}) {
        auto *bar = find<QProgressBar>(b.name);
        QVERIFY2(bar, qPrintable(b.name));
        QCOMPARE(bar->parentWidget()->objectName(), QStringLiteral("frame_3"));
        QCOMPARE(bar->geometry(), QRect(x + 15, b.y, 50, 180));
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), b.maximum);
        QCOMPARE(bar->value(), b.value);
        QCOMPARE(bar->orientation(), Qt::Vertical);
        QVERIFY(!bar->isTextVisible());
        QVERIFY(!bar->invertedAppearance());
        QCOMPARE(bar->textDirection(), QProgressBar::BottomToTop);
        QCOMPARE(parseSheet(bar->styleSheet()), barStyle(b.upper));
    }
}

void tst_Form::groupBoxes_data()
{
    QTest::addColumn<QString>("panel");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("fontPt");
    QTest::addColumn<int>("titlePt");
    for (const GroupRow &g : groupRows())
        QTest::newRow(qPrintable(g.name))
            << g.panel << g.title << g.geometry << g.fontPt << g.titlePt;
}

void tst_Form::groupBoxes()
{
    QFETCH(QString, panel);
    QFETCH(QString, title);
    QFETCH(QRect, geometry);
    QFETCH(int, fontPt);
    QFETCH(int, titlePt);

    auto *box = find<QGroupBox>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(box);
    QCOMPARE(box->parentWidget()->objectName(), panel);
    QCOMPARE(box->title(), title);
    QCOMPARE(box->geometry(), geometry);

    if (fontPt) {
        QVERIFY(box->testAttribute(Qt::WA_SetFont));
        QCOMPARE(box->font().family(), QStringLiteral("Arial"));
        QCOMPARE(box->font().pointSize(), fontPt);
        QVERIFY(hasFormWeight(box->font(), 9));
        QVERIFY(!box->font().italic());
    } else {
        QVERIFY(!box->testAttribute(Qt::WA_SetFont));
    }

    // Either order of the two declarations is fine.
    QStringList decls = parseSheet(box->styleSheet());
    QCOMPARE(decls.size(), 4);
    QCOMPARE(decls.first(), QStringLiteral("{"));
    decls = decls.mid(1, 2);
    decls.sort();
    QStringList expected = {QStringLiteral("color: rgb(255, 170, 0);"),
                            QStringLiteral("font: 75 %1pt \"Arial\";").arg(titlePt)};
    expected.sort();
    QCOMPARE(decls, expected);
}

void tst_Form::columnsHoldTheirRowsInOrder_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<int>("spacing");
    QTest::addColumn<QStringList>("rows");
    for (const ColumnRow &c : columnRows())
        QTest::newRow(qPrintable(c.rows.first())) << c.group << c.geometry << c.spacing << c.rows;
}

void tst_Form::columnsHoldTheirRowsInOrder()
{
    QFETCH(QString, group);
    QFETCH(QRect, geometry);
    QFETCH(int, spacing);
    QFETCH(QStringList, rows);

    QWidget *first = findWidget(rows.first());
    QVERIFY(first);
    QWidget *column = first->parentWidget();
    QCOMPARE(column->parentWidget()->objectName(), group);
    QCOMPARE(column->geometry(), geometry);

    auto *layout = qobject_cast<QVBoxLayout *>(column->layout());
    QVERIFY(layout);
    QCOMPARE(layout->contentsMargins(), QMargins(0, 0, 0, 0));
    if (spacing < 0)
        spacing = column->style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing, nullptr, column);
    QCOMPARE(layout->spacing(), spacing);

    QStringList inLayout;
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *w = layout->itemAt(i)->widget();
        inLayout << (w ? w->objectName() : QStringLiteral("<not a widget>"));
    }
    QCOMPARE(inLayout, rows);

    // Rows share the column's height: everything grows vertically. On the BASIC page the fields
    // keep their natural width; elsewhere they fill the column.
    const bool basic = group == QLatin1String("groupBox") || group == QLatin1String("groupBox_2") ||
                       group == QLatin1String("groupBox_3") ||
                       group == QLatin1String("groupBox_4") ||
                       group == QLatin1String("groupBox_14") ||
                       group == QLatin1String("groupBox_5") || group == QLatin1String("groupBox_6");
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *w = layout->itemAt(i)->widget();
        QSizePolicy::Policy horizontal = QSizePolicy::Expanding;
        if (basic && qobject_cast<QComboBox *>(w))
            horizontal = QSizePolicy::Preferred;
        else if (basic && qobject_cast<QAbstractSpinBox *>(w))
            horizontal = QSizePolicy::Minimum;
        QVERIFY2(w->sizePolicy().horizontalPolicy() == horizontal, qPrintable(w->objectName()));
        QVERIFY2(w->sizePolicy().verticalPolicy() == QSizePolicy::Expanding,
                 qPrintable(w->objectName()));
    }
}

void tst_Form::captionBoxes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("px");
    for (const CaptionRow &c : captionRows())
        QTest::newRow(qPrintable(c.name)) << c.text << captionPx(c.name);
}

void tst_Form::captionBoxes()
{
    QFETCH(QString, text);
    QFETCH(int, px);

    auto *edit = find<QLineEdit>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(edit);
    QCOMPARE(QString::fromLatin1(edit->metaObject()->className()), QStringLiteral("QLineEdit"));
    QCOMPARE(edit->text(), text);
    QVERIFY(edit->isReadOnly());
    QCOMPARE(edit->alignment(), Qt::AlignHCenter | Qt::AlignVCenter);
    QCOMPARE(parseSheet(edit->styleSheet()), captionStyle(px));
    QVERIFY(!groupOf(edit).isEmpty());
}

void tst_Form::spinBoxes_data()
{
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("px");
    for (const SpinRow &s : spinRows())
        QTest::newRow(qPrintable(s.name)) << s.minimum << s.maximum << s.value << fieldPx(s.name);
}

void tst_Form::spinBoxes()
{
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, px);

    auto *spin = find<QSpinBox>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(spin);
    QCOMPARE(QString::fromLatin1(spin->metaObject()->className()), QStringLiteral("QSpinBox"));
    QCOMPARE(spin->minimum(), minimum);
    QCOMPARE(spin->maximum(), maximum);
    QCOMPARE(spin->value(), value);
    QCOMPARE(spin->singleStep(), 1);
    QCOMPARE(parseSheet(spin->styleSheet()), fieldStyle(QStringLiteral("QSpinBox"), px));
}

void tst_Form::voltageBox()
{
    QDoubleSpinBox *volt = m_ui.doubleSpinBox_Volt;
    QVERIFY(volt);
    QCOMPARE(volt->objectName(), QStringLiteral("doubleSpinBox_Volt"));
    QCOMPARE(groupOf(volt), QStringLiteral("groupBox_9"));
    QCOMPARE(volt->decimals(), 2);
    QCOMPARE(volt->minimum(), 0.0);
    QCOMPARE(volt->maximum(), 99.99);
    QCOMPARE(volt->singleStep(), 0.1);
    QCOMPARE(volt->value(), 0.0);
    QCOMPARE(parseSheet(volt->styleSheet()), fieldStyle(QStringLiteral("QDoubleSpinBox"), 22));
}

void tst_Form::comboBoxes_data()
{
    QTest::addColumn<QStringList>("items");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("px");
    for (const ComboRow &c : comboRows())
        QTest::newRow(qPrintable(c.name)) << c.items << c.index << fieldPx(c.name);
}

void tst_Form::comboBoxes()
{
    QFETCH(QStringList, items);
    QFETCH(int, index);
    QFETCH(int, px);

    auto *combo = find<QComboBox>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(combo);
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i)
        shown << combo->itemText(i);
    QCOMPARE(shown, items);
    QCOMPARE(combo->currentIndex(), index);
    QCOMPARE(parseSheet(combo->styleSheet()), fieldStyle(QStringLiteral("QComboBox"), px));
}

void tst_Form::firstReverseBoxCarriesFieldPalette()
{
    // A combo box is polished while the form is built, and its style sheet's colours then
    // replace the palette, so the palette can only be seen in the form description itself.
    QFile form(QStringLiteral(KORVA_FORM_FILE));
    QVERIFY(form.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&form);
    QStringList entries; // "group role red,green,blue,alpha"
    bool inBox = false;
    QString group, role;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QString name = xml.name().toString();
        const QXmlStreamAttributes attributes = xml.attributes();
        if (name == QLatin1String("widget")) {
            inBox = attributes.value(QLatin1String("name")) == QLatin1String("comboBox_rev1");
        } else if (!inBox) {
            continue;
        } else if (name == QLatin1String("active") || name == QLatin1String("inactive") ||
                   name == QLatin1String("disabled")) {
            group = name;
        } else if (name == QLatin1String("colorrole")) {
            role = attributes.value(QLatin1String("role")).toString();
        } else if (name == QLatin1String("color")) {
            const QString alpha = attributes.value(QLatin1String("alpha")).toString();
            QStringList rgb;
            while (xml.readNextStartElement())
                rgb << xml.readElementText();
            entries << QStringLiteral("%1 %2 %3,%4")
                           .arg(group, role, rgb.join(QLatin1Char(',')), alpha);
        }
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

    QStringList expected;
    for (const char *g : {"active", "inactive", "disabled"}) {
        const QString white = QStringLiteral("255,255,255,255");
        const QString blue = QStringLiteral("85,170,255,255");
        const QString prefix = QLatin1String(g) + QLatin1Char(' ');
        expected << prefix + "WindowText " + white << prefix + "Button " + blue
                 << prefix + "Text " + white << prefix + "ButtonText " + white
                 << prefix + "Base " + blue << prefix + "Window " + blue
                 << prefix + "PlaceholderText 255,255,255,128";
    }
    entries.sort();
    expected.sort();
    QCOMPARE(entries, expected);
}

void tst_Form::curveViews_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("group");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("widget_3") << "mWidget"
                              << "groupBox_19" << QRect(220, 30, 585, 430);
    QTest::newRow("widget_4") << "cureWidget"
                              << "groupBox_18" << QRect(210, 30, 595, 430);
}

void tst_Form::curveViews()
{
    QFETCH(QString, className);
    QFETCH(QString, group);
    QFETCH(QRect, geometry);

    QWidget *view = findWidget(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(view);
    QCOMPARE(QString::fromLatin1(view->metaObject()->className()), className);
    QCOMPARE(view->parentWidget()->objectName(), group);
    QCOMPARE(view->geometry(), geometry);
    QCOMPARE(parseSheet(view->styleSheet()), plain({"background-color: rgb(255, 255, 255);"}));
}

void tst_Form::styleSheets_data()
{
    // One sample per role, spelled out in full, including the rules beyond the box rule.
    QTest::addColumn<QStringList>("expected");
    const QString qle = QStringLiteral("QLineEdit");
    auto boxRule = [](const QString &sel, const QString &bg, int w, int r, int px,
                      const QString &colour) { return rule(sel, box(bg, w, r, px, colour)); };

    QTest::newRow("openButton") << boxRule("QPushButton", "background-color:rgba(100,100,100,100);",
                                           4, 10, 22, kWhiteText) +
                                       rule("QPushButton[keyboardFocus=\"true\"]", kFocus) +
                                       rule("QPushButton:pressed", kPressedA) +
                                       rule("QPushButton:hover", kHover);
    QTest::newRow("toolButton_Send") << boxRule("QToolButton", kButtonBg, 4, 10, 20, kWhiteText) +
                                            rule("QToolButton[keyboardFocus=\"true\"]", kFocus) +
                                            rule("QToolButton:pressed", kPressedA) +
                                            rule("QToolButton:hover", kHover);
    QTest::newRow("toolButton_Reset") << boxRule("QToolButton", kButtonBg, 4, 10, 20, kWhiteText) +
                                             rule("QToolButton[keyboardFocus=\"true\"]", kFocus) +
                                             rule("QToolButton:pressed", kPressedB) +
                                             rule("QToolButton:hover", kHover);
    QTest::newRow("toolButton_led") << boxRule("QToolButton", kButtonBg, 0, 0, 16, kWhiteText);
    QTest::newRow("lineEdit_27") << boxRule(qle, kCaptionBg, 4, 4, 18, kWhiteText);
    QTest::newRow("lineEdit_TX") << boxRule(qle, kCaptionBg, 4, 4, 18, kYellowText);
    QTest::newRow("lineEdit_109 caption 16px") << boxRule(qle, kCaptionBg, 4, 4, 16, kWhiteText);
    QTest::newRow("lineEdit_29 caption 20px") << boxRule(qle, kCaptionBg, 4, 4, 20, kWhiteText);
    QTest::newRow("lineEdit_51 caption 22px") << boxRule(qle, kCaptionBg, 4, 4, 22, kWhiteText);
    QTest::newRow("lineEdit_5") << boxRule(qle, kFieldBg, 4, 4, 26, kWhiteText);
    QTest::newRow("lineEdit_24") << boxRule(qle, "background-color: rgb(0, 0, 0);", 4, 4, 23,
                                            kYellowText);
    QTest::newRow("spinBox_sub8 field 22px")
        << boxRule("QSpinBox", kFieldBg, 4, 4, 22, kWhiteText) + rule("QSpinBox:hover", kHover);
    QTest::newRow("spinBox_sub7 field 20px")
        << boxRule("QSpinBox", kFieldBg, 4, 4, 20, kWhiteText) + rule("QSpinBox:hover", kHover);
    QTest::newRow("comboBox_PRM02_Slave field 22px")
        << boxRule("QComboBox", kFieldBg, 4, 4, 22, kWhiteText) + rule("QComboBox:hover", kHover);
    QTest::newRow("tab") << plain({kGradient1});
    QTest::newRow("tab_2") << plain({kGradient2});
    QTest::newRow("tab_5") << plain({kGradient1});
    QTest::newRow("frame_6") << plain({"background-color: rgb(50, 50, 50);"});
    QTest::newRow("centralwidget") << plain({"background-color: rgb(40, 40, 40);"});
    QTest::newRow("portNameBox") << plain(
        {"background-color: rgb(255, 255, 255);", "font: 75 16pt \"Arial\";"});
    QTest::newRow("progressBar_70 upper bar")
        << rule("QProgressBar:vertical",
                {"border-radius:0px;", "background-color:rgba(255,255,255,255);",
                 "color: transparent;", "text-align:center;"}) +
               rule("QProgressBar::chunk:vertical",
                    {"background-color:rgba(0,0,255,255);", "margin:0px;", "height:1px;"});
    QTest::newRow("progressBar_71 lower bar")
        << rule("QProgressBar:vertical",
                {"border-radius:0px;", "background-color:rgba(0,0,255,255);", "color: transparent;",
                 "text-align:center;"}) +
               rule("QProgressBar::chunk:vertical",
                    {"background-color:rgba(255,255,255,255);", "margin:0px;", "height:1px;"});
    QTest::newRow("widget_4") << plain({"background-color: rgb(255, 255, 255);"});
}

void tst_Form::styleSheets()
{
    QFETCH(QStringList, expected);
    const QString name = QString::fromLatin1(QTest::currentDataTag()).section(' ', 0, 0);
    QWidget *w = findWidget(name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(parseSheet(w->styleSheet()), expected);
}

void tst_Form::everyLineEditIsCaptionOrValueBox()
{
    // Value boxes take typing; every other line edit is a caption and must refuse it.
    QStringList valueBoxes = {"lineEdit_TX", "lineEdit_EXT", "lineEdit_RSSI"};
    for (const MonitorRow &m : monitorRows())
        valueBoxes << m.value;

    int captions = 0;
    const auto edits = m_window->findChildren<QLineEdit *>();
    for (QLineEdit *edit : edits) {
        // Spin boxes own an unnamed-by-us editor; it is part of the spin box, not the form.
        if (qobject_cast<QAbstractSpinBox *>(edit->parentWidget()) ||
            qobject_cast<QComboBox *>(edit->parentWidget()))
            continue;
        const bool isValue = valueBoxes.contains(edit->objectName());
        QVERIFY2(edit->isReadOnly() != isValue, qPrintable(edit->objectName()));
        QVERIFY2(edit->alignment() == (Qt::AlignHCenter | Qt::AlignVCenter),
                 qPrintable(edit->objectName()));
        if (!isValue)
            ++captions;
    }
    // 3 status captions, 8 monitor captions and the captions of the settings pages.
    QCOMPARE(captions, 3 + 8 + captionRows().size());
}

void tst_Form::noStrayWidgets()
{
    QSet<QString> expected = {
        "centralwidget",  "frame",         "tabWidget",   "openButton",  "portNameBox",
        "toolButton_led", "lineEdit_26",   "lineEdit_27", "lineEdit_30", "lineEdit_TX",
        "lineEdit_EXT",   "lineEdit_RSSI", "widget_3",    "widget_4",    "doubleSpinBox_Volt"};
    for (const char *n : {"Read", "Load", "Send", "Save", "Reset"})
        expected << QStringLiteral("toolButton_") + QLatin1String(n);
    for (const PageRow &p : kPages)
        expected << p.page << p.panel;
    for (const MonitorRow &m : monitorRows())
        expected << m.value << m.caption << m.upperBar << m.lowerBar;
    for (const GroupRow &g : groupRows())
        expected << g.name;
    for (const CaptionRow &c : captionRows())
        expected << c.name;
    for (const SpinRow &s : spinRows())
        expected << s.name;
    for (const ComboRow &c : comboRows())
        expected << c.name;

    // Column containers are named by the form; their content is checked elsewhere.
    const QRegularExpression containerName(QStringLiteral("^verticalLayoutWidget(_\\d+)?$"));
    int containers = 0;
    QSet<QString> found;
    const auto widgets = m_window->findChildren<QWidget *>();
    for (QWidget *w : widgets) {
        const QString name = w->objectName();
        if (name.startsWith(QLatin1String("qt_")) || isPartOfQtWidget(w))
            continue;
        if (containerName.match(name).hasMatch()) {
            ++containers;
            continue;
        }
        QVERIFY2(!found.contains(name), qPrintable(QStringLiteral("duplicate ") + name));
        found << name;
    }
    QCOMPARE(containers, columnRows().size());
    auto sorted = [](const QSet<QString> &set) {
        QStringList list(set.cbegin(), set.cend());
        list.sort();
        return list;
    };
    QCOMPARE(sorted(found - expected), QStringList());
    QCOMPARE(sorted(expected - found), QStringList());
}

void tst_Form::initialSelectionsReachNoHandler()
{
    // The initial selections are made before the window's handlers are bound, so building the
    // form must not look like a user edit.
    HandlerProbe probe;
    Ui::MainWindow ui;
    ui.setupUi(&probe);
    QCOMPARE(ui.comboBox_AUX5->currentIndex(), 1);
    QCOMPARE(ui.comboBox_PRM02_Master->currentIndex(), 1);
    QCOMPARE(ui.tabWidget->currentIndex(), 1);
    QCOMPARE(probe.aux5Calls, 0);
    QCOMPARE(probe.prm02MasterCalls, 0);
    QCOMPARE(probe.tabCalls, 0);

    // ...yet the handlers are bound.
    ui.comboBox_AUX5->setCurrentIndex(0);
    ui.comboBox_PRM02_Master->setCurrentIndex(0);
    ui.tabWidget->setCurrentIndex(0);
    QCOMPARE(probe.aux5Calls, 1);
    QCOMPARE(probe.prm02MasterCalls, 1);
    QCOMPARE(probe.tabCalls, 1);
}

void tst_Form::resourceImages_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QSize>("size");
    for (const ImageRow &i : kImages)
        QTest::newRow(qPrintable(i.path)) << i.path << i.size;
}

void tst_Form::resourceImages()
{
    QFETCH(QString, path);
    QFETCH(QSize, size);
    QVERIFY(QFile::exists(path));
    const QImage image(path);
    QVERIFY(!image.isNull());
    QCOMPARE(image.size(), size);
    QVERIFY(image.hasAlphaChannel());
    // Round artwork on a square canvas: the corners are see-through.
    QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
    QCOMPARE(qAlpha(image.pixel(size.width() - 1, size.height() - 1)), 0);
}

void tst_Form::comboStyleFiles_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QStringList>("expected");
    const QStringList plainField = rule("QComboBox", box(kFieldBg, 4, 4, 22, kWhiteText));
    QTest::newRow("plain look with hover highlight")
        << ":/comboBox.qss" << plainField + rule("QComboBox:hover", kHover);
    QTest::newRow("hover highlight suppressed")
        << ":/comboBox_REV.qss"
        << plainField + rule("QComboBox:hover", box(kFieldBg, 4, 4, 22, kWhiteText));
}

void tst_Form::comboStyleFiles()
{
    QFETCH(QString, path);
    QFETCH(QStringList, expected);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(parseSheet(QString::fromUtf8(file.readAll())), expected);
}

void tst_Form::screenshots()
{
    // A window of its own: showing it polishes every widget, which would change what the
    // checks above read back.
    QMainWindow window;
    Ui::MainWindow ui;
    ui.setupUi(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    const QString dir = QDir(QCoreApplication::applicationDirPath()).filePath("screenshots");
    QVERIFY(QDir().mkpath(dir));

    for (int i = 0; i < ui.tabWidget->count(); ++i) {
        ui.tabWidget->setCurrentIndex(i);
        QCoreApplication::processEvents();
        const QImage shot = window.grab().toImage();
        QCOMPARE(shot.size(), QSize(1100, 680));
        const QString title = ui.tabWidget->tabText(i);
        const QString file =
            QDir(dir).filePath(QStringLiteral("page%1_%2.png").arg(i).arg(title.toLower()));
        QVERIFY2(shot.save(file), qPrintable(file));

        QWidget *page = ui.tabWidget->widget(i);
        QWidget *panel = page->findChild<QFrame *>(QString(), Qt::FindDirectChildrenOnly);
        auto pixelAt = [&](QWidget *w, QPoint p) { return shot.pixelColor(w->mapTo(&window, p)); };
        // Dark window background right of the tabs, grey panel near its bottom-left corner,
        // and the page's red-to-white gradient above and below the panel.
        const QColor window40 = shot.pixelColor(1095, 675);
        const QColor panel50 = pixelAt(panel, QPoint(6, panel->height() - 6));
        const QColor pageTop = pixelAt(page, QPoint(3, 2));
        const QColor pageBottom = pixelAt(page, QPoint(3, page->height() - 2));
        QVERIFY2(colourNear(window40, QColor(40, 40, 40)), qPrintable(describe(window40)));
        QVERIFY2(colourNear(panel50, QColor(50, 50, 50)), qPrintable(describe(panel50)));
        QVERIFY2(pageTop.red() > 240 && pageTop.green() < 60 && pageTop.blue() < 60,
                 qPrintable(describe(pageTop)));
        QVERIFY2(pageBottom.red() > 240 && pageBottom.green() > 200 && pageBottom.blue() > 200,
                 qPrintable(describe(pageBottom)));
    }

    // A field of the BASIC page shows the blue field background near its top-left corner.
    ui.tabWidget->setCurrentIndex(1);
    QCoreApplication::processEvents();
    const QImage basic = window.grab().toImage();
    const QColor field = basic.pixelColor(ui.spinBox_sub1->mapTo(&window, QPoint(8, 3)));
    QVERIFY2(colourNear(field, QColor(85, 170, 255)), qPrintable(describe(field)));
}

QTEST_MAIN(tst_Form)
#include "tst_form.moc"
