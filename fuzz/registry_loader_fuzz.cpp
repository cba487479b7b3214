// registry_loader_fuzz.cpp - the registry file (WIN32_POSIX_REGISTRY) over
// arbitrary bytes: the reader, and for every file it accepts the whole
// loader: the registry loaded from it through the API, every key and value
// enumerated with guarded buffers, one change written back, and the file
// read again.
//
// What must hold for any input:
//   - the reader answers ok, or names a line and a reason;
//   - the enumeration calls never write past the sizes they are given;
//   - after a change the file is rewritten so that it reads back as the
//     registry held it (nothing lost, nothing added but the change).
#include <reg_file.h>
#include <win32_posix/testing.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "fuzz_support.h"

namespace {

using w32p::wstring;

struct ValueData {
    wstring name;
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const ValueData& o) const {
        return name == o.name && type == o.type && data == o.data;
    }
};
// Every key by its full path (root and names, upper-cased for the order
// only), with its values in the order the registry gives them.
using Tree = std::map<wstring, std::vector<ValueData>>;

const size_t kMaxKeys = 2000;

bool hasLineBreak(const wstring& name) { return name.find_first_of(u"\r\n") != wstring::npos; }

// One value read with RegEnumValueW: the size asked first, then the data,
// each time into a guarded buffer.
ValueData readValue(HKEY key, DWORD index, bool& lineBreak) {
    ValueData value{};
    fuzz::GuardedText name(16384);
    DWORD nameUnits = 16384, bytes = 0, type = 0;
    LONG rc = RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &type, nullptr, &bytes);
    fuzz::check(rc == ERROR_SUCCESS, "a value counted is enumerated");
    fuzz::check(name.guardsIntact() && nameUnits < 16384 && name.data()[nameUnits] == 0,
                "RegEnumValueW keeps to the name's buffer");
    value.name.assign(name.data(), nameUnits);
    value.type = type;
    // The data in a buffer of the size answered, guarded after it.
    std::vector<BYTE> data(bytes + 16, 0xA5);
    DWORD size = bytes;
    nameUnits = 16384;
    rc = RegEnumValueW(key, index, name.data(), &nameUnits, nullptr, &type, data.data(), &size);
    fuzz::check(rc == ERROR_SUCCESS && size == bytes, "the data fits the size answered");
    for (size_t i = bytes; i < data.size(); ++i)
        fuzz::check(data[i] == 0xA5, "RegEnumValueW keeps to the data's buffer");
    value.data.assign(data.begin(), data.begin() + bytes);
    lineBreak = lineBreak || hasLineBreak(value.name);
    return value;
}

void walk(HKEY key, const wstring& path, Tree& tree, bool& lineBreak) {
    if (tree.size() >= kMaxKeys) return;
    DWORD subKeys = 0, values = 0;
    fuzz::check(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                 &values, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS,
                "an open key answers its counts");
    std::vector<ValueData>& list = tree[path];
    for (DWORD i = 0; i < values; ++i) list.push_back(readValue(key, i, lineBreak));
    for (DWORD i = 0; i < subKeys; ++i) {
        fuzz::GuardedText name(256);
        DWORD units = 256;
        LONG rc = RegEnumKeyExW(key, i, name.data(), &units, nullptr, nullptr, nullptr, nullptr);
        fuzz::check(rc == ERROR_SUCCESS, "a key counted is enumerated");
        fuzz::check(name.guardsIntact() && units < 256 && name.data()[units] == 0,
                    "RegEnumKeyExW keeps to its buffer");
        wstring child(name.data(), units);
        lineBreak = lineBreak || hasLineBreak(child);
        HKEY sub = nullptr;
        fuzz::check(RegOpenKeyExW(key, child.c_str(), 0, KEY_READ, &sub) == ERROR_SUCCESS,
                    "a key enumerated opens");
        walk(sub, path + u"\\" + child, tree, lineBreak);
        RegCloseKey(sub);
    }
}

const std::pair<HKEY, const char16_t*> kRoots[] = {
    {HKEY_CLASSES_ROOT, u"HKCR"}, {HKEY_CURRENT_USER, u"HKCU"},   {HKEY_LOCAL_MACHINE, u"HKLM"},
    {HKEY_USERS, u"HKU"},         {HKEY_CURRENT_CONFIG, u"HKCC"},
};

// The registry as the process holds it after (re)loading the file.
Tree load(bool& lineBreak) {
    w32p::testing::resetRegistry();
    Tree tree;
    for (const auto& [root, name] : kRoots) walk(root, name, tree, lineBreak);
    return tree;
}

std::string fileBytes(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    std::string bytes;
    if (!file) return bytes;
    char buffer[65536];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
    std::fclose(file);
    return bytes;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    w32p::regfile::ReadResult parsed = w32p::regfile::read(bytes);
    if (!parsed.ok) {
        fuzz::check(parsed.line >= 1 && !parsed.error.empty(),
                    "a refusal names a line and a reason");
        return 0;  // a malformed file is refused as a whole: nothing more to load
    }

    static const std::string path = fuzz::scratchFolder() + "/fuzz.reg";
    static const bool configured = setenv("WIN32_POSIX_REGISTRY", path.c_str(), 1) == 0;
    fuzz::check(configured, "WIN32_POSIX_REGISTRY set");
    fuzz::writeFile(path, bytes);

    bool lineBreak = false;
    Tree before = load(lineBreak);
    if (before.size() >= kMaxKeys) return 0;  // walked only in part

    // One change, which writes the whole registry back to the file.
    const DWORD number = 0x12345678;
    fuzz::check(RegSetValueExW(HKEY_CURRENT_CONFIG, u"hbc fuzz value", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), 4) == ERROR_SUCCESS,
                "a value is set");
    std::vector<ValueData>& rootValues = before[u"HKCC"];
    ValueData change{u"hbc fuzz value", REG_DWORD, {0x78, 0x56, 0x34, 0x12}};
    bool replaced = false;
    for (ValueData& v : rootValues)
        if (w32p::equalsNoCase(v.name, change.name)) {
            v.type = change.type;  // the name keeps its first spelling
            v.data = change.data;
            replaced = true;
        }
    if (!replaced) rootValues.push_back(change);

    w32p::regfile::ReadResult written = w32p::regfile::read(fileBytes(path));
    fuzz::check(written.ok, "the file written reads back");
    if (lineBreak) return 0;  // such names stay in the process, by design
    bool ignored = false;
    Tree after = load(ignored);
    fuzz::check(after.size() == before.size(), "the file written holds every key");
    for (const auto& [key, values] : before) {
        auto found = after.find(key);
        fuzz::check(found != after.end(), "the file written holds every key");
        fuzz::check(found->second.size() == values.size(), "the file written holds every value");
        for (size_t i = 0; i < values.size(); ++i) {
            const ValueData& a = values[i];
            const ValueData& b = found->second[i];
            fuzz::check(
                a.type == b.type && a.data == b.data && (w32p::equalsNoCase(a.name, b.name)),
                "the file written holds every value's type and data");
        }
    }
    return 0;
}
