// SPDX-License-Identifier: GPL-3.0-or-later
// After WRITE and RESET: the right-click choice to check, what the pilot is told of the
// check, and the history of every set the window saw.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "frames.h"
#include "readback.h"
#include "settingsreport.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace {

// Long enough to read, short enough not to be in the way of the next edit.
constexpr int kNoticeMs = 3000;
// Each further line of a notice, such as a list of replaced values, gets time of its own.
constexpr int kNoticeLineMs = 1500;
constexpr int kNoticeLines = 8;
// A box taller than this hides the buttons on a laptop screen; the rest goes to the details.
constexpr int kListedSettings = 12;

QString differenceLine(IntField field, const ParamStore &sent, const ParamStore &held)
{
    return settingLabel(field) + QLatin1String(": sent ") + settingText(field, sent) +
           QLatin1String(", the transmitter holds ") + settingText(field, held);
}

QString mismatchText(const TransmitterLink::Check &check, const ParamStore &sent)
{
    QString text = QStringLiteral("The transmitter holds %1 setting(s) otherwise than they "
                                  "were written:\n")
                       .arg(check.mismatched.size());
    int listed = 0;
    for (IntField field : check.mismatched) {
        if (++listed > kListedSettings) {
            text += QStringLiteral("\n... and %1 more (see the details)")
                        .arg(check.mismatched.size() - kListedSettings);
            break;
        }
        text += QLatin1Char('\n') + differenceLine(field, sent, check.held);
    }
    return text;
}

QString missingText(const TransmitterLink::Answer &answer)
{
    if (answer.missing.size() == kSettingsFrameKinds)
        return QStringLiteral("It was asked %1 time(s) for its settings after the write.")
            .arg(answer.requests);
    QStringList frames;
    for (int flag : answer.missing)
        frames.append(settingsFrameName(flag));
    return QStringLiteral("It was asked %1 time(s); its answer always lacked %2.")
        .arg(answer.requests)
        .arg(frames.join(QLatin1String(", ")));
}

} // namespace

void MainWindow::setUpCheckMenu()
{
    m_checkAction = new QAction(QStringLiteral("Check after writing"), this);
    m_checkAction->setObjectName(QStringLiteral("actionCheckAfterWriting"));
    m_checkAction->setCheckable(true);
    m_checkAction->setChecked(m_checkAfterWriting);
    connect(m_checkAction, &QAction::toggled, this,
            [this](bool check) { m_checkAfterWriting = check; });
    m_writeMenu = new QMenu(this);
    m_writeMenu->setObjectName(QStringLiteral("writeMenu"));
    m_writeMenu->addAction(m_checkAction);
    for (QToolButton *button : {ui->toolButton_Send, ui->toolButton_Reset}) {
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, button](const QPoint &at) { m_writeMenu->popup(button->mapToGlobal(at)); });
    }
    m_noticeTimer.setSingleShot(true);
    connect(&m_noticeTimer, &QTimer::timeout, this, [this] { m_notice->hide(); });
}

void MainWindow::setCheckAfterWriting(bool check)
{
    m_checkAction->setChecked(check);
}

void MainWindow::useHistory(const QString &folder)
{
    m_history = SetHistory(folder);
    // Made now, so that LOAD's dialog can offer it before the first set is kept.
    m_history.prepare();
}

void MainWindow::keepInHistory(const QByteArray &parameterFile, const QString &what)
{
    if (m_history.enabled())
        m_history.keep(parameterFile, what);
}

QStringList replacementNotice(const QStringList &replaced)
{
    if (replaced.isEmpty())
        return {};
    return QStringList{QStringLiteral("Out of range, so replaced:")} + replaced;
}

void MainWindow::showNotice(const QString &shown)
{
    // A notice taller than this would cover the pages; the count of the rest stands for them.
    QStringList lines = shown.split(QLatin1Char('\n'));
    if (lines.size() > kNoticeLines) {
        const int more = lines.size() - (kNoticeLines - 1);
        lines = lines.mid(0, kNoticeLines - 1);
        lines << QStringLiteral("... and %1 more").arg(more);
    }
    const QString text = lines.join(QLatin1Char('\n'));
    // Over the pages and outside every layout, so that nothing moves; clicks go through.
    if (!m_notice) {
        m_notice = new QLabel(ui->tabWidget);
        m_notice->setObjectName(QStringLiteral("checkNotice"));
        m_notice->setAttribute(Qt::WA_TransparentForMouseEvents);
        m_notice->setAlignment(Qt::AlignCenter);
        m_notice->setStyleSheet(QStringLiteral(
            "QLabel { background-color: rgba(30, 130, 70, 235); color: rgb(255, 255, 255); "
            "font-size: 15px; font-weight: bold; border-radius: 6px; padding: 10px 28px; }"));
    }
    m_notice->setText(text);
    m_notice->adjustSize();
    const QRect area = ui->tabWidget->rect();
    m_notice->move((area.width() - m_notice->width()) / 2,
                   area.height() - m_notice->height() - area.height() / 8);
    m_notice->raise();
    m_notice->show();
    m_noticeTimer.start(kNoticeMs + kNoticeLineMs * int(text.count(QLatin1Char('\n'))));
}

bool MainWindow::reportCheck(const TransmitterLink::Check &check, const ParamStore &sent)
{
    using Check = TransmitterLink::Check;
    if (check.outcome == Check::Confirmed)
        showNotice(QStringLiteral("Written and checked"));
    if (check.outcome != Check::Mismatch && check.outcome != Check::NoAnswer)
        return false;

    const bool mismatch = check.outcome == Check::Mismatch;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("WRITE not confirmed"),
                    mismatch ? mismatchText(check, sent)
                    : check.answer.missing.isEmpty()
                        ? QStringLiteral("The transmitter's answers to the check were damaged on "
                                         "the line and do not agree, so the set may not have "
                                         "arrived.")
                        : QStringLiteral("The transmitter did not answer the check, so the "
                                         "set may not have arrived."),
                    QMessageBox::NoButton, this);
    box.setTextFormat(Qt::PlainText);
    if (mismatch && check.mismatched.size() > kListedSettings) {
        QStringList lines;
        for (IntField field : check.mismatched)
            lines.append(differenceLine(field, sent, check.held));
        box.setDetailedText(lines.join(QLatin1Char('\n')));
    } else if (!mismatch && !check.answer.missing.isEmpty()) {
        box.setInformativeText(missingText(check.answer));
    }
    QPushButton *again = box.addButton(QStringLiteral("Write again"), QMessageBox::AcceptRole);
    QPushButton *theirs = mismatch ? box.addButton(QStringLiteral("Show the transmitter's values"),
                                                   QMessageBox::ApplyRole)
                                   : nullptr;
    QPushButton *mine = box.addButton(QStringLiteral("Keep mine"), QMessageBox::RejectRole);
    box.setDefaultButton(again);
    box.setEscapeButton(mine);
    box.exec();
    if (theirs && box.clickedButton() == theirs) {
        // Every frame's fields as the transmitter holds them, then what a LOAD does after.
        parseParameterText(QString::fromLatin1(buildParameterFile(check.held)), ParamData);
        Dr_DataSelet();
        FalseSaveData();
        ParameterTextResult all;
        all.sFrame = all.gFrame = all.hFrame = true;
        syncLoaded(all);
        return false;
    }
    return box.clickedButton() == again;
}
