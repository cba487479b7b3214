// version_library_test.cpp - GetVersionExW (the two record sizes, a wrong
// size refused, the fields of the version reported) and loading modules at
// run time (LoadLibraryW, GetProcAddress, FreeLibrary). The same source runs
// over win32_posix and under Wine.
#include "hbc_test.h"

#include <cstring>
#include <string>

namespace {

const DWORD kSentinel = 0xdeadbeef;
const unsigned char kFill = 0xAB;

// A version record filled with kFill, with room past the larger record.
struct VersionBuffer {
    union {
        OSVERSIONINFOEXW ex;
        unsigned char bytes[300];
    };
    explicit VersionBuffer(DWORD size) {
        std::memset(bytes, kFill, sizeof bytes);
        ex.dwOSVersionInfoSize = size;
    }
    bool untouchedFrom(size_t offset) const {
        for (size_t i = offset; i < sizeof bytes; ++i)
            if (bytes[i] != kFill) return false;
        return true;
    }
};

TEST(VersionQuery, OnlyTheTwoRecordSizesAreAccepted) {
    struct Row {
        DWORD size;
        bool accepted;
    } rows[] = {
        {sizeof(OSVERSIONINFOW), true},    // 276
        {sizeof(OSVERSIONINFOEXW), true},  // 284
        {0, false},
        {275, false},
        {277, false},
        {288, false},
        {148, false},  // the A records
        {156, false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE("size " + std::to_string(r.size));
        VersionBuffer buffer(r.size);
        SetLastError(kSentinel);
        EXPECT_EQ(r.accepted, GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&buffer.ex)) != 0);
        EXPECT_EQ(r.size, buffer.ex.dwOSVersionInfoSize) << "the size field is never changed";
        if (r.accepted) {
            EXPECT_NE(kSentinel, buffer.ex.dwMajorVersion);
            // The EX fields only in the larger record.
            EXPECT_TRUE(buffer.untouchedFrom(r.size));
            EXPECT_EQ(r.size == sizeof(OSVERSIONINFOW), buffer.untouchedFrom(276));
        } else {
            EXPECT_EQ(expectOnHost<DWORD>("GetVersionExW with a wrong size: Windows sets "
                                          "ERROR_INSUFFICIENT_BUFFER, Wine's W function leaves "
                                          "the last error alone",
                                          ERROR_INSUFFICIENT_BUFFER, kSentinel),
                      GetLastError());
            EXPECT_TRUE(buffer.untouchedFrom(sizeof(DWORD))) << "nothing written";
        }
    }
}

TEST(VersionQuery, FieldsAreThoseOfOneWindowsVersion) {
    VersionBuffer buffer(sizeof(OSVERSIONINFOEXW));
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&buffer.ex)));
    const OSVERSIONINFOEXW& v = buffer.ex;
    const std::string version = std::to_string(v.dwMajorVersion) + "." +
                                std::to_string(v.dwMinorVersion) + "." +
                                std::to_string(v.dwBuildNumber);
    EXPECT_EQ(expectOnHost<std::string>(
                  "the version reported: win32_posix's default (WIN32_POSIX_VERSION unset) is "
                  "Windows 10 22H2; the tests' Wine prefix is Windows 7 SP1",
                  "10.0.19045", "6.1.7601"),
              version);
    EXPECT_EQ(static_cast<DWORD>(VER_PLATFORM_WIN32_NT), v.dwPlatformId);
    EXPECT_EQ(VER_NT_WORKSTATION, v.wProductType);
    EXPECT_EQ(0, v.wServicePackMinor);
    const std::string servicePack =
        v.wServicePackMajor ? "Service Pack " + std::to_string(v.wServicePackMajor) : "";
    EXPECT_EQ(servicePack, U8(v.szCSDVersion));
}

// ---------------------------------------------------------------------------
// LoadLibraryW, GetProcAddress, FreeLibrary

// The module that holds the Win32 functions, which every test program has
// loaded: the system's kernel32 on Windows, the stand-in's own library
// natively (dlopen finds a loaded library by its name).
#ifdef _WIN32
const WCHAR* const kSystemModule = TEXT("kernel32.dll");
#else
const WCHAR* const kSystemModule = TEXT("libwin32_posix.so");
#endif

typedef DWORD(WINAPI* GetLastErrorFunction)();

class LibraryTest : public HbcTest {};

TEST_F(LibraryTest, LoadsAreCountedAndExportsFoundByName) {
    SetLastError(kSentinel);
    HMODULE module = LoadLibraryW(kSystemModule);
    ASSERT_NE(nullptr, module);
    // By its full Windows path too, and every load gives the same handle.
    WCHAR path[MAX_PATH];
    ASSERT_GT(GetModuleFileNameW(module, path, MAX_PATH), 0u);
    EXPECT_EQ(module, LoadLibraryW(path)) << U8(path);

    FARPROC found = GetProcAddress(module, "GetLastError");
    ASSERT_NE(nullptr, found);
    SetLastError(1234);
    // Through void (*)(), the generic function pointer type, to its own type.
    auto getLastError = reinterpret_cast<GetLastErrorFunction>(reinterpret_cast<void (*)()>(found));
    EXPECT_EQ(1234u, getLastError()) << "the real function";

    SetLastError(kSentinel);
    EXPECT_EQ(nullptr, GetProcAddress(module, "HbcNoSuchExport"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    // The program exports no such function (its libraries' exports are theirs).
    SetLastError(kSentinel);
    EXPECT_EQ(nullptr, GetProcAddress(nullptr, "GetLastError"));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PROC_NOT_FOUND), GetLastError());
    // Ordinal 1: DLLs number their exports.
    SetLastError(kSentinel);
    EXPECT_EQ(expectOnHost("ordinals: a Windows DLL numbers its exports; shared objects have "
                           "no ordinals, so win32_posix finds none",
                           false, true),
              GetProcAddress(module, MAKEINTRESOURCEA(1)) != nullptr);

    // One FreeLibrary for each load; a module the program imports stays.
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(found, GetProcAddress(module, "GetLastError"));
}

TEST_F(LibraryTest, MissingAndForeignModulesAreRefused) {
    writeBytes(fsPath("text.dll"), "not a module");
    struct Row {
        wstr name;
        DWORD error;
    } rows[] = {
        {TEXT("hbc_no_such_module.dll"), ERROR_MOD_NOT_FOUND},
        {winPath("none.dll"), ERROR_MOD_NOT_FOUND},
        {winPath("nosuch\\none.dll"), ERROR_MOD_NOT_FOUND},
        {winPath("text.dll"), ERROR_BAD_EXE_FORMAT},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(U8(r.name));
        SetLastError(kSentinel);
        EXPECT_EQ(nullptr, LoadLibraryW(r.name.c_str()));
        EXPECT_EQ(r.error, GetLastError());
    }
    SetLastError(kSentinel);
    EXPECT_EQ(nullptr, LoadLibraryW(nullptr));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_PARAMETER), GetLastError());

    static int notAModule;
    SetLastError(kSentinel);
    EXPECT_FALSE(FreeLibrary(reinterpret_cast<HMODULE>(&notAModule)));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

// The shell's operating system query (IsOS, ordinal 437 of shlwapi.dll), which
// the library asks when it starts.
TEST_F(LibraryTest, ShellLibraryOnlyWhereWindowsHasOne) {
    SetLastError(kSentinel);
    HMODULE shell = LoadLibraryW(TEXT("shlwapi.dll"));
    EXPECT_EQ(expectOnHost("the shell library: Wine has shlwapi.dll, as Windows does, with IsOS "
                           "at ordinal 437; win32_posix has no shell library",
                           false, true),
              shell != nullptr);
    if (!shell) {
        EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
        return;
    }
    EXPECT_NE(nullptr, GetProcAddress(shell, MAKEINTRESOURCEA(437)));
    EXPECT_TRUE(FreeLibrary(shell));
}

}  // namespace
