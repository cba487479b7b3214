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

using fuzz::RegistryTree;
using fuzz::RegistryValue;

// The registry as the process holds it after (re)loading the file.
RegistryTree load(bool& lineBreak) {
    w32p::testing::resetRegistry();
    return fuzz::registrySnapshot(&lineBreak);
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
    RegistryTree before = load(lineBreak);
    if (before.size() >= fuzz::kMaxSnapshotKeys) return 0;  // walked only in part

    // One change, which writes the whole registry back to the file.
    const DWORD number = 0x12345678;
    fuzz::check(RegSetValueExW(HKEY_CURRENT_CONFIG, u"hbc fuzz value", 0, REG_DWORD,
                               reinterpret_cast<const BYTE*>(&number), 4) == ERROR_SUCCESS,
                "a value is set");
    std::vector<RegistryValue>& rootValues = before[u"HKCC"];
    RegistryValue change{u"hbc fuzz value", REG_DWORD, {0x78, 0x56, 0x34, 0x12}};
    bool replaced = false;
    for (RegistryValue& v : rootValues)
        if (w32p::equalsNoCase(v.name, change.name)) {
            v.type = change.type;  // the name keeps its first spelling
            v.data = change.data;
            replaced = true;
        }
    if (!replaced) rootValues.push_back(change);

    w32p::regfile::ReadResult written = w32p::regfile::read(fuzz::readFile(path));
    fuzz::check(written.ok, "the file written reads back");
    if (lineBreak) return 0;  // such names stay in the process, by design
    bool ignored = false;
    RegistryTree after = load(ignored);
    fuzz::check(after.size() == before.size(), "the file written holds every key");
    for (const auto& [key, values] : before) {
        auto found = after.find(key);
        fuzz::check(found != after.end(), "the file written holds every key");
        fuzz::check(found->second.size() == values.size(), "the file written holds every value");
        for (size_t i = 0; i < values.size(); ++i) {
            const RegistryValue& a = values[i];
            const RegistryValue& b = found->second[i];
            fuzz::check(
                a.type == b.type && a.data == b.data && (w32p::equalsNoCase(a.name, b.name)),
                "the file written holds every value's type and data");
        }
    }
    return 0;
}
