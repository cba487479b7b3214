// module_entry_test.cpp - DllMain called as the loader calls it, on this
// program's own copy of the module's lists: process attach builds the
// catalogue, thread attach and detach only write the record, process detach
// frees everything.
#include "catalogue_fixture.h"

namespace {

class ModuleEntryTest : public CatalogueTest {
protected:
    void TearDown() override {
        DeleteLists();
        runningOnXP = 0;
        runningOnVista = 0;
        CatalogueTest::TearDown();
    }
    static std::vector<LONG> counts() {
        return {iniFiles.getCount(), quickLinkItems.getCount(), toolkitItems.getCount()};
    }
};

const char* const kDllMainRecord = "\"calling DllMain() - tpa_hbc.dll\"";

}  // namespace

TEST_F(ModuleEntryTest, EveryReasonWritesTheRecordAndOnlyProcessReasonsChangeTheCatalogue) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1) + section("TOOLKIT", 2));
    writeBytes(itemPath("b.ini"), section("TOOLKIT", 3));
    ASSERT_TRUE(enableLogging(59));  // the default levels and DEBUG
    struct {
        const char* comment;
        DWORD reason;
        std::vector<LONG> counts;  // files, QUICKLINK items, TOOLKIT items afterwards
    } rows[] = {
        {"process attach builds the catalogue", DLL_PROCESS_ATTACH, {2, 1, 2}},
        {"thread attach", DLL_THREAD_ATTACH, {2, 1, 2}},
        {"thread detach", DLL_THREAD_DETACH, {2, 1, 2}},
        {"process detach frees everything", DLL_PROCESS_DETACH, {0, 0, 0}},
    };
    size_t records = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(TRUE, DllMain(nullptr, row.reason, nullptr));
        EXPECT_EQ(row.counts, counts());
        EXPECT_EQ(++records, logLinesWith(kDllMainRecord).size());
    }
}

TEST_F(ModuleEntryTest, AttachAndDetachAreTracedInOrder) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1) + section("TOOLKIT", 2));
    ASSERT_TRUE(enableLogging(827));  // the default levels, DEBUG, ENTRY and EXIT
    DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr);
    DllMain(nullptr, DLL_PROCESS_DETACH, nullptr);
    // The EXIT records of the load's own steps, in order: the operating
    // system information lives until the catalogue is built.
    const std::string steps[] = {
        "<CZYNWindowsOSInfo::CZYNWindowsOSInfo> <Passed> <zyn_windows_os_info.cpp, 43> ",
        "<CZYNWindowsOSInfo::isVista> ",
        "<CZYNWindowsOSInfo::isXP> ",
        "<tpa_hbc.dll::BuildListOfIniFiles> <Passed> <tpa_hbc.cpp, 439> ",
        "<tpa_hbc.dll::BuildListsOfHbcItems> <Passed> <tpa_hbc.cpp, 102> ",
        "<CZYNWindowsOSInfo::~CZYNWindowsOSInfo> <Passed> <zyn_windows_os_info.cpp, 167> ",
        "<tpa_hbc.dll::DeleteLists> <Passed> <tpa_hbc.cpp, 353> ",
    };
    std::vector<std::string> found;
    for (const std::string& line : logLinesWith("<EXIT> "))
        for (const std::string& step : steps)
            if (line.find(step) != std::string::npos) found.push_back(step);
    EXPECT_EQ(std::vector<std::string>(std::begin(steps), std::end(steps)), found);
}

#ifndef _WIN32
// Natively only: the real version query never fails; the stand-in's can be
// made to (FailingVersionQueries). The module then loads as on a version
// that is neither XP nor Vista.
TEST_F(ModuleEntryTest, AnUndeterminedVersionClearsBothFlagsAndBuildsTheCatalogue) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1, {{"XP", "0"}, {"Vista", "0"}}));
    ASSERT_TRUE(enableLogging(59));
    runningOnXP = 1;
    runningOnVista = 1;
    FailingVersionQueries refuse({284, 276});
    EXPECT_EQ(TRUE, DllMain(nullptr, DLL_PROCESS_ATTACH, nullptr));
    EXPECT_EQ(0u, runningOnXP);
    EXPECT_EQ(0u, runningOnVista);
    EXPECT_EQ((std::vector<LONG>{1, 1, 0}), counts()) << "XP=0 and Vista=0 pass no filter";
    EXPECT_EQ(
        1u, logLinesWith("\"CZYNWindowsOSInfo construction failed. Cannot call member functions.\"")
                .size());
}
#endif
