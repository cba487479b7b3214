// registry_file_test.cpp - the registry file of POSIX builds
// (WIN32_POSIX_REGISTRY): loaded at the first registry call, rewritten
// atomically after every change, never half-loaded. POSIX only by nature:
// under Wine the registry is Wine's own.
#include "hbc_test.h"

#include <win32_posix/testing.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace {

const char* const kVariable = "WIN32_POSIX_REGISTRY";
const std::string kReg = std::string(HBC_TEST_DATA_DIR) + "/reg/";
const std::string kMalformedTail =
    "; the registry starts empty and changes are not written to this file\n";

// The file's text as UTF-8 with LF line ends, as the golden files hold it.
std::string decodedText(const std::filesystem::path& path) {
    std::string text;
    for (const std::string& line : readUtf16Lines(path)) text += line + "\n";
    return text;
}

std::string plainText(const std::filesystem::path& path) {
    std::vector<unsigned char> bytes = readBytes(path);
    return std::string(bytes.begin(), bytes.end());
}

class RegistryFileTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        const char* value = std::getenv(kVariable);
        m_hadVariable = value != nullptr;
        if (value) m_previous = value;
    }
    void TearDown() override {
        if (m_hadVariable) setenv(kVariable, m_previous.c_str(), 1);
        else unsetenv(kVariable);
        w32p::testing::resetRegistry();
        HbcTest::TearDown();
    }

    // Points the registry at `file` and forgets the registry of the process;
    // the next registry call loads the file.
    void useFile(const std::string& file) {
        setenv(kVariable, file.c_str(), 1);
        w32p::testing::resetRegistry();
    }
    std::filesystem::path regFile() const { return fsPath("reg.reg"); }
    bool fileHasLine(const std::string& line) const {
        for (const std::string& l : readUtf16Lines(regFile()))
            if (l == line) return true;
        return false;
    }
    // Makes a change that leaves the registry as it was, so the file is
    // written from what was loaded.
    void rewrite() {
        regSetDword(HKEY_CURRENT_CONFIG, TEXT(""), TEXT("rewrite"), 1);
        EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(HKEY_CURRENT_CONFIG, TEXT("rewrite")));
    }
    // Nothing in the folder but what the test put there.
    std::vector<std::string> folderEntries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(fsPath(".")))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    LONG openScratch(const WCHAR* path, HKEY* key) {
        return RegOpenKeyExW(HKEY_CURRENT_USER, (wstr(kScratchKey) + TEXT("\\") + path).c_str(), 0,
                             KEY_READ, key);
    }

private:
    bool m_hadVariable = false;
    std::string m_previous;
};

TEST_F(RegistryFileTest, TheExampleFileSwitchesLoggingOn) {
    std::filesystem::copy_file(std::string(HBC_TEST_DATA_DIR) + "/../../examples/logging.reg",
                               regFile());
    useFile(regFile().string());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_LOCAL_MACHINE, TEXT("SOFTWARE\\Norvak\\Logs"), 0,
                                           KEY_READ, &key));
    DWORD type = 0, value = 0, cb = sizeof value;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("Logging"), nullptr, &type,
                                              reinterpret_cast<BYTE*>(&value), &cb));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_EQ(1u, value);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("LogDetail"), nullptr, &type,
                                              reinterpret_cast<BYTE*>(&value), &cb));
    EXPECT_EQ(0x31bu, value);
    WCHAR text[64];
    cb = sizeof text;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("TextOutput"), nullptr, &type,
                                              reinterpret_cast<BYTE*>(text), &cb));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ("C:\\tmp\\hbc\\hbc.log", U8(text));
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, AMissingFileStartsEmptyAndIsCreatedAtTheFirstChange) {
    useFile(regFile().string());
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, openScratch(TEXT("k"), &key));
    EXPECT_FALSE(std::filesystem::exists(regFile()));  // reading writes nothing
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\k"), TEXT("v"), 5);
    bool hadBom = false;
    readUtf16Lines(regFile(), &hadBom);
    EXPECT_TRUE(hadBom);
    EXPECT_TRUE(fileHasLine("[HKEY_CURRENT_USER\\Software\\HbcTests\\k]"));
    EXPECT_EQ(std::vector<std::string>{"reg.reg"}, folderEntries());  // no temporary file left
}

TEST_F(RegistryFileTest, AnEmptyFileIsAnEmptyRegistry) {
    writeBytes(regFile(), "");
    useFile(regFile().string());
    testing::internal::CaptureStderr();
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("v"), 1);
    EXPECT_EQ("", testing::internal::GetCapturedStderr());
    EXPECT_TRUE(fileHasLine("\"v\"=dword:00000001"));
}

TEST_F(RegistryFileTest, EveryChangeRewritesTheWholeFile) {
    useFile(regFile().string());
    const wstr path = wstr(kScratchKey) + TEXT("\\k");
    const std::string k = "[HKEY_CURRENT_USER\\Software\\HbcTests\\k]";
    const std::string v = "\"v\"=dword:00000005";
    auto expectFile = [&](const char* step, const std::vector<std::string>& present,
                          const std::vector<std::string>& absent) {
        SCOPED_TRACE(step);
        for (const std::string& line : present) EXPECT_TRUE(fileHasLine(line)) << line;
        for (const std::string& line : absent) EXPECT_FALSE(fileHasLine(line)) << line;
        EXPECT_EQ(std::vector<std::string>{"reg.reg"}, folderEntries());  // no temporary file left
    };
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    expectFile("create a key", {k}, {v});
    regSetDword(HKEY_CURRENT_USER, path, TEXT("v"), 5);
    expectFile("set a value", {k, v}, {});
    HKEY vol = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, TEXT("vol"), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &vol, nullptr));
    RegCloseKey(vol);
    expectFile("a volatile key is never written", {k, v},
               {"[HKEY_CURRENT_USER\\Software\\HbcTests\\k\\vol]"});
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, TEXT("v")));
    expectFile("delete the value", {k}, {v});
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(key, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(key, TEXT("")));
    expectFile("delete the key", {"[HKEY_CURRENT_USER\\Software\\HbcTests]"}, {k});
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey));
    expectFile("delete the tree", {"[HKEY_CURRENT_USER\\Software]"},
               {"[HKEY_CURRENT_USER\\Software\\HbcTests]"});
    RegCloseKey(key);
}

TEST_F(RegistryFileTest, KeysKeepTheSpellingTheyWereCreatedWith) {
    useFile(regFile().string());
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    HKEY sub = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, TEXT("MixedCase"), 0, nullptr, 0, KEY_READ,
                                             nullptr, &sub, nullptr));
    RegCloseKey(sub);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, TEXT("MIXEDCASE\\Sub"), 0, nullptr, 0, KEY_READ,
                                             nullptr, &sub, nullptr));
    RegCloseKey(sub);
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\mixedcase"), TEXT("Value"), 1);
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\mixedcase"), TEXT("VALUE"), 2);
    RegCloseKey(key);
    EXPECT_TRUE(fileHasLine("[HKEY_CURRENT_USER\\Software\\HbcTests\\MixedCase\\Sub]"));
    EXPECT_TRUE(fileHasLine("\"Value\"=dword:00000002"));
}

TEST_F(RegistryFileTest, FilesAreRewrittenAsRegeditWritesThem) {
    struct Row {
        const char* input;
        std::string expected;  // UTF-8 text with LF line ends
    } rows[] = {
        // Comments, short root names, deletions, continuations, blanks.
        {"hand_written.reg", plainText(kReg + "hand_written.expected.reg")},
        // The writer's output reads back to itself.
        {"hand_written.expected.reg", plainText(kReg + "hand_written.expected.reg")},
        // What regedit exports of one subtree comes back unchanged, with the
        // key above it that the whole registry holds.
        {"regedit_export.reg",
         "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software]\n" +
             decodedText(kReg + "regedit_export.reg").substr(37)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.input);
        std::filesystem::remove(regFile());
        std::filesystem::copy_file(kReg + row.input, regFile());
        useFile(regFile().string());
        rewrite();
        EXPECT_EQ(row.expected, decodedText(regFile()));
    }
}

TEST_F(RegistryFileTest, AMalformedFileGivesOneMessageAndAnEmptyRegistry) {
    const std::string content =
        "Windows Registry Editor Version 5.00\r\n"
        "\r\n"
        "[HKEY_CURRENT_USER\\Software\\HbcTests\\early]\r\n"
        "\"v\"=dword:00000001\r\n"
        "\"w\"=hex:01,zz\r\n";
    writeBytes(regFile(), content);
    useFile(regFile().string());
    testing::internal::CaptureStderr();
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, openScratch(TEXT("early"), &key));  // nothing half-loaded
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, openScratch(TEXT("early"), &key));
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("later"), 1);
    EXPECT_EQ("win32_posix: " + regFile().string() + ":5: bad hex byte \"zz\"" + kMalformedTail,
              testing::internal::GetCapturedStderr());
    // The file is left as it was, so that nothing in it is lost.
    EXPECT_EQ(content, plainText(regFile()));
}

TEST_F(RegistryFileTest, AFileThatCannotBeReadIsReportedAndLeftAlone) {
    std::filesystem::create_directory(regFile());  // a folder where the file should be
    useFile(regFile().string());
    testing::internal::CaptureStderr();
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("v"), 1);
    std::string message = testing::internal::GetCapturedStderr();
    EXPECT_EQ(0u, message.find("win32_posix: " + regFile().string() +
                               ": cannot read the registry file: "))
        << message;
    EXPECT_TRUE(std::filesystem::is_directory(regFile()));
    EXPECT_EQ(std::vector<std::string>{"reg.reg"}, folderEntries());
}

TEST_F(RegistryFileTest, AFileThatCannotBeWrittenIsReportedOnceAndTheRegistryStillWorks) {
    std::string file = fsPath("missing-folder/reg.reg").string();
    useFile(file);
    testing::internal::CaptureStderr();
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("a"), 1);
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("b"), 2);
    EXPECT_EQ("win32_posix: " + file +
                  ": cannot write the registry file: No such file or directory; changes are kept "
                  "only in the process\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(HKEY_CURRENT_USER, kScratchKey));
}

TEST_F(RegistryFileTest, AWindowsPathNamesTheFileThroughTheDriveMapping) {
    useFile(U8(winPath("reg.reg")));
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("v"), 1);
    EXPECT_TRUE(fileHasLine("\"v\"=dword:00000001"));
}

TEST_F(RegistryFileTest, NamesWithLineBreaksStayInTheProcessWithOneWarning) {
    useFile(regFile().string());
    testing::internal::CaptureStderr();
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("two\nlines"), 1);
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("fine"), 1);
    EXPECT_EQ("win32_posix: " + regFile().string() +
                  ": a key or value name with a line break cannot be written to the registry "
                  "file; it is kept only in the process\n",
              testing::internal::GetCapturedStderr());
    EXPECT_TRUE(fileHasLine("\"fine\"=dword:00000001"));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_SUCCESS,
              RegQueryValueExW(key, TEXT("two\nlines"), nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(key);
}

// Wine crashes here; the stand-in refuses the call and creates nothing.
TEST_F(RegistryFileTest, CreatingAKeyWithoutAResultPointerIsRefused) {
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr,
                                                       0, KEY_READ, nullptr, nullptr, nullptr));
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key));
}

// Wine crashes here too; the stand-in refuses, as Windows refuses the same
// calls to RegEnumValueW.
TEST_F(RegistryFileTest, EnumeratingSubkeysWithoutANameBufferOrCountIsRefused) {
    WCHAR name[8];
    DWORD cch = 8;
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumKeyExW(HKEY_CURRENT_USER, 0, nullptr, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumKeyExW(HKEY_CURRENT_USER, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
