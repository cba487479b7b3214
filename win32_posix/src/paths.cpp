/*
 * paths.cpp - Windows paths on the POSIX file system.
 *
 *   drive folders        WIN32_POSIX_DRIVE_<letter>, C: defaults to "/"
 *   toPosixPath          drive mapping, separators, "." and "..", trailing dots and
 *                        blanks, case-insensitive lookup
 *   toWindowsPath        the reverse, for names the stand-in reports (module file name)
 */
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

#include "../include/win32_posix/paths.h"
#include "internal.h"
#include "../include/win32_posix/syscalls.h"

namespace w32p {

namespace {

std::mutex g_driveMutex;
bool g_drivesRead = false;
std::string g_drives[26];
// Counts the times the drive folders were set aside to be read again.
std::atomic<unsigned> g_driveGeneration{0};

void readDrives() {
    if (g_drivesRead) return;
    for (int i = 0; i < 26; ++i) {
        std::string name = "WIN32_POSIX_DRIVE_";
        name.push_back(static_cast<char>('A' + i));
        std::string folder = configValue(name.c_str());
        if (folder.empty() && i == 'C' - 'A') folder = "/";
        while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
        g_drives[i] = folder;
    }
    g_drivesRead = true;
}

bool exists(const std::string& path) {
    struct stat st;
    return w32p::sys::lstat(path.c_str(), &st) == 0;
}

// Finds a directory entry of `dir` that equals `name` case-insensitively.
bool findNoCase(const std::string& dir, const std::string& name, std::string& found) {
    DIR* d = w32p::sys::opendir(dir.empty() ? "/" : dir.c_str());
    if (!d) return false;
    wstring wanted = fromUtf8(name);
    bool hit = false;
    while (dirent* e = w32p::sys::readdir(d)) {
        if (equalsNoCase(fromUtf8(e->d_name), wanted)) {
            found = e->d_name;
            hit = true;
            break;
        }
    }
    w32p::sys::closedir(d);
    return hit;
}

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty() || dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

// Appends the components of `rest` to `base`, each matched case-insensitively
// when its exact name does not exist. The whole path is tried first, so that a
// path whose every component exists as written costs one system call, whose
// answer `result` keeps.
std::string resolveComponents(std::string base, const std::string& rest, PosixPath& result) {
    if (rest.empty()) return base;
    std::string whole = joinPath(base, rest);
    if (w32p::sys::lstat(whole.c_str(), &result.status) == 0) {
        result.statusKnown = true;
        return whole;
    }
    size_t pos = 0;
    while (pos <= rest.size()) {
        size_t slash = rest.find('/', pos);
        std::string comp = rest.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (!comp.empty()) {
            std::string next = joinPath(base, comp);
            std::string match;
            if (!exists(next) && findNoCase(base, comp, match)) next = joinPath(base, match);
            base = next;
        }
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    return base;
}

// True when every component of `path` (after one leading slash) is a plain
// name: nothing empty, "." or "..", so that normalising only drops that slash.
bool plainComponents(const std::string& path) {
    size_t start = !path.empty() && path[0] == '/' ? 1 : 0;
    if (start == path.size()) return false;
    while (start <= path.size()) {
        size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        size_t length = end - start;
        if (length == 0 || (length <= 2 && path.compare(start, length, "..", length) == 0))
            return false;
        start = end + 1;
    }
    return true;
}

}  // namespace

void resetPathConfiguration() {
    std::lock_guard<std::mutex> lock(g_driveMutex);
    g_drivesRead = false;
    ++g_driveGeneration;
}

unsigned driveGeneration() { return g_driveGeneration.load(std::memory_order_relaxed); }

std::string driveFolder(WCHAR letter) {
    WCHAR up = upcase(letter);
    if (up < u'A' || up > u'Z') return std::string();
    std::lock_guard<std::mutex> lock(g_driveMutex);
    readDrives();
    return g_drives[up - u'A'];
}

bool isDriveAbsolute(wstring_view p) {
    return p.size() >= 2 && p[1] == u':' && upcase(p[0]) >= u'A' && upcase(p[0]) <= u'Z';
}

std::string normaliseComponents(const std::string& slashPath) {
    if (plainComponents(slashPath)) return slashPath.substr(slashPath[0] == '/' ? 1 : 0);
    std::vector<std::string> parts;
    size_t pos = 0;
    while (pos <= slashPath.size()) {
        size_t slash = slashPath.find('/', pos);
        std::string comp =
            slashPath.substr(pos, slash == std::string::npos ? std::string::npos : slash - pos);
        if (comp == "..") {
            if (!parts.empty()) parts.pop_back();
        } else if (!comp.empty() && comp != ".") {
            parts.push_back(comp);
        }
        if (slash == std::string::npos) break;
        pos = slash + 1;
    }
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out.push_back('/');
        out += parts[i];
    }
    return out;
}

std::string trimFinalComponent(const std::string& slashPath) {
    if (slashPath.empty() || slashPath.back() == '/') return slashPath;
    if (slashPath.back() != '.' && slashPath.back() != ' ') return slashPath;  // nothing to drop
    size_t start = slashPath.find_last_of('/');
    start = start == std::string::npos ? 0 : start + 1;
    std::string last = slashPath.substr(start);
    if (last == "." || last == "..") return slashPath;
    size_t end = slashPath.find_last_not_of(". ");
    if (end == std::string::npos || end < start) return slashPath.substr(0, start);
    return slashPath.substr(0, end + 1);
}

namespace {

// The text work of translating a path: the folder it starts from and the
// normalised components below it, to be looked up on the file system. For an
// absolute path it depends on nothing but the path and the drive folders.
struct Lexical {
    bool ok = false;
    bool trailingSeparator = false;
    bool absolute = true;  // false: relative to the current folder
    std::string base;
    std::string rest;
};

Lexical lexicalOf(wstring_view windowsPath) {
    Lexical out;
    std::string text = toUtf8(windowsPath);
    for (char& c : text)
        if (c == '\\') c = '/';
    out.trailingSeparator = text.back() == '/';
    // Windows drops trailing dots and blanks from the last component.
    text = trimFinalComponent(text);
    if (text.empty()) return out;
    if (isDriveAbsolute(windowsPath)) {
        if (text.size() > 2 && text[2] != '/') return out;  // "C:name": drive-relative, unsupported
        out.base = driveFolder(windowsPath[0]);
        if (out.base.empty()) return out;
        out.rest = normaliseComponents(text.substr(2));
    } else if (text[0] == '/') {
        if (text.size() > 1 && text[1] == '/') return out;  // UNC names are not reachable
        out.base = "/";
        out.rest = normaliseComponents(text);
    } else {
        out.absolute = false;
        char cwd[4096];
        if (!::getcwd(cwd, sizeof cwd)) return out;
        out.base = "/";
        out.rest = normaliseComponents(joinPath(cwd, text));
    }
    out.ok = true;
    return out;
}

}  // namespace

namespace {

// The text work of `windowsPath`. A thread translates the same path many
// times in a row (every profile call names its file): the work of the last
// absolute path is kept, and only the look at the file system is made again.
// `fresh` holds the answer when it is not the kept one.
const Lexical& lexicalKept(wstring_view windowsPath, Lexical& fresh) {
    struct LastPath {
        bool kept = false;
        unsigned generation = 0;
        wstring windows;
        Lexical lexical;
    };
    thread_local LastPath last;
    const unsigned generation = driveGeneration();
    if (last.kept && last.generation == generation && last.windows == windowsPath)
        return last.lexical;
    fresh = lexicalOf(windowsPath);
    if (!fresh.absolute) return fresh;
    last.kept = true;
    last.generation = generation;
    last.windows.assign(windowsPath);
    last.lexical = std::move(fresh);
    return last.lexical;
}

}  // namespace

PosixPath toPosixPath(wstring_view windowsPath) {
    PosixPath result;
    if (windowsPath.empty()) return result;
    Lexical fresh;
    const Lexical& lexical = lexicalKept(windowsPath, fresh);
    result.trailingSeparator = lexical.trailingSeparator;
    if (!lexical.ok) return result;
    result.path = resolveComponents(lexical.base, lexical.rest, result);
    result.ok = true;
    return result;
}

bool literalPosixPath(wstring_view windowsPath, std::string& path) {
    if (windowsPath.empty()) return false;
    Lexical fresh;
    const Lexical& lexical = lexicalKept(windowsPath, fresh);
    if (!lexical.ok || !lexical.absolute || lexical.trailingSeparator || lexical.rest.empty())
        return false;
    path = joinPath(lexical.base, lexical.rest);
    return true;
}

wstring toWindowsPath(const std::string& posixPath) {
    std::lock_guard<std::mutex> lock(g_driveMutex);
    readDrives();
    int best = -1;
    size_t bestLen = 0;
    for (int i = 0; i < 26; ++i) {
        const std::string& f = g_drives[i];
        if (f.empty()) continue;
        bool under = f == "/" || posixPath == f ||
                     (posixPath.compare(0, f.size(), f) == 0 && posixPath.size() > f.size() &&
                      posixPath[f.size()] == '/');
        size_t len = f == "/" ? 0 : f.size();
        if (under && (best < 0 || len > bestLen)) {
            best = i;
            bestLen = len;
        }
    }
    std::string rest = posixPath;
    if (best >= 0) {
        rest = posixPath.substr(bestLen);
        if (rest.empty() || rest[0] != '/') rest.insert(rest.begin(), '/');
        rest.insert(0, 1, static_cast<char>('A' + best));
        rest.insert(1, 1, ':');
    }
    for (char& c : rest)
        if (c == '/') c = '\\';
    return fromUtf8(rest);
}

}  // namespace w32p
