// environment_variable_test.cpp - CZYNEnvironmentVariable: reading values
// (whole, case-insensitive names, empty and missing variables), the record
// for a name without text, the trace lines, and memory running out.
#include <cstdlib>
#include <string>

#include "hbc_test.h"
#include "zyn_environment_variable.h"

namespace {

class EnvironmentVariableTest : public HbcTest {
protected:
    void TearDown() override {
        zyn::failNthAllocation(0);
        HbcTest::TearDown();
    }
};

const char* const kUntouched = "untouched";

// Reads the variable into a value that starts as kUntouched.
std::string read(const char* name, bool* found) {
    CZYNWCharString value(W(kUntouched).c_str());
    *found = CZYNEnvironmentVariable(CZYNWCharString(W(name).c_str())).getValue(value);
    return U8(value.getText());
}

}  // namespace

TEST_F(EnvironmentVariableTest, GetValue) {
    const std::string longest(32766, 'v');  // the most the 32767-unit buffer holds
    ScopedEnvVar plain(W("ZYN_ENV_PLAIN"), W("C:\\Tools;D:\\x y"));
    ScopedEnvVar wide(W("ZYN_ENV_WIDE"), W("\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"));
    ScopedEnvVar full(W("ZYN_ENV_LONGEST"), W(longest));
    ScopedEnvVar empty(W("ZYN_ENV_EMPTY"), W(""));
    ScopedEnvVar missing(W("ZYN_ENV_MISSING"), nullptr);
    struct {
        const char* comment;
        const char* name;
        bool found;
        std::string value;
    } rows[] = {
        {"a value", "ZYN_ENV_PLAIN", true, "C:\\Tools;D:\\x y"},
        {"names match in any case", "zyn_env_plain", true, "C:\\Tools;D:\\x y"},
        {"UTF-16 text, a surrogate pair included", "ZYN_ENV_WIDE", true,
         "\xc3\xa9t\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"},
        {"the longest value the buffer holds", "ZYN_ENV_LONGEST", true, longest},
        {"an empty value counts as none", "ZYN_ENV_EMPTY", false, kUntouched},
        {"a missing variable", "ZYN_ENV_MISSING", false, kUntouched},
    };
    enableLogging();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        bool found = false;
        EXPECT_EQ(row.value, read(row.name, &found));
        EXPECT_EQ(row.found, found);
    }
    EXPECT_TRUE(logLinesWith("\"The environment variable name").empty()) << "no record beyond the traces";
}

TEST_F(EnvironmentVariableTest, NameWithoutTextIsLogged) {
    enableLogging();
    CZYNWCharString lengthZero(TEXT("x"));
    lengthZero.elementAt(0) = 0;
    struct {
        const char* comment;
        CZYNWCharString name;
    } rows[] = {
        {"the empty state", CZYNWCharString()},
        {"a valid string of length 0", lengthZero},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        CZYNWCharString value(TEXT("kept"));
        EXPECT_FALSE(CZYNEnvironmentVariable(row.name).getValue(value));
        EXPECT_EQ("kept", U8(value.getText()));
    }
    EXPECT_EQ(2u, logLinesWith("\"The environment variable name has not been initialized\" "
                               "<zyn_environment_variable.cpp, 133> ")
                      .size());
}

TEST_F(EnvironmentVariableTest, OperationsAreTraced) {
    ScopedEnvVar set(W("ZYN_ENV_TRACED"), W("1"));
    ScopedEnvVar missing(W("ZYN_ENV_MISSING"), nullptr);
    enableLogging();
    CZYNWCharString value;
    CZYNEnvironmentVariable present(CZYNWCharString(TEXT("ZYN_ENV_TRACED")));
    EXPECT_TRUE(present.getValue(value));
    EXPECT_FALSE(CZYNEnvironmentVariable(CZYNWCharString(TEXT("ZYN_ENV_MISSING"))).getValue(value));

    struct {
        const char* line;
        size_t count;
    } expected[] = {
        {"<ENTRY> ", 4},
        {"<CZYNEnvironmentVariable::CZYNEnvironmentVariable> <Passed> <zyn_environment_variable.cpp, 28> ",
         2},
        {"<CZYNEnvironmentVariable::getValue> <Passed> <zyn_environment_variable.cpp, 125> ", 1},
        {"<CZYNEnvironmentVariable::getValue> <Failed Logical Result> <zyn_environment_variable.cpp, 125> ",
         1},
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(row.count, logLinesWith(row.line).size());
    }
}

TEST_F(EnvironmentVariableTest, RunningOutOfMemoryLeavesTheValue) {
    ScopedEnvVar set(W("ZYN_ENV_MEMORY"), W("abc"));
    enableLogging();
    const CZYNEnvironmentVariable variable(CZYNWCharString(TEXT("ZYN_ENV_MEMORY")));
    // The read buffer, the text taken from it, and the value's copy of it.
    for (ULONG n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        CZYNWCharString value(TEXT("kept"));
        zyn::failNthAllocation(n);
        EXPECT_FALSE(variable.getValue(value));
        zyn::failNthAllocation(0);
        EXPECT_EQ("kept", U8(value.getText()));
    }
    EXPECT_EQ(3u, logLinesWith("Unable to allocate memory ( m_pBuffer )").size());
    CZYNWCharString value;
    EXPECT_TRUE(variable.getValue(value));
    EXPECT_EQ("abc", U8(value.getText()));
}

#ifndef _WIN32
// POSIX only: a process can inherit a variable longer than 32766 units, but a
// Windows test program cannot make one for itself (SetEnvironmentVariableW is
// documented to take at most 32767 characters, and Wine silently cuts a longer
// value to 32766 units), so this case has no counterpart under Wine. The value
// must come back whole, not cut at the 32767-unit buffer.
TEST_F(EnvironmentVariableTest, ValueLongerThanTheBufferComesBackWhole) {
    const std::string value = std::string(40000, 'x') + "end";
    const char* previous = std::getenv("ZYN_ENV_HUGE");
    ASSERT_EQ(nullptr, previous);
    ASSERT_EQ(0, setenv("ZYN_ENV_HUGE", value.c_str(), 1));
    bool found = false;
    const std::string read_back = read("ZYN_ENV_HUGE", &found);
    unsetenv("ZYN_ENV_HUGE");
    EXPECT_TRUE(found);
    EXPECT_EQ(value.size(), read_back.size());
    EXPECT_EQ(value, read_back);
}
#endif
