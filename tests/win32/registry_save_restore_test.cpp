// registry_save_restore_test.cpp - RegSaveKeyW and RegRestoreKeyW under the
// backup and restore privileges, against the real API under Wine and the
// stand-in natively. Wine's RegRestoreKeyW is a stub that restores nothing
// and reports success, so every restore case names that difference; the
// round trip is checked natively, where the stand-in follows Windows.
#include "hbc_test.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

const char* const kRestoreStub = "Wine's RegRestoreKeyW is a stub that restores nothing";

std::vector<BYTE> text(const std::string& utf8, bool withNul = true) {
    wstr w = W(utf8);
    const BYTE* p = reinterpret_cast<const BYTE*>(w.c_str());
    return std::vector<BYTE>(p, p + (w.size() + (withNul ? 1 : 0)) * sizeof(WCHAR));
}

// A key and everything below it, one line per key and value, with every
// name, class, type and data byte, in the order the registry lists them.
std::string dump(HKEY key, const std::string& path = "") {
    std::string out;
    DWORD subkeys = 0, maxName = 0, maxData = 0;
    WCHAR cls[256];
    DWORD cchClass = 256;
    if (RegQueryInfoKeyW(key, cls, &cchClass, nullptr, &subkeys, nullptr, nullptr, nullptr,
                         &maxName, &maxData, nullptr, nullptr) != ERROR_SUCCESS)
        return "(cannot be read)";
    out += "[" + path + "] class \"" + U8(wstr(cls, cchClass)) + "\"\n";
    std::vector<WCHAR> name(maxName + 1);
    std::vector<BYTE> data(maxData + 1);
    for (DWORD i = 0;; ++i) {
        DWORD cch = maxName + 1, cb = maxData + 1, type = 0;
        if (RegEnumValueW(key, i, name.data(), &cch, nullptr, &type, data.data(), &cb) !=
            ERROR_SUCCESS)
            break;
        out += "  \"" + U8(wstr(name.data(), cch)) + "\" type " + std::to_string(type) + ":";
        for (DWORD b = 0; b < cb; ++b) {
            char hex[4];
            std::snprintf(hex, sizeof hex, " %02x", data[b]);
            out += hex;
        }
        out += "\n";
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        WCHAR sub[256];
        DWORD cch = 256;
        HKEY child = nullptr;
        if (RegEnumKeyExW(key, i, sub, &cch, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS ||
            RegOpenKeyExW(key, sub, 0, KEY_READ, &child) != ERROR_SUCCESS)
            return out + "(cannot be read)";
        out += dump(child, path + "\\" + U8(wstr(sub, cch)));
        RegCloseKey(child);
    }
    return out;
}

class RegistrySaveRestoreTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        m_source = create(TEXT("source"));
        m_target = create(TEXT("target"));
        // What the target holds before a restore: all of it is to be replaced.
        regSetBytes(HKEY_CURRENT_USER, path(TEXT("target")), TEXT("old"), REG_DWORD, {1, 0, 0, 0});
        regSetBytes(HKEY_CURRENT_USER, path(TEXT("target\\OldSub")), TEXT("v"), REG_DWORD,
                    {2, 0, 0, 0});
    }
    void TearDown() override {
        RegCloseKey(m_source);
        RegCloseKey(m_target);
        HbcTest::TearDown();
    }

    static wstr path(const WCHAR* below) { return wstr(kScratchKey) + TEXT("\\") + below; }
    HKEY create(const WCHAR* below, const WCHAR* className = nullptr) {
        HKEY key = nullptr;
        EXPECT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CURRENT_USER, path(below).c_str(), 0,
                                                 const_cast<WCHAR*>(className), 0, KEY_ALL_ACCESS,
                                                 nullptr, &key, nullptr));
        return key;
    }
    // Saves the source under both privileges; false (and a test failure) when it cannot.
    bool save(const wstr& file) {
        ScopedPrivilege backup(TEXT("SeBackupPrivilege"), true);
        LONG rc = RegSaveKeyW(m_source, file.c_str(), nullptr);
        EXPECT_EQ(ERROR_SUCCESS, rc);
        return rc == ERROR_SUCCESS;
    }

    HKEY m_source = nullptr;
    HKEY m_target = nullptr;
};

TEST_F(RegistrySaveRestoreTest, ARestoredKeyHoldsEveryByteOfTheSavedOne) {
    struct {
        const char* name;
        DWORD type;
        std::vector<BYTE> data;
    } values[] = {
        {"", REG_SZ, text("the default value")},
        {"sz", REG_SZ, text("text")},
        {"sz of five bytes", REG_SZ, {'a', 0, 'b', 0, 'c'}},
        {"expand", REG_EXPAND_SZ, text("%SystemRoot%\\x %odd")},
        {"multi with empty members", REG_MULTI_SZ, text(std::string("a\0\0b\0", 6))},
        {"three bytes", REG_BINARY, {0x0a, 0x0b, 0x0c}},
        {"no data", REG_BINARY, {}},
        {"dword", REG_DWORD, {1, 2, 3, 4}},
        {"big-endian", REG_DWORD_BIG_ENDIAN, {4, 3, 2, 1}},
        {"qword", REG_QWORD, {1, 2, 3, 4, 5, 6, 7, 8}},
        {"none", REG_NONE, {0xff}},
        {"an unknown type", 0x12345678, {0x00, 0x80}},
        {"quotes \" and backslashes \\", REG_SZ, text("\"\\")},
        {"non-ASCII \xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", REG_SZ, text("\xe2\x82\xac")},
        {"a line\r\nbreak", REG_SZ, text("x")},
    };
    for (const auto& v : values)
        ASSERT_TRUE(
            regSetBytes(HKEY_CURRENT_USER, path(TEXT("source")), W(v.name), v.type, v.data));
    RegCloseKey(create(TEXT("source\\Sub"), TEXT("MyClass")));
    regSetBytes(HKEY_CURRENT_USER, path(TEXT("source\\Sub\\Deeper")), TEXT("d"), REG_BINARY, {7});
    RegCloseKey(create(W("source\\\xc3\x9cnic\xc3\xb6"
                         "de")
                           .c_str()));
    const std::string before = dump(m_target);
    ASSERT_TRUE(save(winPath("saved.hiv")));

    ScopedPrivilege backup(TEXT("SeBackupPrivilege"), true);
    ScopedPrivilege restore(TEXT("SeRestorePrivilege"), true);
    EXPECT_EQ(ERROR_SUCCESS, RegRestoreKeyW(m_target, winPath("saved.hiv").c_str(), 0));
    // Everything the target held is replaced, and it keeps its own name.
    std::string restored = dump(m_target);
    EXPECT_EQ(expectOnHost(kRestoreStub, dump(m_source), before), restored);
    HKEY again = nullptr;
    EXPECT_EQ(ERROR_SUCCESS,
              RegOpenKeyExW(HKEY_CURRENT_USER, path(TEXT("target")).c_str(), 0, KEY_READ, &again));
    RegCloseKey(again);
}

TEST_F(RegistrySaveRestoreTest, SavingNeedsTheBackupPrivilegeAndANewFile) {
    writeBytes(fsPath("existing.hiv"), "old");
    struct Row {
        const char* comment;
        bool backup;
        const char* file;
        LONG expected;
        bool existsAfter;
    } rows[] = {
        {"the backup privilege not enabled", false, "refused.hiv", ERROR_PRIVILEGE_NOT_HELD,
         expectOnHost("Wine leaves the new file behind when it refuses RegSaveKeyW", false, true)},
        {"a new file", true, "new.hiv", ERROR_SUCCESS, true},
        {"an existing file", true, "existing.hiv",
         expectOnHost<LONG>("Wine's RegSaveKeyW overwrites an existing file", ERROR_ALREADY_EXISTS,
                            ERROR_SUCCESS),
         true},
        {"a missing folder", true, "missing/new.hiv", ERROR_PATH_NOT_FOUND, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        ScopedPrivilege backup(TEXT("SeBackupPrivilege"), row.backup);
        EXPECT_EQ(row.expected, RegSaveKeyW(m_source, winPath(row.file).c_str(), nullptr));
        EXPECT_EQ(row.existsAfter, std::filesystem::exists(fsPath(row.file)));
    }
}

TEST_F(RegistrySaveRestoreTest, AFailedRestoreChangesNothing) {
    ASSERT_TRUE(save(winPath("saved.hiv")));
    writeBytes(fsPath("regedit.reg"), "Windows Registry Editor Version 5.00\r\n");
    writeBytes(fsPath("damaged.hiv"),
               "win32_posix saved key 1\nkey 0 \"x\" class \"\"\nkey 2 \"y\" class \"\"\n");
    HKEY open = create(TEXT("target\\OldSub"));
    struct Row {
        const char* comment;
        bool backup, restore;
        const char* file;
        LONG expected;  // on Windows
    } rows[] = {
        {"the restore privilege not enabled", true, false, "saved.hiv", ERROR_PRIVILEGE_NOT_HELD},
        {"the backup privilege not enabled", false, true, "saved.hiv", ERROR_PRIVILEGE_NOT_HELD},
        {"a missing file", true, true, "missing.hiv", ERROR_FILE_NOT_FOUND},
        {"a missing folder", true, true, "missing/saved.hiv", ERROR_PATH_NOT_FOUND},
        {"a file that is not a saved key", true, true, "regedit.reg", ERROR_NOT_REGISTRY_FILE},
        {"a damaged file", true, true, "damaged.hiv", ERROR_REGISTRY_CORRUPT},
        {"a subkey is open", true, true, "saved.hiv", ERROR_ACCESS_DENIED},
    };
    const std::string before = dump(m_target);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.comment);
        ScopedPrivilege backup(TEXT("SeBackupPrivilege"), row.backup);
        ScopedPrivilege restore(TEXT("SeRestorePrivilege"), row.restore);
        EXPECT_EQ(expectOnHost<LONG>(kRestoreStub, row.expected, ERROR_SUCCESS),
                  RegRestoreKeyW(m_target, winPath(row.file).c_str(), 0));
        EXPECT_EQ(before, dump(m_target));
    }
    RegCloseKey(open);
}

TEST_F(RegistrySaveRestoreTest, ForcingARestoreDeletesTheKeysOpenBelow) {
    regSetBytes(HKEY_CURRENT_USER, path(TEXT("source")), TEXT("new"), REG_DWORD, {3, 0, 0, 0});
    ASSERT_TRUE(save(winPath("saved.hiv")));
    // REG_FORCE_RESTORE alone, and with the library's own text-file selector
    // (16), which the system does not look at.
    for (DWORD flags :
         {static_cast<DWORD>(REG_FORCE_RESTORE), static_cast<DWORD>(REG_FORCE_RESTORE | 16)}) {
        SCOPED_TRACE(flags);
        HKEY open = create(TEXT("target\\OldSub"));
        ScopedPrivilege backup(TEXT("SeBackupPrivilege"), true);
        ScopedPrivilege restore(TEXT("SeRestorePrivilege"), true);
        EXPECT_EQ(ERROR_SUCCESS, RegRestoreKeyW(m_target, winPath("saved.hiv").c_str(), flags));
        EXPECT_EQ(expectOnHost<LONG>(kRestoreStub, ERROR_KEY_DELETED, ERROR_SUCCESS),
                  RegQueryValueExW(open, TEXT("v"), nullptr, nullptr, nullptr, nullptr));
        EXPECT_EQ(expectOnHost<LONG>(kRestoreStub, ERROR_SUCCESS, ERROR_FILE_NOT_FOUND),
                  RegQueryValueExW(m_target, TEXT("new"), nullptr, nullptr, nullptr, nullptr));
        RegCloseKey(open);
        regSetBytes(HKEY_CURRENT_USER, path(TEXT("target\\OldSub")), TEXT("v"), REG_DWORD,
                    {2, 0, 0, 0});
    }
}

}  // namespace
