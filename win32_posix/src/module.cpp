/*
 * module.cpp - modules: the file names of the running program and of loaded
 * modules, and loading modules at run time.
 *
 *   GetModuleFileNameW   NULL: the executable (/proc/self/exe); a module: its
 *                        file.
 *   LoadLibraryW         dlopen of a shared object: a Windows path (drive
 *                        letter, backslashes) maps like every other path; a
 *                        bare name is looked for as dlopen looks for it. No
 *                        Windows library exists here, so the shell's
 *                        (shlwapi.dll) is not found.
 *   GetProcAddress       dlsym, by name only: shared objects have no
 *                        ordinals, so an ordinal finds nothing.
 *   FreeLibrary          dlclose, once for each LoadLibraryW.
 *
 * A module handle is, as on Windows, the address the module is loaded at, so
 * every load of one module gives the same handle; the handle dlopen returns
 * is accepted as well. The loads are counted as Windows counts them: the
 * module stays until each LoadLibraryW has had its FreeLibrary. A module the
 * program was linked with stays for good, as Windows keeps the modules a
 * program imports.
 */
#include <dlfcn.h>
#include <link.h>
#include <sys/auxv.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <string>

#include "../include/win32_posix/paths.h"
#include "internal.h"

namespace w32p {

namespace {

// The running executable's path ("" when it cannot be read).
// The program's path, read once: Windows reports the path the program was
// started from, even after the file is renamed, and every log record asks.
std::string executablePath() {
    static const std::string path = [] {
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
    }();
    return path;
}

// The executable's path as a Windows path ("" when it cannot be read), worked
// out again only when the drive folders change: every log record asks.
wstring executableWindowsPath() {
    thread_local unsigned generation = 0;
    thread_local bool known = false;
    thread_local wstring name;
    if (!known || generation != driveGeneration()) {
        generation = driveGeneration();
        std::string path = executablePath();
        name = path.empty() ? wstring() : toWindowsPath(path);
        known = true;
    }
    return name;
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

// The load address of the module behind a dlopen handle.
void* baseOfHandle(void* handle) {
    struct link_map* map = nullptr;
    Dl_info info;
    if (::dlinfo(handle, RTLD_DI_LINKMAP, &map) != 0 || !map) return nullptr;
    if (!::dladdr(map->l_ld, &info)) return nullptr;
    return info.dli_fbase;
}

// The modules LoadLibraryW loaded: load address -> dlopen handle and the
// number of loads not yet freed. dlopen and dlclose run without the lock, since
// a module's constructors and destructors may load modules themselves.
struct LoadedModule {
    void* handle;
    unsigned loads;
};
std::mutex g_loadedMutex;
std::map<void*, LoadedModule>& loadedModules() {
    static std::map<void*, LoadedModule>* table = new std::map<void*, LoadedModule>;
    return *table;
}

// A file that exists but is no shared object for this process: a Windows
// DLL, a 32-bit object in a 64-bit process, text.
bool isForeignFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    char head[5] = {};
    if (!file.read(head, sizeof head)) return static_cast<bool>(std::ifstream(path));
    const char wanted = sizeof(void*) == 8 ? 2 : 1;  // ELFCLASS64 or ELFCLASS32
    return !(head[0] == 0x7f && head[1] == 'E' && head[2] == 'L' && head[3] == 'F' &&
             head[4] == wanted);
}

}  // namespace

}  // namespace w32p

/* Copies the full path of a module's file (NULL: the executable) into the
   buffer and returns its length. Buffer too small (Vista and later): the path
   is cut to nSize - 1 characters and a NUL, nSize is returned and the error is
   ERROR_INSUFFICIENT_BUFFER. A handle that is no module: 0, ERROR_MOD_NOT_FOUND. */
extern "C" DWORD WINAPI GetModuleFileNameW(HMODULE hModule, LPWSTR lpFilename, DWORD nSize) {
    w32p::wstring name;
    if (hModule) {
        std::string path = w32p::modulePath(hModule);
        if (!path.empty()) name = w32p::toWindowsPath(path);
    } else {
        name = w32p::executableWindowsPath();
    }
    if (name.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return 0;
    }
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

/* Loads a module and returns its handle (the same one for every load of a
   module; each load is counted). NULL on failure: ERROR_MOD_NOT_FOUND when
   the module (or one it needs) is not found, ERROR_BAD_EXE_FORMAT when the
   file is no module for this process, ERROR_INVALID_PARAMETER for a null
   name. */
extern "C" HMODULE WINAPI LoadLibraryW(LPCWSTR lpLibFileName) {
    if (!lpLibFileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const w32p::wstring_view name = w32p::view(lpLibFileName);
    std::string file;
    if (name.find_first_of(u"\\/:") != w32p::wstring_view::npos) {
        w32p::PosixPath posix = w32p::toPosixPath(name);
        if (!posix.ok) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return nullptr;
        }
        file = posix.path;
    } else {
        file = w32p::toUtf8(name);
    }
    void* handle = file.empty() ? nullptr : ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    void* base = handle ? w32p::baseOfHandle(handle) : nullptr;
    if (!base) {
        if (handle) ::dlclose(handle);
        bool path = file.find('/') != std::string::npos;
        SetLastError(path && w32p::isForeignFile(file) ? ERROR_BAD_EXE_FORMAT
                                                       : ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::lock_guard<std::mutex> lock(w32p::g_loadedMutex);
    auto inserted = w32p::loadedModules().emplace(base, w32p::LoadedModule{handle, 0});
    ++inserted.first->second.loads;
    return static_cast<HMODULE>(base);
}

/* The address of a module's export, by name, or by ordinal (a value below
   0x10000 in the name's place). NULL with ERROR_PROC_NOT_FOUND when the
   module has no such export (natively every ordinal: shared objects have
   none), ERROR_MOD_NOT_FOUND when the handle is no module's. A null module
   is the program itself. */
extern "C" FARPROC WINAPI GetProcAddress(HMODULE hModule, LPCSTR lpProcName) {
    std::string file = hModule ? w32p::modulePath(hModule) : w32p::executablePath();
    if (file.empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    if (IS_INTRESOURCE(lpProcName)) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    // A handle of its own, so that the module's symbols are looked up, whoever
    // loaded it (the program's own through dlopen's handle of the program).
    const bool program = file == w32p::executablePath();
    void* handle = ::dlopen(program ? nullptr : file.c_str(), RTLD_NOW | RTLD_NOLOAD);
    void* symbol = handle ? ::dlsym(handle, lpProcName) : nullptr;
    // dlsym also searches the modules this one needs; Windows looks at this
    // module's own exports only.
    Dl_info where;
    if (symbol && (!::dladdr(symbol, &where) || w32p::modulePath(where.dli_fbase) != file))
        symbol = nullptr;
    if (handle) ::dlclose(handle);
    if (!symbol) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    return reinterpret_cast<FARPROC>(symbol);
}

/* Ends one load of a module: the module goes when each LoadLibraryW has had
   its FreeLibrary (a module the program was linked with stays). TRUE on
   success; FALSE with ERROR_MOD_NOT_FOUND when the handle is no module's. */
extern "C" BOOL WINAPI FreeLibrary(HMODULE hLibModule) {
    void* handle = nullptr;
    {
        std::lock_guard<std::mutex> lock(w32p::g_loadedMutex);
        auto& modules = w32p::loadedModules();
        auto it = modules.find(hLibModule);
        if (it != modules.end()) {
            handle = it->second.handle;
            if (--it->second.loads == 0) modules.erase(it);
        }
    }
    if (handle) {
        ::dlclose(handle);
        return TRUE;
    }
    if (!hLibModule || w32p::modulePath(hLibModule).empty()) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    return TRUE;
}
