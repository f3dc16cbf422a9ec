// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QString>

// Parameter files on disk for korva-cli: read as LOAD reads them, but only when they are
// whole, and written all at once or not at all.

// Reads a parameter file and takes its settings as LOAD does (D/R mirrors, range check).
// False with a one-line reason when the path is not a regular file or does not hold a
// whole parameter file.
bool readParameterFile(const QString &path, ParamStore *settings, QString *error);

// Whether a parameter file could replace what is at the path: nothing, or a regular file.
// Devices, FIFOs and directories are refused: replacing them by rename would destroy them.
bool canReplaceWithParameterFile(const QString &path, QString *error);
