// SPDX-License-Identifier: GPL-3.0-or-later
#include "sethistory.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>
#include <tuple>
#include <vector>

namespace {

// Off by default: only the first failure reaches the pilot, on stderr; the rest are here.
Q_LOGGING_CATEGORY(lcHistory, "korva.history", QtWarningMsg)

// Fixed width, so that names sort by time.
const QString kStampFormat = QStringLiteral("yyyy-MM-dd HH-mm-ss.zzz");

// Captures the time stamp and the collision number; nothing else in the folder is ours.
const QRegularExpression &historyName()
{
    static const QRegularExpression re(
        QStringLiteral(R"(^(\d{4}-\d\d-\d\d \d\d-\d\d-\d\d\.\d{3}) .+?(?: \((\d+)\))?\.txt$)"));
    return re;
}

// The phrase comes from the window, but a name must survive every file system we run on.
QString nameSafe(const QString &what)
{
    QString safe = what.simplified().left(80);
    for (QChar &c : safe) {
        if (c.unicode() < 0x20 || QStringLiteral("<>:\"/\\|?*").contains(c))
            c = QLatin1Char('-');
    }
    return safe.isEmpty() ? QStringLiteral("set") : safe;
}

// QDir::mkpath says only that it failed; the usual cause worth naming is a file in the way.
QString whyNoFolder(const QString &folder)
{
    QFileInfo info(QDir(folder).absolutePath());
    while (!info.exists() && !info.isRoot())
        info = QFileInfo(info.absolutePath());
    if (info.exists() && !info.isDir())
        return QDir::toNativeSeparators(info.filePath()) + QStringLiteral(" is not a folder");
    return QStringLiteral("the folder cannot be created");
}

// A dangling link counts as taken: QSaveFile would write through it.
bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString SetHistory::defaultFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return data.isEmpty() ? QString() : data + QStringLiteral("/korva-config/history");
}

SetHistory::SetHistory(const QString &folder)
    : m_folder(folder)
{}

QString SetHistory::folder() const
{
    return m_folder;
}

bool SetHistory::enabled() const
{
    return !m_folder.isEmpty();
}

bool SetHistory::prepare()
{
    if (!enabled())
        return false;
    if (!QDir().mkpath(m_folder)) {
        fail(whyNoFolder(m_folder));
        return false;
    }
    if (!QFileInfo(m_folder).isWritable()) {
        fail(QStringLiteral("the folder is not writable"));
        return false;
    }
    return true;
}

QString SetHistory::keep(const QByteArray &parameterFile, const QString &what, const QDateTime &at)
{
    if (!prepare())
        return QString();

    QDateTime when = (at.isValid() ? at : QDateTime::currentDateTime()).toLocalTime();
    // Two sets kept in one millisecond (a write and the transmitter's answer to its check)
    // still sort in the order they were kept.
    if (m_last.isValid() && when <= m_last)
        when = m_last.addMSecs(1);
    m_last = when;
    const QString stem =
        QLocale::c().toString(when, kStampFormat) + QLatin1Char(' ') + nameSafe(what);
    const QDir dir(m_folder);
    QString path = dir.filePath(stem + QStringLiteral(".txt"));
    for (int copy = 2; taken(path); ++copy)
        path = dir.filePath(stem + QStringLiteral(" (%1).txt").arg(copy));

    // No direct-write fallback: a set is either complete under its name or absent.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(parameterFile) != parameterFile.size() ||
        !file.commit()) {
        fail(file.errorString());
        return QString();
    }
    prune(QFileInfo(path).fileName());
    return path;
}

QStringList SetHistory::files() const
{
    if (!enabled())
        return {};
    // Within one millisecond, " (2)" sorts after its original, which plain name order would not.
    using Entry = std::tuple<QString, int, QString>;
    std::vector<Entry> entries;
    const QStringList names = QDir(m_folder).entryList(QDir::Files, QDir::NoSort);
    for (const QString &name : names) {
        const QRegularExpressionMatch m = historyName().match(name);
        if (m.hasMatch())
            entries.emplace_back(m.captured(1), qMax(1, m.captured(2).toInt()), name);
    }
    std::sort(entries.begin(), entries.end());
    QStringList sorted;
    sorted.reserve(int(entries.size()));
    for (const Entry &e : entries)
        sorted.append(std::get<2>(e));
    return sorted;
}

void SetHistory::prune(const QString &justKept)
{
    // After the clock is set back the set just kept may sort oldest; it stays all the same.
    QStringList all = files();
    all.removeOne(justKept);
    // A file that will not go costs only space, so it does not fail the keep.
    QDir dir(m_folder);
    for (int i = 0; i < all.size() + 1 - kKept; ++i) {
        if (!dir.remove(all.at(i)))
            qCInfo(lcHistory) << "cannot remove" << dir.filePath(all.at(i));
    }
}

void SetHistory::fail(const QString &reason)
{
    qCInfo(lcHistory) << "cannot keep the set in" << m_folder << ":" << reason;
    if (m_reported)
        return;
    m_reported = true;
    // The default category, so that the line reaches stderr as it is, without a prefix.
    const QString line = QStringLiteral("korva-config: cannot keep the set in the history (") +
                         QDir::toNativeSeparators(m_folder) + QStringLiteral("): ") + reason;
    qWarning().noquote() << line;
}
