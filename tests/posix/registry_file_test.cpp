// registry_file_test.cpp - the registry file of POSIX builds
// (WIN32_POSIX_REGISTRY): loaded at the first registry call, rewritten
// atomically after every change, never half-loaded, shared by several
// processes. POSIX only by nature: under Wine the registry is Wine's own, and
// the tests of sharing start processes with fork.
#include "fork_child.h"
#include "hbc_test.h"

#include <reg_file.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <win32_posix/testing.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <random>
#include <thread>

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

// Values under the scratch key, as a child process reads and writes them
// (without test assertions, which belong to the parent).
LONG setValue(const wstr& name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    LONG rc = RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr);
    if (rc == ERROR_SUCCESS)
        rc = RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return rc;
}
LONG setNumber(const wstr& name, DWORD number) { return setValue(name, REG_DWORD, &number, 4); }
bool getNumber(HKEY key, const wstr& name, DWORD& number) {
    DWORD cb = 4;
    return RegQueryValueExW(key, name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&number),
                            &cb) == ERROR_SUCCESS;
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

TEST_F(RegistryFileTest, ARestoredKeyIsWrittenToTheFile) {
    useFile(regFile().string());
    const wstr source = wstr(kScratchKey) + TEXT("\\source");
    regSetDword(HKEY_CURRENT_USER, source + TEXT("\\Sub"), TEXT("restored"), 7);
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\target\\Old"), TEXT("old"), 1);
    HKEY from = nullptr, into = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, source.c_str(), 0, KEY_READ, &from));
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, (wstr(kScratchKey) + TEXT("\\target")).c_str(),
                                           0, KEY_READ, &into));
    {
        ScopedPrivilege backup(TEXT("SeBackupPrivilege"), true);
        ScopedPrivilege restore(TEXT("SeRestorePrivilege"), true);
        EXPECT_EQ(ERROR_SUCCESS, RegSaveKeyW(from, winPath("saved.hiv").c_str(), nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegRestoreKeyW(into, winPath("saved.hiv").c_str(), 0));
    }
    RegCloseKey(from);
    RegCloseKey(into);
    EXPECT_TRUE(fileHasLine("[HKEY_CURRENT_USER\\Software\\HbcTests\\target\\Sub]"));
    EXPECT_TRUE(fileHasLine("\"restored\"=dword:00000007"));
    EXPECT_FALSE(fileHasLine("[HKEY_CURRENT_USER\\Software\\HbcTests\\target\\Old]"));
}

// --- several processes -------------------------------------------------------

constexpr int kRounds = 500;

wstr sharedName(int process, int i) {
    return W("p" + std::to_string(process) + "-" + std::to_string(i));
}

// One of two processes sharing the file: sets its own kRounds values while a
// second thread follows the other process's values, each of which must stay
// once seen; then every final value of both must be there.
int shareTheFile(int self) {
    int other = 1 - self;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return 2;
    std::atomic<bool> failed{false};
    std::thread follower([&] {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(2);
        int seen = 0;
        DWORD number = 0;
        while (seen < kRounds && std::chrono::steady_clock::now() < deadline) {
            if (seen > 0 && !getNumber(key, sharedName(other, seen - 1), number)) failed = true;
            while (seen < kRounds && getNumber(key, sharedName(other, seen), number)) ++seen;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        if (seen < kRounds) failed = true;
    });
    for (int i = 0; i < kRounds; ++i)
        if (setNumber(sharedName(self, i), static_cast<DWORD>(i)) != ERROR_SUCCESS) failed = true;
    follower.join();
    for (int process : {0, 1}) {
        for (int i = 0; i < kRounds; ++i) {
            DWORD number = 0xdeadbeef;
            if (!getNumber(key, sharedName(process, i), number) || number != DWORD(i)) failed = true;
        }
    }
    RegCloseKey(key);
    return failed ? 1 : 0;
}

TEST_F(RegistryFileTest, TwoProcessesSettingValuesSeeAllOfEachOthersValues) {
    useFile(regFile().string());
    ASSERT_EQ(ERROR_SUCCESS, setNumber(TEXT("start"), 0));
    pid_t first = inChild([] { return shareTheFile(0); });
    pid_t second = inChild([] { return shareTheFile(1); });
    EXPECT_EQ(0, waitFor(first));
    EXPECT_EQ(0, waitFor(second));
    // The file holds them all, read afresh.
    w32p::testing::resetRegistry();
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key));
    int missing = 0;
    for (int process : {0, 1}) {
        for (int i = 0; i < kRounds; ++i) {
            DWORD number = 0xdeadbeef;
            if (!getNumber(key, sharedName(process, i), number) || number != DWORD(i)) ++missing;
        }
    }
    EXPECT_EQ(0, missing);
    RegCloseKey(key);
    EXPECT_EQ(std::vector<std::string>{"reg.reg"}, folderEntries());
}

TEST_F(RegistryFileTest, ThreadsWritingTheFileNeverSeeAValueGoBack) {
    useFile(regFile().string());
    ASSERT_EQ(ERROR_SUCCESS, setNumber(TEXT("start"), 0));
    const DWORD kCount = 30;
    std::atomic<bool> done[2] = {{false}, {false}};
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 2; ++t) {
        wstr name = W("counter" + std::to_string(t));
        threads.emplace_back([&, t, name] {  // counts its value up
            for (DWORD n = 1; n <= kCount; ++n)
                if (setNumber(name, n) != ERROR_SUCCESS) ++failures;
            done[t] = true;
        });
        threads.emplace_back([&, t, name] {  // follows it: never a step back, and the end seen
            for (DWORD last = 0;;) {
                bool finished = done[t];
                HKEY key = nullptr;
                DWORD number = 0;
                if (RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key) != 0) ++failures;
                if (getNumber(key, name, number)) {
                    if (number < last) ++failures;
                    last = number;
                }
                RegCloseKey(key);
                if (finished) {
                    if (last != kCount) ++failures;
                    break;
                }
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
}

TEST_F(RegistryFileTest, AWriterKilledAtAnyPointLeavesTheOldOrTheNewFileWhole) {
    useFile(regFile().string());
    ASSERT_EQ(ERROR_SUCCESS, setNumber(TEXT("start"), 0));
    std::mt19937 random(std::random_device{}());
    std::uniform_int_distribution<int> delay(0, 30000);  // microseconds
    const DWORD kUnits = 4096;  // a 16 KB value makes every write take a while
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE(round);
        pid_t writer = inChild([&] {
            std::vector<DWORD> data(kUnits);
            for (DWORD n = 1;; ++n) {
                std::fill(data.begin(), data.end(), n);
                setValue(TEXT("big"), REG_BINARY, data.data(), kUnits * 4);
            }
            return 0;
        });
        std::this_thread::sleep_for(std::chrono::microseconds(delay(random)));
        kill(writer, SIGKILL);
        EXPECT_EQ(-1, waitFor(writer));
        // The file reads whole, and the value in it is one the writer wrote whole.
        std::vector<unsigned char> bytes = readBytes(regFile());
        w32p::regfile::ReadResult file =
            w32p::regfile::read(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
        ASSERT_TRUE(file.ok) << file.line << ": " << file.error;
        std::vector<BYTE> big;
        for (const w32p::regfile::Edit& edit : file.edits)
            if (edit.kind == w32p::regfile::Edit::SetValue && edit.value.name == u"big") big = edit.value.data;
        if (big.empty()) continue;  // killed before its first write
        ASSERT_EQ(kUnits * 4, big.size());
        const DWORD* units = reinterpret_cast<const DWORD*>(big.data());
        EXPECT_EQ(kUnits, DWORD(std::count(units, units + kUnits, units[0])));
    }
    // The next write removes what the killed writers left behind.
    ASSERT_EQ(ERROR_SUCCESS, setNumber(TEXT("after"), 1));
    EXPECT_EQ(std::vector<std::string>{"reg.reg"}, folderEntries());
}

TEST_F(RegistryFileTest, AnotherProcessesChangesAreSeenAtTheNextCall) {
    useFile(regFile().string());
    const wstr scratch = kScratchKey;
    regSetDword(HKEY_CURRENT_USER, scratch + TEXT("\\gone"), TEXT("v"), 1);
    regSetDword(HKEY_CURRENT_USER, scratch + TEXT("\\kept"), TEXT("v"), 1);
    HKEY gone = nullptr, kept = nullptr, volatileKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, openScratch(TEXT("gone"), &gone));
    ASSERT_EQ(ERROR_SUCCESS, openScratch(TEXT("kept"), &kept));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + TEXT("\\vol")).c_str(), 0,
                                             nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                             &volatileKey, nullptr));
    EXPECT_EQ(0, waitFor(inChild([&] {
        DWORD two = 2;
        HKEY key = nullptr;
        bool ok = RegDeleteTreeW(HKEY_CURRENT_USER, (scratch + TEXT("\\gone")).c_str()) == 0 &&
                  RegOpenKeyExW(HKEY_CURRENT_USER, (scratch + TEXT("\\kept")).c_str(), 0,
                                KEY_ALL_ACCESS, &key) == 0 &&
                  RegSetValueExW(key, TEXT("v"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&two), 4) == 0 &&
                  setNumber(TEXT("new"), 3) == 0;
        return ok ? 0 : 1;
    })));
    DWORD number = 0;
    // A key the other process deleted is deleted for this process's handles too.
    EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(gone, TEXT("v"), nullptr, nullptr, nullptr, nullptr));
    EXPECT_TRUE(getNumber(kept, TEXT("v"), number));  // the same handle, the new value
    EXPECT_EQ(2u, number);
    HKEY scratchKey = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &scratchKey));
    EXPECT_TRUE(getNumber(scratchKey, TEXT("new"), number));
    EXPECT_EQ(3u, number);
    // What lives only in this process stays.
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(volatileKey, TEXT("v"), 0, REG_DWORD,
                                            reinterpret_cast<BYTE*>(&number), 4));
    for (HKEY key : {gone, kept, volatileKey, scratchKey}) RegCloseKey(key);
}

TEST_F(RegistryFileTest, RewritesKeepTheFilesModeOwnerAndLink) {
    std::filesystem::create_directory(fsPath("real"));
    std::filesystem::path target = fsPath("real/reg.reg");
    writeBytes(target, "");
    std::filesystem::create_symlink(target, regFile());
    ASSERT_EQ(0, chmod(target.c_str(), 0640));
    // Only a privileged process can give a file to another owner.
    bool privileged = geteuid() == 0;
    if (privileged) {
        ASSERT_EQ(0, chown(target.c_str(), 1234, 5678));
    }
    useFile(regFile().string());
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("v"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(regFile()));
    EXPECT_TRUE(fileHasLine("\"v\"=dword:00000001"));  // read through the link
    struct stat st;
    ASSERT_EQ(0, stat(target.c_str(), &st));
    EXPECT_EQ(0640u, st.st_mode & 07777);
    if (privileged) {
        EXPECT_EQ(1234u, st.st_uid);
        EXPECT_EQ(5678u, st.st_gid);
    }
    std::vector<std::string> folder;
    for (const auto& entry : std::filesystem::directory_iterator(fsPath("real")))
        folder.push_back(entry.path().filename().string());
    EXPECT_EQ(std::vector<std::string>{"reg.reg"}, folder);
}

TEST_F(RegistryFileTest, AFileMadeMalformedWhileInUseIsReportedOnceAndNeverOverwritten) {
    useFile(regFile().string());
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("v"), 1);
    const std::string malformed = "Windows Registry Editor Version 5.00\r\n\r\nnot a line\r\n";
    writeBytes(regFile(), malformed);
    testing::internal::CaptureStderr();
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("w"), 2);
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("x"), 3);
    EXPECT_EQ("win32_posix: " + regFile().string() +
                  ":3: expected \"name\"=value, @=value or [key]; the registry keeps what it held "
                  "and changes are not written to this file\n",
              testing::internal::GetCapturedStderr());
    EXPECT_EQ(malformed, plainText(regFile()));
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key));
    DWORD number = 0;
    EXPECT_TRUE(getNumber(key, TEXT("v"), number));
    EXPECT_TRUE(getNumber(key, TEXT("x"), number));
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
