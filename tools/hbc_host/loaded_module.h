// loaded_module.h - the built module loaded as a host loads it: LoadLibraryW
// and GetProcAddress on Windows, dlopen and dlsym on POSIX (loading a module
// is where the two platforms truly differ). Unloaded when the object goes.
// Shared by hbc-host and the plug-in's tests.
#ifndef LOADED_MODULE_H
#define LOADED_MODULE_H

#include <windows.h>

#include <string>

#include "tpa_hbc.h"
#include "utf.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif

using GetStatusFn = DWORD(WINAPI*)(DWORD, DWORD, DWORD);
using GetFunctionInfoFn = DWORD(WINAPI*)(DWORD, FunctionInfo*, DWORD*);
using GetCapabilityFn = DWORD(WINAPI*)(DWORD, LONG*);

// The host's three functions of a loaded module.
struct HostFunctions {
    GetStatusFn getStatus = nullptr;
    GetFunctionInfoFn getFunctionInfo = nullptr;
    GetCapabilityFn getCapability = nullptr;
    bool complete() const { return getStatus && getFunctionInfo && getCapability; }
    // The name of the first function the module lacks, or nullptr.
    const char* missing() const {
        return !getStatus         ? "HB_GetStatus"
               : !getFunctionInfo ? "HB_GetFunctionInfo"
               : !getCapability   ? "HB_GetCapability"
                                  : nullptr;
    }
};

class LoadedModule {
public:
    // `path` in UTF-8, as a file-system path (forward slashes on Windows too).
    explicit LoadedModule(const std::string& path) {
#ifdef _WIN32
        wstr name = fromUtf8(path);
        for (WCHAR& c : name)
            if (c == L'/') c = L'\\';
        m_module = LoadLibraryW(name.c_str());
        if (!m_module) m_failure = describe(GetLastError());
#else
        m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!m_module) {
            const char* reason = dlerror();
            m_failure = reason ? reason : "unknown reason";
        }
#endif
    }
    ~LoadedModule() { unload(); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return m_module != nullptr; }
    // Why the load failed, as the system says it.
    const std::string& failure() const { return m_failure; }
    void unload() {
        if (!m_module) return;
#ifdef _WIN32
        FreeLibrary(m_module);
#else
        dlclose(m_module);
#endif
        m_module = nullptr;
    }
    template <class Fn>
    Fn get(const char* name) const {
#ifdef _WIN32
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
#else
        return reinterpret_cast<Fn>(dlsym(m_module, name));
#endif
    }
    HostFunctions functions() const {
        HostFunctions f;
        if (!m_module) return f;
        f.getStatus = get<GetStatusFn>("HB_GetStatus");
        f.getFunctionInfo = get<GetFunctionInfoFn>("HB_GetFunctionInfo");
        f.getCapability = get<GetCapabilityFn>("HB_GetCapability");
        return f;
    }
    // Whether a module of that file name is still in the process.
    static bool isResident(const std::string& path) {
#ifdef _WIN32
        std::string file = path.substr(path.find_last_of("/\\") + 1);
        return GetModuleHandleW(fromUtf8(file).c_str()) != nullptr;
#else
        void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
        if (handle) dlclose(handle);
        return handle != nullptr;
#endif
    }
#ifdef _WIN32
    HMODULE handle() const { return m_module; }
#endif

private:
#ifdef _WIN32
    static std::string describe(DWORD error) {
        switch (error) {
            case ERROR_FILE_NOT_FOUND:
            case ERROR_MOD_NOT_FOUND:
                return "the module, or a library it needs, was not found (error " +
                       std::to_string(error) + ")";
            case ERROR_BAD_EXE_FORMAT:
                return "it is not a module for this 32-bit program (error 193)";
            case ERROR_ACCESS_DENIED:
                return "access is denied (error 5)";
            default:
                return "Windows error " + std::to_string(error);
        }
    }
    HMODULE m_module;
#else
    void* m_module;
#endif
    std::string m_failure;
};

#endif
