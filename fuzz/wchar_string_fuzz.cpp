// wchar_string_fuzz.cpp - sequences of CZYNWCharString editing, search and
// parsing operations, each checked against a plain model of the text.
//
// The input is a program: each step names an operation and its arguments
// (texts drawn from a small alphabet, so that searches find something;
// positions and counts; modes, also invalid ones). After every step the
// string must be well formed (valid: a terminator inside its buffer, the
// length below the element count; empty: length 0), and each operation that
// reports success must have done what its contract says.
#include <algorithm>
#include <string>

#include "fuzz_support.h"
#include "zyn_wchar_string.h"

namespace {

using Text = std::u16string;

// Reads the program's steps from the input; past its end every read gives 0.
class Program {
public:
    Program(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool more() const { return m_pos < m_size; }
    uint8_t byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    ULONG number() { return byte() % 24; }  // positions and counts around the texts' lengths
    bool flag() { return byte() & 1; }
    // Up to 15 units from an alphabet with the delimiters and blanks the
    // operations look for, '%' for references, and both halves of a
    // surrogate pair.
    Text text() {
        static const char16_t kAlphabet[] = u"ab;%x \t\r\nA";
        const size_t kLetters = sizeof kAlphabet / sizeof kAlphabet[0] - 1;
        Text t;
        for (size_t n = byte() % 16; n > 0; --n) {
            uint8_t b = byte();
            t.push_back(b < 0xF0 ? kAlphabet[b % kLetters]
                                 : static_cast<char16_t>(0xD800 + b % 2 * 0x400));
        }
        return t;
    }
    ParseMode mode() { return static_cast<ParseMode>(byte() % 4); }  // 1 and 2, and invalid ones

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
};

Text textOf(const CZYNWCharString& s) { return Text(s.getText(), s.getLength()); }

CZYNWCharString stringOf(const Text& t) { return CZYNWCharString(t.empty() ? nullptr : t.c_str()); }

void checkWellFormed(const CZYNWCharString& s) {
    if (!s.isValid()) {
        fuzz::check(s.getLength() == 0, "the empty state has length 0");
        return;
    }
    fuzz::check(s.getLength() < s.getCount(), "a valid string's terminator lies inside its buffer");
    fuzz::check(s.getText()[s.getLength()] == 0, "a valid string is terminated at its length");
}

// Indices where `sub` starts in `text`, overlapping ones included.
std::vector<ULONG> matches(const Text& text, const Text& sub) {
    std::vector<ULONG> at;
    if (sub.size() > text.size()) return at;
    for (size_t i = 0; i + sub.size() <= text.size(); ++i)
        if (text.compare(i, sub.size(), sub) == 0) at.push_back(static_cast<ULONG>(i));
    return at;
}

void checkFind(const CZYNWCharString& s, const CZYNWCharString& sub, ULONG occurrence,
               ParseMode mode) {
    ULONG pos = 0xdeadbeef;
    bool found = s.find(sub, occurrence, mode, &pos);
    const Text text = textOf(s), needle = textOf(sub);
    std::vector<ULONG> at = matches(text, needle);
    bool expected = s.isValid() && sub.isValid() && occurrence >= 1 && occurrence <= text.size() &&
                    (mode == pmFromStart || mode == pmFromEnd) && occurrence <= at.size() &&
                    !(mode == pmFromEnd && needle.empty());
    fuzz::check(found == expected, "find finds exactly the occurrences there are");
    if (!found) {
        fuzz::check(pos == 0xdeadbeef, "find leaves the position alone when it fails");
        return;
    }
    ULONG want = mode == pmFromStart ? at[occurrence - 1] : at[at.size() - occurrence];
    fuzz::check(pos == want, "find answers the occurrence asked for");
}

// std::u16string::substr that gives "" from a position past the end.
Text piece(const Text& text, size_t pos, size_t n) {
    return pos < text.size() ? text.substr(pos, n) : Text();
}

// The text with `piece` removed as remove's passes remove it: the first
// occurrence from the start, `passes` times.
Text removedFirst(Text text, const Text& piece, size_t passes) {
    for (size_t n = 0; n < passes; ++n) {
        size_t at = text.find(piece);
        if (at == Text::npos) break;
        text.erase(at, piece.size());
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Program program(data, size);
    CZYNWCharString s;
    CZYNWCharString other;
    CZYNDblList<CZYNObjNode<CZYNWCharString>> tokens;
    for (int steps = 0; program.more() && steps < 64; ++steps) {
        const Text before = textOf(s);
        const bool wasValid = s.isValid();
        uint8_t operation = program.byte() % 24;
        // Appending doubles a text at most: keep the texts short. Positions
        // and counts stay below 24, so a longer text reaches no other case,
        // while every step over it costs time in proportion to its length.
        if (before.size() > 256 && (operation == 2 || operation == 5)) operation = 21;
        switch (operation) {
            case 0: {
                Text t = program.text();
                s = stringOf(t);
                fuzz::check(textOf(s) == t.substr(0, t.find(u'\0')), "assignment copies the text");
                break;
            }
            case 1:
                other = stringOf(program.text());
                break;
            case 2: {
                s += other;
                fuzz::check(textOf(s) == before + textOf(other), "+= appends the text");
                break;
            }
            case 3: {
                CZYNWCharString joined = s + other;
                fuzz::check(textOf(joined) == before + textOf(other), "+ joins the texts");
                checkWellFormed(joined);
                break;
            }
            case 4: {
                CZYNWCharString& self = s;  // assignment to itself keeps the text
                s = self;
                fuzz::check(textOf(s) == before, "assigning a string to itself keeps it");
                break;
            }
            case 5:
                s += s;
                fuzz::check(textOf(s) == before + before,
                            "appending a string to itself doubles it");
                break;
            case 6: {
                ULONG pos = program.number();
                if (s.insert(other, pos)) {
                    fuzz::check(pos <= before.size(), "insert succeeds only inside the text");
                    fuzz::check(
                        textOf(s) == before.substr(0, pos) + textOf(other) + before.substr(pos),
                        "insert puts the text at its position");
                } else {
                    fuzz::check(textOf(s) == before, "a failed insert changes nothing");
                }
                break;
            }
            case 7: {
                ULONG occurrence = program.number();
                checkFind(s, other, occurrence, program.mode());
                break;
            }
            case 8: {
                ULONG count = s.getOccurrenceCount(other);
                size_t all =
                    s.isValid() && other.isValid() ? matches(before, textOf(other)).size() : 0;
                fuzz::check(count == std::min<size_t>(all, before.size()),
                            "getOccurrenceCount counts every occurrence, at most the length");
                break;
            }
            case 9: {
                ULONG occurrence = program.number();
                subStringMode mode = static_cast<subStringMode>(1 << (program.byte() % 4));
                const Text piece = textOf(other);
                bool done = s.remove(other, occurrence, mode);
                if (!done || piece.empty()) {
                    if (!done) fuzz::check(textOf(s) == before, "a failed remove changes nothing");
                    break;
                }
                if (mode == ssmAll)
                    fuzz::check(
                        textOf(s) == removedFirst(before, piece, matches(before, piece).size()),
                        "remove takes away every occurrence");
                if (mode == ssmNum)
                    fuzz::check(textOf(s) == removedFirst(before, piece, occurrence),
                                "remove takes away the first occurrences");
                break;
            }
            case 10: {
                CZYNWCharString replacement = stringOf(program.text());
                ULONG occurrence = program.number();
                subStringMode mode = static_cast<subStringMode>(1 << (program.byte() % 4));
                if (!s.replace(other, replacement, occurrence, mode) && !other.isValid())
                    fuzz::check(textOf(s) == before,
                                "replace refuses an invalid old string untouched");
                break;
            }
            case 11: {
                ULONG start = program.number(), end = program.number();
                bool dropStart = program.flag(), dropEnd = program.flag();
                if (!s.cutRange(start, end, dropStart, dropEnd)) {
                    fuzz::check(textOf(s) == before, "a failed cutRange changes nothing");
                    break;
                }
                fuzz::check(start < before.size() && end < before.size() && start != end,
                            "cutRange succeeds only for two positions inside the text");
                Text expected =
                    start < end
                        ? before.substr(0, start + !dropStart) + before.substr(end + dropEnd)
                        : before.substr(end + dropEnd, start - end + !dropStart - dropEnd);
                fuzz::check(textOf(s) == expected, "cutRange keeps the ends or the inside");
                break;
            }
            case 12: {
                CZYNWCharString out(TEXT("untouched"));
                ULONG start = program.number(), end = program.number();
                bool withStart = program.flag(), withEnd = program.flag();
                if (s.extractRange(out, start, end, withStart, withEnd)) {
                    Text expected = start == end
                                        ? (withStart || withEnd ? piece(before, start, 1) : Text())
                                        : before.substr(start + !withStart,
                                                        end - start + 1 - !withStart - !withEnd);
                    fuzz::check(textOf(out) == expected, "extractRange gives the text between");
                }
                checkWellFormed(out);
                fuzz::check(textOf(s) == before, "extractRange leaves the string alone");
                break;
            }
            case 13: {
                CZYNWCharString out;
                CZYNWCharString end = stringOf(program.text());
                ULONG first = program.number(), last = program.number();
                bool withStart = program.flag(), withEnd = program.flag();
                if (s.extractBetween(out, other, first, end, last, withStart, withEnd))
                    fuzz::check(before.find(textOf(out)) != Text::npos,
                                "extractBetween gives a piece of the text");
                checkWellFormed(out);
                break;
            }
            case 14: {
                CZYNWCharString copy(s);
                fuzz::check(s.reverse() == wasValid, "reverse works on every valid string");
                fuzz::check(textOf(s) == Text(before.rbegin(), before.rend()), "reverse reverses");
                s.reverse();
                fuzz::check(s == copy, "reversing twice gives the string back");
                break;
            }
            case 15: {
                DWORD where = program.byte() % 4, which = program.byte();
                s.trim(where, which);
                if (where == 3 && which == tcAll)
                    fuzz::check(textOf(s).find_first_of(u" \t\f\a\n\b\r\v") == Text::npos,
                                "trimming everywhere leaves no blank");
                break;
            }
            case 16: {
                WCHAR extra = program.text().substr(0, 1).c_str()[0];
                s.trimCharacters(extra, program.byte() % 4, program.byte());
                fuzz::check(before.find(textOf(s)) != Text::npos,
                            "trimming keeps a piece of the text");
                break;
            }
            case 17: {
                // Tokens of a one-unit delimiter, joined again, give the text back.
                Text delimiter = program.text().substr(0, 1);
                if (delimiter.empty()) delimiter = u";";
                bool listed = s.parseToList(tokens, stringOf(delimiter), pmFromStart, 0, 0);
                if (!listed || before.empty()) break;
                Text joined;
                bool first = true;
                for (bool more = tokens.moveFirst(); more; more = tokens.moveNext()) {
                    if (!first) joined += delimiter;
                    first = false;
                    const CZYNWCharString* token = tokens.getCurrentObject();
                    if (token) joined += textOf(*token);
                }
                fuzz::check(joined == before, "the tokens joined by their delimiter give the text");
                break;
            }
            case 18: {
                CZYNWCharString out;
                ULONG occurrence = program.number();
                s.parse(out, other, occurrence, program.mode(), program.byte() % 4, program.byte());
                checkWellFormed(out);
                break;
            }
            case 19: {
                ULONG occurrence = program.number();
                bool exclude = program.flag();
                s.cutAtDelimiter(other, occurrence, program.mode(), exclude);
                fuzz::check(before.find(textOf(s)) != Text::npos, "cutAtDelimiter keeps a piece");
                break;
            }
            case 20: {
                CZYNWCharString out;
                ULONG occurrence = program.number();
                bool include = program.flag();
                if (s.extractBeyond(out, other, occurrence, program.mode(), include))
                    fuzz::check(before.find(textOf(out)) != Text::npos,
                                "extractBeyond gives a piece");
                checkWellFormed(out);
                break;
            }
            case 21: {
                ULONG n = program.number();
                if (program.flag()) {
                    s.removeFirst(n);
                    fuzz::check(textOf(s) == (n < before.size() ? before.substr(n) : Text()),
                                "removeFirst drops the first units");
                } else {
                    s.removeLast(n);
                    fuzz::check(
                        textOf(s) == before.substr(0, n < before.size() ? before.size() - n : 0),
                        "removeLast drops the last units");
                }
                break;
            }
            case 22: {
                bool wasCompact = s.compact();
                fuzz::check(wasCompact == wasValid || before.empty(),
                            "compact works on valid strings");
                fuzz::check(textOf(s) == before, "compact keeps the text");
                if (s.isValid())
                    fuzz::check(s.getCount() == s.getLength() + 1, "compact trims the slack");
                break;
            }
            case 23: {
                // Comparisons follow the texts, and the empty state equals only itself.
                bool equal = s == other;
                fuzz::check(equal == (s.isValid() == other.isValid() && textOf(s) == textOf(other)),
                            "== compares validity and text");
                fuzz::check((s != other) == !equal, "!= is the negation of ==");
                bool sameLength =
                    s.isValid() && other.isValid() && s.getLength() == other.getLength();
                fuzz::check((s <= other) == (sameLength && textOf(s) <= textOf(other)),
                            "<= orders equal lengths");
                fuzz::check((s < other) == !(s >= other), "< is the negation of >=");
                break;
            }
        }
        checkWellFormed(s);
        checkWellFormed(other);
    }
    return 0;
}
