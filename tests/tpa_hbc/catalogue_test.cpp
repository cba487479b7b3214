// catalogue_test.cpp - the catalogue through the exports of the built
// module, loaded into this process as a host loads it: which sections
// become items and in which order, every rejection and its record, the
// folder value, and a reload after the files change.
//
// Every valid section here has XP=1 and Vista=1, so it is accepted whatever
// Windows version the process reports; windows_version_test.cpp varies that.
#include "catalogue_fixture.h"

#include <algorithm>

namespace {

const char* const kIniRecord = "GetPrivateProfileInt( ) failed.";
const char* const kDllMainRecord = "calling DllMain() - tpa_hbc.dll";

}  // namespace

TEST_F(CatalogueTest, HostGetsEveryItemInFolderSearchOrder) {
    // One file per row, each with the sections given (n 0: none).
    struct Section {
        int n;
        int category;
        LONG categoryCode;
    };
    struct {
        const char* file;
        Section quick;
        Section toolkit;
    } rows[] = {
        {"quick.ini", {1, 0, 0}, {}},                // QUICKLINK only; Category 0 stays 0
        {"tool.ini", {}, {2, 100, 100}},             // TOOLKIT only; 100 and more stay as they are
        {"both.ini", {3, 1, 100}, {4, 150, 150}},    // both; below 100: times 100
        {"more.ini", {5, 99, 9900}, {6, -5, -500}},  // negative values too
        {"neither.ini", {}, {}},                     // no section of either kind
        // The product wraps around in 32 bits (-3000000000 + 2^32), never overflows.
        {"wrap.ini", {10, -30000000, 1294967296}, {}},
    };
    writeBytes(itemPath("neither.ini"), "[OTHER]\r\nCategory=1\r\n" + section("Quicklinks", 9));
    writeBytes(itemPath("notes.txt"), section("QUICKLINK", 8));  // not "*.ini"
    std::filesystem::create_directories(itemPath("x.ini"));  // a folder is listed, yields nothing
    writeBytes(itemPath("x.ini/inner.ini"), section("QUICKLINK", 7));
    for (const auto& row : rows) {
        std::string text;
        for (const auto& [name, s] :
             {std::pair{"QUICKLINK", row.quick}, std::pair{"TOOLKIT", row.toolkit}})
            if (s.n) text += section(name, s.n, {{"Category", std::to_string(s.category).c_str()}});
        if (!text.empty()) writeBytes(itemPath(row.file), text);
    }
    writeStrings(itemPath("both.ini"), {3, 4});

    std::vector<ExpectedItem> quick, toolkit;
    for (const std::string& name : searchOrder(itemsFolder() + TEXT("*.ini")))
        for (const auto& row : rows) {
            if (name != row.file) continue;
            for (const auto& [s, list] :
                 {std::pair{row.quick, &quick}, std::pair{row.toolkit, &toolkit}})
                if (s.n)
                    list->push_back(
                        {s.n, s.categoryCode, command(s.n),
                         std::string(row.file) == "both.ini" ? "Item " + std::to_string(s.n) : ""});
        }
    ASSERT_EQ(4u, quick.size());
    expectCatalogue(loadAndAsk(), quick, toolkit);
}

TEST_F(CatalogueTest, OnlyTheFirst99ItemsOfEachListAreAddressable) {
    for (int i = 1; i <= 105; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "item%03d.ini", i);
        writeBytes(itemPath(name), section("QUICKLINK", i) + section("TOOLKIT", 1000 + i));
    }
    std::vector<ExpectedItem> quick, toolkit;
    for (const std::string& name : searchOrder(itemsFolder() + TEXT("*.ini"))) {
        int i = std::stoi(name.substr(4, 3));
        quick.push_back(item(i));
        toolkit.push_back(item(1000 + i));
    }
    ASSERT_EQ(105u, quick.size());
    expectCatalogue(loadAndAsk(), quick, toolkit);
}

TEST_F(CatalogueTest, RejectedSectionsAreLoggedAfterDllMainsRecord) {
    ASSERT_TRUE(enableLogging(59));  // the default levels and DEBUG
    ScopedEnvVar programs(TEXT("HBC_PROGRAMS"), winPath("programs"));
    const std::string programs8 = U8(winPath("programs"));
    const std::string q = "\"";
    // A command of `units` units once %HBC_PROGRAMS% is expanded.
    auto commandOf = [&](size_t units) {
        std::string expanded = q + program() + q + " /";
        return "\"%HBC_PROGRAMS%\\tool.exe\" /" + std::string(units - expanded.size(), 'x');
    };
    const std::string longCommand = commandOf(260), fittingCommand = commandOf(259);
    const std::string menu99(99, 'm'), menu100(100, 'm');
    // One file per row (s01.ini, s02.ini, ...), holding section `kind` of
    // item n (the row's number) with the edits. Its records: the INI
    // reader's for a missing integer, when `ini`, then `message` followed by
    // the file's path (a "bad path: " message is given whole).
    struct {
        const char* kind;
        Edits edits;
        bool ini;
        std::string message;
    } rows[] = {
        // clang-format off
        {"QUICKLINK", {{"XP", nullptr}}, true, "Missing XP value for QUICKLINK in file "},
        {"TOOLKIT", {{"XP", "-1"}}, true, "Missing XP value for TOOLKIT in file "},
        {"TOOLKIT", {{"Vista", nullptr}}, true, "Missing VISTA value for TOOLKIT in file "},
        // Checks run in order: only the first missing key is reported.
        {"QUICKLINK", {{"Dependency", nullptr}, {"Capability", nullptr}}, true,
         "Missing DEPENDENCY value for QUICKLINK in file "},
        {"TOOLKIT", {{"MenuType", nullptr}}, true, "Missing MENUTYPE value for TOOLKIT in file "},
        // A missing text is no failure of the INI reader's: no record of its own.
        {"QUICKLINK", {{"MenuString", nullptr}}, false,
         "Missing MENUSTRING value for QUICKLINK in file "},
        {"TOOLKIT", {{"MenuString", ""}}, false, "Missing MENUSTRING value for TOOLKIT in file "},
        {"QUICKLINK", {{"MenuString", menu100.c_str()}}, false,
         "MENUSTRING value too long for QUICKLINK in file "},
        {"TOOLKIT", {{"ExecInterfaceType", nullptr}}, true,
         "Missing EXECTYPE value for TOOLKIT in file "},
        {"QUICKLINK", {{"ExecInterface", nullptr}}, false,
         "Missing EXECSTRING value for QUICKLINK in file "},
        {"QUICKLINK", {{"ExecInterface", "%HBC_PROGRAMS%\\tool.exe /x"}}, false,
         "bad path: " + programs8 + "\\tool.exe /x"},
        {"TOOLKIT", {{"ExecInterface", "\"%HBC_PROGRAMS%\\tool.exe /x"}}, false,
         "bad path: \"" + programs8 + "\\tool.exe /x"},
        {"QUICKLINK", {{"ExecInterface", "\"%HBC_PROGRAMS%\\none.exe\" /x"}}, false,
         "bad path: \"" + programs8 + "\\none.exe\" /x"},
        {"TOOLKIT", {{"ExecInterface", longCommand.c_str()}}, false,
         "EXECSTRING value too long for TOOLKIT in file "},
        {"QUICKLINK", {{"Capability", nullptr}}, true,
         "Missing CAPABILITY value for QUICKLINK in file "},
        // No Category, or -1: skipped without a message of the module's.
        {"QUICKLINK", {{"Category", nullptr}}, true, ""},
        {"TOOLKIT", {{"Category", "-1"}}, true, ""},
        // The longest texts that fit are accepted (items 18 and 19).
        {"QUICKLINK", {{"MenuString", menu99.c_str()}}, false, ""},
        {"TOOLKIT", {{"ExecInterface", fittingCommand.c_str()}}, false, ""},
        // clang-format on
    };
    auto fileOf = [](size_t row) {
        char name[16];
        std::snprintf(name, sizeof name, "s%02zu.ini", row + 1);
        return std::string(name);
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        writeBytes(itemPath(fileOf(i)),
                   section(rows[i].kind, static_cast<int>(i + 1), rows[i].edits));

    std::vector<std::string> expected = {kDllMainRecord};
    for (const std::string& name : searchOrder(itemsFolder() + TEXT("*.ini"))) {
        for (size_t i = 0; i < std::size(rows); ++i) {
            if (name != fileOf(i)) continue;
            // The file's other section has no Category: one INI record,
            // QUICKLINK being read first.
            const bool quick = std::string(rows[i].kind) == "QUICKLINK";
            if (!quick) expected.push_back(kIniRecord);
            if (rows[i].ini) expected.push_back(kIniRecord);
            if (!rows[i].message.empty())
                expected.push_back(rows[i].message.rfind("bad path: ", 0) == 0
                                       ? rows[i].message
                                       : rows[i].message + U8(itemsFolder()) + name);
            if (quick) expected.push_back(kIniRecord);
        }
    }
    // The log of the load itself: the host's queries write records of their own.
    LoadedModule module(HBC_MODULE_PATH);
    ASSERT_TRUE(module.loaded());
    const std::vector<std::string> logged = logMessages();
    for (size_t i = 0; i < std::max(expected.size(), logged.size()); ++i) {
        EXPECT_EQ(i < expected.size() ? expected[i] : "(none)",
                  i < logged.size() ? logged[i] : "(none)")
            << "record " << i;
    }
    ExpectedItem accepted = item(19);
    accepted.command = q + program() + q + " /" + std::string(259 - (program().size() + 4), 'x');
    expectCatalogue(queryAll(module.functions(), 0x0409), {item(18)}, {accepted});

    // The records themselves: level and application, then the message and
    // nothing after it (no object, function, source or line).
    auto endsWith = [](const std::string& line, const std::string& tail) {
        return line.size() >= tail.size() &&
               line.compare(line.size() - tail.size(), tail.size(), tail) == 0;
    };
    const std::string a01 =
        "Missing XP value for QUICKLINK in file " + U8(itemsFolder()) + "s01.ini";
    const std::vector<std::string> rejection = logLinesWith(a01);
    ASSERT_EQ(1u, rejection.size());
    EXPECT_PRED2(endsWith, rejection[0],
                 "<EXCEPTION_BAD> <" + applicationName() + "> \"" + a01 + "\" ");
    EXPECT_PRED2(endsWith, logLines().front(),
                 "<DEBUG> <" + applicationName() + "> \"" + kDllMainRecord + "\" ");
}

TEST_F(CatalogueTest, FolderValueIsExpandedAndTheNamesAppendedToIt) {
    ASSERT_TRUE(enableLogging(59));
    ScopedEnvVar items(TEXT("HBC_ITEMS"), winPath("items"));
    const std::string folder = U8(winPath("items"));
    // In the folder: a.ini (item 1). Beside it: items.ini (item 2) and
    // itemsitems.ini (item 3), which the value without its backslash finds:
    // its pattern is ...\items*.ini, its paths ...\items<name>.
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1));
    writeBytes(fsPath("items.ini"), section("QUICKLINK", 2));
    writeBytes(fsPath("itemsitems.ini"), section("QUICKLINK", 3));
    std::filesystem::path previous = std::filesystem::current_path();
    std::filesystem::current_path(fsPath(""));
    struct {
        const char* comment;
        std::optional<std::string> value;
        std::vector<int> quick;
        size_t iniRecords;  // one per section without Category, also in files not found
    } rows[] = {
        {"with its trailing backslash", folder + "\\", {1}, 1},
        {"with an environment variable", std::string("%HBC_ITEMS%\\"), {1}, 1},
        {"without the backslash: itemsitems.ini, and itemsitemsitems.ini which is not there",
         folder,
         {3},
         3},
        {"missing: the current folder is searched, the bare names read in the Windows folder",
         std::nullopt,
         {},
         4},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        setFolderValue(row.value ? W(*row.value).c_str() : nullptr);
        std::filesystem::remove(fsPath("log.txt"));
        std::vector<ExpectedItem> quick;
        for (int n : row.quick) quick.push_back(item(n));
        expectCatalogue(loadAndAsk(), quick, {});
        EXPECT_EQ(row.iniRecords, logLinesWith(kIniRecord).size());
    }
    std::filesystem::current_path(previous);
}

TEST_F(CatalogueTest, ReloadSeesTheFilesAsTheyAreThen) {
    writeBytes(itemPath("a.ini"), section("QUICKLINK", 1));
    writeBytes(itemPath("b.ini"), section("TOOLKIT", 2));
    expectCatalogue(loadAndAsk(), {item(1)}, {item(2)});
    EXPECT_FALSE(LoadedModule::isResident(HBC_MODULE_PATH)) << "unloaded, so loaded afresh next";

    std::filesystem::remove(itemPath("a.ini"));
    writeBytes(itemPath("b.ini"), section("TOOLKIT", 5));
    writeBytes(itemPath("c.ini"), section("QUICKLINK", 3));
    expectCatalogue(loadAndAsk(), {item(3)}, {item(5)});
}
