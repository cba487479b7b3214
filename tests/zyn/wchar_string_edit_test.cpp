// wchar_string_edit_test.cpp - CZYNWCharString editing: ends, ranges,
// delimiters, removal, insertion, replacement, trimming, parsing and %NAME%
// expansion; their bad-argument records; and that a failed edit (memory
// running out) leaves the string and the out string as they were.
#include <functional>
#include <string>
#include <vector>

#include "hbc_test.h"
#include "zyn_wchar_string.h"

namespace {

using Edit = std::function<bool(CZYNWCharString&)>;

// One edit: the text it starts from (null: the empty state), what it does,
// its result, the text afterwards (null: the empty state), and the
// bad-argument record it writes ("( name ). explanation"), if any.
struct EditRow {
    const char* comment;
    const char* input;
    Edit edit;
    bool result;
    const char* expected;
    const char* record = nullptr;
};

// A valid string of length 0: its first element is 0.
CZYNWCharString validEmpty() {
    CZYNWCharString s(TEXT("x"));
    s.elementAt(0) = 0;
    return s;
}

// Stands for a valid string of length 0 in the tables.
const char kLength0[] = "<length 0>";

CZYNWCharString S(const char* utf8) {
    if (utf8 == kLength0) return validEmpty();
    return utf8 ? CZYNWCharString(W(utf8).c_str()) : CZYNWCharString();
}

// The text held in ulCount elements (slack after the terminator).
CZYNWCharString held(const char* utf8, ULONG ulCount) {
    CZYNWCharString s = S(utf8);
    s.resize(ulCount);
    return s;
}

// An operation with an out string, as an edit: the out string starts as
// "untouched" and replaces the string afterwards, so a row shows what the
// operation wrote there (or that it wrote nothing).
Edit into(std::function<bool(const CZYNWCharString&, CZYNWCharString&)> op) {
    return [op](CZYNWCharString& s) {
        CZYNWCharString out(TEXT("untouched"));
        const bool result = op(s, out);
        s = out;
        return result;
    };
}

class WCharStringEditTest : public HbcTest {
protected:
    void TearDown() override {
        zyn::failNthAllocation(0);
        HbcTest::TearDown();
    }

    // Runs each row with logging on. unhandledPerRecord: the
    // unhandled-exception records that go with each bad-argument record.
    void run(const std::vector<EditRow>& rows, size_t unhandledPerRecord = 1) {
        for (const EditRow& row : rows) {
            SCOPED_TRACE(row.comment);
            enableLogging();
            CZYNWCharString s = S(row.input);
            EXPECT_EQ(row.result, row.edit(s));
            if (row.expected) {
                EXPECT_TRUE(s.isValid());
                EXPECT_EQ(row.expected, U8(s.getText()));
            } else {
                EXPECT_FALSE(s.isValid()) << U8(s.getText());
            }
            const std::vector<std::string> records = logLinesWith("\"A bad argument was provided ");
            if (row.record) {
                ASSERT_EQ(1u, records.size());
                EXPECT_NE(std::string::npos,
                          records[0].find("\"A bad argument was provided " + std::string(row.record) +
                                          "\" <zyn_wchar_string.cpp, "))
                    << records[0];
            } else {
                EXPECT_TRUE(records.empty()) << records[0];
            }
            const std::vector<std::string> unhandled = logLinesWith("\"An unhandled exception occurred\" ");
            EXPECT_EQ(row.record ? unhandledPerRecord : 0, unhandled.size());
            for (const std::string& line : unhandled)
                EXPECT_NE(std::string::npos, line.find("<zyn_wchar_string.cpp, ")) << line;
            std::filesystem::remove(fsPath("log.txt"));
        }
    }
};

const char* const kPastStart = "( ulStartPos ). start position is past the end of the string";
const char* const kImpossible =
    "( ulOccurrance ). value is impossible since it is larger than the length of this string";
const char* const kNotEnough =
    "( ulOccurrance ). there aren't enough strings to accommodate ulOccurrance";
const char* const kNoText = "( subString ). must contain a string";

Edit cut(const char* sub, ULONG n, int mode, bool exclude) {
    return [=](CZYNWCharString& s) {
        return s.cutAtDelimiter(S(sub), n, static_cast<ParseMode>(mode), exclude);
    };
}
Edit remove(const char* sub, ULONG n, int mode) {
    return [=](CZYNWCharString& s) { return s.remove(S(sub), n, static_cast<subStringMode>(mode)); };
}
Edit insert(const char* what, ULONG pos) {
    return [=](CZYNWCharString& s) { return s.insert(S(what), pos); };
}
Edit replace(const char* from, const char* to, ULONG n, int mode) {
    return [=](CZYNWCharString& s) {
        return s.replace(S(from), S(to), n, static_cast<subStringMode>(mode));
    };
}
Edit between(const char* a, ULONG na, const char* b, ULONG nb, bool i1, bool i2) {
    return into([=](const CZYNWCharString& s, CZYNWCharString& out) {
        return s.extractBetween(out, S(a), na, S(b), nb, i1, i2);
    });
}
Edit token(const char* delimiter, ULONG n, int mode, DWORD where = 0, DWORD chars = 0) {
    return into([=](const CZYNWCharString& s, CZYNWCharString& out) {
        return s.parse(out, S(delimiter), n, static_cast<ParseMode>(mode), where, chars);
    });
}
// parseToList as an edit: the string becomes the first token, if any.
Edit firstOfList(const char* delimiter, int mode) {
    return [=](CZYNWCharString& s) {
        CZYNDblList<CZYNObjNode<CZYNWCharString>> list;
        const bool result = s.parseToList(list, S(delimiter), static_cast<ParseMode>(mode), 0, 0);
        if (list.getCount() > 0) s = *list.getObjectAt(0);
        return result;
    };
}

}  // namespace

TEST_F(WCharStringEditTest, Ends) {
    EXPECT_EQ("abcd", U8(S("abcdef").getWithoutLast(2).getText()));
    EXPECT_EQ("ef", U8(S("abcdef").getWithoutFirst(4).getText()));
    EXPECT_FALSE(S("abc").getWithoutFirst(3).isValid());
    EXPECT_FALSE(S("abc").getWithoutLast(7).isValid());
    EXPECT_TRUE(validEmpty().getWithoutLast(0).isValid()) << "n 0 gives a copy, even of length 0";
    auto removeLast = [](ULONG n) { return [=](CZYNWCharString& s) { return &s.removeLast(n) == &s; }; };
    auto removeFirst = [](ULONG n) { return [=](CZYNWCharString& s) { return &s.removeFirst(n) == &s; }; };
    run({
        {"removeLast(2)", "abcdef", removeLast(2), true, "abcd"},
        {"removeFirst(6): all", "abcdef", removeFirst(6), true, nullptr},
        {"removeFirst(0)", "abcdef", removeFirst(0), true, "abcdef"},
        {"removeFirst on the empty state", nullptr, removeFirst(1), true, nullptr},
    });
}

TEST_F(WCharStringEditTest, CutAndExtractRanges) {
    auto extract = [](ULONG a, ULONG b, bool i1, bool i2) {
        return into([=](const CZYNWCharString& s, CZYNWCharString& out) {
            return s.extractRange(out, a, b, i1, i2);
        });
    };
    run({
        {"delete the inside", "abcdef", [](auto& s) { return s.cutRange(1, 4, false, false); }, true, "abef"},
        {"delete the inside and both ends", "abcdef", [](auto& s) { return s.cutRange(1, 4, true, true); },
         true, "af"},
        {"keep the inside", "abcdef", [](auto& s) { return s.cutRange(4, 1, false, false); }, true, "bcde"},
        {"keep the inside less both ends", "abcdef", [](auto& s) { return s.cutRange(4, 1, true, true); },
         true, "cd"},
        {"keep two, drop both: nothing", "abcdef", [](auto& s) { return s.cutRange(3, 2, true, true); }, true,
         nullptr},
        {"equal positions", "abcdef", [](auto& s) { return s.cutRange(2, 2, false, false); }, false, "abcdef",
         "( ulEndPos & ulStartPos ). start and end positions can't be equal"},
        {"start past the end", "abc", [](auto& s) { return s.cutRange(3, 1, false, false); }, false, "abc",
         kPastStart},
        {"end past the end", "abc", [](auto& s) { return s.cutRange(0, 9, false, false); }, false, "abc",
         "( ulEndPos ). end position is past the end of the string"},
        {"the empty state: no record", nullptr, [](auto& s) { return s.cutRange(0, 1, false, false); }, false,
         nullptr},
        {"the largest end position", "abc", [](auto& s) { return s.cutRange(0, ~0u, false, false); }, false,
         "abc", "( ulEndPos ). end position is past the end of the string"},

        {"extract, both ends", "abcdef", extract(1, 3, true, true), true, "bcd"},
        {"extract, neither end", "abcdef", extract(1, 3, false, false), true, "c"},
        {"extract, start only", "abcdef", extract(1, 3, true, false), true, "bc"},
        {"extract, neighbours without ends: nothing", "abcdef", extract(1, 2, false, false), true, nullptr},
        {"extract one position, not wanted", "abcdef", extract(2, 2, false, false), true, nullptr},
        {"extract one position", "abcdef", extract(2, 2, false, true), true, "c"},
        {"extract backwards", "abcdef", extract(3, 1, true, true), false, "untouched",
         "( ulStartPos ). start position can't be greater than end position - use extractOutside( ) or "
         "deleteRange( ) instead"},
        // The positions reach cutRange swapped, so the end is reported as its start.
        {"extract past the end", "abcdef", extract(1, 6, true, true), false, "untouched", kPastStart},
        {"extract to the largest position", "abcdef", extract(0, ~0u, false, false), false, "untouched",
         kPastStart},
        {"into the string itself", "abcdef", [](auto& s) { return s.extractRange(s, 1, 3, false, true); },
         true, "cd"},
    });
    // One position past the text, on the terminator or beyond the buffer, is
    // refused with the index record, whether its character is wanted or not.
    enableLogging();
    CZYNWCharString out(TEXT("untouched"));
    EXPECT_FALSE(S("abc").extractRange(out, 3, 3, true, false));
    EXPECT_FALSE(S("abc").extractRange(out, 9, 9, false, false));
    EXPECT_FALSE(CZYNWCharString().extractRange(out, 0, 0, false, false)) << "the empty state has no 0";
    EXPECT_EQ("untouched", U8(out.getText()));
    EXPECT_EQ(3u, logLinesWith("\"Index out of array bounds\" <zyn_buffer.h, 1299> ").size())
        << "the element check's record";
    EXPECT_EQ(3u, logLinesWith("\"An unhandled exception occurred\" ").size());
}

TEST_F(WCharStringEditTest, ExtractBetween) {
    const char* cmd = "run <C:\\Tools\\x.msc> now";
    run({
        {"between", cmd, between("<", 1, ">", 1, false, false), true, "C:\\Tools\\x.msc"},
        {"both delimiters", cmd, between("<", 1, ">", 1, true, true), true, "<C:\\Tools\\x.msc>"},
        {"start delimiter", cmd, between("<", 1, ">", 1, true, false), true, "<C:\\Tools\\x.msc"},
        {"end delimiter", cmd, between("<", 1, ">", 1, false, true), true, "C:\\Tools\\x.msc>"},
        {"long delimiters", "a<<x>>b", between("<<", 1, ">>", 1, false, false), true, "x"},
        {"first to last quote", "\"a\" \"b\"", between("\"", 1, "\"", 1, false, false), true, "a\" \"b"},
        {"second from the start to the last", "(a(b)c)", between("(", 2, ")", 1, false, false), true, "b)c"},
        {"second from the start to second from the end", "(a(b)c)", between("(", 2, ")", 2, false, false),
         true, "b"},
        {"adjacent delimiters: nothing between", "x<>y", between("<", 1, ">", 1, false, false), true,
         nullptr},
        {"one quote is both ends: nothing", "a\"b", between("\"", 1, "\"", 1, false, false), false,
         "untouched"},
        {"one quote, delimiters wanted", "a\"b", between("\"", 1, "\"", 1, true, true), false, "untouched"},
        {"end before start", "a>b<c", between("<", 1, ">", 1, false, false), false, "untouched"},
        {"end inside the start delimiter", "x<>y", between("<>", 1, ">", 1, true, false), false, "untouched"},
        {"no end delimiter", "a<b", between("<", 1, ">", 1, false, false), false, "untouched"},
        {"an empty-state delimiter", "a<b>", between(nullptr, 1, ">", 1, false, false), false,
         "untouched"},
    });
    // Find's records, which find itself handles.
    run({{"occurrence 0", cmd, between("<", 0, ">", 1, false, false), false, "untouched",
          "( ulOccurrance ). value must be greater than 0"},
         {"the end delimiter is looked for when the start one is missing", "abc",
          between("<", 1, ">", 0, false, false), false, "untouched",
          "( ulOccurrance ). value must be greater than 0"}},
        0);
}

TEST_F(WCharStringEditTest, RemoveAndInsert) {
    run({
        {"remove all", "xabyabz", remove("ab", 0, ssmAll), true, "xyz"},
        {"remove the second", "xabyabz", remove("ab", 2, ssmOccur), true, "xabyz"},
        {"remove the first two", "abab-ab", remove("ab", 2, ssmNum), true, "-ab"},
        {"remove everything", "abab", remove("ab", 0, ssmAll), true, nullptr},
        {"overlapping occurrences", "aaa", remove("aa", 0, ssmAll), true, "a"},
        {"not enough for ssmNum", "xabyabz", remove("ab", 3, ssmNum), false, "xabyabz", kNotEnough},
        {"not enough for ssmOccur", "xabyabz", remove("ab", 3, ssmOccur), false, "xabyabz", kNotEnough},
        {"ssmOccur 0", "xab", remove("ab", 0, ssmOccur), false, "xab",
         "( ulOccurrance ). ssmOccur mode requires ulOccurrance to be greater than 0"},
        {"ssmNum 0", "xab", remove("ab", 0, ssmNum), false, "xab",
         "( ulOccurrance ). ssmNum mode requires ulOccurrance to be greater than 0"},
        {"mode 3", "xab", remove("ab", 1, 3), false, "xab", "( subStringMode ). invalid mode"},
        {"absent: no record, mode not examined", "xab", remove("q", 1, 3), false, "xab"},
        {"an empty-state string does not occur", "xab", remove(nullptr, 1, ssmAll), false, "xab"},
        {"the string from itself", "xab", [](auto& s) { return s.remove(s, 1, ssmAll); }, true, nullptr},

        {"insert at 0", "abc", insert("XY", 0), true, "XYabc"},
        {"insert at 1", "abc", insert("XY", 1), true, "aXYbc"},
        {"insert at the end", "abc", insert("XY", 3), true, "abcXY"},
        {"insert past the end", "abc", insert("XY", 4), false, "abc",
         "( ulPos ). position is out of string bounds"},
        {"insert an invalid string", "abc", insert(nullptr, 1), false, "abc",
         "( string ). can't insert an invalid string"},
        {"into the empty state at 0", nullptr, insert("XY", 0), true, "XY"},
        {"length 0 into the empty state: a text of length 0", nullptr, insert(kLength0, 0), true, ""},
        {"length 0 into a text", "ab", insert(kLength0, 1), true, "ab"},
        {"into the empty state at 1: no record", nullptr, insert("XY", 1), false, nullptr},
        {"the string into itself", "ab", [](auto& s) { return s.insert(s, 1); }, true, "aabb"},
        {"the largest position", "ab", insert("x", ~0u), false, "ab",
         "( ulPos ). position is out of string bounds"},
    });
}

TEST_F(WCharStringEditTest, Replace) {
    run(
        {
            {"a longer text that holds the old one", "aXa", replace("a", "aa", 0, ssmAll), true, "aaXaa"},
            {"delete by an empty-state string", "abcb", replace("b", nullptr, 0, ssmAll), true, "ac"},
            {"delete everything: the empty state", "bb", replace("b", nullptr, 0, ssmAll), true,
             nullptr},
            {"everything by length 0: a text of length 0", "bb", replace("b", kLength0, 0, ssmAll),
             true, ""},
            {"the whole text by length 0", "ab", replace("ab", kLength0, 1, ssmOccur), true, ""},
            {"only the second", "a-a-a", replace("a", "b", 2, ssmOccur), true, "a-b-a"},
            {"the first two", "a-a-a", replace("a", "bab", 2, ssmNum), true, "bab-bab-a"},
            {"a shorter text inside the old one", "aaXaa", replace("aa", "a", 0, ssmAll), true, "aXa"},
            {"a replacement that forms the old text", "aabab", replace("ab", "b", 0, ssmAll), true, "abb"},
            {"overlapping occurrences, all", "aaa", replace("aa", "b", 0, ssmAll), true, "ba"},
            {"overlapping occurrences cannot all be had", "aaa", replace("aa", "b", 2, ssmNum), false, "aaa"},
            {"a reference in the value is not replaced again", "%A%-%A%", replace("%A%", "x%A%", 0, ssmAll),
             true, "x%A%-x%A%"},
            {"absent", "abc", replace("q", "x", 0, ssmAll), false, "abc"},
            {"the string by itself", "ab", [](auto& s) { return s.replace(s, s, 1, ssmOccur); }, true, "ab"},
            {"ssmOccur past the count", "a-a", replace("a", "b", 3, ssmOccur), false, "a-a",
             "( ulOccurrance ). occurrance is out of bounds"},
            {"ssmNum past the count", "a-a", replace("a", "b", 3, ssmNum), false, "a-a",
             "( ulOccurrance ). there aren't enough strings to accommodate ulOccurrance"},
            {"mode 3", "a-a", replace("a", "b", 1, 3), false, "a-a", "( subStringMode ). invalid mode"},
            {"invalid old string", "abc", replace(nullptr, "x", 1, ssmAll), false, "abc",
             "( oldString ). string is invalid"},
            {"old string of length 0", "abc",
             [](auto& s) { return s.replace(validEmpty(), S("x"), 1, ssmAll); }, false, "abc",
             "( oldString ). string is invalid"},
        },
        0);  // replace handles its bad arguments itself: no unhandled record
}

TEST_F(WCharStringEditTest, Trim) {
    auto trim = [](DWORD where, DWORD chars) {
        return [=](CZYNWCharString& s) { return s.trim(where, chars); };
    };
    auto trimChars = [](char extra, DWORD where, DWORD chars) {
        return [=](CZYNWCharString& s) { return s.trimCharacters(WCHAR(extra), where, chars); };
    };
    run({
        {"both ends and inside", " a b ", trim(3, tcAll), true, "ab"},
        {"leading", " a b ", trim(twLeading, tcAll), true, "a b "},
        {"trailing", " a b ", trim(twTrailing, tcAll), true, " a b"},
        {"only the selected characters", "\t a\t", trim(3, tcTab), true, " a"},
        {"every white-space character", " \t\x0c\x07\n\x08\r\x0bx\x0b", trim(3, tcAll), true, "x"},
        {"nothing but blanks, leading", "   ", trim(twLeading, tcSpace), true, nullptr},
        {"nothing but blanks, both", "   ", trim(3, tcSpace), true, nullptr},
        {"no where-flags", " a ", trim(0, tcAll), true, " a "},
        {"no characters", " a ", trim(3, 0), true, " a "},
        {"a where-bit that means nothing", "  ", trim(4, tcAll), true, "  "},
        {"the empty state", nullptr, trim(3, tcAll), true, nullptr},

        {"trailing by overwriting", "ab  ", trimChars(' ', twTrailing, 0), true, "ab"},
        {"leading, extra character", "xxab", trimChars('x', twLeading, 0), true, "ab"},
        {"both, extra and table", "x\tab\tx", trimChars('x', 3, tcTab), true, "ab"},
        {"all trimmed, extra character kept out", "  ", trimChars(' ', 3, 0), true, ""},
        {"all trimmed, no extra character", "  ", trimChars(0, 3, tcSpace), true, nullptr},
        {"the empty state", nullptr, trimChars(' ', 3, 0), false, nullptr},
    });
    CZYNWCharString s(TEXT("ab  "));
    EXPECT_TRUE(s.trimCharacters(TEXT(' '), twTrailing, 0));
    EXPECT_EQ(2u, s.getLength());
    EXPECT_EQ(5u, s.getCount()) << "trailing units are overwritten; the buffer keeps its size";

    struct {
        const char* comment;
        const char* text;
        DWORD chars;
        ULONG first, last;  // ~0u: none
    } rows[] = {
        {"blanks around", "  ab ", tcSpace, 2, 3},
        {"nothing selected", "ab", 0, 0, 1},
        {"everything selected", " \t", tcSpace | tcTab, ~0u, ~0u},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        ULONG first = ~0u, last = ~0u;
        EXPECT_EQ(row.first != ~0u, S(row.text).findNotInSet(row.chars, pmFromStart, &first));
        EXPECT_EQ(row.last != ~0u, S(row.text).findNotInSet(row.chars, pmFromEnd, &last));
        EXPECT_EQ(row.first, first);
        EXPECT_EQ(row.last, last);
    }
}

TEST_F(WCharStringEditTest, Delimiters) {
    auto beyond = [](const char* sub, ULONG n, ParseMode mode, bool include) {
        return into([=](const CZYNWCharString& s, CZYNWCharString& out) {
            return s.extractBeyond(out, S(sub), n, mode, include);
        });
    };
    const char* path = "C:\\Out\\Logs\\x.txt";
    run({
        {"cut from the start at the delimiter", "a:b:c", cut(":", 1, pmFromStart, false), true, ":b:c"},
        {"cut from the start after it", "a:b:c", cut(":", 2, pmFromStart, true), true, "c"},
        {"cut after the first of two", "a:b:", cut(":", 1, pmFromStart, true), true, "b:"},
        {"cut at the end, delimiter kept", "a\\b\\c", cut("\\", 1, pmFromEnd, false), true, "a\\b\\"},
        {"cut at the end, delimiter dropped", "a\\b\\c", cut("\\", 1, pmFromEnd, true), true, "a\\b"},
        {"cut before a delimiter at index 0", "\\abc", cut("\\", 1, pmFromEnd, true), true, nullptr},
        {"cut at a delimiter that is missing", "abc", cut("\\", 1, pmFromEnd, false), false, "abc"},
        {"cut in mode 3", "a:b", cut(":", 1, 3, false), false, "a:b"},

        {"the text before the first", path, beyond("\\", 1, pmFromStart, false), true, "C:"},
        {"the prefix up to the second, included", path, beyond("\\", 2, pmFromStart, true), true,
         "C:\\Out\\"},
        {"the text after the last", path, beyond("\\", 1, pmFromEnd, false), true, "x.txt"},
        {"after the second from the end, included", path, beyond("\\", 2, pmFromEnd, true), true,
         "\\Logs\\x.txt"},
        {"after a delimiter at the very end", "a\\", beyond("\\", 1, pmFromEnd, false), true, nullptr},
        {"no delimiter", "abc", beyond("\\", 1, pmFromEnd, false), false, "untouched"},
        {"no fourth delimiter", path, beyond("\\", 4, pmFromStart, true), false, "untouched"},
        {"a delimiter without text", path, beyond(kLength0, 1, pmFromStart, true), false, "untouched",
         kNoText},
        {"mode 3", path, beyond("\\", 1, static_cast<ParseMode>(3), true), false, "untouched",
         "( parseMode ). invalid parse mode"},
    });

    struct {
        const char* comment;
        const char* text;
        const char* sub;
        ULONG n;
        ParseMode mode;
        ULONG other;  // 0: none
    } rows[] = {
        {"1st from the start is the 3rd from the end", "a;b;c;d", ";", 1, pmFromStart, 3},
        {"and back", "a;b;c;d", ";", 3, pmFromEnd, 1},
        {"overlapping occurrences count", "aaaa", "aa", 1, pmFromStart, 3},
        {"no such occurrence", "a;b", ";", 2, pmFromStart, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        ULONG other = 0;
        EXPECT_EQ(row.other != 0, S(row.text).convertOccurrence(S(row.sub), row.n, row.mode, &other));
        EXPECT_EQ(row.other, other);
    }
}

TEST_F(WCharStringEditTest, Parse) {
    run({
        {"token 1", "x;y;z", token(";", 1, pmFromStart), true, "x"},
        {"token 2", "x;y;z", token(";", 2, pmFromStart), true, "y"},
        {"token 3", "x;y;z", token(";", 3, pmFromStart), true, "z"},
        {"token 4", "x;y;z", token(";", 4, pmFromStart), false, "untouched"},
        {"token 0", "x;y;z", token(";", 0, pmFromStart), false, "untouched",
         "( ulOccurrance ). ulOccurrance must be greater than 0"},
        {"an empty token", "x;;z", token(";", 2, pmFromStart), true, nullptr},
        {"trimmed", "x; y ;z", token(";", 2, pmFromStart, 3, tcSpace), true, "y"},
        {"no delimiter: the whole text", "xyz", token(";", 1, pmFromStart), true, "xyz"},
        {"no delimiter, token 2", "xyz", token(";", 2, pmFromStart), false, "untouched"},
        {"inside the first pair", "%A%\\%B%", token("%", 1, pmFromEnd), true, "A"},
        {"between the pairs", "%A%\\%B%", token("%", 2, pmFromEnd), true, "\\"},
        {"no closing delimiter", "%A%\\%B", token("%", 3, pmFromEnd), false, "untouched"},
        {"no delimiter encloses nothing", "xyz", token("%", 1, pmFromEnd), false, "untouched"},
        {"mode 3", "x;y", token(";", 1, static_cast<ParseMode>(3)), false, "untouched"},
        {"overlapping delimiters enclose nothing", "a;;;b", token(";;", 2, pmFromStart), false, "untouched"},
        {"the largest token number", "x;y", token(";", ~0u, pmFromStart), false, "untouched"},
        {"the largest pair number", "%x%", token("%", ~0u, pmFromEnd), false, "untouched"},
        {"into the string itself", "x;y;z", [](auto& s) { return s.parse(s, S(";"), 2, pmFromStart, 0, 0); },
         true, "y"},
    });
    // The search for the closing delimiter logs a number past the length of
    // the text (find's own record).
    run({
            {"a lone delimiter encloses nothing", "%", token("%", 1, pmFromEnd), false, "untouched",
             kImpossible},
            {"no third pair in a tight text", "%A%", token("%", 3, pmFromEnd), false, "untouched",
             kImpossible},
        },
        0);
}

// A valid substring of length 0 stands at every index from the start (as
// many times as the text is long) and never from the end. Refused only where
// it would make every replacement create the next occurrence.
TEST_F(WCharStringEditTest, ATextOfLength0StandsAtEveryIndexFromTheStart) {
    const char* const z = kLength0;
    // Records that the search or replace handles itself.
    run(
        {
            {"cut from the start: before index 1", "abc", cut(z, 2, pmFromStart, false), true, "bc"},
            {"cut after it: the same place", "abc", cut(z, 2, pmFromStart, true), true, "bc"},
            {"cut from the end: never found", "abc", cut(z, 1, pmFromEnd, false), false, "abc"},
            {"cut past the length", "abc", cut(z, 4, pmFromStart, false), false, "abc", kImpossible},
            {"remove all: nothing changes", "abc", remove(z, 0, ssmAll), true, "abc"},
            {"remove the third: nothing changes", "abc", remove(z, 3, ssmOccur), true, "abc"},
            {"replace the second: inserted there", "abc", replace(z, "X", 2, ssmOccur), true, "aXbc"},
            {"replace all of one: the one place", "a", replace(z, "X", 0, ssmAll), true, "Xa"},
            {"replace the first two: refused", "abc", replace(z, "X", 2, ssmNum), false, "abc",
             "( oldString ). string is invalid"},
            {"from a start of length 0 to '>'", "x<y>", between(z, 1, ">", 1, false, false), true, "x<y"},
            {"from the second index, '>' included", "x<y>", between(z, 2, ">", 1, true, true), true, "<y>"},
            {"up to an end of length 0: never found", "x<y>", between("<", 1, z, 1, false, false), false,
             "untouched"},
        },
        0);
    // Records raised inside an operation's catch-all handler, which writes
    // an unhandled-exception record as well.
    run({
        {"remove the fourth: too few", "abc", remove(z, 4, ssmOccur), false, "abc", kNotEnough},
        {"parse the first token: refused", "x;y", token(z, 1, pmFromStart), false, "untouched", kNoText},
        {"parse a middle token: refused", "x;y", token(z, 2, pmFromStart), false, "untouched", kNoText},
        {"parse a pair: refused", "x;y", token(z, 1, pmFromEnd), false, "untouched", kNoText},
        {"parseToList: parse's refusal", "x;y", firstOfList(z, pmFromStart), false, "x;y", kNoText},
        {"parse a text of length 0: its one token", z, token(z, 1, pmFromStart), true, ""},
        {"parseToList of it: the same", z, firstOfList(z, pmFromStart), true, ""},
    });
}

// Where insert and trim keep a buffer's slack: insert at either end joins
// the strings as + does (the part behind brings its whole buffer), and trim
// keeps the string whole when it removes nothing.
TEST_F(WCharStringEditTest, ElementCountsOfInsertAndTrim) {
    auto insertHeld = [](const char* what, ULONG count, ULONG pos) {
        return [=](CZYNWCharString& s) { return s.insert(held(what, count), pos); };
    };
    auto trim = [](DWORD where) { return [=](CZYNWCharString& s) { return s.trim(where, tcSpace); }; };
    struct {
        const char* comment;
        CZYNWCharString s;
        Edit edit;
        const char* expected;
        ULONG count;
    } rows[] = {
        {"insert at 0: the text's slack comes along", held("ab", 5), insert("X", 0), "Xab", 6},
        {"insert at the end: the inserted slack comes along", held("ab", 3), insertHeld("X", 4, 2), "abX", 6},
        {"insert inside: exactly sized", held("ab", 5), insertHeld("X", 4, 1), "aXb", 4},
        {"trim that removes nothing: kept whole", held("ab", 5), trim(3), "ab", 5},
        {"trim of trailing blanks: the kept part is cut out", held("ab ", 6), trim(twTrailing), "ab", 3},
        {"trim of one character: that character", held("x", 4), trim(3), "x", 2},
    };
    for (auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_TRUE(row.edit(row.s));
        EXPECT_EQ(row.expected, U8(row.s.getText()));
        EXPECT_EQ(row.count, row.s.getCount());
    }
}

TEST_F(WCharStringEditTest, ParseToListGivesWhatParseGives) {
    struct {
        const char* comment;
        const char* text;
        const char* delimiter;
        ParseMode mode;
        DWORD where, chars;
        std::vector<const char*> tokens;  // null: an empty token
    } rows[] = {
        {"empty tokens", "x;y;;z", ";", pmFromStart, 0, 0, {"x", "y", nullptr, "z"}},
        {"empty at both ends", ";x;", ";", pmFromStart, 0, 0, {nullptr, "x", nullptr}},
        {"pairs", "%A%\\%B%", "%", pmFromEnd, 0, 0, {"A", "B"}},
        {"an odd delimiter is left over", "%A%%B", "%", pmFromEnd, 0, 0, {"A"}},
        {"trimmed", " a , b ,c", ",", pmFromStart, 3, tcSpace, {"a", "b", "c"}},
        {"byte codes", "41,00,42,00", ",", pmFromStart, 0, 0, {"41", "00", "42", "00"}},
        {"long delimiter", "a::b::", "::", pmFromStart, 0, 0, {"a", "b", nullptr}},
        {"overlapping delimiters stop the list", "a;;;b", ";;", pmFromStart, 0, 0, {"a"}},
        {"no delimiter", "xyz", ";", pmFromStart, 0, 0, {"xyz"}},
        {"no pair", "xyz", "%", pmFromEnd, 0, 0, {}},
        {"a text of length 0 is its one token", kLength0, ";", pmFromStart, 0, 0, {kLength0}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        const CZYNWCharString s = S(row.text);
        CZYNDblList<CZYNObjNode<CZYNWCharString>> list;
        list.add(S("stale"), 99);
        EXPECT_EQ(!row.tokens.empty(), s.parseToList(list, S(row.delimiter), row.mode, row.where, row.chars));
        ASSERT_EQ(static_cast<LONG>(row.tokens.size()), list.getCount());
        const ULONG step = row.mode == pmFromEnd ? 2 : 1;
        for (ULONG i = 0; i < row.tokens.size(); ++i) {
            SCOPED_TRACE(i);
            const CZYNWCharString* token = list.getObjectAt(i);
            EXPECT_EQ(static_cast<LONG>(i), list.getNodeAt(i)->getTag());
            EXPECT_TRUE(*token == S(row.tokens[i])) << U8(token->getText());
            // The same token, one parse at a time.
            CZYNWCharString parsed;
            ASSERT_TRUE(s.parse(parsed, S(row.delimiter), 1 + i * step, row.mode, row.where, row.chars));
            EXPECT_TRUE(parsed == *token);
        }
        CZYNWCharString next;
        EXPECT_FALSE(
            s.parse(next, S(row.delimiter), 1 + row.tokens.size() * step, row.mode, row.where, row.chars))
            << "parse has no further token either";
    }
    CZYNDblList<CZYNObjNode<CZYNWCharString>> list;
    list.add(S("kept"), 0);
    EXPECT_FALSE(CZYNWCharString().parseToList(list, S(";"), pmFromStart, 0, 0));
    EXPECT_EQ(1, list.getCount()) << "an empty-state string leaves the list alone";
}

TEST_F(WCharStringEditTest, Expand) {
    ScopedEnvVar a(W("ZYN_EXPAND_A"), W("alpha"));
    ScopedEnvVar self(W("ZYN_EXPAND_SELF"), W("<%ZYN_EXPAND_A%>"));
    ScopedEnvVar empty(W("ZYN_EXPAND_EMPTY"), W(""));
    ScopedEnvVar missing(W("ZYN_NOSUCHVAR"), nullptr);
    struct {
        const char* comment;
        const char* text;
        bool result;
        const char* expected;
    } rows[] = {
        {"no reference", "C:\\Tools", true, "C:\\Tools"},
        {"a text that names a variable, without %", "ZYN_EXPAND_A", true, "ZYN_EXPAND_A"},
        {"one reference", "%ZYN_EXPAND_A%\\x", true, "alpha\\x"},
        {"names in any case", "%zyn_expand_a%", true, "alpha"},
        {"the same reference twice", "%ZYN_EXPAND_A%-%ZYN_EXPAND_A%", true, "alpha-alpha"},
        {"an unknown variable stays", "%ZYN_NOSUCHVAR%", false, "%ZYN_NOSUCHVAR%"},
        {"an empty variable stays", "%ZYN_EXPAND_EMPTY%", false, "%ZYN_EXPAND_EMPTY%"},
        {"unknown, then known", "%ZYN_NOSUCHVAR%%ZYN_EXPAND_A%", true, "%ZYN_NOSUCHVAR%alpha"},
        {"references in a value are not expanded", "%ZYN_EXPAND_SELF%", true, "<%ZYN_EXPAND_A%>"},
        {"a lone %", "50% off", true, "50% off"},
        {"pairs are taken from the start", "%x%ZYN_EXPAND_A%", false, "%x%ZYN_EXPAND_A%"},
        {"%% names nothing", "a%%b", false, "a%%b"},
        {"the empty state", nullptr, true, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        enableLogging();
        CZYNWCharString s = S(row.text);
        EXPECT_EQ(row.result, s.expand());
        EXPECT_EQ(row.expected ? row.expected : "", U8(s.getText()));
        EXPECT_TRUE(logLinesWith("<EXCEPTION_BAD> ").empty()) << "expand writes no exception record";
        EXPECT_EQ(1u, logLinesWith(std::string("<CZYNWCharString::expand> ") +
                                   (row.result ? "<Passed> " : "<Failed> ") + "<zyn_wchar_string.cpp, ")
                          .size());
        std::filesystem::remove(fsPath("log.txt"));
    }
}

// Every allocation of each edit is made to fail in turn: the edit then
// reports failure and leaves its string and its out string as they were;
// once no allocation fails it gives its result. The arguments exist before
// the failures are armed, so that only the edit's own allocations fail.
TEST_F(WCharStringEditTest, RunningOutOfMemoryChangesNothing) {
    ScopedEnvVar a(W("ZYN_EXPAND_A"), W("alpha"));
    using Op = std::function<bool(CZYNWCharString&, CZYNWCharString&)>;
    const CZYNWCharString lt = S("<"), gt = S(">"), ab = S("ab"), xy = S("XY"), one = S("a"), two = S("bb"),
                          colon = S(":"), backslash = S("\\"), semicolon = S(";");
    struct {
        const char* comment;
        const char* input;
        Op op;
        const char* expected;  // the string's text, or the out string's when it is written
    } rows[] = {
        {"cutRange", "abcdef", [](auto& s, auto&) { return s.cutRange(1, 4, false, false); }, "abef"},
        {"extractRange", "abcdef", [](auto& s, auto& o) { return s.extractRange(o, 1, 3, true, true); },
         "bcd"},
        {"extractBetween", "<ab>",
         [&](auto& s, auto& o) { return s.extractBetween(o, lt, 1, gt, 1, false, false); }, "ab"},
        {"remove", "xabyabz", [&](auto& s, auto&) { return s.remove(ab, 0, ssmAll); }, "xyz"},
        {"insert", "abc", [&](auto& s, auto&) { return s.insert(xy, 1); }, "aXYbc"},
        {"replace", "a-a", [&](auto& s, auto&) { return s.replace(one, two, 0, ssmAll); }, "bb-bb"},
        {"trimCharacters", "  ab  ", [](auto& s, auto&) { return s.trimCharacters(TEXT(' '), 3, 0); }, "ab"},
        {"trim", " a b ", [](auto& s, auto&) { return s.trim(3, tcAll); }, "ab"},
        {"cutAtDelimiter", "a:b",
         [&](auto& s, auto&) { return s.cutAtDelimiter(colon, 1, pmFromStart, true); }, "b"},
        {"extractBeyond", "a\\b",
         [&](auto& s, auto& o) { return s.extractBeyond(o, backslash, 1, pmFromEnd, false); }, "b"},
        {"parse", "a; b ;c",
         [&](auto& s, auto& o) { return s.parse(o, semicolon, 2, pmFromStart, 3, tcSpace); }, "b"},
        {"expand", "[%ZYN_EXPAND_A%]", [](auto& s, auto&) { return s.expand(); }, "[alpha]"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        bool done = false;
        for (ULONG n = 1; n < 40 && !done; ++n) {
            SCOPED_TRACE(n);
            CZYNWCharString s = S(row.input);
            CZYNWCharString out(TEXT("untouched"));
            zyn::failNthAllocation(n);
            done = row.op(s, out);
            const bool noneFailed = zyn::t_allocationsUntilFailure != 0;
            zyn::failNthAllocation(0);
            if (done) {
                EXPECT_TRUE(noneFailed) << "success only when no allocation failed";
                EXPECT_EQ(row.expected, U8((out == S("untouched") ? s : out).getText()));
            } else {
                EXPECT_EQ(row.input, U8(s.getText()));
                EXPECT_EQ("untouched", U8(out.getText()));
            }
        }
        EXPECT_TRUE(done);
    }

    // A list that cannot be filled is left empty.
    const CZYNWCharString text = S("a; b ;c");
    bool done = false;
    for (ULONG n = 1; n < 40 && !done; ++n) {
        SCOPED_TRACE(n);
        CZYNDblList<CZYNObjNode<CZYNWCharString>> list;
        zyn::failNthAllocation(n);
        done = text.parseToList(list, semicolon, pmFromStart, 3, tcSpace);
        zyn::failNthAllocation(0);
        ASSERT_EQ(done ? 3 : 0, list.getCount());
        if (done) {
            EXPECT_TRUE(*list.getObjectAt(1) == S("b"));
        }
    }
    EXPECT_TRUE(done);
}
