#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Writes ui/mainwindow.ui, the Qt Designer form of the main window.

The form is absolutely positioned and has a few hundred widgets that differ only in names,
ranges and a handful of font sizes, so it is described here as tables (pages, group boxes,
columns, rows) and expanded into Designer XML. Edit the tables, run the script, commit both
the script and the regenerated form.

    python3 scripts/gen_ui.py            # rewrite ui/mainwindow.ui
    python3 scripts/gen_ui.py --check    # exit 1 if the committed form is stale
"""

import argparse
import pathlib
import re
import sys
import xml.etree.ElementTree as ET

ROOT = pathlib.Path(__file__).resolve().parent.parent
FORM = ROOT / "ui" / "mainwindow.ui"
VALUE_NAMES_FILE = ROOT / "protocol" / "valuenames.def"
IMAGES = ":/myImage/images/"

# ---------------------------------------------------------------------------------------------
# Style sheets
#
# Most widgets carry one "box" rule for their own class: background, outset border, border
# width and radius, transparent border colour, bold pixel font, text colour, no padding. Some
# roles add a :pressed and/or :hover rule with the same selector.

WHITE = "color:rgba(255,255,255,255);"
YELLOW = "color:rgba(255,255,0,255);"
BG_BUTTON = "background-color:rgba(70,70,70,70);"
BG_CAPTION = "background-color: rgb(70, 70, 70);"
BG_FIELD = "background-color: rgb(85, 170, 255);"

PRESSED_A = [
    "background-color:rgba(100,255,100,200);",
    "border-color:rgba(255,255,255,30);",
    "border-style:inset;",
    "color:rgba(0,0,0,100);",
]
PRESSED_B = [
    "background-color:rgba(255,255,0,255);",
    "border-color:rgba(255,255,255,30);",
    "border-style:inset;",
    "color:rgba(255,0,0,100);",
]
# Keyboard focus on a button: a cyan border where the unfocused button has a transparent one.
# The window marks a button that the pilot reached with Tab; the focus a window gives its
# first button when it is activated shows nothing.
FOCUS = ["border-color:rgba(0,255,255,255);"]
KEYBOARD_FOCUS = '[keyboardFocus="true"]'
HOVER = [
    "background-color:rgba(100,255,100,100);",
    "border-color:rgba(255,255,255,255);",
    WHITE,
]

# role: (selector, background, border width, border radius, font px, text colour, extra rules)
# A selector or font size of None is filled in per widget.
ROLES = {
    "open": ("QPushButton", "background-color:rgba(100,100,100,100);", 4, 10, 22, WHITE,
             [("focus", FOCUS), ("pressed", PRESSED_A), ("hover", HOVER)]),
    "action": ("QToolButton", BG_BUTTON, 4, 10, 20, WHITE,
               [("focus", FOCUS), ("pressed", PRESSED_A), ("hover", HOVER)]),
    "reset": ("QToolButton", BG_BUTTON, 4, 10, 20, WHITE,
              [("focus", FOCUS), ("pressed", PRESSED_B), ("hover", HOVER)]),
    "led": ("QToolButton", BG_BUTTON, 0, 0, 16, WHITE, []),
    "status_caption": ("QLineEdit", BG_CAPTION, 4, 4, 18, WHITE, []),
    "status_value": ("QLineEdit", BG_CAPTION, 4, 4, 18, YELLOW, []),
    "caption": ("QLineEdit", BG_CAPTION, 4, 4, None, WHITE, []),
    "monitor_value": ("QLineEdit", BG_FIELD, 4, 4, 26, WHITE, []),
    "monitor_caption": ("QLineEdit", "background-color: rgb(0, 0, 0);", 4, 4, 26, YELLOW, []),
    "field": (None, BG_FIELD, 4, 4, None, WHITE, [("hover", HOVER)]),
}


def box_rule(background, width, radius, px, colour):
    return [
        background,
        "border-style:outset;",
        f"border-width:{width}px;",
        f"border-radius:{radius}px;",
        "border-color:rgba(0,0,0,0);",
        f"font:bold {px}px;",
        colour,
        "padding:0px;",
    ]


def format_rules(rules):
    return "\n".join(sel + "{\n" + "\n".join(decls) + "\n}" for sel, decls in rules)


def role_sheet(role, px=None, selector=None):
    sel, background, width, radius, role_px, colour, extra = ROLES[role]
    sel = sel or selector
    rules = [(sel, box_rule(background, width, radius, px or role_px, colour))]
    rules += [(sel + (KEYBOARD_FOCUS if state == "focus" else ":" + state), decls)
              for state, decls in extra]
    return format_rules(rules)


WINDOW_STYLE = "background-color: rgb(40, 40, 40);"
PORT_BOX_STYLE = 'background-color: rgb(255, 255, 255);\nfont: 75 16pt "Arial";'
PAGE_GRADIENT_1 = ("background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, "
                   "stop:0 rgba(255, 0, 0, 255), stop:1 rgba(255, 255, 255, 255));")
PAGE_GRADIENT_2 = ("background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0.006, y2:1, "
                   "stop:0 rgba(255, 19, 19, 255), stop:1 rgba(255, 255, 255, 255));")
PANEL_STYLE = "background-color: rgb(50, 50, 50);"
CURVE_STYLE = "background-color: rgb(255, 255, 255);"


def group_style(pt):
    return f'color: rgb(255, 170, 0);\nfont: 75 {pt}pt "Arial";'


TAB_WIDGET_STYLE = format_rules([
    ("QTabWidget::pane", ["border:10px;"]),
    ("QTabWidget::tab-bar", ["alignment:left;"]),
    ("QTabBar::tab", [
        "border: none;",
        "border-top-left-radius: 10px;",
        "border-top-right-radius: 10px;",
        "color: white;",
        "background: rgb(80,80,80);",
        "height: 50px;",
        "min-width: 140px;",
    ]),
    ("QTabBar::tab:hover", ["background:rgba(0, 0, 0, 0);"]),
    ("QTabBar::tab:selected", [
        "border-color: white;",
        "background:red;",
        "color:rgba(0, 255, 255, 255);",
    ]),
])


def bar_style(trough, chunk):
    return format_rules([
        ("QProgressBar:vertical", [
            "border-radius:0px;",
            f"background-color:{trough};",
            "color: transparent;",
            "text-align:center;",
        ]),
        ("QProgressBar::chunk:vertical", [
            f"background-color:{chunk};",
            "margin:0px;",
            "height:1px;",
        ]),
    ])


BLUE = "rgba(0,0,255,255)"
OPAQUE_WHITE = "rgba(255,255,255,255)"
UPPER_BAR_STYLE = bar_style(OPAQUE_WHITE, BLUE)
LOWER_BAR_STYLE = bar_style(BLUE, OPAQUE_WHITE)

# The style sheet files swapped onto parameter combo boxes after a long hover: the plain field
# look at 22 px, once with the green hover highlight and once with the highlight suppressed.
FIELD_22 = box_rule(BG_FIELD, 4, 4, 22, WHITE)
QSS_FILES = {
    "comboBox.qss": [("QComboBox", FIELD_22), ("QComboBox:hover", HOVER)],
    "comboBox_REV.qss": [("QComboBox", FIELD_22), ("QComboBox:hover", FIELD_22)],
}


def format_qss_file(rules):
    return "".join(sel + "\n{\n" + "".join(f"    {d}\n" for d in decls) + "}\n\n"
                   for sel, decls in rules)


# ---------------------------------------------------------------------------------------------
# Content tables

# Font sizes that differ from the usual 20 px of captions and fields.
CAPTIONS_16PX = {"lineEdit_63", "lineEdit_64", "lineEdit_65", "lineEdit_84", "lineEdit_86",
                 "lineEdit_91", "lineEdit_93", "lineEdit_103", "lineEdit_109"}
CAPTIONS_22PX = {"lineEdit_36", "lineEdit_46", "lineEdit_51"}
# Texts too wide for their boxes even with Arial's metrics: only these fonts are made smaller.
SHRUNK_PX = {"lineEdit_111": 19} | {f"lineEdit_{n}": 23 for n in [9] + list(range(19, 26))}
FIELDS_22PX = {
    "comboBox_rev8", "spinBox_sub8", "spinBox_Lepa2", "spinBox_Lepa8", "spinBox_Repa8",
    "spinBox_delay8", "comboBox_AUX8", "spinBox_FS8", "doubleSpinBox_Volt", "spinBox_Mode",
    "spinBox_Vertion", "comboBox_AttiM", "comboBox_EleMix", "comboBox_PRM02_Master",
    "comboBox_PRM02_Slave", "spinBox_PRM02_Data1", "spinBox_PRM02_Data2", "spinBox_PRM02_Data3",
} | {f"spinBox_Atti{i}" for i in range(1, 7)} | {f"spinBox_Elev0{i}" for i in range(1, 7)}


class Caption:
    def __init__(self, name, text):
        self.name, self.text = name, text


class Spin:
    def __init__(self, name, lo, hi, value):
        self.name, self.lo, self.hi, self.value = name, lo, hi, value


class DoubleSpin:
    def __init__(self, name, lo, hi, value, decimals, step):
        self.name, self.lo, self.hi, self.value = name, lo, hi, value
        self.decimals, self.step = decimals, step


class Combo:
    def __init__(self, name, items, index=0):
        self.name, self.items, self.index = name, items, index


class Column:
    """A container widget with a vertical box layout; spacing None keeps the style's spacing."""

    def __init__(self, geometry, rows, spacing=None):
        self.geometry, self.rows, self.spacing = geometry, rows, spacing


class Group:
    def __init__(self, name, title, geometry, columns, font_pt=None, title_pt=11, extra=()):
        self.name, self.title, self.geometry, self.columns = name, title, geometry, columns
        self.font_pt, self.title_pt, self.extra = font_pt, title_pt, extra


def captions(names, texts):
    return [Caption(n, t) for n, t in zip(names, texts)]


def spins(names, lo, hi, values):
    if isinstance(values, int):
        values = [values] * len(names)
    return [Spin(n, lo, hi, v) for n, v in zip(names, values)]


def numbered(prefix, count, fmt="{}"):
    return [prefix + fmt.format(i) for i in range(1, count + 1)]


def caption_names(*numbers):
    return [f"lineEdit_{n}" for n in numbers]


def read_value_names(path):
    """The combo-box item lists, shared with the program's library (one list per line)."""
    lists = {}
    for line in path.read_text(encoding="utf-8").splitlines():
        match = re.fullmatch(r'KORVA_VALUE_NAMES\((\w+)((?:\s*,\s*"[^"]*")+)\)\s*', line)
        if match:
            lists[match.group(1)] = re.findall(r'"([^"]*)"', match.group(2))
    return lists


VALUE_NAMES = read_value_names(VALUE_NAMES_FILE)
OFF_ON = VALUE_NAMES["OffOn"]
CHANNELS = VALUE_NAMES["Channels"]
AUX_SOURCES = VALUE_NAMES["AuxSources"]
MIX_MODES = VALUE_NAMES["MixModes"]

# Some boxes carry a light widget font (weight 9) as well; the bold font of their style sheet is
# what draws the title.
BASIC_FONT_PT = 11


def basic_group(name, title, x, width, columns, font_pt=BASIC_FONT_PT, title_pt=11):
    return Group(name, title, (x, 10, width, 470), columns, font_pt, title_pt)


def basic_column(rows, x=15):
    return Column((x, 30, 91, 431), rows, spacing=5)


BASIC = [
    basic_group("groupBox", "CHANNEL", 10, 110, [basic_column(
        captions(caption_names(28, 29, 31, 32, 33, 34, 35, 36), numbered("CH", 8, "{}:")),
        x=10)]),
    basic_group("groupBox_2", "REVERSE", 130, 120, [basic_column(
        [Combo(n, VALUE_NAMES["Reverse"]) for n in numbered("comboBox_rev", 8)])]),
    basic_group("groupBox_3", "SUB-TRIM", 265, 120, [basic_column(
        spins(numbered("spinBox_sub", 8), -100, 100, 0))], font_pt=12, title_pt=12),
    basic_group("groupBox_4", "END POINT--L---R---", 405, 215, [
        basic_column(spins(numbered("spinBox_Lepa", 8), 0, 120, 96)),
        basic_column(spins(numbered("spinBox_Repa", 8), 0, 120, 96), x=110),
    ]),
    basic_group("groupBox_14", "FAIL SAFE", 640, 120, [basic_column(
        spins(numbered("spinBox_FS", 8), 0, 100, [50, 50, 0, 50, 50, 50, 50, 50]))]),
    basic_group("groupBox_5", "DELAY", 780, 120, [basic_column(
        spins(numbered("spinBox_delay", 8), 0, 100, 100))]),
    basic_group("groupBox_6", "AUX-CH", 915, 120, [basic_column(
        [Combo(n, VALUE_NAMES["AuxUnassigned"]) for n in numbered("comboBox_AUX", 4)]
        + [Combo(f"comboBox_AUX{n}", AUX_SOURCES, i) for n, i in zip(range(5, 9), [1, 3, 0, 2])])]),
]


def mix_combos(n, master, slave):
    return [Combo(f"comboBox_PRM0{n}_Mix", MIX_MODES),
            Combo(f"comboBox_PRM0{n}_Master", CHANNELS, master),
            Combo(f"comboBox_PRM0{n}_Slave", CHANNELS, slave)]


def mix_data(n, lows):
    return [Spin(f"spinBox_PRM0{n}_Data{i}", lo, 100, 100) for i, lo in enumerate(lows, 1)]


ADVANCE1 = [
    Group("groupBox_8", "D/R", (5, 5, 210, 288), [
        Column((6, 26, 101, 251), captions(caption_names(53, 54, 55, 56, 57),
                                           ["MIX:", "CH:", "SW:", "UP:", "DOWN:"]), 0),
        Column((106, 26, 91, 251), [
            Combo("comboBox_DR_MIX1", OFF_ON),
            Combo("comboBox_DR_CH1", VALUE_NAMES["DrChannels"]),
            Combo("comboBox_DR_SW1", VALUE_NAMES["DrSwitches"]),
            Spin("spinBox_DR_UP1", 0, 100, 100),
            Spin("spinBox_DR_DOWN1", 0, 100, 100),
        ], 0),
    ], font_pt=BASIC_FONT_PT),
    Group("groupBox_9", "PARAMENTER", (5, 301, 210, 181), [
        Column((6, 21, 111, 151), captions(caption_names(63, 64, 65),
                                           ["TX-ALARM:", "STK-MODE:", "VERSION:"]), 0),
        Column((116, 21, 91, 151), [
            DoubleSpin("doubleSpinBox_Volt", 0.0, 99.99, 0.0, 2, 0.1),
            Spin("spinBox_Mode", 1, 4, 2),
            Spin("spinBox_Vertion", 0, 1000, 0),
        ], 0),
    ], font_pt=BASIC_FONT_PT),
    Group("groupBox_7", "ATTITUDE", (225, 5, 190, 477), [
        Column((11, 31, 91, 431), captions(caption_names(45, 46, 47, 48, 49, 50, 51),
                                           ["CH:"] + numbered("ATTI", 6, "{}:"))),
        Column((100, 30, 81, 431), [Combo("comboBox_AttiM", VALUE_NAMES["AttitudeChannels"])]
               + spins(numbered("spinBox_Atti", 6), 0, 100, [14, 29, 44, 56, 69, 88])),
    ]),
    Group("groupBox_10", "ELEVON", (420, 5, 321, 281), [
        Column((10, 26, 111, 251), captions(caption_names(73, 74, 75, 76, 77),
                                            [" MIX:", "AILE1:", "AILE2:", "ELEV2:", "ELEV1:"]),
               0),
        Column((120, 25, 101, 251), [Combo("comboBox_EleMix", OFF_ON)]
               + spins(numbered("spinBox_Elev0", 4), -100, 100, [100, 100, 100, -100]), 0),
        Column((220, 80, 101, 80), spins(["spinBox_Elev05", "spinBox_Elev06"], -100, 100, 100),
               0),
    ]),
    Group("groupBox_13", "V-TAIL", (745, 5, 301, 281), [
        Column((10, 25, 141, 251), captions(caption_names(78, 95, 96, 97, 98),
                                            ["MIX:", "ELEV1:", "ELEV2:", "RUDD2:", "RUDD1:"]),
               0),
        Column((150, 25, 131, 251), [Combo("comboBox_RuMix", OFF_ON)]
               + spins(numbered("spinBox_Ru", 4), -100, 100, [50, -50, 50, 50]), 0),
    ]),
    Group("groupBox_11", "PROG.MIX1", (420, 290, 321, 191), [
        Column((5, 20, 71, 161), captions(caption_names(80, 83, 79), ["MIX:", "MAS:", "SLA:"]),
               0),
        Column((80, 20, 81, 161), mix_combos(1, 0, 3), 0),
        Column((160, 20, 81, 161),
               captions(caption_names(84, 85, 86), ["OFFSET:", "UP:", "DOWN:"]), 0),
        Column((240, 20, 81, 161), mix_data(1, [-100, -100, -100]), 0),
    ]),
    Group("groupBox_12", "PROG.MIX2", (749, 290, 301, 191), [
        Column((0, 20, 71, 161), captions(caption_names(94, 90, 89), ["MIX:", "MAS:", "SLA:"]),
               0),
        Column((70, 20, 81, 161), mix_combos(2, 1, 5), 0),
        Column((150, 20, 81, 161),
               captions(caption_names(91, 92, 93), ["OFFSET:", "UP:", "DOWN:"]), 0),
        Column((230, 20, 77, 161), mix_data(2, [-100, -100, -100])),
    ]),
]

MIX_CAPTIONS = ["MIX:", "MAS:", "SLA:", "OFFSET:", "UP:", "DOWN:"]


def side_columns(caption_x, caption_w, field_x, field_w, caption_rows, field_rows, caption_y=30):
    return [Column((caption_x, caption_y, caption_w, 441), caption_rows),
            Column((field_x, 30, field_w, 441), field_rows)]


ADVANCE2 = [
    Group("groupBox_15", "PROG.MIX3", (15, 5, 201, 477), side_columns(
        10, 91, 100, 91,
        captions(caption_names(106, 102, 101, 103, 104, 105), MIX_CAPTIONS),
        mix_combos(3, 0, 3) + mix_data(3, [-100, 0, 0]))),
    Group("groupBox_19", "D/R CURE", (230, 5, 820, 477), side_columns(
        10, 101, 110, 101,
        captions(caption_names(146, 142, 141, 143, 144, 145),
                 ["MIX:", " CH:", "SW:", " POSI:", "RATE:", "EXP:"]),
        [Combo("comboBox_DR_MIX2", OFF_ON),
         Combo("comboBox_DR_CH2", VALUE_NAMES["DrChannels"]),
         Combo("comboBox_DR_SW2", VALUE_NAMES["DrSwitches"]),
         Combo("comboBox_DR_POSI", VALUE_NAMES["DrPositions"]),
         Spin("spinBox_DR_RATE", 0, 100, 100),
         Spin("spinBox_DR_EXP", -100, 100, 100)]),
        extra=[("mWidget", "widget_3", (220, 30, 585, 430))]),
]

ADVANCE3 = [
    Group("groupBox_16", "PROG.MIX4", (15, 5, 190, 477), side_columns(
        10, 81, 90, 91,
        captions(caption_names(112, 108, 107, 109, 110, 111), MIX_CAPTIONS),
        mix_combos(4, 1, 5) + mix_data(4, [-100, 0, 0]))),
    Group("groupBox_18", "TH CURE", (230, 5, 820, 477), side_columns(
        10, 101, 110, 91,
        captions(caption_names(130, 126, 125, 127, 128, 129, 131, 132),
                 ["MIX:"] + numbered("POINT", 7, "{}:")),
        [Combo("comboBox_THCURE_MIX", OFF_ON)]
        + spins(numbered("spinBox_THCURE_Data0", 7), 0, 100, [0, 16, 33, 50, 67, 84, 100]),
        caption_y=29),
        extra=[("cureWidget", "widget_4", (210, 30, 595, 430))]),
]

# The first reverse box repeats its style sheet's colours in a palette, in every colour group.
_FIELD_WHITE = (255, 255, 255)
_FIELD_BLUE = (85, 170, 255)
PALETTES = {
    "comboBox_rev1": [
        ("WindowText", _FIELD_WHITE), ("Button", _FIELD_BLUE), ("Text", _FIELD_WHITE),
        ("ButtonText", _FIELD_WHITE), ("Base", _FIELD_BLUE), ("Window", _FIELD_BLUE),
        ("PlaceholderText", _FIELD_WHITE + (128,)),
    ],
}

CUSTOM_WIDGETS = [("mWidget", "mwidget.h"), ("cureWidget", "curewidget.h")]

# (page, title, gradient, panel, group boxes); None marks the monitor page.
PAGES = [
    ("tab", "SERVO", PAGE_GRADIENT_1, "frame_3", None),
    ("tab_2", "BASIC", PAGE_GRADIENT_2, "frame_2", BASIC),
    ("tab_3", "ADVANCE1", PAGE_GRADIENT_1, "frame_4", ADVANCE1),
    ("tab_4", "ADVANCE2", PAGE_GRADIENT_1, "frame_5", ADVANCE2),
    ("tab_5", "ADVANCE3", PAGE_GRADIENT_1, "frame_6", ADVANCE3),
]
START_PAGE = 1

# Monitor page: (value box, caption box, upper bar, lower bar) per channel.
MONITOR = [
    ("lineEdit", "lineEdit_9", "progressBar_10", "progressBar_11"),
] + [(f"lineEdit_{n}", f"lineEdit_{17 + n}", f"progressBar_{n}0", f"progressBar_{n}1")
     for n in range(2, 9)]
MONITOR_PITCH = 135

# Top bar action buttons: (name, text, icon, geometry, style role)
ACTION_BUTTONS = [
    ("toolButton_Read", "READ", "Receive.png", (20, 5, 110, 90), "action"),
    ("toolButton_Load", "LOAD", "open.png", (140, 5, 110, 90), "action"),
    ("toolButton_Send", "WRITE", "Send.png", (260, 5, 110, 90), "action"),
    ("toolButton_Save", "SAVE", "save.png", (380, 5, 110, 91), "action"),
    ("toolButton_Reset", "RESET", "Reset.png", (500, 5, 110, 90), "reset"),
]
# What the top bar says to a pointer and to assistive tools: widget: (tooltip, accessible name).
# The window adds each button's shortcut to its tooltip.
TOP_BAR_HELP = {
    "toolButton_Read": ("Read the settings from the transmitter", "Read"),
    "toolButton_Load": ("Load the settings from a parameter file", "Load"),
    "toolButton_Send": ("Write the settings to the transmitter", "Write"),
    "toolButton_Save": ("Save the settings to a parameter file", "Save"),
    "toolButton_Reset": ("Reset the transmitter to its factory settings", "Reset"),
    "openButton": ("Open or close the serial port", "Open or close the port"),
    "lineEdit_TX": ("Transmitter battery voltage", "Transmitter voltage"),
    "lineEdit_EXT": ("External voltage", "External voltage"),
    "lineEdit_RSSI": ("Signal strength of the receiver", "Signal strength"),
}
STATUS_ROWS = [
    ("lineEdit_26", "TX:", "lineEdit_TX", " 0.0V", 3),
    ("lineEdit_27", "EXT:", "lineEdit_EXT", " 0.0V", 38),
    ("lineEdit_30", "RSSI:", "lineEdit_RSSI", "null", 73),
]

# ---------------------------------------------------------------------------------------------
# Designer XML helpers


def sub(parent, tag, text=None, **attrs):
    el = ET.SubElement(parent, tag, {k.rstrip("_"): str(v) for k, v in attrs.items()})
    if text is not None:
        el.text = str(text)
    return el


def prop(widget, name):
    return sub(widget, "property", name=name)


def prop_rect(w, name, geometry):
    r = sub(prop(w, name), "rect")
    for tag, value in zip(("x", "y", "width", "height"), geometry):
        sub(r, tag, value)


def prop_size(w, name, width, height):
    s = sub(prop(w, name), "size")
    sub(s, "width", width)
    sub(s, "height", height)


def prop_string(w, name, text, translatable=True):
    p = prop(w, name)
    if translatable:
        sub(p, "string", text)
    else:
        sub(p, "string", text, notr="true")


def prop_style(w, sheet):
    prop_string(w, "styleSheet", sheet, translatable=False)


def prop_simple(w, name, tag, value):
    sub(prop(w, name), tag, value)


def prop_bool(w, name, value):
    prop_simple(w, name, "bool", "true" if value else "false")


def prop_number(w, name, value):
    prop_simple(w, name, "number", value)


def prop_enum(w, name, value):
    prop_simple(w, name, "enum", value)


def prop_font(w, family, pt, weight, bold):
    f = sub(prop(w, "font"), "font")
    sub(f, "family", family)
    sub(f, "pointsize", pt)
    sub(f, "weight", weight)
    sub(f, "italic", "false")
    sub(f, "bold", "true" if bold else "false")


def prop_size_policy(w, horizontal, vertical):
    sp = sub(prop(w, "sizePolicy"), "sizepolicy", hsizetype=horizontal, vsizetype=vertical)
    sub(sp, "horstretch", 0)
    sub(sp, "verstretch", 0)


def prop_icon(w, image):
    path = IMAGES + image
    icon = sub(prop(w, "icon"), "iconset", resource="resources.qrc")
    sub(icon, "normaloff", path).tail = path


def color(parent, r, g, b, alpha=255):
    c = sub(parent, "color", alpha=alpha)
    sub(c, "red", r)
    sub(c, "green", g)
    sub(c, "blue", b)


def prop_palette(w, roles):
    pal = sub(prop(w, "palette"), "palette")
    for group in ("active", "inactive", "disabled"):
        g = sub(pal, group)
        for role, rgba in roles:
            brush = sub(sub(g, "colorrole", role=role), "brush", brushstyle="SolidPattern")
            color(brush, *rgba)


def widget(parent, cls, name, geometry=None):
    w = sub(parent, "widget", class_=cls, name=name)
    if geometry is not None:
        prop_rect(w, "geometry", geometry)
    return w


def prop_help(w, name):
    if name in TOP_BAR_HELP:
        tip, accessible = TOP_BAR_HELP[name]
        prop_string(w, "toolTip", tip)
        prop_string(w, "accessibleName", accessible)


# Captions and live read-outs take no Tab stop: Tab goes from setting to setting.
def caption_box(parent, name, text, sheet, geometry=None):
    w = widget(parent, "QLineEdit", name, geometry)
    prop_enum(w, "focusPolicy", "Qt::NoFocus")
    prop_style(w, sheet)
    prop_string(w, "text", text)
    sub(prop(w, "alignment"), "set", "Qt::AlignHCenter|Qt::AlignVCenter")
    prop_bool(w, "readOnly", True)
    return w


def value_box(parent, name, text, sheet, geometry):
    w = widget(parent, "QLineEdit", name, geometry)
    prop_enum(w, "focusPolicy", "Qt::NoFocus")
    prop_help(w, name)
    prop_style(w, sheet)
    prop_string(w, "text", text)
    sub(prop(w, "alignment"), "set", "Qt::AlignHCenter|Qt::AlignVCenter")
    return w


def frame(parent, name, geometry, sheet):
    w = widget(parent, "QFrame", name, geometry)
    prop_style(w, sheet)
    prop_enum(w, "frameShape", "QFrame::StyledPanel")
    prop_enum(w, "frameShadow", "QFrame::Raised")
    return w


# ---------------------------------------------------------------------------------------------
# Form builder


class FormBuilder:
    def __init__(self):
        self.layout_widgets = 0
        self.layouts = 0

    def next_column_names(self):
        self.layout_widgets += 1
        self.layouts += 1
        suffix = "" if self.layout_widgets == 1 else f"_{self.layout_widgets}"
        return "verticalLayoutWidget" + suffix, "verticalLayout" + suffix

    def build(self):
        ui = ET.Element("ui", version="4.0")
        sub(ui, "class", "MainWindow")
        window = widget(ui, "QMainWindow", "MainWindow", (0, 0, 1100, 680))
        prop_size(window, "minimumSize", 0, 0)
        prop_size(window, "maximumSize", 11100, 8000)
        prop_string(window, "windowTitle", "KORVA&TELUN-V4.2")

        central = widget(window, "QWidget", "centralwidget")
        prop_style(central, WINDOW_STYLE)
        self.top_bar(central)
        self.tabs(central)

        custom = sub(ui, "customwidgets")
        for cls, header in CUSTOM_WIDGETS:
            cw = sub(custom, "customwidget")
            sub(cw, "class", cls)
            sub(cw, "extends", "QWidget")
            sub(cw, "header", header)
            sub(cw, "container", 1)
        sub(sub(ui, "resources"), "include", location="resources.qrc")
        sub(ui, "connections")
        return ui

    def top_bar(self, central):
        bar = frame(central, "frame", (0, 0, 1200, 110), "")
        for name, text, image, geometry, role in ACTION_BUTTONS:
            b = widget(bar, "QToolButton", name, geometry)
            prop_help(b, name)
            prop_style(b, role_sheet(role))
            prop_string(b, "text", text)
            prop_icon(b, image)
            prop_size(b, "iconSize", 60, 60)
            prop_enum(b, "toolButtonStyle", "Qt::ToolButtonTextUnderIcon")

        b = widget(bar, "QPushButton", "openButton", (630, 5, 100, 90))
        prop_help(b, "openButton")
        # Like the tool buttons beside it, it takes the focus from the keyboard only: a click
        # leaves no focus border behind.
        prop_enum(b, "focusPolicy", "Qt::TabFocus")
        prop_style(b, role_sheet("open"))
        prop_string(b, "text", "OPEN")

        box = widget(bar, "QComboBox", "portNameBox", (740, 35, 120, 40))
        prop_style(box, PORT_BOX_STYLE)
        prop_number(box, "currentIndex", -1)

        led = widget(bar, "QToolButton", "toolButton_led", (870, 35, 40, 40))
        prop_style(led, role_sheet("led"))
        prop_icon(led, "red.png")
        prop_size(led, "iconSize", 40, 40)

        for caption, caption_text, value, value_text, y in STATUS_ROWS:
            caption_box(bar, caption, caption_text, role_sheet("status_caption"),
                        (925, y, 85, 35))
        for caption, caption_text, value, value_text, y in STATUS_ROWS:
            value_box(bar, value, value_text, role_sheet("status_value"), (1010, y, 85, 35))

    def tabs(self, central):
        tw = widget(central, "QTabWidget", "tabWidget", (10, 110, 1080, 560))
        prop_font(tw, "Arial", 11, 75, True)
        prop_enum(tw, "focusPolicy", "Qt::NoFocus")
        prop_enum(tw, "contextMenuPolicy", "Qt::NoContextMenu")
        prop_style(tw, TAB_WIDGET_STYLE)
        prop_enum(tw, "tabPosition", "QTabWidget::North")
        prop_enum(tw, "tabShape", "QTabWidget::Rounded")
        prop_number(tw, "currentIndex", START_PAGE)
        prop_size(tw, "iconSize", 100, 100)
        prop_enum(tw, "elideMode", "Qt::ElideMiddle")
        prop_bool(tw, "usesScrollButtons", True)
        prop_bool(tw, "documentMode", True)
        prop_bool(tw, "tabsClosable", False)
        prop_bool(tw, "movable", True)
        prop_bool(tw, "tabBarAutoHide", False)

        for index, (name, title, gradient, panel_name, groups) in enumerate(PAGES):
            page = widget(tw, "QWidget", name)
            prop_style(page, gradient)
            title_el = sub(page, "attribute", name="title")
            # The first page's title is fixed when the page is added; the others are set with
            # the rest of the texts.
            if index == 0:
                sub(title_el, "string", title, notr="true")
            else:
                sub(title_el, "string", title)
            panel = frame(page, panel_name, (10, 10, 1060, 490), PANEL_STYLE)
            if groups is None:
                self.monitor(panel)
            else:
                for group in groups:
                    self.group(panel, group, basic=groups is BASIC)

    def monitor(self, panel):
        for n, (value, caption, upper, lower) in enumerate(MONITOR):
            x = 20 + MONITOR_PITCH * n
            value_box(panel, value, "0", role_sheet("monitor_value"), (x, 10, 80, 50))
            caption_box(panel, caption, f"CH{n + 1}",
                        role_sheet("monitor_caption", SHRUNK_PX.get(caption)),
                        (x + 10, 60, 60, 31))
            self.bar(panel, upper, (x + 15, 105, 50, 180), 1010, 10, UPPER_BAR_STYLE)
            self.bar(panel, lower, (x + 15, 285, 50, 180), 1000, 1000, LOWER_BAR_STYLE)

    @staticmethod
    def bar(panel, name, geometry, maximum, value, sheet):
        b = widget(panel, "QProgressBar", name, geometry)
        prop_style(b, sheet)
        prop_number(b, "minimum", 0)
        prop_number(b, "maximum", maximum)
        prop_number(b, "value", value)
        prop_bool(b, "textVisible", False)
        prop_enum(b, "orientation", "Qt::Vertical")
        prop_bool(b, "invertedAppearance", False)
        prop_enum(b, "textDirection", "QProgressBar::BottomToTop")

    def group(self, panel, group, basic):
        box = widget(panel, "QGroupBox", group.name, group.geometry)
        if group.font_pt is not None:
            prop_font(box, "Arial", group.font_pt, 9, False)
        prop_style(box, group_style(group.title_pt))
        prop_string(box, "title", group.title)
        for column in group.columns:
            self.column(box, column, basic)
        for cls, name, geometry in group.extra:
            w = widget(box, cls, name, geometry)
            prop_style(w, CURVE_STYLE)

    def column(self, box, column, basic):
        container_name, layout_name = self.next_column_names()
        container = widget(box, "QWidget", container_name, column.geometry)
        layout = sub(container, "layout", class_="QVBoxLayout", name=layout_name)
        if column.spacing is not None:
            prop_number(layout, "spacing", column.spacing)
        for side in ("leftMargin", "topMargin", "rightMargin", "bottomMargin"):
            prop_number(layout, side, 0)
        for row in column.rows:
            self.row(sub(layout, "item"), row, basic)

    @staticmethod
    def row(item, row, basic):
        if isinstance(row, Caption):
            px = 16 if row.name in CAPTIONS_16PX else 22 if row.name in CAPTIONS_22PX else 20
            px = SHRUNK_PX.get(row.name, px)
            w = caption_box(item, row.name, row.text, role_sheet("caption", px))
            prop_size_policy(w, "Expanding", "Expanding")
            return

        px = 22 if row.name in FIELDS_22PX else 20
        cls = {Spin: "QSpinBox", DoubleSpin: "QDoubleSpinBox", Combo: "QComboBox"}[type(row)]
        horizontal = "Expanding"
        if basic:
            horizontal = "Preferred" if isinstance(row, Combo) else "Minimum"
        w = widget(item, cls, row.name)
        prop_size_policy(w, horizontal, "Expanding")
        if row.name in PALETTES:
            prop_palette(w, PALETTES[row.name])
        prop_style(w, role_sheet("field", px, cls))
        if isinstance(row, Combo):
            if row.index:
                prop_number(w, "currentIndex", row.index)
            for text in row.items:
                prop_string(sub(w, "item"), "text", text)
        elif isinstance(row, Spin):
            prop_number(w, "minimum", row.lo)
            prop_number(w, "maximum", row.hi)
            prop_number(w, "value", row.value)
        else:
            prop_number(w, "decimals", row.decimals)
            prop_simple(w, "minimum", "double", f"{row.lo:.6f}")
            prop_simple(w, "maximum", "double", f"{row.hi:.6f}")
            prop_simple(w, "singleStep", "double", f"{row.step:.6f}")
            prop_simple(w, "value", "double", f"{row.value:.6f}")


def render():
    ui = FormBuilder().build()
    ET.indent(ui, space=" ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(ui, encoding="unicode") + "\n"


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--check", action="store_true",
                        help="compare with the committed files instead of writing them")
    args = parser.parse_args()

    outputs = {FORM: render()}
    for name, rules in QSS_FILES.items():
        outputs[ROOT / "ui" / name] = format_qss_file(rules)

    stale = []
    for path, text in outputs.items():
        current = path.read_text(encoding="utf-8") if path.exists() else None
        if current == text:
            continue
        stale.append(path)
        if not args.check:
            path.write_text(text, encoding="utf-8")
    if args.check and stale:
        for path in stale:
            print(f"{path.relative_to(ROOT)} is out of date; run scripts/gen_ui.py",
                  file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
