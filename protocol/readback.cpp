// SPDX-License-Identifier: GPL-3.0-or-later
#include "readback.h"

#include "decoder.h"
#include "frames.h"

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
        const auto alike = [&fields](const ParamStore &a, const ParamStore &b) {
            return std::all_of(fields.begin(), fields.end(),
                               [&](IntField f) { return a.*f == b.*f; });
        };
        bool found = false;
        for (int a = 0; a < answers.size() && !found; ++a) {
            for (int b = a + 1; b < answers.size() && !found; ++b) {
                found = !answers[a].missing.contains(flag) && !answers[b].missing.contains(flag) &&
                        alike(answers[a].settings, answers[b].settings);
                if (found) {
                    for (IntField f : fields)
                        taken.*f = answers[a].settings.*f;
                }
            }
        }
        if (!found)
            undecided.append(flag);
    }
    if (undecided.isEmpty()) {
        taken.Volt = taken.Volt_x10 / 10.0; // shown as the frames carry it
        *agreed = taken;
    }
    return undecided;
}
