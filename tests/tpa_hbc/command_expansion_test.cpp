// command_expansion_test.cpp - environment variables in commands and
// folders, the check of the quoted program, and management console documents.
#include "hbc_test.h"
#include "tpa_hbc.h"

namespace {

class CommandExpansionTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        std::filesystem::create_directories(fsPath("Apps/Tool"));
        writeBytes(fsPath("Apps/Tool/tool.exe"), "MZ");
        writeBytes(fsPath("Apps/devmgmt.msc"), "<xml/>");
    }
    // The expanded text and the answer, for one input.
    std::pair<bool, std::string> expand(const wstr& text, bool checkFile) {
        CZYNWCharString path(text.c_str());
        bool ok = ExpandAndCheckPath(path, checkFile);
        return {ok, U8(path.getText())};
    }
    static std::string variable(const char* name) {
        WCHAR value[1024] = {0};
        GetEnvironmentVariableW(W(name).c_str(), value, 1024);
        return U8(value);
    }
};

}  // namespace

TEST_F(CommandExpansionTest, QuotedProgramMustExist) {
    ScopedEnvVar apps(TEXT("HBC_APPS"), winPath("Apps"));
    std::string apps8 = U8(winPath("Apps"));
    struct {
        const char* comment;
        const char* input;
        bool valid;
        std::string expanded;
    } rows[] = {
        {"quoted program and arguments", "\"%HBC_APPS%\\Tool\\tool.exe\" /run now", true,
         "\"" + apps8 + "\\Tool\\tool.exe\" /run now"},
        {"the same without quotes", "%HBC_APPS%\\Tool\\tool.exe /run", false,
         apps8 + "\\Tool\\tool.exe /run"},
        {"a quoted argument too: first to last quote names nothing",
         "\"%HBC_APPS%\\Tool\\tool.exe\" \"arg\"", false,
         "\"" + apps8 + "\\Tool\\tool.exe\" \"arg\""},
        {"a single quote", "\"%HBC_APPS%\\Tool\\tool.exe", false, "\"" + apps8 + "\\Tool\\tool.exe"},
        {"a missing program", "\"%HBC_APPS%\\Tool\\none.exe\"", false,
         "\"" + apps8 + "\\Tool\\none.exe\""},
        {"a folder is found by the search", "\"%HBC_APPS%\\Tool\"", true,
         "\"" + apps8 + "\\Tool\""},
        {"so is a matching wildcard pattern", "\"%HBC_APPS%\\Tool\\*.exe\"", true,
         "\"" + apps8 + "\\Tool\\*.exe\""},
        {"an undefined variable stays and fails the check", "\"%HBC_NO_SUCH%\\tool.exe\"", false,
         "\"%HBC_NO_SUCH%\\tool.exe\""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        auto [ok, text] = expand(W(row.input), true);
        EXPECT_EQ(row.valid, ok);
        EXPECT_EQ(row.expanded, text);
    }
}

TEST_F(CommandExpansionTest, ConsoleDocumentsAreStartedByTheConsole) {
    ScopedEnvVar apps(TEXT("HBC_APPS"), winPath("Apps"));
    std::string document = "\"" + U8(winPath("Apps")) + "\\devmgmt.msc\"";
    auto [ok, text] = expand(TEXT("\"%HBC_APPS%\\devmgmt.msc\""), true);
    EXPECT_TRUE(ok);
    EXPECT_EQ(variable("windir") + "\\system32\\mmc.exe " + document, text);

    // Capitals are compared exactly: no prefix.
    writeBytes(fsPath("Apps/upper.MSC"), "<xml/>");
    std::tie(ok, text) = expand(TEXT("\"%HBC_APPS%\\upper.MSC\""), true);
    EXPECT_TRUE(ok);
    EXPECT_EQ("\"" + U8(winPath("Apps")) + "\\upper.MSC\"", text);

    // Arguments after the document: no prefix either.
    std::tie(ok, text) = expand(TEXT("\"%HBC_APPS%\\devmgmt.msc\" /s"), true);
    EXPECT_TRUE(ok);
    EXPECT_EQ(document + " /s", text);

    // A missing document is expanded but not prefixed.
    std::tie(ok, text) = expand(TEXT("\"%HBC_APPS%\\none.msc\""), true);
    EXPECT_FALSE(ok);
    EXPECT_EQ("\"" + U8(winPath("Apps")) + "\\none.msc\"", text);
}

TEST_F(CommandExpansionTest, WithoutTheCheckOnlyTheExpansionCounts) {
    auto [ok, text] = expand(TEXT(""), false);
    EXPECT_TRUE(ok);
    EXPECT_EQ("", text);

    std::tie(ok, text) = expand(TEXT("%SystemDrive%\\Apps\\"), false);
    EXPECT_TRUE(ok);
    EXPECT_EQ(variable("SystemDrive") + "\\Apps\\", text);

    std::tie(ok, text) = expand(TEXT("C:\\no\\such\\folder"), false);
    EXPECT_TRUE(ok) << "nothing is checked";
}

TEST_F(CommandExpansionTest, TracedWithTheModuleName) {
    enableLogging(795);
    CZYNWCharString path(TEXT("\"C:\\no such\\x.exe\""));
    EXPECT_FALSE(ExpandAndCheckPath(path, true));
    std::vector<std::string> exits = logLinesWith("<EXIT>");
    bool found = false;
    for (const std::string& line : exits)
        found = found || line.find("<tpa_hbc.dll::ExpandAndCheckPath> <Failed> <tpa_hbc.cpp, 54> ") !=
                             std::string::npos;
    EXPECT_TRUE(found);
}
