/*
 * registry.cpp - the registry of the process: five root trees, the open
 * handles with their access rights, and the optional registry file.
 *
 *   tree and handles   keys keep the spelling they were created with and are
 *                      found case-insensitively; subkeys are kept in Windows'
 *                      case-insensitive order, values in creation order; one
 *                      mutex guards the tree, the handles and what is known
 *                      of the file
 *   registry file      WIN32_POSIX_REGISTRY, shared with other processes as
 *                      Windows' registry is: read again at any call after
 *                      another process changed it, and rewritten whole after
 *                      every change under a lock all writers take
 *                      (registry_file.h); the disk work is done without the
 *                      mutex
 *   RegOpenKeyExW, RegCreateKeyExW, RegCloseKey
 *   RegQueryValueExW, RegSetValueExW, RegDeleteValueW
 *   RegDeleteKeyW, RegDeleteTreeW
 *   RegEnumKeyExW, RegEnumValueW, RegQueryInfoKeyW, RegQueryMultipleValuesW
 *   RegSaveKeyW, RegRestoreKeyW   a key and everything below it to and from a
 *                      file of the stand-in's own format (saved_key.h), under
 *                      the backup and restore privileges (token.cpp)
 *   w32p::testing::resetRegistry
 *
 * Like Windows' registry functions, these return their error code and never
 * change the thread's last-error value.
 */
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "../include/win32_posix/paths.h"
#include "../include/win32_posix/testing.h"
#include "../include/win32_posix/text.h"
#include "internal.h"
#include "file_status.h"
#include "reg_file.h"
#include "registry_file.h"
#include "saved_key.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {
namespace {

using regfile::Root;
using regfile::Value;

// --- the tree --------------------------------------------------------------

struct Key {
    wstring name;                               // as created; "" for a root
    Key* parent = nullptr;                      // null for a root and a deleted key
    std::vector<std::shared_ptr<Key>> subkeys;  // in compareNoCase order
    std::vector<Value> values;                  // in creation order
    wstring className;
    bool isVolatile = false;  // lives only in the process, never in the file
    bool deleted = false;     // handles to it see ERROR_KEY_DELETED
    bool isRoot = false;
    ULONGLONG lastWriteTime = 0;  // FILETIME units
};

FILETIME toFileTime(ULONGLONG time) {
    return FILETIME{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
}

ULONGLONG now() {
    using namespace std::chrono;
    auto since1970 = duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
    return static_cast<ULONGLONG>(since1970 / 100) + 116444736000000000ULL;
}

// The position of `name` among the subkeys, or where it would go.
std::vector<std::shared_ptr<Key>>::iterator subkeyPosition(Key& key, wstring_view name) {
    return std::lower_bound(key.subkeys.begin(), key.subkeys.end(), name,
                            [](const std::shared_ptr<Key>& k, wstring_view n) {
                                return compareNoCase(k->name, n) < 0;
                            });
}

std::shared_ptr<Key> findSubkey(Key& key, wstring_view name) {
    auto it = subkeyPosition(key, name);
    if (it != key.subkeys.end() && equalsNoCase((*it)->name, name)) return *it;
    return nullptr;
}

Value* findValue(Key& key, wstring_view name) {
    for (Value& v : key.values)
        if (equalsNoCase(v.name, name)) return &v;
    return nullptr;
}

// Marks a detached key and everything below it deleted, and frees their
// contents; handles that still refer to them keep the objects alive.
void markDeleted(Key& key) {
    key.deleted = true;
    key.parent = nullptr;
    key.values.clear();
    for (const std::shared_ptr<Key>& child : key.subkeys) markDeleted(*child);
    key.subkeys.clear();
}

void removeKey(const std::shared_ptr<Key>& key) {
    if (Key* parent = key->parent) {
        auto it = subkeyPosition(*parent, key->name);
        if (it != parent->subkeys.end() && *it == key) parent->subkeys.erase(it);
        parent->lastWriteTime = now();
    }
    markDeleted(*key);
}

void removeContents(Key& key) {
    for (const std::shared_ptr<Key>& child : key.subkeys) markDeleted(*child);
    key.subkeys.clear();
    key.values.clear();
    key.lastWriteTime = now();
}

std::shared_ptr<Key> addSubkey(Key& parent, wstring_view name, bool isVolatile) {
    auto key = std::make_shared<Key>();
    key->name = wstring(name);
    key->parent = &parent;
    key->isVolatile = isVolatile;
    key->lastWriteTime = now();
    parent.subkeys.insert(subkeyPosition(parent, name), key);
    parent.lastWriteTime = key->lastWriteTime;
    return key;
}

void setValue(Key& key, wstring_view name, DWORD type, std::vector<BYTE> data) {
    if (Value* existing = findValue(key, name)) {
        existing->type = type;
        existing->data = std::move(data);
    } else {
        key.values.push_back(Value{wstring(name), type, std::move(data)});
    }
    key.lastWriteTime = now();
}

// Copies a name with its NUL into a buffer known to hold both; returns its
// length without the NUL.
DWORD copyName(wstring_view name, WCHAR* buffer) {
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = 0;
    return static_cast<DWORD>(name.size());
}

// Splits a subkey path: a leading backslash is ERROR_BAD_PATHNAME, empty
// components (a doubled or trailing backslash) are skipped, and a component
// longer than 255 units is ERROR_INVALID_PARAMETER.
LONG splitPath(const WCHAR* subKey, std::vector<wstring_view>& names) {
    names.clear();
    wstring_view path = view(subKey);
    if (!path.empty() && path[0] == u'\\') return ERROR_BAD_PATHNAME;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(u'\\', start);
        if (end == wstring_view::npos) end = path.size();
        if (end > start) {
            if (end - start > regfile::kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
            names.push_back(path.substr(start, end - start));
        }
        start = end + 1;
    }
    return ERROR_SUCCESS;
}

// --- predefined handles ----------------------------------------------------

bool predefinedRoot(HKEY hKey, Root& root) {
    static const struct {
        HKEY handle;
        Root root;
    } kPredefined[] = {
        {HKEY_CLASSES_ROOT, Root::ClassesRoot},   {HKEY_CURRENT_USER, Root::CurrentUser},
        {HKEY_LOCAL_MACHINE, Root::LocalMachine}, {HKEY_USERS, Root::Users},
        {HKEY_CURRENT_CONFIG, Root::CurrentConfig},
    };
    for (const auto& p : kPredefined) {
        if (p.handle == hKey) {
            root = p.root;
            return true;
        }
    }
    return false;
}

// Windows treats every handle value 0x8000000X as a predefined key:
// RegCloseKey accepts them all.
bool looksPredefined(HKEY hKey) {
    ULONG_PTR value = reinterpret_cast<ULONG_PTR>(hKey);
    LONG low = static_cast<LONG>(static_cast<DWORD>(value));
    return value == static_cast<ULONG_PTR>(static_cast<LONG_PTR>(low)) &&
           (static_cast<DWORD>(low) & 0xF0000000u) == 0x80000000u;
}

// The rights a handle gets for the access it asks for: generic rights map to
// their key rights, MAXIMUM_ALLOWED to all of them (the process may do
// everything), and the WOW64 view flags are no rights at all.
REGSAM grantedAccess(REGSAM desired) {
    REGSAM granted = desired & ~static_cast<REGSAM>(GENERIC_READ | GENERIC_WRITE |
                                                     GENERIC_EXECUTE | GENERIC_ALL |
                                                     MAXIMUM_ALLOWED | KEY_WOW64_64KEY |
                                                     KEY_WOW64_32KEY);
    if (desired & GENERIC_READ) granted |= KEY_READ;
    if (desired & GENERIC_WRITE) granted |= KEY_WRITE;
    if (desired & GENERIC_EXECUTE) granted |= KEY_EXECUTE;
    if (desired & (GENERIC_ALL | MAXIMUM_ALLOWED)) granted |= KEY_ALL_ACCESS;
    return granted;
}

void printMessage(const std::string& message) {
    std::string line = "win32_posix: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

// --- the tree and the file ---------------------------------------------------

using Roots = std::shared_ptr<Key>[regfile::kRootCount];

std::shared_ptr<Key> walk(Roots& roots, const regfile::KeyPath& path, bool create) {
    std::shared_ptr<Key> key = roots[static_cast<int>(path.root)];
    for (const wstring& name : path.names) {
        std::shared_ptr<Key> next = findSubkey(*key, name);
        if (!next) {
            if (!create) return nullptr;
            next = addSubkey(*key, name, false);
        }
        key = next;
    }
    return key;
}

void apply(Roots& roots, const regfile::Edit& edit) {
    switch (edit.kind) {
    case regfile::Edit::CreateKey:
        walk(roots, edit.key, true);
        break;
    case regfile::Edit::DeleteKey:
        if (std::shared_ptr<Key> key = walk(roots, edit.key, false)) {
            if (key->isRoot) removeContents(*key);
            else removeKey(key);
        }
        break;
    case regfile::Edit::SetValue:
        setValue(*walk(roots, edit.key, true), edit.value.name, edit.value.type, edit.value.data);
        break;
    case regfile::Edit::DeleteValue:
        if (std::shared_ptr<Key> key = walk(roots, edit.key, false)) {
            auto& values = key->values;
            values.erase(std::remove_if(values.begin(), values.end(),
                                        [&](const Value& v) {
                                            return equalsNoCase(v.name, edit.value.name);
                                        }),
                         values.end());
        }
        break;
    }
}

// What lives only in the process and never in the file: volatile keys, and
// names the file cannot hold.
bool processOnly(const Key& key) { return key.isVolatile || !regfile::nameFits(key.name); }

bool sameValues(const std::vector<Value>& a, const std::vector<Value>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const Value& x, const Value& y) {
        return x.name == y.name && x.type == y.type && x.data == y.data;
    });
}

// Makes `into` hold what the file's `from` holds, keeping the objects of keys
// that stay (their handles go on working) and marking the others deleted (their
// handles see ERROR_KEY_DELETED). What lives only in the process stays, unless
// the file now has a key of the same name.
void merge(Key& into, Key& from) {
    std::vector<Value> values = std::move(from.values);
    for (Value& v : into.values)
        if (!regfile::nameFits(v.name)) values.push_back(std::move(v));
    bool changed = !sameValues(into.values, values);
    into.values = std::move(values);

    std::vector<std::shared_ptr<Key>> subkeys;
    for (const std::shared_ptr<Key>& child : from.subkeys) {
        std::shared_ptr<Key> existing = findSubkey(into, child->name);
        if (existing && !existing->isVolatile) {
            existing->name = child->name;
            merge(*existing, *child);
            subkeys.push_back(existing);
        } else {
            child->parent = &into;
            subkeys.push_back(child);
            changed = true;
        }
    }
    for (const std::shared_ptr<Key>& child : into.subkeys) {
        if (std::find(subkeys.begin(), subkeys.end(), child) != subkeys.end()) continue;
        if (processOnly(*child) && !findSubkey(from, child->name)) {
            subkeys.push_back(child);
        } else {
            markDeleted(*child);
            changed = true;
        }
    }
    std::sort(subkeys.begin(), subkeys.end(),
              [](const std::shared_ptr<Key>& a, const std::shared_ptr<Key>& b) {
                  return compareNoCase(a->name, b->name) < 0;
              });
    into.subkeys = std::move(subkeys);
    if (changed) into.lastWriteTime = now();
}

void collect(const Key& key, regfile::KeyPath& path, std::vector<regfile::KeyRecord>& records) {
    for (const std::shared_ptr<Key>& child : key.subkeys) {
        if (child->isVolatile) continue;
        path.names.push_back(child->name);
        records.push_back({path, child->values});
        collect(*child, path, records);
        path.names.pop_back();
    }
}

// --- the registry ----------------------------------------------------------

struct OpenKey {
    std::shared_ptr<Key> key;
    REGSAM access = 0;
    bool predefined = false;
};

// Handle values are multiples of 4 below the predefined range, and a closed
// value is not given out again until the counter wraps.
constexpr ULONG_PTR kFirstHandle = 0x100;
constexpr ULONG_PTR kLastHandle = 0x7FFFFFFC;

// The tree, the handles and what the process knows of the registry file. The
// mutex guards all of it; the file itself is read and written without it
// (LockedRegistry).
class Registry {
public:
    std::mutex mutex;

    // The roots and the file's name, at the first call after start or reset.
    void ensureStarted() {
        if (m_started) return;
        m_started = true;
        for (auto& root : m_roots) {
            root = std::make_shared<Key>();
            root->isRoot = true;
        }
        m_stamp = regfile::FileStamp();
        m_held.reset();
        m_writeFailed = false;
        m_skipWarned = false;
        m_shownName = configValue("WIN32_POSIX_REGISTRY");
        m_path = m_shownName;
        // A Windows path ("C:\reg\hbc.reg") names the file through the drive mapping.
        if (m_path.size() >= 2 && m_path[1] == ':') {
            PosixPath posix = toPosixPath(fromUtf8(m_path));
            if (posix.ok) m_path = posix.path;
        }
        m_attached = !m_path.empty();
    }

    void reset() {
        m_started = false;
        m_handles.clear();
        for (auto& root : m_roots) root.reset();
        m_held.reset();
    }

    // What a call needs to know of the file before it takes the lock.
    struct FileView {
        bool attached = false;  // changes are written to the file and read back from it
        std::string path;
        regfile::FileStamp stamp;  // the version the tree holds
    };
    FileView fileView() const { return {m_attached, m_path, m_stamp}; }
    bool attached() const { return m_attached; }

    // Brings the tree to the version of the file read, unless another call
    // moved it on since `basedOn` was the version held: false then, and the
    // caller looks at the file again. A writer, which holds the writers' lock,
    // always reads the newest version. A file that cannot be read or is
    // malformed is reported once and no longer followed or written.
    bool catchUp(regfile::FileRead& read, const regfile::FileStamp& basedOn, bool writer) {
        if (!m_attached || read.status == regfile::FileRead::Unchanged) return true;
        if (!writer && m_stamp != basedOn) return false;
        if (read.status == regfile::FileRead::Failed) {
            printMessage(m_shownName + read.problem +
                         (m_stamp.known ? "; the registry keeps what it held"
                                        : "; the registry starts empty") +
                         " and changes are not written to this file");
            m_attached = false;
            m_held.reset();
            return true;
        }
        if (read.stamp == m_stamp) return true;
        Roots fresh;
        for (auto& root : fresh) {
            root = std::make_shared<Key>();
            root->isRoot = true;
        }
        for (const regfile::Edit& edit : read.edits) apply(fresh, edit);
        for (int i = 0; i < regfile::kRootCount; ++i) merge(*m_roots[i], *fresh[i]);
        m_stamp = read.stamp;
        m_held = std::move(read.held);
        return true;
    }

    // After a change: the file's new content, when there is a file to keep.
    bool serialise(std::string& bytes, std::string& path) {
        if (!m_attached) return false;
        std::vector<regfile::KeyRecord> records;
        for (int i = 0; i < regfile::kRootCount; ++i) {
            regfile::KeyPath keyPath;
            keyPath.root = static_cast<Root>(i);
            if (!m_roots[i]->values.empty()) records.push_back({keyPath, m_roots[i]->values});
            collect(*m_roots[i], keyPath, records);
        }
        size_t skipped = 0;
        bytes = regfile::write(records, &skipped);
        if (skipped && !m_skipWarned) {
            m_skipWarned = true;
            printMessage(m_shownName +
                         ": a key or value name with a line break cannot be written to the "
                         "registry file; it is kept only in the process");
        }
        path = m_path;
        return true;
    }

    // After the write: the version the tree now holds, or the failure, said
    // once until a write succeeds again.
    void written(int error, const regfile::FileStamp& stamp, UniqueFd& held) {
        if (!error) {
            m_writeFailed = false;
            m_stamp = stamp;
            m_held = std::move(held);
        } else if (!m_writeFailed) {
            m_writeFailed = true;
            printMessage(m_shownName + ": cannot write the registry file: " +
                         std::strerror(error) + "; changes are kept only in the process");
        }
    }

    // The key behind a handle, without checking its rights.
    LONG lookup(HKEY hKey, OpenKey& open) {
        if (!hKey) return ERROR_INVALID_HANDLE;
        Root root;
        if (predefinedRoot(hKey, root)) {
            open.key = m_roots[static_cast<int>(root)];
            open.access = ~static_cast<REGSAM>(0);
            open.predefined = true;
            return ERROR_SUCCESS;
        }
        auto it = m_handles.find(reinterpret_cast<ULONG_PTR>(hKey));
        if (it == m_handles.end()) return ERROR_INVALID_HANDLE;
        open = it->second;
        return ERROR_SUCCESS;
    }

    // The handle's rights are checked before the key's state, as Windows does.
    static LONG check(const OpenKey& open, REGSAM required) {
        if ((open.access & required) != required) return ERROR_ACCESS_DENIED;
        if (open.key->deleted) return ERROR_KEY_DELETED;
        return ERROR_SUCCESS;
    }

    LONG resolve(HKEY hKey, REGSAM required, OpenKey& open) {
        LONG rc = lookup(hKey, open);
        return rc != ERROR_SUCCESS ? rc : check(open, required);
    }

    HKEY newHandle(const std::shared_ptr<Key>& key, REGSAM desired) {
        ULONG_PTR value = m_nextHandle;
        while (m_handles.count(value)) value = value >= kLastHandle ? kFirstHandle : value + 4;
        m_nextHandle = value >= kLastHandle ? kFirstHandle : value + 4;
        m_handles[value] = OpenKey{key, grantedAccess(desired), false};
        return reinterpret_cast<HKEY>(value);
    }

    bool closeHandle(HKEY hKey) { return m_handles.erase(reinterpret_cast<ULONG_PTR>(hKey)) != 0; }

    // Whether a handle is open on a key below `key` (not on `key` itself).
    bool handleOpenBelow(const Key& key) const {
        for (const auto& handle : m_handles)
            for (const Key* k = handle.second.key->parent; k; k = k->parent)
                if (k == &key) return true;
        return false;
    }

private:
    bool m_started = false;
    Roots m_roots;
    std::unordered_map<ULONG_PTR, OpenKey> m_handles;
    ULONG_PTR m_nextHandle = kFirstHandle;
    std::string m_shownName;  // WIN32_POSIX_REGISTRY as given, for messages
    std::string m_path;       // the file as a POSIX path
    bool m_attached = false;
    regfile::FileStamp m_stamp;
    UniqueFd m_held;  // the version m_stamp names, kept open
    bool m_writeFailed = false;
    bool m_skipWarned = false;
};

// Never destroyed, so that handles stay usable while static objects of the
// process are destroyed at exit.
Registry& registry() {
    static Registry* instance = new Registry;
    return *instance;
}

// Follows `names` from `from`; null when a component is missing.
// The walk goes by reference through the tree (the caller holds the
// registry's lock) and copies only the key it ends on.
std::shared_ptr<Key> walkFrom(const std::shared_ptr<Key>& from,
                              const std::vector<wstring_view>& names) {
    const std::shared_ptr<Key>* key = &from;
    for (wstring_view name : names) {
        auto it = subkeyPosition(**key, name);
        if (it == (*key)->subkeys.end() || !equalsNoCase((*it)->name, name)) return nullptr;
        key = &*it;
    }
    return *key;
}

// The registry for the length of one call: started, in step with the file
// (looked at again at every call, so that other processes' changes are seen),
// and locked. A call that may change the registry holds the writers' lock on
// the file from before it reads the file until its change is written; the
// file is written when the object goes out of scope, after the registry's lock
// is released, so that no call waits for the disk.
class LockedRegistry {
public:
    enum Purpose { Read, Change };

    explicit LockedRegistry(Purpose purpose = Read) : r(registry()), m_lock(r.mutex) {
        for (int attempt = 0;; ++attempt) {
            r.ensureStarted();
            // A registry without a file is all in the process: nothing to look at.
            if (!r.attached()) return;
            Registry::FileView file = r.fileView();
            m_lock.unlock();
            if (purpose == Change && !m_folder.held() && !m_lockError)
                m_lockError = m_folder.lock(file.path);
            regfile::FileRead read = regfile::readIfChanged(file.path, file.stamp);
            m_lock.lock();
            if (r.catchUp(read, file.stamp, m_folder.held()) || attempt == 10) return;
        }
    }

    ~LockedRegistry() {
        std::string bytes, path;
        if (m_changed && r.serialise(bytes, path)) {
            m_lock.unlock();
            int error = m_lockError;
            regfile::FileStamp stamp;
            UniqueFd held;
            if (!error) error = regfile::writeWhole(path, bytes, stamp, held);
            m_lock.lock();
            r.written(error, stamp, held);
        }
        m_lock.unlock();
        m_folder.unlock();
    }

    LockedRegistry(const LockedRegistry&) = delete;
    LockedRegistry& operator=(const LockedRegistry&) = delete;

    // The registry changed: the file is written before the call returns.
    void changed() { m_changed = true; }

    Registry& r;

private:
    regfile::FolderLock m_folder;
    int m_lockError = 0;  // why the writers' lock could not be taken
    std::unique_lock<std::mutex> m_lock;
    bool m_changed = false;
};

// The key that `subKey` names below the key of `hKey`: ERROR_SUCCESS with `key`
// set, or the code Windows gives for a bad handle, a bad path or a missing
// key. `parent` is the handle's own key and `names` the path's components.
LONG findKey(Registry& r, HKEY hKey, const WCHAR* subKey, OpenKey& parent,
             std::vector<wstring_view>& names, std::shared_ptr<Key>& key) {
    LONG rc = r.resolve(hKey, 0, parent);
    if (rc != ERROR_SUCCESS) return rc;
    rc = splitPath(subKey, names);
    if (rc != ERROR_SUCCESS) return rc;
    key = walkFrom(parent.key, names);
    return key ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

// The unit that follows a string's data in the caller's memory, read as
// Windows reads it. The caller's buffer may end right before it, so this one
// read is kept out of AddressSanitizer's sight on purpose.
__attribute__((noinline, no_sanitize_address)) bool nextUnitIsNul(const BYTE* end) {
    const volatile BYTE* p = end;
    return p[0] == 0 && p[1] == 0;
}

// The size a string value is stored with: a REG_SZ, REG_EXPAND_SZ or
// REG_MULTI_SZ of whole units whose last unit is not NUL, while the unit after
// it in the caller's memory is, keeps that NUL too (10 bytes asked, 12 stored).
DWORD storedSize(DWORD type, const BYTE* data, DWORD size) {
    if (type != REG_SZ && type != REG_EXPAND_SZ && type != REG_MULTI_SZ) return size;
    if (size < 2 || size % 2 != 0) return size;
    if (data[size - 2] == 0 && data[size - 1] == 0) return size;
    return nextUnitIsNul(data + size) ? size + 2 : size;
}

// --- saved keys ---------------------------------------------------------------

// The key with its class, values and subkeys, volatile keys left out, as
// RegSaveKeyW writes it.
savedkey::Node snapshot(const Key& key) {
    savedkey::Node node{key.name, key.className, key.values, {}};
    for (const std::shared_ptr<Key>& child : key.subkeys)
        if (!child->isVolatile) node.subkeys.push_back(snapshot(*child));
    return node;
}

// Gives the key the class, values and subkeys of `node`; the subkeys it had
// are deleted (their handles see ERROR_KEY_DELETED).
void replaceContents(Key& key, const savedkey::Node& node, bool isVolatile) {
    removeContents(key);
    key.className = node.className;
    key.values = node.values;
    for (const savedkey::Node& sub : node.subkeys)
        replaceContents(*addSubkey(key, sub.name, isVolatile), sub, isVolatile);
}

// The file a RegSaveKeyW or RegRestoreKeyW names: ERROR_SUCCESS with its
// POSIX path, ERROR_INVALID_PARAMETER for NULL or "", ERROR_PATH_NOT_FOUND for
// a name that maps to no path.
LONG savedKeyPath(LPCWSTR file, std::string& path) {
    if (!file || !*file) return ERROR_INVALID_PARAMETER;
    PosixPath posix = toPosixPath(view(file));
    if (!posix.ok) return ERROR_PATH_NOT_FOUND;
    path = posix.path;
    return ERROR_SUCCESS;
}

// Reads a whole file: ERROR_SUCCESS, or what Windows reports for a missing
// file (ERROR_FILE_NOT_FOUND) or folder (ERROR_PATH_NOT_FOUND), a folder
// (ERROR_ACCESS_DENIED) or a read that fails.
LONG readWholeFile(const std::string& path, std::string& bytes) {
    UniqueFd fd(w32p::sys::open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (!fd.valid())
        return errno == ENOENT || errno == ENOTDIR ? missingPathError(path) : errorFromErrno(errno);
    struct stat st;
    if (w32p::sys::fstat(fd.get(), &st) == 0 && S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    int error = readAll(fd.get(), bytes);
    return error ? errorFromErrno(error) : ERROR_SUCCESS;
}

// Writes a new file: ERROR_ALREADY_EXISTS when there is one, as RegSaveKeyW
// reports it, ERROR_PATH_NOT_FOUND when its folder is missing.
LONG writeNewFile(const std::string& path, const std::string& bytes) {
    int error = replaceFile(path, nullptr, bytes, true);
    if (error == EEXIST) return ERROR_ALREADY_EXISTS;
    if (error == ENOENT || error == ENOTDIR) return ERROR_PATH_NOT_FOUND;
    return errorFromErrno(error);
}

}  // namespace

namespace testing {

void resetRegistry() {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.reset();
}

}  // namespace testing
}  // namespace w32p

using namespace w32p;

// Opens an existing key: ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, ERROR_INVALID_HANDLE,
// ERROR_BAD_PATHNAME (leading backslash), ERROR_INVALID_PARAMETER (NULL phkResult).
// *phkResult is NULL on failure; a root with an empty path comes back as itself.
extern "C" LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD ulOptions,
                                        REGSAM samDesired, PHKEY phkResult) {
    (void)ulOptions;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    LockedRegistry locked;
    OpenKey parent;
    // Reused by the thread's calls: opening a key allocates nothing but its handle.
    thread_local std::vector<wstring_view> names;
    std::shared_ptr<Key> key;
    LONG rc = findKey(locked.r, hKey, lpSubKey, parent, names, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (names.empty() && parent.predefined) {
        *phkResult = hKey;
        return ERROR_SUCCESS;
    }
    *phkResult = locked.r.newHandle(key, samDesired);
    return ERROR_SUCCESS;
}

// Opens a key, creating it and the missing keys above it (*lpdwDisposition says
// which). Errors as RegOpenKeyExW, plus ERROR_CHILD_MUST_BE_VOLATILE; the parent
// handle's rights do not matter, as Windows checks the key's security instead.
extern "C" LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD Reserved,
                                          LPWSTR lpClass, DWORD dwOptions, REGSAM samDesired,
                                          LPSECURITY_ATTRIBUTES lpSecurityAttributes,
                                          PHKEY phkResult, LPDWORD lpdwDisposition) {
    (void)lpSecurityAttributes;
    if (!hKey) return ERROR_INVALID_HANDLE;
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    if (Reserved != 0) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked(LockedRegistry::Change);
    Registry& r = locked.r;
    OpenKey parent;
    LONG rc = r.resolve(hKey, 0, parent);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<wstring_view> names;
    rc = splitPath(lpSubKey, names);
    if (rc != ERROR_SUCCESS) return rc;

    std::shared_ptr<Key> key = parent.key;
    size_t existing = 0;
    for (; existing < names.size(); ++existing) {
        std::shared_ptr<Key> next = findSubkey(*key, names[existing]);
        if (!next) break;
        key = next;
    }
    bool isVolatile = (dwOptions & REG_OPTION_VOLATILE) != 0;
    DWORD disposition = REG_OPENED_EXISTING_KEY;
    if (existing < names.size()) {
        if (key->isVolatile && !isVolatile) return ERROR_CHILD_MUST_BE_VOLATILE;
        for (size_t i = existing; i < names.size(); ++i) key = addSubkey(*key, names[i], isVolatile);
        if (lpClass) key->className = wstring(view(lpClass));
        disposition = REG_CREATED_NEW_KEY;
        locked.changed();
    }
    *phkResult = r.newHandle(key, samDesired);
    if (lpdwDisposition) *lpdwDisposition = disposition;
    return ERROR_SUCCESS;
}

// Closes a handle. ERROR_SUCCESS, also for the predefined roots; a NULL, closed
// or unknown handle gives ERROR_INVALID_HANDLE.
extern "C" LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (!hKey) return ERROR_INVALID_HANDLE;
    if (looksPredefined(hKey)) return ERROR_SUCCESS;
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mutex);
    return r.closeHandle(hKey) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

// Reads a value (NULL or "" is the default value); needs KEY_QUERY_VALUE.
// A buffer too small gives ERROR_MORE_DATA with the size needed in *lpcbData,
// the type written and the buffer untouched; lpData NULL asks for the size.
// Missing value: ERROR_FILE_NOT_FOUND. Data comes back exactly as stored, with
// no terminator added.
extern "C" LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD lpReserved,
                                           LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || (lpData && !lpcbData)) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked;
    Registry& r = locked.r;
    OpenKey open;
    LONG rc = r.lookup(hKey, open);
    if (rc != ERROR_SUCCESS) return rc;
    // A size query reports 0 unless the value is found.
    if (!lpData && lpcbData) *lpcbData = 0;
    rc = Registry::check(open, KEY_QUERY_VALUE);
    if (rc != ERROR_SUCCESS) return rc;
    const Value* value = findValue(*open.key, view(lpValueName));
    if (!value) return ERROR_FILE_NOT_FOUND;
    DWORD size = static_cast<DWORD>(value->data.size());
    if (lpType) *lpType = value->type;
    if (lpData) {
        if (*lpcbData < size) {
            *lpcbData = size;
            return ERROR_MORE_DATA;
        }
        if (size) std::memcpy(lpData, value->data.data(), size);
    }
    if (lpcbData) *lpcbData = size;
    return ERROR_SUCCESS;
}


// Stores cbData bytes of any type under the name (NULL or "" is the default
// value), and the NUL after a string whose size left it out; needs
// KEY_SET_VALUE. NULL data with a non-zero size gives ERROR_NOACCESS; a name
// longer than 16383 units ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved,
                                         DWORD dwType, const BYTE* lpData, DWORD cbData) {
    (void)Reserved;
    LockedRegistry locked(LockedRegistry::Change);
    Registry& r = locked.r;
    OpenKey open;
    LONG rc = r.resolve(hKey, KEY_SET_VALUE, open);
    if (rc != ERROR_SUCCESS) return rc;
    wstring_view name = view(lpValueName);
    if (name.size() > regfile::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::vector<BYTE> data(lpData, lpData + storedSize(dwType, lpData, cbData));
    setValue(*open.key, name, dwType, std::move(data));
    locked.changed();
    return ERROR_SUCCESS;
}

// Deletes a value; needs KEY_SET_VALUE. ERROR_FILE_NOT_FOUND when missing.
extern "C" LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    LockedRegistry locked(LockedRegistry::Change);
    Registry& r = locked.r;
    OpenKey open;
    LONG rc = r.resolve(hKey, KEY_SET_VALUE, open);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<Value>& values = open.key->values;
    wstring_view name = view(lpValueName);
    auto it = std::find_if(values.begin(), values.end(),
                           [&](const Value& v) { return equalsNoCase(v.name, name); });
    if (it == values.end()) return ERROR_FILE_NOT_FOUND;
    values.erase(it);
    open.key->lastWriteTime = now();
    locked.changed();
    return ERROR_SUCCESS;
}

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some, or
// when it is a root); "" deletes the key of the handle itself. The handle's
// rights do not matter. Missing key: ERROR_FILE_NOT_FOUND; NULL name:
// ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked(LockedRegistry::Change);
    OpenKey open;
    std::vector<wstring_view> names;
    std::shared_ptr<Key> key;
    LONG rc = findKey(locked.r, hKey, lpSubKey, open, names, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (key->isRoot || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    removeKey(key);
    locked.changed();
    return ERROR_SUCCESS;
}

// Deletes a key with everything below it. With a NULL (or "") name it empties
// the key of the handle and keeps it: that needs KEY_QUERY_VALUE and
// KEY_ENUMERATE_SUB_KEYS, and KEY_SET_VALUE when the key has values
// (ERROR_ACCESS_DENIED otherwise). Missing key: ERROR_FILE_NOT_FOUND.
extern "C" LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    LockedRegistry locked(LockedRegistry::Change);
    Registry& r = locked.r;
    OpenKey open;
    if (!lpSubKey || !*lpSubKey) {
        LONG rc = r.resolve(hKey, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, open);
        if (rc != ERROR_SUCCESS) return rc;
        if (!open.key->values.empty() && !(open.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        removeContents(*open.key);
        locked.changed();
        return ERROR_SUCCESS;
    }
    std::vector<wstring_view> names;
    std::shared_ptr<Key> key;
    LONG rc = findKey(r, hKey, lpSubKey, open, names, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (key->isRoot) removeContents(*key);
    else removeKey(key);
    locked.changed();
    return ERROR_SUCCESS;
}

// Names the subkey at dwIndex, in Windows' order (by upper-cased name); needs
// KEY_ENUMERATE_SUB_KEYS. *lpcchName: the buffer's size in, the name's length
// without the NUL out. A name or class buffer without room for the NUL gives
// ERROR_MORE_DATA with buffers and counts untouched; past the last subkey
// ERROR_NO_MORE_ITEMS. A NULL name or count: ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName,
                                        LPDWORD lpcchName, LPDWORD lpReserved, LPWSTR lpClass,
                                        LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    if (lpReserved || !lpName || !lpcchName) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked;
    OpenKey open;
    LONG rc = locked.r.resolve(hKey, KEY_ENUMERATE_SUB_KEYS, open);
    if (rc != ERROR_SUCCESS) return rc;
    if (dwIndex >= open.key->subkeys.size()) return ERROR_NO_MORE_ITEMS;
    const Key& subkey = *open.key->subkeys[dwIndex];
    bool classFits = !lpClass || !lpcchClass || subkey.className.size() < *lpcchClass;
    if (subkey.name.size() >= *lpcchName || !classFits) return ERROR_MORE_DATA;
    *lpcchName = copyName(subkey.name, lpName);
    if (lpcchClass) {
        if (lpClass) copyName(subkey.className, lpClass);
        *lpcchClass = static_cast<DWORD>(subkey.className.size());
    }
    if (lpftLastWriteTime) *lpftLastWriteTime = toFileTime(subkey.lastWriteTime);
    return ERROR_SUCCESS;
}

// Names the value at dwIndex, in creation order, with its type and data;
// needs KEY_QUERY_VALUE. A name buffer without room for the NUL gives
// ERROR_MORE_DATA with the name untouched but the type and *lpcbData (the
// size needed) set; a data buffer too small the same with the name written.
// Past the last value ERROR_NO_MORE_ITEMS; a NULL name or count, or data
// without a size, ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName,
                                        LPDWORD lpcchValueName, LPDWORD lpReserved,
                                        LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpReserved || !lpValueName || !lpcchValueName || (lpData && !lpcbData))
        return ERROR_INVALID_PARAMETER;
    LockedRegistry locked;
    OpenKey open;
    LONG rc = locked.r.resolve(hKey, KEY_QUERY_VALUE, open);
    if (rc != ERROR_SUCCESS) return rc;
    if (dwIndex >= open.key->values.size()) return ERROR_NO_MORE_ITEMS;
    const Value& value = open.key->values[dwIndex];
    DWORD size = static_cast<DWORD>(value.data.size());
    rc = ERROR_SUCCESS;
    if (value.name.size() >= *lpcchValueName) {
        rc = ERROR_MORE_DATA;
    } else {
        *lpcchValueName = copyName(value.name, lpValueName);
        if (lpData && size > *lpcbData) rc = ERROR_MORE_DATA;
        else if (lpData && size) std::memcpy(lpData, value.data.data(), size);
    }
    if (lpType) *lpType = value.type;
    if (lpcbData) *lpcbData = size;
    return rc;
}

// The size of the security descriptor Windows reports for a key a user
// created: self-relative, with the user as owner and group and one entry
// granting the user every right (20 + 28 + 28 + 8 + 36 bytes). A handle
// without READ_CONTROL is told 0.
constexpr DWORD kSecurityDescriptorSize = 120;

// Counts and longest lengths of a key's subkeys and values, each out-parameter
// optional; needs KEY_QUERY_VALUE. Name lengths are in units without the NUL,
// the longest data in bytes. A class buffer without room for the class and its
// NUL gives ERROR_MORE_DATA with the class's length (the other counts still
// set); a class buffer without a count ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegQueryInfoKeyW(HKEY hKey, LPWSTR lpClass, LPDWORD lpcchClass,
                                           LPDWORD lpReserved, LPDWORD lpcSubKeys,
                                           LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen,
                                           LPDWORD lpcValues, LPDWORD lpcbMaxValueNameLen,
                                           LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                                           PFILETIME lpftLastWriteTime) {
    if (lpReserved || (lpClass && !lpcchClass)) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked;
    OpenKey open;
    LONG rc = locked.r.resolve(hKey, KEY_QUERY_VALUE, open);
    if (rc != ERROR_SUCCESS) return rc;
    const Key& key = *open.key;
    size_t maxSubkey = 0, maxClass = 0, maxName = 0, maxData = 0;
    for (const std::shared_ptr<Key>& subkey : key.subkeys) {
        maxSubkey = std::max(maxSubkey, subkey->name.size());
        maxClass = std::max(maxClass, subkey->className.size());
    }
    for (const Value& value : key.values) {
        maxName = std::max(maxName, value.name.size());
        maxData = std::max(maxData, value.data.size());
    }
    rc = ERROR_SUCCESS;
    if (lpClass && *lpcchClass) {
        if (key.className.size() >= *lpcchClass) rc = ERROR_MORE_DATA;
        else copyName(key.className, lpClass);
    }
    if (lpcchClass) *lpcchClass = static_cast<DWORD>(key.className.size());
    if (lpcSubKeys) *lpcSubKeys = static_cast<DWORD>(key.subkeys.size());
    if (lpcbMaxSubKeyLen) *lpcbMaxSubKeyLen = static_cast<DWORD>(maxSubkey);
    if (lpcbMaxClassLen) *lpcbMaxClassLen = static_cast<DWORD>(maxClass);
    if (lpcValues) *lpcValues = static_cast<DWORD>(key.values.size());
    if (lpcbMaxValueNameLen) *lpcbMaxValueNameLen = static_cast<DWORD>(maxName);
    if (lpcbMaxValueLen) *lpcbMaxValueLen = static_cast<DWORD>(maxData);
    if (lpcbSecurityDescriptor)
        *lpcbSecurityDescriptor = (open.access & READ_CONTROL) ? kSecurityDescriptorSize : 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = toFileTime(key.lastWriteTime);
    return rc;
}

// Windows' limit on one RegQueryMultipleValuesW call: the array and the data.
constexpr ULONGLONG kMaxMultipleValuesSize = 1024 * 1024;

// Reads several values of one key at once (NULL or "" names the default
// value); needs KEY_QUERY_VALUE. The data go into lpValueBuf back to back, in
// array order, without padding; each entry gets its size, type and a pointer
// into the buffer. A buffer too small or NULL gives ERROR_MORE_DATA with the
// size needed in *ldwTotsize (the entries that fit are filled, every entry
// gets its size); a missing value ERROR_FILE_NOT_FOUND; an array and data of
// more than 1 MB ERROR_TRANSFER_TOO_LONG (222).
extern "C" LSTATUS WINAPI RegQueryMultipleValuesW(HKEY hKey, PVALENTW val_list, DWORD num_vals,
                                                  LPWSTR lpValueBuf, LPDWORD ldwTotsize) {
    if (!ldwTotsize || (num_vals && !val_list)) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked;
    OpenKey open;
    LONG rc = locked.r.resolve(hKey, KEY_QUERY_VALUE, open);
    if (rc != ERROR_SUCCESS) return rc;
    // The values and their total size first, so that a missing value or a
    // request too large changes no entry after the missing one.
    std::vector<const Value*> values;
    ULONGLONG total = 0;
    for (DWORD i = 0; i < num_vals; ++i) {
        const Value* value = findValue(*open.key, view(val_list[i].ve_valuename));
        if (!value) {
            val_list[i].ve_valuelen = 0;
            *ldwTotsize = static_cast<DWORD>(total);
            return ERROR_FILE_NOT_FOUND;
        }
        values.push_back(value);
        total += value->data.size();
    }
    if (num_vals * ULONGLONG{sizeof(VALENTW)} + total > kMaxMultipleValuesSize)
        return ERROR_TRANSFER_TOO_LONG;
    DWORD room = *ldwTotsize;
    BYTE* next = reinterpret_cast<BYTE*>(lpValueBuf);
    DWORD used = 0;
    for (DWORD i = 0; i < num_vals; ++i) {
        DWORD size = static_cast<DWORD>(values[i]->data.size());
        val_list[i].ve_valuelen = size;
        if (lpValueBuf && used + size <= room) {
            if (size) std::memcpy(next, values[i]->data.data(), size);
            val_list[i].ve_type = values[i]->type;
            val_list[i].ve_valueptr = reinterpret_cast<DWORD_PTR>(next);
            next += size;
        }
        used += size;
    }
    *ldwTotsize = used;
    return lpValueBuf && used <= room ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

// Saves the handle's key, its class, values and subkeys (not volatile ones)
// to a new file of the stand-in's own format (saved_key.h). ERROR_ALREADY_EXISTS
// for an existing file, ERROR_PATH_NOT_FOUND for a missing folder,
// ERROR_PRIVILEGE_NOT_HELD without SeBackupPrivilege (no file is made).
extern "C" LSTATUS WINAPI RegSaveKeyW(HKEY hKey, LPCWSTR lpFile,
                                      LPSECURITY_ATTRIBUTES lpSecurityAttributes) {
    (void)lpSecurityAttributes;
    savedkey::Node top;
    {
        LockedRegistry locked;
        OpenKey open;
        LONG rc = locked.r.resolve(hKey, 0, open);
        if (rc != ERROR_SUCCESS) return rc;
        top = snapshot(*open.key);
    }
    std::string path;
    LONG rc = savedKeyPath(lpFile, path);
    if (rc != ERROR_SUCCESS) return rc;
    struct stat st;
    if (w32p::sys::lstat(path.c_str(), &st) == 0) return ERROR_ALREADY_EXISTS;
    if (missingPathError(path) == ERROR_PATH_NOT_FOUND) return ERROR_PATH_NOT_FOUND;
    if (!privilegeEnabled(SE_BACKUP_NAME)) return ERROR_PRIVILEGE_NOT_HELD;
    return writeNewFile(path, savedkey::write(top));
}

// Replaces the class, values and subkeys of the handle's key (not its name)
// with the file's top key's. ERROR_PRIVILEGE_NOT_HELD without SeRestorePrivilege
// and SeBackupPrivilege; ERROR_ACCESS_DENIED for a handle open below the key
// unless REG_FORCE_RESTORE; 2 or 3, ERROR_NOT_REGISTRY_FILE or
// ERROR_REGISTRY_CORRUPT for a missing, foreign or damaged file. A failure
// changes nothing.
extern "C" LSTATUS WINAPI RegRestoreKeyW(HKEY hKey, LPCWSTR lpFile, DWORD dwFlags) {
    // The file is read before the registry is locked, its errors reported
    // after the handle's.
    std::string path, bytes;
    LONG fileError = savedKeyPath(lpFile, path);
    if (fileError == ERROR_SUCCESS) fileError = readWholeFile(path, bytes);
    savedkey::ReadResult parsed;
    if (fileError == ERROR_SUCCESS) parsed = savedkey::read(bytes);

    LockedRegistry locked(LockedRegistry::Change);
    OpenKey open;
    LONG rc = locked.r.resolve(hKey, 0, open);
    if (rc != ERROR_SUCCESS) return rc;
    // REG_WHOLE_HIVE_VOLATILE makes the restored keys volatile, for the two
    // roots it is documented for only; the other flags change nothing here.
    bool wholeHiveVolatile = (dwFlags & REG_WHOLE_HIVE_VOLATILE) != 0;
    if (wholeHiveVolatile && hKey != HKEY_LOCAL_MACHINE && hKey != HKEY_USERS)
        return ERROR_INVALID_PARAMETER;
    if (fileError != ERROR_SUCCESS) return fileError;
    if (!privilegeEnabled(SE_RESTORE_NAME) || !privilegeEnabled(SE_BACKUP_NAME))
        return ERROR_PRIVILEGE_NOT_HELD;
    if (parsed.status == savedkey::ReadResult::NotASavedKey) return ERROR_NOT_REGISTRY_FILE;
    if (parsed.status != savedkey::ReadResult::Ok) return ERROR_REGISTRY_CORRUPT;
    if (!(dwFlags & REG_FORCE_RESTORE) && locked.r.handleOpenBelow(*open.key))
        return ERROR_ACCESS_DENIED;
    replaceContents(*open.key, parsed.top, wholeHiveVolatile || open.key->isVolatile);
    locked.changed();
    return ERROR_SUCCESS;
}
