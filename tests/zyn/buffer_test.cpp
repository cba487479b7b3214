// buffer_test.cpp - CZYNBuffer<T>: construction, resize, bounds, assignment,
// append and write (including a buffer used on itself), memory-image
// conversions and the behaviour when memory runs out.
#include <vector>

#include "hbc_test.h"
#include "zyn_buffer.h"

namespace {

using WBuffer = CZYNBuffer<WCHAR>;
using BBuffer = CZYNBuffer<BYTE>;

class BufferTest : public HbcTest {
protected:
    void TearDown() override {
        zyn::failNthAllocation(0);
        HbcTest::TearDown();
    }
};

// A byte buffer holding the given values.
BBuffer bytes(const std::vector<BYTE>& values) {
    return BBuffer(values.data(), static_cast<ULONG>(values.size()), 0);
}

std::vector<BYTE> contents(const BBuffer& b) {
    return std::vector<BYTE>(b.getBuffer(), b.getBuffer() + b.getCount());
}

}  // namespace

TEST_F(BufferTest, ConstructionGivesZeroedOrCopiedElements) {
    WBuffer five(5);
    EXPECT_TRUE(five.isValid());
    ASSERT_EQ(5u, five.getCount());
    for (ULONG i = 0; i < 5; ++i) EXPECT_EQ(0, five.getAt(i));
    EXPECT_FALSE(WBuffer(0).isValid());
    EXPECT_EQ(nullptr, WBuffer().getBuffer());

    const BYTE src[] = {7, 8, 9};
    EXPECT_EQ((std::vector<BYTE>{0, 0, 7, 8, 9}), contents(BBuffer(src, 3, 2))) << "copied at the offset";
    EXPECT_EQ((std::vector<BYTE>{0, 0, 0}), contents(BBuffer(nullptr, 3, 4))) << "no source: offset ignored";
    EXPECT_FALSE(BBuffer(src, 0, 4).isValid()) << "count 0: empty";
    // Offset + count does not fit 32 bits: refused, never a short buffer written past its end.
    EXPECT_THROW(BBuffer(src, 3, 0xFFFFFFFEu), CZYNBufferInitException);
}

TEST_F(BufferTest, ResizeKeepsTheLeadingElements) {
    BBuffer b = bytes({1, 2, 3});
    ASSERT_TRUE(b.resize(5));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 0, 0}), contents(b));
    ASSERT_TRUE(b.resize(2));
    EXPECT_EQ((std::vector<BYTE>{1, 2}), contents(b));
    ASSERT_TRUE(b.resize(0));
    EXPECT_FALSE(b.isValid());
}

TEST_F(BufferTest, ElementAccessIsBoundsChecked) {
    enableLogging();
    BBuffer b = bytes({1, 2, 3});
    EXPECT_EQ(3, b.getAt(2));
    b.elementAt(2) = 4;
    EXPECT_EQ(4, b.getAt(2));
    EXPECT_THROW(b.getAt(3), CZYNIndexOutOfBoundsException);
    EXPECT_THROW(b.elementAt(3), CZYNIndexOutOfBoundsException);
    const CZYNBuffer<WCHAR> constWide(2);
    EXPECT_THROW(constWide.elementAt(2), CZYNIndexOutOfBoundsException);
    EXPECT_THROW(BBuffer().getAt(0), CZYNIndexOutOfBoundsException);
    EXPECT_EQ(4u, logLinesWith("\"Index out of array bounds\" <zyn_buffer.h, 1299> ").size())
        << "every element check carries the one line of the element check";
}

TEST_F(BufferTest, AssignmentCopiesAndSelfAssignmentKeeps) {
    BBuffer a = bytes({1, 2, 3});
    BBuffer b(7);
    b = a;
    EXPECT_EQ(contents(a), contents(b));
    EXPECT_NE(a.getBuffer(), b.getBuffer());
    BBuffer& alias = a;
    a = alias;
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), contents(a));
    b = BBuffer();
    EXPECT_FALSE(b.isValid()) << "an empty source empties the target";
}

TEST_F(BufferTest, AppendConcatenatesEvenOntoItself) {
    BBuffer a = bytes({1, 2});
    ASSERT_TRUE(a.append(bytes({3})));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), contents(a));
    ASSERT_TRUE(a.append(a));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3, 1, 2, 3}), contents(a));
}

TEST_F(BufferTest, AppendAtOffset) {
    struct {
        const char* comment;
        ULONG offset;
        bool self;  // append the buffer to itself
        std::vector<BYTE> other;
        bool ok;
        std::vector<BYTE> expected;
        const char* record;  // a log line that holds this, or null
    } rows[] = {
        {"offset equal to the count appends at the end", 3, false, {9}, true, {1, 2, 3, 9}, nullptr},
        {"offset inside drops what followed", 1, false, {9}, true, {1, 9}, nullptr},
        {"onto itself, overlapping", 1, true, {}, true, {1, 1, 2, 3}, nullptr},
        {"one past the count: refused, unchanged", 4, false, {9}, false, {1, 2, 3},
         "\"A bad argument was provided ( ulOffset ). can't append a buffer at an offset past the "
         "bounds of this buffer\" \r"},
        {"an empty buffer: refused before anything is dropped", 1, false, {}, false, {1, 2, 3},
         "( buffer ). buffer is of zero size - can't write\" <zyn_buffer.h, "},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        enableLogging();
        BBuffer b = bytes({1, 2, 3});
        BBuffer other = row.other.empty() ? BBuffer() : bytes(row.other);
        EXPECT_EQ(row.ok, b.append(row.self ? b : other, row.offset));
        EXPECT_EQ(row.expected, contents(b));
        if (row.record) {
            // The "ulOffset" record carries no source position: its line ends
            // right after the message.
            std::vector<std::string> lines = logLinesWith("A bad argument");
            ASSERT_EQ(1u, lines.size());
            EXPECT_NE(std::string::npos, (lines[0] + "\r").find(row.record)) << lines[0];
        }
        std::filesystem::remove(fsPath("log.txt"));
    }
}

TEST_F(BufferTest, Write) {
    struct {
        const char* comment;
        ULONG offset;
        std::vector<BYTE> other;
        bool grow;
        bool ok;
        std::vector<BYTE> expected;
        const char* record;
    } rows[] = {
        {"fits: overwritten in place", 1, {8, 9}, false, true, {1, 8, 9}, nullptr},
        {"overrun without growing: refused", 2, {8, 9}, false, false, {1, 2, 3},
         "( buffer ). buffer + offset will overrun this buffer\""},
        {"overrun with growing: offset + other's count", 2, {8, 9}, true, true, {1, 2, 8, 9}, nullptr},
        {"empty other", 0, {}, true, false, {1, 2, 3}, "buffer is of zero size - can't write"},
        // Offset + count wraps around 32 bits; it must not pass for fitting.
        {"offset near 2^32 without growing", 0xFFFFFFFFu, {8, 9}, false, false, {1, 2, 3},
         "buffer + offset will overrun this buffer"},
        {"offset near 2^32 with growing", 0xFFFFFFFFu, {8, 9}, true, false, {1, 2, 3},
         "( ulOffset )"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        enableLogging();
        BBuffer b = bytes({1, 2, 3});
        BBuffer other = row.other.empty() ? BBuffer() : bytes(row.other);
        EXPECT_EQ(row.ok, b.write(other, row.offset, row.grow));
        EXPECT_EQ(row.expected, contents(b));
        if (row.record) {
            EXPECT_EQ(1u, logLinesWith(row.record).size());
        }
        std::filesystem::remove(fsPath("log.txt"));
    }
}

TEST_F(BufferTest, MemoryImageConversions) {
    WBuffer wide(2);
    wide.elementAt(0) = 0x4241;
    wide.elementAt(1) = 0x00E9;
    EXPECT_EQ((std::vector<BYTE>{0x41, 0x42, 0xE9, 0x00}), contents(BBuffer(wide)));

    WBuffer fromOdd(bytes({0x41, 0x42, 0x43}));
    ASSERT_EQ(2u, fromOdd.getCount());
    EXPECT_EQ(0x4241, fromOdd.getAt(0));
    EXPECT_EQ(0x0043, fromOdd.getAt(1)) << "the odd byte in the low half";
    EXPECT_FALSE(WBuffer(BBuffer()).isValid());

    BBuffer z = bytes({5, 6});
    z.zeroFill();
    EXPECT_EQ((std::vector<BYTE>{0, 0}), contents(z));
}

TEST_F(BufferTest, RunningOutOfMemory) {
    enableLogging();
    BBuffer b = bytes({1, 2, 3});
    zyn::failNthAllocation(1);
    EXPECT_FALSE(b.resize(10));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), contents(b)) << "a failed resize keeps the elements";
    EXPECT_EQ(1u, logLinesWith("\"Unable to allocate memory ( m_pBuffer )\" <zyn_buffer.h, ").size());

    zyn::failNthAllocation(1);
    EXPECT_FALSE(b.append(b));
    EXPECT_EQ((std::vector<BYTE>{1, 2, 3}), contents(b));

    zyn::failNthAllocation(1);
    EXPECT_FALSE(b.allocate(4));
    EXPECT_FALSE(b.isValid()) << "allocate releases first";

    zyn::failNthAllocation(1);
    EXPECT_THROW(BBuffer(4), CZYNBufferInitException);
    BBuffer source = bytes({1});
    zyn::failNthAllocation(1);
    EXPECT_THROW(BBuffer copy(source), CZYNBufferInitException);
}
