// tpa_hbc.cpp - the plug-in: the module-wide catalogue and the three
// functions the host calls.
//
//   module-wide state      runningOnXP, runningOnVista, iniFiles, quickLinkItems, toolkitItems
//   item lookup            the function id encoding
//   exported functions     HB_GetStatus, HB_GetFunctionInfo, HB_GetCapability
//   menu texts             LoadStringFromIni
//
// No exception ever reaches the host: every exported function catches
// everything and answers with a code.
#include "tpa_hbc.h"

#include <string>

DWORD runningOnXP = 0;
DWORD runningOnVista = 0;
HbcPathList iniFiles;
HbcItemList quickLinkItems;
HbcItemList toolkitItems;

namespace {

// Copies a NUL-terminated text and its terminator into a field of `units`
// units; the units after the terminator keep what the host put there.
void copyField(WCHAR* field, DWORD units, const WCHAR* text) {
    DWORD i = 0;
    for (; i + 1 < units && text[i] != 0; ++i) field[i] = text[i];
    field[i] = 0;
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
        LoadStringFromIni(item->iniFile, LOWORD(languageId), info->menuText, item->menuString);
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

// Menu texts are looked up in the strings file beside each definition file;
// until that lookup is built, no text is found and the host keeps its own.
bool LoadStringFromIni(const CZYNWCharString*, DWORD, WCHAR*, const WCHAR*) { return false; }
