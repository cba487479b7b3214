// registry_test.cpp - the registry functions, against the real API under Wine
// and the stand-in natively, under the scratch key HKCU\Software\HbcTests.
//
// Where Wine is known to differ from Windows, the stand-in follows Windows and
// the case names the difference (expectOnHost), so a run under Wine still
// checks what Wine does.
#include "hbc_test.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <thread>
#include <type_traits>
#include <vector>

namespace {

std::vector<BYTE> bytesOf(const wstr& text, bool withNul = true) {
    const BYTE* p = reinterpret_cast<const BYTE*>(text.c_str());
    return std::vector<BYTE>(p, p + (text.size() + (withNul ? 1 : 0)) * sizeof(WCHAR));
}

class RegistryTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0,
                                                 KEY_ALL_ACCESS, nullptr, &m_key, nullptr));
    }
    void TearDown() override {
        RegCloseKey(m_key);
        HbcTest::TearDown();
    }

    HKEY open(const WCHAR* path, REGSAM access) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(m_key, path, 0, access, &key)) << U8(path);
        return key;
    }
    HKEY create(const WCHAR* path) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, path, 0, nullptr, 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr))
            << U8(path);
        return key;
    }
    LONG exists(const WCHAR* path) {
        HKEY key = nullptr;
        LONG rc = RegOpenKeyExW(m_key, path, 0, KEY_READ, &key);
        if (rc == ERROR_SUCCESS) RegCloseKey(key);
        return rc;
    }
    void set(HKEY key, const WCHAR* name, DWORD type, const std::vector<BYTE>& data) {
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(key, name, 0, type, data.data(),
                                                static_cast<DWORD>(data.size())));
    }
    // The stored bytes of a value (and its type), read with a generous buffer.
    std::vector<BYTE> get(HKEY key, const WCHAR* name, DWORD* type = nullptr) {
        std::vector<BYTE> data(4096, 0xCC);
        DWORD cb = static_cast<DWORD>(data.size());
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, name, nullptr, type, data.data(), &cb))
            << U8(name);
        data.resize(cb);
        return data;
    }

    HKEY m_key = nullptr;
};

TEST_F(RegistryTest, OpeningAMissingKeyFailsAtAnyDepthAndClearsTheResult) {
    for (const WCHAR* path : {TEXT("missing"), TEXT("a\\b\\c")}) {
        SCOPED_TRACE(U8(path));
        HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbeef));
        SetLastError(0xdeadbeef);
        EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExW(m_key, path, 0, KEY_READ, &key));
        EXPECT_EQ(nullptr, key);
        EXPECT_EQ(0xdeadbeefu, GetLastError());
    }
}

TEST_F(RegistryTest, CreateMakesEveryLevelAndReportsWhetherItWasNew) {
    HKEY key = nullptr;
    DWORD disposition = 0xdeadbeef;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, TEXT("a\\b\\c"), 0, nullptr, 0, KEY_READ,
                                             nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
    EXPECT_EQ(ERROR_SUCCESS, exists(TEXT("a\\b")));
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, TEXT("A\\B\\C"), 0, nullptr, 0, KEY_READ,
                                             nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_OPENED_EXISTING_KEY), disposition);
    RegCloseKey(key);
}

TEST_F(RegistryTest, KeyPathsFollowWindowsRules) {
    RegCloseKey(create(TEXT("MixedCase\\Sub")));
    struct Row {
        const WCHAR* path;
        LONG openResult;
        LONG createResult;
    } rows[] = {
        {TEXT("mixedcase\\SUB"), ERROR_SUCCESS, ERROR_SUCCESS},  // names match case-insensitively
        {TEXT("MixedCase\\"), ERROR_SUCCESS, ERROR_SUCCESS},     // a trailing backslash is fine
        {TEXT("\\MixedCase"), ERROR_BAD_PATHNAME, ERROR_BAD_PATHNAME},  // a leading one is not
        {TEXT("trail\\"), ERROR_FILE_NOT_FOUND, ERROR_SUCCESS},  // creates the key "trail"
        {TEXT("slash/name"), ERROR_FILE_NOT_FOUND, ERROR_SUCCESS},  // "/" is part of a name
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(U8(row.path));
        HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbeef));
        EXPECT_EQ(row.openResult, RegOpenKeyExW(m_key, row.path, 0, KEY_READ, &key));
        if (row.openResult == ERROR_SUCCESS) RegCloseKey(key);
        else EXPECT_EQ(nullptr, key);
        key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbeef));
        EXPECT_EQ(row.createResult, RegCreateKeyExW(m_key, row.path, 0, nullptr, 0, KEY_READ,
                                                    nullptr, &key, nullptr));
        if (row.createResult == ERROR_SUCCESS) RegCloseKey(key);
        else EXPECT_EQ(nullptr, key);
    }
    EXPECT_EQ(ERROR_SUCCESS, exists(TEXT("trail")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(TEXT("slash")));
}

TEST_F(RegistryTest, AnEmptyPathOpensTheKeyItself) {
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("marker"), 7);
    for (const WCHAR* path : {static_cast<const WCHAR*>(nullptr), TEXT("")}) {
        SCOPED_TRACE(path ? "\"\"" : "NULL");
        // Under a real key: a new handle to the same key.
        HKEY key = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(m_key, path, 0, KEY_READ, &key));
        EXPECT_NE(m_key, key);
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("marker"), nullptr, nullptr, nullptr,
                                                  nullptr));
        RegCloseKey(key);
        ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, path, 0, nullptr, 0, KEY_READ, nullptr,
                                                 &key, nullptr));
        EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(key, TEXT("marker"), nullptr, nullptr, nullptr,
                                                  nullptr));
        RegCloseKey(key);
        // Under a predefined root: the root's own value comes back.
        ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key));
        EXPECT_EQ(HKEY_CURRENT_USER, key);
    }
}

TEST_F(RegistryTest, BadHandlesAndArguments) {
    HKEY garbage = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0x12345678));
    HKEY key = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbeef));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(nullptr, TEXT("x"), 0, KEY_READ, &key));
    EXPECT_EQ(nullptr, key);
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegOpenKeyExW(garbage, TEXT("x"), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(m_key, TEXT("x"), 0, KEY_READ, nullptr));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCreateKeyExW(garbage, TEXT("x"), 0, nullptr, 0, KEY_READ,
                                                    nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(m_key, TEXT("x"), 1, nullptr, 0, KEY_READ,
                                                       nullptr, &key, nullptr));
    DWORD reserved = 0, cb = 4;
    BYTE data[4];
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExW(m_key, TEXT("v"), &reserved, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegQueryValueExW(m_key, TEXT("v"), nullptr, nullptr, data, nullptr));
    for (HKEY bad : {static_cast<HKEY>(nullptr), garbage}) {
        SCOPED_TRACE(bad ? "garbage" : "NULL");
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExW(bad, TEXT("v"), nullptr, nullptr, data, &cb));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegSetValueExW(bad, TEXT("v"), 0, REG_BINARY, data, 4));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteValueW(bad, TEXT("v")));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteKeyW(bad, TEXT("v")));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegDeleteTreeW(bad, TEXT("v")));
        EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(bad));
    }
}

TEST_F(RegistryTest, NameLengthLimits) {
    wstr k255(255, 'k'), k256(256, 'k'), k257(257, 'k');
    HKEY key = nullptr;
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, k255.c_str(), 0, nullptr, 0, KEY_READ,
                                             nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(expectOnHost<LONG>("Wine accepts key names of 256 characters", ERROR_INVALID_PARAMETER,
                                 ERROR_SUCCESS),
              RegCreateKeyExW(m_key, k256.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegCreateKeyExW(m_key, k257.c_str(), 0, nullptr, 0,
                                                       KEY_READ, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExW(m_key, k257.c_str(), 0, KEY_READ, &key));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(m_key, k257.c_str()));

    wstr v16383(16383, 'v'), v16384(16384, 'v');
    BYTE data[1] = {1};
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, v16383.c_str(), 0, REG_BINARY, data, 1));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegSetValueExW(m_key, v16384.c_str(), 0, REG_BINARY, data, 1));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryValueExW(m_key, v16384.c_str(), nullptr, nullptr, nullptr, nullptr));
}

TEST_F(RegistryTest, ClosingHandles) {
    HKEY key = open(nullptr, KEY_READ);
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
    EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key));  // closed
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CURRENT_USER));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_LOCAL_MACHINE));
    // The roots stay usable after being "closed".
    EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, KEY_READ, &key));
    RegCloseKey(key);
}

TEST_F(RegistryTest, DeletingKeys) {
    RegCloseKey(create(TEXT("p\\c")));
    SetLastError(0xdeadbeef);
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(m_key, TEXT("p")));  // it has a subkey
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteKeyW(m_key, TEXT("missing")));
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegDeleteKeyW(m_key, nullptr));
    EXPECT_EQ(ERROR_BAD_PATHNAME, RegDeleteKeyW(m_key, TEXT("\\p")));
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegDeleteKeyW(HKEY_CURRENT_USER, TEXT("")));  // a root
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(m_key, TEXT("P\\C")));  // a path, any case
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(m_key, TEXT("p")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(TEXT("p")));
    EXPECT_EQ(0xdeadbeefu, GetLastError());

    // "" deletes the handle's own key; the handle's rights do not matter.
    RegCloseKey(create(TEXT("self")));
    HKEY self = open(TEXT("self"), 0);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteKeyW(self, TEXT("")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(TEXT("self")));
    EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(self));
}

TEST_F(RegistryTest, DeletingTrees) {
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\t\\a\\b"), TEXT("v"), 1);
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\t"), TEXT("v"), 1);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(m_key, TEXT("T")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(TEXT("t")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(m_key, TEXT("t")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteTreeW(m_key, TEXT("t\\a")));

    // NULL: the values and subkeys go, the key stays.
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\t\\a\\b"), TEXT("v"), 1);
    regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\t"), TEXT("v"), 1);
    HKEY t = open(TEXT("t"), KEY_ALL_ACCESS);
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteTreeW(t, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, exists(TEXT("t")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(TEXT("t\\a")));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(t, TEXT("v"), nullptr, nullptr, nullptr, nullptr));
    RegCloseKey(t);
}

TEST_F(RegistryTest, AccessRightsOfTheHandleAreEnforced) {
    regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("v"), 1);
    RegCloseKey(create(TEXT("child")));
    const LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED;
    struct Row {
        const char* name;
        REGSAM access;
        LONG query;  // reading values, enumerating them, the key's counts
        LONG set, deleteValue, enumKeys;
    } rows[] = {
        {"no rights", 0, denied, denied, denied, denied},
        {"KEY_READ", KEY_READ, ok, denied, denied, ok},
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, ok, denied, denied, denied},
        {"KEY_ENUMERATE_SUB_KEYS", KEY_ENUMERATE_SUB_KEYS, denied, denied, denied, ok},
        {"KEY_SET_VALUE", KEY_SET_VALUE, denied, ok, ok, denied},
        {"KEY_WRITE", KEY_WRITE, denied, ok, ok, denied},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, ok, ok, ok, ok},
        {"GENERIC_READ maps to KEY_READ", GENERIC_READ, ok, denied, denied, ok},
        {"GENERIC_WRITE maps to KEY_WRITE", GENERIC_WRITE, denied, ok, ok, denied},
        {"MAXIMUM_ALLOWED gives every right", MAXIMUM_ALLOWED, ok, ok, ok, ok},
    };
    DWORD one = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HKEY key = open(nullptr, row.access);
        DWORD cb = 4, data = 0, count = 0;
        WCHAR name[16];
        DWORD cch = 16;
        VALENTW entry = {const_cast<WCHAR*>(TEXT("v")), 0, 0, 0};
        EXPECT_EQ(row.query, RegQueryValueExW(key, TEXT("v"), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&data), &cb));
        EXPECT_EQ(row.query, RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(row.query, RegEnumValueW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(expectOnHost("Wine does not check the handle's rights in RegQueryInfoKeyW",
                               row.query, ok),
                  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr));
        cb = 4;
        EXPECT_EQ(row.query, RegQueryMultipleValuesW(key, &entry, 1,
                                                     reinterpret_cast<WCHAR*>(&data), &cb));
        cch = 16;
        EXPECT_EQ(row.enumKeys,
                  RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(row.set, RegSetValueExW(key, TEXT("w"), 0, REG_DWORD,
                                          reinterpret_cast<const BYTE*>(&one), 4));
        regSetDword(HKEY_CURRENT_USER, kScratchKey, TEXT("w"), 1);
        EXPECT_EQ(row.deleteValue, RegDeleteValueW(key, TEXT("w")));
        // Creating, opening and deleting subkeys does not depend on the
        // handle's rights (Windows checks the key's security instead).
        HKEY sub = nullptr;
        EXPECT_EQ(ok, RegCreateKeyExW(key, TEXT("sub"), 0, nullptr, 0, KEY_READ, nullptr, &sub,
                                      nullptr));
        RegCloseKey(sub);
        EXPECT_EQ(ok, RegOpenKeyExW(key, TEXT("sub"), 0, KEY_READ, &sub));
        RegCloseKey(sub);
        EXPECT_EQ(ok, RegDeleteKeyW(key, TEXT("sub")));
        RegCloseKey(key);
    }
}

TEST_F(RegistryTest, EmptyingAKeyNeedsTheRightsToReadItAndToDeleteItsValues) {
    struct Row {
        const char* name;
        REGSAM access;
        bool withValue;
        LONG expected;
    } rows[] = {
        {"KEY_READ, no values", KEY_READ, false, ERROR_SUCCESS},
        {"KEY_READ, values need KEY_SET_VALUE", KEY_READ, true, ERROR_ACCESS_DENIED},
        {"KEY_READ | KEY_SET_VALUE", KEY_READ | KEY_SET_VALUE, true, ERROR_SUCCESS},
        {"without KEY_ENUMERATE_SUB_KEYS", KEY_QUERY_VALUE | KEY_SET_VALUE, false,
         ERROR_ACCESS_DENIED},
        {"without KEY_QUERY_VALUE", KEY_ENUMERATE_SUB_KEYS | KEY_SET_VALUE, false,
         ERROR_ACCESS_DENIED},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RegCloseKey(create(TEXT("t\\sub")));
        if (row.withValue) regSetDword(HKEY_CURRENT_USER, wstr(kScratchKey) + TEXT("\\t"), TEXT("v"), 1);
        HKEY key = open(TEXT("t"), row.access);
        EXPECT_EQ(row.expected, RegDeleteTreeW(key, nullptr));
        RegCloseKey(key);
        regDeleteTree(m_key, TEXT("t"));
    }
}

TEST_F(RegistryTest, HandlesToDeletedKeysReportKeyDeleted) {
    HKEY full = create(TEXT("del"));
    HKEY readOnly = open(TEXT("del"), KEY_READ);
    HKEY deep = create(TEXT("tree\\a\\b"));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteKeyW(m_key, TEXT("del")));
    ASSERT_EQ(ERROR_SUCCESS, RegDeleteTreeW(m_key, TEXT("tree")));
    // A key created again under the same name is another key.
    HKEY again = create(TEXT("del"));

    BYTE data[4] = {1, 2, 3, 4};
    DWORD cb = 4;
    WCHAR name[16];
    HKEY sub = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbeef));
    for (HKEY key : {full, deep}) {
        SCOPED_TRACE(key == full ? "deleted key" : "key below a deleted tree");
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, data, &cb));
        DWORD cch = 16, count = 0;
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegEnumKeyExW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegEnumValueW(key, 0, name, &cch, nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                                   nullptr, nullptr, nullptr, nullptr, nullptr));
        VALENTW entry = {const_cast<WCHAR*>(TEXT("v")), 0, 0, 0};
        cb = 4;
        EXPECT_EQ(ERROR_KEY_DELETED,
                  RegQueryMultipleValuesW(key, &entry, 1, reinterpret_cast<WCHAR*>(data), &cb));
        EXPECT_EQ(ERROR_KEY_DELETED, RegSetValueExW(key, TEXT("v"), 0, REG_BINARY, data, 4));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteValueW(key, TEXT("v")));
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExW(key, nullptr, 0, KEY_READ, &sub));
        EXPECT_EQ(nullptr, sub);
        EXPECT_EQ(ERROR_KEY_DELETED, RegOpenKeyExW(key, TEXT("x"), 0, KEY_READ, &sub));
        EXPECT_EQ(ERROR_KEY_DELETED, RegCreateKeyExW(key, TEXT("x"), 0, nullptr, 0, KEY_READ,
                                                     nullptr, &sub, nullptr));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteKeyW(key, TEXT("")));
        EXPECT_EQ(ERROR_KEY_DELETED, RegDeleteTreeW(key, nullptr));
    }
    // The handle's rights are checked before the key's state.
    EXPECT_EQ(ERROR_ACCESS_DENIED, RegSetValueExW(readOnly, TEXT("v"), 0, REG_BINARY, data, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(again, TEXT("v"), 0, REG_BINARY, data, 4));
    for (HKEY key : {full, readOnly, deep, again}) EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
}

TEST_F(RegistryTest, VolatileKeysCanOnlyHaveVolatileSubkeys) {
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, TEXT("vol"), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
    EXPECT_EQ(ERROR_CHILD_MUST_BE_VOLATILE, RegCreateKeyExW(m_key, TEXT("vol\\a\\b"), 0, nullptr,
                                                            0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, exists(TEXT("vol\\a")));  // nothing half-made
    EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, TEXT("vol\\a"), 0, nullptr, REG_OPTION_VOLATILE,
                                             KEY_ALL_ACCESS, nullptr, &key, nullptr));
    RegCloseKey(key);
}

TEST_F(RegistryTest, ValuesComeBackWithTheirTypeAndExactBytes) {
    struct Row {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    } rows[] = {
        {"REG_SZ with its terminator", REG_SZ, bytesOf(TEXT("hello"))},
        {"REG_SZ of odd size", REG_SZ, {'h', 0, 'e', 0, 'l'}},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, bytesOf(TEXT("%TEMP%\\x"))},
        {"REG_MULTI_SZ", REG_MULTI_SZ, {'a', 0, 0, 0, 'b', 0, 0, 0, 0, 0}},
        {"REG_BINARY of three bytes", REG_BINARY, {0x00, 0xFF, 0x7F}},
        {"REG_DWORD", REG_DWORD, {0x1F, 0, 0, 0}},
        {"REG_DWORD of two bytes: sizes are not checked", REG_DWORD, {1, 2}},
        {"REG_QWORD", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"REG_NONE, empty", REG_NONE, {}},
        {"an unknown type", 0x12345, {9}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLastError(0xdeadbeef);
        set(m_key, TEXT("value"), row.type, row.data);
        DWORD type = 0xdeadbeef;
        EXPECT_EQ(row.data, get(m_key, TEXT("VALUE"), &type));  // any case finds it
        EXPECT_EQ(row.type, type);
        EXPECT_EQ(0xdeadbeefu, GetLastError());
    }
}

TEST_F(RegistryTest, SizeRulesOfQueries) {
    set(m_key, TEXT("s"), REG_SZ, bytesOf(TEXT("hello")));  // 12 bytes
    // Buffers too small: ERROR_MORE_DATA, the size needed, the type, the buffer untouched.
    for (DWORD given : {0u, 1u, 11u}) {
        SCOPED_TRACE(given);
        BYTE buffer[16];
        std::fill(std::begin(buffer), std::end(buffer), 0xCC);
        DWORD cb = given, type = 0xdeadbeef;
        EXPECT_EQ(ERROR_MORE_DATA, RegQueryValueExW(m_key, TEXT("s"), nullptr, &type, buffer, &cb));
        EXPECT_EQ(12u, cb);
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ(0xCC, buffer[0]);
    }
    // An exact fit, with a guard byte after it.
    BYTE buffer[13];
    std::fill(std::begin(buffer), std::end(buffer), 0xCC);
    DWORD cb = 12;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, TEXT("s"), nullptr, nullptr, buffer, &cb));
    EXPECT_EQ(12u, cb);
    EXPECT_EQ(0, buffer[10] | buffer[11]);
    EXPECT_EQ(0xCC, buffer[12]);
    // Size queries, and a pure existence test.
    cb = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, TEXT("s"), nullptr, nullptr, nullptr, &cb));
    EXPECT_EQ(12u, cb);
    EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, TEXT("s"), nullptr, nullptr, nullptr, nullptr));
    // A missing value: the type untouched; the size untouched with a buffer, 0 without.
    DWORD type = 0xdeadbeef;
    cb = 16;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(m_key, TEXT("missing"), nullptr, &type, buffer, &cb));
    EXPECT_EQ(0xdeadbeefu, type);
    EXPECT_EQ(16u, cb);
    cb = 16;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(m_key, TEXT("missing"), nullptr, &type, nullptr, &cb));
    EXPECT_EQ(0u, cb);
}

TEST_F(RegistryTest, SetStoresTheBytesGivenAndTheNulAStringSizeLeftOut) {
    // NULL data with a size is refused; with size 0 it stores an empty value.
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(m_key, TEXT("n"), 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, TEXT("n"), 0, REG_BINARY, nullptr, 0));
    EXPECT_TRUE(get(m_key, TEXT("n")).empty());

    // A string size that leaves out the terminator: when the next unit in
    // the caller's memory is NUL, Windows stores it too.
    const WCHAR text[] = TEXT("hello\0world\0");
    const BYTE* bytes = reinterpret_cast<const BYTE*>(text);
    struct Row {
        const char* name;
        DWORD type, size, stored;
    } rows[] = {
        {"REG_SZ followed by NUL: 10 asked, 12 stored", REG_SZ, 10, 12},
        {"REG_EXPAND_SZ the same", REG_EXPAND_SZ, 10, 12},
        {"REG_MULTI_SZ the same", REG_MULTI_SZ, 10, 12},
        {"followed by text: exactly what was asked", REG_SZ, 8, 8},
        {"with its terminator: nothing more", REG_SZ, 12, 12},
        {"an odd size ends inside a unit: nothing more", REG_SZ, 9, 9},
        {"REG_BINARY never", REG_BINARY, 10, 10},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, TEXT("short"), 0, row.type, bytes, row.size));
        EXPECT_EQ(std::vector<BYTE>(bytes, bytes + row.stored), get(m_key, TEXT("short")));
    }
    // A string that really has no terminator, for the read below.
    const WCHAR unterminated[] = TEXT("helloworld");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, TEXT("short"), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(unterminated), 10));

    // Reading an unterminated string adds no terminator on Windows (Wine adds
    // one after the data, without counting it, when the buffer has room).
    BYTE buffer[16];
    std::fill(std::begin(buffer), std::end(buffer), 0xCC);
    DWORD cb = sizeof buffer;
    ASSERT_EQ(ERROR_SUCCESS, RegQueryValueExW(m_key, TEXT("short"), nullptr, nullptr, buffer, &cb));
    EXPECT_EQ(10u, cb);
    EXPECT_EQ(expectOnHost<int>("Wine adds a terminator to unterminated strings", 0xCC, 0),
              buffer[10]);
}

TEST_F(RegistryTest, TheDefaultValue) {
    HKEY key = create(TEXT("fresh"));
    // A new key has none.
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, nullptr, nullptr, nullptr, nullptr, nullptr));
    // NULL and "" name the same value.
    set(key, TEXT(""), REG_SZ, bytesOf(TEXT("d")));
    EXPECT_EQ(bytesOf(TEXT("d")), get(key, nullptr));
    set(key, nullptr, REG_SZ, bytesOf(TEXT("e")));
    EXPECT_EQ(bytesOf(TEXT("e")), get(key, TEXT("")));
    EXPECT_EQ(ERROR_SUCCESS, RegDeleteValueW(key, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExW(key, TEXT(""), nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegDeleteValueW(key, TEXT("")));
    RegCloseKey(key);
}

// --- enumeration -------------------------------------------------------------

const WCHAR kGuard = 0xCCCC;

// The subkeys Wine 8 and Windows are seen to give back in different orders
// (RegEnumKeyExW), created in this order.
const WCHAR* const kSubkeys[] = {TEXT("zeta"),  TEXT("Alpha"), TEXT("beta"),
                                 TEXT("_under"), TEXT("Beta2"), TEXT("10"),
                                 TEXT("9"),     TEXT("a"),     TEXT("withclass")};

// Every subkey (or value) name, by index, until ERROR_NO_MORE_ITEMS; the
// counts must be the names' lengths, and the end must leave the count alone.
std::vector<std::string> enumeratedNames(HKEY key, bool values) {
    std::vector<std::string> names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD cch = 256;
        LONG rc = values ? RegEnumValueW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr)
                         : RegEnumKeyExW(key, i, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            EXPECT_EQ(256u, cch);
            return names;
        }
        EXPECT_EQ(ERROR_SUCCESS, rc);
        if (rc != ERROR_SUCCESS) return names;
        EXPECT_EQ(std::char_traits<WCHAR>::length(name), cch);
        names.push_back(U8(name));
    }
}

TEST_F(RegistryTest, SubkeysComeBackSortedByUpperCasedName) {
    for (const WCHAR* name : kSubkeys) RegCloseKey(create(name));
    using Names = std::vector<std::string>;
    EXPECT_EQ(expectOnHost<Names>("Wine sorts subkeys by lower-cased name, so _ comes before "
                                  "the letters",
                                  {"10", "9", "a", "Alpha", "beta", "Beta2", "withclass", "zeta",
                                   "_under"},
                                  {"10", "9", "_under", "a", "Alpha", "beta", "Beta2",
                                   "withclass", "zeta"}),
              enumeratedNames(m_key, false));
}

TEST_F(RegistryTest, ValuesComeBackInCreationOrder) {
    for (const WCHAR* name : {TEXT("zeta"), TEXT("Alpha"), TEXT(""), TEXT("10"), TEXT("_under")})
        set(m_key, name, REG_DWORD, {1, 0, 0, 0});
    set(m_key, TEXT("ALPHA"), REG_BINARY, {2});  // setting again does not move it
    using Names = std::vector<std::string>;
    EXPECT_EQ(expectOnHost<Names>("Wine enumerates values sorted by name",
                                  {"zeta", "Alpha", "", "10", "_under"},
                                  {"", "10", "_under", "Alpha", "zeta"}),
              enumeratedNames(m_key, true));
}

TEST_F(RegistryTest, SizeRulesOfSubkeyEnumeration) {
    HKEY key = create(TEXT("sizes"));
    HKEY sub = nullptr;
    WCHAR className[] = TEXT("MyClassName");  // 11 units
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(key, TEXT("Alpha"), 0, className, 0, KEY_READ,
                                             nullptr, &sub, nullptr));
    RegCloseKey(sub);
    const DWORD kNoClass = 0xFFFFFFFF;
    struct Row {
        const char* name;
        DWORD nameSize, classSize;  // in units; kNoClass: no class buffer
        LONG expected;
    } rows[] = {
        {"no room at all", 0, kNoClass, ERROR_MORE_DATA},
        {"no room for the NUL", 5, kNoClass, ERROR_MORE_DATA},
        {"an exact fit", 6, kNoClass, ERROR_SUCCESS},
        {"a class buffer one short", 6, 11, ERROR_MORE_DATA},
        {"a class buffer that fits exactly", 6, 12, ERROR_SUCCESS},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        bool withClass = row.classSize != kNoClass;
        WCHAR name[8], cls[16];
        std::fill(std::begin(name), std::end(name), kGuard);
        std::fill(std::begin(cls), std::end(cls), kGuard);
        DWORD cch = row.nameSize, cchClass = withClass ? row.classSize : 0xdeadbeef;
        EXPECT_EQ(row.expected, RegEnumKeyExW(key, 0, name, &cch, nullptr, withClass ? cls : nullptr,
                                              withClass ? &cchClass : nullptr, nullptr));
        if (row.expected == ERROR_SUCCESS) {
            EXPECT_EQ(5u, cch);
            EXPECT_EQ("Alpha", U8(name));
            EXPECT_EQ(kGuard, name[6]);
            EXPECT_EQ(withClass ? 11u : 0xdeadbeef, cchClass);
            EXPECT_EQ(withClass ? "MyClassName" : "", U8(wstr(cls, withClass ? 11 : 0)));
        } else {
            // Nothing is written: neither the buffers nor the counts.
            EXPECT_EQ(row.nameSize, cch);
            EXPECT_EQ(kGuard, name[0]);
            EXPECT_EQ(kGuard, cls[0]);
        }
        EXPECT_EQ(kGuard, cls[12]);
    }
    DWORD cch = 8;
    WCHAR name[8];
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumKeyExW(key, 0, name, &cch, &cch, nullptr, nullptr, nullptr));  // reserved
    RegCloseKey(key);
}

TEST_F(RegistryTest, SizeRulesOfValueEnumeration) {
    // "longdata": 8 units of name, 22 bytes of data.
    set(m_key, TEXT("longdata"), REG_SZ, bytesOf(TEXT("0123456789")));
    const DWORD kNoData = 0xFFFFFFFF;
    struct Row {
        const char* name;
        DWORD nameSize, dataSize;  // in units and bytes; kNoData: a NULL data buffer
        LONG expected;
        bool nameWritten, dataWritten;
    } rows[] = {
        {"no room for the name's NUL: the size and type still come back", 8, 22,
         ERROR_MORE_DATA, false, false},
        {"the name fits, the data one byte short", 9, 21, ERROR_MORE_DATA, true, false},
        {"both fit exactly", 9, 22, ERROR_SUCCESS, true, true},
        {"no data buffer: a size query", 9, kNoData, ERROR_SUCCESS, true, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WCHAR name[16];
        std::fill(std::begin(name), std::end(name), kGuard);
        BYTE data[32];
        std::fill(std::begin(data), std::end(data), 0xCC);
        DWORD cch = row.nameSize, type = 0xdeadbeef, cb = row.dataSize == kNoData ? 0 : row.dataSize;
        EXPECT_EQ(row.expected, RegEnumValueW(m_key, 0, name, &cch, nullptr, &type,
                                              row.dataSize == kNoData ? nullptr : data, &cb));
        EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
        EXPECT_EQ(22u, cb);
        EXPECT_EQ(row.nameWritten ? 8u : row.nameSize, cch);
        EXPECT_EQ(row.nameWritten ? "longdata" : "", U8(wstr(name, row.nameWritten ? 8 : 0)));
        EXPECT_EQ(row.nameWritten ? 0 : kGuard, name[8]);
        EXPECT_EQ(kGuard, name[9]);
        EXPECT_EQ(row.dataWritten ? bytesOf(TEXT("0123456789")) : std::vector<BYTE>(22, 0xCC),
                  std::vector<BYTE>(data, data + 22));
        EXPECT_EQ(0xCC, data[22]);
    }
    WCHAR name[16];
    DWORD cch = 16, cb = 4;
    BYTE data[4];
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumValueW(m_key, 0, nullptr, &cch, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumValueW(m_key, 0, name, nullptr, nullptr, nullptr, nullptr, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumValueW(m_key, 0, name, &cch, nullptr, nullptr, data, nullptr));
    EXPECT_EQ(ERROR_INVALID_PARAMETER,
              RegEnumValueW(m_key, 0, name, &cch, &cb, nullptr, nullptr, nullptr));  // reserved
}

TEST_F(RegistryTest, KeyInformationCountsUnitsWithoutTheNulAndDataInBytes) {
    for (const WCHAR* name : kSubkeys) RegCloseKey(create(name));
    HKEY sub = nullptr;
    WCHAR className[] = TEXT("MyClassName");
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(m_key, TEXT("classy"), 0, className, 0, KEY_READ,
                                             nullptr, &sub, nullptr));
    set(m_key, TEXT(""), REG_SZ, bytesOf(TEXT("default")));
    set(m_key, TEXT("longdata"), REG_SZ, bytesOf(TEXT("0123456789")));  // 22 bytes
    set(m_key, TEXT("n"), REG_DWORD, {1, 0, 0, 0});
    // One out-parameter at a time, the others NULL, as the library asks.
    enum Field { SubKeys, MaxSubKeyLen, MaxClassLen, Values, MaxValueNameLen, MaxValueLen };
    struct Row {
        const char* name;
        Field field;
        DWORD expected;
    } rows[] = {
        {"subkeys", SubKeys, 10},
        {"longest subkey name, without the NUL", MaxSubKeyLen, 9},  // "withclass"
        {"longest subkey class", MaxClassLen, 11},
        {"values, the default one too", Values, 3},
        {"longest value name", MaxValueNameLen, 8},
        {"largest data, in bytes", MaxValueLen, 22},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        DWORD out[6] = {0xdeadbeef, 0xdeadbeef, 0xdeadbeef, 0xdeadbeef, 0xdeadbeef, 0xdeadbeef};
        auto only = [&](Field f) { return row.field == f ? &out[f] : nullptr; };
        EXPECT_EQ(ERROR_SUCCESS,
                  RegQueryInfoKeyW(m_key, nullptr, nullptr, nullptr, only(SubKeys),
                                   only(MaxSubKeyLen), only(MaxClassLen), only(Values),
                                   only(MaxValueNameLen), only(MaxValueLen), nullptr, nullptr));
        EXPECT_EQ(row.expected, out[row.field]);
    }
    // The security descriptor's length needs READ_CONTROL as well.
    for (REGSAM access : {static_cast<REGSAM>(KEY_READ), static_cast<REGSAM>(KEY_QUERY_VALUE)}) {
        SCOPED_TRACE(access == KEY_READ ? "KEY_READ" : "KEY_QUERY_VALUE");
        HKEY key = open(nullptr, access);
        DWORD sdSize = 0xdeadbeef;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr,
                                                  nullptr, nullptr, nullptr, nullptr, &sdSize,
                                                  nullptr));
        EXPECT_EQ(expectOnHost("Wine reports 0 as the security descriptor's length",
                               access == KEY_READ, false),
                  sdSize != 0);
        RegCloseKey(key);
    }

    // The key's own class: a buffer without room for its NUL is refused, and
    // the length is still given; a length of 0 asks for the length only.
    struct ClassRow {
        const char* name;
        DWORD size;
        LONG expected;
    } classRows[] = {
        {"one short", 11,
         expectOnHost<LONG>("Wine reports a class buffer too small as ERROR_INSUFFICIENT_BUFFER",
                            ERROR_MORE_DATA, ERROR_INSUFFICIENT_BUFFER)},
        {"an exact fit", 12, ERROR_SUCCESS},
        {"a length query", 0, ERROR_SUCCESS},
    };
    for (const ClassRow& row : classRows) {
        SCOPED_TRACE(row.name);
        WCHAR cls[16];
        std::fill(std::begin(cls), std::end(cls), kGuard);
        DWORD cch = row.size, subkeys = 0xdeadbeef;
        EXPECT_EQ(row.expected, RegQueryInfoKeyW(sub, cls, &cch, nullptr, &subkeys, nullptr,
                                                 nullptr, nullptr, nullptr, nullptr, nullptr,
                                                 nullptr));
        EXPECT_EQ(11u, cch);
        EXPECT_EQ(0u, subkeys);  // set whatever the class buffer
        EXPECT_EQ(row.size == 12 ? "MyClassName" : "", U8(wstr(cls, row.size == 12 ? 11 : 0)));
        EXPECT_EQ(row.size == 12 ? 0 : kGuard, cls[11]);
        EXPECT_EQ(kGuard, cls[12]);
    }
    WCHAR cls[4];
    EXPECT_EQ(ERROR_INVALID_PARAMETER, RegQueryInfoKeyW(sub, cls, nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr, nullptr, nullptr,
                                                        nullptr, nullptr));
    RegCloseKey(sub);
}

// --- RegQueryMultipleValuesW ---------------------------------------------------

static_assert(sizeof(VALENTW) == 4 * sizeof(void*), "VALENTW is 16 bytes in a 32-bit build");
static_assert(offsetof(VALENTW, ve_valuelen) == sizeof(void*) &&
                  offsetof(VALENTW, ve_valueptr) == 2 * sizeof(void*) &&
                  offsetof(VALENTW, ve_type) == 3 * sizeof(void*),
              "VALENTW: name, length, pointer, type");
static_assert(std::is_same<VALENT, VALENTW>::value, "VALENT is the Unicode record");

class MultipleValuesTest : public RegistryTest {
protected:
    void SetUp() override {
        RegistryTest::SetUp();
        set(m_key, TEXT("s"), REG_SZ, bytesOf(TEXT("abc")));  // 8 bytes
        set(m_key, TEXT("d"), REG_DWORD, {1, 2, 3, 4});
        set(m_key, TEXT("b"), REG_BINARY, {7, 8, 9});
        set(m_key, TEXT("t"), REG_SZ, bytesOf(TEXT("xy")));  // 6 bytes, at the odd offset 15
    }
    // The four values, in the array order "s", "d", "b", "t", with sentinels.
    std::vector<VALENTW> entries() {
        std::vector<VALENTW> list;
        for (const WCHAR* name : {TEXT("s"), TEXT("D"), TEXT("b"), TEXT("t")})
            list.push_back({const_cast<WCHAR*>(name), 0xdeadbeef, 0xdeadbeef, 0xdeadbeef});
        return list;
    }
    const std::vector<BYTE> m_all = {'a', 0, 'b', 0, 'c', 0, 0, 0, 1, 2, 3,
                                     4,   7, 8, 9,   'x', 0, 'y', 0, 0, 0};
    const DWORD m_types[4] = {REG_SZ, REG_DWORD, REG_BINARY, REG_SZ};
    const DWORD m_offsets[4] = {0, 8, 12, 15};
    const DWORD m_sizes[4] = {8, 4, 3, 6};
};

TEST_F(MultipleValuesTest, TheDataLieBackToBackWithoutPadding) {
    for (DWORD room : {21u, 20u}) {
        SCOPED_TRACE(room == 21 ? "an exact fit" : "one byte short: the entries that fit are filled");
        std::vector<VALENTW> list = entries();
        std::vector<BYTE> buffer(32, 0xCC);
        DWORD total = room;
        EXPECT_EQ(room == 21 ? ERROR_SUCCESS : ERROR_MORE_DATA,
                  RegQueryMultipleValuesW(m_key, list.data(), 4,
                                          reinterpret_cast<WCHAR*>(buffer.data()), &total));
        EXPECT_EQ(21u, total);
        DWORD filled = room == 21 ? 4 : 3;
        for (DWORD i = 0; i < 4; ++i) {
            SCOPED_TRACE(i);
            EXPECT_EQ(m_sizes[i], list[i].ve_valuelen);  // every entry gets its size
            bool fits = i < filled;
            EXPECT_EQ(fits ? m_types[i] : 0xdeadbeef, list[i].ve_type);
            EXPECT_EQ(fits ? reinterpret_cast<DWORD_PTR>(buffer.data() + m_offsets[i]) : 0xdeadbeef,
                      list[i].ve_valueptr);
        }
        size_t end = m_offsets[filled - 1] + m_sizes[filled - 1];
        EXPECT_EQ(std::vector<BYTE>(m_all.begin(), m_all.begin() + end),
                  std::vector<BYTE>(buffer.begin(), buffer.begin() + end));
        EXPECT_EQ(0xCC, buffer[end]);  // nothing written after the data that fit
    }
}

TEST_F(MultipleValuesTest, SizesMissingNamesAndTheDefaultValue) {
    std::vector<VALENTW> list = entries();
    DWORD total = 128;
    EXPECT_EQ(ERROR_MORE_DATA, RegQueryMultipleValuesW(m_key, list.data(), 4, nullptr, &total));
    EXPECT_EQ(21u, total);  // a NULL buffer asks for the size, whatever the total said

    list[2].ve_valuename = const_cast<WCHAR*>(TEXT("missing"));
    std::vector<BYTE> buffer(32, 0xCC);
    total = 32;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              RegQueryMultipleValuesW(m_key, list.data(), 4,
                                      reinterpret_cast<WCHAR*>(buffer.data()), &total));
    EXPECT_EQ(12u, total);  // the values before the missing one

    total = 0xdeadbeef;
    EXPECT_EQ(ERROR_SUCCESS, RegQueryMultipleValuesW(m_key, list.data(), 0,
                                                     reinterpret_cast<WCHAR*>(buffer.data()),
                                                     &total));
    EXPECT_EQ(0u, total);

    set(m_key, nullptr, REG_BINARY, {5});
    for (const WCHAR* name : {static_cast<const WCHAR*>(nullptr), TEXT("")}) {
        SCOPED_TRACE(name ? "\"\"" : "NULL");
        VALENTW entry = {const_cast<WCHAR*>(name), 0, 0, 0};
        total = 32;
        EXPECT_EQ(ERROR_SUCCESS, RegQueryMultipleValuesW(m_key, &entry, 1,
                                                         reinterpret_cast<WCHAR*>(buffer.data()),
                                                         &total));
        EXPECT_EQ(1u, total);
        EXPECT_EQ(5, buffer[0]);
    }
}

// Microsoft documents 222 under this name; the SDK's header calls 222
// ERROR_BAD_FILE_TYPE.
#ifndef ERROR_TRANSFER_TOO_LONG
#define ERROR_TRANSFER_TOO_LONG 222L
#endif

TEST_F(MultipleValuesTest, MoreThanOneMegabyteInAllIsRefused) {
    std::vector<BYTE> half(512 * 1024 + 1, 0x5A);
    set(m_key, TEXT("big1"), REG_BINARY, half);
    set(m_key, TEXT("big2"), REG_BINARY, half);
    VALENTW list[2] = {{const_cast<WCHAR*>(TEXT("big1")), 0, 0, 0},
                       {const_cast<WCHAR*>(TEXT("big2")), 0, 0, 0}};
    std::vector<BYTE> buffer(2 * half.size());
    DWORD total = static_cast<DWORD>(buffer.size());
    EXPECT_EQ(expectOnHost<LONG>("Wine has no 1 MB limit on RegQueryMultipleValuesW",
                                 ERROR_TRANSFER_TOO_LONG, ERROR_SUCCESS),
              RegQueryMultipleValuesW(m_key, list, 2, reinterpret_cast<WCHAR*>(buffer.data()),
                                      &total));
}

TEST_F(RegistryTest, SeveralThreadsCreateSetAndReadAtOnce) {
    const int kThreads = 4, kRounds = 100;
    // Every writer stores 16 bytes of its own number in one shared value;
    // readers must never see a mix.
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            wstr own = TEXT("thread") + W(std::to_string(t));
            for (int i = 0; i < kRounds; ++i) {
                HKEY key = nullptr;
                wstr path = own + TEXT("\\k") + W(std::to_string(i % 10));
                if (RegCreateKeyExW(m_key, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                    &key, nullptr) != ERROR_SUCCESS) {
                    ++failures;
                    continue;
                }
                DWORD mine = static_cast<DWORD>(t * 1000 + i), back = 0, cb = 4;
                if (RegSetValueExW(key, TEXT("n"), 0, REG_DWORD, reinterpret_cast<BYTE*>(&mine), 4) ||
                    RegQueryValueExW(key, TEXT("n"), nullptr, nullptr, reinterpret_cast<BYTE*>(&back),
                                     &cb) ||
                    back != mine)
                    ++failures;
                RegCloseKey(key);
                std::vector<BYTE> shared(16, static_cast<BYTE>(t + 1)), seen(16, 0);
                cb = 16;
                if (RegSetValueExW(m_key, TEXT("shared"), 0, REG_BINARY, shared.data(), 16) ||
                    RegQueryValueExW(m_key, TEXT("shared"), nullptr, nullptr, seen.data(), &cb) ||
                    cb != 16 || std::count(seen.begin(), seen.end(), seen[0]) != 16)
                    ++failures;
            }
        });
    }
    for (std::thread& thread : threads) thread.join();
    EXPECT_EQ(0, failures.load());
    for (int t = 0; t < kThreads; ++t) {
        wstr path = TEXT("thread") + W(std::to_string(t)) + TEXT("\\k9");
        EXPECT_EQ(ERROR_SUCCESS, exists(path.c_str()));
    }
}

}  // namespace
