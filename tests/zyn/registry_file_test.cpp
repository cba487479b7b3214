// registry_file_test.cpp - the registry text file (CZYNRegistryFile) and the
// key's exportKey and importKey over the real registry: the exported file
// against its golden text, every type's round trip byte for byte, files of
// earlier versions and by hand, section names of roots, unknown roots and
// empty paths, merging, and the system's own key file.
#include <fstream>
#include <functional>

#include "registry_test_support.h"
#include "zyn_registry_file.h"
#include "zyn_registry_key.h"

namespace {

std::vector<BYTE> sz(const std::string& utf8) {
    std::vector<BYTE> bytes = utf16Bytes(utf8);
    bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

// One stored value of the exported tree, and what the registry holds after
// the tree was exported, deleted and imported again ("same": the same bytes).
struct TreeValue {
    const char* comment;
    const char* sub;
    std::string name;
    DWORD type;
    std::vector<BYTE> bytes;
    std::string afterRoundTrip;
};

// Within each type the names are in the order both Windows (creation order)
// and Wine (sorted) enumerate them.
const std::vector<TreeValue>& tree() {
    static const std::vector<TreeValue> values = {
        {"a number", "x", "a count", REG_DWORD, {10, 0, 0, 0}, "same"},
        {"the largest number", "x", "b max", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}, "same"},
        {"an empty text comes back empty, as 0 bytes", "x", "c empty", REG_SZ, sz(""), "1:"},
        {"quotes and backslashes in name and text", "x", "d quote\"d \\ name", REG_SZ,
         sz("say \"hi\" \\ bye"), "same"},
        {"non-ASCII text, a surrogate pair included", "x", "e text", REG_SZ, sz("é中🙂 x"),
         "same"},
        {"a name holding a colon and an equals sign", "x", "f C:\\colon=name", REG_SZ, sz("v"),
         "same"},
        {"an expandable text", "x", "g path", REG_EXPAND_SZ, sz("%SystemRoot%\\x"), "same"},
        {"an odd count of % is written, and refused on import", "x", "h odd", REG_EXPAND_SZ,
         sz("100% %A%"), "missing"},
        {"a multi-string", "x", "i list", REG_MULTI_SZ, sz(std::string("a\0bc\0", 5)), "same"},
        {"an empty multi-string", "x", "j none", REG_MULTI_SZ, {}, "same"},
        {"an empty member ends a multi-string", "x", "k gap", REG_MULTI_SZ,
         sz(std::string("a\0\0b\0", 5)), "7: 61 00 00 00 00 00"},
        {"3 bytes stay 3 bytes", "x", "l three", REG_BINARY, {1, 2, 3}, "same"},
        {"no bytes", "x", "m none", REG_BINARY, {}, "same"},
        {"zero bytes are data", "x", "n zeros", REG_BINARY, {0, 1, 0, 0}, "same"},
        {"the default value is not written", "x", "", REG_SZ, sz("default"), "missing"},
        {"nor are other types", "x", "o qword", REG_QWORD, {1, 0, 0, 0, 0, 0, 0, 0}, "missing"},
        {"a subkey's value", "x\\sub", "v", REG_DWORD, {1, 0, 0, 0}, "same"},
        {"below a key without values", "x\\empty\\deep", "w", REG_SZ, sz("deep"), "same"},
    };
    return values;
}

// The lines of a UTF-8 text file, without line ends.
std::vector<std::string> textLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::string dataFile(const std::string& name) {
    return std::string(HBC_TEST_DATA_DIR) + "/regfile/" + name;
}

// The section names of an exported file, in order.
std::vector<std::string> sectionsOf(const std::vector<std::string>& lines) {
    std::vector<std::string> sections;
    for (const std::string& line : lines)
        if (!line.empty() && line[0] == '[') sections.push_back(line);
    return sections;
}

class RegistryFileTest : public RegistryTest {
protected:
    void storeTree() {
        for (const TreeValue& value : tree())
            ASSERT_TRUE(regSetBytes(HKEY_CURRENT_USER, scratchPath(value.sub), W(value.name),
                                    value.type, value.bytes));
    }
    CZYNRegistryFile file(const std::string& name) const {
        return CZYNRegistryFile(CZYNWCharString(winPath(name).c_str()));
    }
    bool exportScratch(const std::string& name, const std::string& sub, bool deleteExisting) {
        return file(name).exportToFile(HKEY_CURRENT_USER, scratchKey(sub), deleteExisting);
    }
    // The file's lines; a file the export made is UTF-16LE with its mark.
    std::vector<std::string> lines(const std::string& name) const {
        bool unicode = false;
        std::vector<std::string> text = readUtf16Lines(fsPath(name), &unicode);
        EXPECT_TRUE(unicode) << name;
        return text;
    }
    size_t recordsWith(const std::string& needle) const { return logLinesWith(needle).size(); }
};

}  // namespace

TEST_F(RegistryFileTest, ExportWritesTheGoldenText) {
    storeTree();
    ASSERT_TRUE(exportScratch("out\\tree.ini", "x", true)) << "the missing folder is made";
    EXPECT_EQ(textLines(dataFile("export.expected.txt")), lines("out/tree.ini"));
    EXPECT_TRUE(records().empty());
}

TEST_F(RegistryFileTest, EveryTypeRoundTrips) {
    storeTree();
    ASSERT_TRUE(exportScratch("tree.ini", "x", true));
    ASSERT_TRUE(regDeleteTree(HKEY_CURRENT_USER, scratchPath("x")));
    ASSERT_TRUE(file("tree.ini").importFromFile());
    for (const TreeValue& value : tree()) {
        SCOPED_TRACE(value.comment);
        const std::string stored = describe(value.type, value.bytes.data(), value.bytes.size());
        const std::string& after = value.afterRoundTrip;
        EXPECT_EQ(after == "same" ? stored : after, raw(value.sub, value.name));
    }
    EXPECT_TRUE(regKeyExists("x\\empty")) << "made as the parent of its subkey";
    EXPECT_EQ(1u, recordsWith("\"A bad argument was provided ( m_szRegStringCache ). value "
                              "doesn't represent an expandable value which is required\""))
        << "the odd count of %";
}

TEST_F(RegistryFileTest, ImportReadsEarlierAndHandWrittenFiles) {
    ASSERT_TRUE(CZYNRegistryFile(Z(dataFile("old_export.ini"))).importFromFile());
    struct {
        const char* comment;
        HKEY root;
        std::string path;  // below the scratch key, or below HKLM\SOFTWARE\Norvak
        std::string name;
        std::string stored;
    } rows[] = {
        {"a padded value of earlier versions imports as before", HKEY_CURRENT_USER, "old", "padded",
         "3: 01 02 03 00"},
        {"an even count of byte codes", HKEY_CURRENT_USER, "old", "even", "3: 0a 0b"},
        {"an odd count is exactly its bytes", HKEY_CURRENT_USER, "old", "exact", "3: 01 02 03"},
        {"a number", HKEY_CURRENT_USER, "old", "number", "4: 0a 00 00 00"},
        {"no number", HKEY_CURRENT_USER, "old", "not a number", "missing"},
        {"more than 8 hex digits", HKEY_CURRENT_USER, "old", "too long", "missing"},
        {"an unknown type", HKEY_CURRENT_USER, "old", "other type", "missing"},
        {"a line without a type", HKEY_CURRENT_USER, "old", "no type here", "missing"},
        {"= and : in a text", HKEY_CURRENT_USER, "old", "text",
         describe(1, sz("a=b:c").data(), sz("a=b:c").size())},
        {"a multi-string", HKEY_CURRENT_USER, "old", "list",
         "7: 61 00 00 00 62 00 63 00 00 00 00 00"},
        {"a colon in the name", HKEY_CURRENT_USER, "old", "C:\\colon", "1: 63 00 00 00"},
        {"one % is refused", HKEY_CURRENT_USER, "old", "odd", "missing"},
        {"an empty name is the default value", HKEY_CURRENT_USER, "old", "",
         describe(1, sz("the default value").data(), sz("the default value").size())},
        {"an unknown root is HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE, "unknown root", "v",
         "4: 02 00 00 00"},
        {"so is a section that starts with a backslash", HKEY_LOCAL_MACHINE, "no root", "v",
         "4: 03 00 00 00"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        const wstr path = row.root == HKEY_CURRENT_USER ? scratchPath(row.path)
                                                        : TEXT("SOFTWARE\\Norvak\\") + W(row.path);
        HKEY key = nullptr;
        DWORD type = 0;
        std::vector<BYTE> bytes(64);
        DWORD size = static_cast<DWORD>(bytes.size());
        std::string stored = "missing";
        if (RegOpenKeyExW(row.root, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
            if (RegQueryValueExW(key, W(row.name).c_str(), nullptr, &type, bytes.data(), &size) ==
                ERROR_SUCCESS)
                stored = describe(type, bytes.data(), size);
            RegCloseKey(key);
        }
        EXPECT_EQ(row.stored, stored);
    }
    EXPECT_TRUE(regKeyExists("old\\empty section")) << "a section without lines makes its key";
}

TEST_F(RegistryFileTest, NothingToImportChangesNothing) {
    writeBytes(fsPath("empty.ini"), "");
    writeBytes(fsPath("nosections.ini"), "a=REG_SZ:\"x\"\r\n");
    for (const char* name : {"missing.ini", "empty.ini", "nosections.ini"}) {
        SCOPED_TRACE(name);
        EXPECT_TRUE(file(name).importFromFile());
        EXPECT_FALSE(regKeyExists(""));
    }
}

TEST_F(RegistryFileTest, SectionsBelowAnEmptyPath) {
    // An open key handle as the root, with an empty path: any handle is
    // written as HKEY_CURRENT_USER, and the subkeys' paths are their names,
    // one backslash after the root's name.
    regSetDword(HKEY_CURRENT_USER, scratchPath("h"), TEXT("top"), 1);
    regSetDword(HKEY_CURRENT_USER, scratchPath("h\\sub\\deeper"), TEXT("v"), 2);
    HKEY handle = nullptr;
    ASSERT_EQ(0, RegOpenKeyExW(HKEY_CURRENT_USER, scratchPath("h").c_str(), 0, KEY_READ, &handle));
    EXPECT_TRUE(file("h.ini").exportToFile(handle, CZYNWCharString(), true));
    RegCloseKey(handle);
    EXPECT_EQ(
        (std::vector<std::string>{"[HKEY_CURRENT_USER\\]", "[HKEY_CURRENT_USER\\sub\\deeper]"}),
        sectionsOf(lines("h.ini")));
}

TEST_F(RegistryFileTest, MergeOrReplace) {
    regSetDword(HKEY_CURRENT_USER, scratchPath("a"), TEXT("v"), 1);
    regSetDword(HKEY_CURRENT_USER, scratchPath("b"), TEXT("v"), 2);
    const std::string a = "[HKEY_CURRENT_USER\\" + scratchText("a") + "]";
    const std::string b = "[HKEY_CURRENT_USER\\" + scratchText("b") + "]";
    struct {
        const char* comment;
        const char* sub;
        DWORD value;
        bool deleteExisting;
        std::vector<std::string> lines;
    } steps[] = {
        {"a new file", "a", 1, true, {a, "v=REG_DWORD:0x00000001"}},
        {"merged", "b", 2, false, {a, "v=REG_DWORD:0x00000001", b, "v=REG_DWORD:0x00000002"}},
        {"an entry of the same section and name is replaced",
         "a",
         3,
         false,
         {a, "v=REG_DWORD:0x00000003", b, "v=REG_DWORD:0x00000002"}},
        {"replaced whole", "b", 4, true, {b, "v=REG_DWORD:0x00000004"}},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.comment);
        regSetDword(HKEY_CURRENT_USER, scratchPath(step.sub), TEXT("v"), step.value);
        EXPECT_TRUE(exportScratch("m.ini", step.sub, step.deleteExisting));
        EXPECT_EQ(step.lines, lines("m.ini"));
    }
}

TEST_F(RegistryFileTest, KeyExportAndImportFailures) {
    regSetDword(HKEY_CURRENT_USER, scratchPath("k"), TEXT("v"), 1);
    writeBytes(fsPath("exists.key"), "x");
    CZYNRegistryKey key(HKEY_CURRENT_USER, scratchKey("k"), KEY_ALL_ACCESS, false, 0);
    CZYNRegistryKey missing(HKEY_CURRENT_USER, scratchKey("missing"), KEY_ALL_ACCESS, false, 0);
    const CZYNWCharString none;
    const CZYNWCharString existing(winPath("exists.key").c_str());
    const std::string badArgument = "<EXCEPTION_BAD> <APP> \"A bad argument was provided ( ";
    struct {
        const char* comment;
        CZYNRegistryKey& target;
        std::function<bool()> action;
        bool result;
        std::vector<std::string> records;
    } rows[] = {
        {"no file name to export to",
         key,
         [&] { return key.exportKey(none, 8, true); },
         false,
         {badArgument + "szExportFileName ). filename must be non-null\" <zyn_registry_key.cpp, "
                        "570> "}},
        {"no file name to import from",
         key,
         [&] { return key.importKey(none, 16); },
         false,
         {badArgument + "szImportFileName ). filename must be non-null\" <zyn_registry_key.cpp, "
                        "1628> "}},
        {"a key that cannot be opened is not saved",
         missing,
         [&] { return missing.exportKey(CZYNWCharString(winPath("no.key").c_str()), 0, true); },
         false,
         {}},
        {"the system refuses to save over a file", key,
         [&] { return key.exportKey(existing, 0, false); },
         expectOnHost("RegSaveKeyW overwrites an existing file under Wine", false, true),
         expectOnHost<std::vector<std::string>>(
             "RegSaveKeyW overwrites an existing file under Wine",
             {"<EXCEPTION_BAD> <APP> <CZYNRegistryKey::exportKey> \"Unable to save registry key "
              "( \"" +
              scratchText("k") + "\" )\" <zyn_registry_key.cpp, 595> "},
             {})},
        {"a file that is not a saved key is not restored", key,
         [&] { return key.importKey(CZYNWCharString(winPath("m.ini").c_str()), 0); },
         expectOnHost("RegRestoreKeyW is a stub under Wine that restores nothing", false, true),
         expectOnHost<std::vector<std::string>>(
             "RegRestoreKeyW is a stub under Wine that restores nothing",
             {"<EXCEPTION_BAD> <APP> <CZYNRegistryKey::importKey> \"Unable to load registry key "
              "( \"" +
              scratchText("k") + "\" )\" <zyn_registry_key.cpp, 1655> "},
             {})},
    };
    writeBytes(fsPath("m.ini"), "[a]\r\nb=REG_SZ:\"c\"\r\n");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        row.target.open();
        const size_t before = recordCount();
        EXPECT_EQ(row.result, row.action());
        EXPECT_EQ(row.records, records(before));
        EXPECT_FALSE(row.target.isKeyOpen()) << "closed, also when it was open before";
    }
    EXPECT_FALSE(std::filesystem::exists(fsPath("no.key")));
}

TEST_F(RegistryFileTest, KeyFileRoundTrip) {
    // Saved to the system's own key file and restored into a key emptied
    // since; the restore needs the backup privilege as well, which the
    // import enables itself.
    storeTree();
    CZYNRegistryKey key(HKEY_CURRENT_USER, scratchKey("x"), KEY_ALL_ACCESS, false, 0);
    const CZYNWCharString keyFile(winPath("x.key").c_str());
    ASSERT_TRUE(key.exportKey(keyFile, 0, true));
    ASSERT_TRUE(regDeleteTree(HKEY_CURRENT_USER, scratchPath("x")));
    regSetDword(HKEY_CURRENT_USER, scratchPath("x"), TEXT("later"), 1);
    {
        ScopedPrivilege noBackup(SE_BACKUP_NAME, false);
        EXPECT_TRUE(key.importKey(keyFile, 0));
    }
    for (const TreeValue& value : tree()) {
        SCOPED_TRACE(value.comment);
        const std::string saved = describe(value.type, value.bytes.data(), value.bytes.size());
        EXPECT_EQ(expectOnHost("RegRestoreKeyW is a stub under Wine that restores nothing", saved,
                               std::string("missing")),
                  raw(value.sub, value.name));
    }
    EXPECT_EQ(expectOnHost("RegRestoreKeyW is a stub under Wine that restores nothing",
                           std::string("missing"), std::string("4: 01 00 00 00")),
              raw("x", "later"))
        << "the restore replaces the key's values";
    EXPECT_TRUE(records().empty());
}
