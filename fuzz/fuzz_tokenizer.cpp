// SPDX-License-Identifier: GPL-3.0-or-later
// The simulator's command tokenizer on arbitrary bytes arriving in arbitrary pieces.
//
// Input: a sequence of (length byte, piece bytes); the whole input after the length bytes is
// also fed in one piece, for comparison.
//
// What must hold: every token is one of the four keywords spelt out, or an 81-character S, G
// or H frame with its end letter and hexadecimal digits between; the bytes fed are exactly the
// tokens, the bytes discarded and the bytes held, in that order; what is held could still
// start a token; and how the bytes were cut into pieces changes nothing.

#include "commandtokenizer.h"
#include "frames.h"

#include <QByteArray>
#include <QVector>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void fail(const char *what, const QByteArray &detail = QByteArray())
{
    std::fprintf(stderr, "fuzz_tokenizer: %s [%s]\n", what, detail.constData());
    std::abort();
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

const char *keyword(TokenKind kind)
{
    switch (kind) {
    case TokenKind::Ok:
        return "OK";
    case TokenKind::Dis:
        return "DIS";
    case TokenKind::ReadRequest:
        return "RR";
    case TokenKind::Ack:
        return "WWW";
    case TokenKind::FrameS:
    case TokenKind::FrameG:
    case TokenKind::FrameH:
        break;
    }
    return nullptr;
}

const FrameLayout *layoutOf(TokenKind kind)
{
    return kind == TokenKind::FrameS   ? &kFrameS
           : kind == TokenKind::FrameG ? &kFrameG
           : kind == TokenKind::FrameH ? &kFrameH
                                       : nullptr;
}

void checkToken(const Token &t)
{
    if (const char *word = keyword(t.kind)) {
        if (t.text != QByteArray(word))
            fail("keyword token with other text", t.text);
        return;
    }
    const FrameLayout *layout = layoutOf(t.kind);
    if (t.text.size() != kFrameLength || t.text.front() != layout->letter ||
        t.text.back() != layout->endLetter)
        fail("frame token without its length or letters", t.text);
    for (int i = 1; i < kFrameLength - 1; ++i) {
        if (!isHexDigit(t.text.at(i)))
            fail("frame token with a character that is no digit", t.text);
    }
}

// Whether the held bytes could be the start of a token.
bool couldStartToken(const QByteArray &held)
{
    if (held.isEmpty())
        return true;
    if (held.size() >= kFrameLength)
        return false;
    for (const char *word : {"OK", "DIS", "RR", "WWW"}) {
        if (held.size() < int(std::strlen(word)) && QByteArray(word).startsWith(held))
            return true;
    }
    for (const FrameLayout *layout : {&kFrameS, &kFrameG, &kFrameH}) {
        if (held.front() != layout->letter)
            continue;
        bool digits = true;
        for (int i = 1; i < held.size(); ++i)
            digits = digits && isHexDigit(held.at(i));
        if (digits)
            return true;
    }
    return false;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CommandTokenizer pieces;
    QVector<Token> tokens;
    QByteArray all;
    size_t i = 0;
    while (i < size) {
        const size_t wanted = data[i++];
        const size_t length = std::min(wanted, size - i);
        const QByteArray piece(reinterpret_cast<const char *>(data + i), int(length));
        i += length;
        all += piece;
        for (const Token &t : pieces.feed(piece)) {
            checkToken(t);
            tokens.append(t);
        }
        if (!couldStartToken(pieces.held()))
            fail("holds bytes that start no token", pieces.held());
    }

    QByteArray accounted;
    for (const Token &t : tokens)
        accounted += t.text;
    if (accounted.size() + pieces.discarded() + pieces.held().size() != all.size())
        fail("bytes fed are not tokens, discarded and held", all);
    if (!all.endsWith(pieces.held()))
        fail("held bytes are not the last ones fed", pieces.held());

    CommandTokenizer whole;
    const QVector<Token> once = whole.feed(all);
    if (once.size() != tokens.size() || whole.held() != pieces.held() ||
        whole.discarded() != pieces.discarded())
        fail("cutting the bytes into pieces changed the tokens", all);
    for (int t = 0; t < once.size(); ++t) {
        if (once[t].kind != tokens[t].kind || once[t].text != tokens[t].text)
            fail("cutting the bytes into pieces changed a token", once[t].text);
    }
    return 0;
}
