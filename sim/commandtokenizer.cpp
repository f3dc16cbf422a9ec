// SPDX-License-Identifier: GPL-3.0-or-later
#include "commandtokenizer.h"

#include "frames.h"

#include <algorithm>

namespace {

struct Keyword
{
    const char *text;
    TokenKind kind;
};

const Keyword kKeywords[] = {
    {"OK", TokenKind::Ok},
    {"DIS", TokenKind::Dis},
    {"RR", TokenKind::ReadRequest},
    {"WWW", TokenKind::Ack},
};

struct FrameStart
{
    const FrameLayout *layout;
    TokenKind kind;
};

const FrameStart kFrameStarts[] = {
    {&kFrameS, TokenKind::FrameS},
    {&kFrameG, TokenKind::FrameG},
    {&kFrameH, TokenKind::FrameH},
};

// The builder writes upper-case hexadecimal digits only; decimal fields are digits too.
bool isFrameBodyChar(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

} // namespace

const char *tokenKindName(TokenKind kind)
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
        return "S frame";
    case TokenKind::FrameG:
        return "G frame";
    case TokenKind::FrameH:
        return "H frame";
    }
    return "?";
}

CommandTokenizer::Match CommandTokenizer::matchAt(int pos, Token *token) const
{
    const int available = m_buffer.size() - pos;
    const char first = m_buffer.at(pos);

    for (const FrameStart &start : kFrameStarts) {
        if (first != start.layout->letter)
            continue;
        // Reject a broken frame as soon as a character shows it cannot be one, so that a
        // token following it is not swallowed into the 81 characters.
        const int body = std::min(available, kFrameLength - 1);
        for (int i = 1; i < body; ++i) {
            if (!isFrameBodyChar(m_buffer.at(pos + i)))
                return Match::NoMatch;
        }
        if (available < kFrameLength)
            return Match::NeedMore;
        if (m_buffer.at(pos + kFrameLength - 1) != start.layout->endLetter)
            return Match::NoMatch;
        token->kind = start.kind;
        token->text = m_buffer.mid(pos, kFrameLength);
        return Match::Token;
    }

    for (const Keyword &keyword : kKeywords) {
        if (first != keyword.text[0])
            continue;
        const int length = int(qstrlen(keyword.text));
        const int compared = std::min(available, length);
        if (m_buffer.mid(pos, compared) != QByteArray(keyword.text, compared))
            return Match::NoMatch;
        if (available < length)
            return Match::NeedMore;
        token->kind = keyword.kind;
        token->text = QByteArray(keyword.text);
        return Match::Token;
    }
    return Match::NoMatch;
}

QVector<Token> CommandTokenizer::feed(const QByteArray &bytes)
{
    m_buffer += bytes;
    QVector<Token> tokens;
    int pos = 0;
    while (pos < m_buffer.size()) {
        Token token;
        const Match match = matchAt(pos, &token);
        if (match == Match::NeedMore)
            break;
        if (match == Match::NoMatch) {
            ++pos;
            ++m_discarded;
            continue;
        }
        pos += token.text.size();
        tokens.append(token);
    }
    m_buffer.remove(0, pos);
    return tokens;
}
