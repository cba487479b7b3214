// zyn_registry_key.cpp - CZYNRegistryKey: one registry key, opened on demand.
//
// Implements: construction, copy and assignment, open, create, close, exists,
// exportKey and importKey (the registry text file or the system's own key
// file), the three RegQueryInfoKeyW lengths, subkey enumeration (one index,
// all names), getKeyName, value-name enumeration and queryMultipleValues.
// The records carry the source lines this file has always reported,
// whatever the line of the code that raises them today.
#include "zyn_registry_key.h"

#include <cstring>
#include <initializer_list>
#include <limits>
#include <new>
#include <string>

#include "zyn_failure.h"
#include "zyn_log_exception.h"
#include "zyn_log_warning.h"
#include "zyn_registry_file.h"
#include "zyn_text.h"
#include "zyn_windowsprocess.h"

static const WCHAR* const SOURCE = TEXT("zyn_registry_key.cpp");
static const WCHAR* const OBJECT = TEXT("CZYNRegistryKey");
// The class name of the two enumeration records, spelled as they have always
// spelled it.
static const WCHAR* const ENUM_OBJECT = TEXT("CZYNRegistrykey");

namespace {

const WCHAR kSeparator[] = TEXT("\\");
const WCHAR kValentName[] = TEXT("pValent");

// The library's own selectors of the registry text file: exportKey's format
// and importKey's flags, compared whole (they are not bits).
const DWORD kTextFileFormat = 8;
const DWORD kTextFileFlags = 16;
const WCHAR kFileNameNeeded[] = TEXT("filename must be non-null");
const WCHAR kBackupPrivilege[] = TEXT("SeBackupPrivilege");
const WCHAR kRestorePrivilege[] = TEXT("SeRestorePrivilege");

// Enables each privilege in the process's token, in order; false at the
// first that cannot be (its failure is in the log). Privileges stay enabled.
bool enablePrivileges(std::initializer_list<const WCHAR*> privileges) {
    CZYNWindowsProcess process;
    const HANDLE hOwnToken = nullptr;
    for (const WCHAR* szPrivilege : privileges)
        if (!process.setPrivilege(CZYNWCharString(szPrivilege), true, hOwnToken)) return false;
    return true;
}

// The array of value records that RegQueryMultipleValuesW fills, all zero.
// Throws CZYNMemAllocException ("pValent") when it cannot be had.
VALENTW* newValentArray(DWORD ulCount) {
    VALENTW* pValent = nullptr;
    // Only a 32-bit build can be asked for more than it can address.
    if (static_cast<unsigned long long>(ulCount) * sizeof(VALENTW) >
        std::numeric_limits<size_t>::max())
        throw CZYNMemAllocException(kValentName, SOURCE, 752);
    if (!zyn::injectedAllocationFailure())
        pValent = static_cast<VALENTW*>(zyn::allocateStorage(size_t(ulCount) * sizeof(VALENTW)));
    if (!pValent) throw CZYNMemAllocException(kValentName, SOURCE, 743);
    return pValent;
}

// A heap copy of the name with its terminator, or null when memory runs out.
WCHAR* newNameCopy(const CZYNWCharString& name) {
    const ULONG ulUnits = name.getLength() + 1;
    if (zyn::injectedAllocationFailure()) return nullptr;
    WCHAR* pCopy = static_cast<WCHAR*>(zyn::allocateStorage(size_t(ulUnits) * sizeof(WCHAR)));
    if (pCopy) std::memcpy(pCopy, name.getText(), (ulUnits - 1) * sizeof(WCHAR));
    return pCopy;
}

// Wipes and frees the name copies and the array.
void freeValentArray(VALENTW* pValent, DWORD ulCount) noexcept {
    if (!pValent) return;
    try {
        for (DWORD i = 0; i < ulCount; ++i) {
            WCHAR* pName = pValent[i].ve_valuename;
            if (!pName) continue;
            zyn::wipeBytes(pName, (std::char_traits<WCHAR>::length(pName) + 1) * sizeof(WCHAR));
            zyn::freeStorage(pName);
        }
        zyn::freeStorage(pValent);
    } catch (...) {
        CZYNMemFreeWarning(kValentName, SOURCE, 854);
    }
}

}  // namespace

CZYNRegistryKey::CZYNRegistryKey(HKEY hRoot, const CZYNWCharString& szPath, REGSAM samAccess,
                                 bool bCreateIfMissing, DWORD ulOptions) try
    : path(szPath),
      access(samAccess),
      options(ulOptions),
      handle(nullptr),
      createIfMissing(bCreateIfMissing),
      isOpen(false),
      root(hRoot) {
} catch (CZYNLogging& record) {
    // The path's copy failed and has said why.
    zyn::logIfNotLogged(record);
    throw CZYNRegKeyInitException(SOURCE, 104);
} catch (...) {
    zyn::reportUnhandled({SOURCE, 108, zyn::LastError});
    throw CZYNRegKeyInitException(SOURCE, 110);
}

CZYNRegistryKey::CZYNRegistryKey()
    : path(),
      access(KEY_ALL_ACCESS),
      options(0),
      handle(nullptr),
      createIfMissing(false),
      isOpen(false),
      root(nullptr) {}

CZYNRegistryKey::CZYNRegistryKey(const CZYNRegistryKey& other)
    : path(other.path),
      access(other.access),
      options(other.options),
      handle(nullptr),
      createIfMissing(other.createIfMissing),
      isOpen(false),
      root(other.root) {}

CZYNRegistryKey& CZYNRegistryKey::operator=(const CZYNRegistryKey& other) {
    closeIfOpen();
    if (&other != this) {
        root = other.root;
        access = other.access;
        options = other.options;
        createIfMissing = other.createIfMissing;
        path = other.path;
    }
    handle = nullptr;
    isOpen = false;
    return *this;
}

CZYNRegistryKey::~CZYNRegistryKey() { closeIfOpen(); }

bool CZYNRegistryKey::open() {
    return zyn::guard({SOURCE, 1781, zyn::LastError}, false, [&] {
        if (isOpen) {
            CZYNRegKeyOpenWarning(path.getText(), SOURCE, 1743);
            close();
        }
        LONG rc = RegOpenKeyExW(root, path.getText(), 0, access, &handle);
        if ((rc == ERROR_FILE_NOT_FOUND || rc == ERROR_INVALID_HANDLE) && createIfMissing &&
            create())
            rc = RegOpenKeyExW(root, path.getText(), 0, access, &handle);
        if (rc != ERROR_SUCCESS) return false;
        isOpen = true;
        return true;
    });
}

bool CZYNRegistryKey::create() {
    return zyn::guard({SOURCE, 426, zyn::LastError}, false, [&] {
        closeIfOpen();
        const LONG rc = RegCreateKeyExW(root, path.getText(), 0, nullptr, options, access, nullptr,
                                        &handle, nullptr);
        if (rc != ERROR_SUCCESS)
            throw CZYNRegKeyCreateException(path.getText(), rc, OBJECT, TEXT("create"), SOURCE,
                                            410);
        isOpen = true;
        // create never leaves the key open.
        close();
        return true;
    });
}

bool CZYNRegistryKey::close() {
    return zyn::guard({SOURCE, 291, zyn::LastError}, false, [&] {
        if (!isOpen) {
            CZYNRegKeyClosedWarning(path.getText(), SOURCE, 296);
            return true;
        }
        const LONG rc = RegCloseKey(handle);
        if (rc != ERROR_SUCCESS)
            throw CZYNRegCloseKeyWarning(path.getText(), rc, OBJECT, TEXT("close"), SOURCE, 273);
        handle = nullptr;
        isOpen = false;
        return true;
    });
}

bool CZYNRegistryKey::exists() {
    return zyn::guard({SOURCE, 535, zyn::Errno}, false, [&] {
        const bool bOpened = open();
        closeIfOpen();
        return bOpened;
    });
}

bool CZYNRegistryKey::exportKey(const CZYNWCharString& szExportFileName, DWORD ulFormat,
                                bool bDeleteExisting) {
    const bool bResult = zyn::guard({SOURCE, 616, zyn::LastError}, false, [&] {
        if (szExportFileName.getLength() == 0)
            throw CZYNBadArgException(TEXT("szExportFileName"), kFileNameNeeded, SOURCE, 570);
        if (ulFormat == kTextFileFormat)
            return CZYNRegistryFile(szExportFileName).exportToFile(root, path, bDeleteExisting);
        // The system refuses to save over an existing file.
        if (bDeleteExisting) DeleteFileW(szExportFileName.getText());
        if (!enablePrivileges({kBackupPrivilege})) return false;
        if (!openIfClosed()) return false;
        const LONG rc = RegSaveKeyW(handle, szExportFileName.getText(), nullptr);
        if (rc != ERROR_SUCCESS)
            throw CZYNRegSaveKeyException(path.getText(), rc, OBJECT, TEXT("exportKey"), SOURCE,
                                          595);
        return true;
    });
    closeIfOpen();
    return bResult;
}

bool CZYNRegistryKey::importKey(const CZYNWCharString& szImportFileName, DWORD ulFlags) {
    const bool bResult = zyn::guard({SOURCE, 1677, zyn::LastError}, false, [&] {
        if (szImportFileName.getLength() == 0)
            throw CZYNBadArgException(TEXT("szImportFileName"), kFileNameNeeded, SOURCE, 1628);
        // The text file names its own keys; this key plays no part.
        if (ulFlags == kTextFileFlags) return CZYNRegistryFile(szImportFileName).importFromFile();
        // The system restores a key only for a process that has both the
        // restore and the backup privilege enabled.
        if (!enablePrivileges({kRestorePrivilege, kBackupPrivilege})) return false;
        if (!openIfClosed()) return false;
        const LONG rc = RegRestoreKeyW(handle, szImportFileName.getText(), ulFlags);
        if (rc != ERROR_SUCCESS)
            throw CZYNRegRestoreKeyException(path.getText(), rc, OBJECT, TEXT("importKey"), SOURCE,
                                             1655);
        return true;
    });
    closeIfOpen();
    return bResult;
}

bool CZYNRegistryKey::getMaxSubKeyLength(DWORD& ulLength) {
    return queryInfo(InfoField::MaxSubKeyLength, ulLength, 1283);
}

bool CZYNRegistryKey::getMaxValueNameLength(DWORD& ulLength) {
    return queryInfo(InfoField::MaxValueNameLength, ulLength, 1412);
}

bool CZYNRegistryKey::getMaxValueLength(DWORD& ulLength) {
    return queryInfo(InfoField::MaxValueLength, ulLength, 1347);
}

bool CZYNRegistryKey::enumSubKeys(CZYNRegistryKey& key, DWORD ulIndex) {
    return zyn::guard({SOURCE, 691, zyn::LastError}, false, [&] {
        DWORD ulMax = 0;
        if (!getMaxSubKeyLength(ulMax)) ulMax = 0;
        // A key that cannot be opened leaves the handle NULL, and the
        // enumeration below reports that.
        openIfClosed();
        CZYNBuffer<WCHAR> name(ulMax + 1);
        DWORD ulUnits = ulMax + 1;
        const LONG rc = RegEnumKeyExW(handle, ulIndex, name.getBuffer(), &ulUnits, nullptr, nullptr,
                                      nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return false;
        if (rc != ERROR_SUCCESS)
            throw CZYNRegEnumKeyException(path.getText(), rc, ENUM_OBJECT, TEXT("enumSubKeys"),
                                          SOURCE, 668);
        // Below a key with an empty path (a root, or an open key handle) the
        // subkey's path is its name alone: a leading backslash would name no
        // key at all.
        const CZYNWCharString subName(name);
        const CZYNWCharString subPath =
            path.getLength() == 0 ? subName : path + CZYNWCharString(kSeparator) + subName;
        key = CZYNRegistryKey(root, subPath, access, false, options);
        return true;
    });
}

bool CZYNRegistryKey::enumSubKeyNames(NameList& list) {
    return zyn::guard({SOURCE, 910, zyn::LastError}, false, [&] {
        list.clear();
        CZYNRegistryKey sub;
        DWORD ulFound = 0;
        for (DWORD i = 0; enumSubKeys(sub, i); ++i) {
            ++ulFound;
            // Below an empty path a subkey's whole path is its name.
            CZYNWCharString name;
            if (!sub.getKeyName(name, path.getLength() == 0) || name.getLength() == 0) break;
            if (!list.add(name, static_cast<LONG>(i + 1))) break;
        }
        sub.closeIfOpen();
        return static_cast<DWORD>(list.getCount()) == ulFound;
    });
}

bool CZYNRegistryKey::getKeyName(CZYNWCharString& name, bool bFullPath) const {
    return zyn::guard({SOURCE, 1599, zyn::LastError}, false, [&] {
        if (bFullPath) {
            name = path;
            return name == path;
        }
        const CZYNWCharString separator(kSeparator);
        if (!path.contains(separator)) return false;
        return path.extractBeyond(name, separator, 1, pmFromEnd, false);
    });
}

bool CZYNRegistryKey::enumValueNames(NameList& list) {
    // Only the catch-all handler: a failed enumeration is written when it is
    // raised and again, as unhandled, by the handler.
    const bool bResult = zyn::guardCatchAll({SOURCE, 1091, zyn::LastError}, false, [&] {
        list.clear();
        DWORD ulMax = 0;
        if (!getMaxValueNameLength(ulMax)) ulMax = 0;
        if (!openIfClosed()) return false;
        for (DWORD ulIndex = 0;; ++ulIndex) {
            CZYNBuffer<WCHAR> buffer(ulMax + 1);
            DWORD ulUnits = ulMax + 1;
            const LONG rc = RegEnumValueW(handle, ulIndex, buffer.getBuffer(), &ulUnits, nullptr,
                                          nullptr, nullptr, nullptr);
            if (rc == ERROR_NO_MORE_ITEMS) break;
            if (rc != ERROR_SUCCESS)
                throw CZYNRegEnumValueException(path.getText(), rc, ENUM_OBJECT,
                                                TEXT("enumValueNames"), SOURCE, 1047);
            // The key's unnamed default value is not listed.
            const CZYNWCharString name(buffer);
            if (name.getLength() != 0 && !list.add(name, 0)) return false;
        }
        return list.getCount() > 0;
    });
    closeIfOpen();
    return bResult;
}

bool CZYNRegistryKey::queryMultipleValues(ValueEntryList& list) {
    NameList names;
    VALENTW* pValent = nullptr;
    DWORD ulCount = 0;
    const bool bResult = zyn::guard({SOURCE, 835, zyn::LastError}, false, [&] {
        if (!enumValueNames(names)) return false;
        ulCount = static_cast<DWORD>(names.getCount());
        DWORD ulMaxData = 0;
        if (!getMaxValueLength(ulMaxData)) return false;
        pValent = newValentArray(ulCount);
        bool bAllNamed = true;
        for (DWORD i = 0; i < ulCount; ++i) {
            pValent[i].ve_valuename = newNameCopy(*names.getObjectAt(i));
            if (!pValent[i].ve_valuename) {
                CZYNDebugLog(TEXT("pValent.ve_valuename = NULL"), ZYN_NO_CODE,
                             ZYN_RESULT_ERROR_CODE, nullptr, nullptr, SOURCE, __LINE__);
                bAllNamed = false;
            }
        }
        // A record without a name would read the key's default value in
        // place of the value it stands for.
        if (!bAllNamed) return false;
        // One data buffer of (largest data + 1) x count wide characters.
        const ULONGLONG ullUnits = (ULONGLONG(ulMaxData) + 1) * ulCount;
        if (ullUnits > 0xFFFFFFFFull / sizeof(WCHAR))
            throw CZYNMemAllocException(TEXT("m_pBuffer"), SOURCE, __LINE__);
        CZYNBuffer<WCHAR> data(static_cast<ULONG>(ullUnits));
        if (!openIfClosed()) return false;
        DWORD ulSize = data.getCount() * sizeof(WCHAR);
        const LONG rc =
            RegQueryMultipleValuesW(handle, pValent, ulCount, data.getBuffer(), &ulSize);
        if (rc != ERROR_SUCCESS)
            throw CZYNRegQueryMultipleValuesException(path.getText(), rc, SOURCE, 806);
        // Built aside, so that the caller's list changes only when every
        // entry could be made.
        ValueEntryList entries;
        for (DWORD i = 0; i < ulCount; ++i) {
            const VALENTW& value = pValent[i];
            const CZYNBuffer<BYTE> bytes(reinterpret_cast<const BYTE*>(value.ve_valueptr),
                                         value.ve_valuelen, 0);
            const CZYNRegValueEntry entry(CZYNWCharString(value.ve_valuename), bytes,
                                          value.ve_type);
            if (!entries.add(entry, static_cast<LONG>(i))) return false;
        }
        return list.copyFrom(entries);
    });
    names.clear();
    freeValentArray(pValent, ulCount);
    closeIfOpen();
    return bResult;
}

bool CZYNRegistryKey::openIfClosed() { return isOpen || open(); }

void CZYNRegistryKey::closeIfOpen() {
    if (isOpen) close();
}

bool CZYNRegistryKey::queryInfo(InfoField field, DWORD& ulValue, DWORD line) {
    return onOpenKey({SOURCE, __LINE__, zyn::LastError}, [&] {
        DWORD ulRead = 0;
        auto only = [&](InfoField wanted) { return field == wanted ? &ulRead : nullptr; };
        const LONG rc = RegQueryInfoKeyW(handle, nullptr, nullptr, nullptr, nullptr,
                                         only(InfoField::MaxSubKeyLength), nullptr, nullptr,
                                         only(InfoField::MaxValueNameLength),
                                         only(InfoField::MaxValueLength), nullptr, nullptr);
        if (rc != ERROR_SUCCESS)
            throw CZYNRegQueryInfoKeyException(path.getText(), rc, SOURCE, line);
        ulValue = ulRead;
        return true;
    });
}
