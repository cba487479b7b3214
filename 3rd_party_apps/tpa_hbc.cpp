// tpa_hbc.cpp - the plug-in: the module-wide catalogue, the functions the
// host calls, and the module's entry.
//
//   module-wide state      runningOnXP, runningOnVista, iniFiles, quickLinkItems, toolkitItems
//   item lookup            the function id encoding
//   exported functions     HB_GetStatus, HB_GetFunctionInfo, HB_GetCapability
//   menu texts             LoadStringFromIni
//   command expansion      ExpandAndCheckPath
//   catalogue              BuildListOfIniFiles, BuildListsOfHbcItems, DeleteLists
//   module entry           DllMain, and on POSIX the static object that calls it
//
// No exception ever reaches the host or the loader: every exported function
// catches everything and answers with a code, and DllMain always succeeds.
#include "tpa_hbc.h"

#include <memory>
#include <optional>

#include "zyn_failure.h"
#include "zyn_file.h"
#include "zyn_function_trace.h"
#include "zyn_ini.h"
#include "zyn_log_warning.h"
#include "zyn_registry_string.h"
#include "zyn_windows_os_info.h"

namespace {
// The module's name in its records, and the source file they name.
const WCHAR* const MODULE = TEXT("tpa_hbc.dll");
const WCHAR* const SOURCE = TEXT("tpa_hbc.cpp");
}  // namespace

DWORD runningOnXP = 0;
DWORD runningOnVista = 0;
HbcPathList iniFiles;
HbcItemList quickLinkItems;
HbcItemList toolkitItems;

namespace {

// Copies a NUL-terminated text and its terminator into a field of `units`
// units; the units after the terminator keep what the host put there. A text
// too long for the field is cut, never between the two halves of a
// surrogate pair.
void copyField(WCHAR* field, DWORD units, const WCHAR* text) {
    DWORD length = 0;
    while (length + 1 < units && text[length] != 0) ++length;
    if (text[length] != 0 && length > 0 && text[length - 1] >= 0xD800 && text[length - 1] <= 0xDBFF)
        --length;
    for (DWORD i = 0; i < length; ++i) field[i] = text[i];
    field[length] = 0;
}

// Finds the item a function id addresses: list number = id / 100, position
// = id % 100, counted from 1 (position 0 is the first item too). The lists
// are walked from their first item without moving their cursors, so queries
// from several threads do not disturb each other.
DWORD FindItem(DWORD functionId, HbcItem** ppItem) {
    DWORD listNumber = functionId / 100;
    DWORD position = functionId % 100;
    HbcItemList* list = nullptr;
    if (listNumber == 0) {
        list = &quickLinkItems;
    } else if (listNumber == 1) {
        list = &toolkitItems;
    } else {
        return HBC_NO_SUCH_LIST;
    }
    if (position > static_cast<DWORD>(list->getCount())) return HBC_FAILED;
    HbcItem* item = list->getObjectAt(position == 0 ? 0 : position - 1);
    if (!item) return HBC_FAILED;
    *ppItem = item;
    return HBC_OK;
}

}  // namespace

extern "C" DWORD WINAPI HB_GetStatus(DWORD, DWORD, DWORD) { return 1; }

extern "C" DWORD WINAPI HB_GetFunctionInfo(DWORD languageId, FunctionInfo* info, DWORD* size) {
    // The host's pointers are checked rather than trusted: a null one is a failure.
    if (!size) return HBC_FAILED;
    if (*size == 0) {
        *size = HBC_FUNCTION_INFO_SIZE;
        return HBC_OK;
    }
    if (*size < HBC_FUNCTION_INFO_SIZE || !info) return HBC_FAILED;
    try {
        HbcItem* item = nullptr;
        DWORD code = FindItem(info->functionId, &item);
        if (code != HBC_OK) return code;
        info->reservedText[0] = 0;
        copyField(info->execInterface, HBC_EXEC_INTERFACE_UNITS, item->execInterface);
        if (item->iniFile)
            LoadStringFromIni(*item->iniFile, languageId, info->menuText, item->menuString);
        info->categoryCode = item->categoryCode;
        info->dependency = item->dependency;
        info->execInterfaceType = item->execInterfaceType;
        info->menuType = item->menuType;
        return HBC_OK;
    } catch (...) {
        return HBC_FAILED;
    }
}

extern "C" DWORD WINAPI HB_GetCapability(DWORD functionId, LONG* capability) {
    if (!capability) return HBC_FAILED;
    try {
        HbcItem* item = nullptr;
        DWORD code = FindItem(functionId, &item);
        if (code != HBC_OK) return code;
        *capability = item->capability;
        return HBC_OK;
    } catch (...) {
        return HBC_FAILED;
    }
}

bool LoadStringFromIni(const CZYNWCharString& iniFile, DWORD languageId, WCHAR* destination,
                       const CZYNWCharString& key) {
    CZYNFunctionTrace trace(MODULE, TEXT("LoadStringFromIni"), SOURCE, 500);
    return trace.passed(zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        WORD language = LOWORD(languageId);
        CZYNIni strings(iniFile + CZYNWCharString(TEXT(".strings")));
        CZYNWCharString text;

        // The full language identifier, as "0x" and exactly three digits.
        bool found = strings.getProfileString(CZYNWCharString(ULONG(language), nsHex, 3, true),
                                              key, text);
        if (!found) {
            CZYNDebugLog(TEXT("could not load the translated string using the language ID"), 0,
                         ZYN_RESULT_PASSED, nullptr, nullptr, nullptr, 0);
            // The primary language, as "0x" and exactly two digits.
            found = strings.getProfileString(
                CZYNWCharString(ULONG(language & 0x3FF), nsHex, 2, true), key, text);
        }
        if (!found) {
            CZYNDebugLog(
                TEXT("could not load the translated string using the the primary language ID"), 0,
                ZYN_RESULT_PASSED, nullptr, nullptr, nullptr, 0);
            found = strings.getProfileString(CZYNWCharString(TEXT("0x09")), key, text);
        }
        if (!found)
            throw CZYNLogException1(
                TEXT("could not load translated string or english string - error in strings.ini file"),
                0, ZYN_RESULT_PASSED, nullptr, nullptr, nullptr, 0);

        // The field holds 99 units and the terminator: a longer text is cut.
        copyField(destination, HBC_MENU_TEXT_UNITS, text.getText());
        return true;
    }));
}

bool ExpandAndCheckPath(CZYNWCharString& path, bool checkFile) {
    CZYNFunctionTrace trace(MODULE, TEXT("ExpandAndCheckPath"), SOURCE, 54);
    return trace.passed(zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        // The size of the expanded text, terminator included, then the text.
        DWORD needed = ExpandEnvironmentStringsW(path.getText(), nullptr, 0);
        if (needed == 0) return false;
        CZYNBuffer<WCHAR> expanded(needed + 1);
        if (ExpandEnvironmentStringsW(path.getText(), expanded.getBuffer(), needed) != needed)
            return false;
        path = expanded.getBuffer();
        if (!checkFile) return true;

        // The program is the text between the first and the last double quote.
        const CZYNWCharString quote(TEXT("\""));
        CZYNWCharString program;
        if (!path.extractBetween(program, quote, 1, quote, 1, false, false)) program = TEXT("");
        CZYNFile file(program);
        bool valid = file.isValidFile();

        // A quoted management console document is started by the console.
        if (valid && path.endsWith(CZYNWCharString(TEXT(".msc\"")))) {
            CZYNWCharString command(TEXT("%windir%\\system32\\mmc.exe "));
            command.expand();
            path = command + path;
        }
        return valid;
    }));
}

namespace {

// A record of the plug-in's own (a rejected section, a note): result 0,
// result type passed/failed, no object, function or source names.
[[noreturn]] void Reject(const CZYNWCharString& message) {
    throw CZYNLogException1(message.getText(), 0, ZYN_RESULT_PASSED, nullptr, nullptr, nullptr, 0);
}

// Category times 100 when it is below 100 (negative values too), otherwise
// Category itself. The product is taken modulo 2^32, as 32-bit arithmetic
// gives it, rather than overflowing for the most negative values.
LONG CategoryCode(LONG category) {
    return category < 100 ? static_cast<LONG>(static_cast<DWORD>(category) * 100u) : category;
}

// Reads one section of a definition file ("QUICKLINK" or "TOOLKIT") as an
// item and appends it to `list`. The checks run in a fixed order and the
// first that fails rejects the section: its message, followed by the file's
// path, is written to the log and the item is dropped. A section without
// Category is skipped without a message. `text` holds every text read from
// this file. A failure that is not one of the library's records (memory
// running out) goes on to the caller.
void ReadItem(CZYNIni& ini, const WCHAR* sectionName, HbcItemList& list,
              const CZYNWCharString& path, CZYNWCharString& text) {
    const CZYNWCharString section(sectionName);
    const CZYNWCharString inFile =
        CZYNWCharString(TEXT(" value for ")) + section + TEXT(" in file ");
    auto missing = [&](const WCHAR* what) {
        Reject(CZYNWCharString(TEXT("Missing ")) + what + inFile + path);
    };
    auto notFor = [&](const WCHAR* windows) {
        Reject(CZYNWCharString(TEXT("This ")) + section + TEXT(" is not for Windows ") + windows +
               TEXT(".  file = ") + path);
    };
    auto readInt = [&](const WCHAR* key, const WCHAR* what, LONG& value) {
        if (!ini.getProfileInt(section, key, value)) missing(what);
    };
    auto readText = [&](const WCHAR* key, const WCHAR* what) {
        if (!ini.getProfileString(section, key, text)) missing(what);
    };
    // A text that does not fit its field with its terminator rejects the
    // section: a cut command would start something else.
    auto store = [&](WCHAR* field, DWORD units, const WCHAR* what) {
        if (text.getLength() >= units)
            Reject(CZYNWCharString(what) + TEXT(" value too long for ") + section +
                   TEXT(" in file ") + path);
        copyField(field, units, text.getText());
    };

    try {
        LONG category = 0;
        if (!ini.getProfileInt(section, TEXT("Category"), category)) return;
        std::unique_ptr<HbcItem> item(new HbcItem());
        item->categoryCode = CategoryCode(category);
        LONG xp = 0;
        readInt(TEXT("XP"), TEXT("XP"), xp);
        if (runningOnXP && xp != 1) notFor(TEXT("XP"));
        LONG vista = 0;
        readInt(TEXT("Vista"), TEXT("VISTA"), vista);
        if (runningOnVista && vista != 1) notFor(TEXT("Vista"));
        readInt(TEXT("Dependency"), TEXT("DEPENDENCY"), item->dependency);
        readInt(TEXT("MenuType"), TEXT("MENUTYPE"), item->menuType);
        readText(TEXT("MenuString"), TEXT("MENUSTRING"));
        store(item->menuString, HBC_MENU_TEXT_UNITS, TEXT("MENUSTRING"));
        readInt(TEXT("ExecInterfaceType"), TEXT("EXECTYPE"), item->execInterfaceType);
        readText(TEXT("ExecInterface"), TEXT("EXECSTRING"));
        if (!ExpandAndCheckPath(text, true)) Reject(CZYNWCharString(TEXT("bad path: ")) + text);
        store(item->execInterface, HBC_EXEC_INTERFACE_UNITS, TEXT("EXECSTRING"));
        readInt(TEXT("Capability"), TEXT("CAPABILITY"), item->capability);
        item->iniFile = &path;
        if (list.addOwned(item.get(), list.getCount())) item.release();
    } catch (CZYNLogging& record) {
        zyn::logIfNotLogged(record);
    }
}

// Records which Windows runs, from an object the caller keeps while it
// builds the catalogue. When the version cannot be determined (the record
// saying so is in the log), the object stays empty and the module loads as
// on a version that is neither XP nor Vista: both flags cleared, the
// catalogue built as usual.
void ReadWindowsVersion(std::optional<CZYNWindowsOSInfo>& osInfo) {
    runningOnXP = 0;
    runningOnVista = 0;
    zyn::attempt(
        {SOURCE, __LINE__, zyn::LastError},
        [&] {
            osInfo.emplace();
            runningOnVista = osInfo->isVista() ? 1 : 0;
            runningOnXP = osInfo->isXP() ? 1 : 0;
        },
        [] {
            runningOnXP = 0;
            runningOnVista = 0;
        });
}

}  // namespace

bool BuildListOfIniFiles() {
    CZYNFunctionTrace trace(MODULE, TEXT("BuildListOfIniFiles"), SOURCE, 439);
    HANDLE hFind = INVALID_HANDLE_VALUE;
    const bool listed = zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [&] {
        // The folder as the registry names it, environment variables
        // expanded; empty when the value cannot be read, so that the search
        // then looks in the current folder. It should end in a backslash:
        // the names found are appended to it as they stand.
        CZYNWCharString folder;
        CZYNRegistryString setting(HKEY_LOCAL_MACHINE, HBC_ITEM_FOLDER_KEY, HBC_ITEM_FOLDER_VALUE,
                                   KEY_READ, false, 0);
        setting.getValue(folder, false);
        ExpandAndCheckPath(folder, false);

        // Every entry the search returns is listed, folders too, in its order.
        WIN32_FIND_DATAW entry;
        hFind = FindFirstFileW((folder + TEXT("*.ini")).getText(), &entry);
        if (hFind == INVALID_HANDLE_VALUE) return true;
        do {
            std::unique_ptr<CZYNWCharString> path(new CZYNWCharString(folder + entry.cFileName));
            if (!iniFiles.addOwned(path.get(), iniFiles.getCount())) return false;
            path.release();
        } while (FindNextFileW(hFind, &entry));
        return true;
    });
    if (hFind != INVALID_HANDLE_VALUE) FindClose(hFind);
    return trace.passed(listed);
}

bool BuildListsOfHbcItems() {
    CZYNFunctionTrace trace(MODULE, TEXT("BuildListsOfHbcItems"), SOURCE, 102);
    // A failure outside an item's own checks stops the walk; the items
    // accepted so far stay.
    return trace.passed(zyn::guard({SOURCE, __LINE__, zyn::LastError}, false, [] {
        for (bool more = iniFiles.moveFirst(); more; more = iniFiles.moveNext()) {
            const CZYNWCharString* path = iniFiles.getCurrentObject();
            if (!path) continue;
            CZYNIni ini(*path);
            CZYNWCharString text;
            ReadItem(ini, TEXT("QUICKLINK"), quickLinkItems, *path, text);
            ReadItem(ini, TEXT("TOOLKIT"), toolkitItems, *path, text);
        }
        return true;
    }));
}

bool DeleteLists() {
    CZYNFunctionTrace trace(MODULE, TEXT("DeleteLists"), SOURCE, 353);
    if (!iniFiles.clear())
        CZYNDebugLog(TEXT("there was some problem deleting the list of ini files"), 0,
                     ZYN_RESULT_PASSED, nullptr, nullptr, nullptr, 0);
    quickLinkItems.clear();
    toolkitItems.clear();
    return trace.passed(true);
}

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    zyn::attempt({SOURCE, __LINE__, zyn::LastError}, [reason] {
        CZYNDebugLog(TEXT("calling DllMain() - tpa_hbc.dll"), 0, ZYN_RESULT_PASSED, nullptr,
                     nullptr, nullptr, 0);
        if (reason == DLL_PROCESS_ATTACH) {
            // The load never fails because of the catalogue: whatever cannot
            // be read leaves the lists shorter.
            std::optional<CZYNWindowsOSInfo> osInfo;
            ReadWindowsVersion(osInfo);
            BuildListOfIniFiles();
            BuildListsOfHbcItems();
        } else if (reason == DLL_PROCESS_DETACH) {
            DeleteLists();
        }
    });
    return TRUE;
}

#if !defined(_WIN32) && defined(TPA_HBC_MODULE)
namespace {

// A POSIX loader knows no DllMain. In the built module this object delivers
// process attach when the module is loaded (dlopen) and process detach when
// it is unloaded (dlclose). Defined after the three lists, it is constructed
// after them and destroyed before them, as on Windows. Thread attach and
// detach are not delivered. DllMain does not use the module handle.
struct ProcessAttachment {
    ProcessAttachment() { DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr); }
    ~ProcessAttachment() { DllMain(nullptr, DLL_PROCESS_DETACH, nullptr); }
    ProcessAttachment(const ProcessAttachment&) = delete;
    ProcessAttachment& operator=(const ProcessAttachment&) = delete;
} processAttachment;

}  // namespace
#endif
