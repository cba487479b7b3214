/*
 * registry.cpp - the registry of the process: five root trees, the open
 * handles with their access rights, and the optional registry file.
 *
 *   tree and handles   keys keep the spelling they were created with and are
 *                      found case-insensitively; subkeys are kept in Windows'
 *                      case-insensitive order, values in creation order; one
 *                      mutex guards the tree, the handles and the file
 *   registry file      WIN32_POSIX_REGISTRY, loaded at the first registry call
 *                      and rewritten atomically after every change
 *   RegOpenKeyExW, RegCreateKeyExW, RegCloseKey
 *   RegQueryValueExW, RegSetValueExW, RegDeleteValueW
 *   RegDeleteKeyW, RegDeleteTreeW
 *   RegEnumKeyExW, RegEnumValueW, RegQueryInfoKeyW, RegQueryMultipleValuesW
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
#include "reg_file.h"

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

// --- files -----------------------------------------------------------------

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    // Closes now, reporting the error a late write may surface.
    bool close() {
        int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

private:
    int m_fd;
};

enum class ReadStatus { Ok, Missing, Failed };

ReadStatus readWholeFile(const std::string& path, std::string& bytes, int& error) {
    FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0) {
        error = errno;
        return error == ENOENT ? ReadStatus::Missing : ReadStatus::Failed;
    }
    bytes.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            error = errno;
            return ReadStatus::Failed;
        }
        if (n == 0) return ReadStatus::Ok;
        bytes.append(buffer, static_cast<size_t>(n));
    }
}

// Writes a temporary file beside `path` and renames it over `path`, so that a
// reader sees the old file or the new one, never a part.
bool writeFileAtomically(const std::string& path, const std::string& bytes, int& error) {
    static unsigned counter = 0;
    std::string temporary =
        path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(++counter);
    FileDescriptor fd(
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (fd.get() < 0) {
        error = errno;
        return false;
    }
    size_t done = 0;
    bool ok = true;
    while (ok && done < bytes.size()) {
        ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) ok = false;
        else done += static_cast<size_t>(n);
    }
    ok = ok && ::fsync(fd.get()) == 0;
    if (!ok) error = errno;
    if (!fd.close() && ok) {
        error = errno;
        ok = false;
    }
    if (ok && ::rename(temporary.c_str(), path.c_str()) != 0) {
        error = errno;
        ok = false;
    }
    if (!ok) ::unlink(temporary.c_str());
    return ok;
}

void printMessage(const std::string& message) {
    std::string line = "win32_posix: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
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

class Registry {
public:
    std::mutex mutex;

    // Loads the registry file at the first call after start or reset.
    void ensureLoaded() {
        if (m_loaded) return;
        m_loaded = true;
        for (auto& root : m_roots) {
            root = std::make_shared<Key>();
            root->isRoot = true;
        }
        m_saveToFile = false;
        m_writeFailed = false;
        m_skipWarned = false;
        m_shownName = configValue("WIN32_POSIX_REGISTRY");
        m_file = m_shownName;
        if (m_file.empty()) return;
        // A Windows path ("C:\reg\hbc.reg") names the file through the drive mapping.
        if (m_file.size() >= 2 && m_file[1] == ':') {
            PosixPath posix = toPosixPath(fromUtf8(m_file));
            if (posix.ok) m_file = posix.path;
        }
        std::string bytes;
        int error = 0;
        switch (readWholeFile(m_file, bytes, error)) {
        case ReadStatus::Missing:
            m_saveToFile = true;  // created at the first change
            return;
        case ReadStatus::Failed:
            printMessage(m_shownName + ": cannot read the registry file: " +
                         std::strerror(error) +
                         "; the registry starts empty and changes are not written to this file");
            return;
        case ReadStatus::Ok:
            break;
        }
        regfile::ReadResult result = regfile::read(bytes);
        if (!result.ok) {
            printMessage(m_shownName + ":" + std::to_string(result.line) + ": " + result.error +
                         "; the registry starts empty and changes are not written to this file");
            return;
        }
        for (const regfile::Edit& edit : result.edits) apply(edit);
        m_saveToFile = true;
    }

    void reset() {
        m_loaded = false;
        m_handles.clear();
        for (auto& root : m_roots) root.reset();
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

    // After every change: the whole file again, when there is one to keep.
    void changed() {
        if (!m_saveToFile) return;
        std::vector<regfile::KeyRecord> records;
        for (int i = 0; i < regfile::kRootCount; ++i) {
            regfile::KeyPath path;
            path.root = static_cast<Root>(i);
            if (!m_roots[i]->values.empty()) records.push_back({path, m_roots[i]->values});
            collect(*m_roots[i], path, records);
        }
        size_t skipped = 0;
        std::string bytes = regfile::write(records, &skipped);
        if (skipped && !m_skipWarned) {
            m_skipWarned = true;
            printMessage(m_shownName +
                         ": a key or value name with a line break cannot be written to the "
                         "registry file; it is kept only in the process");
        }
        int error = 0;
        if (writeFileAtomically(m_file, bytes, error)) {
            m_writeFailed = false;
        } else if (!m_writeFailed) {
            m_writeFailed = true;  // said once until a write succeeds again
            printMessage(m_shownName + ": cannot write the registry file: " +
                         std::strerror(error) + "; changes are kept only in the process");
        }
    }

private:
    static void collect(const Key& key, regfile::KeyPath& path,
                        std::vector<regfile::KeyRecord>& records) {
        for (const std::shared_ptr<Key>& child : key.subkeys) {
            if (child->isVolatile) continue;
            path.names.push_back(child->name);
            records.push_back({path, child->values});
            collect(*child, path, records);
            path.names.pop_back();
        }
    }

    std::shared_ptr<Key> walk(const regfile::KeyPath& path, bool create) {
        std::shared_ptr<Key> key = m_roots[static_cast<int>(path.root)];
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

    void apply(const regfile::Edit& edit) {
        switch (edit.kind) {
        case regfile::Edit::CreateKey:
            walk(edit.key, true);
            break;
        case regfile::Edit::DeleteKey:
            if (std::shared_ptr<Key> key = walk(edit.key, false)) {
                if (key->isRoot) removeContents(*key);
                else removeKey(key);
            }
            break;
        case regfile::Edit::SetValue:
            setValue(*walk(edit.key, true), edit.value.name, edit.value.type, edit.value.data);
            break;
        case regfile::Edit::DeleteValue:
            if (std::shared_ptr<Key> key = walk(edit.key, false)) {
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

    bool m_loaded = false;
    std::shared_ptr<Key> m_roots[regfile::kRootCount];
    std::unordered_map<ULONG_PTR, OpenKey> m_handles;
    ULONG_PTR m_nextHandle = kFirstHandle;
    std::string m_shownName;  // WIN32_POSIX_REGISTRY as given, for messages
    std::string m_file;       // the file as a POSIX path
    bool m_saveToFile = false;
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
std::shared_ptr<Key> walkFrom(const std::shared_ptr<Key>& from,
                              const std::vector<wstring_view>& names) {
    std::shared_ptr<Key> key = from;
    for (wstring_view name : names) {
        key = findSubkey(*key, name);
        if (!key) return nullptr;
    }
    return key;
}

// The registry, locked and loaded, for the length of one call.
struct LockedRegistry {
    LockedRegistry() : r(registry()), lock(r.mutex) { r.ensureLoaded(); }
    Registry& r;
    std::lock_guard<std::mutex> lock;
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
    std::vector<wstring_view> names;
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
    LockedRegistry locked;
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
        r.changed();
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

// Stores exactly cbData bytes of any type under the name (NULL or "" is the
// default value); needs KEY_SET_VALUE. NULL data with a non-zero size gives
// ERROR_NOACCESS; a name longer than 16383 units ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD Reserved,
                                         DWORD dwType, const BYTE* lpData, DWORD cbData) {
    (void)Reserved;
    LockedRegistry locked;
    Registry& r = locked.r;
    OpenKey open;
    LONG rc = r.resolve(hKey, KEY_SET_VALUE, open);
    if (rc != ERROR_SUCCESS) return rc;
    wstring_view name = view(lpValueName);
    if (name.size() > regfile::kMaxValueNameLength) return ERROR_INVALID_PARAMETER;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::vector<BYTE> data(lpData, lpData + cbData);
    setValue(*open.key, name, dwType, std::move(data));
    r.changed();
    return ERROR_SUCCESS;
}

// Deletes a value; needs KEY_SET_VALUE. ERROR_FILE_NOT_FOUND when missing.
extern "C" LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    LockedRegistry locked;
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
    r.changed();
    return ERROR_SUCCESS;
}

// Deletes a key that has no subkeys (ERROR_ACCESS_DENIED when it has some, or
// when it is a root); "" deletes the key of the handle itself. The handle's
// rights do not matter. Missing key: ERROR_FILE_NOT_FOUND; NULL name:
// ERROR_INVALID_PARAMETER.
extern "C" LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    LockedRegistry locked;
    OpenKey open;
    std::vector<wstring_view> names;
    std::shared_ptr<Key> key;
    LONG rc = findKey(locked.r, hKey, lpSubKey, open, names, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (key->isRoot || !key->subkeys.empty()) return ERROR_ACCESS_DENIED;
    removeKey(key);
    locked.r.changed();
    return ERROR_SUCCESS;
}

// Deletes a key with everything below it. With a NULL (or "") name it empties
// the key of the handle and keeps it: that needs KEY_QUERY_VALUE and
// KEY_ENUMERATE_SUB_KEYS, and KEY_SET_VALUE when the key has values
// (ERROR_ACCESS_DENIED otherwise). Missing key: ERROR_FILE_NOT_FOUND.
extern "C" LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    LockedRegistry locked;
    Registry& r = locked.r;
    OpenKey open;
    if (!lpSubKey || !*lpSubKey) {
        LONG rc = r.resolve(hKey, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS, open);
        if (rc != ERROR_SUCCESS) return rc;
        if (!open.key->values.empty() && !(open.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        removeContents(*open.key);
        r.changed();
        return ERROR_SUCCESS;
    }
    std::vector<wstring_view> names;
    std::shared_ptr<Key> key;
    LONG rc = findKey(r, hKey, lpSubKey, open, names, key);
    if (rc != ERROR_SUCCESS) return rc;
    if (key->isRoot) removeContents(*key);
    else removeKey(key);
    r.changed();
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
