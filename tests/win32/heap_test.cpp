// heap_test.cpp - the process heap as the library's buffers use it:
// GetProcessHeap, HeapAlloc (zeroed blocks, a block of its own for 0 bytes)
// and HeapFree. The same source runs over win32_posix and under Wine.
#include "hbc_test.h"

#include <algorithm>

TEST(ProcessHeap, ZeroedBlocksOfEverySizeComeAndGo) {
    const HANDLE heap = GetProcessHeap();
    ASSERT_NE(nullptr, heap);
    // 0 bytes still gives a block, distinct from any other live one.
    for (SIZE_T size : {SIZE_T(0), SIZE_T(1), SIZE_T(940), SIZE_T(65534)}) {
        SCOPED_TRACE(size);
        BYTE* block = static_cast<BYTE*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, size));
        BYTE* other = static_cast<BYTE*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, size));
        ASSERT_NE(nullptr, block);
        ASSERT_NE(nullptr, other);
        EXPECT_NE(block, other);
        EXPECT_TRUE(std::all_of(block, block + size, [](BYTE b) { return b == 0; }));
        EXPECT_TRUE(HeapFree(heap, 0, block));
        EXPECT_TRUE(HeapFree(heap, 0, other));
    }
    SetLastError(0xdeadbeef);
    EXPECT_TRUE(HeapFree(heap, 0, nullptr)) << "freeing nothing succeeds";
    EXPECT_EQ(0xdeadbeefu, GetLastError());
}
