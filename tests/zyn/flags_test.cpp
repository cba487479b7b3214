// flags_test.cpp - CZYNFlags: the mask test, the comparison, and the trace
// lines each operation writes.
#include "hbc_test.h"
#include "zyn_flags.h"

namespace {

class FlagsTest : public HbcTest {};

}  // namespace

TEST_F(FlagsTest, HasFlagsNeedsEveryBitOfTheMask) {
    struct {
        const char* comment;
        DWORD value, mask;
        bool expected;
    } rows[] = {
        {"mask 0 on 0", 0, 0, true},
        {"mask 0 on all bits", 0xFFFFFFFFu, 0, true},
        {"mask 3 on 1: one bit missing", 1, 3, false},
        {"mask 3 on 7", 7, 3, true},
        {"mask 3 on 2", 2, 3, false},
        {"the top bit", 0x80000000u, 0x80000000u, true},
        {"a bit that is not set", 0x7FFFFFFFu, 0x80000000u, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(row.expected, CZYNFlags(row.value).hasFlags(row.mask));
    }
}

TEST_F(FlagsTest, NotEqualComparesTheValues) {
    EXPECT_FALSE(CZYNFlags(5) != CZYNFlags(5));
    EXPECT_TRUE(CZYNFlags(5) != CZYNFlags(4));
    EXPECT_TRUE(CZYNFlags(0) != CZYNFlags(0x80000000u));
    const CZYNFlags flags(9);
    const CZYNFlags copy(flags);
    EXPECT_FALSE(flags != copy);
    EXPECT_EQ(9u, copy.getFlags());
}

TEST_F(FlagsTest, EveryOperationIsTracedOnItsLine) {
    enableLogging();
    const CZYNFlags flags(1);
    EXPECT_FALSE(flags.hasFlags(3));
    EXPECT_TRUE(flags.hasFlags(1));
    EXPECT_FALSE(flags != CZYNFlags(1));

    struct {
        const char* line;
        size_t count;
    } expected[] = {
        {"<ENTRY> ", 5},
        {"<EXIT> ", 5},
        {"<CZYNFlags::CZYNFlags> <Passed> <zyn_flags.cpp, 45> ", 2},
        {"<CZYNFlags::hasFlags> <Failed Logical Result> <zyn_flags.cpp, 281> ", 1},
        {"<CZYNFlags::hasFlags> <Passed> <zyn_flags.cpp, 281> ", 1},
        // Equal values: the comparison is false, which the EXIT line shows.
        {"<CZYNFlags::operator!=> <Failed Logical Result> <zyn_flags.cpp, 131> ", 1},
        {"<CZYNFlags::hasFlags> <zyn_flags.cpp, 281> ", 2},  // the ENTRY lines
    };
    for (const auto& row : expected) {
        SCOPED_TRACE(row.line);
        EXPECT_EQ(row.count, logLinesWith(row.line).size());
    }
}
