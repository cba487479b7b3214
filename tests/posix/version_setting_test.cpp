// version_setting_test.cpp - WIN32_POSIX_VERSION: how the setting is read,
// the build numbers of each version, and GetVersionExW with a setting (read
// once, a malformed one reported once on standard error).
#include <unistd.h>

#include <cstdio>
#include <string>

#include "hbc_test.h"
#include "version_setting.h"
#include "win32_posix/testing.h"

namespace {

TEST(VersionSetting, ReadsMajorMinorAndServicePack) {
    struct Row {
        const char* text;
        bool ok;
        DWORD major, minor, servicePack;
        const char* problem;  // part of the message when not ok
    } rows[] = {
        {"", true, 10, 0, 0, ""},  // unset or empty: the default
        {"5.1", true, 5, 1, 0, ""},
        {"5.1sp3", true, 5, 1, 3, ""},
        {"6.0SP2", true, 6, 0, 2, ""},  // "sp" in any case
        {"255.255sp255", true, 255, 255, 255, ""},
        {"256.0", false, 10, 0, 0, "256 is more than 255"},
        {"5.1sp99999999999999999999", false, 10, 0, 0, "99999999999999999999 is more than 255"},
        {"xp", false, 10, 0, 0, "it does not begin with a major version number"},
        {" 5.1", false, 10, 0, 0, "it does not begin with a major version number"},
        {"5", false, 10, 0, 0, "the major version is not followed by a dot and a minor version"},
        {"5.", false, 10, 0, 0, "there is no minor version after the dot"},
        {"5.1sp", false, 10, 0, 0, "\"sp\" is not followed by a service pack number"},
        {"5.1 sp3", false, 10, 0, 0, "unexpected \" sp3\" after the version"},
        {"5.1.2600", false, 10, 0, 0, "unexpected \".2600\" after the version"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.text);
        w32p::WindowsVersion v{1, 2, 3};
        std::string problem;
        EXPECT_EQ(r.ok, w32p::parseVersionSetting(r.text, v, problem));
        EXPECT_EQ(r.major, v.major);
        EXPECT_EQ(r.minor, v.minor);
        EXPECT_EQ(r.servicePack, v.servicePack);
        EXPECT_EQ(r.problem, problem);
    }
}

TEST(VersionSetting, BuildNumbersAreThoseWindowsReports) {
    struct Row {
        DWORD major, minor, servicePack, build;
    } rows[] = {
        {4, 0, 6, 1381},   {5, 0, 4, 2195}, {5, 1, 3, 2600}, {5, 2, 2, 3790},
        {6, 0, 0, 6000},   {6, 0, 1, 6001}, {6, 0, 2, 6002}, {6, 0, 3, 6002},  // no SP3: SP2's
        {6, 1, 0, 7600},   {6, 1, 1, 7601}, {6, 2, 0, 9200}, {6, 3, 0, 9600},
        {10, 0, 0, 19045}, {7, 0, 0, 0},  // never a Windows version
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(std::to_string(r.major) + "." + std::to_string(r.minor) + " SP" +
                     std::to_string(r.servicePack));
        EXPECT_EQ(r.build, w32p::buildNumberOf({r.major, r.minor, r.servicePack}));
    }
}

// What GetVersionExW reports, and what the calls wrote to standard error.
struct Report {
    OSVERSIONINFOEXW info;
    std::string errors;
};

Report versionCalls(int calls) {
    Report report = {};
    std::fflush(stderr);
    FILE* capture = std::tmpfile();
    int saved = ::dup(2);
    ::dup2(::fileno(capture), 2);
    for (int i = 0; i < calls; ++i) {
        report.info.dwOSVersionInfoSize = sizeof report.info;
        EXPECT_TRUE(GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&report.info)));
    }
    std::fflush(stderr);
    ::dup2(saved, 2);
    ::close(saved);
    std::rewind(capture);
    char chunk[512];
    while (size_t n = std::fread(chunk, 1, sizeof chunk, capture)) report.errors.append(chunk, n);
    std::fclose(capture);
    return report;
}

std::string versionText(const OSVERSIONINFOEXW& v) {
    return std::to_string(v.dwMajorVersion) + "." + std::to_string(v.dwMinorVersion) + "." +
           std::to_string(v.dwBuildNumber) + " SP" + std::to_string(v.wServicePackMajor) + " \"" +
           U8(v.szCSDVersion) + "\"";
}

class VersionQuery : public ::testing::Test {
protected:
    void TearDown() override { w32p::testing::resetConfiguration(); }
};

TEST_F(VersionQuery, ReportsTheSettingReadOnce) {
    {
        ScopedEnvVar setting(TEXT("WIN32_POSIX_VERSION"), TEXT("5.1sp3"));
        w32p::testing::resetConfiguration();
        Report xp = versionCalls(1);
        EXPECT_EQ("5.1.2600 SP3 \"Service Pack 3\"", versionText(xp.info));
        EXPECT_EQ("", xp.errors);
    }
    // The process keeps the version it read first.
    ScopedEnvVar later(TEXT("WIN32_POSIX_VERSION"), TEXT("6.0sp2"));
    EXPECT_EQ("5.1.2600 SP3 \"Service Pack 3\"", versionText(versionCalls(1).info));
    w32p::testing::resetConfiguration();
    EXPECT_EQ("6.0.6002 SP2 \"Service Pack 2\"", versionText(versionCalls(1).info));
}

TEST_F(VersionQuery, MalformedSettingIsReportedOnceAndTheDefaultUsed) {
    ScopedEnvVar setting(TEXT("WIN32_POSIX_VERSION"), TEXT("xp"));
    w32p::testing::resetConfiguration();
    Report report = versionCalls(3);
    EXPECT_EQ("10.0.19045 SP0 \"\"", versionText(report.info));
    EXPECT_EQ(
        "win32_posix: WIN32_POSIX_VERSION \"xp\": it does not begin with a major version "
        "number; expected MAJOR.MINOR with an optional service pack, as in 6.1 or 5.1sp3; "
        "Windows 10.0 is reported\n",
        report.errors);
}

}  // namespace
