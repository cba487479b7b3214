// catalogue_fuzz.cpp - the whole catalogue built from an arbitrary item
// definition file and strings file, and queried through the exports.
//
// The input: one byte of settings, the host's language (two bytes,
// little-endian), then the definition file's bytes, then kSeparator and the
// strings file's bytes. The settings: bit 0 logging on (the default levels
// and DEBUG), bit 1 logging of every record (traces too), bits 2-3 the
// Windows version (XP, Vista, 10, 2000). Commands may name the program
// %HBC_FUZZ_PROGRAM%, which exists.
//
// What must hold for any input: the module loads and unloads; every query
// answers 0, 1 or 2 as the id's list says; a failed query leaves the host's
// record and value untouched; a filled record holds terminated texts within
// their fields and nothing written past a terminator; the log, when on,
// holds one byte-order mark and whole lines.
#include <win32_posix/testing.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "fuzz_support.h"
#include "tpa_hbc.h"

namespace {

const std::string_view kSeparator("\0\xFF\0\xFFstrings\n", 12);
const unsigned char kHostFill = 0xCD;
const LONG kUntouched = static_cast<LONG>(0xdeadbeef);
const DWORD kIds[] = {0, 1, 2, 3, 99, 100, 101, 102, 199, 200, 250, 0xFFFFFFFF};
const char* const kVersions[] = {"5.1", "6.0", "10.0", "5.0"};

struct Setup {
    std::string items, definition, log;
    std::u16string logFile;
    Setup() {
        const std::string& root = fuzz::scratchFolder();
        items = root + "/items";
        definition = items + "/item.ini";
        log = root + "/log/log.txt";
        std::filesystem::create_directories(items);
        std::filesystem::create_directories(root + "/log");
        std::filesystem::create_directories(root + "/programs");
        fuzz::writeFile(root + "/programs/tool.exe", "MZ");
        unsetenv("WIN32_POSIX_REGISTRY");  // the registry lives in the process
        setenv("HBC_FUZZ_PROGRAM", (root + "/programs/tool.exe").c_str(), 1);
        const std::u16string folder = fuzz::windowsPath(items) + u"\\";
        logFile = fuzz::windowsPath(log);
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, HBC_ITEM_FOLDER_KEY, 0, nullptr, 0, KEY_ALL_ACCESS,
                        nullptr, &key, nullptr);
        RegSetValueExW(key, HBC_ITEM_FOLDER_VALUE, 0, REG_SZ,
                       reinterpret_cast<const BYTE*>(folder.c_str()),
                       static_cast<DWORD>((folder.size() + 1) * 2));
        RegCloseKey(key);
    }
};

// A text field after a successful query: terminated inside the field, and
// untouched after its terminator.
void checkText(const WCHAR* field, size_t units, const char* what) {
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(field);
    size_t length = 0;
    while (length < units && field[length] != 0) ++length;
    fuzz::check(length < units, what);
    for (size_t i = (length + 1) * sizeof(WCHAR); i < units * sizeof(WCHAR); ++i)
        fuzz::check(raw[i] == kHostFill, what);
}

bool untouched(const void* p, size_t bytes) {
    const unsigned char* raw = static_cast<const unsigned char*>(p);
    for (size_t i = 0; i < bytes; ++i)
        if (raw[i] != kHostFill) return false;
    return true;
}

void query(DWORD language, DWORD id) {
    FunctionInfo info;
    std::memset(&info, kHostFill, sizeof info);
    info.functionId = id;
    DWORD size = sizeof info;
    DWORD code = HB_GetFunctionInfo(language, &info, &size);
    LONG capability = kUntouched;
    DWORD capabilityCode = HB_GetCapability(id, &capability);
    DWORD list = id / 100;
    fuzz::check(size == sizeof info, "the size is left as it was");
    fuzz::check(code == capabilityCode, "both queries agree on the item");
    fuzz::check(list >= 2 ? code == 2 : code <= 1, "the code follows the id's list");
    fuzz::check(info.functionId == id, "the id is never written");
    if (code != 0) {
        fuzz::check(untouched(&info.categoryCode, sizeof info - sizeof info.functionId),
                    "a failed query leaves the record alone");
        fuzz::check(capability == kUntouched, "a failed query leaves the capability alone");
        return;
    }
    checkText(info.reservedText, HBC_MENU_TEXT_UNITS, "reservedText is empty and nothing else");
    checkText(info.execInterface, HBC_EXEC_INTERFACE_UNITS, "execInterface stays in its field");
    if (!untouched(info.menuText, sizeof info.menuText))
        checkText(info.menuText, HBC_MENU_TEXT_UNITS, "menuText stays in its field");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const Setup setup;
    if (size < 3) return 0;
    const uint8_t settings = data[0];
    const DWORD language = data[1] | data[2] << 8;
    std::string_view rest(reinterpret_cast<const char*>(data) + 3, size - 3);
    size_t split = rest.find(kSeparator);
    std::string_view definition = rest.substr(0, split);
    std::string_view strings = split == std::string_view::npos
                                   ? std::string_view()
                                   : rest.substr(split + kSeparator.size());

    fuzz::writeFile(setup.definition, definition);
    if (split == std::string_view::npos)
        std::filesystem::remove(setup.definition + ".strings");
    else
        fuzz::writeFile(setup.definition + ".strings", strings);
    std::filesystem::remove(setup.log);
    fuzz::configureLog(setup.logFile, settings & 3, settings & 2 ? 0xFFF : 59);
    setenv("WIN32_POSIX_VERSION", kVersions[(settings >> 2) & 3], 1);
    w32p::testing::resetConfiguration();

    fuzz::check(DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr) == TRUE, "the module loads");
    fuzz::check(iniFiles.getCount() == 1, "the one definition file is listed");
    fuzz::check(quickLinkItems.getCount() <= 1 && toolkitItems.getCount() <= 1,
                "a file gives at most one item of each kind");
    fuzz::check(HB_GetStatus(0, 0, 0) == 1, "the status is 1");
    for (DWORD id : kIds) query(language, id);
    fuzz::check(DllMain(nullptr, DLL_PROCESS_DETACH, nullptr) == TRUE, "the module unloads");
    fuzz::check(
        iniFiles.getCount() == 0 && quickLinkItems.getCount() == 0 && toolkitItems.getCount() == 0,
        "unloading frees the catalogue");
    fuzz::logLines(setup.log);
    return 0;
}
