// protocol_test.cpp - the query protocol over items put straight into the
// module's lists: the size query, the function-id encoding, every return
// code, and the record's fields at their offsets.
#include <cstring>
#include <thread>

#include "hbc_test.h"
#include "tpa_hbc.h"

namespace {

const unsigned char HOST_FILL = 0xCD;

HbcItem* makeItem(LONG n, const WCHAR* command) {
    HbcItem* item = new HbcItem();
    item->categoryCode = 100 * n;
    item->dependency = 10 + n;
    item->menuType = 20 + n;
    std::char_traits<WCHAR>::copy(item->menuString, TEXT("IDS_MENU"), 9);
    item->execInterfaceType = 30 + n;
    std::char_traits<WCHAR>::copy(item->execInterface, command, std::char_traits<WCHAR>::length(command) + 1);
    item->capability = 40 + n;
    item->iniFile = iniFiles.getObjectAt(0);
    return item;
}

class ProtocolTest : public HbcTest {
protected:
    void SetUp() override {
        HbcTest::SetUp();
        iniFiles.addOwned(new CZYNWCharString(winPath("item.ini").c_str()), 0);
    }
    void TearDown() override {
        quickLinkItems.clear();
        toolkitItems.clear();
        iniFiles.clear();
        HbcTest::TearDown();
    }
    static void addQuickLinks(LONG count) {
        for (LONG i = 1; i <= count; ++i) quickLinkItems.addOwned(makeItem(i, TEXT("C:\\q.exe")), 0);
    }
    static void addToolkits(LONG count) {
        for (LONG i = 1; i <= count; ++i) toolkitItems.addOwned(makeItem(i, TEXT("C:\\t.exe")), 0);
    }
    // Asks for one id with a record the host filled with its own bytes.
    static DWORD query(DWORD id, FunctionInfo* info) {
        std::memset(info, HOST_FILL, sizeof *info);
        info->functionId = id;
        DWORD size = sizeof *info;
        return HB_GetFunctionInfo(0x409, info, &size);
    }
    static DWORD capabilityOf(DWORD id, LONG* capability) {
        *capability = static_cast<LONG>(0xdeadbeef);
        return HB_GetCapability(id, capability);
    }
};

bool untouchedFrom(const void* field, size_t from, size_t bytes) {
    const unsigned char* p = static_cast<const unsigned char*>(field);
    for (size_t i = from; i < bytes; ++i)
        if (p[i] != HOST_FILL) return false;
    return true;
}

}  // namespace

TEST_F(ProtocolTest, SizeQueryAndShortBuffers) {
    addQuickLinks(1);
    FunctionInfo info;
    std::memset(&info, HOST_FILL, sizeof info);
    DWORD size = 0;
    EXPECT_EQ(0u, HB_GetFunctionInfo(0x409, &info, &size));
    EXPECT_EQ(940u, size);
    EXPECT_TRUE(untouchedFrom(&info, 0, sizeof info)) << "a size query reads and writes nothing else";

    size = 939;
    info.functionId = 1;
    EXPECT_EQ(1u, HB_GetFunctionInfo(0x409, &info, &size));
    EXPECT_EQ(939u, size);
    EXPECT_EQ(HOST_FILL, reinterpret_cast<unsigned char*>(&info)[4]);

    for (DWORD count : {940u, 4096u}) {
        size = count;
        EXPECT_EQ(0u, HB_GetFunctionInfo(0x409, &info, &size));
        EXPECT_EQ(count, size) << "the count is left as it was";
        EXPECT_EQ(100, info.categoryCode);
    }
}

TEST_F(ProtocolTest, NullPointersAreFailuresNotCrashes) {
    addQuickLinks(1);
    FunctionInfo info;
    DWORD size = 940;
    LONG capability;
    EXPECT_EQ(1u, HB_GetFunctionInfo(0x409, &info, nullptr));
    EXPECT_EQ(1u, HB_GetFunctionInfo(0x409, nullptr, &size));
    EXPECT_EQ(1u, HB_GetCapability(1, nullptr));
    size = 0;
    EXPECT_EQ(0u, HB_GetFunctionInfo(0x409, nullptr, &size)) << "a size query needs no record";
    EXPECT_EQ(0u, HB_GetCapability(1, &capability));
}

TEST_F(ProtocolTest, FunctionIdsAddressListAndPosition) {
    addQuickLinks(3);
    addToolkits(2);
    struct {
        const char* comment;
        DWORD id;
        DWORD code;
        LONG capability;  // of the item found
    } rows[] = {
        {"first quick link", 1, 0, 41},
        {"second", 2, 0, 42},
        {"third", 3, 0, 43},
        {"position 0 is the first item", 0, 0, 41},
        {"past the third", 4, 1, 0},
        {"position 99 past the end", 99, 1, 0},
        {"toolkit position 0", 100, 0, 41},
        {"first toolkit", 101, 0, 41},
        {"last toolkit", 102, 0, 42},
        {"past the toolkits", 103, 1, 0},
        {"toolkit 99", 199, 1, 0},
        {"list 2", 200, 2, 0},
        {"list 2, position 50", 250, 2, 0},
        {"the largest id", 4294967295u, 2, 0},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.comment);
        FunctionInfo info;
        LONG capability;
        EXPECT_EQ(row.code, query(row.id, &info));
        EXPECT_EQ(row.code, capabilityOf(row.id, &capability));
        if (row.code == 0) {
            EXPECT_EQ(row.capability, capability);
            EXPECT_EQ(row.capability - 30, info.dependency) << "the record comes from the same item";
        } else {
            EXPECT_EQ(static_cast<LONG>(0xdeadbeef), capability) << "untouched on failure";
            EXPECT_EQ(HOST_FILL, reinterpret_cast<unsigned char*>(&info)[4]);
        }
    }
}

TEST_F(ProtocolTest, EmptyListsAnswerEveryPositionWithOne) {
    FunctionInfo info;
    LONG capability;
    for (DWORD id : {0u, 1u, 99u, 100u, 101u, 199u}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(1u, query(id, &info));
        EXPECT_EQ(1u, capabilityOf(id, &capability));
    }
    EXPECT_EQ(2u, query(200, &info));
}

TEST_F(ProtocolTest, OnlyTheFirst99ItemsAreAddressable) {
    addToolkits(120);
    FunctionInfo info;
    LONG capability;
    EXPECT_EQ(0u, capabilityOf(199, &capability));
    EXPECT_EQ(40 + 99, capability);
    EXPECT_EQ(0u, query(199, &info));
    EXPECT_EQ(9900, info.categoryCode);
}

TEST_F(ProtocolTest, RecordFieldsSitAtTheirOffsetsAndTextsStopAtTheirTerminators) {
    quickLinkItems.addOwned(makeItem(7, TEXT("C:\\Tools\\a.exe /x")), 0);
    FunctionInfo info;
    ASSERT_EQ(0u, query(1, &info));
    const unsigned char* raw = reinterpret_cast<const unsigned char*>(&info);
    auto int32At = [raw](size_t offset) {
        return static_cast<LONG>(raw[offset] | raw[offset + 1] << 8 | raw[offset + 2] << 16 |
                                 static_cast<DWORD>(raw[offset + 3]) << 24);
    };
    EXPECT_EQ(1, int32At(0)) << "functionId is the host's";
    EXPECT_EQ(700, int32At(4));
    EXPECT_EQ(17, int32At(8));
    EXPECT_EQ(27, int32At(12));
    EXPECT_EQ(37, int32At(416));

    // reservedText: the first unit only.
    EXPECT_EQ(0, raw[216]);
    EXPECT_EQ(0, raw[217]);
    EXPECT_TRUE(untouchedFrom(raw + 216, 2, 200));

    // execInterface: the text and its terminator, then the host's bytes.
    wstr command = TEXT("C:\\Tools\\a.exe /x");
    size_t textBytes = (command.size() + 1) * 2;
    EXPECT_EQ(0, std::memcmp(raw + 420, command.c_str(), textBytes));
    EXPECT_TRUE(untouchedFrom(raw + 420, textBytes, 520));

    // No menu text was found: menuText is exactly as the host supplied it.
    EXPECT_TRUE(untouchedFrom(raw + 16, 0, 200));
}

TEST_F(ProtocolTest, StatusIsAlwaysOne) {
    EXPECT_EQ(1u, HB_GetStatus(0, 0, 0));
    addQuickLinks(1);
    FunctionInfo info;
    EXPECT_EQ(0u, query(1, &info)) << "an item found";
    EXPECT_EQ(1u, HB_GetStatus(1, 2, 3));
    EXPECT_EQ(2u, query(200, &info)) << "no such list";
    EXPECT_EQ(1u, HB_GetStatus(0xFFFFFFFF, 0, 0));
}

TEST_F(ProtocolTest, QueriesFromSeveralThreadsAgree) {
    addQuickLinks(30);
    addToolkits(30);
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([t, &wrong] {
            for (int round = 0; round < 200; ++round)
                for (DWORD position = 1; position <= 30; ++position) {
                    LONG capability = 0;
                    DWORD id = (t % 2) * 100 + position;
                    if (HB_GetCapability(id, &capability) != 0 ||
                        capability != 40 + static_cast<LONG>(position))
                        ++wrong[t];
                }
        });
    for (std::thread& t : threads) t.join();
    for (int count : wrong) EXPECT_EQ(0, count);
}
