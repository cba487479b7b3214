/*
 * profile.cpp - the private-profile (INI) functions: where the file is, how
 * it is read and how a change is written back. What the bytes mean, and
 * every rule about names, values and buffers, is in ini_text.cpp.
 *
 *   file names        NULL is win.ini, a bare name is looked up in the
 *                     Windows directory, "" is refused
 *   reading           the parsed file, kept between calls while a stat at
 *                     every call shows the file unchanged (profile_cache.h);
 *                     otherwise the whole file, read and parsed again
 *   writing           under an exclusive lock on the file, replaced in one step
 *                     (atomic_file.h), so that a reader sees the old file or
 *                     the new one, never half
 *   the functions     GetPrivateProfileStringW, GetPrivateProfileIntW,
 *                     GetPrivateProfileSectionW, GetPrivateProfileSectionNamesW,
 *                     WritePrivateProfileStringW, WritePrivateProfileSectionW
 */
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <time.h>

#include <cerrno>
#include <cstdlib>
#include <memory>
#include <optional>

#include "../include/win32_posix/paths.h"
#include "atomic_file.h"
#include "file_status.h"
#include "ini_text.h"
#include "internal.h"
#include "profile_cache.h"
#include "../include/win32_posix/syscalls.h"

namespace {

using w32p::UniqueFd;
using w32p::wstring;
using w32p::wstring_view;
namespace ini = w32p::ini;

bool isFolder(const std::string& path) {
    struct stat st;
    return w32p::sys::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The Win32 code for a file that could not be opened: a missing file is 2,
// a missing folder on the way to it 3.
DWORD openError(int errnoValue, const std::string& path) {
    if (errnoValue == ENOENT && !isFolder(w32p::parentFolder(path))) return ERROR_PATH_NOT_FOUND;
    return w32p::errorFromErrno(errnoValue);
}

// The POSIX path of a profile file, or the Win32 code of why there is none.
DWORD profilePath(LPCWSTR fileName, w32p::PosixPath& posix) {
    wstring name;
    if (fileName && !*fileName) return ERROR_ACCESS_DENIED;
    wstring_view given = fileName ? wstring_view(fileName) : wstring_view(u"win.ini");
    if (given.find_first_of(u"\\/") == wstring_view::npos) {
        // A name without a folder lives in the Windows directory.
        WCHAR windows[MAX_PATH + 1];
        UINT n = GetWindowsDirectoryW(windows, MAX_PATH + 1);
        if (n == 0 || n > MAX_PATH) return ERROR_PATH_NOT_FOUND;
        name.assign(windows, n);
        if (name.back() != u'\\') name.push_back(u'\\');
        name.append(given);
        given = name;
    }
    posix = w32p::toPosixPath(given);
    if (!posix.ok) return ERROR_PATH_NOT_FOUND;
    return ERROR_SUCCESS;
}

// Opens a profile file for reading, with its status in `st`; a folder is
// refused as Windows refuses it.
DWORD openProfile(const std::string& path, UniqueFd& fd, struct stat& st) {
    fd.reset(w32p::sys::open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
    if (!fd.valid()) return openError(errno, path);
    if (w32p::sys::fstat(fd.get(), &st) != 0) return w32p::errorFromErrno(errno);
    if (S_ISDIR(st.st_mode)) return ERROR_ACCESS_DENIED;
    return ERROR_SUCCESS;
}

// The parsed file, or the Win32 code of why it could not be read (then an
// empty document).
struct Loaded {
    DWORD error = ERROR_SUCCESS;
    std::shared_ptr<const ini::Document> doc;
};

// Reads and parses the file. The parse is kept for later calls when the file
// did not change while it was read and has settled (profile_cache.h).
// `seen`, when given, is the status of the path (a regular file) taken just
// before: the file read is the one seen when its status after the read is
// the same, so no second look is needed before reading.
Loaded readProfile(const std::string& path, const struct stat* seen) {
    Loaded loaded;
    struct timespec start;
    ::clock_gettime(CLOCK_REALTIME, &start);
    UniqueFd fd;
    struct stat before, after;
    if (seen) {
        before = *seen;
        fd.reset(w32p::sys::open(path.c_str(), O_RDONLY | O_CLOEXEC, 0));
        if (!fd.valid()) loaded.error = openError(errno, path);
    } else {
        loaded.error = openProfile(path, fd, before);
    }
    std::string bytes;
    if (loaded.error == ERROR_SUCCESS) loaded.error = w32p::errorFromErrno(w32p::readAll(fd.get(), bytes));
    if (fd.valid() && w32p::sys::fstat(fd.get(), &after) != 0) {
        if (loaded.error == ERROR_SUCCESS) loaded.error = w32p::errorFromErrno(errno);
    } else if (fd.valid() && S_ISDIR(after.st_mode)) {
        loaded.error = ERROR_ACCESS_DENIED;  // replaced by a folder since it was seen
    }
    if (loaded.error != ERROR_SUCCESS) return loaded;
    auto doc = std::make_shared<ini::Document>(ini::parse(bytes));
    ini::indexForReading(*doc);
    ini::FileStamp stamp = ini::stampOf(before);
    if (stamp == ini::stampOf(after) && ini::settled(stamp, start))
        ini::ProfileCache::instance().store(path, stamp, doc);
    loaded.doc = std::move(doc);
    return loaded;
}

Loaded loadProfile(LPCWSTR fileName) {
    static const std::shared_ptr<const ini::Document> kEmpty = std::make_shared<ini::Document>();
    Loaded loaded;
    w32p::PosixPath posix;
    loaded.error = profilePath(fileName, posix);
    if (loaded.error == ERROR_SUCCESS) {
        // The file as it is now: the look the path's translation took, unless
        // it saw a symbolic link, which a stat follows.
        struct stat st = posix.status;
        bool known = posix.statusKnown && !S_ISLNK(st.st_mode);
        if (!known) known = w32p::sys::stat(posix.path.c_str(), &st) == 0;
        const bool regular = known && S_ISREG(st.st_mode);
        if (regular) loaded.doc = ini::ProfileCache::instance().find(posix.path, ini::stampOf(st));
        if (!loaded.doc) loaded = readProfile(posix.path, regular ? &st : nullptr);
    }
    if (!loaded.doc) loaded.doc = kEmpty;
    return loaded;
}

// Reads the file, lets `edit` change the document, and writes it back when
// it changed. Writers are serialised by an exclusive lock on the file (a
// writer that waited re-opens the file if it was replaced meanwhile); a new
// file is linked into place, so that a file created by someone else at the
// same moment is never overwritten but read and edited in turn.
// `createIfMissing` false: a missing file stays missing and the call succeeds.
template <typename Edit>
BOOL changeProfile(LPCWSTR fileName, bool createIfMissing, Edit edit) {
    w32p::PosixPath posix;
    DWORD error = profilePath(fileName, posix);
    if (error != ERROR_SUCCESS) {
        SetLastError(error);
        return FALSE;
    }
    // What is kept of the file goes: the next read reads what this call wrote.
    struct ForgetKept {
        const std::string& path;
        ~ForgetKept() { ini::ProfileCache::instance().forget(path); }
    } forgetKept{posix.path};
    // Replace the file a symbolic link points to, not the link.
    std::string path = w32p::resolveLinks(posix.path);

    for (int attempt = 0; attempt < 100; ++attempt) {
        UniqueFd fd;
        std::string bytes;
        struct stat st {};
        error = openProfile(path, fd, st);
        if (error == ERROR_SUCCESS) {
            if (w32p::sys::flock(fd.get(), LOCK_EX) != 0) {
                SetLastError(w32p::errorFromErrno(errno));
                return FALSE;
            }
            struct stat now;
            if (w32p::sys::fstat(fd.get(), &st) != 0 || w32p::sys::stat(path.c_str(), &now) != 0 ||
                now.st_ino != st.st_ino || now.st_dev != st.st_dev)
                continue;  // replaced while waiting for the lock: start again
            error = w32p::errorFromErrno(w32p::readAll(fd.get(), bytes));
        } else if (error == ERROR_FILE_NOT_FOUND) {
            if (!createIfMissing) return TRUE;
        }
        if (error != ERROR_SUCCESS && error != ERROR_FILE_NOT_FOUND) {
            SetLastError(error);
            return FALSE;
        }
        bool existed = error == ERROR_SUCCESS;

        ini::Document doc = ini::parse(bytes);
        if (!edit(doc)) return TRUE;

        int failure = w32p::replaceFile(path, existed ? &st : nullptr, ini::serialise(doc), !existed);
        if (failure == EEXIST && !existed) continue;  // created meanwhile: edit that file
        if (failure != 0) {
            SetLastError(openError(failure, path));
            return FALSE;
        }
        return TRUE;
    }
    SetLastError(ERROR_SHARING_VIOLATION);
    return FALSE;
}

}  // namespace

// Copies section/key's value (quotes stripped, cut to nSize-1 units) or the
// default (trailing spaces removed); with a NULL key the section's keys, with
// a NULL section the section names, NUL-separated and cut to nSize-2. Returns
// the units copied without the final NUL; a missing file sets 2 (or 3, 5).
extern "C" DWORD WINAPI GetPrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName,
                                                 LPCWSTR lpDefault, LPWSTR lpReturnedString,
                                                 DWORD nSize, LPCWSTR lpFileName) {
    if (!lpReturnedString || nSize == 0) return 0;
    Loaded loaded = loadProfile(lpFileName);
    bool missing = loaded.error != ERROR_SUCCESS;
    DWORD result = 0;

    if (!lpAppName) {
        // The section names; no default here, and one NUL when there are none.
        result = ini::copyList(ini::sectionNames(*loaded.doc), lpReturnedString, nSize, false);
    } else if (!lpKeyName) {
        std::optional<std::vector<wstring>> keys = ini::keyNames(*loaded.doc, w32p::view(lpAppName));
        result = ini::copyList(keys ? *keys : std::vector<wstring>(), lpReturnedString, nSize,
                               !keys);
        // Nothing listed (or nothing that fits): the default instead.
        wstring def = ini::trimDefault(w32p::view(lpDefault));
        if (result == 0 && !def.empty()) result = ini::copyString(def, true, lpReturnedString, nSize);
    } else {
        std::optional<wstring> value =
            ini::findValue(*loaded.doc, w32p::view(lpAppName), w32p::view(lpKeyName));
        wstring text = value ? *value : ini::trimDefault(w32p::view(lpDefault));
        result = ini::copyString(text, true, lpReturnedString, nSize);
    }
    if (missing) SetLastError(loaded.error);
    return result;
}

// The value of section/key read as a number (sign, 0x/0o/0b prefixes,
// modulo 2^32; text without digits gives 0); nDefault when the value is
// missing or empty, or the file cannot be read.
extern "C" UINT WINAPI GetPrivateProfileIntW(LPCWSTR lpAppName, LPCWSTR lpKeyName, INT nDefault,
                                             LPCWSTR lpFileName) {
    Loaded loaded = loadProfile(lpFileName);
    if (loaded.error != ERROR_SUCCESS) {
        SetLastError(loaded.error);
        return static_cast<UINT>(nDefault);
    }
    // The text GetPrivateProfileStringW would give up to its first NUL, with
    // an empty default: a value, or the first key or section of a listing.
    wstring text;
    if (!lpAppName) {
        std::vector<wstring> names = ini::sectionNames(*loaded.doc);
        if (!names.empty()) text = names.front();
    } else if (!lpKeyName) {
        std::optional<std::vector<wstring>> keys = ini::keyNames(*loaded.doc, w32p::view(lpAppName));
        if (keys && !keys->empty()) text = keys->front();
    } else if (std::optional<wstring> value =
                   ini::findValue(*loaded.doc, w32p::view(lpAppName), w32p::view(lpKeyName))) {
        text = *value;
        if (text.size() >= 2 && (text[0] == u'"' || text[0] == u'\'') && text.back() == text[0])
            text = text.substr(1, text.size() - 2);
    }
    if (text.empty()) return static_cast<UINT>(nDefault);
    return ini::parseProfileInt(text);
}

// Copies the section's lines ("key=value", or the bare text of a line
// without '='), each ended by NUL, then one more NUL; returns the units
// without that last NUL, or nSize-2 when cut. NULL section: 0 and 87.
extern "C" DWORD WINAPI GetPrivateProfileSectionW(LPCWSTR lpAppName, LPWSTR lpReturnedString,
                                                  DWORD nSize, LPCWSTR lpFileName) {
    if (!lpAppName || !lpReturnedString) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (nSize == 0) return 0;
    Loaded loaded = loadProfile(lpFileName);
    if (loaded.error != ERROR_SUCCESS) {
        ini::copyList({}, lpReturnedString, nSize, true);
        SetLastError(loaded.error);
        return 0;
    }
    std::optional<std::vector<wstring>> lines = ini::sectionLines(*loaded.doc, w32p::view(lpAppName));
    if (!lines) {
        ini::copyList({}, lpReturnedString, nSize, true);
        SetLastError(ERROR_FILE_NOT_FOUND);  // as Windows reports a section it did not find
        return 0;
    }
    if (lines->empty()) SetLastError(ERROR_SUCCESS);
    return ini::copyList(*lines, lpReturnedString, nSize, false);
}

// Copies the section names, each ended by NUL, then one more NUL; returns the
// units without that last NUL, or nSize-2 when cut. A missing file: 0, "\0"
// and 2.
extern "C" DWORD WINAPI GetPrivateProfileSectionNamesW(LPWSTR lpszReturnBuffer, DWORD nSize,
                                                       LPCWSTR lpFileName) {
    if (!lpszReturnBuffer || nSize == 0) return 0;
    Loaded loaded = loadProfile(lpFileName);
    DWORD result = ini::copyList(ini::sectionNames(*loaded.doc), lpszReturnBuffer, nSize, false);
    if (loaded.error != ERROR_SUCCESS) SetLastError(loaded.error);
    return result;
}

// Sets section/key to lpString; a NULL value removes the key, a NULL key the
// section (both succeed when there is nothing to remove). NULL section:
// FALSE and 2, except that all three NULL (a flush request) is TRUE.
extern "C" BOOL WINAPI WritePrivateProfileStringW(LPCWSTR lpAppName, LPCWSTR lpKeyName,
                                                  LPCWSTR lpString, LPCWSTR lpFileName) {
    if (!lpAppName) {
        if (!lpKeyName && !lpString) return TRUE;  // nothing is cached, so nothing to flush
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    wstring_view section = w32p::view(lpAppName);
    if (!lpKeyName)
        return changeProfile(lpFileName, false,
                             [&](ini::Document& doc) { return ini::deleteSection(doc, section); });
    wstring_view key = w32p::view(lpKeyName);
    if (!lpString)
        return changeProfile(lpFileName, false,
                             [&](ini::Document& doc) { return ini::deleteKey(doc, section, key); });
    wstring_view value = w32p::view(lpString);
    return changeProfile(lpFileName, true, [&](ini::Document& doc) {
        return ini::setValue(doc, section, key, value);
    });
}

// Replaces the section's lines by the double-NUL-terminated list lpString
// (the section is appended when missing); a NULL list removes the section.
// TRUE on success; FALSE with the file's error code otherwise.
extern "C" BOOL WINAPI WritePrivateProfileSectionW(LPCWSTR lpAppName, LPCWSTR lpString,
                                                   LPCWSTR lpFileName) {
    if (!lpAppName) {
        // Windows' behaviour is not known (Wine crashes); refused like the
        // same call to WritePrivateProfileStringW.
        SetLastError(ERROR_FILE_NOT_FOUND);
        return FALSE;
    }
    wstring_view section = w32p::view(lpAppName);
    if (!lpString)
        return changeProfile(lpFileName, false,
                             [&](ini::Document& doc) { return ini::deleteSection(doc, section); });
    std::vector<wstring> lines = ini::splitList(lpString);
    return changeProfile(lpFileName, true, [&](ini::Document& doc) {
        return ini::replaceSection(doc, section, lines);
    });
}
