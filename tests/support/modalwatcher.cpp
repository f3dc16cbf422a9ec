// SPDX-License-Identifier: GPL-3.0-or-later
#include "modalwatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

namespace {

QString iconName(const QMessageBox &box)
{
    switch (box.icon()) {
    case QMessageBox::Critical:
        return QStringLiteral("critical");
    case QMessageBox::Warning:
        return QStringLiteral("warning");
    case QMessageBox::Information:
        return QStringLiteral("information");
    case QMessageBox::Question:
        return QStringLiteral("question");
    case QMessageBox::NoIcon:
        break;
    }
    return QStringLiteral("picture");
}

QString buttonText(const QAbstractButton *button)
{
    return QString(button->text()).remove(QLatin1Char('&'));
}

} // namespace

ModalWatcher::ModalWatcher(QObject *parent)
    : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, &ModalWatcher::poll);
    m_timer.start(20);
}

void ModalWatcher::poll()
{
    const auto widgets = QApplication::topLevelWidgets();
    for (QWidget *w : widgets) {
        if (!w->isVisible())
            continue;
        if (auto *box = qobject_cast<QMessageBox *>(w)) {
            m_messages.append(box->windowTitle() + QLatin1Char('|') + box->text());
            if (!box->detailedText().isEmpty())
                m_details.append(box->detailedText());
            QStringList texts;
            QAbstractButton *answer = nullptr;
            const QString wanted = m_answers.isEmpty() ? QString() : m_answers.takeFirst();
            const auto buttons = box->buttons();
            for (QAbstractButton *button : buttons) {
                if (box->buttonRole(button) == QMessageBox::ActionRole)
                    continue; // "Show Details...", not an answer
                const QString text = buttonText(button);
                texts.append(text);
                if (!wanted.isEmpty() && text == wanted)
                    answer = button;
            }
            m_offers.append(texts.join(QLatin1Char('|')));
            const QPushButton *preset = box->defaultButton();
            m_kinds.append(iconName(*box) + QLatin1Char('|') + texts.join(QLatin1Char('+')) +
                           (preset ? QLatin1String("|default ") + buttonText(preset)
                                   : QStringLiteral("|no default")));
            if (answer)
                answer->click();
            else
                box->done(QMessageBox::Ok);
            return;
        }
        if (auto *dialog = qobject_cast<QFileDialog *>(w)) {
            m_dialogCaptions.append(dialog->windowTitle());
            m_dialogFilters.append(dialog->nameFilters().join(QLatin1String(";;")) +
                                   QLatin1String(" @") + dialog->selectedNameFilter());
            m_dialogDirectories.append(dialog->directory().absolutePath());
            const QString path = m_files.isEmpty() ? QString() : m_files.takeFirst();
            if (path.isEmpty()) {
                dialog->reject();
            } else {
                // Typed as a user would; selectFile() can lose the name while the dialog
                // is still reading its start directory.
                auto *edit = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
                if (edit)
                    edit->setText(path);
                else
                    dialog->selectFile(path);
                static_cast<QDialog *>(dialog)->done(QDialog::Accepted);
            }
            return;
        }
    }
}
