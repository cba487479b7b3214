// find_test.cpp - FindFirstFileW, FindNextFileW and FindClose: which names a
// pattern finds, in which order, the errors, and what each entry holds.
// The same source runs over win32_posix and under Wine.
#include "hbc_test.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

namespace {

const DWORD kSentinel = 0xdeadbeef;

// Wine does not apply the DOS wildcard rules that Windows gives ?, "*." and a
// dot before a wildcard (win32-behaviour.md FF-5, FF-7; section 7, item 16):
// under Wine "a?" does not find "a", "??.txt" does not find "b.txt", and "*."
// finds every name instead of those without an extension. Rows that differ
// carry Wine's answer beside Windows'.
const char* const kWineIgnoresDosWildcards = "Wine ignores the DOS wildcard rules";

// The result of a search: the names in the order returned, or the error.
struct Listing {
    std::vector<std::string> names;
    DWORD error = 0;
};

Listing find(const wstr& pattern) {
    Listing out;
    WIN32_FIND_DATAW data;
    SetLastError(kSentinel);
    HANDLE h = FindFirstFileW(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) {
        out.error = GetLastError();
        return out;
    }
    do {
        out.names.push_back(U8(data.cFileName));
    } while (FindNextFileW(h, &data));
    out.error = GetLastError();
    FindClose(h);
    return out;
}

std::string joined(const std::vector<std::string>& names) {
    std::string text;
    for (const std::string& n : names) text += (text.empty() ? "" : " ") + n;
    return text;
}

// The folder of win32-behaviour.md 3.1 (less the long name whose short name
// Wine also matches, which has its own test).
class FindTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        for (const char* name : {"b.txt", "A.TXT", "c.ini", "ab.txt", "abc.txt", "noext",
                                 "x.txt.bak", ".hidden", "a", "Zed.txt"})
            writeBytes(fsPath(name), "12345");
        ASSERT_TRUE(CreateDirectoryW(winPath("sub").c_str(), nullptr));
    }
    // The names, or "error N" when the search failed.
    static std::string foldered(const Listing& l) {
        if (l.error != ERROR_NO_MORE_FILES) return "error " + std::to_string(l.error);
        return joined(l.names);
    }
};

TEST_F(FindTest, PatternsFindNamesAsWindowsMatchesThem) {
    const char* const kAll =
        ". .. .hidden a A.TXT ab.txt abc.txt b.txt c.ini noext sub x.txt.bak Zed.txt";
    struct Row {
        const char* pattern;
        const char* names;      // in order; "error N" for a failure
        const char* wineNames;  // Wine's answer where it differs, else null
        const char* why;
    } rows[] = {
        {"*", kAll, nullptr, "everything, . and .. first"},
        {"*.*", kAll, nullptr, "*.* also finds names without a dot"},
        {"*.ini", "c.ini", nullptr, "an extension"},
        {"*.INI", "c.ini", nullptr, "case is ignored"},
        {"*.txt", "A.TXT ab.txt abc.txt b.txt Zed.txt", nullptr, "not x.txt.bak"},
        {"*.t*", "A.TXT ab.txt abc.txt b.txt x.txt.bak Zed.txt", nullptr, "a star after the dot"},
        {"*t", "A.TXT ab.txt abc.txt b.txt noext Zed.txt", nullptr, "a star matches dots"},
        {"?.txt", "A.TXT b.txt", nullptr, "one character"},
        {"??.txt", "A.TXT ab.txt b.txt", "ab.txt", "? before a dot may match nothing"},
        {"a?", "a", "error 2", "? at the end may match nothing"},
        {"*.", ". .. a noext sub", kAll, "*. finds names without an extension"},
        {"a.*", "a A.TXT", nullptr, "a dot before a star may match nothing"},
        {"noext.", "noext", nullptr, "a trailing dot on a plain name"},
        {"A.txt", "A.TXT", nullptr, "a plain name, returned as stored"},
        {"b.txt", "b.txt", nullptr, "a plain name as stored"},
        {"sub\\..\\c.ini", "c.ini", nullptr, "a plain name after a dot-dot"},
        {"sub", "sub", nullptr, "a folder's own name"},
        {"*.ini ", "c.ini", nullptr, "trailing blanks are dropped"},
        {"*.zzz", "error 2", nullptr, "nothing matches"},
        {"missing.txt", "error 2", nullptr, "a missing name"},
        {"sub\\*", ". ..", nullptr, "an empty folder"},
        {"sub\\*.ini", "error 2", nullptr, "nothing in an empty folder"},
        {"nosuch\\*", "error 3", nullptr, "a missing folder"},
        {"nosuch\\x.txt", "error 3", nullptr, "a missing folder, plain name"},
        {"b.txt\\*", "error 123", nullptr, "a file used as folder"},
        {"*\\x", "error 123", nullptr, "a wildcard in the folder"},
        {"sub\\", "error 2", nullptr, "a pattern ending in a separator"},
        {"nosuch\\", "error 3", "error 2", "a missing folder ending in a separator"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::string(r.pattern) + ": " + r.why);
        const char* expected =
            r.wineNames ? expectOnHost(kWineIgnoresDosWildcards, r.names, r.wineNames) : r.names;
        EXPECT_EQ(expected, foldered(find(winPath(r.pattern))));
    }
}

TEST_F(FindTest, SlashesSeparateAndDotsResolve) {
    wstr slashes = winPath("sub");
    std::replace(slashes.begin(), slashes.end(), static_cast<WCHAR>('\\'), static_cast<WCHAR>('/'));
    EXPECT_EQ(". ..", foldered(find(slashes + TEXT("/*"))));
    // A last component "." or ".." names the folder it resolves to.
    std::string own = U8(folder().substr(folder().find_last_of('\\') + 1));
    EXPECT_EQ(own, foldered(find(winPath("sub\\.."))));
    EXPECT_EQ("sub", foldered(find(winPath("sub\\."))));
    SetLastError(kSentinel);
    WIN32_FIND_DATAW data;
    EXPECT_EQ(INVALID_HANDLE_VALUE, FindFirstFileW(TEXT(""), &data));
    EXPECT_EQ(static_cast<DWORD>(ERROR_PATH_NOT_FOUND), GetLastError());
}

TEST_F(FindTest, DriveRootHasNoDotEntries) {
    Listing root = find(TEXT("C:\\*"));
    ASSERT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), root.error);
    ASSERT_FALSE(root.names.empty());
    EXPECT_EQ(root.names.end(), std::find(root.names.begin(), root.names.end(), "."));
    EXPECT_EQ(root.names.end(), std::find(root.names.begin(), root.names.end(), ".."));
    EXPECT_EQ(static_cast<DWORD>(ERROR_FILE_NOT_FOUND), find(TEXT("C:\\")).error);
}

TEST_F(FindTest, EntriesCarryAttributesSizesAndTimes) {
    writeBytes(fsPath("big.dat"), std::string(70000, 'x'));
    WIN32_FIND_DATAW data;
    std::memset(&data, 0xEE, sizeof data);
    HANDLE h = FindFirstFileW(winPath("BIG.DAT").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ("big.dat", U8(data.cFileName));
    EXPECT_EQ(0, data.cFileName[7]);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_ARCHIVE), data.dwFileAttributes);
    EXPECT_EQ(0u, data.nFileSizeHigh);
    EXPECT_EQ(70000u, data.nFileSizeLow);
    EXPECT_EQ(0, data.cAlternateFileName[0]);  // an 8.3 name has no other short name
    // Times are 100-ns units since 1601: after 2020 and before 2100.
    auto seconds = [](const FILETIME& t) {
        return ((static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
               10000000ULL;
    };
    const unsigned long long k2020 = 13222310400ULL, k2100 = 15747465600ULL;
    for (const FILETIME& t : {data.ftCreationTime, data.ftLastAccessTime, data.ftLastWriteTime}) {
        EXPECT_GT(seconds(t), k2020);
        EXPECT_LT(seconds(t), k2100);
    }
    EXPECT_LE(seconds(data.ftCreationTime), seconds(data.ftLastWriteTime) + 2);
    // After the last entry: ERROR_NO_MORE_FILES on every call, the entry
    // untouched, and FindClose leaves that error in place.
    for (int i = 0; i < 2; ++i) {
        SetLastError(kSentinel);
        EXPECT_FALSE(FindNextFileW(h, &data));
        EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());
    }
    EXPECT_EQ("big.dat", U8(data.cFileName));
    EXPECT_TRUE(FindClose(h));
    EXPECT_EQ(static_cast<DWORD>(ERROR_NO_MORE_FILES), GetLastError());

    // The name as stored finds the same entry as the name in another case.
    WIN32_FIND_DATAW exact;
    std::memset(&exact, 0xEE, sizeof exact);
    h = FindFirstFileW(winPath("big.dat").c_str(), &exact);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(0, std::memcmp(&data, &exact, offsetof(WIN32_FIND_DATAW, dwReserved0)));
    EXPECT_EQ("big.dat", U8(exact.cFileName));
    EXPECT_TRUE(FindClose(h));

    h = FindFirstFileW(winPath("sub").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    EXPECT_EQ(static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY), data.dwFileAttributes);
    EXPECT_EQ(0u, data.nFileSizeLow);
    EXPECT_TRUE(FindClose(h));
}

// Only the handle values that Windows itself checks are tried: a search
// handle of the real API is a pointer, so FindNextFileW on anything else (or
// on a closed search) reads freed or foreign memory.
TEST_F(FindTest, SearchHandlesAreNotFileHandles) {
    WIN32_FIND_DATAW data;
    HANDLE search = FindFirstFileW(winPath("*").c_str(), &data);
    ASSERT_NE(INVALID_HANDLE_VALUE, search);
    struct Row {
        const char* why;
        BOOL (*call)(HANDLE);
        HANDLE handle;
    } rows[] = {
        {"CloseHandle of a search", [](HANDLE h) { return CloseHandle(h); }, search},
        {"FindClose of INVALID_HANDLE_VALUE", [](HANDLE h) { return FindClose(h); },
         INVALID_HANDLE_VALUE},
        {"FindClose of NULL", [](HANDLE h) { return FindClose(h); }, nullptr},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.why);
        SetLastError(kSentinel);
        EXPECT_FALSE(r.call(r.handle));
        EXPECT_EQ(static_cast<DWORD>(ERROR_INVALID_HANDLE), GetLastError());
    }
    // The search still works after CloseHandle refused it.
    EXPECT_TRUE(FindNextFileW(search, &data));
    EXPECT_TRUE(FindClose(search));
}

// Windows also matches each pattern against the 8.3 short names where the
// volume keeps them; Wine does (LONG~NI1.TXT for long.txtx), while the
// stand-in, like a volume with short names off, matches long names only.
TEST_F(FindTest, ShortNamesMatchOnlyUnderWine) {
    writeBytes(fsPath("long.txtx"), "x");
    Listing l = find(winPath("*.txt"));
    bool found = std::find(l.names.begin(), l.names.end(), "long.txtx") != l.names.end();
    EXPECT_EQ(expectOnHost("Wine matches 8.3 short names", false, true), found) << joined(l.names);
}

}  // namespace
