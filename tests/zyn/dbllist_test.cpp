// dbllist_test.cpp - CZYNDblList over object and pointer nodes: the cursor
// walk, positional access, ownership, deep and value copies, comparison and
// the behaviour when memory runs out.
#include <string>
#include <type_traits>
#include <vector>

#include "hbc_test.h"
#include "zyn_dbllist.h"
#include "zyn_wchar_string.h"

namespace {

// An object that counts its live instances, to see what the list frees.
struct Counted {
    static int live;
    std::string name;
    explicit Counted(std::string n) : name(std::move(n)) { ++live; }
    Counted(const Counted& o) : name(o.name) { ++live; }
    Counted& operator=(const Counted&) = default;
    ~Counted() { --live; }
    bool operator==(const Counted& o) const { return name == o.name; }
};
int Counted::live = 0;

using StringList = CZYNDblList<CZYNObjNode<CZYNWCharString>>;
using PtrList = CZYNDblList<CZYNPtrNode<Counted>>;

class DblListTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        Counted::live = 0;
    }
    void TearDown() override {
        zyn::failNthAllocation(0);
        EXPECT_EQ(0, Counted::live) << "every object the lists owned was freed";
        HbcTest::TearDown();
    }
};

// The objects from the first node on, walked with the cursor.
template <class List>
std::vector<std::string> walk(List& list) {
    std::vector<std::string> out;
    for (bool more = list.moveFirst(); more; more = list.moveNext()) {
        auto* object = list.getCurrentObject();
        if constexpr (std::is_same_v<List, StringList>)
            out.push_back(U8(object->getText()));
        else
            out.push_back(object->name);
    }
    return out;
}

}  // namespace

TEST_F(DblListTest, CursorWalk) {
    StringList list;
    CZYNWCharString out(TEXT("untouched"));
    EXPECT_FALSE(list.moveNext());
    EXPECT_FALSE(list.getCurrent(out));
    EXPECT_EQ("untouched", U8(out.getText()));

    ASSERT_TRUE(list.add(TEXT("x"), 0));
    ASSERT_TRUE(list.add(TEXT("y"), 1));
    ASSERT_TRUE(list.add(TEXT("z"), 2));
    EXPECT_EQ(3, list.getCount());
    ASSERT_TRUE(list.getCurrent(out)) << "the first node became the cursor";
    EXPECT_EQ("x", U8(out.getText()));
    EXPECT_TRUE(list.moveNext());
    EXPECT_TRUE(list.moveNext());
    EXPECT_FALSE(list.moveNext());
    ASSERT_TRUE(list.getCurrent(out));
    EXPECT_EQ("z", U8(out.getText())) << "a failed moveNext leaves the cursor on the last node";
    EXPECT_EQ(2, list.getCurrentNode()->getTag());

    ASSERT_TRUE(list.setCurrent(TEXT("w")));
    EXPECT_EQ((std::vector<std::string>{"x", "y", "w"}), walk(list));
    EXPECT_EQ("y", U8(list.getObjectAt(1)->getText()));
    EXPECT_EQ(nullptr, list.getNodeAt(3));

    EXPECT_TRUE(list.clear());
    EXPECT_EQ(0, list.getCount());
    EXPECT_FALSE(list.getCurrent(out));
    EXPECT_EQ(nullptr, list.getNodeAt(0));
    EXPECT_TRUE(list.clear()) << "clearing an empty list";
    EXPECT_FALSE(list.setCurrent(TEXT("v")));
}

TEST_F(DblListTest, PointerNodesOwnTheirObjects) {
    {
        PtrList list;
        Counted* first = new Counted("a");
        ASSERT_TRUE(list.addOwned(first, 0));
        ASSERT_TRUE(list.add(Counted("b"), 1)) << "add makes a heap copy";
        EXPECT_FALSE(list.addOwned(nullptr, 2));
        EXPECT_EQ(2, list.getCount());
        EXPECT_EQ(first, list.getObjectAt(0)) << "the object itself, not a copy";
        EXPECT_EQ(2, Counted::live);

        // setCurrent stores the new pointer; the caller takes the old one back.
        list.moveFirst();
        Counted* replaced = list.getCurrentObject();
        ASSERT_TRUE(list.setCurrent(new Counted("c")));
        delete replaced;
        EXPECT_EQ((std::vector<std::string>{"c", "b"}), walk(list));
    }
    EXPECT_EQ(0, Counted::live) << "destroying the list freed the objects";
}

TEST_F(DblListTest, CopiesAreDeepForPointersAndByValueForObjects) {
    PtrList source;
    source.add(Counted("a"), 5);
    source.add(Counted("b"), 6);
    PtrList copy(source);
    ASSERT_EQ(2, copy.getCount());
    EXPECT_NE(source.getObjectAt(0), copy.getObjectAt(0)) << "fresh heap copies";
    EXPECT_EQ(6, copy.getNodeAt(1)->getTag());
    EXPECT_TRUE(copy == source);
    source.clear();
    EXPECT_EQ((std::vector<std::string>{"a", "b"}), walk(copy)) << "the copy outlives the source";

    // Owned strings, as the plug-in keeps its file paths (a string is deleted
    // through its node, so it must be destroyed whole).
    CZYNDblList<CZYNPtrNode<CZYNWCharString>> paths;
    ASSERT_TRUE(paths.addOwned(new CZYNWCharString(TEXT("C:\\a.ini")), 0));
    CZYNDblList<CZYNPtrNode<CZYNWCharString>> pathCopy(paths);
    paths.clear();
    EXPECT_EQ("C:\\a.ini", U8(pathCopy.getObjectAt(0)->getText()));

    StringList words;
    words.add(TEXT("one"), 0);
    StringList other;
    other.add(TEXT("old"), 0);
    other = words;
    words.moveFirst();
    words.setCurrent(TEXT("changed"));
    EXPECT_EQ((std::vector<std::string>{"one"}), walk(other));
    StringList& alias = words;
    words = alias;
    EXPECT_EQ((std::vector<std::string>{"changed"}), walk(words)) << "self-assignment keeps the nodes";
}

TEST_F(DblListTest, Equality) {
    auto make = [](std::vector<std::pair<const char*, LONG>> items) {
        StringList list;
        for (auto& item : items) list.add(W(item.first).c_str(), item.second);
        return list;
    };
    struct {
        const char* comment;
        StringList a, b;
        bool equal;
    } rows[] = {
        {"same values and tags", make({{"x", 0}, {"y", 1}}), make({{"x", 0}, {"y", 1}}), true},
        {"same values, different tags", make({{"x", 0}, {"y", 1}}), make({{"x", 0}, {"y", 2}}), false},
        {"different values", make({{"x", 0}}), make({{"z", 0}}), false},
        {"different counts", make({{"x", 0}}), make({{"x", 0}, {"y", 1}}), false},
        {"both empty", make({}), make({}), true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        EXPECT_EQ(row.equal, row.a == row.b);
        EXPECT_EQ(!row.equal, row.a != row.b);
    }
}

TEST_F(DblListTest, NodeComparisons) {
    CZYNObjNode<int> ordered(5, 0);
    EXPECT_TRUE(ordered.isLess(6));
    EXPECT_TRUE(ordered.isGreater(4));
    EXPECT_TRUE(ordered.isNotEqual(4));
    CZYNPtrNode<Counted> unordered(new Counted("a"), 0);
    EXPECT_TRUE(unordered.isEqual(Counted("a")));
    EXPECT_FALSE(unordered.isLess(Counted("b"))) << "no ordering: false";
    EXPECT_FALSE(unordered.isGreater(Counted("0")));
    EXPECT_FALSE(CZYNPtrNode<Counted>().isEqual(Counted("a"))) << "a node without an object";
}

TEST_F(DblListTest, RunningOutOfMemory) {
    enableLogging();
    PtrList list;
    list.add(Counted("a"), 0);
    zyn::failNthAllocation(2);  // the node, after its object
    EXPECT_FALSE(list.add(Counted("b"), 1));
    EXPECT_EQ(1, list.getCount());
    EXPECT_EQ(1u, logLinesWith("\"Unable to allocate memory ( pNewNode )\" <zyn_dbllist.h, ").size());

    Counted* kept = new Counted("c");
    zyn::failNthAllocation(1);
    EXPECT_FALSE(list.addOwned(kept, 2));
    delete kept;  // not taken by the list

    // Every allocation of a copy fails in turn: each copy stops with false,
    // holds the nodes copied so far, and leaks nothing.
    list.add(Counted("d"), 3);
    for (ULONG n = 1; n <= 4; ++n) {
        SCOPED_TRACE(n);
        PtrList copy;
        zyn::failNthAllocation(n);
        EXPECT_FALSE(copy.copyFrom(list));
        EXPECT_EQ(LONG((n - 1) / 2), copy.getCount());
    }
    EXPECT_EQ(4u, logLinesWith("( pNode )").size());
    zyn::failNthAllocation(0);
    EXPECT_EQ(2, list.getCount()) << "the source is untouched";
}
