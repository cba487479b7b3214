// wchar_string_convert_test.cpp - CZYNWCharString conversions: reading
// numbers (markers, digit limits, the signed 32-bit range, bad input and the
// records it writes), the digit and number tests, stripping markers,
// lower-casing, and byte-code strings in both directions.
#include <string>
#include <vector>

#include "hbc_test.h"
#include "zyn_wchar_string.h"

namespace {

class WCharStringConvertTest : public HbcTest {
protected:
    // The bad-argument records of the log, from the message on.
    std::vector<std::string> badArguments() const {
        std::vector<std::string> out;
        for (const std::string& line : logLinesWith("\"A bad argument was provided "))
            out.push_back(line.substr(line.find("\"A bad argument")) + "\r");
        return out;
    }
    void resetLog() { std::filesystem::remove(fsPath("log.txt")); }
    // The one bad-argument record expected (its start), or none for "".
    void expectRecord(const std::string& record) const {
        const std::vector<std::string> records = badArguments();
        if (record.empty()) {
            EXPECT_TRUE(records.empty()) << records[0];
            return;
        }
        ASSERT_EQ(1u, records.size());
        EXPECT_EQ(0u, records[0].find(record)) << records[0];
    }
};

// Stands for the empty state in the tables.
const char* const kEmptyState = nullptr;

CZYNWCharString S(const char* utf8) {
    return utf8 ? CZYNWCharString(W(utf8).c_str()) : CZYNWCharString();
}

// Bytes as "41 00 42".
std::string hex(const BYTE* p, ULONG n) {
    const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (ULONG i = 0; i < n; ++i)
        out += std::string(i ? " " : "") + digits[p[i] >> 4] + digits[p[i] & 15];
    return out;
}
std::string hex(const CZYNBuffer<BYTE>& b) { return hex(b.getBuffer(), b.getCount()); }

// The start of a bad-argument record's message; its source follows (or, for
// the digit limits, which carry none, the end of the line).
std::string badArg(const std::string& argument, const std::string& explanation,
                   const char* source) {
    return "\"A bad argument was provided ( " + argument + " ). " + explanation + "\" " + source;
}
const char* const kNoSource = "\r";
const char* const kHere = "<zyn_wchar_string.cpp, ";
const std::string kOverflow = " digits in string - will overflow unsigned long value";
const std::string kTooManyHex = badArg("this string", "too many hex" + kOverflow, kNoSource);
const std::string kTooManyBinary = badArg("this", "too many binary" + kOverflow, kNoSource);
const std::string kTooManyOctal = badArg("this string", "too many octal" + kOverflow, kNoSource);
const std::string kOutOfRange =
    badArg("this string", "decimal value in string is outside the range of a long value", kHere);

}  // namespace

TEST_F(WCharStringConvertTest, ToNumber) {
    const std::string ones32(32, '1');
    const std::string bin33 = "0b1" + ones32;
    const LONG kUntouched = 0x5A5A5A5A;
    struct {
        const char* comment;
        const char* text;
        NumberSystem system;
        bool ok;
        LONG value;               // kUntouched when it must stay as it was
        std::string record = "";  // the start of the bad-argument record written, if any
    } rows[] = {
        {"white space around a prefixed number", " \t0x1f\r\n ", nsHex, true, 31},
        {"eight digits, all 32 bits", "FFFFFFFF", nsHex, true, -1},
        {"nine digits", "1FFFFFFFF", nsHex, false, kUntouched, kTooManyHex},
        {"a leading zero counts as a digit", "0x000000001", nsHex, false, kUntouched, kTooManyHex},
        {"the registry text file's form", "0x0000000A", nsHex, true, 10},
        {"upper-case prefix", "0X1F", nsHex, true, 31},
        {"h suffix", "1Bh", nsHex, true, 27},
        {"'0x' alone", "0x", nsHex, true, 0},
        {"a 'b' is a hex digit, not a binary marker", "1B", nsHex, true, 27},
        {"nor a binary prefix", "0b11", nsHex, true, 0xB11},
        {"0B as a byte code", "0B", nsHex, true, 11},
        {"no x and h together", "0x1Fh", nsHex, false, kUntouched},
        {"not hexadecimal", "1G", nsHex, false, kUntouched},
        {"binary suffix", "1010b", nsBin, true, 10},
        {"binary prefix", "0b1010", nsBin, true, 10},
        {"32 binary digits", ones32.c_str(), nsBin, true, -1},
        {"33 binary digits", bin33.c_str(), nsBin, false, kUntouched, kTooManyBinary},
        {"one digit with its suffix", "1b", nsBin, true, 1},
        {"'0b' alone", "0b", nsBin, true, 0},
        {"not binary", "102", nsBin, false, kUntouched},
        {"octal suffix", "17o", nsOct, true, 15},
        {"octal prefix", "0o17", nsOct, true, 15},
        {"one octal digit with its suffix", "7O", nsOct, true, 7},
        {"12 octal digits wrap modulo 2^32", "777777777777", nsOct, true, -1},
        {"13 octal digits", "1000000000000", nsOct, false, kUntouched, kTooManyOctal},
        {"not octal", "8", nsOct, false, kUntouched},
        {"negative decimal", "-42", nsDec, true, -42},
        {"no point", "4.2", nsDec, false, kUntouched},
        {"no plus", "+42", nsDec, false, kUntouched},
        {"a sign alone", "-", nsDec, false, kUntouched},
        {"the most negative value", "-2147483648", nsDec, true, -2147483647 - 1},
        {"the largest value, after leading zeros", "0002147483647", nsDec, true, 2147483647},
        {"one past the largest", "2147483648", nsDec, false, kUntouched, kOutOfRange},
        {"one below the most negative", "-2147483649", nsDec, false, kUntouched, kOutOfRange},
        {"far outside", "99999999999999999999999", nsDec, false, kUntouched, kOutOfRange},
        {"a blank text", "  \t ", nsHex, false, kUntouched},
        {"a blank decimal", " ", nsDec, false, kUntouched},
        {"the empty state", kEmptyState, nsDec, false, kUntouched},
        {"no such system", "12", static_cast<NumberSystem>(3), false, kUntouched},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        enableLogging();
        const CZYNWCharString text = S(row.text);
        LONG value = kUntouched;
        EXPECT_EQ(row.ok, text.toNumber(&value, row.system));
        EXPECT_EQ(row.value, value);
        expectRecord(row.record);
        EXPECT_TRUE(logLinesWith("An unhandled exception").empty());
        resetLog();
    }
}

TEST_F(WCharStringConvertTest, DigitAndNumberTests) {
    enum Test {
        kNumericSignPoint,
        kNumericPlain,
        kBinDigits,
        kOctDigits,
        kHexDigits,
        kBin,
        kOct,
        kHex
    };
    auto ask = [](const CZYNWCharString& s, Test test) {
        switch (test) {
            case kNumericSignPoint:
                return s.isNumeric(true, true);
            case kNumericPlain:
                return s.isNumeric(false, false);
            case kBinDigits:
                return s.isBinaryDigits();
            case kOctDigits:
                return s.isOctalDigits();
            case kHexDigits:
                return s.isHexDigits();
            case kBin:
                return s.isBinaryNumber();
            case kOct:
                return s.isOctalNumber();
            case kHex:
                return s.isHexNumber();
        }
        return false;
    };
    CZYNWCharString length0(TEXT("x"));
    length0.elementAt(0) = 0;
    struct {
        const char* comment;
        const char* text;
        Test test;
        bool expected;
    } rows[] = {
        {"sign and point", "-1.5", kNumericSignPoint, true},
        {"a point last", "1.", kNumericSignPoint, false},
        {"a point first", ".5", kNumericSignPoint, false},
        {"two points", "1.2.3", kNumericSignPoint, false},
        {"a sign not first", "1-2", kNumericSignPoint, false},
        {"a sign alone", "-", kNumericSignPoint, false},
        {"a sign not allowed", "-1", kNumericPlain, false},
        {"a point not allowed", "1.5", kNumericPlain, false},
        {"the empty state", kEmptyState, kNumericSignPoint, false},
        {"binary digits", "0110", kBinDigits, true},
        {"a 2 is not binary", "012", kBinDigits, false},
        {"octal stops at 7", "01234567", kOctDigits, true},
        {"an 8 is not octal", "08", kOctDigits, false},
        {"both letter cases", "09afAF", kHexDigits, true},
        {"a g is not hexadecimal", "0g", kHexDigits, false},
        {"digit tests: the empty state", kEmptyState, kHexDigits, false},
        {"hex without a marker", "1F", kHex, false},
        {"hex with both markers", "0x1Fh", kHex, false},
        {"hex with x first", "x1F", kHex, false},
        {"hex with an x not after 0", "1x1F", kHex, false},
        {"hex prefix in upper case", "0X1F", kHex, true},
        {"hex suffix in upper case", "1FH", kHex, true},
        {"'0x' alone", "0x", kHex, true},
        {"an h not last", "1hF", kHex, false},
        {"binary without a marker", "101", kBin, false},
        {"'b' alone", "b", kBin, false},
        {"two markers", "0b1b", kBin, false},
        {"a marker in the middle", "10b1", kBin, false},
        {"binary suffix in upper case", "101B", kBin, true},
        {"octal prefix", "0o17", kOct, true},
        {"an 8 after the octal prefix", "0o18", kOct, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(row.expected, ask(S(row.text), row.test));
    }
    // A valid text of length 0 holds only digits, but no number.
    for (Test test : {kBinDigits, kOctDigits, kHexDigits}) EXPECT_TRUE(ask(length0, test));
    for (Test test : {kNumericSignPoint, kBin, kOct, kHex}) EXPECT_FALSE(ask(length0, test));
}

TEST_F(WCharStringConvertTest, StripNumberMarkerAndToLower) {
    struct {
        const char* comment;
        const char* text;
        bool ok;
        const char* expected;  // null: the empty state
    } strips[] = {
        {"binary prefix", "0b101", true, "101"},
        {"binary suffix", "101B", true, "101"},
        {"octal prefix", "0O17", true, "17"},
        {"hex prefix", "0x1F", true, "1F"},
        {"hex suffix", "1Fh", true, "1F"},
        {"two units: the marker is the suffix", "1b", true, "1"},
        {"'0x' leaves nothing", "0x", true, nullptr},
        {"binary is tried first", "0b11", true, "11"},
        {"no marker", "12", false, "12"},
        {"the empty state", kEmptyState, false, nullptr},
    };
    for (const auto& row : strips) {
        SCOPED_TRACE(row.comment);
        CZYNWCharString s = S(row.text);
        EXPECT_EQ(row.ok, s.stripNumberMarker());
        EXPECT_EQ(row.expected != nullptr, s.isValid());
        EXPECT_EQ(row.expected ? row.expected : "", U8(s.getText()));
    }

    // Only 'A' to 'Z' change: not their neighbours '@' and '[', nor other letters.
    CZYNWCharString mixed = S("@AbZ[ ÄÉ");
    EXPECT_TRUE(mixed.toLower());
    EXPECT_EQ("@abz[ ÄÉ", U8(mixed.getText()));
    CZYNWCharString none;
    EXPECT_FALSE(none.toLower());
}

TEST_F(WCharStringConvertTest, ByteCodeStrings) {
    const std::string kNotAByte =
        badArg("this string", "byte code is not a hexadecimal number", kHere);
    enableLogging();
    CZYNWCharString ab(TEXT("AB"));
    ASSERT_EQ(3u, ab.getCount());
    EXPECT_EQ("41 00 42 00 00 00", U8(ab.getAsciiCodeString().getText()));
    EXPECT_EQ("E9 00 AC 20 3D D8 00 DE 00 00", U8(S("é€😀").getAsciiCodeString().getText()))
        << "each code unit low byte first, surrogates as they are";
    CZYNWCharString slack(TEXT("A"));
    slack.resize(3);
    EXPECT_EQ("41 00 00 00 00 00", U8(slack.getAsciiCodeString().getText())) << "slack included";
    EXPECT_FALSE(CZYNWCharString().getAsciiCodeString().isValid());
    // Traced: an entry and a passed exit for each of the four.
    EXPECT_EQ(4u, logLinesWith("<ENTRY> ").size());
    EXPECT_EQ(4u,
              logLinesWith("<CZYNWCharString::getAsciiCodeString> <Passed> <zyn_wchar_string.cpp, ")
                  .size());
    resetLog();

    // Every byte value comes back as it was: a text whose units hold the
    // bytes 00 to FF, with 0B and 1B among them.
    std::vector<BYTE> all;
    wstr units;
    for (unsigned i = 0; i < 256; i += 2) units.push_back(static_cast<WCHAR>(i | (i + 1) << 8));
    for (unsigned i = 0; i < 256; ++i) all.push_back(static_cast<BYTE>(i));
    all.insert(all.end(), {0, 0});  // the terminator
    const CZYNBuffer<BYTE> back =
        CZYNWCharString(units.c_str()).getAsciiCodeString().getBufferFromAsciiCodeString();
    EXPECT_EQ(hex(all.data(), static_cast<ULONG>(all.size())), hex(back));
    resetLog();

    struct {
        const char* comment;
        const char* text;
        const char* bytes;
        bool complete;
        std::string record;  // the start of the bad-argument record written, if any
    } rows[] = {
        {"a code string", "41 00 42 00 00 00", "41 00 42 00 00 00", true, ""},
        {"any separator, either letter case", "ab,cD-0b", "AB CD 0B", true, ""},
        {"a separator after the last pair", "41 ", "41", true, ""},
        {"pairs read as numbers otherwise", "41  7 0x", "41 07 00", true, ""},
        {"the empty state", kEmptyState, "", true, ""},
        {"one unit left over", "41 0", "41", false,
         badArg("ulStartPos", "start position is past the end of the string", kHere)},
        {"a pair that is no number ends the reading", "41 zz 42", "41", false, kNotAByte},
        {"a sign is no hexadecimal digit", "-1", "", false, kNotAByte},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        enableLogging();
        EXPECT_EQ(row.bytes, hex(S(row.text).getBufferFromAsciiCodeString()));
        expectRecord(row.record);
        EXPECT_EQ(
            1u, logLinesWith(std::string("<CZYNWCharString::getBufferFromAsciiCodeString> ") +
                             (row.complete ? "<Passed> " : "<Failed> ") + "<zyn_wchar_string.cpp, ")
                    .size());
        resetLog();
    }
}
