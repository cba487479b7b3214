/*
 * wildcard.cpp - matching file names against FindFirstFileW patterns with
 * Windows' DOS wildcard rules (see wildcard.h).
 *
 * The pattern is first turned into tokens (the DOS forms of ?, * and . made
 * explicit), then matched by dynamic programming over pattern and name
 * positions, so that no pattern can take more than their product in steps.
 */
#include "wildcard.h"

#include <vector>

namespace w32p {

namespace {

enum class Kind { Literal, Star, DosStar, DosQm, DosDot };

struct Token {
    Kind kind;
    WCHAR ch;  // the upper-cased character of a literal
};

std::vector<Token> tokenise(wstring_view pattern) {
    std::vector<Token> tokens;
    tokens.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        WCHAR c = pattern[i];
        WCHAR next = i + 1 < pattern.size() ? pattern[i + 1] : 0;
        if (c == u'?') {
            tokens.push_back({Kind::DosQm, 0});
        } else if (c == u'*') {
            tokens.push_back({next == u'.' ? Kind::DosStar : Kind::Star, 0});
        } else if (c == u'.' && (next == u'?' || next == u'*' || i + 1 == pattern.size())) {
            tokens.push_back({Kind::DosDot, 0});
        } else {
            tokens.push_back({Kind::Literal, upcase(c)});
        }
    }
    return tokens;
}

}  // namespace

bool wildcardMatch(wstring_view pattern, wstring_view name) {
    const std::vector<Token> tokens = tokenise(pattern);
    const size_t p = tokens.size();
    const size_t n = name.size();
    const size_t lastDot = name.rfind(u'.');

    // next[j]: tokens i+1.. match name[j..]; cur[j]: tokens i.. match name[j..].
    std::vector<char> next(n + 1, 0), cur(n + 1, 0);
    next[n] = 1;  // the empty pattern matches only the end of the name
    for (size_t i = p; i-- > 0;) {
        const Token& t = tokens[i];
        for (size_t j = n + 1; j-- > 0;) {
            const bool end = j == n;
            bool m = false;
            switch (t.kind) {
            case Kind::Literal:
                m = !end && upcase(name[j]) == t.ch && next[j + 1];
                break;
            case Kind::Star:
                m = next[j] || (!end && cur[j + 1]);
                break;
            case Kind::DosStar:
                m = next[j] || (!end && j != lastDot && cur[j + 1]);
                break;
            case Kind::DosQm:
                m = (end || name[j] == u'.') ? next[j] : next[j + 1];
                break;
            case Kind::DosDot:
                m = end ? next[j] : (name[j] == u'.' && next[j + 1]);
                break;
            }
            cur[j] = m;
        }
        next.swap(cur);
    }
    return next[0] != 0;
}

}  // namespace w32p
