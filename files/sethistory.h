// SPDX-License-Identifier: GPL-3.0-or-later
// Every parameter set the window saw, one file each, so that a set overwritten on the
// transmitter or lost with a bad write can still be found afterwards.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

class SetHistory
{
public:
    // How many files the folder keeps; the oldest go first.
    static constexpr int kKept = 500;
    // $XDG_DATA_HOME/korva-config/history, by default ~/.local/share/korva-config/history.
    static QString defaultFolder();

    // An empty folder keeps nothing (keep() then does nothing and returns an empty string).
    explicit SetHistory(const QString &folder = QString());
    QString folder() const;
    bool enabled() const;
    // Creates the folder if missing; false when it cannot. Failure is reported like keep()'s.
    bool prepare();

    // Keeps one set as "<yyyy-MM-dd HH-mm-ss.zzz> <what>.txt" in local time, written
    // atomically, then prunes the folder to the newest kKept history files; a pilot's own
    // files there are never touched. A name already taken gets " (2)", " (3)" ... before
    // ".txt". Returns the path written, or an empty string on failure. The first failure of
    // this object is reported once on stderr; later ones are silent.
    QString keep(const QByteArray &parameterFile, const QString &what,
                 const QDateTime &at = QDateTime::currentDateTime());
    // The history file names in the folder, oldest first.
    QStringList files() const;

private:
    void fail(const QString &reason);
    void prune(const QString &justKept);

    QString m_folder;
    bool m_reported = false;
    QDateTime m_last; // when the last set was kept
};
