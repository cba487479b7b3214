// tpa_hbc.cpp - the plug-in: the module-wide catalogue and the three
// functions the host calls.
//
//   module-wide state      runningOnXP, runningOnVista, iniFiles, quickLinkItems, toolkitItems
//   item lookup            the function id encoding
//   exported functions     HB_GetStatus, HB_GetFunctionInfo, HB_GetCapability
//   menu texts             LoadStringFromIni
//   command expansion      ExpandAndCheckPath
//
// No exception ever reaches the host: every exported function catches
// everything and answers with a code.
#include "tpa_hbc.h"

#include "zyn_failure.h"
#include "zyn_file.h"
#include "zyn_function_trace.h"
#include "zyn_ini.h"
#include "zyn_log_warning.h"

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
