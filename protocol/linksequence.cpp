// SPDX-License-Identifier: GPL-3.0-or-later
#include "linksequence.h"

#include "decoder.h"

#include <iterator>

namespace {

constexpr LinkStep guard()
{
    return {LinkStep::Guard, nullptr, nullptr, kButtonGuardMs};
}
constexpr LinkStep frame(const FrameLayout &layout)
{
    return {LinkStep::Frame, nullptr, &layout, kFrameWaitMs};
}
constexpr LinkStep factoryValues()
{
    return {LinkStep::FactoryValues, nullptr, nullptr, 0};
}
constexpr LinkStep commit()
{
    return {LinkStep::Send, kAckToken, nullptr, 0};
}

const LinkStep kRead[] = {
    guard(),
    {LinkStep::Request, kReadToken, nullptr, kReadAnswerMs},
};

// The closing "WWW" tells the transmitter to take the frames it holds; whoever walks these
// steps sends it only after a whole set.
const LinkStep kWrite[] = {
    guard(), frame(kFrameS), frame(kFrameG), frame(kFrameH), commit(),
};

const LinkStep kReset[] = {
    guard(), factoryValues(), frame(kFrameS), frame(kFrameG), frame(kFrameH), commit(),
};

} // namespace

const LinkSequence kReadSequence = {kRead, int(std::size(kRead))};
const LinkSequence kWriteSequence = {kWrite, int(std::size(kWrite))};
const LinkSequence kResetSequence = {kReset, int(std::size(kReset))};

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
