// Behaviour of the tracked heap: block sizes and classes, reuse, chunk
// give-back, the address reports, MemRealloc and concurrent use.
#include "mem_manager.h"

#include <gtest/gtest.h>

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

DWORD CapacityOf(void* p) { return MemFindBlock(p)->capacity; }

TEST_F(MemManagerTest, BlockTotalsAreTheNextMultipleOf128AboveTheOverhead) {
    EXPECT_EQ(72u, kMemBlockOverhead);
    struct Case {
        DWORD request, capacity;
    } cases[] = {{0, 56}, {55, 56}, {56, 184}, {100, 184}, {1000, 1080}};
    for (auto c : cases) {
        void* p = MEM_ALLOC(c.request);
        ASSERT_NE(nullptr, p);
        const MemBlock* b = MemFindBlock(p);
        EXPECT_EQ(c.capacity, b->capacity) << "request " << c.request;
        EXPECT_EQ(c.request, b->requested);
        EXPECT_EQ(kMemLeadingSignature, b->signature);
        EXPECT_EQ(0, memcmp("!meM", b, 4));
        EXPECT_EQ(0, memcmp("yakO", static_cast<BYTE*>(p) + b->capacity, 4));
        EXPECT_EQ(static_cast<BYTE*>(p) - 68, reinterpret_cast<const BYTE*>(b));
        EXPECT_STREQ("c.request", b->tag);
        MEM_FREE(p);
    }
    EXPECT_TRUE(g_reports.empty());
}

} // namespace
