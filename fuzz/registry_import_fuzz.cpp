// registry_import_fuzz.cpp - the registry text file over arbitrary bytes
// (UTF-16LE with its mark, UTF-8, ANSI, binary), imported through the key's
// importKey (flags 16) into an empty registry, then exported through
// exportKey (format 8) and imported again.
//
// What must hold for any input:
//   - the import answers true (it refuses a line by skipping it, and a value
//     the registry does not take is a logged failure of its value class);
//     the log holds whole lines, and no exception foreign to the library;
//   - the registry walks within guarded buffers;
//   - what was imported, exported, and imported into an empty registry
//     again, is the same registry content: every named value with its type
//     and data (a multi-string up to its first empty member, which ends it),
//     but for the values of one key whose names make one entry of the file
//     (entryOf);
//   - exporting that second registry writes the first export's bytes again.
#include <fcntl.h>
#include <unistd.h>
#include <win32_posix/testing.h>

#include <win32_posix/text.h>

#include <algorithm>
#include <cstdlib>
#include <set>

#include "fuzz_support.h"
#include "zyn_registry_key.h"

namespace {

using fuzz::RegistryTree;
using fuzz::RegistryValue;

struct Files {
    std::string input, exported, again, log;
    std::u16string inputWin, exportedWin, againWin, logWin;
};
Files g_files;

const HKEY kRoots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS,
                       HKEY_CURRENT_CONFIG};

// Every drive-C: path names a place in the scratch folder, which is also
// the current folder while an input runs (InScratch): a log file that an
// imported setting names lands there, never elsewhere on the machine.
// libFuzzer reads its corpus and writes what it finds between inputs, in
// the folder it was started in.
int g_startFolder = -1;

void setUp() {
    const std::string& root = fuzz::scratchFolder();
    setenv("WIN32_POSIX_DRIVE_C", root.c_str(), 1);
    unsetenv("WIN32_POSIX_REGISTRY");  // the registry lives in the process
    w32p::testing::resetConfiguration();
    g_startFolder = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    fuzz::check(g_startFolder >= 0, "the start folder is kept");
    auto name = [&](const char* file, std::string& posix, std::u16string& windows) {
        posix = root + "/" + file;
        windows = u"C:\\";
        for (const char* c = file; *c; ++c) windows.push_back(static_cast<char16_t>(*c));
    };
    name("input.ini", g_files.input, g_files.inputWin);
    name("exported.ini", g_files.exported, g_files.exportedWin);
    name("again.ini", g_files.again, g_files.againWin);
    name("log.txt", g_files.log, g_files.logWin);
}

struct InScratch {
    InScratch() {
        fuzz::check(::chdir(fuzz::scratchFolder().c_str()) == 0, "into the scratch folder");
    }
    ~InScratch() { fuzz::check(::fchdir(g_startFolder) == 0, "back to the start folder"); }
};

// An empty registry, with the log switched on (every level but traces) for
// the input's own import, whose records are checked.
void freshRegistry(bool logged) {
    w32p::testing::resetRegistry();
    if (!logged) return;
    std::remove(g_files.log.c_str());
    fuzz::configureLog(g_files.logWin, 1, 59);
}

// Takes the log's settings out again: with them every traced call of the
// library reads them from the registry, which would make the round trip
// several times slower. What an input wrote into that key goes with them.
void logOff() {
    LONG rc = RegDeleteTreeW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Norvak\\Logs");
    fuzz::check(rc == ERROR_SUCCESS, "the log's settings are taken out");
}

bool import(const std::u16string& file) {
    CZYNRegistryKey key(HKEY_LOCAL_MACHINE, CZYNWCharString(), KEY_READ, false, 0);
    return key.importKey(CZYNWCharString(file.c_str()), 16);
}

// The whole registry, root by root, into one new file.
void exportAll(const std::u16string& file) {
    bool first = true;
    for (HKEY root : kRoots) {
        CZYNRegistryKey key(root, CZYNWCharString(), KEY_READ, false, 0);
        fuzz::check(key.exportKey(CZYNWCharString(file.c_str()), 8, first),
                    "the export answers true");
        first = false;
    }
}

// An unhandled-exception record is written after a library record by the
// operations that have only a catch-all handler (the record raised in their
// body comes first); one without such a record before it caught something
// foreign to the library.
void checkImportLog() {
    const std::u16string unhandled = u"An unhandled exception occurred";
    const std::vector<std::u16string> lines = fuzz::logLines(g_files.log);
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].find(unhandled) != std::u16string::npos)
            fuzz::check(i > 0 && lines[i - 1].find(unhandled) == std::u16string::npos,
                        "the import meets no exception foreign to the library");
}

// The strings of a multi-string as the registry's readers see them: up to
// the first empty one.
std::vector<std::u16string> multiStrings(const std::vector<BYTE>& data) {
    std::vector<std::u16string> strings(1);
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        char16_t unit = static_cast<char16_t>(data[i] | data[i + 1] << 8);
        if (unit != 0) {
            strings.back().push_back(unit);
        } else if (strings.back().empty()) {
            break;
        } else {
            strings.emplace_back();
        }
    }
    if (strings.back().empty()) strings.pop_back();
    return strings;
}

// The entry a value's name makes in the text file: the private-profile
// functions know an entry by the text before its first '=', without the
// blanks around it, in any case. The file has no escaping, so the values of
// one key whose names make the same entry ("a" and "a=", or "a" and " a")
// share one line, and only the last one written is carried.
std::u16string entryOf(const std::u16string& name) {
    std::u16string key = name.substr(0, name.find(u'='));
    const size_t first = key.find_first_not_of(u" \t");
    key = first == std::u16string::npos
              ? std::u16string()
              : key.substr(first, key.find_last_not_of(u" \t") - first + 1);
    for (char16_t& c : key) c = w32p::upcase(c);
    return key;
}

// The entries that more than one value of the same key makes.
using SharedEntries = std::set<std::pair<std::u16string, std::u16string>>;
SharedEntries sharedEntries(const RegistryTree& tree) {
    SharedEntries shared;
    for (const auto& [path, values] : tree) {
        std::set<std::u16string> seen;
        for (const RegistryValue& v : values)
            if (!v.name.empty() && !seen.insert(entryOf(v.name)).second)
                shared.emplace(path, entryOf(v.name));
    }
    return shared;
}

// What the text file carries of a tree: the named values of each key that
// has any, by name, a multi-string's data replaced by its strings, less the
// values of shared entries.
struct Carried {
    std::u16string name;
    DWORD type;
    std::vector<BYTE> data;
    std::vector<std::u16string> strings;
    bool operator==(const Carried& o) const {
        return name == o.name && type == o.type && data == o.data && strings == o.strings;
    }
    bool operator<(const Carried& o) const { return name < o.name; }
};
std::map<std::u16string, std::vector<Carried>> carried(const RegistryTree& tree,
                                                       const SharedEntries& shared) {
    std::map<std::u16string, std::vector<Carried>> result;
    for (const auto& [path, values] : tree) {
        std::vector<Carried> list;
        for (const RegistryValue& v : values) {
            if (v.name.empty()) continue;  // the default value is not written
            if (shared.count({path, entryOf(v.name)})) continue;
            if (v.type == REG_MULTI_SZ)
                list.push_back({v.name, v.type, {}, multiStrings(v.data)});
            else
                list.push_back({v.name, v.type, v.data, {}});
        }
        std::sort(list.begin(), list.end());
        if (!list.empty()) result.emplace(path, std::move(list));
    }
    return result;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    setUp();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const InScratch inScratch;
    freshRegistry(true);
    fuzz::writeFile(g_files.input, std::string_view(reinterpret_cast<const char*>(data), size));
    fuzz::check(import(g_files.inputWin), "the import answers true");
    checkImportLog();
    logOff();
    const RegistryTree imported = fuzz::registrySnapshot();
    if (imported.size() >= fuzz::kMaxSnapshotKeys) return 0;  // walked only in part

    exportAll(g_files.exportedWin);
    freshRegistry(false);
    fuzz::check(import(g_files.exportedWin), "the exported file imports");
    const RegistryTree reimported = fuzz::registrySnapshot();
    const SharedEntries shared = sharedEntries(imported);
    fuzz::check(carried(reimported, shared) == carried(imported, shared),
                "the export carries every named value to the next import");
    if (!shared.empty()) return 0;  // the lines of the shared entries were rewritten in place
    exportAll(g_files.againWin);
    fuzz::check(fuzz::readFile(g_files.again) == fuzz::readFile(g_files.exported),
                "the second export writes the first one's bytes");
    return 0;
}
