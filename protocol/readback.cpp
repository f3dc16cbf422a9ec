// SPDX-License-Identifier: GPL-3.0-or-later
#include "readback.h"

#include "decoder.h"
#include "frames.h"

#include <QtAlgorithms>

#include <algorithm>

QVector<IntField> readBackFields()
{
    const QVector<IntField> reported = settingsAnswerFields();
    QVector<IntField> fields;
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        for (int i = 0; i < layout->slotCount; ++i) {
            const IntField member = layout->fields[i].member;
            if (member && reported.contains(member) && !fields.contains(member))
                fields.append(member);
        }
    }
    return fields;
}

ParamStore asSent(const ParamStore &settings)
{
    ParamStore sent = settings;
    parseParameterText(QString::fromLatin1(buildParameterFile(settings)), sent);
    return sent;
}

ParamStore asReceived(ParamStore settings, const QVector<RangeReplacement> &replaced)
{
    for (const RangeReplacement &r : replaced)
        settings.*r.member = r.received;
    return settings;
}

QVector<IntField> mismatchedFields(const ParamStore &sent, const ParamStore &held)
{
    static const QVector<IntField> fields = readBackFields();
    QVector<IntField> found;
    for (IntField field : fields) {
        if (sent.*field != held.*field)
            found.append(field);
    }
    return found;
}

namespace {

// A value of the field that two of the answers carried, if there is one.
bool valueTwiceCarried(const QVector<ParamStore> &answers, IntField field, qint32 *value)
{
    for (int a = 0; a < answers.size(); ++a) {
        for (int b = a + 1; b < answers.size(); ++b) {
            if (answers[a].*field == answers[b].*field) {
                *value = answers[a].*field;
                return true;
            }
        }
    }
    return false;
}

// How many bits the line would have to turn to make one reading of a settings frame the
// other: the frames carry each value plus its offset, in a byte or a word.
int turnedBits(int readFlag, const ParamStore &a, const ParamStore &b)
{
    int bits = 0;
    const auto add = [&](IntField field, int offset) {
        bits += int(qPopulationCount(quint32(a.*field + offset) ^ quint32(b.*field + offset)));
    };
    if (readFlag == kAuxReadFlag) {
        for (IntField field : settingsFrameFields(readFlag))
            add(field, 0);
        return bits;
    }
    for (const ParameterKind *kind = parameterKindsBegin(); kind != parameterKindsEnd(); ++kind) {
        for (const PayloadSlot &slot : kind->payload) {
            if (kind->readFlag != readFlag || !slot.member)
                break;
            add(slot.member, slot.offset);
        }
    }
    return bits;
}

} // namespace

ReadBackCheck::ReadBackCheck(const ParamStore &sent)
    : m_sent(sent)
{}

ReadBackCheck::Verdict ReadBackCheck::take(const ParamStore &held)
{
    static const QVector<IntField> fields = readBackFields();
    m_answersSoFar.append(held);
    QVector<IntField> differing;
    ParamStore agreed = m_sent;
    bool undecided = false;
    for (IntField field : fields) {
        const bool cameBack =
            std::any_of(m_answersSoFar.begin(), m_answersSoFar.end(),
                        [&](const ParamStore &answer) { return answer.*field == m_sent.*field; });
        if (cameBack)
            continue;
        qint32 value = 0;
        if (valueTwiceCarried(m_answersSoFar, field, &value)) {
            differing.append(field);
            agreed.*field = value;
        } else {
            undecided = true;
        }
    }
    if (!undecided && differing.isEmpty())
        return Confirmed;
    if (!undecided) {
        m_mismatched = differing;
        m_held = agreed;
        return Mismatch;
    }
    return answers() < kMostAnswers ? ReadAgain : Unsure;
}

ParamStore ReadBackCheck::held() const
{
    return m_mismatched.isEmpty() ? m_sent : m_held;
}

QVector<int> agreedAnswer(const QVector<SettingsAnswer> &answers, ParamStore *agreed)
{
    ParamStore taken = answers.isEmpty() ? ParamStore() : answers.last().settings;
    QVector<int> undecided;
    for (int flag = 1; flag <= kSettingsFrameKinds; ++flag) {
        const QVector<IntField> fields = settingsFrameFields(flag);
        struct Reading
        {
            const ParamStore *settings;
            int answers;
        };
        QVector<Reading> readings;
        for (const SettingsAnswer &answer : answers) {
            if (answer.missing.contains(flag))
                continue;
            const auto same = std::find_if(readings.begin(), readings.end(), [&](const Reading &r) {
                return std::all_of(fields.begin(), fields.end(), [&](IntField f) {
                    return r.settings->*f == answer.settings.*f;
                });
            });
            if (same != readings.end())
                ++same->answers;
            else
                readings.append({&answer.settings, 1});
        }
        // A twin one turned bit away needs outnumbering by two: a line that turns bits makes
        // such twins of the true reading, and now and then the same twin twice.
        const auto leads = [&](const Reading &r) {
            return r.answers >= 2 &&
                   std::all_of(readings.begin(), readings.end(), [&](const Reading &other) {
                       const int margin =
                           turnedBits(flag, *r.settings, *other.settings) == 1 ? 2 : 1;
                       return &other == &r || r.answers >= other.answers + margin;
                   });
        };
        const auto best = std::find_if(readings.begin(), readings.end(), leads);
        if (best == readings.end()) {
            undecided.append(flag);
            continue;
        }
        for (IntField f : fields)
            taken.*f = best->settings->*f;
    }
    if (undecided.isEmpty()) {
        taken.Volt = taken.Volt_x10 / 10.0; // shown as the frames carry it
        *agreed = taken;
    }
    return undecided;
}
