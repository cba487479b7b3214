// environment_test.cpp - GetEnvironmentVariableW, SetEnvironmentVariableW,
// ExpandEnvironmentStringsW and GetWindowsDirectoryW, against the real API
// under Wine and against win32_posix natively.
//
// Where Wine is known to answer differently from Windows, win32_posix follows
// Windows; the test then expects Wine's answer only when it runs under Wine,
// and the place names the difference.
#include "hbc_test.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

// True in the native build, where win32_posix answers instead of Windows.
#ifdef _WIN32
const bool kStandIn = false;
#else
const bool kStandIn = true;
#endif

const DWORD kUntouched = 0xdeadbeef;
const WCHAR kFill = TEXT('#');

// Windows' case folding of ASCII letters, enough for the paths compared here
// (Wine spells C:\windows and C:\users in lower case).
wstr upper(wstr text) {
    for (WCHAR& c : text)
        if (c >= TEXT('a') && c <= TEXT('z')) c = static_cast<WCHAR>(c - 32);
    return text;
}

#define EXPECT_SAME_PATH(expected, actual) EXPECT_EQ(U8(upper(expected)), U8(upper(actual)))

// The value of a variable; fails the test when it is missing.
wstr env(const wstr& name) {
    DWORD needed = GetEnvironmentVariableW(name.c_str(), nullptr, 0);
    EXPECT_GT(needed, 0u) << U8(name) << " is missing";
    std::vector<WCHAR> buffer(needed + 1, 0);
    DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), needed);
    return wstr(buffer.data(), length < needed ? length : 0);
}

bool isMissing(const wstr& name) {
    SetLastError(kUntouched);
    WCHAR buffer[4];
    return GetEnvironmentVariableW(name.c_str(), buffer, 4) == 0 &&
           GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

wstr expand(const wstr& source) {
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    std::vector<WCHAR> buffer(needed + 1, 0);
    EXPECT_EQ(needed, ExpandEnvironmentStringsW(source.c_str(), buffer.data(), needed));
    return wstr(buffer.data());
}

class EnvironmentTest : public HbcTest {};

// --- GetEnvironmentVariableW -------------------------------------------------

TEST_F(EnvironmentTest, GetReturnsLengthWhenValueFitsElseSizeNeeded) {
    ScopedEnvVar pv(TEXT("HBC_PV"), TEXT("value"));
    // Windows Vista and later leave "" in a buffer that is too small; Wine
    // leaves it untouched (win32-behaviour EV-2, section 7 item 13).
    const char* const smallBuffer =
        expectOnHost<const char*>("Wine leaves a too-small buffer untouched", "", nullptr);
    struct Row {
        const char* what;
        DWORD size;
        bool nullBuffer;
        DWORD expected;
        const char* contents;  // the buffer's text afterwards, nullptr: untouched
    } rows[] = {
        {"size 0 and no buffer: the size needed", 0, true, 6, nullptr},
        {"size 0: the size needed, nothing written", 0, false, 6, nullptr},
        {"size 1: too small", 1, false, 6, smallBuffer},
        {"one unit short (no room for the terminator)", 5, false, 6, smallBuffer},
        {"exact fit: the length, terminated", 6, false, 5, "value"},
        {"larger buffer: the length", 7, false, 5, "value"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WCHAR buffer[12];
        std::fill(std::begin(buffer), std::end(buffer), kFill);
        SetLastError(kUntouched);
        DWORD got = GetEnvironmentVariableW(TEXT("HBC_PV"), row.nullBuffer ? nullptr : buffer, row.size);
        EXPECT_EQ(row.expected, got);
        EXPECT_EQ(kUntouched, GetLastError());
        if (row.contents) {
            wstr text = W(row.contents);
            EXPECT_EQ(row.contents, U8(buffer));
            // Nothing after the terminator, and nothing past the size.
            for (size_t i = text.size() + 1; i < 12; ++i) EXPECT_EQ(kFill, buffer[i]) << i;
        } else {
            for (size_t i = 0; i < 12; ++i) EXPECT_EQ(kFill, buffer[i]) << i;
        }
    }
}

TEST_F(EnvironmentTest, EmptyValueIsTellableFromMissingOnlyByLastError) {
    ScopedEnvVar empty(TEXT("HBC_EMPTY"), TEXT(""));
    ScopedEnvVar missing(TEXT("HBC_MISSING"), nullptr);
    WCHAR buffer[4] = {kFill, kFill, kFill, kFill};

    // Empty: 0, "" written, last error unchanged (EV-3); size 0 asks for 1.
    SetLastError(kUntouched);
    EXPECT_EQ(0u, GetEnvironmentVariableW(TEXT("HBC_EMPTY"), buffer, 4));
    EXPECT_EQ(kUntouched, GetLastError());
    EXPECT_EQ(0, buffer[0]);
    EXPECT_EQ(kFill, buffer[1]);
    EXPECT_EQ(1u, GetEnvironmentVariableW(TEXT("HBC_EMPTY"), nullptr, 0));

    // Missing: 0, ERROR_ENVVAR_NOT_FOUND, buffer untouched (EV-4).
    std::fill(std::begin(buffer), std::end(buffer), kFill);
    SetLastError(kUntouched);
    EXPECT_EQ(0u, GetEnvironmentVariableW(TEXT("HBC_MISSING"), buffer, 4));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
    EXPECT_EQ(kFill, buffer[0]);
    for (const WCHAR* name : {TEXT(""), static_cast<const WCHAR*>(nullptr)}) {
        SetLastError(kUntouched);
        EXPECT_EQ(0u, GetEnvironmentVariableW(name, nullptr, 0));
        EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
    }
}

TEST_F(EnvironmentTest, NamesMatchIgnoringCaseAndSettingAnotherCaseReplaces) {
    ScopedEnvVar guard(TEXT("HBC_Mixed_Case"), TEXT("first"));
    EXPECT_EQ("first", U8(env(TEXT("hbc_mixed_case"))));
    EXPECT_EQ("first", U8(env(TEXT("HBC_MIXED_CASE"))));

    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("HBC_MIXED_CASE"), TEXT("second")));
    EXPECT_EQ("second", U8(env(TEXT("Hbc_Mixed_Case"))));

    // Deleting through yet another spelling deletes the one variable.
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("hbc_MIXED_case"), nullptr));
    EXPECT_TRUE(isMissing(TEXT("HBC_Mixed_Case")));

    // Beyond ASCII: Windows folds names with its upper-case table.
    ScopedEnvVar umlaut(W("HBC_ÄRGER_Ωμεγα_Жук"), TEXT("x"));
    EXPECT_EQ("x", U8(env(W("hbc_ärger_ΩΜΕΓΑ_жУК"))));
}

TEST_F(EnvironmentTest, ValuesKeepEveryUtf16Unit) {
    struct Row {
        const char* what;
        wstr value;
    } rows[] = {
        {"Latin-1 and a pair of surrogates", W("café 😀")},
        {"an unpaired high surrogate", wstr{TEXT('a'), static_cast<WCHAR>(0xD800), TEXT('b')}},
        {"an unpaired low surrogate at the end", wstr{TEXT('a'), static_cast<WCHAR>(0xDC00)}},
        {"blanks, quotes and separators", W(" \"C:\\a b\";x=y ")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScopedEnvVar guard(TEXT("HBC_UNITS"), row.value);
        EXPECT_TRUE(env(TEXT("HBC_UNITS")) == row.value) << U8(env(TEXT("HBC_UNITS")));
        EXPECT_TRUE(expand(TEXT("%HBC_UNITS%")) == row.value);
    }
}

TEST_F(EnvironmentTest, LongestValueFitsTheLibrarysBuffer) {
    // The library reads every variable with a 32767-unit buffer.
    wstr longest(32766, TEXT('y'));
    ScopedEnvVar guard(TEXT("HBC_LONG"), longest);
    std::vector<WCHAR> buffer(32768, kFill);
    EXPECT_EQ(32767u, GetEnvironmentVariableW(TEXT("HBC_LONG"), nullptr, 0));
    EXPECT_EQ(32766u, GetEnvironmentVariableW(TEXT("HBC_LONG"), buffer.data(), 32767));
    EXPECT_TRUE(wstr(buffer.data()) == longest);
    EXPECT_EQ(kFill, buffer[32767]);
}

// --- SetEnvironmentVariableW -------------------------------------------------

TEST_F(EnvironmentTest, SetRefusesInvalidNamesAndChangesNothing) {
    ScopedEnvVar a(TEXT("HBC_A"), nullptr);
    struct Row {
        const char* what;
        const WCHAR* name;
        DWORD error;
    } rows[] = {
        {"empty name", TEXT(""), ERROR_INVALID_PARAMETER},
        {"'=' after the first character", TEXT("HBC_A=B"), ERROR_INVALID_PARAMETER},
        {"'=' twice from the start", TEXT("=="), ERROR_INVALID_PARAMETER},
        {"null name", nullptr, ERROR_ENVVAR_NOT_FOUND},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        for (const WCHAR* value : {TEXT("v"), static_cast<const WCHAR*>(nullptr)}) {
            SetLastError(kUntouched);
            EXPECT_FALSE(SetEnvironmentVariableW(row.name, value));
            EXPECT_EQ(row.error, GetLastError());
        }
    }
    EXPECT_TRUE(isMissing(TEXT("HBC_A")));
    EXPECT_TRUE(isMissing(TEXT("HBC_A=B")));
}

TEST_F(EnvironmentTest, DeletingAMissingVariableSucceeds) {
    ScopedEnvVar gone(TEXT("HBC_GONE"), nullptr);
    SetLastError(kUntouched);
    EXPECT_TRUE(SetEnvironmentVariableW(TEXT("HBC_GONE"), nullptr));
    EXPECT_TRUE(isMissing(TEXT("HBC_GONE")));
}

TEST_F(EnvironmentTest, NamesMayBeginWithEquals) {
    ScopedEnvVar eq(TEXT("=HBC_EQ"), TEXT("eq"));
    ScopedEnvVar bare(TEXT("="), TEXT("bare"));
    EXPECT_EQ("eq", U8(env(TEXT("=hbc_eq"))));
    EXPECT_EQ("bare", U8(env(TEXT("="))));
    EXPECT_EQ("[eq][bare]", U8(expand(TEXT("[%=HBC_EQ%][%=%]"))));
}

TEST_F(EnvironmentTest, OverlongValueIsRefusedWhole) {
    // Windows keeps at most 32767 units per variable. Wine cuts a longer value
    // to 32766 units and reports success; win32_posix refuses it, so that no
    // text is silently lost (the refusal code follows Windows'
    // RtlInitUnicodeStringEx, not verified on Windows).
    ScopedEnvVar guard(TEXT("HBC_OVERLONG"), TEXT("before"));
    wstr overlong(40000, TEXT('z'));
    SetLastError(kUntouched);
    BOOL ok = SetEnvironmentVariableW(TEXT("HBC_OVERLONG"), overlong.c_str());
    const DWORD error = GetLastError();
    const char* const kWineCuts = "Wine cuts an overlong value to 32766 units and accepts it";
    EXPECT_EQ(expectOnHost<BOOL>(kWineCuts, FALSE, TRUE), ok);
    EXPECT_EQ(expectOnHost<DWORD>(kWineCuts, ERROR_FILENAME_EXCED_RANGE, kUntouched), error);
    EXPECT_EQ(expectOnHost<std::string>(kWineCuts, "before", std::string(32766, 'z')),
              U8(env(TEXT("HBC_OVERLONG"))));
}

TEST_F(EnvironmentTest, ConcurrentChangesKeepEachThreadsVariable) {
    const int kThreads = 4;
    const int kRounds = 300;
    std::vector<std::unique_ptr<ScopedEnvVar>> guards;
    for (int t = 0; t < kThreads; ++t)
        guards.push_back(std::make_unique<ScopedEnvVar>(W("HBC_THREAD_" + std::to_string(t)), nullptr));
    std::vector<int> mismatches(kThreads, 0);
    // No test assertion inside the threads: they only count what went wrong.
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &mismatches] {
            const wstr name = W("HBC_THREAD_" + std::to_string(t));
            for (int round = 0; round < kRounds; ++round) {
                const wstr value = W(std::to_string(t) + ":" + std::to_string(round));
                SetEnvironmentVariableW(name.c_str(), value.c_str());
                WCHAR buffer[32] = {0};
                DWORD length = GetEnvironmentVariableW(name.c_str(), buffer, 32);
                if (wstr(buffer, length < 32 ? length : 0) != value) ++mismatches[t];
                const wstr reference = TEXT("%") + name + TEXT("%");
                WCHAR expanded[32] = {0};
                if (ExpandEnvironmentStringsW(reference.c_str(), expanded, 32) != value.size() + 1 ||
                    wstr(expanded) != value) {
                    ++mismatches[t];
                }
                if (round % 2) SetEnvironmentVariableW(name.c_str(), nullptr);
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t) EXPECT_EQ(0, mismatches[t]) << "thread " << t;
}

// --- ExpandEnvironmentStringsW -----------------------------------------------

TEST_F(EnvironmentTest, ExpandFollowsWindowsRules) {
    ScopedEnvVar pv(TEXT("HBC_PV"), TEXT("value"));
    ScopedEnvVar empty(TEXT("HBC_EMPTY"), TEXT(""));
    ScopedEnvVar nested(TEXT("HBC_NESTED"), TEXT("%HBC_PV%"));
    ScopedEnvVar blank(TEXT("HBC SP ACE"), TEXT("sp"));
    ScopedEnvVar undefined(TEXT("HBC_UNDEFINED"), nullptr);
    // Wine sets ERROR_INSUFFICIENT_BUFFER when asked for the size with no
    // buffer; Windows leaves the last error alone (EX-7, section 7 item 12).
    const DWORD sizeQueryError = expectOnHost<DWORD>(
        "Wine sets ERROR_INSUFFICIENT_BUFFER on a size query", kUntouched, ERROR_INSUFFICIENT_BUFFER);
    struct Row {
        const char* source;
        const char* expected;
        const char* why;
    } rows[] = {
        {"abc", "abc", "plain text"},
        {"", "", "empty text: the terminator only"},
        {"%HBC_PV%", "value", "a variable"},
        {"x%HBC_PV%y", "xvaluey", "a variable inside text"},
        {"%hbc_pv%", "value", "names match ignoring case"},
        {"%HBC SP ACE%", "sp", "names may hold blanks"},
        {"%HBC_UNDEFINED%", "%HBC_UNDEFINED%", "an unknown name stays, signs and all"},
        {"a%HBC_UNDEFINED%b%HBC_PV%", "a%HBC_UNDEFINED%bvalue", "unknown, then known"},
        {"%", "%", "a lone %"},
        {"%%", "%%", "an empty name stays"},
        {"%%%", "%%%", "an empty name and a lone %"},
        {"50%", "50%", "a % at the end"},
        {"%HBC_PV", "%HBC_PV", "no closing %"},
        {"%%HBC_PV%%", "%%HBC_PV%%", "signs pair left to right: %% HBC_PV %%"},
        {"100% sure %HBC_PV%", "100% sure %HBC_PV%", "'% sure %' is taken as a name"},
        {"%HBC_PV%HBC_PV%", "valueHBC_PV%", "the closing % opens nothing"},
        {"%HBC_PV%%HBC_PV%", "valuevalue", "two variables side by side"},
        {"%HBC_NESTED%", "%HBC_PV%", "values are not expanded again"},
        {"%HBC_EMPTY%x", "x", "an empty variable expands to nothing"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.source) + " (" + row.why + ")");
        wstr source = W(row.source);
        wstr expected = W(row.expected);
        const DWORD needed = static_cast<DWORD>(expected.size() + 1);

        SetLastError(kUntouched);
        EXPECT_EQ(needed, ExpandEnvironmentStringsW(source.c_str(), nullptr, 0));
        EXPECT_EQ(sizeQueryError, GetLastError());

        std::vector<WCHAR> buffer(needed + 2, kFill);
        SetLastError(kUntouched);
        EXPECT_EQ(needed, ExpandEnvironmentStringsW(source.c_str(), buffer.data(), needed));
        EXPECT_EQ(kUntouched, GetLastError());
        EXPECT_EQ(row.expected, U8(buffer.data()));
        EXPECT_EQ(kFill, buffer[needed]) << "written past the size";
    }
}

TEST_F(EnvironmentTest, ExpandNullSourceIsEmptyText) {
    WCHAR buffer[2] = {kFill, kFill};
    EXPECT_EQ(1u, ExpandEnvironmentStringsW(nullptr, buffer, 2));
    EXPECT_EQ(0, buffer[0]);
    // A null buffer with a size is only asked for the size.
    EXPECT_EQ(4u, ExpandEnvironmentStringsW(TEXT("abc"), nullptr, 10));
}

TEST_F(EnvironmentTest, ExpandIntoSmallBuffer) {
    // Windows' own table (Wine's environ.c conformance test, the later revision
    // with ExpandEnvironmentStringsW rows): literal text goes in up to size - 1
    // units without a terminator; a value goes in whole with its terminator,
    // or leaves a terminator where it would start. The last error is left
    // alone. Wine instead writes the first size - 1 units of the result, ends
    // them with a terminator and sets ERROR_INSUFFICIENT_BUFFER (EX-7,
    // section 7 item 12).
    ScopedEnvVar tvar(TEXT("TVAR"), TEXT("WINE"));
    ScopedEnvVar tvar2(TEXT("TVAR2"), nullptr);
    const char* const kInitial = "abcdefghijklmnopqrstuv";
    struct Row {
        const char* source;
        DWORD size;
        const char* windows;  // the buffer's text afterwards on Windows
        DWORD needed;
    } rows[] = {
        {"Long long value", 0, "abcdefghijklmnopqrstuv", 16},   // nothing written
        {"Long long value", 1, "abcdefghijklmnopqrstuv", 16},   // room for no text
        {"Long long value", 2, "Lbcdefghijklmnopqrstuv", 16},   // one unit, no terminator
        {"Long long value", 15, "Long long valuopqrstuv", 16},  // one unit short
        {"Long long value", 16, "Long long value", 16},         // exact fit
        {"Long long value", 17, "Long long value", 16},
        {"%TVAR% long long", 1, "", 15},                        // value does not fit: ""
        {"%TVAR% long long", 4, "", 15},                        // value fits but not its terminator
        {"%TVAR% long long", 5, "WINE", 15},                    // value and terminator
        {"%TVAR% long long", 6, "WINE fghijklmnopqrstuv", 15},  // text overwrites the terminator
        {"%TVAR% long long", 7, "WINE lghijklmnopqrstuv", 15},
        {"%TVAR% long long", 15, "WINE long long", 15},
        {"%TVAR%%TVAR% long", 4, "", 14},
        {"%TVAR%%TVAR% long", 5, "WINE", 14},                   // second value does not fit
        {"%TVAR%%TVAR% long", 8, "WINE", 14},
        {"%TVAR%%TVAR% long", 9, "WINEWINE", 14},
        {"%TVAR%%TVAR% long", 10, "WINEWINE jklmnopqrstuv", 14},
        {"%TVAR%%TVAR% long", 14, "WINEWINE long", 14},
        {"%TVAR% %TVAR% long", 6, "WINE ", 15},                 // terminator where the value starts
        {"%TVAR% %TVAR% long", 9, "WINE ", 15},
        {"%TVAR% %TVAR% long", 10, "WINE WINE", 15},
        {"%TVAR% %TVAR% long", 14, "WINE WINE lonnopqrstuv", 15},
        {"%TVAR% %TVAR% long", 15, "WINE WINE long", 15},
        {"%TVAR2% long long", 1, "abcdefghijklmnopqrstuv", 18},  // an unknown name is literal text
        {"%TVAR2% long long", 2, "%bcdefghijklmnopqrstuv", 18},
        {"%TVAR2% long long", 8, "%TVAR2%hijklmnopqrstuv", 18},
        {"%TVAR2% long long", 18, "%TVAR2% long long", 18},
        {"%TVAR long long", 3, "%Tcdefghijklmnopqrstuv", 16},   // an unpaired % is literal text
        {"%TVAR long long", 16, "%TVAR long long", 16},
    };
    const char* const kWineTerminatesPrefix =
        "Wine writes a terminated prefix into a small buffer and sets ERROR_INSUFFICIENT_BUFFER";
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.source) + " size " + std::to_string(row.size));
        wstr source = W(row.source);
        WCHAR buffer[26];
        std::fill(std::begin(buffer), std::end(buffer), kFill);
        wstr initial = W(kInitial);
        std::copy(initial.begin(), initial.end(), buffer);
        buffer[initial.size()] = 0;

        SetLastError(kUntouched);
        EXPECT_EQ(row.needed, ExpandEnvironmentStringsW(source.c_str(), buffer, row.size));
        const DWORD error = GetLastError();
        if (row.needed <= row.size) {
            EXPECT_EQ(row.windows, U8(buffer));
            EXPECT_EQ(kUntouched, error);
        } else {
            // Wine's prefix: the first size - 1 units of the whole result.
            std::string winePrefix =
                row.size > 0 ? U8(expand(source)).substr(0, row.size - 1) : std::string(kInitial);
            EXPECT_EQ(expectOnHost<std::string>(kWineTerminatesPrefix, row.windows, winePrefix),
                      U8(buffer));
            EXPECT_EQ(expectOnHost<DWORD>(kWineTerminatesPrefix, kUntouched,
                                          ERROR_INSUFFICIENT_BUFFER),
                      error);
        }
        for (size_t i = initial.size() + 1; i < 26; ++i) EXPECT_EQ(kFill, buffer[i]) << i;
    }
}

TEST_F(EnvironmentTest, ExpandTheLibrarysTwoCallProtocol) {
    // Size first, then a buffer of exactly that size: the same count back.
    const wstr source = TEXT("%SystemDrive%\\Apps\\");
    DWORD needed = ExpandEnvironmentStringsW(source.c_str(), nullptr, 0);
    std::vector<WCHAR> buffer(needed + 1, kFill);
    ASSERT_EQ(needed, ExpandEnvironmentStringsW(source.c_str(), buffer.data(), needed));
    EXPECT_SAME_PATH(wstr(TEXT("C:\\Apps\\")), wstr(buffer.data()));
    EXPECT_EQ(kFill, buffer[needed]);
}

// --- Windows' usual variables and the Windows directory ----------------------

TEST_F(EnvironmentTest, UsualVariablesHaveWindowsValues) {
    const wstr drive = env(TEXT("SystemDrive"));
    const wstr windowsDir = env(TEXT("SystemRoot"));
    EXPECT_SAME_PATH(wstr(TEXT("C:")), drive);
    EXPECT_SAME_PATH(wstr(TEXT("C:\\Windows")), windowsDir);
    EXPECT_SAME_PATH(windowsDir, env(TEXT("windir")));
    EXPECT_SAME_PATH(windowsDir + TEXT("\\system32\\cmd.exe"), env(TEXT("ComSpec")));
    EXPECT_EQ("Windows_NT", U8(env(TEXT("OS"))));
    EXPECT_NE(std::string::npos, U8(upper(env(TEXT("PATHEXT")))).find(".EXE"));

    // Program folders: "C:\Program Files" or, for a 32-bit process on 64-bit
    // Windows, "C:\Program Files (x86)".
    const wstr programFiles = env(TEXT("ProgramFiles"));
    EXPECT_EQ(0u, upper(programFiles).find(TEXT("C:\\PROGRAM FILES"))) << U8(programFiles);
    EXPECT_SAME_PATH(programFiles + TEXT("\\Common Files"), env(TEXT("CommonProgramFiles")));
    EXPECT_SAME_PATH(drive + TEXT("\\ProgramData"), env(TEXT("ProgramData")));
    EXPECT_SAME_PATH(drive + TEXT("\\ProgramData"), env(TEXT("ALLUSERSPROFILE")));
    EXPECT_SAME_PATH(drive + TEXT("\\Users\\Public"), env(TEXT("PUBLIC")));

    // The user's folders hang together.
    const wstr user = env(TEXT("USERNAME"));
    const wstr profile = env(TEXT("USERPROFILE"));
    EXPECT_FALSE(user.empty());
    EXPECT_SAME_PATH(drive + TEXT("\\Users\\") + user, profile);
    EXPECT_SAME_PATH(drive, env(TEXT("HOMEDRIVE")));
    EXPECT_SAME_PATH(profile, env(TEXT("HOMEDRIVE")) + env(TEXT("HOMEPATH")));
    EXPECT_SAME_PATH(profile + TEXT("\\AppData\\Roaming"), env(TEXT("APPDATA")));
    EXPECT_SAME_PATH(profile + TEXT("\\AppData\\Local"), env(TEXT("LOCALAPPDATA")));

    const wstr temp = env(TEXT("TEMP"));
    EXPECT_SAME_PATH(temp, env(TEXT("TMP")));
    ASSERT_GE(temp.size(), 3u);
    EXPECT_EQ(TEXT(':'), temp[1]) << U8(temp);
    EXPECT_EQ(TEXT('\\'), temp[2]) << U8(temp);

    EXPECT_FALSE(env(TEXT("COMPUTERNAME")).empty());
    const std::string processors = U8(env(TEXT("NUMBER_OF_PROCESSORS")));
    EXPECT_GT(std::atoi(processors.c_str()), 0) << processors;
    const std::string arch = U8(env(TEXT("PROCESSOR_ARCHITECTURE")));
    EXPECT_TRUE(arch == "x86" || arch == "AMD64" || arch == "ARM64") << arch;
}

TEST_F(EnvironmentTest, WindowsDirectorySizesAndValue) {
    WCHAR dir[MAX_PATH];
    const UINT length = GetWindowsDirectoryW(dir, MAX_PATH);
    ASSERT_GT(length, 0u);
    EXPECT_SAME_PATH(wstr(TEXT("C:\\Windows")), wstr(dir));
    EXPECT_SAME_PATH(env(TEXT("SystemRoot")), wstr(dir));
    EXPECT_SAME_PATH(wstr(dir), expand(TEXT("%SystemRoot%")));

    struct Row {
        const char* what;
        UINT size;
        bool nullBuffer;
        UINT expected;
        bool written;
    } rows[] = {
        {"no buffer: the size needed", 0, true, length + 1, false},
        {"size 0", 0, false, length + 1, false},
        {"one unit short: untouched", length, false, length + 1, false},
        {"exact fit: the length", length + 1, false, length, true},
        {"larger: the length", length + 2, false, length, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        WCHAR buffer[MAX_PATH + 2];
        std::fill(std::begin(buffer), std::end(buffer), kFill);
        SetLastError(kUntouched);
        EXPECT_EQ(row.expected, GetWindowsDirectoryW(row.nullBuffer ? nullptr : buffer, row.size));
        EXPECT_EQ(kUntouched, GetLastError());
        if (row.written) {
            EXPECT_EQ(U8(dir), U8(buffer));
        } else {
            EXPECT_EQ(kFill, buffer[0]);
        }
        EXPECT_EQ(kFill, buffer[length + 1]) << "written past the terminator";
    }
}

TEST_F(EnvironmentTest, WindowsDirectoryFollowsSystemRootOnlyInTheStandIn) {
    // A deliberate difference, not a Wine one: Windows fixes its directory
    // when the process starts, while win32_posix reads SystemRoot at every
    // call, so that a process (a test, say) can put the Windows directory,
    // where bare INI file names are looked up, in a folder of its own.
    WCHAR before[MAX_PATH];
    GetWindowsDirectoryW(before, MAX_PATH);
    const wstr elsewhere = folder() + TEXT("\\Win\\");
    ScopedEnvVar guard(TEXT("SystemRoot"), elsewhere);
    WCHAR after[MAX_PATH];
    GetWindowsDirectoryW(after, MAX_PATH);
    if (kStandIn) {
        EXPECT_EQ(U8(folder() + TEXT("\\Win")), U8(after));  // trailing separators dropped
    } else {
        EXPECT_EQ(U8(before), U8(after));
    }
}

}  // namespace
