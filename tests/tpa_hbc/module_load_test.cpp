// module_load_test.cpp - the built module loaded as the host loads it: its
// exports, and what only a real load and unload shows: DllMain's record at
// each, the module gone from the process afterwards.
#include "hbc_test.h"
#include "loaded_module.h"

#ifdef _WIN32
#include <set>
#endif

namespace {

class ModuleLoadTest : public HbcTest {};

#ifdef _WIN32
// The names in a loaded module's export directory.
std::set<std::string> exportedNames(HMODULE module) {
    std::set<std::string> names;
    auto base = reinterpret_cast<const unsigned char*>(module);
    auto dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    auto nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir =
        nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    if (!dir.VirtualAddress) return names;
    auto exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    auto nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
        names.insert(reinterpret_cast<const char*>(base + nameRvas[i]));
    if (exports->NumberOfFunctions != exports->NumberOfNames) names.insert("<unnamed export>");
    return names;
}
#endif

}  // namespace

TEST_F(ModuleLoadTest, HostSeesTheThreeFunctions) {
    LoadedModule module(HBC_MODULE_PATH);
    ASSERT_TRUE(module.loaded()) << HBC_MODULE_PATH;
    HostFunctions host = module.functions();
    ASSERT_TRUE(host.complete());
    EXPECT_EQ(1u, host.getStatus(0, 0, 0));
    FunctionInfo info = {};
    DWORD size = 0;
    EXPECT_EQ(0u, host.getFunctionInfo(0x409, &info, &size));
    EXPECT_EQ(940u, size);
}

TEST_F(ModuleLoadTest, LoadAndUnloadEachCallDllMain) {
    ASSERT_TRUE(enableLogging(59));  // the default levels and DEBUG
    const std::string record =
        "<DEBUG> <" + applicationName() + "> \"calling DllMain() - tpa_hbc.dll\"";
    {
        LoadedModule module(HBC_MODULE_PATH);
        ASSERT_TRUE(module.loaded());
        EXPECT_TRUE(LoadedModule::isResident(HBC_MODULE_PATH));
        EXPECT_EQ(1u, logLinesWith(record).size()) << "process attach";
    }
    EXPECT_EQ(2u, logLinesWith(record).size()) << "process detach";
    EXPECT_FALSE(LoadedModule::isResident(HBC_MODULE_PATH)) << "the module has left the process";
}

#ifdef _WIN32
TEST_F(ModuleLoadTest, ExportsAreExactlyTheThreePlainNames) {
    LoadedModule module(HBC_MODULE_PATH);
    ASSERT_TRUE(module.loaded());
    std::set<std::string> expected = {"HB_GetCapability", "HB_GetFunctionInfo", "HB_GetStatus"};
    EXPECT_EQ(expected, exportedNames(module.handle()));
    EXPECT_EQ(nullptr, module.get<GetStatusFn>("_HB_GetStatus@12"));
    EXPECT_EQ(nullptr, module.get<GetStatusFn>("HB_GetStatus@12"));
}
#endif
