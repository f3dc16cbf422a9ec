// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "commandtokenizer.h"
#include "linkshaper.h"
#include "transmittermodel.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QObject>
#include <QQueue>
#include <QString>
#include <QTimer>

class QSocketNotifier;

// One line per received token and per change of settings, at info level; off unless enabled.
Q_DECLARE_LOGGING_CATEGORY(lcSim)

// The simulated transmitter behind a pseudo-terminal. The configuration program opens the
// slave side as its serial port; the simulator holds the master side, answers what it
// reads and streams live frames while connected.
class Simulator : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString statePath; // parameter file loaded at start and kept up to date; may be empty
        quint32 seed = 1;
        LinkShaper::Faults faults;
        QVector<TokenKind> ignoredFrames; // S, G or H frames that never take effect
    };

    // Pause between two units of output, as the transmitter's own send loop leaves.
    static constexpr int kUnitGapMs = 4;
    // A merge group that has not filled up goes out after this long.
    static constexpr int kMergeHoldMs = 30;

    explicit Simulator(const Options &options, QObject *parent = nullptr);
    ~Simulator() override;

    // Creates the pseudo-terminal and loads the state file. False with a reason on failure.
    bool start(QString *error);
    QString slavePath() const { return m_slavePath; }
    // Saves the state file and closes the pseudo-terminal. Safe to call more than once.
    void stop();

    const TransmitterModel &model() const { return m_model; }

private:
    void readInput();
    void react(const Token &token);
    void tick();
    void enqueueFrame(const QByteArray &frame);
    void pump();
    void flushMergeGroup();
    void writeToMaster(const QByteArray &bytes);
    bool loadState(QString *error);
    void saveState();

    Options m_options;
    TransmitterModel m_model;
    CommandTokenizer m_tokenizer;
    LinkShaper m_shaper;

    int m_master = -1;
    int m_slaveKeeper = -1;
    QString m_slavePath;
    QSocketNotifier *m_readNotifier = nullptr;

    QTimer m_tickTimer;
    QTimer m_pumpTimer;
    QTimer m_mergeTimer;
    QElapsedTimer m_clock;
    qint64 m_tick = 0;
    qint64 m_lastWriteMs = -kUnitGapMs;
    QQueue<QByteArray> m_frames;
    QQueue<LinkShaper::Write> m_writes;
};
