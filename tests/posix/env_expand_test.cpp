// env_expand_test.cpp - the pure %name% expansion of win32_posix: which names
// reach the lookup, and how the result is written into buffers of every size.
// (The expansion rules themselves are compared with Windows in
// tests/win32/environment_test.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "env_expand.h"

namespace {

using w32p::ExpandPiece;
using w32p::wstring;
using w32p::wstring_view;

std::string u8(const wstring& text) { return w32p::toUtf8(text); }

TEST(EnvExpand, LookupGetsEachNameExactlyAsWritten) {
    std::vector<std::string> asked;
    auto nothing = [&](wstring_view name, wstring&) {
        asked.push_back(w32p::toUtf8(name));
        return false;
    };
    const wstring source = u"%A%%b c%% x %%=Q%%%50%";
    auto pieces = w32p::splitExpansion(source, nothing);
    // "%%" is an empty name and is never looked up; "50%" has no closing sign.
    EXPECT_EQ((std::vector<std::string>{"A", "b c", " x ", "=Q"}), asked);
    ASSERT_EQ(1u, pieces.size());
    EXPECT_FALSE(pieces[0].isValue);
    EXPECT_EQ(u8(source), u8(pieces[0].text));
}

// Every size from 0 to beyond the need: the count is always the same, nothing
// is written at or past the size, a buffer that is big enough holds the whole
// text, and a smaller one holds only units of the text where they belong.
TEST(EnvExpand, WriteNeverPassesTheSizeAndFillsWhatFits) {
    struct Row {
        const char* what;
        std::vector<ExpandPiece> pieces;
    } rows[] = {
        {"text only", {{u"Long long value", false}}},
        {"value, text, value", {{u"WINE", true}, {u" x ", false}, {u"WINE", true}}},
        {"empty values around text", {{u"", true}, {u"ab", false}, {u"", true}}},
        {"nothing at all", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const wstring whole = w32p::expandedText(row.pieces);
        for (size_t size = 0; size <= whole.size() + 2; ++size) {
            SCOPED_TRACE("size " + std::to_string(size));
            std::vector<char16_t> buffer(whole.size() + 4, u'#');
            EXPECT_EQ(whole.size() + 1, w32p::writeExpansion(row.pieces, buffer.data(), size));
            for (size_t i = size; i < buffer.size(); ++i) ASSERT_EQ(u'#', buffer[i]) << i;
            if (size > whole.size()) {
                EXPECT_EQ(u8(whole), u8(wstring(buffer.data())));
                continue;
            }
            for (size_t i = 0; i < size; ++i) {
                ASSERT_TRUE(buffer[i] == u'#' || buffer[i] == 0 || buffer[i] == whole[i]) << i;
            }
        }
    }
}

TEST(EnvExpand, WriteMarksAValueThatDoesNotFit) {
    using namespace std::string_literals;
    // An empty value at the last unit still gets its terminator; a value one
    // unit too long leaves a terminator where it would start.
    struct Row {
        const char* what;
        std::vector<ExpandPiece> pieces;
        size_t size;
        std::u16string expected;  // the buffer afterwards
    } rows[] = {
        {"empty value at the last unit", {{u"ab", false}, {u"", true}, {u"c", false}}, 3, u"ab\0"s},
        {"value one unit too long", {{u"a", false}, {u"xyz", true}, {u"b", false}}, 4, u"a\0##"s},
        {"value and terminator exactly fit", {{u"a", false}, {u"xy", true}, {u"b", false}}, 4, u"axy\0"s},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        std::u16string buffer(row.size, u'#');
        w32p::writeExpansion(row.pieces, buffer.data(), row.size);
        EXPECT_TRUE(row.expected == buffer) << u8(buffer);
    }
}

}  // namespace
