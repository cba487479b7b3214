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
    ASSERT_EQ(3u, quick.size());
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
    // One file per row, holding section `kind` of item n with the edits;
    // `records` are the messages its section writes ("ini": the INI
    // reader's record for a missing integer), "<path>" standing for the
    // file's path.
    struct {
        const char* file;
        const char* kind;
        Edits edits;
        std::vector<std::string> records;
    } rows[] = {
        {"a01.ini",
         "QUICKLINK",
         {{"XP", nullptr}},
         {"ini", "Missing XP value for QUICKLINK in file <path>"}},
        {"a02.ini",
         "TOOLKIT",
         {{"XP", "-1"}},
         {"ini", "Missing XP value for TOOLKIT in file <path>"}},
        {"a03.ini",
         "TOOLKIT",
         {{"Vista", nullptr}},
         {"ini", "Missing VISTA value for TOOLKIT in file <path>"}},
        // Checks run in order: only the first missing key is reported.
        {"a04.ini",
         "QUICKLINK",
         {{"Dependency", nullptr}, {"Capability", nullptr}},
         {"ini", "Missing DEPENDENCY value for QUICKLINK in file <path>"}},
        {"a05.ini",
         "TOOLKIT",
         {{"MenuType", nullptr}},
         {"ini", "Missing MENUTYPE value for TOOLKIT in file <path>"}},
        // A missing text is not the INI reader's failure: no record of its own.
        {"a06.ini",
         "QUICKLINK",
         {{"MenuString", nullptr}},
         {"Missing MENUSTRING value for QUICKLINK in file <path>"}},
        {"a07.ini",
         "TOOLKIT",
         {{"MenuString", ""}},
         {"Missing MENUSTRING value for TOOLKIT in file <path>"}},
        {"a08.ini",
         "QUICKLINK",
         {{"MenuString", menu100.c_str()}},
         {"MENUSTRING value too long for QUICKLINK in file <path>"}},
        {"a09.ini",
         "TOOLKIT",
         {{"ExecInterfaceType", nullptr}},
         {"ini", "Missing EXECTYPE value for TOOLKIT in file <path>"}},
        {"a10.ini",
         "QUICKLINK",
         {{"ExecInterface", nullptr}},
         {"Missing EXECSTRING value for QUICKLINK in file <path>"}},
        {"a11.ini",
         "QUICKLINK",
         {{"ExecInterface", "%HBC_PROGRAMS%\\tool.exe /x"}},
         {"bad path: " + programs8 + "\\tool.exe /x"}},
        {"a12.ini",
         "TOOLKIT",
         {{"ExecInterface", "\"%HBC_PROGRAMS%\\tool.exe /x"}},
         {"bad path: \"" + programs8 + "\\tool.exe /x"}},
        {"a13.ini",
         "QUICKLINK",
         {{"ExecInterface", "\"%HBC_PROGRAMS%\\none.exe\" /x"}},
         {"bad path: \"" + programs8 + "\\none.exe\" /x"}},
        {"a14.ini",
         "TOOLKIT",
         {{"ExecInterface", longCommand.c_str()}},
         {"EXECSTRING value too long for TOOLKIT in file <path>"}},
        {"a15.ini",
         "QUICKLINK",
         {{"Capability", nullptr}},
         {"ini", "Missing CAPABILITY value for QUICKLINK in file <path>"}},
        // No Category, or -1: skipped without a message of the module's.
        {"a16.ini", "QUICKLINK", {{"Category", nullptr}}, {"ini"}},
        {"a17.ini", "TOOLKIT", {{"Category", "-1"}}, {"ini"}},
        // The longest texts that fit are accepted.
        {"b01.ini", "QUICKLINK", {{"MenuString", menu99.c_str()}}, {}},
        {"b02.ini", "TOOLKIT", {{"ExecInterface", fittingCommand.c_str()}}, {}},
    };
    for (size_t i = 0; i < std::size(rows); ++i)
        writeBytes(itemPath(rows[i].file),
                   section(rows[i].kind, static_cast<int>(i + 1), rows[i].edits));

    std::vector<std::string> expected = {kDllMainRecord};
    for (const std::string& name : searchOrder(itemsFolder() + TEXT("*.ini"))) {
        for (const auto& row : rows) {
            if (name != row.file) continue;
            const std::string path = U8(itemsFolder()) + name;
            // The file's other section has no Category.
            if (std::string(row.kind) == "TOOLKIT") expected.push_back(kIniRecord);
            for (std::string record : row.records) {
                if (record == "ini") record = kIniRecord;
                size_t at = record.find("<path>");
                if (at != std::string::npos) record.replace(at, 6, path);
                expected.push_back(record);
            }
            if (std::string(row.kind) == "QUICKLINK") expected.push_back(kIniRecord);
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
        "Missing XP value for QUICKLINK in file " + U8(itemsFolder()) + "a01.ini";
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
