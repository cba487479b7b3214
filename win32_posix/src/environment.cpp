/*
 * environment.cpp - the process environment as the Win32 functions see it.
 *
 *   the variable store         the POSIX environment itself (setenv/unsetenv,
 *                              so child processes see every change), behind
 *                              one mutex; names compared as Windows compares
 *                              them; Windows' usual variables answered from a
 *                              table when the process has no such variable
 *   GetEnvironmentVariableW    SetEnvironmentVariableW
 *   ExpandEnvironmentStringsW  (rules in env_expand.cpp)
 *   GetWindowsDirectoryW
 *   configValue                the stand-in's own settings (WIN32_POSIX_*),
 *                              read under the store's mutex like any variable
 *
 * What the POSIX environment cannot hold is kept in the process only: names
 * that begin with '=' (setenv refuses them; Windows allows them) and names
 * with an unpaired surrogate (no UTF-8 form). A value with an unpaired
 * surrogate goes to the POSIX environment with U+FFFD in its place, and the
 * exact UTF-16 value is kept beside it, so that the process reads back what
 * it wrote.
 *
 * Windows' usual variables (env_defaults.cpp) are worked out at first use,
 * for the names the process does not have then, and are not written into the
 * POSIX environment: there TEMP=C:\tmp or OS=Windows_NT would mislead POSIX
 * code and child processes (libstdc++'s temp_directory_path reads TMP and
 * TEMP, makefiles test OS). Setting one writes the POSIX environment like any
 * other variable; deleting one deletes it; setting one back to its usual
 * value makes it a table entry again, so a test that changes TEMP for a while
 * leaves the POSIX environment as it found it.
 *
 * Where a name exists in the POSIX environment in another case ("Path" for
 * "PATH"), setting it replaces that variable and keeps its spelling, because
 * POSIX programs look names up exactly (getenv("PATH")). Further entries that
 * differ only in case, which Windows cannot have, are removed on a change.
 */
#include <pwd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "../include/win32_posix/paths.h"
#include "env_defaults.h"
#include "env_expand.h"
#include "internal.h"

extern char** environ;

namespace w32p {

namespace {

// The longest name or value Windows keeps: 32767 units with the terminator.
constexpr size_t kMaxLength = 32766;

std::mutex g_mutex;
bool g_defaultsReady = false;

// Windows' usual variables that the process did not have at first use.
struct DefaultVariable {
    wstring name;
    wstring value;
    bool deleted = false;  // set or deleted since: no longer answered from here
};
std::vector<DefaultVariable> g_defaults;

// Variables that live in the process only (see the banner).
std::vector<std::pair<wstring, wstring>> g_private;

// Exact values of variables whose value has no faithful UTF-8 form, by POSIX
// name, with the bytes written for them: a value that someone has since
// changed by other means is read as it now stands.
struct ExactValue {
    std::string posixName;
    std::string bytes;
    wstring value;
};
std::vector<ExactValue> g_exact;

struct PosixEntry {
    std::string name;
    std::string value;
};

bool survivesUtf8(wstring_view text) { return fromUtf8(toUtf8(text)) == text; }

bool isPrivateName(wstring_view name) { return name[0] == u'=' || !survivesUtf8(name); }

// The POSIX variables whose names equal `name` as Windows compares names; an
// entry spelled exactly so comes first.
std::vector<PosixEntry> posixMatches(wstring_view name) {
    const std::string exact = toUtf8(name);
    std::vector<PosixEntry> found;
    for (char** entry = environ; entry && *entry; ++entry) {
        const char* text = *entry;
        const char* equals = std::char_traits<char>::find(
            text, std::char_traits<char>::length(text), '=');
        if (!equals || equals == text) continue;
        std::string entryName(text, static_cast<size_t>(equals - text));
        if (!equalsNoCase(fromUtf8(entryName), name)) continue;
        PosixEntry match{entryName, std::string(equals + 1)};
        if (entryName == exact) {
            found.insert(found.begin(), std::move(match));
        } else {
            found.push_back(std::move(match));
        }
    }
    return found;
}

void forgetExact(const std::string& posixName) {
    for (size_t i = 0; i < g_exact.size(); ++i) {
        if (g_exact[i].posixName == posixName) {
            g_exact.erase(g_exact.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
    }
}

DefaultVariable* findDefault(wstring_view name) {
    for (DefaultVariable& variable : g_defaults)
        if (equalsNoCase(variable.name, name)) return &variable;
    return nullptr;
}

bool lookupLocked(wstring_view name, wstring& value) {
    if (name.empty()) return false;
    if (isPrivateName(name)) {
        for (const auto& variable : g_private) {
            if (equalsNoCase(variable.first, name)) {
                value = variable.second;
                return true;
            }
        }
        return false;
    }
    std::vector<PosixEntry> matches = posixMatches(name);
    if (matches.empty()) {
        const DefaultVariable* usual = findDefault(name);
        if (!usual || usual->deleted) return false;
        value = usual->value;
        return true;
    }
    const PosixEntry& entry = matches.front();
    for (const ExactValue& exact : g_exact) {
        if (exact.posixName == entry.name && exact.bytes == entry.value) {
            value = exact.value;
            return true;
        }
    }
    value = fromUtf8(entry.value);
    return true;
}

// Sets (or, with a null value, deletes) a variable whose name is valid.
// Returns the Win32 error code, ERROR_SUCCESS when done.
DWORD setLocked(wstring_view name, const wstring* value) {
    if (isPrivateName(name)) {
        for (size_t i = 0; i < g_private.size(); ++i) {
            if (equalsNoCase(g_private[i].first, name)) {
                g_private.erase(g_private.begin() + static_cast<std::ptrdiff_t>(i));
                break;
            }
        }
        if (value) g_private.emplace_back(wstring(name), *value);
        return ERROR_SUCCESS;
    }
    std::vector<PosixEntry> matches = posixMatches(name);
    DefaultVariable* usual = findDefault(name);
    if (usual && value && *value == usual->value) {
        // Back to the usual value: a table entry again, out of the POSIX environment.
        for (const PosixEntry& entry : matches) {
            ::unsetenv(entry.name.c_str());
            forgetExact(entry.name);
        }
        usual->deleted = false;
        return ERROR_SUCCESS;
    }
    if (usual) usual->deleted = true;
    const std::string spelling = !matches.empty() ? matches.front().name
                                 : usual          ? toUtf8(usual->name)
                                                  : toUtf8(name);
    for (size_t i = 1; i < matches.size(); ++i) {
        ::unsetenv(matches[i].name.c_str());
        forgetExact(matches[i].name);
    }
    forgetExact(spelling);
    if (!value) {
        if (::unsetenv(spelling.c_str()) != 0) return errorFromErrno(errno);
        return ERROR_SUCCESS;
    }
    const std::string bytes = toUtf8(*value);
    if (::setenv(spelling.c_str(), bytes.c_str(), 1) != 0) return errorFromErrno(errno);
    if (!survivesUtf8(*value)) g_exact.push_back(ExactValue{spelling, bytes, *value});
    return ERROR_SUCCESS;
}

// A POSIX variable as it stands ("" when not set); with g_mutex held.
std::string posixValueLocked(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

// The POSIX variables that the host facts come from, read under g_mutex.
struct HostVariables {
    std::string user;
    std::string logName;
    std::string tempFolder;
};

std::string posixUserName(const HostVariables& variables) {
    struct passwd entry;
    struct passwd* result = nullptr;
    std::vector<char> scratch(16384);
    if (::getpwuid_r(::geteuid(), &entry, scratch.data(), scratch.size(), &result) == 0 &&
        result && result->pw_name && *result->pw_name) {
        return result->pw_name;
    }
    return !variables.user.empty() ? variables.user : variables.logName;
}

// Without g_mutex held: the temporary folder's Windows path comes from the
// drive mapping, whose first use reads the configuration under that lock.
HostFacts gatherHostFacts(const HostVariables& variables) {
    HostFacts facts;
    facts.userName = fromUtf8(posixUserName(variables));

    char host[256] = {0};
    if (::gethostname(host, sizeof host - 1) == 0) facts.hostName = fromUtf8(host);

    long online = ::sysconf(_SC_NPROCESSORS_ONLN);
    facts.processors = online > 0 ? static_cast<unsigned>(online) : 1;

    std::string temp = variables.tempFolder;
    if (temp.empty() || temp[0] != '/') temp = "/tmp";
    while (temp.size() > 1 && temp.back() == '/') temp.pop_back();
    facts.tempFolder = toWindowsPath(temp);

    facts.process64 = sizeof(void*) == 8;
#if defined(__aarch64__)
    facts.architecture = u"ARM64";
#else
    facts.architecture = facts.process64 ? u"AMD64" : u"x86";
#endif
    return facts;
}

// Works out Windows' usual variables that the process lacks, once, before
// any other use of the store. Called without g_mutex held (see
// gatherHostFacts); two threads that both get here build the same table and
// the first one's stays.
void ensureDefaults() {
    HostVariables variables;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_defaultsReady) return;
        variables = {posixValueLocked("USER"), posixValueLocked("LOGNAME"),
                     posixValueLocked("TMPDIR")};
    }
    const HostFacts facts = gatherHostFacts(variables);
    std::lock_guard<std::mutex> lock(g_mutex);
    if (g_defaultsReady) return;
    auto present = [](wstring_view name, wstring& value) { return lookupLocked(name, value); };
    std::vector<DefaultVariable> usual;
    for (auto& variable : defaultVariables(facts, present)) {
        wstring existing;
        if (!lookupLocked(variable.first, existing))
            usual.push_back(DefaultVariable{std::move(variable.first), std::move(variable.second)});
    }
    g_defaults = std::move(usual);
    g_defaultsReady = true;
}

wstring windowsDirectoryLocked() {
    wstring systemRoot;
    if (lookupLocked(u"SystemRoot", systemRoot)) {
        wstring dir = windowsDirectoryFrom(systemRoot);
        if (!dir.empty()) return dir;
    }
    return u"C:\\Windows";
}

}  // namespace

// The stand-in's own settings are read under the lock that guards every
// change of the environment, so that a read never meets setenv halfway.
std::string configValue(const char* name) {
    std::lock_guard<std::mutex> lock(g_mutex);
    return posixValueLocked(name);
}

}  // namespace w32p

using namespace w32p;

/* Copies the value and returns its length without the terminator. A buffer
   too small (or null) gets "" when it has room for it (as on Windows Vista and
   later) and the size needed including the terminator is returned. Missing:
   0 and ERROR_ENVVAR_NOT_FOUND, buffer untouched. Empty: 0, "", last error
   unchanged. */
extern "C" DWORD WINAPI GetEnvironmentVariableW(LPCWSTR lpName, LPWSTR lpBuffer, DWORD nSize) {
    try {
        wstring value;
        bool found;
        ensureDefaults();
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            found = lookupLocked(view(lpName), value);
        }
        if (!found) {
            SetLastError(ERROR_ENVVAR_NOT_FOUND);
            return 0;
        }
        const DWORD length = static_cast<DWORD>(value.size());
        if (!lpBuffer) nSize = 0;
        if (nSize > length) {
            value.copy(lpBuffer, length);
            lpBuffer[length] = 0;
            return length;
        }
        if (nSize > 0) lpBuffer[0] = 0;
        return length + 1;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

/* Sets the variable, or deletes it when the value is null (deleting a missing
   one succeeds); TRUE on success. FALSE with ERROR_INVALID_PARAMETER for an
   empty name or '=' after the first character, ERROR_ENVVAR_NOT_FOUND for a
   null name, ERROR_FILENAME_EXCED_RANGE for more than 32766 units. */
extern "C" BOOL WINAPI SetEnvironmentVariableW(LPCWSTR lpName, LPCWSTR lpValue) {
    try {
        if (!lpName) {
            SetLastError(ERROR_ENVVAR_NOT_FOUND);
            return FALSE;
        }
        const wstring_view name = view(lpName);
        if (name.empty() || name.find(u'=', 1) != wstring_view::npos) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        if (name.size() > kMaxLength || wlen(lpValue) > kMaxLength) {
            // Refused whole rather than cut, so nothing is silently lost.
            SetLastError(ERROR_FILENAME_EXCED_RANGE);
            return FALSE;
        }
        const wstring value(view(lpValue));
        DWORD error;
        ensureDefaults();
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            error = setLocked(name, lpValue ? &value : nullptr);
        }
        if (error != ERROR_SUCCESS) {
            SetLastError(error);
            return FALSE;
        }
        return TRUE;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
}

/* Replaces each %name% of an existing variable with its value and returns the
   size the result needs including the terminator, whether or not it fitted.
   The buffer holds the result only when that size is at most nSize; a smaller
   buffer is written as Windows writes it, and the last error is left alone. */
extern "C" DWORD WINAPI ExpandEnvironmentStringsW(LPCWSTR lpSrc, LPWSTR lpDst, DWORD nSize) {
    try {
        std::vector<ExpandPiece> pieces;
        ensureDefaults();
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            pieces = splitExpansion(view(lpSrc), [](wstring_view name, wstring& value) {
                return lookupLocked(name, value);
            });
        }
        return static_cast<DWORD>(writeExpansion(pieces, lpDst, nSize));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}

/* Copies the Windows directory (the process's SystemRoot, else C:\Windows) and
   returns its length without the terminator. A buffer too small (or null) is
   left untouched and the size needed including the terminator is returned.
   The last error is left alone. */
extern "C" UINT WINAPI GetWindowsDirectoryW(LPWSTR lpBuffer, UINT uSize) {
    try {
        wstring dir;
        ensureDefaults();
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            dir = windowsDirectoryLocked();
        }
        const UINT length = static_cast<UINT>(dir.size());
        if (!lpBuffer || uSize <= length) return length + 1;
        dir.copy(lpBuffer, length);
        lpBuffer[length] = 0;
        return length;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
}
