// ini_text_test.cpp - the private-profile functions' pure logic: parsing
// against a golden baseline, edits against golden files (every untouched
// line byte for byte), encodings kept or widened on write, and the buffer
// copy rules at their boundaries.
#include <ini_text.h>
#include <sys/stat.h>
#include <unistd.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <thread>

using namespace w32p;
using namespace w32p::ini;

namespace {

std::string readData(const std::string& name) {
    std::ifstream in(std::string(HBC_TEST_DATA_DIR) + "/ini/" + name, std::ios::binary);
    EXPECT_TRUE(in.good()) << name;
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

// Printable form of a text for baselines and messages: ASCII as it is,
// quotes and backslashes escaped, everything else as \uXXXX.
std::string printable(wstring_view text) {
    std::string out = "\"";
    for (WCHAR c : text) {
        if (c == u'"' || c == u'\\') {
            out.push_back('\\');
            out.push_back(static_cast<char>(c));
        } else if (c >= 0x20 && c < 0x7F) {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\u%04X", static_cast<unsigned>(c));
            out += hex;
        }
    }
    return out + "\"";
}

std::string escapeBytes(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\r') out += "\\r";
        else if (c == '\n') out += "\\n\n";
        else if (c >= 0x20 && c < 0x7F) out.push_back(static_cast<char>(c));
        else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        }
    }
    return out;
}

}  // namespace

// Every line of a file that exercises the parsing rules, as the parser sees
// it, compared with a reviewed baseline.
TEST(IniText, ParsesEveryLineAsTheBaselineSays) {
    Document doc = parse(readData("parsing.ini"));
    std::string dump;
    for (size_t i = 0; i < doc.lines.size(); ++i) {
        const Line& line = doc.lines[i];
        dump += std::to_string(i + 1) + " ";
        switch (line.kind) {
        case LineKind::Blank: dump += "blank"; break;
        case LineKind::Header: dump += "header " + printable(line.name); break;
        case LineKind::Entry:
            dump += std::string(line.comment ? "comment " : "") + "entry " + printable(line.name) +
                    " = " + printable(line.value);
            break;
        case LineKind::Text:
            dump += std::string(line.comment ? "comment " : "") + "text " + printable(line.name);
            break;
        }
        dump += "\n";
    }
    dump += "sections:";
    for (const wstring& name : sectionNames(doc)) dump += " " + printable(name);
    dump += "\n";
    EXPECT_EQ(readData("parsing.baseline.txt"), dump);
}

TEST(IniText, LookupsUseTheFirstSectionAndTheFirstKey) {
    Document doc = parse(readData("parsing.ini"));
    // Duplicate key: the first one wins, whatever the case.
    EXPECT_EQ(u"val1", findValue(doc, u" SEC1 ", u"  key1 ").value_or(u"-"));
    // A key only in the second [sec1] is not found.
    EXPECT_FALSE(findValue(doc, u"Sec1", u"keyNew"));
    // A comment with '=' is still a key for lookups, not for listings.
    EXPECT_EQ(u"x", findValue(doc, u"Sec1", u";comment").value_or(u"-"));
    EXPECT_EQ((std::vector<wstring>{u"Key1", u"key2", u"tabbed key", u"key3", u"#hash", u"pepsi",
                                    u"k2", u"key1"}),
              keyNames(doc, u"sec1").value());
    // Lines before the first header belong to no section; "[]" is the section "".
    EXPECT_FALSE(findValue(doc, u"", u"key0"));
    EXPECT_EQ(u"empty name", findValue(doc, u"", u"e").value_or(u"-"));
    // An unclosed header is a line of the section before it.
    EXPECT_EQ((std::vector<wstring>{u"[Unclosed", u"uk=in a]b"}), sectionLines(doc, u"a]b").value());
    EXPECT_FALSE(sectionLines(doc, u"Unclosed"));
    // An existing empty section is not a missing one.
    EXPECT_EQ(std::vector<wstring>(), sectionLines(doc, u"Sec3").value());
}

namespace {

struct GoldenEdit {
    const char* input;
    const char* expected;
    std::function<void(Document&)> edit;
};

}  // namespace

TEST(IniText, EditsChangeOnlyTheLinesConcerned) {
    const GoldenEdit cases[] = {
        // A key changed in place (its line end kept), keys added after a
        // section's last entry (before the blank line and comment that lead
        // into the next section) and after a last line without a line end,
        // a section added at the end.
        {"layout.ini", "layout.set.expected.ini",
         [](Document& d) {
             EXPECT_TRUE(setValue(d, u"general", u"VERSION", u"1.3"));
             EXPECT_TRUE(setValue(d, u"General", u"added", u"yes"));
             EXPECT_TRUE(setValue(d, u"Paths", u"temp", u"C:\\temp"));
             EXPECT_TRUE(setValue(d, u"New", u"key", u"value"));
         }},
        // A key removed, a whole section removed up to the next header, the
        // last line of the file removed.
        {"layout.ini", "layout.delete.expected.ini",
         [](Document& d) {
             EXPECT_TRUE(deleteKey(d, u"General", u"name"));
             EXPECT_TRUE(deleteSection(d, u"colours"));
             EXPECT_TRUE(deleteKey(d, u"Paths", u"data"));
         }},
        // Sections replaced (the line without '=' dropped, leading blanks of
        // key and value removed), emptied, and added with a quoted value.
        {"layout.ini", "layout.section.expected.ini",
         [](Document& d) {
             EXPECT_TRUE(replaceSection(d, u"General", {u"a=1", u" b = 2 ", u"no equals"}));
             EXPECT_TRUE(replaceSection(d, u"Colours", {}));
             EXPECT_TRUE(replaceSection(d, u"Extra", {u"x=\"quoted\""}));
         }},
        // UTF-16LE stays UTF-16LE with its mark; an LF-only line keeps its LF.
        {"utf16.ini", "utf16.set.expected.ini",
         [](Document& d) {
             EXPECT_TRUE(setValue(d, u"texte", u"titre", u"Hiver \u2744"));
             EXPECT_TRUE(setValue(d, u"Fin", u"nouveau", u"\u65E5\u672C"));
         }},
        // Windows-1252 stays Windows-1252 while it can hold the new text (€ is 0x80)...
        {"cp1252.ini", "cp1252.set.expected.ini",
         [](Document& d) { EXPECT_TRUE(setValue(d, u"Texte", u"prix", u"5 \u20AC")); }},
        // ...and becomes UTF-8 as a whole when it cannot: no character is lost.
        {"cp1252.ini", "cp1252.widen.expected.ini",
         [](Document& d) {
             EXPECT_TRUE(setValue(d, u"Texte", u"prix", u"5 \u20AC"));
             EXPECT_TRUE(setValue(d, u"Texte", u"chinois", u"\u4E2D\u6587"));
         }},
        // A UTF-8 mark is kept.
        {"utf8bom.ini", "utf8bom.set.expected.ini",
         [](Document& d) { EXPECT_TRUE(setValue(d, u"Texte", u"chinois", u"\u4E2D")); }},
    };
    for (const GoldenEdit& c : cases) {
        SCOPED_TRACE(std::string(c.input) + " -> " + c.expected);
        Document doc = parse(readData(c.input));
        c.edit(doc);
        std::string expected = readData(c.expected);
        std::string actual = serialise(doc);
        EXPECT_EQ(escapeBytes(expected), escapeBytes(actual));
        EXPECT_EQ(expected, actual);
    }
}

TEST(IniText, UnchangedFilesAndNoOpEditsKeepEveryByte) {
    for (const char* name : {"layout.ini", "utf16.ini", "cp1252.ini", "utf8bom.ini", "parsing.ini"}) {
        SCOPED_TRACE(name);
        std::string bytes = readData(name);
        Document doc = parse(bytes);
        EXPECT_EQ(bytes, serialise(doc));
        // Deleting what is not there and setting a value it already has change nothing.
        EXPECT_FALSE(deleteKey(doc, u"General", u"missing"));
        EXPECT_FALSE(deleteKey(doc, u"missing", u"key"));
        EXPECT_FALSE(deleteSection(doc, u"missing"));
        EXPECT_EQ(bytes, serialise(doc));
    }
    // The same value, spelled with other blanks around it, is no change.
    Document doc = parse("[s]\r\n  k =  1 \r\n");
    EXPECT_FALSE(setValue(doc, u"S", u"K", u"1"));
    EXPECT_EQ("[s]\r\n  k =  1 \r\n", serialise(doc));
}

TEST(IniText, EncodingsAreRecognisedAndNoByteIsLost) {
    // UTF-16LE with an odd last byte: the byte stays at the end after an edit.
    std::string odd("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0\x41", 19);
    Document doc = parse(odd);
    EXPECT_EQ(Encoding::Utf16Le, doc.encoding);
    EXPECT_EQ(u"v", findValue(doc, u"s", u"k").value_or(u"-"));
    EXPECT_TRUE(setValue(doc, u"s", u"n", u"w"));
    std::string out = serialise(doc);
    EXPECT_EQ(std::string("\xFF\xFE[\0s\0]\0\r\0\n\0k\0=\0v\0\r\0\n\0n\0=\0w\0\r\0\n\0\x41", 33), out);

    // A UTF-16BE mark is not UTF-16 here (Windows does not read it either).
    EXPECT_NE(Encoding::Utf16Le, parse(std::string("\xFE\xFF\0[\0s\0]", 8)).encoding);

    // A UTF-8 mark before bytes that are not UTF-8: the mark is kept, the
    // rest read as Windows-1252.
    doc = parse("\xEF\xBB\xBF[s]\r\nk=\xE9\r\n");
    EXPECT_EQ(Encoding::Cp1252, doc.encoding);
    EXPECT_EQ(u"\u00E9", findValue(doc, u"s", u"k").value_or(u"-"));

    // A Windows-1252 file whose only non-UTF-8 byte is replaced by text that
    // happens to be valid UTF-8 in Windows-1252 ("Ã©" is C3 A9): written as
    // is, it would read back as "é". It is widened to UTF-8 instead, so it
    // reads back as written.
    doc = parse("[s]\r\nk=\xE9\r\n");
    EXPECT_TRUE(setValue(doc, u"s", u"k", u"\u00C3\u00A9"));
    Document back = parse(serialise(doc));
    EXPECT_EQ(u"\u00C3\u00A9", findValue(back, u"s", u"k").value_or(u"-"));
}

// The cut tables of the API tests cover the common rows on both hosts; these
// are the rows only the pure function can show.
TEST(IniText, CopyStringNeverWritesOutsideItsBuffer) {
    struct Row {
        const char16_t* text;
        bool strip;
        DWORD size;
        DWORD result;
        const char16_t* content;
    };
    const Row rows[] = {
        // Empty quotes in the smallest buffer: Wine's rule would clear the unit
        // before the buffer; nothing is written there.
        {u"\"\"", true, 1, 0, u""},
        {u"'x'", true, 2, 0, u""},
        {u"\"abc\"", false, 10, 5, u"\"abc\""},  // the section listing keeps quotes
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(printable(r.text) + " size " + std::to_string(r.size));
        WCHAR buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), u'#');
        EXPECT_EQ(r.result, copyString(r.text, r.strip, buffer + 1, r.size));
        EXPECT_EQ(wstring(r.content), wstring(buffer + 1));
        EXPECT_EQ(u'#', buffer[0]);
        EXPECT_EQ(u'#', buffer[1 + r.size]);
    }
}

TEST(IniText, DefaultLosesTrailingSpacesOnly) {
    EXPECT_EQ(u"  def", trimDefault(u"  def  "));
    EXPECT_EQ(u"def\t", trimDefault(u"def\t"));  // a tab is kept (as under Wine)
    // All spaces: nothing left, as documented ("trailing blanks are removed");
    // Wine keeps one space here.
    EXPECT_EQ(u"", trimDefault(u"   "));
}

// --- the files behind the functions (POSIX only) ---------------------------------------
//
// What win32_posix promises beyond Windows: a write replaces the file in one
// step, writers in several threads or processes do not lose each other's
// changes, and nothing is cached between calls.

namespace {

class ProfileFiles : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        m_dir = std::filesystem::temp_directory_path() /
                ("hbc-profile-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(m_dir, ignored);
    }
    std::string path(const std::string& name) const { return (m_dir / name).string(); }
    wstring wpath(const std::string& name) const { return fromUtf8(path(name)); }
    void write(const std::string& name, const std::string& bytes) const {
        std::ofstream(path(name), std::ios::binary | std::ios::trunc) << bytes;
    }
    std::string read(const std::string& name) const {
        std::ifstream in(path(name), std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir))
            names.push_back(e.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

private:
    std::filesystem::path m_dir;
};

// The double-NUL list of `count` lines "k<i>=<fill>".
wstring sectionList(int count, WCHAR fill) {
    wstring list;
    for (int i = 0; i < count; ++i) {
        list += u"k" + fromUtf8(std::to_string(i)) + u"=" + wstring(40, fill);
        list.push_back(0);
    }
    list.push_back(0);
    return list;
}

}  // namespace

TEST_F(ProfileFiles, ReadersNeverSeeHalfAFile) {
    const wstring file = wpath("big.ini");
    const wstring a = sectionList(2000, u'a');
    const wstring b = sectionList(2000, u'b');
    ASSERT_TRUE(WritePrivateProfileSectionW(u"s", a.c_str(), file.c_str()));
    std::atomic<bool> done{false};
    std::thread writer([&] {
        for (int i = 0; i < 60; ++i)
            EXPECT_TRUE(WritePrivateProfileSectionW(u"s", (i % 2 ? a : b).c_str(), file.c_str()));
        done = true;
    });
    std::vector<WCHAR> buffer(200000);
    int reads = 0;
    while (!done || reads == 0) {
        DWORD n = GetPrivateProfileSectionW(u"s", buffer.data(), static_cast<DWORD>(buffer.size()),
                                            file.c_str());
        wstring got(buffer.data(), n + 1);
        ASSERT_TRUE(got == a || got == b) << "a reader saw " << n << " units";
        ++reads;
    }
    writer.join();
    EXPECT_EQ(std::vector<std::string>{"big.ini"}, entries()) << "temporary files left behind";
}

TEST_F(ProfileFiles, ConcurrentWritersLoseNoChange) {
    const wstring file = wpath("shared.ini");
    const int threads = 4, keys = 30;
    std::vector<std::thread> workers;
    for (int t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            for (int k = 0; k < keys; ++k) {
                wstring key = fromUtf8("t" + std::to_string(t) + "k" + std::to_string(k));
                EXPECT_TRUE(WritePrivateProfileStringW(u"s", key.c_str(), u"v", file.c_str()));
            }
        });
    }
    for (std::thread& w : workers) w.join();
    std::vector<WCHAR> buffer(10000);
    GetPrivateProfileStringW(u"s", nullptr, u"", buffer.data(), 10000, file.c_str());
    std::vector<wstring> names = splitList(buffer.data());
    EXPECT_EQ(static_cast<size_t>(threads * keys), names.size());
    EXPECT_EQ(std::vector<std::string>{"shared.ini"}, entries()) << "temporary files left behind";
}

TEST_F(ProfileFiles, EveryCallReadsTheFileAgain) {
    const wstring file = wpath("x.ini");
    WCHAR buffer[20];
    for (const char* value : {"1", "2", "3"}) {
        // Same size, written within the same clock tick: a cache keyed on the
        // modification time would return the old value.
        write("x.ini", std::string("[s]\r\nk=") + value + "\r\n");
        GetPrivateProfileStringW(u"s", u"k", u"", buffer, 20, file.c_str());
        EXPECT_EQ(fromUtf8(value), wstring(buffer));
    }
}

TEST_F(ProfileFiles, WritesKeepTheModeAndReplaceTheFileALinkPointsTo) {
    write("real.ini", "[s]\r\nk=1\r\n");
    ::chmod(path("real.ini").c_str(), 0640);
    std::filesystem::create_symlink(path("real.ini"), path("link.ini"));
    ASSERT_TRUE(WritePrivateProfileStringW(u"s", u"k", u"2", wpath("link.ini").c_str()));
    EXPECT_TRUE(std::filesystem::is_symlink(path("link.ini")));
    EXPECT_EQ("[s]\r\nk=2\r\n", read("real.ini"));
    struct stat st;
    ASSERT_EQ(0, ::stat(path("real.ini").c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
}
