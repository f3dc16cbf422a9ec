// SPDX-License-Identifier: GPL-3.0-or-later
#include "readback.h"

#include "decoder.h"
#include "frames.h"

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

ReadBackCheck::ReadBackCheck(const ParamStore &sent)
    : m_sent(sent)
{}

ReadBackCheck::Verdict ReadBackCheck::take(const ParamStore &held)
{
    ++m_answers;
    m_latest = held;
    const QVector<IntField> fields = mismatchedFields(m_sent, held);
    if (fields.isEmpty())
        return Confirmed;
    QVector<IntField> agreed;
    for (IntField field : fields) {
        for (const ParamStore &earlier : qAsConst(m_earlier)) {
            if (earlier.*field == held.*field) {
                agreed.append(field);
                break;
            }
        }
    }
    if (agreed.size() == fields.size()) {
        m_mismatched = fields;
        return Mismatch;
    }
    if (m_answers < kMostAnswers) {
        m_earlier.append(held);
        return ReadAgain;
    }
    m_mismatched = agreed.isEmpty() ? fields : agreed;
    return Mismatch;
}

ParamStore ReadBackCheck::held() const
{
    ParamStore held = m_sent;
    for (IntField field : m_mismatched)
        held.*field = m_latest.*field;
    return held;
}
