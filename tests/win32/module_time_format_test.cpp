// module_time_format_test.cpp - GetModuleFileNameW (the program's and a
// module's path, the buffer rules), GetLocalTime, and wsprintfW (conversions,
// flags, widths and the 1024-character limit).
// The same source runs over win32_posix and under Wine.
#include "hbc_test.h"

#include <cctype>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>

#ifndef _WIN32
#include <dlfcn.h>
#endif

namespace {

const DWORD kSentinel = 0xdeadbeef;
const WCHAR kGuard = 0x55AA;

// ---------------------------------------------------------------------------
// GetModuleFileNameW

std::string lower(std::string s) {
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

TEST(ModuleFileName, ProgramPathIsAFullWindowsPath) {
    WCHAR buffer[600];
    std::fill(std::begin(buffer), std::end(buffer), kGuard);
    DWORD length = GetModuleFileNameW(nullptr, buffer, 600);
    ASSERT_GT(length, 3u);
    ASSERT_LT(length, 600u);
    EXPECT_EQ(0, buffer[length]);
    EXPECT_EQ(kGuard, buffer[length + 1]);
    std::string path = U8(buffer);
    EXPECT_EQ(length, W(path).size());
    // "X:\...\win32_tests[.exe]", with backslashes only.
    EXPECT_TRUE(std::isalpha(static_cast<unsigned char>(path[0]))) << path;
    EXPECT_EQ(":\\", path.substr(1, 2)) << path;
    EXPECT_EQ(std::string::npos, path.find('/')) << path;
    std::string base = lower(path.substr(path.find_last_of('\\') + 1));
    EXPECT_TRUE(base == "win32_tests" || base == "win32_tests.exe") << path;
}

// Vista and later cut the path to nSize - 1 characters and a NUL, return
// nSize and set ERROR_INSUFFICIENT_BUFFER. Wine keeps XP's way: nSize
// characters and no NUL (the error and the count are the same).
TEST(ModuleFileName, SmallBufferCutsThePathAndSaysSo) {
    WCHAR full[600];
    const DWORD length = GetModuleFileNameW(nullptr, full, 600);
    ASSERT_GT(length, 3u);
    for (DWORD size : {DWORD(1), DWORD(5), length - 1, length}) {
        SCOPED_TRACE("buffer of " + std::to_string(size));
        WCHAR buffer[600];
        std::fill(std::begin(buffer), std::end(buffer), kGuard);
        SetLastError(kSentinel);
        EXPECT_EQ(size, GetModuleFileNameW(nullptr, buffer, size));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
        EXPECT_EQ(0, std::memcmp(full, buffer, (size - 1) * sizeof(WCHAR)));
        EXPECT_EQ(expectOnHost<WCHAR>("Wine keeps XP's cut: no NUL in a small buffer", 0,
                                      full[size - 1]),
                  buffer[size - 1]);
        EXPECT_EQ(kGuard, buffer[size]);
    }
    // One more unit fits the whole path.
    WCHAR buffer[600];
    std::fill(std::begin(buffer), std::end(buffer), kGuard);
    EXPECT_EQ(length, GetModuleFileNameW(nullptr, buffer, length + 1));
    EXPECT_EQ(0, buffer[length]);
    // No room at all: nothing written.
    std::fill(std::begin(buffer), std::end(buffer), kGuard);
    SetLastError(kSentinel);
    EXPECT_EQ(0u, GetModuleFileNameW(nullptr, buffer, 0));
    EXPECT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), GetLastError());
    EXPECT_EQ(kGuard, buffer[0]);
}

// How a module handle is obtained differs by host (GetModuleHandleW is not
// part of win32_posix, and a POSIX module has no such name): on Windows the
// system's kernel32, natively the stand-in's own shared library, whose load
// address is the handle, as a DLL's is on Windows.
TEST(ModuleFileName, ModuleHandleGivesTheModulesFile) {
#ifdef _WIN32
    HMODULE module = GetModuleHandleW(L"kernel32.dll");
    const std::string expectedBase = "kernel32.dll";
#else
    Dl_info info;
    ASSERT_NE(0, dladdr(reinterpret_cast<void*>(&GetModuleFileNameW), &info));
    HMODULE module = static_cast<HMODULE>(info.dli_fbase);
    const std::string expectedBase = "libwin32_posix.so";
#endif
    ASSERT_NE(nullptr, module);
    WCHAR buffer[600];
    DWORD length = GetModuleFileNameW(module, buffer, 600);
    ASSERT_GT(length, 0u);
    std::string path = U8(buffer);
    EXPECT_EQ(":\\", path.substr(1, 2)) << path;
    EXPECT_EQ(expectedBase, lower(path.substr(path.find_last_of('\\') + 1))) << path;
#ifndef _WIN32
    // Natively the handle dlopen gives for the library names it too.
    void* opened = dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(nullptr, opened);
    WCHAR again[600];
    EXPECT_EQ(length, GetModuleFileNameW(static_cast<HMODULE>(opened), again, 600));
    EXPECT_EQ(path, U8(again));
    dlclose(opened);
#endif

    // An address that is no module's.
    static int notAModule;
    SetLastError(kSentinel);
    EXPECT_EQ(0u, GetModuleFileNameW(reinterpret_cast<HMODULE>(&notAModule), buffer, 600));
    EXPECT_EQ(static_cast<DWORD>(ERROR_MOD_NOT_FOUND), GetLastError());
}

// ---------------------------------------------------------------------------
// GetLocalTime

// Days since 1970-01-01 of a civil date (proleptic Gregorian).
long long daysFromCivil(long long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long long>(doe) - 719468;
}

long long secondsOf(const SYSTEMTIME& t) {
    return daysFromCivil(t.wYear, t.wMonth, t.wDay) * 86400LL + t.wHour * 3600LL +
           t.wMinute * 60LL + t.wSecond;
}

TEST(LocalTime, FieldsAreConsistentAndAgreeWithTheCLibrary) {
    SYSTEMTIME before, after;
    std::memset(&before, 0xEE, sizeof before);
    std::time_t now = std::time(nullptr);
    GetLocalTime(&before);
    std::tm local = *std::localtime(&now);
    GetLocalTime(&after);

    EXPECT_GE(before.wYear, 2020);
    EXPECT_TRUE(before.wMonth >= 1 && before.wMonth <= 12);
    EXPECT_TRUE(before.wDay >= 1 && before.wDay <= 31);
    EXPECT_LE(before.wHour, 23);
    EXPECT_LE(before.wMinute, 59);
    EXPECT_LE(before.wSecond, 59);
    EXPECT_LE(before.wMilliseconds, 999);
    // The day of the week belongs to the date (1970-01-01 was a Thursday).
    EXPECT_EQ((daysFromCivil(before.wYear, before.wMonth, before.wDay) % 7 + 11) % 7,
              before.wDayOfWeek);
    // The C library's local time, read in between, is the same to a second.
    SYSTEMTIME fromC = {};
    fromC.wYear = static_cast<WORD>(local.tm_year + 1900);
    fromC.wMonth = static_cast<WORD>(local.tm_mon + 1);
    fromC.wDay = static_cast<WORD>(local.tm_mday);
    fromC.wHour = static_cast<WORD>(local.tm_hour);
    fromC.wMinute = static_cast<WORD>(local.tm_min);
    fromC.wSecond = static_cast<WORD>(local.tm_sec);
    EXPECT_LE(secondsOf(before), secondsOf(fromC) + 1);
    EXPECT_GE(secondsOf(after) + 1, secondsOf(fromC));
    EXPECT_LE(secondsOf(before), secondsOf(after));
}

// ---------------------------------------------------------------------------
// wsprintfW

struct FormatRow {
    const char* why;
    std::function<int(WCHAR*)> call;
    std::string expected;
};

std::string pointerText() {
    // %p shows every hex digit of a pointer, in upper case.
    return std::string(2 * sizeof(void*) - 4, '0') + "1234";
}

TEST(Wsprintf, ConversionsFlagsWidthsAndPrecisions) {
    const WCHAR* nullText = nullptr;
    const char* nullNarrow = nullptr;
    const FormatRow rows[] = {
        {"a string", [](WCHAR* b) { return wsprintfW(b, TEXT("[%s]"), TEXT("abc")); }, "[abc]"},
        {"a null string", [&](WCHAR* b) { return wsprintfW(b, TEXT("%s"), nullText); }, "(null)"},
        {"a null string, cut", [&](WCHAR* b) { return wsprintfW(b, TEXT("%.3s"), nullText); },
         "(nu"},
        {"a null narrow string", [&](WCHAR* b) { return wsprintfW(b, TEXT("%hs"), nullNarrow); },
         "(null)"},
        {"string widths and precision",
         [](WCHAR* b) {
             return wsprintfW(b, TEXT("%5s|%-5s|%.2s|%5.1s|%05s"), TEXT("ab"), TEXT("ab"),
                              TEXT("abc"), TEXT("xyz"), TEXT("ab"));
         },
         "   ab|ab   |ab|    x|   ab"},
        {"narrow and wide strings",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%hs %S %ls"), "narrow", "upper", TEXT("wide")); },
         "narrow upper wide"},
        {"characters",
         [](WCHAR* b) {
             return wsprintfW(b, TEXT("%c%lc%hc%C|%3c|%-3c|"), 'A', 'B', 'C', 'D', 'x', 'y');
         },
         "ABCD|  x|y  |"},
        {"signed and unsigned",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%d %i %u"), -5, -6, -7); }, "-5 -6 4294967289"},
        {"hexadecimal",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%x %X %#x %#X"), 255, 255, 255, 255); },
         "ff FF 0xff 0XFF"},
        {"l is 32 bits",
         [](WCHAR* b) {
             return wsprintfW(b, TEXT("%ld %lu %lx"), LONG(-5), DWORD(4000000000u), DWORD(0xabc));
         },
         "-5 4000000000 abc"},
        {"the sign bit",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%u|%d"), 0x80000000u, 0x80000000u); },
         "2147483648|-2147483648"},
        {"number widths",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%5d|%-5d|%05d|%-05d"), 42, 42, 42, 42); },
         "   42|42   |00042|42   "},
        {"number precisions",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%.3d|%8.3d|%-8.3d|%08.3d"), 7, 7, 7, 7); },
         "007|     007|007     |00000007"},
        {"the sign counts in width and precision",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%010ld|%.10d|%5d"), LONG(-1), -42, -3); },
         "-000000001|-000000042|   -3"},
        {"0x is not counted in the width",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%#5x|%#05x|%-#8x|"), 8, 8, 255); },
         "    0x8|0x00008|0xff      |"},
        {"64-bit numbers",
         [](WCHAR* b) {
             return wsprintfW(b, TEXT("%I64d|%I64X|%I64u|%I32d"), (long long)543210 * 1000000,
                              (unsigned long long)-0x12345, (unsigned long long)-123, -3);
         },
         "543210000000|FFFFFFFFFFFEDCBB|18446744073709551493|-3"},
        {"a pointer",
         [](WCHAR* b) { return wsprintfW(b, TEXT("%p"), reinterpret_cast<void*>(0x1234)); },
         pointerText()},
        {"percent signs; unsupported conversions print their letter",
         [](WCHAR* b) { return wsprintfW(b, TEXT("100%%|%f|%+d|%*d|%lld|end %"), 1.5, 2, 3, 4); },
         "100%|f|+d|*d|ld|end "},
    };
    for (const FormatRow& r : rows) {
        SCOPED_TRACE(r.why);
        WCHAR buffer[1100];
        std::fill(std::begin(buffer), std::end(buffer), kGuard);
        int length = r.call(buffer);
        EXPECT_EQ(r.expected, U8(buffer));
        EXPECT_EQ(static_cast<int>(W(r.expected).size()), length);
        EXPECT_EQ(kGuard, buffer[length + 1]);
    }
}

// Windows writes at most 1024 characters and a NUL at index 1024, 1025
// units in all (win32-behaviour.md WS-1). Wine stops one earlier: 1023
// characters and a NUL, and returns 1024 for every result of 1023 characters
// or more (section 7, item 11).
TEST(Wsprintf, OutputStopsAt1024Characters) {
    const char* const kWineStopsAt1023 = "Wine stops at 1023 characters and returns 1024";
    const int kKept = expectOnHost(kWineStopsAt1023, 1024, 1023);
    for (int wanted : {1022, 1023, 1024, 1025, 3000}) {
        SCOPED_TRACE("a result of " + std::to_string(wanted) + " characters");
        wstr text(static_cast<size_t>(wanted), 0);
        for (int i = 0; i < wanted; ++i) text[i] = static_cast<WCHAR>('a' + i % 26);
        for (bool throughString : {true, false}) {
            SCOPED_TRACE(throughString ? "inserted with %s" : "in the format itself");
            static WCHAR buffer[3100];
            std::fill(std::begin(buffer), std::end(buffer), kGuard);
            int result = throughString ? wsprintfW(buffer, TEXT("%s"), text.c_str())
                                       : wsprintfW(buffer, text.c_str());
            int kept = wanted < kKept ? wanted : kKept;
            int returned = expectOnHost(kWineStopsAt1023, kept, wanted >= 1023 ? 1024 : kept);
            EXPECT_EQ(returned, result);
            EXPECT_EQ(0, std::memcmp(buffer, text.data(), kept * sizeof(WCHAR)));
            EXPECT_EQ(0, buffer[kept]);
            EXPECT_EQ(kGuard, buffer[kept + 1]);
            EXPECT_EQ(kGuard, buffer[1025]);
        }
    }
}

}  // namespace
