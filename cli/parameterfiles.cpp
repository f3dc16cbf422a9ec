// SPDX-License-Identifier: GPL-3.0-or-later
#include "parameterfiles.h"

#include "drselect.h"
#include "frames.h"
#include "rangecheck.h"

#include <QFile>
#include <QFileInfo>

namespace {

// Enough to see a line end after the frames, and to tell a longer file from one.
constexpr qint64 kReadLimit = kParameterFileLength + 3;

QString specialFileProblem(const QFileInfo &info)
{
    if (info.isDir())
        return QStringLiteral("is a directory");
    if (info.exists() && !info.isFile())
        return QStringLiteral("is not a regular file");
    return QString();
}

} // namespace

bool readParameterFile(const QString &path, ParamStore *settings, QString *error)
{
    const QFileInfo info(path);
    QString problem = info.exists() ? specialFileProblem(info) : QStringLiteral("no such file");
    QByteArray bytes;
    if (problem.isEmpty()) {
        // Checked before opening: opening a FIFO would wait for a writer.
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            problem = file.errorString();
        else
            bytes = file.read(kReadLimit);
        if (problem.isEmpty() && bytes.size() == kReadLimit)
            problem =
                QStringLiteral("%1 bytes long, not %2").arg(info.size()).arg(kParameterFileLength);
        if (problem.isEmpty())
            problem = parameterFileProblem(bytes);
    }
    if (!problem.isEmpty()) {
        *error = path + QLatin1String(": ") + problem;
        return false;
    }
    ParamStore loaded;
    parseParameterText(QString::fromLatin1(bytes), loaded);
    selectDualRateEntry(loaded);
    replaceOutOfRangeValues(loaded);
    *settings = loaded;
    return true;
}

bool canReplaceWithParameterFile(const QString &path, QString *error)
{
    const QString problem = specialFileProblem(QFileInfo(path));
    if (problem.isEmpty())
        return true;
    *error = path + QLatin1String(": ") + problem;
    return false;
}
