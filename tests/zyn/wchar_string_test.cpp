// wchar_string_test.cpp - CZYNWCharString: the empty and valid states,
// assignment and concatenation (also from and onto itself), the numeric
// constructors, comparison, search and its bad-argument records, and the
// behaviour when memory runs out.
#include <functional>
#include <string>
#include <vector>

#include "hbc_test.h"
#include "zyn_wchar_string.h"

namespace {

class WCharStringTest : public HbcTest {
protected:
    void TearDown() override {
        zyn::failNthAllocation(0);
        HbcTest::TearDown();
    }
};

std::string text(const CZYNWCharString& s) { return U8(s.getText()); }

CZYNWCharString S(const char* utf8) { return CZYNWCharString(W(utf8).c_str()); }

// A valid string of length 0: its first element is 0.
CZYNWCharString validEmpty() {
    CZYNWCharString s(TEXT("x"));
    s.elementAt(0) = 0;
    return s;
}

}  // namespace

TEST_F(WCharStringTest, EmptyAndValidStates) {
    const CZYNWCharString none;
    struct {
        const char* comment;
        CZYNWCharString s;
    } empties[] = {
        {"default", CZYNWCharString()},
        {"\"\"", CZYNWCharString(TEXT(""))},
        {"null", CZYNWCharString(static_cast<const WCHAR*>(nullptr))},
        {"zero character", CZYNWCharString(WCHAR(0))},
        {"buffer of zeros", CZYNWCharString(CZYNBuffer<WCHAR>(3))},
    };
    for (auto& row : empties) {
        SCOPED_TRACE(row.comment);
        EXPECT_FALSE(row.s.isValid());
        EXPECT_EQ(0u, row.s.getLength());
        EXPECT_EQ("", text(row.s));
        EXPECT_TRUE(row.s == none);
        EXPECT_FALSE(row.s.compact());
    }

    CZYNWCharString zeroLength = validEmpty();
    EXPECT_TRUE(zeroLength.isValid());
    EXPECT_EQ(0u, zeroLength.getLength());
    EXPECT_FALSE(zeroLength == none) << "a valid string never equals the empty state";
    EXPECT_TRUE(zeroLength.compact());
    EXPECT_FALSE(zeroLength.isValid()) << "compact turns length 0 into the empty state";
}

TEST_F(WCharStringTest, AssignmentFromEveryKindOfSource) {
    CZYNWCharString s(TEXT("abcdef"));
    EXPECT_EQ(7u, s.getCount()) << "exactly the text and its terminator";

    // Text that lies inside the string itself.
    s = s.getText() + 2;
    EXPECT_EQ("cdef", text(s));
    EXPECT_EQ(5u, s.getCount());

    // A buffer without a terminator, as a system call delivers it.
    CZYNBuffer<WCHAR> raw(TEXT("xyz"), 3, 0);
    s = raw;
    EXPECT_EQ("xyz", text(s));
    EXPECT_EQ(4u, s.getCount());
    // The string assigned to itself as a buffer, and as a string.
    s = static_cast<const CZYNBuffer<WCHAR>&>(s);
    EXPECT_EQ("xyz", text(s));
    CZYNWCharString& alias = s;
    s = alias;
    EXPECT_EQ("xyz", text(s));

    s = WCHAR('q');
    EXPECT_EQ("q", text(s));
    EXPECT_EQ(2u, s.getCount());

    // A copy keeps the slack.
    CZYNWCharString slack(CZYNBuffer<WCHAR>(6));
    slack = TEXT("ab");
    ASSERT_TRUE(slack.resize(6));
    CZYNWCharString copy(slack);
    EXPECT_EQ(6u, copy.getCount());
    EXPECT_TRUE(copy == slack);
    EXPECT_TRUE(copy.compact());
    EXPECT_EQ(3u, copy.getCount());

    CZYNWCharString moved(std::move(copy));
    EXPECT_EQ("ab", text(moved));
    EXPECT_FALSE(copy.isValid());
}

TEST_F(WCharStringTest, Concatenation) {
    CZYNWCharString ab(TEXT("ab"));
    const WCHAR* storage = ab.getBuffer();
    ab += CZYNWCharString();
    ab += validEmpty();
    EXPECT_EQ(storage, ab.getBuffer()) << "appending nothing leaves the buffer as it was";
    EXPECT_EQ(3u, ab.getCount());

    CZYNWCharString abcd = ab + TEXT("cd");
    EXPECT_EQ("abcd", text(abcd));
    EXPECT_EQ(5u, abcd.getCount());
    EXPECT_EQ("ab", text(ab));

    // Other's slack comes along.
    CZYNWCharString withSlack(TEXT("xy"));
    withSlack.resize(5);
    CZYNWCharString empty;
    empty += withSlack;
    EXPECT_EQ("xy", text(empty));
    EXPECT_EQ(5u, empty.getCount());

    ab += ab;
    EXPECT_EQ("abab", text(ab));
    EXPECT_EQ("abababab", text(ab + ab));
}

TEST_F(WCharStringTest, LengthNeverReadsPastTheBuffer) {
    CZYNWCharString s(TEXT("ab"));
    s.elementAt(2) = 'c';  // the terminator overwritten
    EXPECT_EQ(3u, s.getLength());
    EXPECT_TRUE(s.compact());
    EXPECT_EQ(4u, s.getCount());
    EXPECT_EQ("abc", text(s));
}

TEST_F(WCharStringTest, NumericConstructors) {
    struct {
        const char* comment;
        ULONG value;
        NumberSystem system;
        WORD width;
        bool prefix;
        const char* expected;
    } rows[] = {
        {"hex, padded, prefixed", 0x409, nsHex, 3, true, "0x409"},
        {"hex, width keeps the low digits", 0x409, nsHex, 2, true, "0x09"},
        {"hex zero with prefix", 0, nsHex, 0, true, "0x0"},
        {"hex upper case, width 1", 255, nsHex, 1, false, "F"},
        {"hex, all 32 bits", 0xFFFFFFFFu, nsHex, 0, false, "FFFFFFFF"},
        {"binary", 5, nsBin, 0, false, "101"},
        {"binary prefix", 2, nsBin, 4, true, "0b0010"},
        {"octal, padded", 26, nsOct, 4, false, "0032"},
        {"octal prefix", 8, nsOct, 0, true, "0o10"},
        {"decimal is signed and ignores width and prefix", 0xFFFFFFFFu, nsDec, 5, true, "-1"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNWCharString s(row.value, row.system, row.width, row.prefix);
        EXPECT_EQ(row.expected, text(s));
        EXPECT_EQ(s.getLength() + 1, s.getCount());
    }

    EXPECT_EQ("-12", text(CZYNWCharString(LONG(-12))));
    EXPECT_EQ("0", text(CZYNWCharString(LONG(0))));
    EXPECT_EQ("-2147483648", text(CZYNWCharString(LONG(-2147483647 - 1))));
    EXPECT_EQ("2147483647", text(CZYNWCharString(LONG(2147483647))));

    enableLogging();
    EXPECT_THROW(CZYNWCharString(7, static_cast<NumberSystem>(3), 0, false), CZYNBufferInitException);
    EXPECT_EQ(1u, logLinesWith("\"A bad argument was provided ( asNumberSystem ). mode isn't "
                               "supported, must be hex,bin,or oct\" <zyn_wchar_string.cpp, ")
                      .size());
}

TEST_F(WCharStringTest, Comparison) {
    struct {
        const char* comment;
        CZYNWCharString a, b;
        bool eq, le, ge, lt, gt;
    } rows[] = {
        {"equal", S("abc"), S("abc"), true, true, true, false, false},
        {"same length, smaller", S("abc"), S("abd"), false, true, false, true, false},
        {"same length, larger", S("abd"), S("abc"), false, false, true, false, true},
        {"different lengths are both < and >", S("ab"), S("abc"), false, false, false, true, true},
        {"code units compare unsigned", S("\xef\xbf\xbd"), S("a"), false, false, true, false, true},
        {"both in the empty state", CZYNWCharString(), CZYNWCharString(), true, false, false, true, true},
        {"valid length 0 against the empty state", validEmpty(), CZYNWCharString(), false, false, false,
         true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(row.eq, row.a == row.b);
        EXPECT_EQ(!row.eq, row.a != row.b);
        EXPECT_EQ(row.le, row.a <= row.b);
        EXPECT_EQ(row.ge, row.a >= row.b);
        EXPECT_EQ(row.lt, row.a < row.b);
        EXPECT_EQ(row.gt, row.a > row.b);
    }
}

TEST_F(WCharStringTest, Find) {
    const ULONG kUntouched = 0xdeadbeef;
    struct {
        const char* comment;
        CZYNWCharString haystack, needle;
        ULONG occurrence;
        ParseMode mode;
        ULONG expected;  // kUntouched: not found
        const char* record;  // the bad-argument explanation logged, or null
    } rows[] = {
        {"second from the start", S("abcabc"), S("bc"), 2, pmFromStart, 4, nullptr},
        {"first from the end", S("abcabc"), S("bc"), 1, pmFromEnd, 4, nullptr},
        {"second from the end", S("abcabc"), S("bc"), 2, pmFromEnd, 1, nullptr},
        {"overlapping", S("aaaa"), S("aa"), 3, pmFromStart, 2, nullptr},
        {"no third", S("abcabc"), S("bc"), 3, pmFromStart, kUntouched, nullptr},
        {"whole string", S("abc"), S("abc"), 1, pmFromEnd, 0, nullptr},
        {"length 0 matches from the start", S("abc"), validEmpty(), 3, pmFromStart, 2, nullptr},
        {"length 0 never matches from the end", S("abc"), validEmpty(), 1, pmFromEnd, kUntouched, nullptr},
        {"unknown mode", S("abc"), S("a"), 1, static_cast<ParseMode>(3), kUntouched, nullptr},
        {"needle longer: no record", S("abc"), S("abcd"), 1, pmFromStart, kUntouched, nullptr},
        {"empty needle", S("abc"), CZYNWCharString(), 1, pmFromStart, kUntouched, nullptr},
        {"empty haystack", CZYNWCharString(), S("a"), 1, pmFromStart, kUntouched, nullptr},
        {"occurrence 0", S("abc"), S("a"), 0, pmFromStart, kUntouched, "value must be greater than 0"},
        {"occurrence above the length", S("abc"), S("a"), 4, pmFromStart, kUntouched,
         "value is impossible since it is larger than the length of this string"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        enableLogging();
        ULONG pos = kUntouched;
        EXPECT_EQ(row.expected != kUntouched, row.haystack.find(row.needle, row.occurrence, row.mode, &pos));
        EXPECT_EQ(row.expected, pos);
        std::vector<std::string> records = logLinesWith("A bad argument");
        if (row.record) {
            ASSERT_EQ(1u, records.size());
            EXPECT_NE(std::string::npos,
                      records[0].find("\"A bad argument was provided ( ulOccurrance ). " +
                                      std::string(row.record) + "\" <zyn_wchar_string.cpp, "))
                << records[0];
        } else {
            EXPECT_TRUE(records.empty());
        }
        std::filesystem::remove(fsPath("log.txt"));
    }
}

TEST_F(WCharStringTest, OccurrencesAndAffixes) {
    struct {
        const char* comment;
        CZYNWCharString s, sub;
        ULONG count;
        bool contains, begins, ends;
    } rows[] = {
        {"overlapping count", S("aaaa"), S("aa"), 3, true, true, true},
        {"middle only", S("abc"), S("b"), 1, true, false, false},
        {"suffix", S("abc"), S("c"), 1, true, false, true},
        {"prefix", S("abcab"), S("ab"), 2, true, true, true},
        {"absent", S("abc"), S("x"), 0, false, false, false},
        {"length 0 counts at most the length", S("abc"), validEmpty(), 3, true, true, false},
        {"empty state", CZYNWCharString(), S("a"), 0, false, false, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(row.count, row.s.getOccurrenceCount(row.sub));
        EXPECT_EQ(row.contains, row.s.contains(row.sub));
        EXPECT_EQ(row.begins, row.s.beginsWith(row.sub));
        EXPECT_EQ(row.ends, row.s.endsWith(row.sub));
    }
}

TEST_F(WCharStringTest, AffixTestsAreTraced) {
    enableLogging();
    EXPECT_TRUE(S("abc").beginsWith(S("ab")));
    EXPECT_FALSE(S("abc").endsWith(S("b")));
    std::vector<std::string> entries = logLinesWith("<ENTRY> ");
    ASSERT_EQ(2u, entries.size());
    EXPECT_NE(std::string::npos, entries[0].find("<CZYNWCharString::beginsWith> <zyn_wchar_string.cpp, "));
    std::vector<std::string> exits = logLinesWith("<EXIT> ");
    ASSERT_EQ(2u, exits.size());
    EXPECT_NE(std::string::npos, exits[0].find("<CZYNWCharString::beginsWith> <Passed> <zyn_wchar_string.cpp, "));
    EXPECT_NE(std::string::npos, exits[1].find("<CZYNWCharString::endsWith> <Failed> <zyn_wchar_string.cpp, "));
}

TEST_F(WCharStringTest, Reverse) {
    CZYNWCharString empty, one(TEXT("a")), zeroLength = validEmpty();
    EXPECT_FALSE(empty.reverse());
    EXPECT_TRUE(one.reverse());
    EXPECT_EQ("a", text(one));
    EXPECT_TRUE(zeroLength.reverse());
    // Only the text turns round, not the slack after it.
    CZYNWCharString slack(TEXT("abc"));
    slack.resize(5);
    slack.elementAt(4) = 'z';
    EXPECT_TRUE(slack.reverse());
    EXPECT_EQ("cba", text(slack));
    EXPECT_EQ('z', slack.getAt(4));
}

TEST_F(WCharStringTest, RunningOutOfMemory) {
    enableLogging();
    CZYNWCharString s(TEXT("abc"));
    // The sources exist before the allocation that fails.
    const CZYNBuffer<WCHAR> buffer(TEXT("xy"), 2, 0);
    const CZYNWCharString tail(TEXT("de"));
    struct {
        const char* comment;
        std::function<void()> step;
    } rows[] = {
        {"text", [&] { s = TEXT("xyz"); }},
        {"buffer", [&] { s = buffer; }},
        {"character", [&] { s = WCHAR('x'); }},
        {"concatenation", [&] { s += tail; }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        zyn::failNthAllocation(1);
        row.step();
        EXPECT_EQ("abc", text(s)) << "a failed assignment leaves the string as it was";
    }
    EXPECT_EQ(4u, logLinesWith("( m_pBuffer )").size());

    zyn::failNthAllocation(1);
    EXPECT_THROW(CZYNWCharString(TEXT("x")), CZYNBufferInitException);
    zyn::failNthAllocation(1);
    EXPECT_THROW(CZYNWCharString(0x10u, nsHex), CZYNBufferInitException);
    zyn::failNthAllocation(1);
    EXPECT_THROW(CZYNWCharString copy(s), CZYNBufferInitException);
}
