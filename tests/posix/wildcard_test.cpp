// wildcard_test.cpp - the stand-in's file-name matcher: Windows' DOS wildcard
// rules for FindFirstFileW patterns, case-insensitive.
#include <gtest/gtest.h>

#include <string>

#include "wildcard.h"

namespace {

struct MatchCase {
    const char16_t* pattern;
    const char16_t* name;
    bool matches;
    const char* why;
};

const MatchCase kCases[] = {
    // Plain stars.
    {u"*", u"anything.at.all", true, "* matches every name"},
    {u"*t", u"noext", true, "* matches dots and runs of any length"},
    {u"*a*b*c*", u"xxaxxbxxc", true, "several stars"},
    {u"*a*b*c*", u"cba", false, "several stars, wrong order"},
    {u"**.ini", u"a.ini", true, "a doubled star"},
    // * before a dot: anything but the last dot of the name.
    {u"*.*", u"noext", true, "*.* matches names without a dot"},
    {u"*.*", u"a.b.c", true, "*.* matches names with several dots"},
    {u"*.*", u".", true, "*.* matches the . entry"},
    {u"*.*", u"..", true, "*.* matches the .. entry"},
    {u"*.ini", u"A.INI", true, "case is ignored"},
    {u"*.INI", u"c.ini", true, "case is ignored in the pattern too"},
    {u"*.ini", u"x.ini.bak", false, "the extension is the part after the last dot"},
    {u"*.ini", u"a.b.ini", true, "earlier dots belong to the star"},
    {u"*.ini", u".ini", true, "the star may match nothing"},
    {u"*.ini", u"ini", false, "the dot is required"},
    {u"*.t*", u"x.txt.bak", true, "the star may stop at an earlier dot"},
    // ? matches one character, or none before a dot or at the end.
    {u"?.txt", u"A.TXT", true, "one character"},
    {u"?.txt", u"ab.txt", false, "not two"},
    {u"??.txt", u"a.txt", true, "a ? before the dot may match nothing"},
    {u"??.txt", u"abc.txt", false, "but never more than one character each"},
    {u"a?", u"a", true, "a ? at the end may match nothing"},
    {u"a?", u"ab", true, "or one character"},
    {u"a?", u"abc", false, "not two"},
    {u"a?", u"a.b", false, "a ? does not match a dot"},
    {u"?", u".", false, "not even the . entry"},
    {u"?*", u".", true, "a star after it takes the dot"},
    // A dot before ? or * or at the end: a dot, or nothing at the end.
    {u"*.", u"noext", true, "*. matches names without an extension"},
    {u"*.", u"a.txt", false, "and only those"},
    {u"*.", u"..", true, "the .. entry has no extension"},
    {u"a*.", u"ab", true, "a prefix and no extension"},
    {u"a*.", u"ab.txt", false, "a prefix with an extension"},
    {u"*.?", u"a.b", true, "a one-character extension"},
    {u"*.?", u"noext", true, "or none"},
    {u"*.?", u"a.bc", false, "not two characters"},
    {u"a.*", u"a", true, "a.* matches the bare name"},
    {u"a.*", u"a.txt", true, "and the name with any extension"},
    {u"a.*", u"ab", false, "but not a longer name"},
    {u".*", u".hidden", true, "a leading dot"},
    {u".*", u"x", false, "required when the name is not finished"},
    {u"noext.", u"noext", true, "a trailing dot on a plain name"},
    {u"a.?x", u"a.bx", true, "a dot inside the pattern before ?"},
    {u"a.?x", u"ax", false, "which matches nothing only at the end of the name"},
    // Literal names.
    {u"A.txt", u"a.TXT", true, "a plain name ignores case"},
    {u"a.txt", u"a.txtx", false, "but must match whole"},
    {u"\u00C9t\u00E9.txt", u"\u00E9T\u00C9.TXT", true, "accented letters fold too"},
};

TEST(WildcardMatch, FollowsWindowsDosRules) {
    for (const MatchCase& c : kCases) {
        SCOPED_TRACE(c.why);
        EXPECT_EQ(c.matches, w32p::wildcardMatch(c.pattern, c.name))
            << "pattern of " << std::u16string(c.pattern).size() << " units";
    }
}

// Many stars against a long name that does not match: the matcher's work is
// bounded by pattern length times name length, never exponential.
TEST(WildcardMatch, ManyStarsStayFast) {
    std::u16string pattern;
    for (int i = 0; i < 120; ++i) pattern += u"*a";
    pattern += u"x";
    std::u16string name(250, u'a');
    EXPECT_FALSE(w32p::wildcardMatch(pattern, name));
    EXPECT_TRUE(w32p::wildcardMatch(pattern, name + u"x"));
}

}  // namespace
