// environment_posix_test.cpp - what only the POSIX build has: the table of
// Windows' usual variables, and the variable store's ties to the POSIX
// environment (child processes see changes, spellings, names and values the
// POSIX environment cannot hold).
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstring>

#include <map>
#include <string>

#include "env_defaults.h"
#include "hbc_test.h"
#include "win32_posix/paths.h"

namespace {

using w32p::wstring;
using w32p::wstring_view;

std::string u8(const wstring& text) { return w32p::toUtf8(text); }

w32p::HostFacts sampleFacts() {
    w32p::HostFacts facts;
    facts.userName = u"ada";
    facts.hostName = u"build-07.example.org";
    facts.processors = 8;
    facts.tempFolder = u"C:\\tmp";
    facts.process64 = true;
    facts.architecture = u"AMD64";
    return facts;
}

// The table as a map, for a process that already has `present`.
std::map<std::string, std::string> table(const w32p::HostFacts& facts,
                                         const std::map<std::u16string, std::u16string>& present) {
    auto lookup = [&](wstring_view name, wstring& value) {
        for (const auto& p : present) {
            if (w32p::equalsNoCase(p.first, name)) {
                value = p.second;
                return true;
            }
        }
        return false;
    };
    std::map<std::string, std::string> out;
    for (const auto& row : w32p::defaultVariables(facts, lookup)) {
        EXPECT_TRUE(out.emplace(u8(row.first), u8(row.second)).second) << "twice: " << u8(row.first);
    }
    return out;
}

TEST(EnvDefaults, FreshProcessGetsWindowsValues) {
    auto t = table(sampleFacts(), {});
    struct Row {
        const char* name;
        const char* value;
    } rows[] = {
        {"SystemDrive", "C:"},
        {"SystemRoot", "C:\\Windows"},
        {"windir", "C:\\Windows"},
        {"ComSpec", "C:\\Windows\\system32\\cmd.exe"},
        {"ProgramFiles", "C:\\Program Files"},
        {"ProgramFiles(x86)", "C:\\Program Files (x86)"},  // a 64-bit process
        {"CommonProgramFiles(x86)", "C:\\Program Files (x86)\\Common Files"},
        {"ProgramW6432", "C:\\Program Files"},
        {"ProgramData", "C:\\ProgramData"},
        {"USERPROFILE", "C:\\Users\\ada"},
        {"HOMEPATH", "\\Users\\ada"},
        {"APPDATA", "C:\\Users\\ada\\AppData\\Roaming"},
        {"TEMP", "C:\\tmp"},  // the POSIX temporary folder, a real folder
        {"TMP", "C:\\tmp"},
        {"COMPUTERNAME", "BUILD-07"},  // the host name before its first dot, upper case
        {"USERDOMAIN", "BUILD-07"},
        {"NUMBER_OF_PROCESSORS", "8"},
        {"PROCESSOR_ARCHITECTURE", "AMD64"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.value, t[row.name]);
    }
    EXPECT_EQ(0u, t.count("PATH")) << "PATH stays the POSIX host's";
}

TEST(EnvDefaults, TableAgreesWithWhatTheProcessHas) {
    struct Row {
        const char* what;
        std::map<std::u16string, std::u16string> present;
        const char* name;
        const char* value;
    } rows[] = {
        {"SystemRoot on another drive moves the drive", {{u"SYSTEMROOT", u"D:\\Win\\"}}, "SystemDrive", "D:"},
        {"windir follows SystemRoot, without its trailing separator", {{u"SystemRoot", u"D:\\Win\\"}}, "windir", "D:\\Win"},
        {"program folders follow the drive", {{u"SystemRoot", u"D:\\Win"}}, "ProgramFiles", "D:\\Program Files"},
        {"ComSpec follows SystemRoot", {{u"SystemRoot", u"D:\\Win"}}, "ComSpec", "D:\\Win\\system32\\cmd.exe"},
        {"SystemDrive alone places the Windows directory", {{u"SystemDrive", u"E:"}}, "SystemRoot", "E:\\Windows"},
        {"windir stands in for a missing SystemRoot", {{u"windir", u"F:\\W"}}, "SystemRoot", "F:\\W"},
        {"a SystemRoot that is no folder is ignored", {{u"SystemRoot", u"Windows"}}, "SystemRoot", "C:\\Windows"},
        {"an existing USERNAME names the profile", {{u"USERNAME", u"grace"}}, "USERPROFILE", "C:\\Users\\grace"},
        {"TMP follows an existing TEMP", {{u"TEMP", u"/var/tmp"}}, "TMP", "/var/tmp"},
        {"TEMP follows an existing TMP", {{u"TMP", u"C:\\T"}}, "TEMP", "C:\\T"},
        {"COMPUTERNAME names USERDOMAIN", {{u"COMPUTERNAME", u"BOX"}}, "USERDOMAIN", "BOX"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.value, table(sampleFacts(), row.present)[row.name]);
    }
}

TEST(EnvDefaults, FactsThatAreMissingOrNarrow) {
    w32p::HostFacts facts = sampleFacts();
    facts.process64 = false;
    facts.architecture = u"x86";
    facts.tempFolder.clear();
    facts.userName.clear();
    auto t = table(facts, {});
    EXPECT_EQ(0u, t.count("ProgramFiles(x86)")) << "32-bit Windows has no (x86) folders";
    EXPECT_EQ(0u, t.count("ProgramW6432"));
    EXPECT_EQ("C:\\Program Files", t["ProgramFiles"]);
    EXPECT_EQ("C:\\Windows\\Temp", t["TEMP"]);
    EXPECT_EQ("user", t["USERNAME"]);
}

TEST(EnvDefaults, ComputerAndWindowsDirectoryNames) {
    struct Row {
        const char* input;
        const char* expected;
    } computers[] = {
        {"build-07.example.org", "BUILD-07"},
        {"averyveryverylonghostname", "AVERYVERYVERYLO"},  // 15 characters at most
        {"", "WINHOST"},
        {".local", "WINHOST"},
    };
    for (const Row& row : computers) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(row.expected, u8(w32p::computerNameFrom(w32p::fromUtf8(row.input))));
    }
    Row dirs[] = {
        {"C:\\Windows", "C:\\Windows"},
        {"d:/win//", "d:/win"},   // trailing separators go
        {"C:\\", "C:\\"},         // a drive's root keeps its separator
        {"\\Win\\", "\\Win"},     // rooted on the current drive
        {"/srv/win", "/srv/win"},
        {"Windows", ""},          // relative: no folder
        {"C:", ""},               // drive-relative
        {"C:Windows", ""},
        {"\\\\server\\share", ""},  // network names are not reachable
        {"", ""},
    };
    for (const Row& row : dirs) {
        SCOPED_TRACE(row.input);
        EXPECT_EQ(row.expected, u8(w32p::windowsDirectoryFrom(w32p::fromUtf8(row.input))));
    }
}

// --- the store and the POSIX environment ------------------------------------

// Removes POSIX variables set directly by a test, whatever happens.
struct PosixUnset {
    std::vector<std::string> names;
    ~PosixUnset() {
        for (const std::string& name : names) ::unsetenv(name.c_str());
    }
};

wstr winValue(const wstr& name) {
    std::vector<WCHAR> buffer(256, 0);
    DWORD length = GetEnvironmentVariableW(name.c_str(), buffer.data(), 256);
    return length < 256 ? wstr(buffer.data(), length) : wstr();
}

int countPosixEntries(const std::string& upperName) {
    int count = 0;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        std::string name = entry.substr(0, entry.find('='));
        for (char& c : name) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
        if (name == upperName) ++count;
    }
    return count;
}

TEST(EnvironmentStore, ChangesReachThePosixEnvironment) {
    {
        ScopedEnvVar guard(TEXT("HBC_CHILD"), W("välue"));
        const char* seen = ::getenv("HBC_CHILD");
        ASSERT_NE(nullptr, seen);
        EXPECT_EQ("välue", std::string(seen));
        ASSERT_TRUE(SetEnvironmentVariableW(TEXT("hbc_child"), nullptr));
        EXPECT_EQ(nullptr, ::getenv("HBC_CHILD"));
    }
    EXPECT_EQ(nullptr, ::getenv("HBC_CHILD"));
}

TEST(EnvironmentStore, ExistingSpellingIsKeptSoPosixLookupsStillWork) {
    PosixUnset cleanup{{"Hbc_Spelled"}};
    ::setenv("Hbc_Spelled", "a", 1);
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("HBC_SPELLED"), TEXT("b")));
    ASSERT_NE(nullptr, ::getenv("Hbc_Spelled"));
    EXPECT_STREQ("b", ::getenv("Hbc_Spelled"));
    EXPECT_EQ(nullptr, ::getenv("HBC_SPELLED"));
    EXPECT_EQ("b", U8(winValue(TEXT("hbc_spelled"))));
}

TEST(EnvironmentStore, EntriesDifferingOnlyInCaseBecomeOneVariable) {
    PosixUnset cleanup{{"hbc_dup", "HBC_DUP", "Hbc_Dup"}};
    ::setenv("hbc_dup", "1", 1);
    ::setenv("HBC_DUP", "2", 1);
    // The exact spelling is preferred when reading.
    EXPECT_EQ("2", U8(winValue(TEXT("HBC_DUP"))));
    EXPECT_EQ("1", U8(winValue(TEXT("hbc_dup"))));

    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("Hbc_Dup"), TEXT("3")));
    EXPECT_EQ(1, countPosixEntries("HBC_DUP"));
    EXPECT_EQ("3", U8(winValue(TEXT("HBC_DUP"))));
    EXPECT_EQ("3", U8(winValue(TEXT("hbc_dup"))));

    ::setenv("hbc_dup", "4", 1);  // a second spelling again; deleting removes both
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("HBC_DUP"), nullptr));
    EXPECT_EQ(0, countPosixEntries("HBC_DUP"));
}

TEST(EnvironmentStore, NamesThePosixEnvironmentCannotHoldStayInTheProcess) {
    const wstr lone{TEXT('H'), TEXT('B'), TEXT('C'), static_cast<WCHAR>(0xDC00)};
    ScopedEnvVar eq(TEXT("=HBC_EQ"), TEXT("eq"));
    ScopedEnvVar surrogate(lone, TEXT("s"));
    EXPECT_EQ("eq", U8(winValue(TEXT("=HBC_EQ"))));
    EXPECT_EQ("s", U8(winValue(lone)));
    EXPECT_EQ(0, countPosixEntries(""));
    for (char** e = environ; *e; ++e) EXPECT_EQ(nullptr, std::strstr(*e, "HBC_EQ")) << *e;
    // Another name with an unpaired surrogate is another variable.
    const wstr other{TEXT('H'), TEXT('B'), TEXT('C'), static_cast<WCHAR>(0xDC01)};
    SetLastError(0);
    EXPECT_EQ(0u, GetEnvironmentVariableW(other.c_str(), nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
}

TEST(EnvironmentStore, ValueWithoutUtf8FormReadsBackExactlyUntilChangedElsewhere) {
    const wstr value{TEXT('a'), static_cast<WCHAR>(0xD800), TEXT('b')};
    ScopedEnvVar guard(TEXT("HBC_LONE"), value);
    ASSERT_NE(nullptr, ::getenv("HBC_LONE"));
    EXPECT_STREQ("a\xEF\xBF\xBD" "b", ::getenv("HBC_LONE")) << "children see U+FFFD";
    EXPECT_TRUE(winValue(TEXT("HBC_LONE")) == value);
    ::setenv("HBC_LONE", "changed", 1);
    EXPECT_EQ("changed", U8(winValue(TEXT("HBC_LONE"))));
}

TEST(EnvironmentStore, PosixValuesThatAreNotUtf8ReadAsWindows1252) {
    PosixUnset cleanup{{"HBC_LATIN"}};
    ::setenv("HBC_LATIN", "caf\xE9 \x80", 1);
    EXPECT_EQ("café €", U8(winValue(TEXT("HBC_LATIN"))));
}

TEST(EnvironmentStore, UsualVariablesStayOutOfThePosixEnvironment) {
    // Run with neither OS nor TEMP in the POSIX environment (as under CTest).
    if (::getenv("OS") || ::getenv("TEMP")) GTEST_SKIP() << "the POSIX environment has OS or TEMP";
    EXPECT_EQ("Windows_NT", U8(winValue(TEXT("OS"))));
    const wstr temp = winValue(TEXT("TEMP"));
    ASSERT_FALSE(temp.empty());

    // Changed for a while and put back: the POSIX environment is as it was.
    {
        ScopedEnvVar guard(TEXT("TEMP"), TEXT("C:\\elsewhere"));
        EXPECT_STREQ("C:\\elsewhere", ::getenv("TEMP"));
    }
    EXPECT_EQ(nullptr, ::getenv("TEMP"));
    EXPECT_TRUE(winValue(TEXT("TEMP")) == temp);

    // Deleted, it is missing; set to its usual value, it is back.
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("os"), nullptr));
    SetLastError(0);
    EXPECT_EQ(0u, GetEnvironmentVariableW(TEXT("OS"), nullptr, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_ENVVAR_NOT_FOUND), GetLastError());
    ASSERT_TRUE(SetEnvironmentVariableW(TEXT("OS"), TEXT("Windows_NT")));
    EXPECT_EQ("Windows_NT", U8(winValue(TEXT("os"))));
    EXPECT_EQ(nullptr, ::getenv("OS"));
}

TEST(EnvironmentStore, TempNamesAFolderThatExists) {
    const wstr temp = winValue(TEXT("TEMP"));
    w32p::PosixPath path = w32p::toPosixPath(temp);
    ASSERT_TRUE(path.ok) << U8(temp);
    struct stat st;
    ASSERT_EQ(0, ::stat(path.path.c_str(), &st)) << path.path;
    EXPECT_TRUE(S_ISDIR(st.st_mode)) << path.path;
}

TEST(EnvironmentStore, WindowsDirectoryFromSystemRoot) {
    struct Row {
        const char* what;
        const char* systemRoot;  // nullptr: deleted
        const char* expected;
    } rows[] = {
        {"a drive path, trailing separators dropped", "D:\\Windows\\\\", "D:\\Windows"},
        {"a POSIX folder", "/srv/windows", "/srv/windows"},
        {"no folder: the default", "Windows", "C:\\Windows"},
        {"deleted: the default", nullptr, "C:\\Windows"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ScopedEnvVar guard(TEXT("SystemRoot"), row.systemRoot ? W(row.systemRoot).c_str() : nullptr);
        WCHAR dir[MAX_PATH];
        UINT length = GetWindowsDirectoryW(dir, MAX_PATH);
        EXPECT_EQ(row.expected, U8(wstr(dir, length)));
    }
}

}  // namespace
