// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QByteArray>
#include <QString>

// The three outbound text frames (S, G, H). Each is 81 ASCII characters: a start letter,
// the fields, and a tail that is never rebuilt. The same layout tables drive the builder
// and the parameter-file parser, so the two cannot drift apart.

enum class SlotEncoding {
    Dec,     // one decimal digit
    Hex,     // value + k as two upper-case hexadecimal digits
    Digits3, // three decimal digits: hundreds, tens, ones
    Fixed,   // a constant text, written but never read back
};

struct FrameSlot
{
    IntField member; // nullptr for Fixed
    SlotEncoding encoding;
    int k;             // offset added before hexadecimal encoding
    const char *fixed; // text of a Fixed slot
};

struct FrameLayout
{
    char letter;
    char endLetter;
    int builtLength;  // characters replaced by a build; the rest is the tail
    const char *tmpl; // the buffer's start content, 81 characters
    int fileOffset;   // where the frame starts in a parameter file
    const FrameSlot *fields;
    int slotCount;
};

constexpr int kFrameLength = 81;
constexpr int kParameterFileLength = 3 * kFrameLength;

extern const FrameLayout kFrameS; // SendData1
extern const FrameLayout kFrameG; // SendData2
extern const FrameLayout kFrameH; // SendData3

int slotWidth(const FrameSlot &slot);

// The frame text without its tail: builtLength characters. A value its slot cannot carry is
// clamped to the nearest one it can, so the frame always keeps its length.
QString buildFrameText(const FrameLayout &layout, const ParamStore &store);

// Replaces the start of the frame buffer by a fresh build; the tail stays as it is.
void buildFrameInto(const FrameLayout &layout, const ParamStore &store, QString &buffer);

// The three frames built from fresh templates, back to back: what a parameter file holds
// for this store.
QByteArray buildParameterFile(const ParamStore &store);

// Reads every field of the frame from text starting at `at`. Text that is not hexadecimal
// reads as 0; nothing is range-checked here. Sets Volt from Volt_x10 when the frame holds it.
void parseFrameFields(const FrameLayout &layout, const QString &text, int at, ParamStore &store);

// What a parameter file load found.
struct ParameterTextResult
{
    int length = 0;
    bool sFrame = false;
    bool gFrame = false;
    bool hFrame = false;
};

// Takes every frame of a parameter file whose start and end letters are in place.
ParameterTextResult parseParameterText(const QString &text, ParamStore &store);

// Why these bytes are not a whole parameter file, or an empty string when they are one:
// 243 bytes, perhaps followed by the line end an editor adds, the three frames between their
// start and end letters, and every field in hexadecimal digits. The parser itself takes
// what it can and reads a damaged field as 0; this is for callers that must refuse instead.
QString parameterFileProblem(const QByteArray &bytes);
