// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

// Answers the modal dialogs the window opens while a test drives it: message boxes are
// recorded ("title|text", and their kind) and dismissed; a file dialog gets the path from the
// queue (an empty path cancels it).
class ModalWatcher : public QObject
{
    Q_OBJECT

public:
    explicit ModalWatcher(QObject *parent = nullptr);

    QStringList messages() const { return m_messages; }
    void clearMessages()
    {
        m_messages.clear();
        m_kinds.clear();
    }
    // The kind of each message box, "icon|answer buttons|default button": the icon is
    // critical, warning, information, question, or picture for an image in its place (the
    // program's icon); the buttons are "+"-separated; the default is "default <button>" or
    // "no default". An error box of the static QMessageBox::critical reads
    // "critical|OK|default OK".
    QStringList kinds() const { return m_kinds; }
    // The detailed text of each message box that had one.
    QStringList details() const { return m_details; }
    // The caption of the button to click in the next message box; without one, OK.
    void queueAnswer(const QString &buttonText) { m_answers.append(buttonText); }
    // Texts of the buttons each message box offered, "|"-separated.
    QStringList offers() const { return m_offers; }
    // Paths for the next file dialogs, in order.
    void queueFile(const QString &path) { m_files.append(path); }
    QStringList dialogCaptions() const { return m_dialogCaptions; }
    QStringList dialogFilters() const { return m_dialogFilters; }
    QStringList dialogDirectories() const { return m_dialogDirectories; }

private:
    void poll();

    QTimer m_timer;
    QStringList m_messages;
    QStringList m_kinds;
    QStringList m_details;
    QStringList m_answers;
    QStringList m_offers;
    QStringList m_files;
    QStringList m_dialogCaptions;
    QStringList m_dialogFilters;
    QStringList m_dialogDirectories;
};
