// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QVector>

// What the configuration program sends to the transmitter, cut into tokens. Nothing is
// terminated or length-prefixed, so the tokens are told apart by their first letter:
// "OK", "DIS", "RR" and "WWW" by their spelling, the S, G and H settings frames by their
// length (81 characters, hexadecimal digits between the start and the end letter).

enum class TokenKind { Ok, Dis, ReadRequest, Ack, FrameS, FrameG, FrameH };

struct Token
{
    TokenKind kind = TokenKind::Ok;
    QByteArray text;
};

const char *tokenKindName(TokenKind kind);

class CommandTokenizer
{
public:
    // Appends bytes as they arrived and returns every token they complete. A token may
    // arrive in any number of pieces; bytes that cannot start one are discarded.
    QVector<Token> feed(const QByteArray &bytes);

    // Bytes held because they may be the start of a token.
    QByteArray held() const { return m_buffer; }
    // Bytes thrown away since the start.
    qint64 discarded() const { return m_discarded; }

private:
    enum class Match { Token, NeedMore, NoMatch };
    Match matchAt(int pos, Token *token) const;

    QByteArray m_buffer;
    qint64 m_discarded = 0;
};
