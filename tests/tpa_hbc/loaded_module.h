// loaded_module.h - the built module loaded as a host loads it: LoadLibraryW
// and GetProcAddress on Windows, dlopen and dlsym on POSIX (loading a module
// is where the two platforms truly differ). Unloaded when the object goes.
#ifndef LOADED_MODULE_H
#define LOADED_MODULE_H

#include <windows.h>

#include <string>

#include "tpa_hbc.h"

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
};

class LoadedModule {
public:
    // `path` as the build names it (forward slashes on Windows too).
    explicit LoadedModule(const std::string& path) {
#ifdef _WIN32
        std::wstring name(path.begin(), path.end());
        for (wchar_t& c : name)
            if (c == L'/') c = L'\\';
        m_module = LoadLibraryW(name.c_str());
#else
        m_module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
#endif
    }
    ~LoadedModule() { unload(); }
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return m_module != nullptr; }
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
        return GetModuleHandleW(std::wstring(file.begin(), file.end()).c_str()) != nullptr;
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
    HMODULE m_module;
#else
    void* m_module;
#endif
};

#endif
