// Behaviour of the tracked heap: block sizes and classes, reuse, chunk
// give-back, the address reports, MemRealloc and concurrent use.
#include "mem_manager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> g_reports;

int RecordReport(const char* text) {
    g_reports.push_back(text);
    return IDOK;
}

class MemManagerTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_reports.clear();
        previous_ = MemSetReportSink(RecordReport);
    }
    void TearDown() override { MemSetReportSink(previous_); }
    MemReportSink previous_ = nullptr;
};

std::string ExpectedReport(const char* message, const void* address, const char* file, long line) {
    char text[512];
    snprintf(text, sizeof text,
             "%s\n\n   Address: 0x%08lX\n   Current: %s line %ld\n\nClick OK to dismiss\nClick X to debug",
             message, static_cast<unsigned long>(reinterpret_cast<UINT_PTR>(address)), file, line);
    return text;
}

std::set<const MemChunk*> ChunkChain() {
    std::set<const MemChunk*> chain;
    for (const MemChunk* c = MemCurrentChunk(); c; c = c->next) chain.insert(c);
    return chain;
}

// A request of class c reuses a free block of class c + 16 but never one of
// class c + 17. Classes near 3000 are used by no other test. The tests up to
// the chunk test rely on fewer than three empty chunks: none is given back.
TEST_F(MemManagerTest, AFreeBlockServesRequestsUpToSixteenClassesSmaller) {
    auto requestOfClass = [](DWORD cls) { return (cls + 1) * 128 - 200; };
    void* tooFar = MEMALLOC(requestOfClass(3017));
    void* inReach = MEMALLOC(requestOfClass(3016));
    MEMFREE(tooFar);
    void* fresh = MEMALLOC(requestOfClass(3000));
    EXPECT_NE(tooFar, fresh);
    EXPECT_EQ(3000u, (MemFindBlock(fresh)->capacity + 72) / 128 - 1);

    MEMFREE(inReach);
    void* reused = MEMALLOC(requestOfClass(3000));
    EXPECT_EQ(inReach, reused);
    EXPECT_EQ(3016u, (MemFindBlock(reused)->capacity + 72) / 128 - 1);
    MEMFREE(fresh);
    MEMFREE(reused);
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(MemManagerTest, BlockTotalsAreTheNextMultipleOf128AboveTheOverhead) {
    EXPECT_EQ(72u, kMemBlockOverhead);
    struct Case {
        DWORD request, capacity;
    } cases[] = {{0, 56}, {55, 56}, {56, 184}, {100, 184}, {1000, 1080}};
    for (auto c : cases) {
        void* p = MEMALLOC(c.request);
        ASSERT_NE(nullptr, p);
        const MemBlock* b = MemFindBlock(p);
        EXPECT_EQ(c.capacity, b->capacity) << "request " << c.request;
        EXPECT_EQ(c.request, b->requested);
        EXPECT_EQ(0, memcmp("!meM", b, 4));
        EXPECT_EQ(0, memcmp("yakO", static_cast<BYTE*>(p) + b->capacity, 4));
        EXPECT_EQ(static_cast<BYTE*>(p) - 68, reinterpret_cast<const BYTE*>(b));
        EXPECT_EQ(p, b->user);
        EXPECT_STREQ("c.request", b->tag);
        EXPECT_EQ(kMemKindPlain, b->kind);
        EXPECT_EQ(0u, b->large);
        memset(p, 0xAB, c.request); // the whole requested area is usable
        MEMFREE(p);
    }
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(MemManagerTest, ReleasedBlocksAreReusedAcrossClassesAndKeepTheirCapacity) {
    void* big = MEMALLOC(1000);
    MEMFREE(big);
    const MemBlock* header = reinterpret_cast<const MemBlock*>(static_cast<BYTE*>(big) - 68);
    EXPECT_EQ(kMemFreeBucket, header->bucket);
    EXPECT_STREQ("free", header->file);
    EXPECT_STREQ("free", header->tag);
    EXPECT_EQ(0, header->line);

    void* smaller = MEMALLOC(900);
    EXPECT_EQ(big, smaller);
    EXPECT_EQ(1080u, MemFindBlock(smaller)->capacity);
    EXPECT_EQ(900u, MemFindBlock(smaller)->requested);
    MEMFREE(smaller);
}

TEST_F(MemManagerTest, RequestsAbove512KiBTotalBypassTheChunks) {
    void* carved = MEMALLOC(524215);
    ASSERT_NE(nullptr, carved);
    const MemBlock* b = MemFindBlock(carved);
    EXPECT_EQ(0u, b->large);
    EXPECT_NE(nullptr, b->chunk);
    EXPECT_EQ(4095u, (b->capacity + 72) / 128 - 1);

    void* large = MEMALLOC(524216);
    ASSERT_NE(nullptr, large);
    b = MemFindBlock(large);
    EXPECT_EQ(1u, b->large);
    EXPECT_EQ(nullptr, b->chunk);
    EXPECT_EQ(524416u - 72, b->capacity);
    EXPECT_EQ(0, memcmp("yakO", static_cast<BYTE*>(large) + b->capacity, 4));
    MEMFREE(large);
    EXPECT_EQ(nullptr, MemFindBlock(large));
    MEMFREE(carved);

    EXPECT_EQ(nullptr, MEMALLOC(0xFFFFFFF0u)) << "a size that wraps around fails";
    EXPECT_EQ(nullptr, MEMALLOC(0x7FFFFFF0u)) << "the system cannot give 2 GiB";
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(MemManagerTest, UnknownAddressesAreReportedWithTheCurrentCallSite) {
    void* p = MEMALLOC(32);
    MEMFREE(p);
    long line = __LINE__ + 1;
    MEMFREE(p);
    ASSERT_EQ(1u, g_reports.size());
    EXPECT_EQ(ExpectedReport("An invalid address was deleted.", p, __FILE__, line), g_reports[0]);

    MemFree(nullptr, "caller", 7);
    ASSERT_EQ(2u, g_reports.size());
    EXPECT_EQ(ExpectedReport("An invalid address was deleted.", nullptr, "caller", 7), g_reports[1]);
    EXPECT_NE(std::string::npos, g_reports[1].find("Address: 0x00000000"));

    int local = 0;
    MemTare(&local, "t", 1);
    MemValidate(&local, "v", 2);
    MemUnregisterObject(&local, "u", 3);
    ASSERT_EQ(5u, g_reports.size());
    EXPECT_EQ(ExpectedReport("An invalid address was tared.", &local, "t", 1), g_reports[2]);
    EXPECT_EQ(ExpectedReport("An invalid address was referenced.", &local, "v", 2), g_reports[3]);
    EXPECT_EQ(ExpectedReport("An invalid address was deleted.", &local, "u", 3), g_reports[4]);

    void* live = MEMALLOC(8);
    MEMVALIDATE(live);
    MEMTARE(live);
    EXPECT_EQ(1u, MemFindBlock(live)->tared);
    MEMFREE(live);
    EXPECT_EQ(5u, g_reports.size()) << "live addresses are not reported";
}

int g_breaks = 0;

LONG CALLBACK CountBreakpoint(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_BREAKPOINT) return EXCEPTION_CONTINUE_SEARCH;
    g_breaks++;
    // Step over the int3 instruction itself when the context still points at it.
    BYTE* at = reinterpret_cast<BYTE*>(info->ContextRecord->Eip);
    if (*at == 0xCC) info->ContextRecord->Eip++;
    return EXCEPTION_CONTINUE_EXECUTION;
}

TEST_F(MemManagerTest, CancellingTheReportBreaksIntoTheDebugger) {
    MemSetReportSink([](const char*) { return IDCANCEL; });
    PVOID handler = AddVectoredExceptionHandler(1, CountBreakpoint);
    g_breaks = 0;
    MemValidate(&g_breaks, "here", 1);
    RemoveVectoredExceptionHandler(handler);
    EXPECT_EQ(1, g_breaks);
    MemSetReportSink([](const char*) { return IDOK; });
    MemValidate(&g_breaks, "here", 2);
    EXPECT_EQ(1, g_breaks) << "OK dismisses the report";
}

struct Widget {
    int value[40];
};

TEST_F(MemManagerTest, RegisteredObjectsHoldOnlyARecord) {
    Widget* w = MEMNEW(Widget, ());
    ASSERT_NE(nullptr, w);
    const MemBlock* b = MemFindBlock(w);
    ASSERT_NE(nullptr, b);
    EXPECT_EQ(kMemKindObject, b->kind);
    EXPECT_STREQ("Widget", b->tag);
    EXPECT_EQ(sizeof(Widget), b->requested);
    EXPECT_EQ(56u, b->capacity) << "a record is a 128-byte block whatever the object's size";
    EXPECT_EQ(static_cast<void*>(w), b->object);
    MEMDELETE(w);
    EXPECT_EQ(nullptr, MemFindBlock(w));
    EXPECT_EQ(nullptr, MemRegisterObject(nullptr, 4, "Widget", "f", 1));

    // Releasing an object with the plain-block call still releases it.
    Widget* v = MEMNEW(Widget, ());
    MEMFREE(v);
    EXPECT_EQ(nullptr, MemFindBlock(v));
    delete v;
    EXPECT_TRUE(g_reports.empty());
}

// The bucket word of a live block is the hash of its key: the user area for
// a plain block, the object's own address for a registered object. Blocks of
// many sizes spread their addresses over all fourteen hashed bits.
TEST_F(MemManagerTest, LiveBlocksRecordTheBucketOfTheirKey) {
    auto bucketOf = [](const void* key) {
        return (static_cast<DWORD>(reinterpret_cast<UINT_PTR>(key)) >> 4) & 0x3FFF;
    };
    std::vector<void*> plain;
    DWORD bitsSeen = 0;
    for (DWORD i = 0; i < 200; i++) {
        void* p = MEMALLOC(i * 37);
        ASSERT_NE(nullptr, p);
        const MemBlock* b = MemFindBlock(p);
        ASSERT_NE(nullptr, b);
        ASSERT_EQ(bucketOf(p), b->bucket) << "request " << i * 37;
        bitsSeen |= b->bucket;
        plain.push_back(p);
    }
    // Blocks are 128-byte multiples, so the three lowest hashed bits of a user
    // area never change; the addresses reach every other one.
    EXPECT_EQ(0x3FF8u, bitsSeen & 0x3FF8) << "the addresses did not reach every hashed bit";
    void* large = MEMALLOC(600000);
    ASSERT_NE(nullptr, large);
    EXPECT_EQ(bucketOf(large), MemFindBlock(large)->bucket);

    // The record of an object is hashed by the object, not by its own user area.
    std::vector<Widget*> objects;
    for (int i = 0; i < 20; i++) objects.push_back(MEMNEW(Widget, ()));
    int differ = 0;
    for (Widget* w : objects) {
        const MemBlock* b = MemFindBlock(w);
        ASSERT_NE(nullptr, b);
        EXPECT_EQ(bucketOf(w), b->bucket);
        differ += bucketOf(w) != bucketOf(b->user);
    }
    EXPECT_GT(differ, 0) << "no object's bucket told its key apart from its record";

    const MemBlock* released = MemFindBlock(plain[5]);
    MEMFREE(plain[5]);
    EXPECT_EQ(kMemFreeBucket, released->bucket);
    for (size_t i = 0; i < plain.size(); i++)
        if (i != 5) MEMFREE(plain[i]);
    for (Widget* w : objects) MEMDELETE(w);
    MEMFREE(large);
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(MemManagerTest, OverwrittenSignaturesDoNotStopTheRelease) {
    BYTE* p = static_cast<BYTE*>(MEMALLOC(20));
    p[MemFindBlock(p)->capacity] ^= 0xFF;
    MEMFREE(p);
    EXPECT_EQ(nullptr, MemFindBlock(p));
    EXPECT_TRUE(g_reports.empty());
    // Repair the trailer so the reused block is sound again.
    p[reinterpret_cast<MemBlock*>(p - 68)->capacity] ^= 0xFF;
}

// A caller that wrote before its block changed the capacity in the header. The release must not follow
// it to a trailer or a free list somewhere else: the block is reported like an unknown address and kept.
TEST_F(MemManagerTest, ABlockWhoseCapacityNoLongerFitsIsReportedNotReleased) {
    MemStats before = MemGetStats();
    BYTE* plain = static_cast<BYTE*>(MEMALLOC(40));
    BYTE* large = static_cast<BYTE*>(MEMALLOC(600000));
    MemBlock* plainHeader = reinterpret_cast<MemBlock*>(plain - sizeof(MemBlock));
    MemBlock* largeHeader = reinterpret_cast<MemBlock*>(large - sizeof(MemBlock));
    const DWORD plainCapacity = plainHeader->capacity, largeCapacity = largeHeader->capacity;
    const DWORD wild[] = {0x7FFFFF00u, 0xFFFFFFF0u, 0, plainCapacity + 128 * 20000, kMemChunkSize};
    for (DWORD capacity : wild) {
        g_reports.clear();
        plainHeader->capacity = capacity;
        long line = __LINE__ + 1;
        MEMFREE(plain);
        ASSERT_EQ(1u, g_reports.size()) << capacity;
        EXPECT_EQ(ExpectedReport("An invalid address was deleted.", plain, __FILE__, line), g_reports[0]);
    }
    g_reports.clear();
    largeHeader->capacity = largeCapacity + 0x100000;
    MEMFREE(large);
    EXPECT_EQ(1u, g_reports.size());
    g_reports.clear();
    MEMTARE(plain);
    EXPECT_EQ(1u, g_reports.size()) << "every look-up of the block sees the damage";

    // Mended, both blocks are found and released as usual.
    g_reports.clear();
    plainHeader->capacity = plainCapacity;
    largeHeader->capacity = largeCapacity;
    MEMFREE(plain);
    MEMFREE(large);
    EXPECT_TRUE(g_reports.empty());
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

TEST_F(MemManagerTest, ManyLiveBlocksSharingBucketsAreFoundAndReleasedInAnyOrder) {
    std::vector<BYTE*> blocks;
    std::mt19937 random(7);
    for (int i = 0; i < 6000; i++) {
        DWORD size = random() % 3000;
        BYTE* p = static_cast<BYTE*>(MEMALLOC(size));
        ASSERT_NE(nullptr, p);
        memset(p, i & 0xFF, size);
        blocks.push_back(p);
    }
    std::shuffle(blocks.begin(), blocks.end(), random);
    for (BYTE* p : blocks) {
        const MemBlock* b = MemFindBlock(p);
        ASSERT_NE(nullptr, b);
        for (DWORD k = 0; k < b->requested; k++) ASSERT_EQ(p[0], p[k]);
        MEMFREE(p);
        ASSERT_EQ(nullptr, MemFindBlock(p));
    }
    EXPECT_TRUE(g_reports.empty());
}

TEST_F(MemManagerTest, ReallocGrowsZeroFillsAndKeepsTheArrayOnFailure) {
    DWORD count = 3;
    int* array = static_cast<int*>(MEMALLOC(3 * sizeof(int)));
    array[0] = 10, array[1] = 11, array[2] = 12;
    ASSERT_EQ(1, MEMREALLOC(int, array, count, 4, 4));
    EXPECT_EQ(7u, count);
    EXPECT_EQ(10, array[0]);
    EXPECT_EQ(12, array[2]);
    for (int i = 3; i < 7; i++) EXPECT_EQ(0, array[i]);
    EXPECT_STREQ("MemRealloc", MemFindBlock(array)->tag);

    int* before = array;
    EXPECT_EQ(1, MEMREALLOC(int, array, count, 7, 4)) << "already large enough";
    EXPECT_EQ(before, array);
    EXPECT_EQ(0, MEMREALLOC(int, array, count, 0x20000000, 1));
    EXPECT_EQ(0, MEMREALLOC(int, array, count, 0x50000000, 1)) << "byte size wraps around";
    EXPECT_EQ(0, MEMREALLOC(int, array, count, 0xFFFFFFF0, 0x20)) << "minimum + growth wraps around";
    EXPECT_EQ(0, MEMREALLOC(int, array, count, 8, 0)) << "no growth leaves the minimum out";
    EXPECT_EQ(before, array);
    EXPECT_EQ(7u, count);

    int* empty = nullptr;
    DWORD none = 0;
    ASSERT_EQ(1, MEMREALLOC(int, empty, none, 1, 128));
    EXPECT_EQ(128u, none);
    MEMFREE(empty);
    MEMFREE(array);
    EXPECT_TRUE(g_reports.empty());
}

DWORD WINAPI Churn(void* param) {
    std::mt19937 random(reinterpret_cast<UINT_PTR>(param));
    BYTE* slots[64] = {};
    DWORD sizes[64] = {};
    BYTE mark = static_cast<BYTE>(reinterpret_cast<UINT_PTR>(param));
    DWORD damaged = 0;
    for (int i = 0; i < 100000; i++) {
        int k = random() % 64;
        if (slots[k]) {
            for (DWORD j = 0; j < sizes[k]; j++) damaged += slots[k][j] != mark;
            MEMFREE(slots[k]);
        }
        sizes[k] = random() % 4000;
        slots[k] = static_cast<BYTE*>(MEMALLOC(sizes[k]));
        if (!slots[k]) return 0xFFFFFFFF;
        memset(slots[k], mark, sizes[k]);
    }
    for (BYTE* p : slots) MEMFREE(p);
    return damaged;
}

TEST_F(MemManagerTest, TwoThreadsAllocatingAtOnceLoseNoBlock) {
    DWORD liveBefore = MemGetStats().liveBlocks;
    HANDLE threads[2];
    for (UINT_PTR i = 0; i < 2; i++)
        threads[i] = CreateThread(nullptr, 0, Churn, reinterpret_cast<void*>(i + 1), 0, nullptr);
    WaitForMultipleObjects(2, threads, TRUE, INFINITE);
    for (HANDLE t : threads) {
        DWORD damaged = 1;
        GetExitCodeThread(t, &damaged);
        EXPECT_EQ(0u, damaged);
        CloseHandle(t);
    }
    EXPECT_EQ(liveBefore, MemGetStats().liveBlocks);
    EXPECT_TRUE(g_reports.empty());
}

// Works out its expectations from whatever empty chunks it finds. It runs
// last: once three chunks stand empty, any chunk that empties is given back,
// which the reuse tests above must not meet.
TEST_F(MemManagerTest, EmptyChunksBeyondThreeAreGivenBackAndTheOlderChunkBecomesCurrent) {
    // Two blocks of this size fill a chunk, so ten blocks span five chunks.
    const DWORD size = 500000;
    std::vector<void*> blocks;
    for (int i = 0; i < 10; i++) blocks.push_back(MEMALLOC(size));
    std::map<const MemChunk*, std::vector<void*>> byChunk;
    for (void* p : blocks) {
        ASSERT_NE(nullptr, p);
        byChunk[MemFindBlock(p)->chunk].push_back(p);
    }
    // The chunks in creation order, oldest first.
    std::vector<const MemChunk*> order;
    for (const MemChunk* c = MemCurrentChunk(); c; c = c->next)
        if (byChunk.count(c)) order.insert(order.begin(), c);
    ASSERT_GE(order.size(), 5u);

    // Empty the oldest ones first, the current (newest) chunk last.
    DWORD empty = MemGetStats().emptyChunks;
    for (const MemChunk* chunk : order) {
        bool wasCurrent = chunk == MemCurrentChunk();
        const MemChunk* older = chunk->next;
        bool emptiedNow = chunk->liveCount == byChunk[chunk].size();
        for (void* p : byChunk[chunk]) MEMFREE(p);
        if (!emptiedNow) continue;
        empty++;
        if (empty > kMemMaxEmptyChunks) {
            empty--;
            EXPECT_EQ(0u, ChunkChain().count(chunk)) << "a fourth empty chunk is given back";
            if (wasCurrent) {
                EXPECT_EQ(older, MemCurrentChunk());
            }
        } else {
            EXPECT_EQ(1u, ChunkChain().count(chunk));
        }
        EXPECT_EQ(empty, MemGetStats().emptyChunks);
    }
    EXPECT_LE(MemGetStats().emptyChunks, kMemMaxEmptyChunks);
    EXPECT_TRUE(g_reports.empty());
}

} // namespace
