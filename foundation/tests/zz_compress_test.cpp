// The LZO container: its exact layout, the size of the buffers it hands out, rejection of short and
// damaged blocks, resources, and a bounded fuzz loop over mutated blocks.
#include "guarded_bytes.h"
#include "mem_manager.h"
#include "string_table_module.h"
#include "zz_compress.h"

#include <gtest/gtest.h>
#include <lzo/lzoconf.h>

#include <random>
#include <vector>

namespace {

std::vector<BYTE> Compress(const std::vector<BYTE>& data) {
    BYTE* out = nullptr;
    DWORD cb = 0;
    EXPECT_TRUE(ZZCompress(&out, &cb, data.data(), static_cast<DWORD>(data.size())));
    std::vector<BYTE> block(out, out + cb);
    ZZFree(out);
    return block;
}

std::vector<BYTE> Sample(size_t size, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<BYTE> data(size);
    // Runs of repeated bytes mixed with noise, so the stream has literals and matches.
    for (size_t i = 0; i < size; ++i) data[i] = (i / 37) % 3 ? static_cast<BYTE>(i / 37) : random() & 255;
    return data;
}

TEST(ZZCompress, EmptyInputIsAZeroHeaderAndTheEndMarker) {
    std::vector<BYTE> block = Compress({});
    ASSERT_EQ(block, (std::vector<BYTE>{0, 0, 0, 0, 0x11, 0, 0}));
    BYTE* out = reinterpret_cast<BYTE*>(1);
    DWORD cb = 99;
    ASSERT_TRUE(ZZDecompress(&out, &cb, block.data(), static_cast<DWORD>(block.size())));
    EXPECT_NE(out, nullptr);
    EXPECT_EQ(cb, 0u);
    ZZFree(out);
}

TEST(ZZCompress, RoundTripsAndWritesTheSizeLittleEndian) {
    for (size_t size : {1u, 5u, 4096u, 100000u}) {
        std::vector<BYTE> data = Sample(size, static_cast<unsigned>(size));
        std::vector<BYTE> block = Compress(data);
        ASSERT_GT(block.size(), 4u);
        EXPECT_EQ(block[0] | block[1] << 8 | block[2] << 16 | block[3] << 24, static_cast<int>(size));
        BYTE* out = nullptr;
        DWORD cb = 0;
        ASSERT_TRUE(ZZDecompress(&out, &cb, block.data(), static_cast<DWORD>(block.size())));
        EXPECT_EQ(std::vector<BYTE>(out, out + cb), data);
        ZZFree(out);
    }
}

// Long runs of one byte are the stream's best case; the bound on the header's size must let them through.
TEST(ZZCompress, TheMostCompressibleDataStillExpands) {
    for (size_t size : {300000u, 4000000u}) {
        std::vector<BYTE> data(size, 0);
        std::vector<BYTE> block = Compress(data);
        BYTE* out = nullptr;
        DWORD cb = 0;
        ASSERT_TRUE(ZZDecompress(&out, &cb, block.data(), static_cast<DWORD>(block.size())))
            << size << " bytes packed into " << block.size();
        EXPECT_EQ(std::vector<BYTE>(out, out + cb), data);
        ZZFree(out);
    }
}

TEST(ZZCompress, OutputCapacityHasTheCompressorMargin) {
    std::vector<BYTE> data = Sample(100000, 7);
    BYTE* out = nullptr;
    DWORD cb = 0;
    ASSERT_TRUE(ZZCompress(&out, &cb, data.data(), 100000));
    const MemBlock* block = MemFindBlock(out);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(block->requested, 102609u);
    EXPECT_STREQ(block->tag, "*pcbOut");
    ZZFree(out);
}

TEST(ZZCompress, ShortBlocksAreRejected) {
    BYTE block[4] = {0, 0, 0, 0};
    for (DWORD size = 0; size <= 4; ++size) {
        BYTE* out = reinterpret_cast<BYTE*>(1);
        DWORD cb = 0;
        EXPECT_FALSE(ZZDecompress(&out, &cb, block, size)) << size;
        EXPECT_EQ(out, nullptr);
    }
}

TEST(ZZCompress, DamagedStreamFailsWithTheLibraryError) {
    std::vector<BYTE> block = Compress(Sample(5000, 3));
    // Cut the stream short: the decoder runs out of input.
    BYTE* out = reinterpret_cast<BYTE*>(1);
    DWORD cb = 0;
    SetLastError(0);
    EXPECT_FALSE(ZZDecompress(&out, &cb, block.data(), static_cast<DWORD>(block.size() / 2)));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(static_cast<int>(GetLastError()), LZO_E_INPUT_OVERRUN);
    // Claim more data than the stream holds.
    std::vector<BYTE> lying = block;
    lying[0] ^= 1;
    EXPECT_FALSE(ZZDecompress(&out, &cb, lying.data(), static_cast<DWORD>(lying.size())));
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(GetLastError(), 0u);
    // A size no stream of this length can produce is refused before any allocation.
    lying[3] = 0x7F;
    MemStats before = MemGetStats();
    EXPECT_FALSE(ZZDecompress(&out, &cb, lying.data(), static_cast<DWORD>(lying.size())));
    EXPECT_EQ(MemGetStats().liveBlocks, before.liveBlocks);
}

TEST(ZZCompress, MutatedBlocksNeverCrashOrOverrun) {
    std::vector<BYTE> original = Compress(Sample(3000, 11));
    std::mt19937 random(1234);
    MemStats before = MemGetStats();
    int accepted = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<BYTE> block = original;
        int edits = 1 + random() % 4;
        for (int e = 0; e < edits; ++e) block[random() % block.size()] = static_cast<BYTE>(random());
        if (random() % 4 == 0) block.resize(5 + random() % block.size());
        // The block ends right before an inaccessible page: a read past its end faults.
        GuardedBytes exact(block);
        BYTE* out = nullptr;
        DWORD cb = 0;
        if (ZZDecompress(&out, &cb, exact.data(), static_cast<DWORD>(block.size()))) {
            ++accepted;
            EXPECT_EQ(cb, static_cast<DWORD>(block[0] | block[1] << 8 | block[2] << 16 | block[3] << 24));
            MEMVALIDATE(out);
            ZZFree(out);
        } else {
            EXPECT_EQ(out, nullptr);
        }
    }
    EXPECT_LT(accepted, 3000);
    EXPECT_EQ(before.liveBlocks, MemGetStats().liveBlocks);
}

// Resources of type 4999 in a module built at run time: a good block expands, a damaged one and one of
// another type are refused with the output reset.
TEST(ZZCompress, ResourcesOfTheCompressedTypeExpandFromAModule) {
    std::vector<BYTE> data = Sample(20000, 5);
    std::vector<BYTE> block = Compress(data);
    std::vector<BYTE> damaged(block.begin(), block.end() - 40);
    StringTableModule module(
        {}, {{kZZResourceType, 300, block}, {kZZResourceType, 301, damaged}, {10, 302, block}});
    ASSERT_NE(module.module(), nullptr);
    BYTE* out = nullptr;
    DWORD cb = 0;
    ASSERT_TRUE(ZZLoadResource(module.module(), MAKEINTRESOURCE(300), &out, &cb));
    EXPECT_EQ(std::vector<BYTE>(out, out + cb), data);
    ZZFree(out);
    for (WORD id : {301, 302}) {
        out = reinterpret_cast<BYTE*>(1);
        cb = 5;
        EXPECT_FALSE(ZZLoadResource(module.module(), MAKEINTRESOURCE(id), &out, &cb)) << id;
        EXPECT_EQ(out, nullptr);
        EXPECT_EQ(cb, 0u);
    }
}

TEST(ZZCompress, MissingResourceResetsTheOutput) {
    BYTE* out = reinterpret_cast<BYTE*>(1);
    DWORD cb = 5;
    EXPECT_FALSE(ZZLoadResource(GetModuleHandle(nullptr), MAKEINTRESOURCE(77), &out, &cb));
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(cb, 0u);
}

} // namespace
