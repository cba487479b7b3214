/*
 * find.cpp - searching a folder for names that match a pattern.
 *
 *   FindFirstFileW   splits the pattern into folder and name pattern, reads
 *                    the folder once and keeps the matches, sorted
 *   FindNextFileW    the next match, then ERROR_NO_MORE_FILES
 *   FindClose        ends the search
 *
 * Names are matched with Windows' wildcard rules (wildcard.h), ignoring case.
 * The entries come back with "." and ".." first (never for a drive's root)
 * and the rest sorted case-insensitively, as Wine returns them; Windows
 * returns them in the file system's order (alphabetical on NTFS), which no
 * caller may rely on. Short (8.3) names are not generated, so a pattern
 * matches long names only, as on a volume with short names switched off.
 */
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <vector>

#include "../include/win32_posix/paths.h"
#include "file_status.h"
#include "handles.h"
#include "internal.h"
#include "wildcard.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {

namespace {

struct FoundEntry {
    wstring name;
    DWORD attributes;
    uint64_t size;
    FileTimes times;
};

// A search behind a handle: the matches, read when the search began.
class FolderSearch : public HandleObject {
public:
    explicit FolderSearch(std::vector<FoundEntry> entries) : m_entries(std::move(entries)) {}
    bool closableByCloseHandle() const override { return false; }

    // Copies the next entry out; false when there is none left.
    bool next(WIN32_FIND_DATAW* data) {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_next >= m_entries.size()) return false;
        fill(m_entries[m_next++], data);
        return true;
    }

    static void fill(const FoundEntry& e, WIN32_FIND_DATAW* data) {
        std::memset(data, 0, sizeof *data);
        data->dwFileAttributes = e.attributes;
        data->ftCreationTime = e.times.creation;
        data->ftLastAccessTime = e.times.lastAccess;
        data->ftLastWriteTime = e.times.lastWrite;
        data->nFileSizeHigh = static_cast<DWORD>(e.size >> 32);
        data->nFileSizeLow = static_cast<DWORD>(e.size);
        std::copy(e.name.begin(), e.name.end(), data->cFileName);
        data->cFileName[e.name.size()] = 0;
    }

private:
    std::mutex m_mutex;
    std::vector<FoundEntry> m_entries;
    size_t m_next = 0;
};

bool isSeparator(WCHAR c) { return c == u'\\' || c == u'/'; }

bool isDotName(wstring_view name) { return name == u"." || name == u".."; }

// The entry for `name` in the folder `folder` (or for the object at `path`),
// from its status; false when it cannot be read or its name is too long.
bool makeEntry(const std::string& path, wstring name, FoundEntry& out) {
    if (name.size() >= MAX_PATH) return false;
    mode_t mode = 0;
    uint64_t size = 0;
    if (!statusWithTimes(path, mode, size, out.times)) return false;
    out.name = std::move(name);
    out.attributes = attributesFromMode(mode);
    out.size = S_ISDIR(mode) ? 0 : size;
    return true;
}

// "." first, ".." second, then case-insensitive order (exact order between
// names that differ only in case, which a POSIX folder can hold).
bool entryBefore(const FoundEntry& a, const FoundEntry& b) {
    auto rank = [](const wstring& n) { return n == u"." ? 0 : n == u".." ? 1 : 2; };
    int ra = rank(a.name), rb = rank(b.name);
    if (ra != rb) return ra < rb;
    int c = compareNoCase(a.name, b.name);
    return c != 0 ? c < 0 : a.name < b.name;
}

// The search of a pattern whose last component is "." or "..": after the
// path is resolved, it names one folder, which is the only entry. Returns 0
// or the error.
DWORD findResolvedFolder(wstring_view pattern, std::vector<FoundEntry>& found) {
    PosixPath p = toPosixPath(pattern);
    if (!p.ok) return ERROR_PATH_NOT_FOUND;
    size_t slash = p.path.find_last_of('/');
    std::string base = slash == std::string::npos ? p.path : p.path.substr(slash + 1);
    FoundEntry entry;
    if (base.empty() || !makeEntry(p.path, fromUtf8(base), entry))
        return ERROR_FILE_NOT_FOUND;
    found.push_back(std::move(entry));
    return 0;
}

// The search of a name without wildcards that exists exactly as written, in a
// folder the process may list: that entry alone, found without reading the
// folder. False when the name does not qualify, so that the folder is read:
// a name in another case, a name that ends in a dot (whose trailing dots the
// path rules would drop, while the pattern rules keep them), or a folder that
// cannot be listed (the search then fails as Windows' does). A POSIX folder
// may also hold the same name in another case, which Windows cannot: only
// the name as written is the entry then.
bool findExactName(wstring_view pattern, const wstring& namePattern,
                   std::vector<FoundEntry>& found) {
    if (hasWildcard(namePattern) || namePattern.back() == u'.') return false;
    PosixPath p = toPosixPath(pattern);
    if (!p.ok || !p.statusKnown || p.trailingSeparator) return false;
    size_t slash = p.path.find_last_of('/');
    if (slash == std::string::npos) return false;
    std::string folder = slash == 0 ? "/" : p.path.substr(0, slash);
    if (::access(folder.c_str(), R_OK) != 0) return false;
    FoundEntry entry;
    if (!makeEntry(p.path, fromUtf8(p.path.substr(slash + 1)), entry)) return false;
    found.push_back(std::move(entry));
    return true;
}

// Reads the folder and keeps the entries that match, sorted. Returns 0, or
// the error Windows gives.
DWORD findMatches(wstring_view pattern, std::vector<FoundEntry>& found) {
    // A pattern that ends in a separator names no entry.
    if (isSeparator(pattern.back())) {
        PosixPath p = toPosixPath(pattern);
        struct stat st;
        if (!p.ok || w32p::sys::stat(p.path.c_str(), &st) != 0) return ERROR_PATH_NOT_FOUND;
        return ERROR_FILE_NOT_FOUND;
    }
    size_t split = pattern.find_last_of(u"\\/");
    wstring_view folderText =
        split == wstring_view::npos ? wstring_view() : pattern.substr(0, split + 1);
    wstring namePattern(split == wstring_view::npos ? pattern : pattern.substr(split + 1));
    if (folderText.empty() && isDriveAbsolute(pattern)) {
        folderText = pattern.substr(0, 2);  // "C:*.ini": the drive's root
        namePattern = wstring(pattern.substr(2));
    }
    if (hasWildcard(folderText)) return ERROR_INVALID_NAME;
    // Trailing blanks are dropped from the name, as from any path.
    while (!namePattern.empty() && namePattern.back() == u' ') namePattern.pop_back();
    if (namePattern.empty()) return ERROR_FILE_NOT_FOUND;
    if (isDotName(namePattern)) return findResolvedFolder(pattern, found);
    if (findExactName(pattern, namePattern, found)) return 0;

    PosixPath folder = toPosixPath(folderText.empty() ? wstring_view(u".") : folderText);
    if (!folder.ok) return ERROR_PATH_NOT_FOUND;
    struct stat st;
    if (w32p::sys::stat(folder.path.c_str(), &st) != 0)
        return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    if (!S_ISDIR(st.st_mode)) return ERROR_INVALID_NAME;
    // A drive's root folder has no "." and ".." entries.
    bool root = folder.path == "/" ||
                (isDriveAbsolute(folderText) && folder.path == driveFolder(folderText[0]));

    auto closeFolder = [](DIR* d) { w32p::sys::closedir(d); };
    std::unique_ptr<DIR, decltype(closeFolder)> dir(w32p::sys::opendir(folder.path.c_str()),
                                                    closeFolder);
    if (!dir) return errno == EACCES ? ERROR_ACCESS_DENIED : ERROR_PATH_NOT_FOUND;
    std::string prefix = folder.path == "/" ? "/" : folder.path + "/";
    // readdir tells an error from the end of the folder by errno alone. A
    // folder that cannot be read to its end is an error, not a shorter list.
    for (;;) {
        errno = 0;
        dirent* e = w32p::sys::readdir(dir.get());
        if (!e) {
            if (errno != 0) return errorFromErrno(errno);
            break;
        }
        wstring name = fromUtf8(e->d_name);
        if (root && isDotName(name)) continue;
        if (!wildcardMatch(namePattern, name)) continue;
        FoundEntry entry;
        if (makeEntry(prefix + e->d_name, std::move(name), entry))
            found.push_back(std::move(entry));
    }
    if (found.empty()) return ERROR_FILE_NOT_FOUND;
    std::sort(found.begin(), found.end(), entryBefore);
    return 0;
}

}  // namespace

}  // namespace w32p

using w32p::FolderSearch;

/* Starts a search of a folder for names matching the pattern's last
   component. Returns a search handle with the first entry, or
   INVALID_HANDLE_VALUE: ERROR_FILE_NOT_FOUND when nothing matches (or the
   pattern ends in a separator), ERROR_PATH_NOT_FOUND for a missing folder or
   "", ERROR_INVALID_NAME for wildcards in the folder or a file as folder, the
   device's error when the folder cannot be read to its end. */
extern "C" HANDLE WINAPI FindFirstFileW(LPCWSTR lpFileName, LPWIN32_FIND_DATAW lpFindFileData) {
    DWORD error = ERROR_PATH_NOT_FOUND;
    std::vector<w32p::FoundEntry> found;
    if (!lpFindFileData) error = ERROR_INVALID_PARAMETER;
    else if (lpFileName && *lpFileName) error = w32p::findMatches(w32p::view(lpFileName), found);
    if (error) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    auto search = std::make_shared<FolderSearch>(std::move(found));
    search->next(lpFindFileData);
    return w32p::insertHandle(search);
}

/* The next entry of a search. FALSE with ERROR_NO_MORE_FILES after the last
   one (and on every later call), ERROR_INVALID_HANDLE for a handle that is
   not an open search. */
extern "C" BOOL WINAPI FindNextFileW(HANDLE hFindFile, LPWIN32_FIND_DATAW lpFindFileData) {
    std::shared_ptr<FolderSearch> search = w32p::lookupHandleAs<FolderSearch>(hFindFile);
    if (!search) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!lpFindFileData) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!search->next(lpFindFileData)) {
        SetLastError(ERROR_NO_MORE_FILES);
        return FALSE;
    }
    return TRUE;
}

/* Ends a search. TRUE, leaving the last error as it was; FALSE with
   ERROR_INVALID_HANDLE for a handle that is not an open search. */
extern "C" BOOL WINAPI FindClose(HANDLE hFindFile) {
    if (!w32p::removeHandleAs<FolderSearch>(hFindFile)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
