// zyn_registry_key.h - CZYNRegistryKey: one registry key, named by a root key
// handle and a path below it. The base of every registry value class: a
// value object is the key that holds the value, plus the value's name.
//
// The key is opened on demand and closed again before an operation returns,
// except by open (which leaves it open) and enumSubKeys (which leaves it open
// for the next index). Every operation catches its own failures, writes them
// to the log (source file zyn_registry_key.cpp) and answers false; only the
// constructor lets an exception out. A failure of open itself is silent.
// Nothing is traced.
#ifndef ZYN_REGISTRY_KEY_H
#define ZYN_REGISTRY_KEY_H

#include <windows.h>

#include "zyn_dbllist.h"
#include "zyn_failure.h"
#include "zyn_reg_value_entry.h"
#include "zyn_wchar_string.h"

class CZYNRegistryKey {
public:
    // Names, each node tagged as the operation filling the list says.
    using NameList = CZYNDblList<CZYNObjNode<CZYNWCharString>>;
    // Values with their types and data, tagged with their 0-based position.
    using ValueEntryList = CZYNDblList<CZYNObjNode<CZYNRegValueEntry>>;

    // Stores the five settings; the key is closed and the registry untouched.
    // Throws CZYNRegKeyInitException when the path cannot be copied.
    CZYNRegistryKey(HKEY hRoot, const CZYNWCharString& szPath, REGSAM samAccess,
                    bool bCreateIfMissing, DWORD ulOptions);
    // No root, no path, KEY_ALL_ACCESS, options 0, createIfMissing false,
    // closed: what enumSubKeys fills in.
    CZYNRegistryKey();
    // The other key's settings; the copy is closed whatever the other's state.
    CZYNRegistryKey(const CZYNRegistryKey& other);
    // Closes this key if open, then takes the other key's settings (root,
    // access, options, createIfMissing, path); closed afterwards.
    CZYNRegistryKey& operator=(const CZYNRegistryKey& other);

    // Opens the key with RegOpenKeyExW and leaves it open. An open key is
    // first closed, with the warning "Registry key is already open ( %s )".
    // With createIfMissing a missing key is created, then opened.
    bool open();
    // Creates the key (or opens an existing one) with RegCreateKeyExW, then
    // closes it again.
    bool create();
    // Closes the key. A closed key gives the warning "Registry key is
    // already closed ( %s )" and true; a failed RegCloseKey leaves it open.
    bool close();
    // open, then close: whether the key can be opened (or, with
    // createIfMissing, created).
    virtual bool exists();
    // Saves the key with its values and subkeys to a file. Format 8: the
    // registry text file (CZYNRegistryFile), merged into an existing file
    // unless bDeleteExisting. Any other format: the system's own key file
    // (RegSaveKeyW, with SeBackupPrivilege enabled for the process), which
    // must not exist yet: bDeleteExisting deletes it first. An empty file
    // name is a logged bad argument. The key is closed afterwards.
    virtual bool exportKey(const CZYNWCharString& szExportFileName, DWORD ulFormat,
                           bool bDeleteExisting);
    // Restores from a file. Flags 16: the registry text file, whose sections
    // name the keys it fills (this key plays no part). Any other flags: the
    // system's own key file replaces this key's values and subkeys
    // (RegRestoreKeyW with these flags, e.g. REG_FORCE_RESTORE 8, with
    // SeRestorePrivilege and SeBackupPrivilege enabled for the process). An
    // empty file name is a logged bad argument. The key is closed afterwards.
    virtual bool importKey(const CZYNWCharString& szImportFileName, DWORD ulFlags);
    // Length in characters, without terminator, of the longest subkey name.
    bool getMaxSubKeyLength(DWORD& ulLength);
    // Length in characters, without terminator, of the longest value name.
    bool getMaxValueNameLength(DWORD& ulLength);
    // Size in bytes of the largest value data.
    bool getMaxValueLength(DWORD& ulLength);
    // key = the subkey at the 0-based index (this key's root, access and
    // options, createIfMissing false, closed). False, silently, past the
    // last subkey. Leaves this key open.
    bool enumSubKeys(CZYNRegistryKey& key, DWORD ulIndex);
    // The names of all subkeys, in the registry's order, tagged 1, 2, 3, ...
    // A key without subkeys gives an empty list and true. Leaves this key
    // open, as enumSubKeys does.
    bool enumSubKeyNames(NameList& list);
    // bFullPath: the key's path. Otherwise its last component (the text
    // after the last backslash); false, with name unchanged, for a path
    // without a backslash.
    bool getKeyName(CZYNWCharString& name, bool bFullPath) const;
    // The names of all named values (the default value is never listed), in
    // the registry's order, tagged 0. False when there are none.
    bool enumValueNames(NameList& list);
    // Name, type and data of every named value, tagged 0, 1, 2, ... False,
    // with the list unchanged, when the key has no named values or they
    // cannot be read.
    bool queryMultipleValues(ValueEntryList& list);

    // Closes the key if it is open. Virtual, so that a value object held as
    // a key is destroyed whole.
    virtual ~CZYNRegistryKey();

    HKEY getRoot() const { return root; }
    const CZYNWCharString& getPath() const { return path; }
    REGSAM getAccess() const { return access; }
    DWORD getOptions() const { return options; }
    bool getCreateIfMissing() const { return createIfMissing; }
    // Whether the key holds an open handle.
    bool isKeyOpen() const { return isOpen; }

protected:
    // Opens the key unless it is open already; false when it cannot be.
    bool openIfClosed();
    // Closes the key if it is open.
    void closeIfOpen();
    // The shape of the operations that need the handle: the key opened if
    // closed (false, silently, when it cannot be), the body run under the
    // failure convention with its catch-all at `site`, and the key closed
    // before returning, whether it was open on entry or not.
    template <class Body>
    bool onOpenKey(const zyn::Site& site, Body body) {
        const bool bResult = zyn::guard(site, false, [&] { return openIfClosed() && body(); });
        closeIfOpen();
        return bResult;
    }

    CZYNWCharString path;  // below root, components separated by a backslash; may be empty
    REGSAM access;         // for RegOpenKeyExW and RegCreateKeyExW
    DWORD options;         // dwOptions of RegCreateKeyExW
    HKEY handle;           // the open key, or NULL while closed
    bool createIfMissing;  // open creates a missing key; value classes create a missing value
    bool isOpen;           // handle is valid and must be closed
    HKEY root;             // a predefined root or any open key handle

private:
    // One RegQueryInfoKeyW field: the key opened if closed, closed on return.
    enum class InfoField { MaxSubKeyLength, MaxValueNameLength, MaxValueLength };
    bool queryInfo(InfoField field, DWORD& ulValue, DWORD line);
};

#endif
