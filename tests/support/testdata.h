// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QByteArray>
#include <QString>

#include <initializer_list>

// Settings and golden data that several test programs share.

// A setting and the value a test gives it.
struct SettingValue
{
    IntField member;
    qint32 value;
};
using SettingValues = std::initializer_list<SettingValue>;

// `base` with the given values.
ParamStore withValues(ParamStore base, SettingValues values);

// `base` with every field that has a valid range drawn at random within it.
ParamStore randomInRange(quint32 seed, ParamStore base = ParamStore());

// What the simulated transmitter holds after taking `settings` in the S, G and H frames:
// only what the frames carry, over the factory settings, put in range.
ParamStore heldByTransmitter(const ParamStore &settings);

// Factory settings with a dozen values changed across all three frames, each one a value its
// widget can show (the window's refresh would otherwise bound it and write the bound back),
// then `more` on top; as the transmitter holds them.
ParamStore changedFactorySettings(SettingValues more = {});

// The factory settings' S, G or H frame, and all three back to back, read from
// tests/data/factory_frames.txt.
QByteArray factoryFrame(char letter);
QByteArray factoryFrames();

// The whole file, or an empty array when it cannot be read.
QByteArray readBytes(const QString &path);
// Writes the file; false unless every byte went in.
bool writeBytes(const QString &path, const QByteArray &bytes);
