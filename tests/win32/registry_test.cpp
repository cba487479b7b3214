// registry_test.cpp - the registry functions, against the real API under Wine
// and the stand-in natively, under the scratch key HKCU\Software\HbcTests.
//
// Where Wine is known to differ from Windows, the stand-in follows Windows and
// the case names the difference (expectOnHost), so a run under Wine still
// checks what Wine does.
#include "hbc_test.h"

#include <algorithm>
#include <atomic>
#include <thread>
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
    const LONG ok = ERROR_SUCCESS, denied = ERROR_ACCESS_DENIED;
    struct Row {
        const char* name;
        REGSAM access;
        LONG query, set, deleteValue;
    } rows[] = {
        {"no rights", 0, denied, denied, denied},
        {"KEY_READ", KEY_READ, ok, denied, denied},
        {"KEY_QUERY_VALUE", KEY_QUERY_VALUE, ok, denied, denied},
        {"KEY_SET_VALUE", KEY_SET_VALUE, denied, ok, ok},
        {"KEY_WRITE", KEY_WRITE, denied, ok, ok},
        {"KEY_ALL_ACCESS", KEY_ALL_ACCESS, ok, ok, ok},
        {"GENERIC_READ maps to KEY_READ", GENERIC_READ, ok, denied, denied},
        {"GENERIC_WRITE maps to KEY_WRITE", GENERIC_WRITE, denied, ok, ok},
        {"MAXIMUM_ALLOWED gives every right", MAXIMUM_ALLOWED, ok, ok, ok},
    };
    DWORD one = 1;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        HKEY key = open(nullptr, row.access);
        DWORD cb = 4, data = 0;
        EXPECT_EQ(row.query, RegQueryValueExW(key, TEXT("v"), nullptr, nullptr,
                                              reinterpret_cast<BYTE*>(&data), &cb));
        EXPECT_EQ(row.query, RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, nullptr, nullptr));
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
    HKEY sub = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(0xdeadbeef));
    for (HKEY key : {full, deep}) {
        SCOPED_TRACE(key == full ? "deleted key" : "key below a deleted tree");
        EXPECT_EQ(ERROR_KEY_DELETED, RegQueryValueExW(key, TEXT("v"), nullptr, nullptr, data, &cb));
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

TEST_F(RegistryTest, SetStoresExactlyTheBytesGiven) {
    // NULL data with a size is refused; with size 0 it stores an empty value.
    EXPECT_EQ(ERROR_NOACCESS, RegSetValueExW(m_key, TEXT("n"), 0, REG_BINARY, nullptr, 4));
    EXPECT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, TEXT("n"), 0, REG_BINARY, nullptr, 0));
    EXPECT_TRUE(get(m_key, TEXT("n")).empty());

    // A REG_SZ size that leaves out the terminator. Wine reads past cbData
    // and keeps the terminator when the next unit in memory is NUL; Windows
    // and the stand-in store exactly the 10 bytes given.
    const WCHAR text[] = TEXT("hello");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, TEXT("short"), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(text), 10));
    EXPECT_EQ(expectOnHost<size_t>("Wine stores the NUL that follows cbData", 10, 12),
              get(m_key, TEXT("short")).size());
    const WCHAR longer[] = TEXT("helloworld");
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueExW(m_key, TEXT("short"), 0, REG_SZ,
                                            reinterpret_cast<const BYTE*>(longer), 10));
    EXPECT_EQ(10u, get(m_key, TEXT("short")).size());

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
