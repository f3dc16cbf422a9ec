// SPDX-License-Identifier: GPL-3.0-or-later
// SAVE and LOAD: a parameter file is the S, G and H frames back to back, 243 ASCII bytes.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "frames.h"
#include "paramstore.h"

#include <QDebug>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QSaveFile>
#include <QScopeGuard>
#include <QTextStream>
#include <QUrl>

namespace {

// A parameter file is 243 bytes; anything past this is not ours, and reading it all could
// hang on a device or exhaust memory on a huge file.
constexpr qint64 kMaxFileBytes = 4096;

void showFileError(QWidget *parent)
{
    QMessageBox::critical(parent, QStringLiteral("ERROR"),
                          QStringLiteral("Cannot read the specified file!"), QMessageBox::Ok,
                          QMessageBox::NoButton);
}

// Only plain files are read or replaced: a device, FIFO or socket under the chosen name
// would hang a read, and replacing it by rename would destroy it.
bool isSpecialFile(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() && !info.isFile();
}

} // namespace

void MainWindow::on_toolButton_Save_clicked()
{
    const quint64 operation = m_link.beginOperation();
    if (operation == 0)
        return;
    const auto done = qScopeGuard([this, operation] { endSending(operation); });
    const Busy busy(this);
    // The file is written even when the link ends meanwhile; only the line falls silent.
    guardButton(ui->toolButton_Save, m_link.pacing().of(kButtonGuardMs));

    const QString path =
        QFileDialog::getSaveFileName(this, QStringLiteral("SAVE"), QStringLiteral("./"),
                                     QStringLiteral("file (*.txt *.dat);;allfile (*.*)"));
    qDebug() << path;
    if (path.isEmpty())
        return;

    // The old file stays intact until the new one is complete. Unbuffered, so that a short
    // write (a full disk, a file size limit) shows here instead of being lost in a flush.
    QSaveFile file(path);
    if (isSpecialFile(path) || !file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        showFileError(this);
        return;
    }
    // The frames go to this SAVE's line only, and the file gets them as they were built for
    // it: a WRITE begun inside the file dialog, on a newer line, builds its own into the same
    // buffers.
    QByteArray filed;
    TransmitterLink::SendSteps steps;
    steps.frame = [this, &filed](const FrameLayout &layout) {
        const QByteArray frame = buildFrame(layout);
        filed += frame;
        return frame;
    };
    m_link.send(operation, kSaveSequence, steps);
    const bool complete = file.write(filed) == filed.size();
    if (!complete)
        file.cancelWriting();
    if (!file.commit()) {
        showFileError(this);
        return;
    }
    syncSent();
}

void MainWindow::on_toolButton_Load_clicked()
{
    if (m_link.lineHeld())
        return;
    guardButton(ui->toolButton_Load, m_link.pacing().of(kButtonGuardMs));

    QFileDialog dialog(this, QStringLiteral("Open file"), QStringLiteral("./"),
                       QStringLiteral("All file (*.*);;file (*.txt *.dat)"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (m_history.enabled()) {
        // The set from before any write is two clicks away. A desktop's own dialog would
        // not show the place.
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        dialog.setSidebarUrls(dialog.sidebarUrls() << QUrl::fromLocalFile(m_history.folder()));
    }
    fileName = dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
    ParameterTextResult found;
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (isSpecialFile(fileName) || !file.open(QIODevice::ReadOnly)) {
            showFileError(this);
            fileName.clear();
            return;
        }
        QByteArray head = file.read(kMaxFileBytes);
        file.close();
        QTextStream stream(&head, QIODevice::ReadOnly);
        FileText = stream.readAll();

        const int length = FileText.size();
        qDebug("Blength00:%d", length);
        found = parseParameterText(FileText, ParamData);
        if (found.sFrame)
            qDebug("Blength01:%d", length);
        if (found.gFrame)
            qDebug("Blength02:%d", length);
        if (found.hFrame)
            qDebug("Blength03:%d", length);
    }
    Dr_DataSelet();
    FalseSaveData();
    syncLoaded(found);
    if (found.sFrame || found.gFrame || found.hFrame)
        keepInHistory(buildParameterFile(ParamData), QStringLiteral("loaded"));
}
