// main.cpp - uses the installed zyn library: writes a registry value through
// one CZYNRegistryString and reads it back through another, then loads the
// installed plug-in named by ZYN_CONSUMER_MODULE as a host does and asks its
// status and record size. Prints each result; exit status 0 when all are as
// expected, 1 otherwise.
#include <windows.h>

#include <cstdio>

#include "zyn_registry_string.h"
#include "zyn_wchar_string.h"

namespace {

const WCHAR kKeyPath[] = TEXT("Software\\Norvak\\ZynPackageConsumer");

bool registryRoundTrip() {
    const CZYNWCharString text =
        CZYNWCharString(TEXT("written by ")) + CZYNWCharString(TEXT("the consumer"));
    CZYNWCharString back;
    bool same;
    {
        CZYNRegistryString writer(HKEY_CURRENT_USER, kKeyPath, TEXT("Greeting"), KEY_ALL_ACCESS,
                                  true, 0);
        CZYNRegistryString reader(HKEY_CURRENT_USER, kKeyPath, TEXT("Greeting"), KEY_READ, false,
                                  0);
        same = writer.setValue(text, false) && reader.getValue(back, false) && back == text;
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, kKeyPath);
    std::printf("registry round trip: %s\n", same ? "ok" : "failed");
    return same;
}

template <class Fn>
Fn exported(HMODULE module, const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

bool pluginAnswers() {
    WCHAR path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(TEXT("ZYN_CONSUMER_MODULE"), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        std::printf("plug-in: ZYN_CONSUMER_MODULE names no module\n");
        return false;
    }
    HMODULE module = LoadLibraryW(path);
    if (!module) {
        std::printf("plug-in: not loaded, error %u\n", static_cast<unsigned>(GetLastError()));
        return false;
    }
    using GetStatusFn = DWORD(WINAPI*)(DWORD, DWORD, DWORD);
    using GetFunctionInfoFn = DWORD(WINAPI*)(DWORD, void*, DWORD*);
    auto getStatus = exported<GetStatusFn>(module, "HB_GetStatus");
    auto getFunctionInfo = exported<GetFunctionInfoFn>(module, "HB_GetFunctionInfo");
    bool ok = false;
    if (getStatus && getFunctionInfo) {
        unsigned char record[940] = {};
        DWORD size = 0;
        DWORD status = getStatus(0, 0, 0);
        DWORD code = getFunctionInfo(0x0409, record, &size);
        std::printf("plug-in: status %u, size query %u gives %u bytes\n",
                    static_cast<unsigned>(status), static_cast<unsigned>(code),
                    static_cast<unsigned>(size));
        ok = status == 1 && code == 0 && size == sizeof record;
    } else {
        std::printf("plug-in: the host's functions are missing\n");
    }
    FreeLibrary(module);
    return ok;
}

}  // namespace

int main() {
    const bool registry = registryRoundTrip();
    const bool plugin = pluginAnswers();
    return registry && plugin ? 0 : 1;
}
