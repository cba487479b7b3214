// registry_test_support.h - what the registry class tests share: the keys
// below the scratch key, reading a stored value raw, and the records of the
// log as comparable text.
#ifndef REGISTRY_TEST_SUPPORT_H
#define REGISTRY_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "log_test_support.h"
#include "zyn_log_detail.h"
#include "zyn_wchar_string.h"

inline CZYNWCharString Z(const std::string& utf8) { return CZYNWCharString(W(utf8).c_str()); }

// The path of a key below the scratch key, as the library and the API take it.
inline wstr scratchPath(const std::string& sub) { return wstr(kScratchKey) + TEXT("\\") + W(sub); }
inline CZYNWCharString scratchKey(const std::string& sub) {
    return CZYNWCharString(scratchPath(sub).c_str());
}
// The same path as it shows in a log line.
inline std::string scratchText(const std::string& sub) { return U8(scratchPath(sub)); }

// A stored value's type and bytes, read past the library; false when missing.
inline bool regGet(const std::string& sub, const std::string& name, DWORD* type,
                   std::vector<BYTE>* bytes) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, scratchPath(sub).c_str(), 0, KEY_READ, &key) != 0)
        return false;
    DWORD size = 0;
    LONG rc = RegQueryValueExW(key, W(name).c_str(), nullptr, type, nullptr, &size);
    bytes->assign(size, 0);
    if (rc == ERROR_SUCCESS && size)
        rc = RegQueryValueExW(key, W(name).c_str(), nullptr, type, bytes->data(), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

// A value's type and bytes as "type: bytes in hex" ("1: 61 00 00 00").
inline std::string describe(DWORD type, const BYTE* bytes, size_t count) {
    const char hex[] = "0123456789abcdef";
    std::string out = std::to_string(type) + ":";
    for (size_t i = 0; i < count; ++i) out += {' ', hex[bytes[i] >> 4], hex[bytes[i] & 15]};
    return out;
}

// The stored value, described; "missing" when there is none.
inline std::string raw(const std::string& sub, const std::string& name) {
    DWORD type = 0;
    std::vector<BYTE> bytes;
    if (!regGet(sub, name, &type, &bytes)) return "missing";
    return describe(type, bytes.data(), bytes.size());
}

// Whether the key exists, asked past the library.
inline bool regKeyExists(const std::string& sub) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, scratchPath(sub).c_str(), 0, KEY_READ, &key) != 0)
        return false;
    RegCloseKey(key);
    return true;
}

// The bytes of UTF-16 text (without a terminator).
inline std::vector<BYTE> utf16Bytes(const std::string& utf8) {
    const wstr text = W(utf8);
    const BYTE* p = reinterpret_cast<const BYTE*>(text.data());
    return std::vector<BYTE>(p, p + text.size() * sizeof(WCHAR));
}

// "tag name=value" of each record of a key-level list.
template <class List, class Show>
std::vector<std::string> listed(const List& list, Show show) {
    std::vector<std::string> out;
    for (LONG i = 0; i < list.getCount(); ++i) {
        const auto& record = *list.getObjectAt(i);
        out.push_back(std::to_string(list.getNodeAt(i)->getTag()) + " " +
                      U8(record.name.getText()) + "=" + show(record));
    }
    return out;
}

class RegistryTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        enableLogging(0xFFF & ~(ZYN_ENTRY | ZYN_EXIT));  // every record but the traces
    }
    void TearDown() override {
        zyn::failNthAllocation(0);
        HbcTest::TearDown();
    }
    // The log's lines after their time piece, the application name shown as
    // APP, from line `from` on.
    std::vector<std::string> records(size_t from = 0) const {
        std::vector<std::string> out;
        const std::vector<std::string> lines = logLines();
        const std::string app = "<" + applicationName() + "> ";
        for (size_t i = from; i < lines.size(); ++i) {
            std::string line = withoutTime(lines[i]);
            const size_t at = line.find(app);
            if (at != std::string::npos) line.replace(at, app.size(), "<APP> ");
            out.push_back(line);
        }
        return out;
    }
    size_t recordCount() const { return logLines().size(); }
};

#endif
