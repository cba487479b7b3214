// hostile_input_test.cpp - definition and strings files that no item author
// should write, through the built module as the host loads it: the module
// loads, answers every id, takes what is sound from the files, and writes
// nothing past a field (every record checked byte for byte).
#include "catalogue_fixture.h"

#include <cstdint>

namespace {

// Bytes that look like nothing in particular, the same every run.
std::string noise(size_t size, uint32_t seed) {
    std::string bytes(size, '\0');
    for (char& b : bytes) {
        seed = seed * 1664525u + 1013904223u;
        b = static_cast<char>(seed >> 24);
    }
    return bytes;
}

std::string utf16WithoutMark(const std::string& ascii) {
    std::string bytes;
    for (char c : ascii) bytes += std::string{c, '\0'};
    return bytes;
}

class HostileInputTest : public CatalogueTest {};

}  // namespace

TEST_F(HostileInputTest, TheModuleTakesWhatIsSoundFromEveryFile) {
    const std::string longValue(100000, 'y');
    std::string big = "[Filler]\r\n";
    for (int i = 0; big.size() < 10 * 1024 * 1024; ++i)
        big += "key" + std::to_string(i) + "=" + std::string(4000, 'f') + "\r\n";
    big += section("TOOLKIT", 5);
    std::string many;
    for (int i = 0; i < 10000; ++i) many += "[S" + std::to_string(i) + "]\r\nk=v\r\n";
    many += section("QUICKLINK", 7);

    // One file per row, with what the host gets from it: the QUICKLINK and
    // TOOLKIT items (0: none).
    struct {
        const char* file;
        std::string bytes;
        int quick, toolkit;
    } rows[] = {
        {"empty.ini", "", 0, 0},
        {"binary.ini", noise(65536, 11), 0, 0},
        // Without the mark the file is 8-bit text: every NUL ends its line's text.
        {"utf16.ini", utf16WithoutMark(section("QUICKLINK", 3)), 0, 0},
        {"big.ini", big, 0, 5},  // 10 MB, the item's section at its end
        // A menu key too long to read is missing; lines of 100,000 characters
        // around a sound section change nothing.
        {"long.ini",
         section("QUICKLINK", 1, {{"MenuString", std::string(5000, 'm').c_str()}}) + longValue +
             "=" + longValue + "\r\n" + section("TOOLKIT", 6) + "Junk=" + longValue + "\r\n",
         0, 6},
        {"many.ini", many, 7, 0},  // 10,000 sections before the item's
        {"folder.ini", section("QUICKLINK", 8), 8, 0},
    };
    for (const auto& row : rows) writeBytes(itemPath(row.file), row.bytes);
    // A strings file whose text in the host's language is too long to read
    // (missing, so English is tried) and whose English text is cut to the
    // field's 99 units.
    writeBytes(
        itemPath("long.ini.strings"),
        "[0x409]\r\nIDS_6=" + longValue + "\r\n[0x09]\r\nIDS_6=" + std::string(500, 'e') + "\r\n");
    // A strings file that is a folder: the menu text stays the host's.
    std::filesystem::create_directories(itemPath("folder.ini.strings"));

    std::vector<ExpectedItem> quick, toolkit;
    for (const std::string& name : searchOrder(itemsFolder() + TEXT("*.ini")))
        for (const auto& row : rows) {
            if (name != row.file) continue;
            if (row.quick) quick.push_back(item(row.quick));
            if (row.toolkit) toolkit.push_back(item(row.toolkit));
        }
    ASSERT_EQ(2u, quick.size());
    for (ExpectedItem& expected : toolkit)
        if (expected.n == 6) expected.menuText = std::string(99, 'e');
    expectCatalogue(loadAndAsk(), quick, toolkit);
}

TEST_F(HostileInputTest, AnItemFolderThatIsAFileGivesAnEmptyCatalogue) {
    writeBytes(fsPath("notafolder"), section("QUICKLINK", 1));
    writeBytes(fsPath("notafolder.ini"), section("QUICKLINK", 2));
    setFolderValue((winPath("notafolder") + TEXT("\\")).c_str());
    expectCatalogue(loadAndAsk(), {}, {});
}

#ifndef _WIN32
// Natively only: the registry file is win32_posix's (WIN32_POSIX_REGISTRY);
// under Wine the registry is Wine's own.
TEST_F(HostileInputTest, ARegistryFileCutInTheMiddleOfALineIsRefusedWhole) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1));
    std::string folder;
    for (char c : U8(itemsFolder())) folder += c == '\\' ? "\\\\" : std::string(1, c);
    const std::string file =
        "Windows Registry Editor Version 5.00\r\n\r\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvak\\HubConsole\\Client\\Third Party Applications]\r\n"
        "\"IniFolder\"=\"" +
        folder +
        "\"\r\n"
        "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Norvak\\Logs]\r\n\"Logging\"=dword:00000001\r\n"
        "; the end\r\n";
    // Where the file is cut, and whether the module then finds the item:
    // a cut that leaves a malformed line makes the whole file refused (the
    // registry starts empty), one that leaves sound lines keeps them.
    struct {
        const char* comment;
        std::string cutAfter;  // the file keeps everything up to and including this text
        bool found;
    } rows[] = {
        {"inside the header line", "Windows Registry", false},
        {"inside a key name", "HubConsole\\Cli", false},
        {"inside the folder's string", "\"IniFolder\"=\"" + folder.substr(0, 5), false},
        {"inside a number: fewer digits are a number still", "dword:0000", true},
        {"inside the last comment", "; the e", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        size_t at = file.find(row.cutAfter);
        ASSERT_NE(std::string::npos, at);
        writeBytes(fsPath("cut.reg"), file.substr(0, at + row.cutAfter.size()));
        ScopedEnvVar registry(TEXT("WIN32_POSIX_REGISTRY"), winPath("cut.reg"));
        expectCatalogue(
            askInChild(),
            row.found ? std::vector<ExpectedItem>{item(1)} : std::vector<ExpectedItem>{}, {});
    }
}
#endif
