// windows_version_test.cpp - which sections a host gets on Windows XP,
// Vista, 7, 10 and 2000, with the XP and Vista keys 0, 1, 2 and absent.
// The version a process reports is fixed when it starts, so each version is
// a child process (probe_host): natively WIN32_POSIX_VERSION says it, under
// Wine the program's version setting (read when the process starts) and the
// probe's compatibility manifest, without which Wine reports 6.2 for 10.
#include "catalogue_fixture.h"

#include <algorithm>

namespace {

const WCHAR* const kWineAppDefaults = TEXT("Software\\Wine\\AppDefaults\\probe_host.exe");

class WindowsVersionTest : public CatalogueTest {
protected:
    void SetUp() override {
        CatalogueTest::SetUp();
        if (HasFatalFailure()) return;
        shareRegistryWithChildren();
        setFolderValue(itemsFolder().c_str());
        ASSERT_TRUE(enableLogging(59));
    }
    void TearDown() override {
        regDeleteTree(HKEY_CURRENT_USER, kWineAppDefaults);
        CatalogueTest::TearDown();
    }
};

}  // namespace

TEST_F(WindowsVersionTest, SectionsAreFilteredByTheRunningVersion) {
    // One file per row with a QUICKLINK section ("-": the key left out), and
    // what becomes of it on XP, on Vista (and 7), and on any other version:
    // 'A' accepted; 'X' missing XP, 'x' not for XP, 'V' missing VISTA,
    // 'v' not for Vista.
    struct {
        const char* xp;
        const char* vista;
        char onXP, onVista, onOther;
    } files[] = {
        // clang-format off
        {"0", "0", 'x', 'v', 'A'}, {"0", "1", 'x', 'A', 'A'}, {"0", "2", 'x', 'v', 'A'},
        {"0", "-", 'x', 'V', 'V'},  // on XP the XP check comes first
        {"1", "0", 'A', 'v', 'A'}, {"1", "1", 'A', 'A', 'A'}, {"1", "2", 'A', 'v', 'A'},
        {"1", "-", 'V', 'V', 'V'},  // the key is needed everywhere
        {"2", "0", 'x', 'v', 'A'}, {"2", "1", 'x', 'A', 'A'}, {"2", "2", 'x', 'v', 'A'},
        {"2", "-", 'x', 'V', 'V'},
        {"-", "0", 'X', 'X', 'X'}, {"-", "1", 'X', 'X', 'X'}, {"-", "2", 'X', 'X', 'X'},
        {"-", "-", 'X', 'X', 'X'},
        // clang-format on
    };
    struct {
        const char* name;
        const char* posix;  // WIN32_POSIX_VERSION
        const char* wine;   // Wine's version setting
        int column;         // 0 XP, 1 Vista, 2 other
    } versions[] = {
        {"Windows XP", "5.1", "winxp", 0},   {"Windows Vista", "6.0", "vista", 1},
        {"Windows 7", "6.1", "win7", 1},     {"Windows 10", "10.0", "win10", 2},
        {"Windows 2000", "5.0", "win2k", 2},
    };
    const auto dash = [](const char* value) { return std::string(value) == "-" ? nullptr : value; };
    std::vector<std::string> names;
    for (size_t i = 0; i < std::size(files); ++i) {
        names.push_back(std::string("xp") + files[i].xp + "_vista" + files[i].vista + ".ini");
        writeBytes(itemPath(names[i]),
                   section("QUICKLINK", static_cast<int>(i + 1),
                           {{"XP", dash(files[i].xp)}, {"Vista", dash(files[i].vista)}}));
    }
    const std::vector<std::string> order = searchOrder(itemsFolder() + TEXT("*.ini"));
    ASSERT_EQ(std::size(files), order.size());

    for (const auto& version : versions) {
        SCOPED_TRACE(version.name);
        ScopedEnvVar posixVersion(TEXT("WIN32_POSIX_VERSION"), W(version.posix));
        ASSERT_TRUE(
            regSetString(HKEY_CURRENT_USER, kWineAppDefaults, TEXT("Version"), W(version.wine)));
        std::filesystem::remove(fsPath("log.txt"));
        HostAnswers answers = askInChild();

        std::vector<ExpectedItem> accepted;
        std::vector<std::string> rejections;
        for (const std::string& name : order) {
            size_t i = std::find(names.begin(), names.end(), name) - names.begin();
            const char outcome = version.column == 0   ? files[i].onXP
                                 : version.column == 1 ? files[i].onVista
                                                       : files[i].onOther;
            const std::string path = U8(itemsFolder()) + name;
            switch (outcome) {
                case 'A':
                    accepted.push_back(item(static_cast<int>(i + 1)));
                    break;
                case 'X':
                    rejections.push_back("Missing XP value for QUICKLINK in file " + path);
                    break;
                case 'x':
                    rejections.push_back("This QUICKLINK is not for Windows XP.  file = " + path);
                    break;
                case 'V':
                    rejections.push_back("Missing VISTA value for QUICKLINK in file " + path);
                    break;
                case 'v':
                    rejections.push_back("This QUICKLINK is not for Windows Vista.  file = " +
                                         path);
                    break;
            }
        }
        expectCatalogue(answers, accepted, {});
        std::vector<std::string> logged;
        for (const std::string& message : logMessages())
            if (message.rfind("Missing ", 0) == 0 || message.rfind("This ", 0) == 0)
                logged.push_back(message);
        EXPECT_EQ(rejections, logged);
    }
}
