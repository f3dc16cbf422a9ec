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

// Reading a set back after it was written. The transmitter stores what it took at "WWW" and
// answers a read only once it has; an answer comes whole within tens of milliseconds, so a
// request that brought no whole answer in the timeout was lost, and is asked again.
constexpr int kCheckSettleMs = 1000;    // after the closing "WWW", before the first request
constexpr int kRequestTimeoutMs = 3000; // for the whole answer to one request
constexpr int kRequestRetries = 2;      // further requests while the answer stays incomplete

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
extern const LinkSequence kSaveSequence;  // SAVE: the three frames paced as WRITE, no "WWW"

// How long an operation's waits last. The steps and the constants above hold what the
// transmitter needs; tests shorten every wait in proportion so that they need not wait real
// seconds, and korva-cli lets its user set the read-back times.
struct LinkPacing
{
    int percent = 100; // of every wait below and of every step's pause
    int settleMs = kCheckSettleMs;
    int answerTimeoutMs = kRequestTimeoutMs;
    int retries = kRequestRetries;

    int of(int ms) const { return int(qint64(ms) * percent / 100); }
};
