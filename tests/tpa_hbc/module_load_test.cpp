// module_load_test.cpp - the built module loaded as the host loads it:
// LoadLibraryW and GetProcAddress on Windows, dlopen and dlsym on POSIX.
// Loading a module is where the two platforms truly differ.
#include "hbc_test.h"
#include "tpa_hbc.h"

#ifdef _WIN32
#include <set>
#include <string>
#else
#include <dlfcn.h>
#endif

namespace {

using GetStatusFn = DWORD(WINAPI*)(DWORD, DWORD, DWORD);
using GetFunctionInfoFn = DWORD(WINAPI*)(DWORD, FunctionInfo*, DWORD*);
using GetCapabilityFn = DWORD(WINAPI*)(DWORD, LONG*);

class LoadedModule {
public:
    LoadedModule() {
#ifdef _WIN32
        std::wstring path = W(HBC_MODULE_PATH);
        for (wchar_t& c : path)
            if (c == L'/') c = L'\\';
        m_module = LoadLibraryW(path.c_str());
#else
        m_module = dlopen(HBC_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
#endif
    }
    ~LoadedModule() {
        if (!m_module) return;
#ifdef _WIN32
        FreeLibrary(m_module);
#else
        dlclose(m_module);
#endif
    }
    bool loaded() const { return m_module != nullptr; }
    template <class Fn>
    Fn get(const char* name) const {
#ifdef _WIN32
        return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(m_module, name)));
#else
        return reinterpret_cast<Fn>(dlsym(m_module, name));
#endif
    }
#ifdef _WIN32
    // The names in the module's export directory.
    std::set<std::string> exportedNames() const {
        std::set<std::string> names;
        auto base = reinterpret_cast<const unsigned char*>(m_module);
        auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
        auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
        if (!dir.VirtualAddress) return names;
        auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
        auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
        for (DWORD i = 0; i < exports->NumberOfNames; ++i)
            names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
        if (exports->NumberOfFunctions != exports->NumberOfNames) names.insert("<unnamed export>");
        return names;
    }
#endif

private:
#ifdef _WIN32
    HMODULE m_module;
#else
    void* m_module;
#endif
};

class ModuleLoadTest : public HbcTest {};

}  // namespace

TEST_F(ModuleLoadTest, HostSeesTheThreeFunctionsAndAnEmptyCatalogue) {
    LoadedModule module;
    ASSERT_TRUE(module.loaded()) << HBC_MODULE_PATH;
    auto getStatus = module.get<GetStatusFn>("HB_GetStatus");
    auto getFunctionInfo = module.get<GetFunctionInfoFn>("HB_GetFunctionInfo");
    auto getCapability = module.get<GetCapabilityFn>("HB_GetCapability");
    ASSERT_NE(nullptr, getStatus);
    ASSERT_NE(nullptr, getFunctionInfo);
    ASSERT_NE(nullptr, getCapability);

    EXPECT_EQ(1u, getStatus(0, 0, 0));
    FunctionInfo info = {};
    DWORD size = 0;
    EXPECT_EQ(0u, getFunctionInfo(0x409, &info, &size));
    EXPECT_EQ(940u, size);
    LONG capability = 0;
    for (DWORD id : {0u, 1u, 101u}) {
        info.functionId = id;
        EXPECT_EQ(1u, getFunctionInfo(0x409, &info, &size)) << id;
        EXPECT_EQ(1u, getCapability(id, &capability)) << id;
    }
    info.functionId = 200;
    EXPECT_EQ(2u, getFunctionInfo(0x409, &info, &size));
    EXPECT_EQ(2u, getCapability(200, &capability));
}

#ifdef _WIN32
TEST_F(ModuleLoadTest, ExportsAreExactlyTheThreePlainNames) {
    LoadedModule module;
    ASSERT_TRUE(module.loaded());
    std::set<std::string> expected = {"HB_GetCapability", "HB_GetFunctionInfo", "HB_GetStatus"};
    EXPECT_EQ(expected, module.exportedNames());
    EXPECT_EQ(nullptr, module.get<GetStatusFn>("_HB_GetStatus@12"));
    EXPECT_EQ(nullptr, module.get<GetStatusFn>("HB_GetStatus@12"));
}
#endif
