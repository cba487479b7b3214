// menu_text_test.cpp - menu texts in the host's language, looked up in the
// strings file beside each definition file, through the exported function:
// the three tries, their records, and texts longer than the record's field.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "hbc_test.h"
#include "tpa_hbc.h"

namespace {

const unsigned char HOST_FILL = 0xCD;

class MenuTextTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        enableLogging(59);  // the default detail and DEBUG
        iniFiles.addOwned(new CZYNWCharString(winPath("tools.ini").c_str()), 0);
        HbcItem* item = new HbcItem();
        std::char_traits<WCHAR>::copy(item->menuString, TEXT("IDS_TOOL"), 9);
        std::char_traits<WCHAR>::copy(item->execInterface, TEXT("C:\\t.exe"), 9);
        item->iniFile = iniFiles.getObjectAt(0);
        quickLinkItems.addOwned(item, 0);
    }
    void TearDown() override {
        quickLinkItems.clear();
        iniFiles.clear();
        HbcTest::TearDown();
    }
    // The strings file of tools.ini, as UTF-16LE with its byte-order mark.
    void writeStrings(const std::string& utf8) {
        wstr text = W(utf8);
        std::string bytes("\xFF\xFE", 2);
        for (WCHAR c : text) {
            bytes.push_back(static_cast<char>(c & 0xFF));
            bytes.push_back(static_cast<char>(c >> 8));
        }
        writeBytes(fsPath("tools.ini.strings"), bytes);
    }
    // The menu text the host gets for the item in a language; "(host's)"
    // when the field was left as the host filled it.
    std::string menuText(DWORD languageId, DWORD* code = nullptr) {
        FunctionInfo info;
        std::memset(&info, HOST_FILL, sizeof info);
        info.functionId = 1;
        DWORD size = sizeof info;
        DWORD rc = HB_GetFunctionInfo(languageId, &info, &size);
        if (code) *code = rc;
        const unsigned char* raw = reinterpret_cast<const unsigned char*>(info.menuText);
        bool untouched = true;
        for (size_t i = 0; i < sizeof info.menuText; ++i) untouched = untouched && raw[i] == HOST_FILL;
        return untouched ? "(host's)" : U8(info.menuText);
    }
    size_t debugRecords() const { return logLinesWith("<DEBUG>").size(); }
    size_t failureRecords() const {
        return logLinesWith("could not load translated string or english string").size();
    }
};

}  // namespace

TEST_F(MenuTextTest, TriesLanguageThenPrimaryLanguageThenEnglish) {
    writeStrings(
        "[0x409]\r\nIDS_TOOL=Tool (US)\r\n"
        "[0x0C]\r\nIDS_TOOL=Outil\r\n"
        "[0x09]\r\nIDS_TOOL=Tool\r\n"
        "[0x004]\r\nIDS_TOOL=from 0x004\r\n");
    struct {
        const char* comment;
        DWORD language;
        const char* text;
        size_t debugRecords;
    } rows[] = {
        {"its own section: one read, no record", 0x0409, "Tool (US)", 0},
        {"only the high 16 bits differ", 0x00010409, "Tool (US)", 0},
        {"a French variant falls back to French", 0x080C, "Outil", 1},
        {"German falls back to English", 0x0407, "Tool", 2},
        {"0x1004 reads the section 0x004 first", 0x1004, "from 0x004", 0},
        {"language 0: 0x000, 0x00, then English", 0, "Tool", 2},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        std::filesystem::remove(fsPath("log.txt"));
        DWORD code = 99;
        EXPECT_EQ(row.text, menuText(row.language, &code));
        EXPECT_EQ(0u, code);
        EXPECT_EQ(row.debugRecords, debugRecords());
        EXPECT_EQ(0u, failureRecords());
    }
    std::vector<std::string> notes = logLinesWith("<DEBUG>");
    ASSERT_EQ(2u, notes.size());
    EXPECT_NE(std::string::npos, notes[0].find(
        "\"could not load the translated string using the language ID\" "));
    EXPECT_NE(std::string::npos, notes[1].find(
        "\"could not load the translated string using the the primary language ID\" "));
}

TEST_F(MenuTextTest, SectionNamesUseUpperCaseHexadecimal) {
    writeStrings("[0xC0A]\r\nIDS_TOOL=Herramienta\r\n[0x0A]\r\nIDS_TOOL=other\r\n");
    EXPECT_EQ("Herramienta", menuText(0x0C0A));
    writeStrings("[0x0A]\r\nIDS_TOOL=Herramienta\r\n");
    EXPECT_EQ("Herramienta", menuText(0x0C0A));
}

TEST_F(MenuTextTest, MissingTextLeavesTheHostsFieldAndIsRecorded) {
    writeStrings("[0x09]\r\nIDS_OTHER=Other\r\n");
    DWORD code = 99;
    EXPECT_EQ("(host's)", menuText(0x0407, &code));
    EXPECT_EQ(0u, code) << "the record is still filled";
    EXPECT_EQ(2u, debugRecords());
    std::vector<std::string> failures = logLinesWith("could not load translated string");
    ASSERT_EQ(1u, failures.size());
    EXPECT_NE(std::string::npos, failures[0].find(
        "<EXCEPTION_BAD> <" + applicationName() +
        "> \"could not load translated string or english string - error in strings.ini file\""));

    // No strings file at all ends the same way.
    std::filesystem::remove(fsPath("tools.ini.strings"));
    std::filesystem::remove(fsPath("log.txt"));
    EXPECT_EQ("(host's)", menuText(0x0409));
    EXPECT_EQ(1u, failureRecords());
}

TEST_F(MenuTextTest, TheStringsFileIsTheDefinitionFileWithStringsAppended) {
    writeBytes(fsPath("tools.strings"), "[0x09]\r\nIDS_TOOL=wrong file\r\n");
    writeBytes(fsPath("tools.ini.strings"), "[0x09]\r\nIDS_TOOL=right file\r\n");
    EXPECT_EQ("right file", menuText(0x0409));
}

TEST_F(MenuTextTest, TextsAreReadAfreshAndKeepTheirCharacters) {
    writeStrings("[0x407]\r\nIDS_TOOL=Werkzeug für Größen\r\n");
    EXPECT_EQ("Werkzeug für Größen", menuText(0x0407));
    writeStrings("[0x407]\r\nIDS_TOOL=geändert\r\n");
    EXPECT_EQ("geändert", menuText(0x0407)) << "no cache between queries";
}

TEST_F(MenuTextTest, LongTextsAreCutToTheField) {
    // The lookup writes into a field of 100 units followed by guard units,
    // so a write past the field shows (in the host's record the next field,
    // reservedText, is written over anyway).
    const WCHAR kGuard = 0xBEEF;
    struct {
        const char* comment;
        std::string text;
        std::string expected;
    } rows[] = {
        {"99 units fit", std::string(99, 'm'), std::string(99, 'm')},
        {"150 units are cut to 99", std::string(150, 'm'), std::string(99, 'm')},
        {"a character outside the basic plane is not split at the cut",
         std::string(98, 'm') + "\xF0\x9F\x98\x80 tail", std::string(98, 'm')},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        writeStrings("[0x09]\r\nIDS_TOOL=" + row.text + "\r\n");
        WCHAR field[HBC_MENU_TEXT_UNITS + 8];
        std::fill(std::begin(field), std::end(field), kGuard);
        ASSERT_TRUE(LoadStringFromIni(*iniFiles.getObjectAt(0), 0x0409, field,
                                      CZYNWCharString(TEXT("IDS_TOOL"))));
        EXPECT_EQ(row.expected, U8(field));
        for (size_t i = HBC_MENU_TEXT_UNITS; i < std::size(field); ++i)
            EXPECT_EQ(kGuard, field[i]) << "unit " << i << " written past the field";
    }
}
