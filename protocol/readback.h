// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"

#include <QVector>

// Reading a set back after a write, and what the answers say about it. The window and
// korva-cli both judge their checks here.

// The settings a WRITE sends that a READ reports back: what a read after a write can
// confirm. DR_CH and the D/R mirrors travel out but never come back.
QVector<IntField> readBackFields();

// The settings as the three frames carry them, which is what the transmitter was given: a
// value a frame cannot carry goes out bounded.
ParamStore asSent(const ParamStore &settings);

// The read-back fields the transmitter holds otherwise than they were sent.
QVector<IntField> mismatchedFields(const ParamStore &sent, const ParamStore &held);

// Judges the whole answers of one check, in the order they came. Frames carry no checksum,
// so one answer that differs may have been damaged on the line: a mismatch counts only when
// every field in which the latest answer differs was held with the same value by an earlier
// answer. An answer that matches confirms the set, whatever came before it.
class ReadBackCheck
{
public:
    enum Verdict { Confirmed, Mismatch, ReadAgain };
    // After this many whole answers the line is too poor to tell a damaged answer from a real
    // one: what two answers agree on is reported, or else the latest differences.
    static constexpr int kMostAnswers = 3;

    explicit ReadBackCheck(const ParamStore &sent);

    Verdict take(const ParamStore &held);
    int answers() const { return m_answers; }
    // After Mismatch: the fields that differ, and the set as the transmitter holds it as far
    // as the answers agree: what was sent, with the mismatched fields as they came back.
    QVector<IntField> mismatched() const { return m_mismatched; }
    ParamStore held() const;

private:
    ParamStore m_sent;
    QVector<ParamStore> m_earlier;
    QVector<IntField> m_mismatched;
    ParamStore m_latest;
    int m_answers = 0;
};
