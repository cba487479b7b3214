// ini_test.cpp - CZYNIni over real INI files in the test's folder: what each
// read accepts and refuses, where the limits of its buffers lie, what the
// writes put in the file, the records failures leave in the log, and that a
// failed read never changes its output.
#include <string>
#include <vector>

#include "hbc_test.h"
#include "zyn_ini.h"

namespace {

using StringList = CZYNIni::StringList;

CZYNWCharString Z(const std::string& utf8) { return CZYNWCharString(W(utf8).c_str()); }

// The list's texts, in order.
std::vector<std::string> texts(const StringList& list) {
    std::vector<std::string> out;
    for (LONG i = 0; i < list.getCount(); ++i) out.push_back(U8(list.getObjectAt(i)->getText()));
    return out;
}

// The list's tags, in order.
std::vector<LONG> tags(const StringList& list) {
    std::vector<LONG> out;
    for (LONG i = 0; i < list.getCount(); ++i) out.push_back(list.getNodeAt(i)->getTag());
    return out;
}

class IniTest : public HbcTest {
protected:
    void TearDown() override {
        zyn::failNthAllocation(0);
        HbcTest::TearDown();
    }
    // Writes the file "t.ini" of the test folder and returns its path.
    CZYNWCharString iniFile(const std::string& content) {
        writeBytes(fsPath("t.ini"), content);
        return CZYNWCharString(winPath("t.ini").c_str());
    }
    std::string fileText() {
        std::vector<unsigned char> bytes = readBytes(fsPath("t.ini"));
        return std::string(bytes.begin(), bytes.end());
    }
};

// A list holding the one entry "keep", to see that failed reads leave it.
void fillWithKeep(StringList& list) {
    list.clear();
    list.add(Z("keep"), 7);
}

}  // namespace

TEST_F(IniTest, GetProfileStringAcceptsOnlyWhatItCanTellApart) {
    const std::string v1021(1021, 'v');
    CZYNIni ini(iniFile("[S]\r\nplain=val\r\nempty=\r\nmarker=Not Found\r\nlower=not found\r\n"
                        "quoted=\"Not Found\"\r\nlong1021=" + v1021 + "\r\nlong1022=" + v1021 +
                        "w\r\nlong1023=" + v1021 + "ww\r\nlong3000=" + std::string(3000, 'x') +
                        "\r\n"));
    struct {
        const char* comment;
        const char* section;
        const char* key;
        bool ok;
        std::string value;  // expected when ok
    } rows[] = {
        {"a plain value", "S", "plain", true, "val"},
        {"names match without regard to case", "s", "PLAIN", true, "val"},
        {"the longest value the buffer can tell from a cut one", "S", "long1021", true, v1021},
        {"1022 characters: refused, like a cut value", "S", "long1022", false, ""},
        {"1023 characters: cut to fit", "S", "long1023", false, ""},
        {"far too long", "S", "long3000", false, ""},
        {"an empty value", "S", "empty", false, ""},
        {"the value Not Found is the missing-key marker", "S", "marker", false, ""},
        {"quotes are removed first, so it is the marker too", "S", "quoted", false, ""},
        {"the marker is compared with case", "S", "lower", true, "not found"},
        {"a missing key", "S", "nokey", false, ""},
        {"a missing section", "T", "plain", false, ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNWCharString out(TEXT("untouched"));
        EXPECT_EQ(row.ok, ini.getProfileString(Z(row.section), Z(row.key), out));
        EXPECT_EQ(row.ok ? row.value : "untouched", U8(out.getText()));
    }
}

TEST_F(IniTest, RefusedValuesAreNotLoggedAsFailures) {
    enableLogging();
    CZYNIni ini(iniFile("[S]\r\nempty=\r\n"));
    CZYNWCharString out;
    EXPECT_FALSE(ini.getProfileString(Z("S"), Z("empty"), out));
    EXPECT_FALSE(ini.getProfileString(Z("S"), Z("missing"), out));
    EXPECT_TRUE(logLinesWith("<EXCEPTION_BAD>").empty());
    EXPECT_EQ(2u, logLinesWith("<CZYNIni::getProfileString> <Failed> <zyn_ini.cpp, 388> ").size());
}

TEST_F(IniTest, GetProfileInt) {
    CZYNIni ini(iniFile("[S]\r\nten=10\r\nneg=-5\r\ntext=abc\r\nlead=42abc\r\nminus1=-1\r\n"
                        "all=0xFFFFFFFF\r\nempty=\r\n"));
    struct {
        const char* comment;
        const char* key;
        bool ok;
        LONG value;  // expected when ok
    } rows[] = {
        {"a number", "ten", true, 10},
        {"a negative number", "neg", true, -5},
        {"text without digits reads as 0", "text", true, 0},
        {"leading digits", "lead", true, 42},
        {"-1 cannot be told from a missing key", "minus1", false, 0},
        {"nor can anything that reads as -1", "all", false, 0},
        {"an empty value gives the default, -1", "empty", false, 0},
        {"a missing key", "missing", false, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        LONG out = 12345;
        EXPECT_EQ(row.ok, ini.getProfileInt(Z("S"), Z(row.key), out));
        EXPECT_EQ(row.ok ? row.value : 12345, out);
    }
}

TEST_F(IniTest, GetProfileIntOfMinusOneWritesItsRecordOnce) {
    CZYNIni ini(iniFile("[S]\r\nminus1=-1\r\n"));
    enableLogging();
    LONG out = 0;
    EXPECT_FALSE(ini.getProfileInt(Z("S"), Z("minus1"), out));
    std::vector<std::string> records = logLinesWith("\"GetPrivateProfileInt( ) failed.\"");
    ASSERT_EQ(1u, records.size()) << "written when built, not again by the handler";
    EXPECT_NE(std::string::npos, records[0].find("<EXCEPTION_BAD> "));
    EXPECT_NE(std::string::npos, records[0].find("<zyn_ini.cpp, 197> "));
    EXPECT_TRUE(logLinesWith("An unhandled exception occurred").empty())
        << "the operation's own handler takes it";
    EXPECT_EQ(1u, logLinesWith("<CZYNIni::getProfileInt> <Failed> <zyn_ini.cpp, 183> ").size());
}

TEST_F(IniTest, GetProfileSectionListsTheLinesInFileOrder) {
    CZYNIni ini(iniFile("[Other]\r\nx=0\r\n[S]\r\na=1\r\n; a comment\r\nnoequals\r\n  c  =  3  \r\n"
                        "[Empty]\r\n"));
    StringList list;
    fillWithKeep(list);
    ASSERT_TRUE(ini.getProfileSection(Z("S"), list));
    EXPECT_EQ((std::vector<std::string>{"a=1", "noequals", "c=3"}), texts(list))
        << "comments left out, a line without '=' as it stands, blanks trimmed; the old "
           "entry replaced";
    EXPECT_EQ((std::vector<LONG>{0, 1, 2}), tags(list));

    struct {
        const char* comment;
        const char* section;
    } refused[] = {
        {"a section without lines", "Empty"},
        {"a missing section", "Missing"},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.comment);
        fillWithKeep(list);
        EXPECT_FALSE(ini.getProfileSection(Z(row.section), list));
        EXPECT_EQ(std::vector<std::string>{"keep"}, texts(list));
    }
}

TEST_F(IniTest, GetProfileSectionAtTheEdgeOfItsBuffer) {
    // The section's text, NULs included, is the value's length + 3 ("k=",
    // the value, its NUL). 32767 units hold 32764 of them for certain; at
    // 32765 the system's answer is that of a cut list.
    struct {
        const char* comment;
        size_t valueLength;
        bool ok;
    } rows[] = {
        {"32764 units: read", 32761, true},
        {"32765 units: indistinguishable from a cut list", 32762, false},
        {"cut", 40000, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNIni ini(iniFile("[S]\r\nk=" + std::string(row.valueLength, 'v') + "\r\n"));
        StringList list;
        fillWithKeep(list);
        EXPECT_EQ(row.ok, ini.getProfileSection(Z("S"), list));
        if (row.ok) {
            ASSERT_EQ(1, list.getCount());
            EXPECT_EQ(row.valueLength + 2, list.getObjectAt(0)->getLength());
        } else {
            EXPECT_EQ(std::vector<std::string>{"keep"}, texts(list));
        }
    }
}

TEST_F(IniTest, GetProfileSectionNames) {
    StringList list;
    {
        CZYNIni ini(iniFile("[First]\r\na=1\r\n[ Second ]\r\n[Third]\r\nb=2\r\n"));
        fillWithKeep(list);
        ASSERT_TRUE(ini.getProfileSectionNames(list));
        EXPECT_EQ((std::vector<std::string>{"First", "Second", "Third"}), texts(list));
    }
    struct {
        const char* comment;
        const char* content;  // null: no file at all
    } refused[] = {
        {"a file without sections", "a=1\r\nb=2\r\n"},
        {"an empty file", ""},
        {"no file", nullptr},
    };
    for (const auto& row : refused) {
        SCOPED_TRACE(row.comment);
        std::filesystem::remove(fsPath("t.ini"));
        CZYNIni ini(row.content ? iniFile(row.content) : CZYNWCharString(winPath("t.ini").c_str()));
        fillWithKeep(list);
        EXPECT_FALSE(ini.getProfileSectionNames(list));
        EXPECT_EQ(std::vector<std::string>{"keep"}, texts(list));
    }
}

TEST_F(IniTest, SetProfileIntWritesDecimalText) {
    CZYNIni ini(iniFile(""));
    EXPECT_TRUE(ini.setProfileInt(Z("S"), Z("neg"), -5));
    EXPECT_TRUE(ini.setProfileInt(Z("S"), Z("big"), 2147483647));
    EXPECT_EQ("[S]\r\nneg=-5\r\nbig=2147483647\r\n", fileText());
    LONG out = 0;
    EXPECT_TRUE(ini.getProfileInt(Z("S"), Z("neg"), out));
    EXPECT_EQ(-5, out);
}

TEST_F(IniTest, SetProfileStringWritesAndRemoves) {
    CZYNIni ini(iniFile("[A]\r\nk=1\r\n"));
    EXPECT_TRUE(ini.setProfileString(Z("A"), Z("k"), Z("changed")));
    EXPECT_TRUE(ini.setProfileString(Z("B"), Z("x"), Z("y")));
    EXPECT_TRUE(ini.setProfileString(Z("B"), Z("z"), Z("w")));
    EXPECT_EQ("[A]\r\nk=changed\r\n[B]\r\nx=y\r\nz=w\r\n", fileText());

    // A value without text removes the key, a key without text the section.
    EXPECT_TRUE(ini.setProfileString(Z("B"), Z("x"), CZYNWCharString()));
    EXPECT_EQ("[A]\r\nk=changed\r\n[B]\r\nz=w\r\n", fileText());
    EXPECT_TRUE(ini.setProfileString(Z("A"), CZYNWCharString(), Z("ignored")));
    EXPECT_EQ("[B]\r\nz=w\r\n", fileText());
}

TEST_F(IniTest, CreateProfileSectionAddsAMissingSectionAndKeepsAnExistingOne) {
    CZYNIni ini(iniFile("[S]\r\na=1\r\n"));
    EXPECT_TRUE(ini.createProfileSection(Z("S")));
    CZYNWCharString out;
    ASSERT_TRUE(ini.getProfileString(Z("S"), Z("a"), out)) << "the existing entries stay";
    EXPECT_EQ("1", U8(out.getText()));

    EXPECT_TRUE(ini.createProfileSection(Z("New")));
    EXPECT_TRUE(ini.createProfileSection(Z("New"))) << "an existing empty section is fine too";
    EXPECT_EQ("[S]\r\na=1\r\n[New]\r\n", fileText());

    std::filesystem::remove(fsPath("t.ini"));
    EXPECT_TRUE(ini.createProfileSection(Z("First")));
    EXPECT_EQ("[First]\r\n", fileText()) << "a missing file is made with the section";
}

TEST_F(IniTest, FailedWritesLeaveTheirRecords) {
    // A file in a missing folder cannot be written.
    CZYNIni ini(CZYNWCharString(winPath("missing\\t.ini").c_str()));
    enableLogging();

    EXPECT_FALSE(ini.setProfileInt(Z("S"), Z("k"), 1));
    // Only a catch-all: the write record, then an unhandled-exception record.
    std::vector<std::string> lines = logLinesWith("<EXCEPTION_BAD>");
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos,
              lines[0].find("\"Unable to write profile string ( section: S, key name: k )\" "
                            "<Error: 0x00000003> <zyn_ini.cpp, 460> "));
    EXPECT_NE(std::string::npos,
              lines[1].find("\"An unhandled exception occurred\" <Error: 0x00000003> "
                            "<zyn_ini.cpp, 468> "));

    EXPECT_FALSE(ini.setProfileString(Z("S"), Z("k2"), Z("v")));
    lines = logLinesWith("<EXCEPTION_BAD>");
    ASSERT_EQ(3u, lines.size()) << "one record: the operation's own handler takes it";
    EXPECT_NE(std::string::npos,
              lines[2].find("\"Unable to write profile string ( section: S, key name: k2 )\" "
                            "<Error: 0x00000003> <zyn_ini.cpp, 510> "));

    EXPECT_FALSE(ini.createProfileSection(Z("T")));
    lines = logLinesWith("<EXCEPTION_BAD>");
    ASSERT_EQ(4u, lines.size());
    EXPECT_NE(std::string::npos, lines[3].find("\"Unable to write profile section ( section: T )\" "
                                               "<Error: 0x00000003> <zyn_ini.cpp, 143> "));
    EXPECT_FALSE(std::filesystem::exists(fsPath("missing"))) << "no folder was made";
}

TEST_F(IniTest, EveryOperationIsTracedWithItsOwnLine) {
    CZYNWCharString path = iniFile("[S]\r\na=1\r\nn=4\r\n");
    enableLogging();
    {
        CZYNIni ini(path);
        CZYNWCharString text;
        LONG number = 0;
        StringList list;
        ini.getProfileString(Z("S"), Z("a"), text);
        ini.getProfileInt(Z("S"), Z("n"), number);
        ini.getProfileSection(Z("S"), list);
        ini.getProfileSectionNames(list);
        ini.setProfileString(Z("S"), Z("b"), Z("2"));
        ini.setProfileInt(Z("S"), Z("c"), 3);
        ini.createProfileSection(Z("T"));
    }
    struct {
        const char* function;
        int line;
    } rows[] = {
        {"CZYNIni", 47},
        {"~CZYNIni", 87},
        {"createProfileSection", 128},
        {"getProfileInt", 183},
        {"getProfileSection", 239},
        {"getProfileSectionNames", 313},
        {"getProfileString", 388},
        {"setProfileInt", 442},
        {"setProfileString", 493},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.function);
        const std::string where = "<CZYNIni::" + std::string(row.function) + "> ";
        const std::string source = "<zyn_ini.cpp, " + std::to_string(row.line) + "> ";
        EXPECT_EQ(1u, logLinesWith(where + source).size()) << "the ENTRY line";
        EXPECT_EQ(1u, logLinesWith(where + "<Passed> " + source).size()) << "the EXIT line";
    }
    EXPECT_EQ(9u, logLinesWith("<ENTRY> ").size());
    EXPECT_EQ(9u, logLinesWith("<EXIT> ").size());
}

TEST_F(IniTest, RunningOutOfMemoryNeverChangesTheOutputs) {
    CZYNIni ini(iniFile("[S]\r\na=1\r\nb=2\r\nc=3\r\n"));
    const CZYNWCharString section = Z("S"), key = Z("b");
    // Fails the 1st, 2nd, ... allocation of each read until one gets through;
    // every attempt either succeeds whole or leaves the output as it was.
    for (ULONG n = 1; n < 100; ++n) {
        SCOPED_TRACE(n);
        StringList list;
        list.add(Z("keep"), 7);
        list.add(Z("these"), 8);
        zyn::failNthAllocation(n);
        const bool ok = ini.getProfileSection(section, list);
        const bool fired = zyn::t_allocationsUntilFailure == 0;
        zyn::failNthAllocation(0);
        if (ok) {
            EXPECT_EQ((std::vector<std::string>{"a=1", "b=2", "c=3"}), texts(list));
        } else {
            EXPECT_EQ((std::vector<std::string>{"keep", "these"}), texts(list));
            EXPECT_EQ((std::vector<LONG>{7, 8}), tags(list));
        }
        if (!fired) {
            EXPECT_TRUE(ok) << "nothing failed, so the read succeeded";
            break;
        }
    }
    for (ULONG n = 1; n < 100; ++n) {
        SCOPED_TRACE(n);
        CZYNWCharString out(TEXT("untouched"));
        zyn::failNthAllocation(n);
        const bool ok = ini.getProfileString(section, key, out);
        const bool fired = zyn::t_allocationsUntilFailure == 0;
        zyn::failNthAllocation(0);
        EXPECT_EQ(ok ? "2" : "untouched", U8(out.getText()));
        if (!fired) {
            EXPECT_TRUE(ok);
            break;
        }
    }
}
