// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "paramstore.h"
#include "rangecheck.h"

#include <QVector>

// Reading a set back after a write, and what the answers say about it. The window and
// korva-cli both judge their checks here.

// The settings a WRITE sends that a READ reports back: what a read after a write can
// confirm. DR_CH and the D/R mirrors travel out but never come back.
QVector<IntField> readBackFields();

// The settings as the three frames carry them, which is what the transmitter was given: a
// value a frame cannot carry goes out bounded.
ParamStore asSent(const ParamStore &settings);

// The settings with each value the range check replaced put back as it was received: answers
// are compared as they came, for the replacement makes different damage look alike.
ParamStore asReceived(ParamStore settings, const QVector<RangeReplacement> &replaced);

// The read-back fields the transmitter holds otherwise than they were sent.
QVector<IntField> mismatchedFields(const ParamStore &sent, const ParamStore &held);

// Judges the whole answers of one check, in the order they came. Frames carry no checksum,
// so any answer may hold values damaged on the line, and on a poor line most answers do. Each
// setting is judged on its own: it is confirmed once an answer brings back the value sent,
// and it differs once two answers agree on another value. Damage that makes up exactly the
// value sent, or the same wrong value twice, is left out of account.
class ReadBackCheck
{
public:
    // Unsure: after kMostAnswers answers some setting was neither confirmed nor agreed on;
    // the line is too poor to tell.
    enum Verdict { Confirmed, Mismatch, ReadAgain, Unsure };
    static constexpr int kMostAnswers = 3;

    explicit ReadBackCheck(const ParamStore &sent);

    Verdict take(const ParamStore &held);
    int answers() const { return int(m_answersSoFar.size()); }
    // After Mismatch: the fields that differ, and the set as the transmitter holds it as far
    // as the answers agree: what was sent, with the mismatched fields as two answers had them.
    QVector<IntField> mismatched() const { return m_mismatched; }
    ParamStore held() const;

private:
    ParamStore m_sent;
    QVector<ParamStore> m_answersSoFar;
    QVector<IntField> m_mismatched;
    ParamStore m_held;
};

// One answer to a read: what it brought, and the ReadFlags of the frames it lacked.
struct SettingsAnswer
{
    ParamStore settings;
    QVector<int> missing;
};

// A read's answers taken together, whole or not. Each settings frame takes the reading that
// the most answers which brought it carried alike: at least two, more than any other reading,
// and two more than one a single turned bit away. Damage rarely makes the same reading twice,
// but a line that turns bits turns each of a frame's few dozen, so the same turned bit in two
// answers does happen. Returns the ReadFlags of the frames not taken so, or that no answer
// brought; when there are none, `agreed` holds the set.
QVector<int> agreedAnswer(const QVector<SettingsAnswer> &answers, ParamStore *agreed);
