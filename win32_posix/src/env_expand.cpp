/*
 * env_expand.cpp - %name% expansion with Windows' rules, and Windows' way of
 * writing it into a small buffer. Pure functions over text.
 */
#include "env_expand.h"

namespace w32p {

namespace {

void appendLiteral(std::vector<ExpandPiece>& pieces, wstring_view text) {
    if (text.empty()) return;
    if (!pieces.empty() && !pieces.back().isValue) {
        pieces.back().text.append(text);
    } else {
        pieces.push_back(ExpandPiece{wstring(text), false});
    }
}

}  // namespace

std::vector<ExpandPiece> splitExpansion(wstring_view source, const EnvLookup& lookup) {
    std::vector<ExpandPiece> pieces;
    size_t pos = 0;
    while (pos < source.size()) {
        size_t open = source.find(u'%', pos);
        if (open == wstring_view::npos) {
            appendLiteral(pieces, source.substr(pos));
            break;
        }
        appendLiteral(pieces, source.substr(pos, open - pos));
        size_t close = source.find(u'%', open + 1);
        if (close == wstring_view::npos) {
            // An unpaired % and everything after it stay as they are.
            appendLiteral(pieces, source.substr(open));
            break;
        }
        wstring value;
        wstring_view name = source.substr(open + 1, close - open - 1);
        if (!name.empty() && lookup(name, value)) {
            pieces.push_back(ExpandPiece{std::move(value), true});
        } else {
            // No such variable: "%name%" is kept, both signs included, and the
            // closing % does not open the next name.
            appendLiteral(pieces, source.substr(open, close - open + 1));
        }
        pos = close + 1;
    }
    return pieces;
}

wstring expandedText(const std::vector<ExpandPiece>& pieces) {
    wstring text;
    for (const ExpandPiece& piece : pieces) text += piece.text;
    return text;
}

size_t writeExpansion(const std::vector<ExpandPiece>& pieces, WCHAR* dst, size_t size) {
    if (!dst) size = 0;
    // `pos` is where the next unit belongs in the whole text; once something
    // has not fitted, every later position lies at or beyond `size`.
    size_t pos = 0;
    for (const ExpandPiece& piece : pieces) {
        const size_t len = piece.text.size();
        if (piece.isValue) {
            if (pos < size) {
                if (len < size - pos) {
                    piece.text.copy(dst + pos, len);
                    dst[pos + len] = 0;
                } else {
                    dst[pos] = 0;
                }
            }
        } else if (size > 0 && pos < size - 1) {
            size_t room = size - 1 - pos;
            piece.text.copy(dst + pos, len < room ? len : room);
        }
        pos += len;
    }
    if (pos < size) dst[pos] = 0;
    return pos + 1;
}

}  // namespace w32p
