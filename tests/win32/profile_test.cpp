// profile_test.cpp - the private-profile (INI) functions, against the real API
// under Wine and against win32_posix natively: parsing, quotes, encodings,
// the size-minus-one and size-minus-two cuts, GetPrivateProfileIntW's
// numbers, listings, writes and where a file name without a folder points.
//
// Where Wine is known to answer differently from Windows, KNOWN_DIFFERENCE
// names the difference and expectOnHost() picks Windows' answer natively
// (win32_posix follows Windows) and Wine's under Wine; nativeOrWindows()
// marks where win32_posix departs from Windows on purpose.
#include "hbc_test.h"

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The stand-in's answer natively; the Windows API's in the Windows build.
template <typename T>
T nativeOrWindows(T native, T windows) {
#ifdef _WIN32
    (void)native;
    return windows;
#else
    (void)windows;
    return native;
#endif
}

#define KNOWN_DIFFERENCE(what)                   \
    [[maybe_unused]] const char* const difference = (what); \
    SCOPED_TRACE(std::string("known difference: ") + difference)

const DWORD kUntouched = 0xdeadbeef;
const WCHAR kFill = TEXT('#');

// Test text with '|' standing for NUL: Z("a|b||") is "a\0b\0\0".
wstr Z(const std::string& utf8) {
    wstr text = W(utf8);
    for (WCHAR& c : text)
        if (c == TEXT('|')) c = 0;
    return text;
}

// A buffer as text with NUL shown as '|', for messages.
std::string shown(const wstr& buffer) {
    wstr copy = buffer;
    for (WCHAR& c : copy)
        if (c == 0) c = TEXT('|');
    return U8(copy);
}

std::string utf16le(const wstr& text) {
    std::string bytes = "\xFF\xFE";
    for (WCHAR c : text) {
        bytes.push_back(static_cast<char>(static_cast<unsigned>(c) & 0xFF));
        bytes.push_back(static_cast<char>((static_cast<unsigned>(c) >> 8) & 0xFF));
    }
    return bytes;
}

struct Read {
    DWORD ret;
    wstr buffer;  // the whole buffer and two guard units, kFill where untouched
    wstr text() const { return wstr(buffer.c_str()); }
};

class ProfileTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        m_ini = winPath("test.ini");
    }

    const WCHAR* ini() const { return m_ini.c_str(); }
    void setFile(const std::string& bytes) { writeBytes(fsPath("test.ini"), bytes); }
    std::string file(const std::string& name = "test.ini") const {
        std::vector<unsigned char> bytes = readBytes(fsPath(name));
        return std::string(bytes.begin(), bytes.end());
    }
    bool exists(const std::string& name) const {
        return GetFileAttributesW(winPath(name).c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    Read getString(const WCHAR* app, const WCHAR* key, const WCHAR* def, DWORD size) {
        return getStringFrom(ini(), app, key, def, size);
    }
    // The same from another file (NULL is win.ini).
    Read getStringFrom(const WCHAR* fileName, const WCHAR* app, const WCHAR* key, const WCHAR* def,
                       DWORD size) {
        Read r;
        r.buffer.assign(size + 2, kFill);
        r.ret = GetPrivateProfileStringW(app, key, def, &r.buffer[0], size, fileName);
        return r;
    }
    Read getSection(const WCHAR* app, DWORD size) {
        Read r;
        r.buffer.assign(size + 2, kFill);
        r.ret = GetPrivateProfileSectionW(app, &r.buffer[0], size, ini());
        return r;
    }
    Read getNames(DWORD size) {
        Read r;
        r.buffer.assign(size + 2, kFill);
        r.ret = GetPrivateProfileSectionNamesW(&r.buffer[0], size, ini());
        return r;
    }

private:
    wstr m_ini;
};

// The file of the truncation facts: a section with a line without '=', an
// empty value, an empty section and a short last one.
const char kTruncationFile[] =
    "[section1]\r\nname1=val1\r\nname2=\"val2\"\r\nname3\r\nname4=a\r\nempty=\r\n"
    "[section2]\r\n[sec3]\r\nx=1\r\n";

}  // namespace

// --- parsing -------------------------------------------------------------------------

TEST_F(ProfileTest, NamesMatchCaseInsensitivelyAndValuesAreTrimmed) {
    setFile(std::string("[Sec1]\r\nKey1=val1\r\n  key2  =   spaced value   \r\n"
                        "\t tabbed key\t=\ttabbed value\t\r\nk2=a=b\r\n;comment=x\r\n#hash=y\r\n"
                        "pepsi=diet   ;gag\r\nnoequals\r\nkey1=duplicate\r\n"
                        "  [ Sec2 ]  \r\n=novalkey\r\n[Sec3] trailing text\r\na=3\r\n[Sec5]]\r\nb=5\r\n"
                        "[a]b]\r\nc=6\r\n[Unclosed\r\nuk=in a]b\r\n[sec1]\r\nkeyNew=second\r\n"
                        "[CR]\rx=1\ry=2\r[LF]\nx=1\n[Nul]\r\na=1\0X\r\n[End]\r\nz=9\r\n\x1A",
                        325));
    struct Row {
        const char* app;
        const char* key;
        const char* expected;  // "def" is the default
    };
    const Row rows[] = {
        {"Sec1", "Key1", "val1"},
        {"SEC1", "KEY1", "val1"},             // case ignored; the first of two duplicate keys
        {" Sec1 ", "  key2  ", "spaced value"},  // blanks around names and values ignored
        {"Sec1", "tabbed key", "tabbed value"},  // tabs are blanks, inner blanks kept
        {"Sec1", "k2", "a=b"},                   // the value starts after the first '='
        {"Sec1", ";comment", "x"},               // a comment line is still a key
        {"Sec1", "#hash", "y"},                  // '#' is an ordinary character
        {"Sec1", "pepsi", "diet   ;gag"},        // no comments after a value
        {"Sec1", "noequals", "def"},             // a line without '=' is no key
        {"Sec1", "keyNew", "def"},               // only the first of duplicate sections counts
        {"Sec2", "", "novalkey"},                // "=value" is a key with an empty name
        {"Sec3", "a", "3"},                      // text after the header ignored
        {"Sec5]", "b", "5"},                     // the name ends at the last ']'
        {"a]b", "c", "6"},
        {"a]b", "uk", "in a]b"},                 // an unclosed header starts no section...
        {"Unclosed", "uk", "def"},               // ...so its keys stay in the previous one
        {"CR", "y", "2"},                        // CR-only line ends
        {"LF", "x", "1"},                        // LF-only line ends
        {"Nul", "a", "1"},                       // a NUL ends the value
        {"End", "z", "9"},                       // a final Ctrl-Z is ignored
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.app) + "/" + r.key);
        Read read = getString(W(r.app).c_str(), W(r.key).c_str(), TEXT("def"), 40);
        EXPECT_EQ(W(r.expected), read.text());
        EXPECT_EQ(W(r.expected).size(), read.ret);
    }
}

TEST_F(ProfileTest, QuotesAreStrippedOnlyWhenBothEndsMatch) {
    struct Row {
        const char* line;
        const char* expected;
    };
    const Row rows[] = {
        {"\"double quoted\"", "double quoted"},
        {"'single quoted'", "single quoted"},
        {"\"\"", ""},
        {"''", ""},
        {"\"a\"b\"", "a\"b"},                         // only the outer pair goes
        {"\" inner spaces \"", " inner spaces "},     // blanks inside quotes are kept
        {"  \"  padded quotes  \"  ", "  padded quotes  "},
        {"\"unbalanced", "\"unbalanced"},
        {"unbalanced\"", "unbalanced\""},
        {"\"", "\""},
        {"'mixed\"", "'mixed\""},
        {"\"a\" ;c", "\"a\" ;c"},                     // text after the closing quote
    };
    std::string file = "[q]\r\n";
    for (size_t i = 0; i < std::size(rows); ++i)
        file += "k" + std::to_string(i) + "=" + rows[i].line + "\r\n";
    setFile(file);
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(rows[i].line);
        Read read = getString(TEXT("q"), W("k" + std::to_string(i)).c_str(), TEXT("def"), 40);
        EXPECT_EQ(W(rows[i].expected), read.text());
        EXPECT_EQ(W(rows[i].expected).size(), read.ret);
    }
    // The section listing keeps the quotes.
    Read section = getSection(TEXT("q"), 400);
    EXPECT_EQ(0u, section.buffer.find(Z("k0=\"double quoted\"|k1='single quoted'|")));
}

TEST_F(ProfileTest, Utf16AndUtf8MarksAreRead) {
    // UTF-16LE with its mark: any character.
    setFile(utf16le(W("[Texte]\r\ntitre=été 中\r\n")));
    Read read = getString(TEXT("texte"), TEXT("TITRE"), TEXT("def"), 20);
    EXPECT_EQ(5u, read.ret);
    EXPECT_EQ(W("été 中"), read.text());

    // A UTF-8 mark is skipped and the rest read as UTF-8, natively and under
    // Wine alike. Windows 10 is reported to keep the mark as part of the first
    // line, so that a header there is not found.
    setFile("\xEF\xBB\xBF[Texte]\r\ntitre=\xC3\xA9t\xC3\xA9\r\n");
    read = getString(TEXT("Texte"), TEXT("titre"), TEXT("def"), 20);
    EXPECT_EQ(W("été"), read.text());

    // Without a mark, UTF-16 is not recognised: every lookup gives the default.
    std::string noMark = utf16le(W("[A]\r\nu=1\r\n")).substr(2);
    setFile(noMark);
    EXPECT_EQ(W("def"), getString(TEXT("A"), TEXT("u"), TEXT("def"), 20).text());
    EXPECT_EQ(0u, getNames(20).ret);
}

// --- GetPrivateProfileStringW: results and cuts --------------------------------------

TEST_F(ProfileTest, ValueIsCutToSizeMinusOne) {
    setFile(kTruncationFile);
    struct Row {
        DWORD size;
        DWORD ret;
        const char* text;
    };
    const Row rows[] = {
        {10, 4, "val1"},
        {5, 4, "val1"},  // exact fit: not cut
        {4, 3, "val"},   // one short
        {2, 1, "v"},
        {1, 0, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size));
        Read read = getString(TEXT("section1"), TEXT("name1"), TEXT("default"), r.size);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(W(r.text), read.text());
        EXPECT_EQ(kFill, read.buffer[r.size]) << "written past the buffer";
    }
    // Size 0: nothing written, the last error unchanged.
    SetLastError(kUntouched);
    Read read = getString(TEXT("section1"), TEXT("name1"), TEXT("default"), 0);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(kFill, read.buffer[0]);
    EXPECT_EQ(kUntouched, GetLastError());
}

TEST_F(ProfileTest, QuotedValueIsCutBeforeItsClosingQuoteIsDropped) {
    // Wine's rule, the only one known: the cut applies to the text after the
    // opening quote, then the closing quote's place is cleared even when the
    // cut already removed it.
    setFile("[s]\r\nv2=\"val2\"\r\nabc=\"abc\"\r\nx='x'\r\n");
    struct Row {
        const char* key;
        DWORD size;
        DWORD ret;
        const char* text;
    };
    const Row rows[] = {
        {"v2", 6, 4, "val2"}, {"v2", 5, 3, "val"}, {"abc", 5, 3, "abc"},
        {"abc", 4, 2, "ab"},  {"abc", 3, 2, "ab"}, {"x", 3, 1, "x"},
        {"x", 2, 0, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.key) + " size " + std::to_string(r.size));
        Read read = getString(TEXT("s"), W(r.key).c_str(), TEXT("def"), r.size);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(W(r.text), read.text());
        EXPECT_EQ(kFill, read.buffer[r.size]);
    }
}

TEST_F(ProfileTest, MissingValuesGiveTheDefaultWithoutTrailingSpaces) {
    setFile(kTruncationFile);
    struct Row {
        const char* app;
        const char* key;
        const WCHAR* def;
        const char* expected;
    };
    const Row rows[] = {
        {"section1", "empty", TEXT("default"), ""},        // present but empty: not the default
        {"section1", "missing", TEXT("default"), "default"},
        {"missing", "name1", TEXT("default"), "default"},
        {"section1", "name3", TEXT("default"), "default"},  // a line without '='
        {"section1", "missing", nullptr, ""},
        {"section1", "missing", TEXT(""), ""},
        {"section1", "missing", TEXT("  def  "), "  def"},  // trailing spaces go, leading stay
        {"section1", "missing", TEXT("one two  "), "one two"},
        {"section1", "missing", TEXT("\"quoted def\""), "quoted def"},  // as Wine does
        {"section1", "", TEXT("default"), "default"},     // no "=value" line here
        {"", "name1", TEXT("default"), "default"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.app) + "/" + r.key + " default " + (r.def ? U8(r.def) : "NULL"));
        Read read = getString(W(r.app).c_str(), W(r.key).c_str(), r.def, 40);
        EXPECT_EQ(W(r.expected), read.text());
        EXPECT_EQ(W(r.expected).size(), read.ret);
    }
    // A default longer than the buffer is cut like a value.
    Read read = getString(TEXT("section1"), TEXT("missing"), TEXT("default"), 4);
    EXPECT_EQ(3u, read.ret);
    EXPECT_EQ(W("def"), read.text());
}

TEST_F(ProfileTest, MissingOrUnusableFilesGiveTheDefaultAndAnError) {
    struct Row {
        std::string name;  // relative to the test folder, "" for the empty name
        DWORD error;
    };
    CreateDirectoryW(winPath("folder.ini").c_str(), nullptr);
    const Row rows[] = {
        {"missing.ini", ERROR_FILE_NOT_FOUND},
        {"no_such_dir\\x.ini", ERROR_PATH_NOT_FOUND},
        {"folder.ini", ERROR_ACCESS_DENIED},  // a folder is no file
        {"", ERROR_ACCESS_DENIED},            // the empty name
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        wstr name = r.name.empty() ? wstr() : winPath(r.name);
        SetLastError(kUntouched);
        Read read = getStringFrom(name.c_str(), TEXT("s"), TEXT("k"), TEXT("default"), 20);
        EXPECT_EQ(7u, read.ret);
        EXPECT_EQ(W("default"), read.text());
        EXPECT_EQ(r.error, GetLastError());

        SetLastError(kUntouched);
        EXPECT_EQ(42u, GetPrivateProfileIntW(TEXT("s"), TEXT("k"), 42, name.c_str()));
        EXPECT_EQ(r.error, GetLastError());
    }
    // Nothing was created.
    EXPECT_FALSE(exists("missing.ini"));
    EXPECT_FALSE(exists("no_such_dir"));
}

TEST_F(ProfileTest, KeyListingIsCutToSizeMinusTwo) {
    setFile(kTruncationFile);
    // name3 has no '=' and is not listed; the total is 24.
    struct Row {
        DWORD size;
        DWORD ret;
        const char* buffer;  // '|' is NUL, '#' untouched
    };
    const Row rows[] = {
        {27, 24, "name1|name2|name4|empty||#"},
        {26, 24, "name1|name2|name4|empty||"},  // total+2: fits
        {25, 23, "name1|name2|name4|empty||"},  // complete, but counted as cut
        {16, 14, "name1|name2|na||"},
        {3, 1, "n||"},
        {1, 0, "|"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size));
        Read read = getString(TEXT("section1"), nullptr, TEXT("default"), r.size);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(shown(Z(r.buffer)), shown(read.buffer.substr(0, W(r.buffer).size())));
        EXPECT_EQ(kFill, read.buffer[r.size]) << "written past the buffer";
    }
    // Size 2 leaves no room for a name; the default is copied instead, as
    // Wine does (nothing else is known).
    Read read = getString(TEXT("section1"), nullptr, TEXT("default"), 2);
    EXPECT_EQ(1u, read.ret);
    EXPECT_EQ(W("d"), read.text());
    read = getString(TEXT("section1"), nullptr, TEXT("default"), 0);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(kFill, read.buffer[0]);
}

TEST_F(ProfileTest, EmptyKeyListingGivesTheDefault) {
    setFile(kTruncationFile + std::string("[noeq]\r\nfoo\r\nbar\r\n;c=1\r\n"));
    struct Row {
        const char* app;
        const WCHAR* def;
        DWORD ret;
        const char* buffer;
    };
    const Row rows[] = {
        {"section2", TEXT("default"), 7, "default|#"},  // no keys
        {"noeq", TEXT("default"), 7, "default|#"},      // only lines without '=' and a comment
        {"missing", TEXT("default"), 7, "default|#"},
        {"missing", nullptr, 0, "||#"},                 // a missing section: two NULs
        {"section2", nullptr, 0, "|#"},                 // an existing empty one: one
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.app) + " default " + (r.def ? U8(r.def) : "NULL"));
        Read read = getString(W(r.app).c_str(), nullptr, r.def, 20);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(shown(Z(r.buffer)), shown(read.buffer.substr(0, W(r.buffer).size())));
    }
    {
        KNOWN_DIFFERENCE("Wine keeps the trailing spaces of a default that stands in for a key "
                         "listing; Windows documents that trailing blanks are removed");
        Read read = getString(TEXT("missing"), nullptr, TEXT("dd  "), 20);
        EXPECT_EQ(expectOnHost<DWORD>(difference, 2, 4), read.ret);
        EXPECT_EQ(expectOnHost(difference, W("dd"), W("dd  ")), read.text());
    }
    // A missing file: the default, or two NULs without one; error 2.
    DeleteFileW(ini());
    SetLastError(kUntouched);
    Read read = getString(TEXT("s"), nullptr, TEXT("dd"), 20);
    EXPECT_EQ(2u, read.ret);
    EXPECT_EQ(shown(Z("dd|#")), shown(read.buffer.substr(0, 4)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    read = getString(TEXT("s"), nullptr, nullptr, 20);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(shown(Z("||#")), shown(read.buffer.substr(0, 3)));
}

TEST_F(ProfileTest, SectionListingThroughGetStringIsLikeSectionNames) {
    setFile(kTruncationFile);
    struct Row {
        DWORD size;
        DWORD ret;
        const char* buffer;
    };
    // The cut rules are those of GetPrivateProfileSectionNamesW (tested below).
    const Row rows[] = {
        {24, 22, "section1|section2|sec3||"},  // exact fit counted as cut
        {2, 0, "||"},                          // no default for a section listing
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size));
        Read read = getString(nullptr, TEXT("ignored"), TEXT("default"), r.size);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(shown(Z(r.buffer)), shown(read.buffer.substr(0, W(r.buffer).size())));
        EXPECT_EQ(kFill, read.buffer[r.size]);
        read = getString(nullptr, nullptr, TEXT("default"), r.size);
        EXPECT_EQ(r.ret, read.ret);
    }
    // A missing file: one NUL, no default, error 2.
    DeleteFileW(ini());
    SetLastError(kUntouched);
    Read read = getString(nullptr, nullptr, TEXT("default"), 20);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(shown(Z("|#")), shown(read.buffer.substr(0, 2)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// --- GetPrivateProfileIntW -------------------------------------------------------------

TEST_F(ProfileTest, IntParsesSignsPrefixesAndWrapsModulo2To32) {
    const UINT def = 7777;
    struct Row {
        const char* value;
        UINT expected;
    };
    const Row rows[] = {
        // Plain numbers and signs.
        {"42", 42}, {"  42", 42}, {"42  ", 42}, {"\t5", 5}, {"+42", 42},
        {"-42", static_cast<UINT>(-42)}, {" -42", static_cast<UINT>(-42)},
        {"- 42", 0}, {"+", 0}, {"-", 0}, {"--5", 0}, {"+-5", 0},
        // Prefixes, lower case only; no octal by a leading zero.
        {"0x1A", 26}, {"-0x10", static_cast<UINT>(-16)}, {" 0x10", 16}, {"0b101", 5}, {"0o17", 15},
        {"0X1a", 0}, {"0B101", 0}, {"0O17", 0}, {"0x", 0}, {"0xZ", 0}, {"0x-5", 0}, {"00x10", 0},
        {"0x1g", 1}, {"012", 12}, {"08", 8},
        // Trailing text stops the number; text without digits is 0, not the default.
        {"42abc", 42}, {"1e3", 1}, {"3.9", 3}, {"1 2", 1}, {"abc", 0}, {"B4294967297", 0},
        {"42A94967297", 42},
        // Quotes are removed first.
        {"\"17\"", 17}, {"'17'", 17}, {"\" 17\"", 17},
        // Wrapping, no clamping.
        {"2147483648", 2147483648u}, {"4294967295", 4294967295u}, {"4294967296", 0},
        {"4294967297", 1}, {"-2147483649", 2147483647u}, {"-4294967297", 4294967295u},
        {"99999999999999999999", 1661992959u}, {"0xFFFFFFFF", 4294967295u}, {"0x100000000", 0},
        // Non-ASCII digits are no digits.
        {"٣", 0}, {"３", 0},
        // Empty or blank: the default.
        {"", def}, {"   ", def}, {"\"\"", def},
    };
    std::string text = "[s]\r\n";
    for (size_t i = 0; i < std::size(rows); ++i)
        text += "k" + std::to_string(i) + "=" + rows[i].value + "\r\n";
    setFile(utf16le(W(text)));  // UTF-16 holds the non-ASCII digits on both hosts
    for (size_t i = 0; i < std::size(rows); ++i) {
        SCOPED_TRACE(std::string("\"") + rows[i].value + "\"");
        EXPECT_EQ(rows[i].expected,
                  GetPrivateProfileIntW(TEXT("s"), W("k" + std::to_string(i)).c_str(),
                                        static_cast<INT>(def), ini()));
    }
}

TEST_F(ProfileTest, IntGivesTheDefaultForWhatIsMissing) {
    setFile(kTruncationFile + std::string("[42s]\r\n[num]\r\n42=x\r\n"));
    struct Row {
        const WCHAR* app;
        const WCHAR* key;
        UINT expected;
    };
    const Row rows[] = {
        {TEXT("section1"), TEXT("missing"), 4294967295u},  // the default goes back as a UINT
        {TEXT("missing"), TEXT("name1"), 4294967295u},
        {TEXT("section1"), TEXT("name3"), 4294967295u},    // a line without '='
        {TEXT("section1"), TEXT("empty"), 4294967295u},
        {TEXT("section1"), TEXT(""), 4294967295u},
        {TEXT("section1"), nullptr, 0},  // the key listing read as a number: "name1"
        {TEXT("num"), nullptr, 42},      // ... and here "42"
        {TEXT("section2"), nullptr, 4294967295u},  // an empty listing
        {nullptr, TEXT("x"), 0},         // the section listing: "section1"
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(U8(r.app) + "/" + U8(r.key));
        EXPECT_EQ(r.expected, GetPrivateProfileIntW(r.app, r.key, -1, ini()));
    }
    DeleteFileW(ini());
    EXPECT_EQ(5u, GetPrivateProfileIntW(TEXT("section1"), nullptr, 5, ini()));
    EXPECT_EQ(5u, GetPrivateProfileIntW(nullptr, nullptr, 5, ini()));
}

// --- GetPrivateProfileSectionW -----------------------------------------------------------

TEST_F(ProfileTest, SectionListsItsLinesAndIsCutToSizeMinusTwo) {
    setFile(kTruncationFile);
    // Every stored line but comments and blanks; the total is 45.
    const char* all = "name1=val1|name2=\"val2\"|name3|name4=a|empty=||";
    struct Row {
        DWORD size;
        DWORD ret;
        const char* buffer;
    };
    const Row rows[] = {
        {48, 45, "name1=val1|name2=\"val2\"|name3|name4=a|empty=||#"},
        {47, 45, all},  // total+2: fits
        {46, 44, all},  // complete, counted as cut
        {24, 22, "name1=val1|name2=\"val2||"},
        {3, 1, "n||"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size));
        Read read = getSection(TEXT("SECTION1"), r.size);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(shown(Z(r.buffer)), shown(read.buffer.substr(0, W(r.buffer).size())));
        EXPECT_EQ(kFill, read.buffer[r.size]) << "written past the buffer";
    }
    // Size 2: nothing fits.
    Read read = getSection(TEXT("section1"), 2);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(0, read.buffer[0]);
    EXPECT_EQ(kFill, read.buffer[2]);
}

TEST_F(ProfileTest, SectionShowsBlanksTrimmedDuplicatesAndBareLines) {
    setFile("[s]\r\n  k1  =  v 1  \r\n; hidden\r\n;hidden=too\r\n\r\nbare\r\n=v\r\nK1=dup\r\n"
            "[noeq]\r\nfoo\r\nbar\r\n");
    Read read = getSection(TEXT("s"), 100);
    EXPECT_EQ(22u, read.ret);
    EXPECT_EQ(shown(Z("k1=v 1|bare|=v|K1=dup||")), shown(read.buffer.substr(0, 23)));
    read = getSection(TEXT("noeq"), 100);
    EXPECT_EQ(8u, read.ret);
    EXPECT_EQ(shown(Z("foo|bar||")), shown(read.buffer.substr(0, 9)));
}

TEST_F(ProfileTest, EmptyMissingAndInvalidSections) {
    setFile(kTruncationFile + std::string("[comment]\r\n;only\r\n"));
    struct Row {
        const char* app;
        const char* buffer;
    };
    const Row rows[] = {
        {"section2", "|#"},  // exists, empty: one NUL
        {"comment", "|#"},   // only a comment: the same
        {"missing", "||"},   // missing: two NULs
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.app);
        Read read = getSection(W(r.app).c_str(), 20);
        EXPECT_EQ(0u, read.ret);
        EXPECT_EQ(shown(Z(r.buffer)), shown(read.buffer.substr(0, 2)));
    }
    // No section name: 0 and ERROR_INVALID_PARAMETER, the buffer untouched.
    SetLastError(kUntouched);
    Read read = getSection(nullptr, 20);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());
    EXPECT_EQ(kFill, read.buffer[0]);
    // A missing file: two NULs and error 2.
    DeleteFileW(ini());
    SetLastError(kUntouched);
    read = getSection(TEXT("s"), 20);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(shown(Z("||")), shown(read.buffer.substr(0, 2)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

TEST_F(ProfileTest, SectionWithNoRoomReturnsZero) {
    KNOWN_DIFFERENCE("Wine returns 0xFFFFFFFE for size 0 and 0xFFFFFFFF for size 1 "
                     "(an unsigned wrap); Windows returns 0");
    setFile(kTruncationFile);
    Read read = getSection(TEXT("section1"), 0);
    EXPECT_EQ(expectOnHost<DWORD>(difference, 0, 0xFFFFFFFEu), read.ret);
    read = getSection(TEXT("section1"), 1);
    EXPECT_EQ(expectOnHost<DWORD>(difference, 0, 0xFFFFFFFFu), read.ret);
    EXPECT_EQ(0, read.buffer[0]);
    EXPECT_EQ(kFill, read.buffer[1]);
}

// --- GetPrivateProfileSectionNamesW --------------------------------------------------------

TEST_F(ProfileTest, SectionNamesComeInFileOrderAndAreCutToSizeMinusTwo) {
    setFile("before=1\r\n[ section1 ]\r\n[section2]\r\nk=v\r\n[section3]\r\n");
    struct Row {
        DWORD size;
        DWORD ret;
        const char* buffer;
    };
    const Row rows[] = {
        {30, 27, "section1|section2|section3||#"},
        {29, 27, "section1|section2|section3||"},
        {28, 26, "section1|section2|section3||"},  // complete, counted as cut
        {27, 25, "section1|section2|section||"},
        {3, 1, "s||"},
        {2, 0, "||"},
        {1, 0, "|"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size));
        Read read = getNames(r.size);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(shown(Z(r.buffer)), shown(read.buffer.substr(0, W(r.buffer).size())));
        EXPECT_EQ(kFill, read.buffer[r.size]) << "written past the buffer";
    }
    Read read = getNames(0);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(kFill, read.buffer[0]);

    // Duplicates and empty sections are listed.
    setFile("[A]\r\n[b]\r\nx=1\r\n[a]\r\n");
    read = getNames(20);
    EXPECT_EQ(6u, read.ret);
    EXPECT_EQ(shown(Z("A|b|a||")), shown(read.buffer.substr(0, 7)));
}

TEST_F(ProfileTest, SectionNamesOfAFileWithoutSections) {
    setFile("k=v\r\n");
    Read read = getNames(20);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(shown(Z("|#")), shown(read.buffer.substr(0, 2)));
    // A missing file: one NUL only, error 2.
    DeleteFileW(ini());
    SetLastError(kUntouched);
    read = getNames(20);
    EXPECT_EQ(0u, read.ret);
    EXPECT_EQ(shown(Z("|#")), shown(read.buffer.substr(0, 2)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
}

// --- long values and listings near 32767 units ----------------------------------------

TEST_F(ProfileTest, LongValuesAreCutAt1023AndReadInFullWithRoom) {
    struct Row {
        size_t length;
        DWORD ret;  // read with a 1024-unit buffer
    };
    const Row rows[] = {
        {1021, 1021}, {1022, 1022}, {1023, 1023}, {1024, 1023}, {5000, 1023},
    };
    std::string text = "[long]\r\n";
    for (const Row& r : rows)
        text += "v" + std::to_string(r.length) + "=" + std::string(r.length, 'x') + "\r\n";
    setFile(text);
    for (const Row& r : rows) {
        SCOPED_TRACE("length " + std::to_string(r.length));
        Read read = getString(TEXT("long"), W("v" + std::to_string(r.length)).c_str(),
                              TEXT("Not Found"), 1024);
        EXPECT_EQ(r.ret, read.ret);
        EXPECT_EQ(r.ret, read.text().size());
        EXPECT_EQ(kFill, read.buffer[1024]);
    }
    // A 70000-unit value is written and read back whole.
    wstr value(70000, TEXT('v'));
    value[69999] = TEXT('!');
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("big"), TEXT("k"), value.c_str(), ini()));
    Read read = getString(TEXT("big"), TEXT("k"), TEXT(""), 70001);
    EXPECT_EQ(70000u, read.ret);
    EXPECT_TRUE(read.text() == value);
}

TEST_F(ProfileTest, ListingsNear32767UnitsFollowTheSizeMinusTwoRule) {
    const DWORD size = 32767;
    // Sections whose listing totals (lengths plus one NUL each) are given;
    // each entry is "kNNNNN=xxx…", 100 units with its NUL, the last one shorter.
    struct Row {
        size_t total;
        DWORD ret;
        bool complete;  // every entry whole, two NULs at the end
    };
    const Row rows[] = {
        {32764, 32764, true},
        {32765, 32765, true},  // fits: size >= total+2
        {32766, 32765, true},  // complete, but counted as cut
        {32767, 32765, false}, // the last entry loses one unit
        {40000, 32765, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("total " + std::to_string(r.total));
        std::string text = "[big]\r\n";
        std::vector<std::string> entries;
        size_t left = r.total;
        for (int i = 0; left > 0; ++i) {
            size_t len = left >= 200 ? 100 : left;  // with its NUL
            std::string key = "k" + std::to_string(100000 + i);
            entries.push_back(key + "=" + std::string(len - 1 - key.size() - 1, 'x'));
            left -= len;
        }
        for (const std::string& e : entries) text += e + "\r\n";
        setFile(text);

        Read read = getSection(TEXT("big"), size);
        EXPECT_EQ(r.ret, read.ret);
        // Whole entries up to the last complete one, or the first size-2 units.
        size_t units = r.complete ? r.total : r.ret;
        std::string all;
        for (const std::string& e : entries) all += e + '\0';
        EXPECT_EQ(all.substr(0, units), U8(read.buffer.substr(0, units)));
        EXPECT_EQ(0, read.buffer[units]) << "the listing's last NUL";
        if (r.ret != r.total) {
            EXPECT_EQ(0, read.buffer[size - 1]) << "a cut listing ends in two NULs";
        }
        EXPECT_EQ(kFill, read.buffer[size]) << "written past the buffer";
    }

    // The section names listing follows the same rule: 32766 units of names.
    std::string text;
    size_t total = 0;
    for (int i = 0; total < 32766; ++i) {
        std::string name = "Section" + std::to_string(100000 + i);  // 13 units and a NUL
        size_t len = std::min<size_t>(name.size() + 1, 32766 - total);
        name.resize(len - 1);
        text += "[" + name + "]\r\n";
        total += len;
    }
    setFile(text);
    Read read = getNames(size);
    EXPECT_EQ(32765u, read.ret);
    EXPECT_EQ(0, read.buffer[32765]);
    EXPECT_EQ(0, read.buffer[32766]);
}

// --- WritePrivateProfileStringW ------------------------------------------------------------

TEST_F(ProfileTest, WritesLayOutSectionsAndKeysWithCrLf) {
    DeleteFileW(ini());
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("App1"), TEXT("key1"), TEXT("string1"), ini()));
    EXPECT_EQ("[App1]\r\nkey1=string1\r\n", file());
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("App2"), TEXT("key4"), TEXT("string4"), ini()));
    // A new key goes to the end of its section, before the next header.
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("app1"), TEXT("key2"), TEXT("string2"), ini()));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("App3"), TEXT("key5"), TEXT("string5"), ini()));
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("APP1"), TEXT("key3"), TEXT("string3"), ini()));
    EXPECT_EQ("[App1]\r\nkey1=string1\r\nkey2=string2\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
              "[App3]\r\nkey5=string5\r\n",
              file());

    // An update keeps the key's spelling and its place.
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("App1"), TEXT("KEY2"), TEXT("changed"), ini()));
    EXPECT_EQ("[App1]\r\nkey1=string1\r\nkey2=changed\r\nkey3=string3\r\n[App2]\r\nkey4=string4\r\n"
              "[App3]\r\nkey5=string5\r\n",
              file());
}

TEST_F(ProfileTest, WrittenValuesKeepQuotesAndLoseLeadingBlanks) {
    DeleteFileW(ini());
    struct Row {
        const char* key;
        const char* value;
        const char* line;
    };
    const Row rows[] = {
        {"quoted", "\"quoted\"", "quoted=\"quoted\""},
        {"empty", "", "empty="},
        {"lines", "line1\r\nline2", "lines=line1\r\nline2"},  // written raw: a second line
        {"spaced", "  spaced  ", "spaced=spaced  "},    // leading blanks go (as Wine does)
    };
    // Each line as written; Wine rewrites the whole file on the next write
    // (see WritesKeepTheBytesOfOtherLines), so each is checked at once.
    std::string expected = "[s]\r\n";
    for (const Row& r : rows) {
        SCOPED_TRACE(r.key);
        EXPECT_TRUE(WritePrivateProfileStringW(TEXT("s"), W(r.key).c_str(), W(r.value).c_str(), ini()));
        expected += std::string(r.line) + "\r\n";
        std::string now = file();
        EXPECT_EQ(std::string(r.line) + "\r\n", now.substr(now.size() - std::min(now.size(), std::strlen(r.line) + 2)));
    }
    EXPECT_EQ(expected, file());
    // New names lose their leading blanks; lookups ignore the trailing ones.
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT(" App3 "), TEXT(" key6 "), TEXT("x"), ini()));
    std::string now = file();
    EXPECT_EQ("[App3 ]\r\nkey6 =x\r\n", now.substr(now.find("[App3")));
    EXPECT_EQ(W("x"), getString(TEXT("App3"), TEXT("key6"), TEXT("def"), 20).text());
    EXPECT_EQ(W("quoted"), getString(TEXT("s"), TEXT("quoted"), TEXT("def"), 20).text());
    EXPECT_EQ(W("spaced"), getString(TEXT("s"), TEXT("spaced"), TEXT("def"), 20).text());
}

TEST_F(ProfileTest, NullValueDeletesTheKeyAndNullKeyTheSection) {
    setFile("[App1]\r\nkey1=a\r\nkey2=b\r\n[App2]\r\nk=v\r\n[app1]\r\nkey1=second\r\n"
            "[App3]\r\nkey5=x\r\n");
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("App1"), TEXT("KEY1"), nullptr, ini()));
    EXPECT_EQ("[App1]\r\nkey2=b\r\n[App2]\r\nk=v\r\n[app1]\r\nkey1=second\r\n[App3]\r\nkey5=x\r\n",
              file());
    // Only the first of two duplicate sections goes; the value is ignored.
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("app1"), nullptr, TEXT("ignored"), ini()));
    EXPECT_EQ("[App2]\r\nk=v\r\n[app1]\r\nkey1=second\r\n[App3]\r\nkey5=x\r\n", file());
    // Deleting the last key leaves the header.
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("App3"), TEXT("key5"), nullptr, ini()));
    EXPECT_EQ("[App2]\r\nk=v\r\n[app1]\r\nkey1=second\r\n[App3]\r\n", file());
    // Deleting what is not there succeeds and changes nothing.
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("App2"), TEXT("missing"), nullptr, ini()));
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("missing"), TEXT("k"), nullptr, ini()));
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("missing"), nullptr, nullptr, ini()));
    EXPECT_EQ("[App2]\r\nk=v\r\n[app1]\r\nkey1=second\r\n[App3]\r\n", file());
}

TEST_F(ProfileTest, DeletingFromAMissingOrEmptyFileCreatesNothing) {
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), nullptr, ini()));
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("s"), nullptr, nullptr, ini()));
    EXPECT_TRUE(WritePrivateProfileSectionW(TEXT("s"), nullptr, ini()));
    EXPECT_FALSE(exists("test.ini"));
    setFile("");
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), nullptr, ini()));
    EXPECT_TRUE(WritePrivateProfileStringW(TEXT("s"), nullptr, nullptr, ini()));
    EXPECT_TRUE(exists("test.ini"));
    EXPECT_EQ("", file());
}

TEST_F(ProfileTest, WriteFailuresReportTheirCause) {
    setFile("[s]\r\nk=v\r\n");
    // No section: FALSE and 2; nothing written, nothing created.
    SetLastError(kUntouched);
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, TEXT("k"), TEXT("x"), ini()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ("[s]\r\nk=v\r\n", file());
    SetLastError(kUntouched);
    EXPECT_FALSE(WritePrivateProfileStringW(nullptr, TEXT("k"), TEXT("x"), winPath("new.ini").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_FALSE(exists("new.ini"));

    // A missing folder, at any depth: FALSE and 3; the folder is not created.
    for (const char* name : {"no_such_dir\\x.ini", "no_such_dir\\deeper\\x.ini"}) {
        SCOPED_TRACE(name);
        SetLastError(kUntouched);
        EXPECT_FALSE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), TEXT("v"), winPath(name).c_str()));
        EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
        SetLastError(kUntouched);
        EXPECT_FALSE(WritePrivateProfileSectionW(TEXT("s"), TEXT("k=v\0"), winPath(name).c_str()));
        EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
    }
    EXPECT_FALSE(exists("no_such_dir"));

    // A folder where the file should be: FALSE and 5.
    ASSERT_TRUE(CreateDirectoryW(winPath("folder.ini").c_str(), nullptr));
    SetLastError(kUntouched);
    EXPECT_FALSE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), TEXT("v"), winPath("folder.ini").c_str()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());

    // The empty name: FALSE and 5.
    SetLastError(kUntouched);
    EXPECT_FALSE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), TEXT("v"), TEXT("")));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ACCESS_DENIED), GetLastError());
    {
        KNOWN_DIFFERENCE("Wine's WritePrivateProfileSectionW accepts the empty file name and "
                         "reports success; it is refused like the same WritePrivateProfileStringW call");
        SetLastError(kUntouched);
        BOOL ok = WritePrivateProfileSectionW(TEXT("s"), TEXT("k=v\0"), TEXT(""));
        EXPECT_EQ(expectOnHost<BOOL>(difference, FALSE, TRUE), ok);
        EXPECT_EQ(expectOnHost<DWORD>(difference, ERROR_ACCESS_DENIED, kUntouched), GetLastError());
    }
}

TEST_F(ProfileTest, FlushRequestSucceeds) {
    KNOWN_DIFFERENCE("WritePrivateProfileStringW(NULL, NULL, NULL, file) asks to flush the cache: "
                     "Windows returns TRUE, Wine FALSE");
    setFile("[s]\r\nk=v\r\n");
    EXPECT_EQ(expectOnHost<BOOL>(difference, TRUE, FALSE),
              WritePrivateProfileStringW(nullptr, nullptr, nullptr, ini()));
    EXPECT_EQ("[s]\r\nk=v\r\n", file());
}

TEST_F(ProfileTest, WritesKeepTheBytesOfOtherLines) {
    KNOWN_DIFFERENCE("Windows rewrites only what changes; Wine writes the whole file anew, "
                     "without blank lines, blanks around '=' and LF-only line ends");
    const std::string before =
        "; top comment\r\n\r\n[A]\r\n  k1  =  v1  \r\nk2=v2\n\r\n[B]\r\nx=1";
    setFile(before);
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("A"), TEXT("k2"), TEXT("new"), ini()));
    EXPECT_EQ(expectOnHost<std::string>(difference, 
                  "; top comment\r\n\r\n[A]\r\n  k1  =  v1  \r\nk2=new\n\r\n[B]\r\nx=1",
                  "; top comment\r\n[A]\r\nk1=v1\r\nk2=new\r\n[B]\r\nx=1\r\n"),
              file());
    setFile(before);
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("A"), TEXT("k3"), TEXT("added"), ini()));
    EXPECT_EQ(expectOnHost<std::string>(difference, 
                  "; top comment\r\n\r\n[A]\r\n  k1  =  v1  \r\nk2=v2\nk3=added\r\n\r\n[B]\r\nx=1",
                  "; top comment\r\n[A]\r\nk1=v1\r\nk2=v2\r\nk3=added\r\n[B]\r\nx=1\r\n"),
              file());
    setFile(before);
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("B"), TEXT("y"), TEXT("2"), ini()));
    EXPECT_EQ(expectOnHost<std::string>(difference, 
                  "; top comment\r\n\r\n[A]\r\n  k1  =  v1  \r\nk2=v2\n\r\n[B]\r\nx=1\r\ny=2\r\n",
                  "; top comment\r\n[A]\r\nk1=v1\r\nk2=v2\r\n[B]\r\nx=1\r\ny=2\r\n"),
              file());
    // Setting the value a key already has writes nothing, on both.
    setFile(before);
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("A"), TEXT("k1"), TEXT("v1"), ini()));
    EXPECT_EQ(before, file());
}

// --- files changed between calls ---------------------------------------------------------

TEST_F(ProfileTest, AnEditOfTheSameSizeIsSeenAtTheNextCall) {
    KNOWN_DIFFERENCE("Wine keeps a parsed profile file while its last-write time is unchanged; "
                     "Windows reads the file at every call");
    const auto path = fsPath("test.ini");
    auto value = [&] { return U8(getString(TEXT("s"), TEXT("k"), TEXT("none"), 16).buffer.c_str()); };
    // An edit at once, after the file settled; and one that puts the file's
    // last-write time back (as copying tools do). Both keep the size.
    for (bool timePutBack : {false, true}) {
        SCOPED_TRACE(timePutBack ? "last-write time put back" : "rewritten at once");
        setFile("[s]\r\nk=one\r\n");
        // A day back, in whole seconds, then long enough for a kept copy to be trusted.
        auto old = std::chrono::time_point_cast<std::chrono::seconds>(std::filesystem::last_write_time(path) -
                                                                       std::chrono::hours(24));
        std::filesystem::last_write_time(path, old);
        Sleep(200);
        ASSERT_EQ("one", value());
        ASSERT_EQ("one", value());
        setFile("[s]\r\nk=two\r\n");
        if (timePutBack) std::filesystem::last_write_time(path, old);
        EXPECT_EQ(timePutBack ? expectOnHost<std::string>(difference, "two", "one") : "two", value());
    }
}

// --- encodings on write ---------------------------------------------------------------------

TEST_F(ProfileTest, Utf16FilesStayUtf16) {
    // A file holding only the UTF-16LE mark becomes a UTF-16LE profile.
    setFile("\xFF\xFE");
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("Texte"), TEXT("k"), W("été 中").c_str(), ini()));
    EXPECT_EQ(utf16le(W("[Texte]\r\nk=été 中\r\n")), file());
    // Existing UTF-16LE lines are kept; new ones are UTF-16LE too.
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("Texte"), TEXT("n"), W("日本").c_str(), ini()));
    EXPECT_EQ(utf16le(W("[Texte]\r\nk=été 中\r\nn=日本\r\n")), file());
    EXPECT_EQ(W("日本"), getString(TEXT("texte"), TEXT("N"), TEXT("def"), 20).text());
}

TEST_F(ProfileTest, NewFilesHoldEveryCharacterNatively) {
    DeleteFileW(ini());
    // Characters of the ANSI code page come back on both hosts.
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("s"), TEXT("latin"), W("été").c_str(), ini()));
    EXPECT_EQ(W("été"), getString(TEXT("s"), TEXT("latin"), TEXT("def"), 20).text());
    // Other characters: a new file is UTF-8 natively, so nothing is lost;
    // Windows writes the ANSI code page (1252 here) with '?' for the rest.
    KNOWN_DIFFERENCE("new profile files are UTF-8 on POSIX; Windows writes ANSI with '?'");
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("s"), TEXT("cjk"), W("é中").c_str(), ini()));
    EXPECT_EQ(nativeOrWindows<std::string>("[s]\r\nlatin=\xC3\xA9t\xC3\xA9\r\ncjk=\xC3\xA9\xE4\xB8\xAD\r\n",
                                           "[s]\r\nlatin=\xE9t\xE9\r\ncjk=\xE9?\r\n"),
              file());
    EXPECT_EQ(nativeOrWindows(W("é中"), W("é?")),
              getString(TEXT("s"), TEXT("cjk"), TEXT("def"), 20).text());
}

// --- WritePrivateProfileSectionW --------------------------------------------------------------

TEST_F(ProfileTest, SectionWriteReplacesOrAppendsTheSection) {
    setFile("[A]\r\na1=1\r\n[B]\r\nb1=1\r\nb2=2\r\n");
    // A missing section is appended.
    ASSERT_TRUE(WritePrivateProfileSectionW(TEXT("C"), TEXT("c1=1\0c2=2\0"), ini()));
    EXPECT_EQ("[A]\r\na1=1\r\n[B]\r\nb1=1\r\nb2=2\r\n[C]\r\nc1=1\r\nc2=2\r\n", file());
    // An existing one has its entries replaced; lines without '=' are dropped
    // (as Wine does; nothing else is known), leading blanks removed.
    ASSERT_TRUE(WritePrivateProfileSectionW(
        TEXT("a"), TEXT("new1=x\0 new2 = y \0noeq\0;comment\0=v\0;c=2\0"), ini()));
    EXPECT_EQ("[A]\r\nnew1=x\r\nnew2 =y \r\n=v\r\n;c=2\r\n[B]\r\nb1=1\r\nb2=2\r\n[C]\r\nc1=1\r\nc2=2\r\n",
              file());
    EXPECT_EQ(W("y"), getString(TEXT("A"), TEXT("new2"), TEXT("def"), 20).text());
    // Wine writes the whole file anew each time (see WritesKeepTheBytesOfOtherLines).
    KNOWN_DIFFERENCE("Windows keeps the bytes of lines it does not change; Wine trims them");
    const std::string a = expectOnHost<std::string>(difference, "[A]\r\nnew1=x\r\nnew2 =y \r\n=v\r\n;c=2\r\n",
                                                     "[A]\r\nnew1=x\r\nnew2=y\r\n=v\r\n;c=2\r\n");
    // An empty list leaves the header alone.
    ASSERT_TRUE(WritePrivateProfileSectionW(TEXT("B"), TEXT("\0"), ini()));
    EXPECT_EQ(a + "[B]\r\n[C]\r\nc1=1\r\nc2=2\r\n", file());
    // No list deletes the section; a missing one is no failure.
    ASSERT_TRUE(WritePrivateProfileSectionW(TEXT("c"), nullptr, ini()));
    ASSERT_TRUE(WritePrivateProfileSectionW(TEXT("missing"), nullptr, ini()));
    EXPECT_EQ(a + "[B]\r\n", file());
}

TEST_F(ProfileTest, SectionWriteWithoutSectionNameFails) {
    // Wine 8 crashes on this call, so there is nothing to compare under Wine.
    if (runningUnderWine()) GTEST_SKIP() << "WritePrivateProfileSectionW(NULL, ...) crashes Wine";
    setFile("[s]\r\nk=v\r\n");
    SetLastError(kUntouched);
    EXPECT_FALSE(WritePrivateProfileSectionW(nullptr, TEXT("k=v\0"), ini()));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), GetLastError());
    EXPECT_EQ("[s]\r\nk=v\r\n", file());
}

// --- where a file name points ------------------------------------------------------------------

TEST_F(ProfileTest, NamesWithoutAFolderLiveInTheWindowsDirectory) {
    // Natively the Windows directory follows SystemRoot, so it is moved into
    // the test folder; under Wine the variable does not move it.
    ASSERT_TRUE(CreateDirectoryW(winPath("Windows").c_str(), nullptr));
    ScopedEnvVar systemRoot(TEXT("SystemRoot"), winPath("Windows"));
    WCHAR windows[MAX_PATH];
    UINT n = GetWindowsDirectoryW(windows, MAX_PATH);
    ASSERT_GT(n, 0u);
    ASSERT_LT(n, static_cast<UINT>(MAX_PATH));
    wstr windowsDir(windows, n);
    if (windowsDir.back() != TEXT('\\')) windowsDir += TEXT("\\");

    // A bare name, written and read: the file is in the Windows directory.
    // The test folder's own name makes it unique.
    const wstr bare = folder().substr(folder().find_last_of(TEXT('\\')) + 1) + TEXT(".ini");
    const wstr full = windowsDir + bare;
    DeleteFileW(full.c_str());
    ASSERT_TRUE(WritePrivateProfileStringW(TEXT("s"), TEXT("k"), TEXT("bare"), bare.c_str()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(full.c_str()));
    EXPECT_EQ(W("bare"), getStringFrom(bare.c_str(), TEXT("s"), TEXT("k"), TEXT("def"), 20).text());
    EXPECT_EQ(W("bare"), getStringFrom(full.c_str(), TEXT("s"), TEXT("k"), TEXT("def"), 20).text());
    EXPECT_TRUE(DeleteFileW(full.c_str()));

    // NULL is win.ini there.
    const wstr winIni = windowsDir + TEXT("win.ini");
    const wstr section = TEXT("HbcTests-") + bare;
    ASSERT_TRUE(WritePrivateProfileStringW(section.c_str(), TEXT("k"), TEXT("in win.ini"), nullptr));
    EXPECT_EQ(W("in win.ini"),
              getStringFrom(winIni.c_str(), section.c_str(), TEXT("k"), TEXT("def"), 20).text());
    EXPECT_EQ(W("in win.ini"),
              getStringFrom(nullptr, section.c_str(), TEXT("k"), TEXT("def"), 20).text());
    EXPECT_TRUE(WritePrivateProfileStringW(section.c_str(), nullptr, nullptr, nullptr));
    EXPECT_EQ(W("def"), getStringFrom(winIni.c_str(), section.c_str(), TEXT("k"), TEXT("def"), 20).text());
}
