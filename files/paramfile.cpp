// SPDX-License-Identifier: GPL-3.0-or-later
// SAVE and LOAD: a parameter file is the S, G and H frames back to back, 243 ASCII bytes.
#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "frames.h"
#include "paramstore.h"
#include "rangecheck.h"
#include "settingsreport.h"

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

void showFileError(QWidget *parent,
                   const QString &text = QStringLiteral("Cannot read the specified file!"))
{
    QMessageBox::critical(parent, QStringLiteral("ERROR"), text, QMessageBox::Ok,
                          QMessageBox::NoButton);
}

const FrameLayout *const kFileFrames[] = {&kFrameS, &kFrameG, &kFrameH};

bool lettersInPlace(const FrameLayout &layout, const QString &text)
{
    const int start = layout.fileOffset;
    const int end = start + kFrameLength - 1;
    return text.size() > end && text.at(start) == QLatin1Char(layout.letter) &&
           text.at(end) == QLatin1Char(layout.endLetter);
}

QString shownCharacter(QChar c)
{
    return c.isPrint() && c.unicode() < 0x80
               ? QLatin1Char('\'') + c + QLatin1Char('\'')
               : QStringLiteral("0x%1").arg(c.unicode(), 2, 16, QLatin1Char('0'));
}

// Why a frame was not taken from the file, for the pilot.
QString frameFault(const FrameLayout &layout, const QString &text, qint64 fileBytes)
{
    const QString frame = QStringLiteral("%1 frame: ").arg(QLatin1Char(layout.letter));
    const int start = layout.fileOffset;
    const int end = start + kFrameLength - 1;
    if (lettersInPlace(layout, text))
        return frame + QStringLiteral("the file holds %1 bytes, not %2")
                           .arg(fileBytes)
                           .arg(kParameterFileLength);
    if (text.size() <= end)
        return frame + QStringLiteral("the file ends before byte %1").arg(end);
    return frame + QStringLiteral("%1 at byte %2 and %3 at byte %4, where '%5' and '%6' belong")
                       .arg(shownCharacter(text.at(start)))
                       .arg(start)
                       .arg(shownCharacter(text.at(end)))
                       .arg(end)
                       .arg(QLatin1Char(layout.letter))
                       .arg(QLatin1Char(layout.endLetter));
}

bool taken(const FrameLayout &layout, const ParameterTextResult &found)
{
    return &layout == &kFrameS ? found.sFrame : &layout == &kFrameG ? found.gFrame : found.hFrame;
}

// What the pilot is told after a LOAD: the frames the file did not give, the values the range
// check replaced. Empty when the file was whole and every value in range.
QString loadNotice(const QString &text, qint64 fileBytes, const ParameterTextResult &found,
                   const QStringList &replaced)
{
    QStringList lines;
    if (text.isEmpty()) {
        lines << QStringLiteral("Nothing loaded: the file is empty");
    } else {
        QStringList letters;
        for (const FrameLayout *layout : kFileFrames) {
            if (!taken(*layout, found)) {
                letters << QLatin1String(&layout->letter, 1);
                lines << frameFault(*layout, text, fileBytes);
            }
        }
        if (!lines.isEmpty())
            lines.prepend(QStringLiteral("Not loaded from the file: the %1 frame(s)")
                              .arg(letters.join(QLatin1String(", "))));
    }
    lines << replacementNotice(replaced);
    return lines.join(QLatin1Char('\n'));
}

// A file with not one frame between its letters is something else; taking nothing from it
// in silence would leave the pilot believing it loaded.
QString notAParameterFile(const QString &text, qint64 fileBytes)
{
    QStringList lines;
    for (const FrameLayout *layout : kFileFrames) {
        if (lettersInPlace(*layout, text))
            return QString();
        lines << frameFault(*layout, text, fileBytes);
    }
    lines.prepend(QStringLiteral("Not a parameter file: it holds %1 bytes (a parameter file "
                                 "holds %2: the S, G and H frames), and no frame has its "
                                 "letters in place.")
                      .arg(fileBytes)
                      .arg(kParameterFileLength));
    return lines.join(QLatin1Char('\n'));
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
    QString notice;
    if (!fileName.isEmpty()) {
        QFile file(fileName);
        if (isSpecialFile(fileName) || !file.open(QIODevice::ReadOnly)) {
            showFileError(this);
            fileName.clear();
            return;
        }
        const qint64 fileBytes = file.size();
        QByteArray head = file.read(kMaxFileBytes);
        file.close();
        QTextStream stream(&head, QIODevice::ReadOnly);
        const QString text = stream.readAll();
        const QString refused = notAParameterFile(text, fileBytes);
        if (!text.isEmpty() && !refused.isEmpty()) {
            showFileError(this, refused);
            fileName.clear();
            return;
        }
        FileText = text;

        const int length = FileText.size();
        qDebug("Blength00:%d", length);
        found = parseParameterText(FileText, ParamData);
        if (found.sFrame)
            qDebug("Blength01:%d", length);
        if (found.gFrame)
            qDebug("Blength02:%d", length);
        if (found.hFrame)
            qDebug("Blength03:%d", length);
        // What FalseSaveData() does, keeping what it replaced for the pilot.
        Dr_DataSelet();
        const auto replaced = replaceOutOfRangeValues(ParamData);
        notice = loadNotice(FileText, fileBytes, found, replacementLines(replaced, ParamData));
    } else {
        Dr_DataSelet();
        FalseSaveData();
    }
    syncLoaded(found);
    if (found.sFrame || found.gFrame || found.hFrame)
        keepInHistory(buildParameterFile(ParamData), QStringLiteral("loaded"));
    if (!notice.isEmpty())
        showNotice(notice);
}
