// hbc_test.h - the one fixture every test starts from, on both hosts: a
// fresh registry subtree (the logging settings key, the item folder key and a
// scratch key of its own), a fresh temporary folder, and helpers to write
// settings and read the text log. Written against the Win32 API only, so the
// same test source runs natively and under Wine.
#ifndef HBC_TEST_H
#define HBC_TEST_H

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

using wstr = std::basic_string<WCHAR>;

// UTF-8 test text as WCHAR text, and back (for messages and comparisons).
wstr W(const std::string& utf8);
std::string U8(const WCHAR* text);
std::string U8(const wstr& text);

// True when the test program runs under Wine rather than on Windows or over
// win32_posix. Tests do not branch on it: they use expectOnHost.
bool runningUnderWine();

// The one way a test writes a case where Wine is known to answer differently
// from Windows: the expected value is Windows' natively (win32_posix follows
// Windows) and Wine's under Wine, so both hosts assert something, and the
// difference is named in the test's output.
template <class T>
T expectOnHost(const char* difference, T windows, T wine) {
    if (!runningUnderWine()) return windows;
    ::testing::Test::RecordProperty("known_wine_difference", difference);
    return wine;
}

// The scratch key of every test, under HKEY_CURRENT_USER.
extern const WCHAR* const kScratchKey;

// Registry helpers: an error is a test failure, and the answer says whether
// the call succeeded, so a test that cannot go on without it can stop
// (ASSERT_TRUE(regSetDword(...))).
bool regSetDword(HKEY root, const wstr& path, const wstr& name, DWORD value);
bool regSetString(HKEY root, const wstr& path, const wstr& name, const wstr& value,
                  DWORD type = REG_SZ);
bool regSetBytes(HKEY root, const wstr& path, const wstr& name, DWORD type,
                 const std::vector<BYTE>& bytes);
bool regDeleteTree(HKEY root, const wstr& path);

// Reads a whole file (empty when missing).
std::vector<unsigned char> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::string& bytes);
// A UTF-16LE log file as UTF-8 lines without their CR LF; `hadBom` says whether
// it started with FF FE (only the first one is dropped).
std::vector<std::string> readUtf16Lines(const std::filesystem::path& path, bool* hadBom = nullptr);

// Sets an environment variable of the process for the object's lifetime (a
// null value removes it), through the Win32 API, and puts the previous state
// back (its value, or its absence) when destroyed. A failure to set is
// reported as a test failure.
class ScopedEnvVar {
public:
    ScopedEnvVar(const wstr& name, const WCHAR* value);
    ScopedEnvVar(const wstr& name, const wstr& value) : ScopedEnvVar(name, value.c_str()) {}
    ~ScopedEnvVar();
    ScopedEnvVar(const ScopedEnvVar&) = delete;
    ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

private:
    wstr m_name;
    bool m_existed = false;
    wstr m_previous;
};

// Sets one privilege of the process's token, enabled or disabled, for the
// object's lifetime, and puts its earlier state back when destroyed, through
// OpenProcessToken and AdjustTokenPrivileges as a program does it. The token
// is the process's, so every thread sees the change. A call that fails is a
// test failure.
class ScopedPrivilege {
public:
    ScopedPrivilege(const WCHAR* name, bool enable);
    ~ScopedPrivilege();
    ScopedPrivilege(const ScopedPrivilege&) = delete;
    ScopedPrivilege& operator=(const ScopedPrivilege&) = delete;
    // Whether the token holds the privilege at all (ERROR_NOT_ALL_ASSIGNED
    // says it does not), and whether it was enabled before.
    bool held() const { return m_held; }
    bool wasEnabled() const { return m_wasEnabled; }

private:
    HANDLE m_token = nullptr;
    TOKEN_PRIVILEGES m_previous = {};
    bool m_held = false;
    bool m_wasEnabled = false;
};

// Whether the process's token has the privilege enabled now.
bool privilegeEnabled(const WCHAR* name);

#ifndef _WIN32
// Natively only (the real version query never fails): while the object
// lives, this program's GetVersionExW refuses records whose size field is
// one of `refusedSizes` (FALSE, ERROR_INSUFFICIENT_BUFFER) and answers the
// others as the stand-in does. It sees the calls of code linked into the
// program, not those of a module the program loads.
class FailingVersionQueries {
public:
    explicit FailingVersionQueries(std::vector<DWORD> refusedSizes);
    ~FailingVersionQueries();
    FailingVersionQueries(const FailingVersionQueries&) = delete;
    FailingVersionQueries& operator=(const FailingVersionQueries&) = delete;
    const std::vector<DWORD>& refused() const { return m_refused; }
    // The size fields of the calls made so far, in order.
    std::vector<DWORD> asked() const;

private:
    std::vector<DWORD> m_refused;
};
#endif

class HbcTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // The test's own folder: as a Windows path for the API, as a file-system
    // path for reading results.
    const wstr& folder() const { return m_folder; }
    wstr winPath(const std::string& relative) const;
    std::filesystem::path fsPath(const std::string& relative) const;

    // Switches logging on: "Logging" 1, "LogDetail" `detail` (none when 0)
    // and "TextOutput" the file "log.txt" of the test folder. False (and a
    // test failure) when a setting cannot be written.
    bool enableLogging(DWORD detail = 795);
    wstr logFileWin() const { return winPath("log.txt"); }
    std::vector<std::string> logLines(bool* hadBom = nullptr) const;
    // The lines of the log that contain `needle`.
    std::vector<std::string> logLinesWith(const std::string& needle) const;

    // The application name a record of this process gets.
    static std::string applicationName();

    // Makes the registry the programs this test starts see the one it
    // writes from now on (what it wrote before is not carried over). On
    // Windows every program shares one registry already; natively the
    // stand-in's registry moves, until the test ends, into a file of the test
    // folder that child processes load (WIN32_POSIX_REGISTRY).
    void shareRegistryWithChildren();

private:
    wstr m_folder;
    std::filesystem::path m_fsFolder;
    std::optional<ScopedEnvVar> m_sharedRegistry;
};

#endif
