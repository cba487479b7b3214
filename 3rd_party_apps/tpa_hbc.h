// tpa_hbc.h - the plug-in's interface with its host: the function
// information record exchanged with the host, the catalogue item, the
// module-wide state and the three exported functions.
#ifndef TPA_HBC_H
#define TPA_HBC_H

#include <windows.h>

#include <cstddef>

#include "zyn_dbllist.h"
#include "zyn_wchar_string.h"

// Units of the record's and the item's text fields, terminator included.
const DWORD HBC_MENU_TEXT_UNITS = 100;
const DWORD HBC_EXEC_INTERFACE_UNITS = 260;

// The function information record: a wire format of exactly 940 bytes,
// little-endian integers and UTF-16LE texts, no gaps. The host owns it; the
// module writes into it, and only up to each text's terminator.
struct FunctionInfo {
    DWORD functionId;                              // in: list number * 100 + position
    LONG categoryCode;                             // out
    LONG dependency;                               // out
    LONG menuType;                                 // out
    WCHAR menuText[HBC_MENU_TEXT_UNITS];           // out: the localized menu text
    WCHAR reservedText[HBC_MENU_TEXT_UNITS];       // out: always empty
    LONG execInterfaceType;                        // out
    WCHAR execInterface[HBC_EXEC_INTERFACE_UNITS]; // out: the command line
};

static_assert(sizeof(FunctionInfo) == 940, "the host's record is 940 bytes");
static_assert(offsetof(FunctionInfo, functionId) == 0, "functionId at 0");
static_assert(offsetof(FunctionInfo, categoryCode) == 4, "categoryCode at 4");
static_assert(offsetof(FunctionInfo, dependency) == 8, "dependency at 8");
static_assert(offsetof(FunctionInfo, menuType) == 12, "menuType at 12");
static_assert(offsetof(FunctionInfo, menuText) == 16, "menuText at 16");
static_assert(offsetof(FunctionInfo, reservedText) == 216, "reservedText at 216");
static_assert(offsetof(FunctionInfo, execInterfaceType) == 416, "execInterfaceType at 416");
static_assert(offsetof(FunctionInfo, execInterface) == 420, "execInterface at 420");

// One accepted QUICKLINK or TOOLKIT section of an item definition file.
struct HbcItem {
    LONG categoryCode;       // Category, times 100 when below 100
    LONG dependency;
    LONG menuType;
    WCHAR menuString[HBC_MENU_TEXT_UNITS];         // the key of the menu text in the strings file
    LONG execInterfaceType;
    WCHAR execInterface[HBC_EXEC_INTERFACE_UNITS]; // the expanded command line
    LONG capability;
    const CZYNWCharString* iniFile;  // the definition file, owned by iniFiles
};

using HbcPathList = CZYNDblList<CZYNPtrNode<CZYNWCharString>>;
using HbcItemList = CZYNDblList<CZYNPtrNode<HbcItem>>;

// Module-wide state: filled when the module is loaded into the host, freed
// when it is unloaded, read only in between.
extern DWORD runningOnXP;
extern DWORD runningOnVista;
extern HbcPathList iniFiles;        // full paths of the item definition files
extern HbcItemList quickLinkItems;  // list number 0
extern HbcItemList toolkitItems;    // list number 1

// Return codes of the exported functions.
const DWORD HBC_OK = 0;
const DWORD HBC_FAILED = 1;      // failure, or no item at that position
const DWORD HBC_NO_SUCH_LIST = 2;

// The size of the record, answered to a size query.
const DWORD HBC_FUNCTION_INFO_SIZE = sizeof(FunctionInfo);

// Looks up the menu text `key` in the strings file of a definition file
// (its path with ".strings" appended) in the host's language: the section of
// the full language identifier ("0x409"), then of its primary language
// ("0x09"), then English ("0x09"). Copies the text, cut to the field's 99
// units, and its terminator into `destination` (a menuText field); false, with
// the destination untouched, when no text is found.
bool LoadStringFromIni(const CZYNWCharString& iniFile, DWORD languageId, WCHAR* destination,
                       const CZYNWCharString& key);

// Expands the environment variables of `path` in place. With `checkFile`,
// also checks that the program between the first and the last double quote
// exists, and prefixes a quoted management console document (".msc") with
// the console program. True when the expansion (and the check) succeeded.
bool ExpandAndCheckPath(CZYNWCharString& path, bool checkFile);

// The registry setting (a key of HKEY_LOCAL_MACHINE and its value) that names
// the folder of the item definition files.
const WCHAR* const HBC_ITEM_FOLDER_KEY =
    TEXT("SOFTWARE\\Norvak\\HubConsole\\Client\\Third Party Applications");
const WCHAR* const HBC_ITEM_FOLDER_VALUE = TEXT("IniFolder");

// Lists the item definition files: every "*.ini" entry of the folder that
// the registry names (environment variables expanded), as the folder text
// followed directly by the entry's name, in the order the search returns
// them. True unless a failure ended the search early.
bool BuildListOfIniFiles();

// Reads the QUICKLINK and TOOLKIT sections of every listed file and appends
// each complete one that suits the running Windows and names an existing
// program to its list; every other section is logged with its reason. True
// when every file was read.
bool BuildListsOfHbcItems();

// Frees every listed path and every item. Always true.
bool DeleteLists();

extern "C" {
// The module's entry: records which Windows runs and builds the catalogue
// on process attach, frees it on process detach. Always TRUE.
BOOL WINAPI DllMain(HINSTANCE hModule, DWORD reason, LPVOID reserved);

// Always 1.
DWORD WINAPI HB_GetStatus(DWORD, DWORD, DWORD);
// Fills the host's record for the item its functionId addresses, or answers
// a size query (a count of 0) with 940.
DWORD WINAPI HB_GetFunctionInfo(DWORD languageId, FunctionInfo* info, DWORD* size);
// Stores the addressed item's capability.
DWORD WINAPI HB_GetCapability(DWORD functionId, LONG* capability);
}

#endif
