// Hostile input: seeded, bounded loops over mutated archives and mutated raw streams. Each input ends
// right at an unreadable page, and the decoder's output buffer too, so any read or write past them
// faults. Every failure must be one of the reader's texts, both decoders must agree on every stream,
// and the memory manager's live blocks must come back to where they started.
#include "deflate.h"
#include "reference_inflate.h"
#include "zip_file.h"
#include "zip_test_support.h"
#include "zip_writer.h"

#include <gtest/gtest.h>

#include <random>
#include <set>
#include <string>
#include <vector>

#include <zlib.h>

namespace {

using namespace ziptest;

// Pages whose last one can be neither read nor written; data placed in it ends at that page.
class GuardedBuffer {
public:
    explicit GuardedBuffer(DWORD capacity) {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        page_ = info.dwPageSize;
        size_ = (capacity + page_ - 1) / page_ * page_ + page_;
        base_ = static_cast<BYTE*>(VirtualAlloc(nullptr, size_, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
        DWORD old;
        if (!base_ || !VirtualProtect(base_ + size_ - page_, page_, PAGE_NOACCESS, &old)) base_ = nullptr;
    }
    ~GuardedBuffer() {
        if (base_) VirtualFree(base_, 0, MEM_RELEASE);
    }
    bool ok() const { return base_ != nullptr; }
    DWORD capacity() const { return size_ - page_; }
    // The address at which `size` bytes end right at the unreadable page.
    BYTE* EndingAt(DWORD size) const { return base_ + size_ - page_ - size; }
    BYTE* Place(const Bytes& data) const {
        BYTE* at = EndingAt(DWORD(data.size()));
        if (!data.empty()) memcpy(at, data.data(), data.size());
        return at;
    }

private:
    BYTE* base_ = nullptr;
    DWORD size_ = 0;
    DWORD page_ = 0;
};

bool IsReaderText(const std::string& text) {
    static const std::set<std::string> fixed = {
        kZipNotAZip,         kZipEntryBeyondData,     kInflateReadPastEnd,
        kInflateInvalidCode, kInflateInvalidLookback, kInflateBadContent,
    };
    if (fixed.count(text)) return true;
    const std::string head = "the entry ", tail = " in the .ZIP file uses an unsupported compression method";
    return text.size() >= head.size() + tail.size() && text.compare(0, head.size(), head) == 0 &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

bool IsDecoderText(const std::string& text) {
    return text == kInflateReadPastEnd || text == kInflateInvalidCode || text == kInflateInvalidLookback ||
           text == kInflateBadContent;
}

Bytes Mutate(const Bytes& seed, std::mt19937& random) {
    Bytes data = seed;
    int edits = 1 + random() % 4;
    for (int e = 0; e < edits; ++e) {
        size_t size = data.size();
        switch (random() % 8) {
        case 0: // flip one bit
            if (size) data[random() % size] ^= BYTE(1 << (random() % 8));
            break;
        case 1: // a random byte
            if (size) data[random() % size] = BYTE(random());
            break;
        case 2: // cut the end off
            if (size) data.resize(random() % size);
            break;
        case 3: // a 32-bit value that sizes like to be
            if (size >= 4) {
                static const DWORD values[] = {0,          1,          0x7FFFFFFF, 0x80000000,
                                               0xFFFFFFFF, 0xFFFFFFF0, 0xFFFF,     0x10000};
                DWORD v = values[random() % 8];
                size_t at = random() % (size - 3);
                for (int i = 0; i < 4; ++i) data[at + i] = BYTE(v >> (8 * i));
            }
            break;
        case 4: // drop a few bytes
            if (size > 8) {
                size_t at = random() % (size - 8);
                data.erase(data.begin() + at, data.begin() + at + 1 + random() % 8);
            }
            break;
        case 5: // repeat a stretch
            if (size > 16) {
                size_t at = random() % (size - 16);
                Bytes stretch(data.begin() + at, data.begin() + at + 1 + random() % 16);
                data.insert(data.begin() + random() % size, stretch.begin(), stretch.end());
            }
            break;
        case 6: // a small byte near the start, where headers are
            if (size) data[random() % std::min<size_t>(size, 64)] = BYTE(random() % 4);
            break;
        default: // any byte of a later local header: flags, method, sizes, name and extra lengths
            for (size_t at = random() % (size + 1); at + 30 <= size; ++at) {
                if (data[at] == 'P' && data[at + 1] == 'K' && data[at + 2] == 3 && data[at + 3] == 4) {
                    data[at + 4 + random() % 26] = BYTE(random() % 3 ? random() % 16 : random());
                    break;
                }
            }
            break;
        }
    }
    return data;
}

Bytes Deflated(const Bytes& data, int level, int strategy) {
    z_stream stream{};
    deflateInit2(&stream, level, Z_DEFLATED, -MAX_WBITS, 8, strategy);
    Bytes out(deflateBound(&stream, uLong(data.size())) + 16);
    stream.next_in = const_cast<Bytef*>(data.data());
    stream.avail_in = uInt(data.size());
    stream.next_out = out.data();
    stream.avail_out = uInt(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

std::vector<Bytes> ArchiveSeeds() {
    std::vector<Bytes> seeds;
    // The skin, cut down to its first members so that each round stays quick.
    Bytes skin;
    FILE* f = fopen(SkinZipPath().c_str(), "rb");
    if (f) {
        BYTE chunk[4096];
        size_t n;
        while ((n = fread(chunk, 1, sizeof chunk, f)) > 0) skin.insert(skin.end(), chunk, chunk + n);
        fclose(f);
    }
    EXPECT_GT(skin.size(), 1000u);
    seeds.push_back(skin);
    ZipWriter zip;
    std::string error;
    Bytes text = SkinAsset("skin.txt");
    zip.AddFolder("arm/", &error);
    zip.Add("arm/readme.txt", text, ZipMethod::Stored, &error);
    zip.Add("skin.txt", text, ZipMethod::Deflated, &error);
    zip.Add("list.psp", SkinAsset("list.psp"), ZipMethod::Deflated, &error);
    seeds.push_back(zip.Finish());
    return seeds;
}

class ZipFuzzTest : public MemoryBalanced {};

TEST_F(ZipFuzzTest, MutatedArchivesFailOnlyWithReaderTextsAndDecodeAsTheReference) {
    std::mt19937 random(20260607);
    std::vector<Bytes> seeds = ArchiveSeeds();
    GuardedBuffer guarded(128 * 1024);
    ASSERT_TRUE(guarded.ok());
    int opened = 0, refused = 0, decoded = 0;
    const DWORD start = GetTickCount();
    for (int round = 0; round < 5000; ++round) {
        Bytes input = Mutate(seeds[round % seeds.size()], random);
        if (input.size() > guarded.capacity()) input.resize(guarded.capacity());
        const BYTE* bytes = guarded.Place(input);
        ZipFile zip;
        std::string failure = FailureOf([&] { zip.OpenView(bytes, DWORD(input.size()), TRUE); });
        if (failure != kNoFailure) {
            ASSERT_TRUE(IsReaderText(failure)) << failure;
            ++refused;
            continue;
        }
        ++opened;
        for (ZipFile::iterator it = zip.begin(); it != zip.end(); ++it) {
            ZipEntry* entry = *it;
            const ULONGLONG declared = entry->GetSize();
            std::string loadFailure = FailureOf([&] { entry->Load(); });
            if (loadFailure != kNoFailure) {
                ASSERT_TRUE(IsReaderText(loadFailure)) << loadFailure;
                EXPECT_FALSE(entry->IsLoaded());
            } else if (entry->GetMethod() == kZipStored) {
                // A stored member's bytes lie inside the input.
                ASSERT_GE(entry->GetData(), bytes);
                ASSERT_LE(entry->GetData() + entry->GetSize(), bytes + input.size());
            }
            if (entry->GetMethod() != kZipDeflated) continue;
            // The reference decodes the same bytes into a buffer of the declared size plus 1024; where
            // that is absurdly large, into what the product allocates (no more than the bytes can expand to).
            ULONGLONG capacity = declared + 1024;
            if (capacity > 64 * 1024 * 1024)
                capacity = std::min(capacity, ULONGLONG(entry->GetCompressedSize()) * 1032);
            if (capacity > 64 * 1024 * 1024) continue;
            Bytes out(DWORD(capacity) + 1);
            DWORD produced = 0;
            std::string reference = FailureOf([&] {
                produced = ReferenceInflate(entry->GetSource(), entry->GetCompressedSize(), out.data(),
                                            DWORD(capacity));
            });
            ASSERT_EQ(reference, loadFailure) << entry->GetName().Psz8();
            if (loadFailure == kNoFailure) {
                ASSERT_EQ(produced, entry->GetSize());
                ASSERT_EQ(0, memcmp(out.data(), entry->GetData(), produced));
                ++decoded;
            }
        }
    }
    EXPECT_GT(opened, 100);
    EXPECT_GT(refused, 100);
    EXPECT_GT(decoded, 100);
    printf("archives: %d opened, %d refused, %d deflated members decoded, %lu ms\n", opened, refused, decoded,
           static_cast<unsigned long>(GetTickCount() - start));
}

TEST_F(ZipFuzzTest, MutatedStreamsFailOnlyWithDecoderTextsAndBothDecodersAgree) {
    std::mt19937 random(1951);
    std::vector<std::pair<Bytes, Bytes>> seeds; // original, stream
    Bytes text = SkinAsset("skin.txt");
    Bytes psp = SkinAsset("list.psp");
    Bytes runs;
    while (runs.size() < 6000) runs.insert(runs.end(), 1 + random() % 300, BYTE(random() % 3));
    for (const Bytes* original : {&text, &psp, &runs}) {
        for (int strategy : {Z_DEFAULT_STRATEGY, Z_FIXED, Z_RLE, Z_HUFFMAN_ONLY})
            seeds.push_back(
                {*original, Deflated(*original, strategy == Z_DEFAULT_STRATEGY ? 9 : 6, strategy)});
        seeds.push_back({*original, Deflated(*original, 0, Z_DEFAULT_STRATEGY)});
    }
    GuardedBuffer input(64 * 1024), output(64 * 1024);
    ASSERT_TRUE(input.ok() && output.ok());
    int failures = 0, successes = 0;
    const DWORD start = GetTickCount();
    for (int round = 0; round < 12000; ++round) {
        const auto& seed = seeds[round % seeds.size()];
        Bytes stream = Mutate(seed.second, random);
        // Buffers from too small to roomy, always ending at the unreadable page.
        DWORD capacities[] = {DWORD(seed.first.size() + 1024), DWORD(seed.first.size()),
                              DWORD(random() % 2000)};
        DWORD capacity = capacities[round % 3];
        const BYTE* in = input.Place(stream);
        BYTE* out = output.EndingAt(capacity);
        DWORD produced = 0;
        std::string failure = FailureOf([&] { produced = Inflate(in, DWORD(stream.size()), out, capacity); });
        Bytes reference(capacity + 1);
        DWORD referenceProduced = 0;
        std::string referenceFailure = FailureOf([&] {
            referenceProduced =
                ReferenceInflate(stream.data(), DWORD(stream.size()), reference.data(), capacity);
        });
        ASSERT_EQ(referenceFailure, failure) << "round " << round;
        if (failure == kNoFailure) {
            ASSERT_EQ(referenceProduced, produced);
            ASSERT_EQ(0, memcmp(reference.data(), out, produced)) << "round " << round;
            ++successes;
        } else {
            ASSERT_TRUE(IsDecoderText(failure)) << failure;
            ++failures;
        }
    }
    EXPECT_GT(failures, 3000);
    EXPECT_GT(successes, 50);
    printf("streams: %d decoded, %d refused, %lu ms\n", successes, failures,
           static_cast<unsigned long>(GetTickCount() - start));
}

} // namespace
