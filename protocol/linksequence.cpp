// SPDX-License-Identifier: GPL-3.0-or-later
#include "linksequence.h"

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

// SAVE asks for its file after the guard: the frames are a sequence of their own.
const LinkStep kSave[] = {frame(kFrameS), frame(kFrameG), frame(kFrameH)};

} // namespace

const LinkSequence kReadSequence = {kRead, int(std::size(kRead))};
const LinkSequence kWriteSequence = {kWrite, int(std::size(kWrite))};
const LinkSequence kResetSequence = {kReset, int(std::size(kReset))};
const LinkSequence kSaveSequence = {kSave, int(std::size(kSave))};
