// SPDX-License-Identifier: GPL-3.0-or-later
// After READ: the pilot hears of an answer that stopped short or never came, and of each
// value the range check replaced, in the quiet notice the check after a write uses.
#include "mainwindow.h"

#include "decoder.h"
#include "settingsreport.h"

namespace {

// A transmitter sends its answer back to back: this long after its last settings frame, or
// after the request when none came, no more of it is coming.
constexpr int kReadAnswerOverMs = 1000;

// The groups of settings, as the pages name them, that the missing frames would have brought.
QStringList missingGroups(const QVector<int> &missing)
{
    QStringList groups;
    for (int flag : missing) {
        for (IntField field : settingsFrameFields(flag)) {
            // A field outside the pages' groups, such as the firmware version, has its
            // frame's other settings to stand for it.
            const QString label = settingLabel(field);
            const QString group = label.section(QLatin1String(": "), 0, 0);
            if (group != label && !groups.contains(group))
                groups.append(group);
        }
    }
    return groups;
}

} // namespace

void MainWindow::setUpReadNotice()
{
    m_readTimer.setSingleShot(true);
    connect(&m_readTimer, &QTimer::timeout, this, &MainWindow::reportRead);
    connect(&m_link, &TransmitterLink::frameTaken, this, [this](const DecodedFrame &frame) {
        if (frame.readFlag != 0 && m_readTimer.isActive())
            m_readTimer.start(kReadAnswerOverMs);
    });
    connect(&m_link, &TransmitterLink::answerComplete, this, [this] {
        if (m_readTimer.isActive() && !m_link.checking()) {
            m_readTimer.stop();
            reportRead();
        }
    });
    // The link's own reads, such as the check after a write, take the answer over; a link
    // that ended is told of by itself.
    connect(&m_link, &TransmitterLink::lineChanged, this, [this] {
        if (m_link.lineHeld())
            m_readTimer.stop();
    });
    connect(&m_link, &TransmitterLink::ended, &m_readTimer, &QTimer::stop);
}

void MainWindow::watchReadAnswer()
{
    m_readTimer.start(kReadAnswerOverMs);
}

void MainWindow::reportRead()
{
    const TransmitterLink::Answer answer = m_link.answerSoFar();
    QStringList lines;
    if (!answer.missing.isEmpty()) {
        lines << (answer.missing.size() == kSettingsFrameKinds
                      ? QStringLiteral("READ: the transmitter did not answer")
                      : QStringLiteral("READ incomplete: %1 of %2 settings frames did not arrive")
                            .arg(answer.missing.size())
                            .arg(kSettingsFrameKinds))
              << QStringLiteral("Not received: settings of ") +
                     missingGroups(answer.missing).join(QLatin1String(", "));
    }
    lines << replacementNotice(replacementLines(answer.replaced, answer.settings));
    if (!lines.isEmpty())
        showNotice(lines.join(QLatin1Char('\n')));
}
