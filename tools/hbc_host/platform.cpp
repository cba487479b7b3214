// platform.cpp - paths, the program's name and the Windows version, on
// Windows and on POSIX.
#include "platform.h"

#include <windows.h>

#include <cstdlib>
#include <vector>

#ifndef _WIN32
#include <win32_posix/paths.h>
#endif

#ifdef _WIN32
const char* const kModuleFileName = "tpa_hbc.dll";
#else
const char* const kModuleFileName = "tpa_hbc.so";
#endif

wstr programPath() {
    std::vector<WCHAR> buffer(1024);
    DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    return wstr(buffer.data(), n < buffer.size() ? n : 0);
}

std::filesystem::path programFolder() {
#ifdef _WIN32
    return std::filesystem::path(std::wstring(programPath().c_str())).parent_path();
#else
    std::error_code error;
    return std::filesystem::read_symlink("/proc/self/exe", error).parent_path();
#endif
}

bool writtenTheWindowsWay(const std::string& given) {
#ifdef _WIN32
    (void)given;
    return true;
#else
    return (given.size() >= 2 && given[1] == ':') ||
           given.find_first_of("\\%") != std::string::npos;
#endif
}

wstr windowsPathOf(const std::string& given) {
#ifdef _WIN32
    wstr name = fromUtf8(given);
    DWORD needed = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return name;
    std::vector<WCHAR> full(needed);
    DWORD n = GetFullPathNameW(name.c_str(), needed, full.data(), nullptr);
    return n > 0 && n < needed ? wstr(full.data(), n) : name;
#else
    bool windowsWay =
        (given.size() >= 2 && given[1] == ':') || given.find_first_of("\\%") != std::string::npos;
    if (windowsWay) return fromUtf8(given);
    std::filesystem::path full = std::filesystem::absolute(given).lexically_normal();
    std::string text = full.string();
    if (text.size() > 1 && text.back() == '/') text.pop_back();
    return w32p::toWindowsPath(text);
#endif
}

std::filesystem::path fileSystemPath(const wstr& windowsPath) {
#ifdef _WIN32
    return std::filesystem::path(std::wstring(windowsPath.c_str()));
#else
    w32p::PosixPath posix = w32p::toPosixPath(windowsPath);
    return posix.ok ? std::filesystem::path(posix.path)
                    : std::filesystem::path(toUtf8(windowsPath));
#endif
}

std::string logApplicationName(const wstr& path) {
    if (path.empty() || path.size() >= 128 || path.back() == TEXT('\\')) return "";
    size_t slash = path.find_last_of(TEXT('\\'));
    size_t start = slash == wstr::npos ? 0 : slash + 1;
    size_t dot = path.find_last_of(TEXT('.'));
    size_t end = dot == wstr::npos ? path.size() : dot;
    if (end <= start || (slash != wstr::npos && dot != wstr::npos && dot < slash)) return "";
    return toUtf8(path.substr(start, end - start));
}

void ensureDriveFor(const std::filesystem::path& folder) {
#ifndef _WIN32
    const std::string target = folder.lexically_normal().string();
    char free = 0;
    for (char letter = 'Z'; letter >= 'A'; --letter) {
        std::string name = std::string("WIN32_POSIX_DRIVE_") + letter;
        const char* set = std::getenv(name.c_str());
        std::string drive = set && *set ? set : letter == 'C' ? "/" : "";
        while (drive.size() > 1 && drive.back() == '/') drive.pop_back();
        if (drive.empty()) {
            if (!free) free = letter;
            continue;
        }
        if (drive == "/" || target == drive ||
            (target.compare(0, drive.size(), drive) == 0 && target[drive.size()] == '/'))
            return;
    }
    if (free) setenv((std::string("WIN32_POSIX_DRIVE_") + free).c_str(), target.c_str(), 1);
#else
    (void)folder;
#endif
}

wstr expandEnvironment(const wstr& text) {
    DWORD needed = ExpandEnvironmentStringsW(text.c_str(), nullptr, 0);
    if (needed == 0) return text;
    std::vector<WCHAR> buffer(needed + 1);
    DWORD n = ExpandEnvironmentStringsW(text.c_str(), buffer.data(), needed);
    return n == needed ? wstr(buffer.data()) : text;
}

bool pathExists(const wstr& windowsPath, bool* isFolder) {
    wstr path = windowsPath;
    // "C:\Items\" names the folder C:\Items; a drive's root keeps its backslash.
    while (path.size() > 3 && path.back() == TEXT('\\')) path.pop_back();
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (isFolder)
        *isFolder =
            attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    return attributes != INVALID_FILE_ATTRIBUTES;
}

std::string windowsVersion() {
    OSVERSIONINFOW info = {};
    info.dwOSVersionInfoSize = sizeof info;
    if (!GetVersionExW(&info)) return "unknown";
    return std::to_string(info.dwMajorVersion) + "." + std::to_string(info.dwMinorVersion);
}
