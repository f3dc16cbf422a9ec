// SPDX-License-Identifier: GPL-3.0-or-later
// What makes the window fit a pilot's desktop: it remembers the port and its place, it
// shows when an operation holds the line, and it does not let edits go unnoticed.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "frames.h"
#include "portscan.h"
#include "rangecheck.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QMessageBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

namespace {

const char kPortKey[] = "serial/port";
const char kGeometryKey[] = "window/geometry";
const char kCheckKey[] = "write/checkAfterWriting";

// A pseudo-terminal belongs to the program that made it (the simulator, a test): by the
// next run it is gone, or it is somebody's terminal.
bool isPseudoTerminal(const QString &port)
{
    return port.startsWith(QLatin1String("/dev/pts/"));
}

} // namespace

MainWindow::Busy::Busy(MainWindow *window)
    : m_window(window)
{
    if (m_window->m_busy++ == 0)
        m_window->setCursor(Qt::BusyCursor);
}

MainWindow::Busy::~Busy()
{
    if (--m_window->m_busy == 0)
        m_window->unsetCursor();
}

void MainWindow::useSettings(QSettings *settings)
{
    m_settings = settings;
    if (!m_settings)
        return;
    restoreGeometry(m_settings->value(QLatin1String(kGeometryKey)).toByteArray());
    setCheckAfterWriting(m_settings->value(QLatin1String(kCheckKey), true).toBool());
    // Only the pilot's own choice is kept, not what a start with --no-check asked for.
    connect(m_checkAction, &QAction::triggered, this, [this](bool check) {
        if (m_settings)
            m_settings->setValue(QLatin1String(kCheckKey), check);
    });
    const QString port = rememberedPort();
    if (port.isEmpty())
        return;
    const int listed = ui->portNameBox->findData(portLocation(port));
    if (listed >= 0)
        ui->portNameBox->setCurrentIndex(listed);
    else if (QFileInfo::exists(port))
        addPort(port);
}

QString MainWindow::rememberedPort() const
{
    return m_settings ? m_settings->value(QLatin1String(kPortKey)).toString() : QString();
}

void MainWindow::rememberPort(const QString &port)
{
    if (m_settings && !isPseudoTerminal(port))
        m_settings->setValue(QLatin1String(kPortKey), port);
}

void MainWindow::rememberWindow()
{
    if (m_settings)
        m_settings->setValue(QLatin1String(kGeometryKey), saveGeometry());
}

void MainWindow::updateButtons()
{
    // While a WRITE, RESET or SAVE holds the line, its check included, every click on these
    // is ignored, its own button's too: show it.
    const bool held = m_link.lineHeld();
    for (QToolButton *button : {ui->toolButton_Read, ui->toolButton_Load, ui->toolButton_Send,
                                ui->toolButton_Save, ui->toolButton_Reset})
        button->setEnabled(!held && !m_guardedButtons.contains(button));
}

bool MainWindow::eventFilter(QObject *watched, QEvent *event)
{
    // A quit ends a running operation where it stands (see waitOnLink), as under Qt 5, where
    // quitting closes no window at all.
    if (watched == QCoreApplication::instance() && event->type() == QEvent::Quit)
        m_quitting = true;
    return QMainWindow::eventFilter(watched, event);
}

bool MainWindow::settingsChanged() const
{
    // Compared as the frames carry them: what a WRITE or SAVE would put out.
    return buildParameterFile(ParamData) != buildParameterFile(m_synced);
}

void MainWindow::syncReceived(const QByteArray &frame)
{
    // The fields of this frame now hold what the transmitter has, after the same range check
    // the store gets.
    DecodedFrame decoded;
    decodeWholeChunk(frame, m_synced, &decoded);
    replaceOutOfRangeValues(m_synced);
}

void MainWindow::syncSent()
{
    parseParameterText(SendBuf1 + SendBuf2 + SendBuf3, m_synced);
}

void MainWindow::syncLoaded(const ParameterTextResult &found)
{
    // Only the frames the file held; the others keep what they were last matched with.
    QString text = QString::fromLatin1(buildParameterFile(ParamData));
    const QChar none = QLatin1Char(' ');
    if (!found.sFrame)
        text[kFrameS.fileOffset] = none;
    if (!found.gFrame)
        text[kFrameG.fileOffset] = none;
    if (!found.hFrame)
        text[kFrameH.fileOffset] = none;
    parseParameterText(text, m_synced);
}

bool MainWindow::confirmClose()
{
    if (!settingsChanged())
        return true;
    const bool canWrite = !portClosed();
    QMessageBox box(QMessageBox::Question, windowTitle(),
                    QStringLiteral("The settings in the window have changed since they were "
                                   "last read, written or saved."),
                    QMessageBox::NoButton, this);
    box.setInformativeText(canWrite ? QStringLiteral("Write them to the transmitter before "
                                                     "closing?")
                                    : QStringLiteral("The port is closed. To keep them, cancel, "
                                                     "then open the port and WRITE them, or "
                                                     "SAVE them to a file."));
    QPushButton *write =
        canWrite ? box.addButton(QStringLiteral("Write first"), QMessageBox::AcceptRole) : nullptr;
    QPushButton *discard =
        box.addButton(QStringLiteral("Close anyway"), QMessageBox::DestructiveRole);
    QPushButton *cancel = box.addButton(QMessageBox::Cancel);
    box.setDefaultButton(write ? write : cancel);
    box.setEscapeButton(cancel);
    box.exec();
    if (box.clickedButton() == discard)
        return true;
    if (write && box.clickedButton() == write) {
        // The window closes when the WRITE is through, as after a close during one.
        m_closeWhenDone = true;
        QTimer::singleShot(0, this, [this] { on_toolButton_Send_clicked(); });
    }
    return false;
}
