// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "frames.h"

#include <QVector>

// What the program puts on the line for each operation, in order, and the pauses the
// transmitter needs between the pieces. The window walks these steps with its buttons and
// nested event loops, korva-cli with its own port; neither spells a token or a wait itself.

// Protocol pacing. The transmitter needs time between frames; these are not tuning knobs.
constexpr int kButtonGuardMs = 200; // an operation waits this long before it sends anything
constexpr int kReadAnswerMs = 500;  // READ gives the answer this long before returning
constexpr int kFrameWaitMs = 800;   // pause after each outbound S, G, H frame

constexpr char kGreetingToken[] = "OK"; // right after the port opens
constexpr char kGoodbyeToken[] = "DIS"; // right before it closes
constexpr char kReadToken[] = "RR";     // asks for the AUX frame and the parameter frames
// Answers every chunk that arrives, and makes the transmitter take the S, G and H frames
// it holds.
constexpr char kAckToken[] = "WWW";

struct LinkStep
{
    enum Kind {
        Guard,         // nothing is sent; the window holds the clicked button back meanwhile
        Send,          // `token`
        Request,       // `token`, answered with the settings frames within about pauseMs
        Frame,         // `frame`, built from the settings as they are at this step
        FactoryValues, // the settings take the factory values
    };

    Kind kind;
    const char *token;        // Send, Request
    const FrameLayout *frame; // Frame
    int pauseMs;              // wait after the step (for Guard, the whole step)
};

struct LinkSequence
{
    const LinkStep *steps;
    int count;

    const LinkStep *begin() const { return steps; }
    const LinkStep *end() const { return steps + count; }
};

extern const LinkSequence kReadSequence;  // READ: "RR", then time for the answer
extern const LinkSequence kWriteSequence; // WRITE: S, G and H 800 ms apart, then "WWW"
extern const LinkSequence kResetSequence; // RESET: factory values, then as WRITE

// The settings a WRITE sends that a READ reports back: what a read after a write can
// confirm. DR_CH and the D/R mirrors travel out but never come back.
QVector<IntField> readBackFields();
