/*
 * module.cpp - the file names of the running program and of loaded modules.
 *
 *   GetModuleFileNameW   NULL: the executable (/proc/self/exe); a module: its
 *                        file. A module handle is, as on Windows, the address
 *                        the module is loaded at; the handle dlopen returns is
 *                        accepted as well.
 */
#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "../include/win32_posix/paths.h"
#include "internal.h"

namespace w32p {

namespace {

// The running executable's path ("" when it cannot be read).
std::string executablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", &buffer[0], buffer.size());
        if (n < 0) return std::string();
        if (static_cast<size_t>(n) < buffer.size()) {
            buffer.resize(static_cast<size_t>(n));
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string absolute(const std::string& path) {
    if (path.empty() || path[0] == '/') return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

// The file of the module loaded at `base` or with the dlopen handle `handle`;
// "" when the value is neither. The value itself is never dereferenced: it is
// compared with what the dynamic loader reports.
std::string modulePath(const void* value) {
    void* program = ::dlopen(nullptr, RTLD_NOW | RTLD_NOLOAD);
    struct link_map* map = nullptr;
    if (!program || ::dlinfo(program, RTLD_DI_LINKMAP, &map) != 0) map = nullptr;
    if (program) ::dlclose(program);
    // The first entry of the loader's list is the program itself.
    for (struct link_map* m = map; m; m = m->l_next) {
        if (static_cast<const void*>(m) == value)
            return m == map || !m->l_name || !*m->l_name ? executablePath() : absolute(m->l_name);
    }
    Dl_info info;
    if (!::dladdr(value, &info) || info.dli_fbase != value) return std::string();
    // The program's own base: the module that holds its program headers.
    Dl_info programInfo;
    const void* headers = reinterpret_cast<const void*>(::getauxval(AT_PHDR));
    if ((headers && ::dladdr(headers, &programInfo) && programInfo.dli_fbase == value) ||
        !info.dli_fname || !*info.dli_fname)
        return executablePath();
    return absolute(info.dli_fname);
}

}  // namespace

}  // namespace w32p

/* Copies the full path of a module's file (NULL: the executable) into the
   buffer and returns its length. Buffer too small (Vista and later): the path
   is cut to nSize - 1 characters and a NUL, nSize is returned and the error is
   ERROR_INSUFFICIENT_BUFFER. A handle that is no module: 0, ERROR_MOD_NOT_FOUND. */
extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    std::string path = hModule ? w32p::modulePath(hModule) : w32p::executablePath();
    if (path.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
    w32p::wstring name = w32p::toWindowsPath(path);
    if (nSize == 0 || !lpFilename) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    if (name.size() < nSize) {
        std::char_traits<WCHAR>::copy(lpFilename, name.data(), name.size());
        lpFilename[name.size()] = 0;
        return static_cast<DWORD>(name.size());
    }
    std::char_traits<WCHAR>::copy(lpFilename, name.data(), nSize - 1);
    lpFilename[nSize - 1] = 0;
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return nSize;
}
